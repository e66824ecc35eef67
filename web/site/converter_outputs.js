// SPDX-License-Identifier: MIT
// Where the command-line converter puts what it writes for a folder, and its parts' JSON, so
// a ZIP from the page unpacks to the same files as `brask convert FOLDER -o OUT --parts`:
// "dir/x.pdt" becomes "dir/x.png"; when two pictures would claim one name, the whole name gets
// ".png" ("x.g00.png"); a type-2 G00's parts go beside it as "x-part3.png" and "x-parts.json".

// The name's stem and extension as the converter's path library splits them: a leading dot
// does not start an extension (".hidden" has none).
function splitExtension(path) {
  const slash = path.lastIndexOf('/');
  const name = path.slice(slash + 1);
  const dot = name.lastIndexOf('.');
  if (dot <= 0 || name === '..') return {stem: path, extension: ''};
  return {stem: path.slice(0, slash + 1 + dot), extension: name.slice(dot)};
}

// The PNG path of each picture path (relative, "/"-separated), in the order given; null for
// a picture whose path is already taken by an earlier one (the converter refuses it).
export function planPngPaths(paths) {
  const short = paths.map((path) => splitExtension(path).stem + '.png');
  const claims = new Map();
  for (const name of short) claims.set(name, (claims.get(name) || 0) + 1);
  const taken = new Set();
  return paths.map((path, i) => {
    const output = claims.get(short[i]) > 1 ? path + '.png' : short[i];
    if (taken.has(output)) return null;
    taken.add(output);
    return output;
  });
}

// "dir/x.png" -> "dir/x" + suffix.
export function besidePng(pngPath, suffix) {
  return splitExtension(pngPath).stem + suffix;
}

export function partsJson(parts) {
  const described = parts.map((part) => ({index: part.index, width: part.width,
                                          height: part.height, origin_x: part.originX,
                                          origin_y: part.originY, top: part.top}));
  return JSON.stringify(described, null, 2) + '\n';
}
