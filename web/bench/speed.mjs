// SPDX-License-Identifier: MIT
// The WebAssembly module's decode beside the native C API's, on the same files: every picture
// of data/pictures (or a folder given) in every mode. Native: open, describe, decode RGBA,
// close (build/native/bin/api_file_times). WebAssembly in node: decode(), which also copies
// the file in and the RGBA out into a new array. Each side runs in turn, a few rounds; each
// file keeps its fastest round's median. Prints each ratio, each mode's geometric mean, the
// mean over every mode and the highest.
// Usage: node web/bench/speed.mjs [--rounds N] [--seconds S] [PICTURES]
// (BRASK_SPEED_KEEP=1 keeps the encoded files and prints their folder.)
import {execFileSync} from 'node:child_process';
import {mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {basename, dirname, join, resolve} from 'node:path';
import {fileURLToPath} from 'node:url';
import {parseArgs} from 'node:util';
import {decode as decodePng, encode as encodePng} from 'fast-png';

const source = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
const {values, positionals} = parseArgs({allowPositionals: true, options: {
  rounds: {type: 'string', default: '3'}, seconds: {type: 'string', default: '0.3'},
  module: {type: 'string', default: join(source, 'build/web/web')},
  native: {type: 'string', default: join(source, 'build/native/bin')}}});
const pictures = resolve(positionals[0] || join(source, 'data/pictures'));
values.module = resolve(values.module);
values.native = resolve(values.native);
const rounds = Number(values.rounds), seconds = Number(values.seconds);
const kModes = ['g00-0', 'g00-1', 'g00-2', 'pdt10', 'pdt10-mask', 'pdt11'];

// The PNG as the mode can store it: opaque for the modes without alpha, and at most 256
// colours (3 bits of red and green, 2 of blue) for the indexed ones.
function adapted(png, mode) {
  const channels = png.channels, count = png.width * png.height;
  const alpha = mode === 'g00-2' || mode === 'pdt10-mask';
  const rgba = new Uint8Array(count * 4);
  for (let i = 0; i < count; ++i) {
    const [r, g, b] = png.data.subarray(i * channels, i * channels + 3);
    const a = channels === 4 && alpha ? png.data[i * channels + 3] : 255;
    if (mode === 'g00-1' || mode === 'pdt11') rgba.set([r & 0xe0, g & 0xe0, b & 0xc0, 255], i * 4);
    else rgba.set([r, g, b, a], i * 4);
  }
  return encodePng({width: png.width, height: png.height, data: rgba, channels: 4});
}

const work = mkdtempSync(join(tmpdir(), 'brask-speed-'));
const files = [];
for (const name of readdirSync(pictures).filter((n) => n.endsWith('.png')).sort()) {
  const png = decodePng(readFileSync(join(pictures, name)));
  for (const mode of kModes) {
    const input = join(work, `${mode}.png`);
    writeFileSync(input, adapted(png, mode));
    const output = join(work, `${basename(name, '.png')}-${mode}.${mode.startsWith('g00') ? 'g00' : 'pdt'}`);
    execFileSync(join(values.native, 'brask'), ['encode', input, output, '--mode', mode], {stdio: 'ignore'});
    files.push({picture: basename(name, '.png'), mode, path: output, bytes: new Uint8Array(readFileSync(output))});
  }
}

const {default: createBrask} = await import(join(values.module, 'brask.mjs'));
const brask = await createBrask({wasmBinary: readFileSync(join(values.module, 'brask.wasm'))});

function wasmFastest(file) {
  const times = [];
  const end = performance.now() + seconds * 1000;
  while (times.length < 5 || (performance.now() < end && times.length < 100000)) {
    const start = performance.now();
    brask.decode(file.bytes, file.path);
    times.push(performance.now() - start);
  }
  return times.reduce((a, b) => Math.min(a, b)) * 1e6;
}

const best = files.map(() => ({native: Infinity, wasm: Infinity}));
for (let round = 0; round < rounds; ++round) {
  const lines = execFileSync(join(values.native, 'api_file_times'), [String(seconds), ...files.map((f) => f.path)],
                             {encoding: 'utf8'}).trim().split('\n');
  lines.forEach((line, i) => { best[i].native = Math.min(best[i].native, Number(line.split(' ')[0])); });
  files.forEach((file, i) => { best[i].wasm = Math.min(best[i].wasm, wasmFastest(file)); });
}
if (!process.env.BRASK_SPEED_KEEP) rmSync(work, {recursive: true, force: true}); else console.log(work);

const geomean = (xs) => Math.exp(xs.reduce((s, x) => s + Math.log(x), 0) / xs.length);
const ratios = best.map((b) => b.wasm / b.native);
console.log('picture                    mode        native ms  wasm ms  wasm/native');
files.forEach((file, i) => {
  console.log(`${file.picture.padEnd(26)} ${file.mode.padEnd(11)} ${(best[i].native / 1e6).toFixed(3).padStart(9)} ${(best[i].wasm / 1e6).toFixed(3).padStart(8)} ${ratios[i].toFixed(2).padStart(8)}`);
});
const perMode = kModes.map((mode) => geomean(ratios.filter((_, i) => files[i].mode === mode)));
kModes.forEach((mode, m) => console.log(`geometric mean ${mode.padEnd(11)} ${perMode[m].toFixed(2)}`));
console.log(`geometric mean over every mode: ${geomean(perMode).toFixed(2)} (target at most 2)`);
const worst = ratios.indexOf(Math.max(...ratios));
console.log(`highest: ${ratios[worst].toFixed(2)}, ${files[worst].picture} ${files[worst].mode} (target at most 3)`);
