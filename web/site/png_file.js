// SPDX-License-Identifier: MIT
// PNG files as the command-line converter writes them, pixel for pixel: RGBA where the picture
// has alpha (the colour under alpha 0 kept), RGB otherwise. The indexed modes are written as
// RGB of their palette's colours, which are the same pixels.
import {encode} from 'fast-png';

export function encodePicturePng(picture) {
  const {width, height, rgba} = picture;
  if (picture.hasAlpha) return encode({width, height, data: new Uint8Array(rgba.buffer), channels: 4});
  const rgb = new Uint8Array(width * height * 3);
  for (let i = 0, o = 0; i < rgba.length; i += 4, o += 3) {
    rgb[o] = rgba[i]; rgb[o + 1] = rgba[i + 1]; rgb[o + 2] = rgba[i + 2];
  }
  return encode({width, height, data: rgb, channels: 3});
}
