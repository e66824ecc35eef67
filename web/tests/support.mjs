// SPDX-License-Identifier: MIT
// What the web tests share: the module loaded in node, the native program's outputs to compare
// with (sample pictures of every mode, and what `brask convert --parts` writes for them), and
// PNG files read back as RGBA.
import {execFileSync} from 'node:child_process';
import {mkdtempSync, readFileSync, readdirSync, statSync, writeFileSync, mkdirSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {dirname, join, relative} from 'node:path';
import {decode as decodePng} from 'fast-png';

export const moduleDir = process.env.BRASK_WEB_MODULE_DIR;
export const nativeProgram = process.env.BRASK_NATIVE_PROGRAM;
export const sourceDir = process.env.BRASK_SOURCE_DIR;

// Exit status ctest reads as "skipped", with the reason on stderr.
export const kSkipped = 77;
export function skipWithoutNativeProgram() {
  try {
    statSync(nativeProgram);
  } catch {
    console.error(`skipped: the native program ${nativeProgram} is not built (build the native preset first)`);
    process.exit(kSkipped);
  }
}

export async function loadModule(options = {}) {
  const {default: createBrask} = await import(join(moduleDir, 'brask.mjs'));
  return createBrask({wasmBinary: readFileSync(join(moduleDir, 'brask.wasm')), ...options});
}

export function temporaryFolder(tag) {
  return mkdtempSync(join(tmpdir(), `brask-web-${tag}-`));
}

// Every file under `folder`, as paths relative to it with "/", sorted.
export function filesUnder(folder) {
  const found = [];
  const walk = (dir) => {
    for (const name of readdirSync(dir).sort()) {
      const path = join(dir, name);
      if (statSync(path).isDirectory()) walk(path); else found.push(relative(folder, path).split('\\').join('/'));
    }
  };
  walk(folder);
  return found;
}

// `brask demo` samples of every mode in ROOT/samples, and beside them in ROOT/samples/cut
// each cut to half its length (a damaged file decodes what it holds, the rest defined).
export function makeSamples(root) {
  execFileSync(nativeProgram, ['demo', root], {stdio: 'ignore'});
  const samples = join(root, 'samples');
  mkdirSync(join(samples, 'cut'));
  for (const name of readdirSync(samples)) {
    if (!statSync(join(samples, name)).isFile()) continue;
    const bytes = readFileSync(join(samples, name));
    writeFileSync(join(samples, 'cut', name), bytes.subarray(0, bytes.length >> 1));
  }
  return samples;
}

// What `brask convert --parts` writes for `input` (a folder) into `output`; its complaints
// about the files it could not convert are returned ("path: reason" lines).
export function convertNatively(input, output) {
  try {
    execFileSync(nativeProgram, ['convert', input, '-o', output, '--parts', '-j', '1'],
                 {stdio: ['ignore', 'ignore', 'pipe']});
    return '';
  } catch (error) {
    if (error.status !== 1) throw error;
    return String(error.stderr);
  }
}

// A PNG file's pixels as RGBA: palette and RGB pictures opaque.
export function readPngRgba(bytes) {
  const png = decodePng(bytes);
  if (png.depth !== 8) throw new Error(`a ${png.depth}-bit PNG`);
  const count = png.width * png.height;
  const rgba = new Uint8ClampedArray(count * 4);
  for (let i = 0; i < count; ++i) {
    let r, g, b, a = 255;
    if (png.palette) {
      [r, g, b] = png.palette[png.data[i]];
    } else if (png.channels === 3) {
      [r, g, b] = png.data.subarray(i * 3, i * 3 + 3);
    } else if (png.channels === 4) {
      [r, g, b, a] = png.data.subarray(i * 4, i * 4 + 4);
    } else {
      throw new Error(`a PNG of ${png.channels} channels`);
    }
    rgba.set([r, g, b, a], i * 4);
  }
  return {width: png.width, height: png.height, rgba, channels: png.palette ? 'palette' : png.channels};
}

// The first difference between two RGBA pictures, or '' when they are equal.
export function firstDifference(have, want) {
  if (have.width !== want.width || have.height !== want.height) {
    return `size: have ${have.width} x ${have.height}, want ${want.width} x ${want.height}`;
  }
  if (have.rgba.length !== want.rgba.length) return `length: have ${have.rgba.length}, want ${want.rgba.length}`;
  for (let i = 0; i < want.rgba.length; ++i) {
    if (have.rgba[i] !== want.rgba[i]) {
      const pixel = i >> 2;
      return `pixel (${pixel % want.width}, ${Math.floor(pixel / want.width)}) byte ${i & 3}: have ${have.rgba[i]}, want ${want.rgba[i]}`;
    }
  }
  return '';
}

export {dirname, join};
