// SPDX-License-Identifier: MIT
// The module's JavaScript interface, appended inside the factory (so HEAPU8 and the exported
// C functions are in scope): decode(bytes, name) and decodePart(bytes, name, n). Every call
// frees what it took from the module's memory before it returns, even when it throws.

var braskModeNames = ['', 'g00-0', 'g00-1', 'g00-2', 'pdt10', 'pdt10-mask', 'pdt11'];
var braskFormatNames = ['', 'g00', 'pdt'];
var braskTextEncoder = new TextEncoder();
var braskTextDecoder = new TextDecoder();

// The zero-terminated UTF-8 string at `address` in the module's memory.
function braskReadText(address) {
  var end = address;
  while (HEAPU8[end] !== 0) ++end;
  return braskTextDecoder.decode(HEAPU8.subarray(address, end));
}

function braskResultError(result) {
  return new Error(braskReadText(_brask_result_text(result)));
}

// Runs the C decoder on `bytes` and hands the record's words to `read`, then frees it all.
function braskWithDecoded(bytes, name, part, read) {
  if (!(bytes instanceof Uint8Array)) throw new TypeError('decode takes a Uint8Array');
  var nameBytes = braskTextEncoder.encode(String(name == null ? '' : name) + '\0');
  var nameAt = _malloc(nameBytes.length);
  if (nameAt === 0) throw braskResultError(4);
  var record = 0;
  try {
    HEAPU8.set(nameBytes, nameAt);
    var dataAt = _malloc(Math.max(bytes.length, 1));  // handed to the C side, which frees it
    if (dataAt === 0) throw braskResultError(4);
    HEAPU8.set(bytes, dataAt);
    record = _brask_web_decode(dataAt, bytes.length, nameAt, part);
    if (record === 0) throw braskResultError(4);
    var words = new Uint32Array(HEAPU8.buffer, record, 13).slice();
    if (words[0] !== 0) {
      // The open's explanation, in the file's own terms, where it gave one.
      var why = braskReadText(record + 13 * 4);
      throw why !== '' ? new Error(why) : braskResultError(words[0]);
    }
    return read(words);
  } finally {
    if (record !== 0) _brask_web_release(record);
    _free(nameAt);
  }
}

// A copy of the decoded RGBA, out of the module's memory (which the next call reuses).
function braskCopyRgba(words) {
  var address = words[9], length = words[10];
  var rgba = new Uint8ClampedArray(length);
  if (length !== 0) rgba.set(HEAPU8.subarray(address, address + length));
  return rgba;
}

function braskReadParts(words) {
  var count = words[7], parts = [];
  if (count === 0) return parts;
  var u = new Uint32Array(HEAPU8.buffer, words[8], count * 6);
  var s = new Int32Array(HEAPU8.buffer, words[8], count * 6);
  for (var n = 0; n < count; ++n) {
    var w = n * 6;
    parts.push({index: u[w], width: s[w + 1], height: s[w + 2], originX: u[w + 3],
                originY: u[w + 4], top: u[w + 5]});
  }
  return parts;
}

// The picture as decoded, its facts and its type-2 parts. `name` tells G00 by its ending.
Module['decode'] = function(bytes, name) {
  return braskWithDecoded(bytes, name, -1, function(words) {
    return {format: braskFormatNames[words[1]] || '', mode: braskModeNames[words[2]] || '',
            width: words[3], height: words[4], hasAlpha: words[5] !== 0,
            paletteSize: words[6], parts: braskReadParts(words), rgba: braskCopyRgba(words)};
  });
};

// Part `n` (a position in decode's `parts`) on its own; a part with no picture of its own
// gives its stored size and no pixels.
Module['decodePart'] = function(bytes, name, n) {
  if (!Number.isInteger(n) || n < 0 || n > 0x7fffffff) throw braskResultError(7);
  return braskWithDecoded(bytes, name, n, function(words) {
    return {width: words[11] | 0, height: words[12] | 0, rgba: braskCopyRgba(words)};
  });
};
