// SPDX-License-Identifier: MIT
// A small copy of a picture for the gallery: each thumbnail pixel averages the block of
// picture pixels it covers, weighted by alpha (so colour under alpha 0 does not bleed in).

export function makeThumbnail(rgba, width, height, size) {
  const scale = Math.min(1, size / Math.max(width, height, 1));
  const w = Math.max(1, Math.round(width * scale));
  const h = Math.max(1, Math.round(height * scale));
  const out = new Uint8ClampedArray(w * h * 4);
  if (width === 0 || height === 0) return {width: w, height: h, rgba: out};
  for (let ty = 0; ty < h; ++ty) {
    const y0 = Math.floor(ty * height / h), y1 = Math.max(y0 + 1, Math.floor((ty + 1) * height / h));
    for (let tx = 0; tx < w; ++tx) {
      const x0 = Math.floor(tx * width / w), x1 = Math.max(x0 + 1, Math.floor((tx + 1) * width / w));
      // At most 4 x 4 samples a block keeps folders of large pictures quick.
      const stepY = Math.max(1, Math.floor((y1 - y0) / 4)), stepX = Math.max(1, Math.floor((x1 - x0) / 4));
      let r = 0, g = 0, b = 0, a = 0, n = 0;
      for (let y = y0; y < y1; y += stepY) {
        for (let x = x0; x < x1; x += stepX) {
          const i = (y * width + x) * 4, alpha = rgba[i + 3];
          r += rgba[i] * alpha; g += rgba[i + 1] * alpha; b += rgba[i + 2] * alpha;
          a += alpha; ++n;
        }
      }
      const o = (ty * w + tx) * 4;
      if (a !== 0) { out[o] = r / a; out[o + 1] = g / a; out[o + 2] = b / a; }
      out[o + 3] = a / n;
    }
  }
  return {width: w, height: h, rgba: out};
}
