// SPDX-License-Identifier: MIT
// brask.mjs in node: every mode and every part decodes to exactly what the native C API gives
// (through `brask convert --parts`), damaged and hostile files throw the API's words without
// harming the module, and memory taken by one file is reused by the next.
import assert from 'node:assert/strict';
import {copyFileSync, existsSync, mkdirSync, readFileSync, rmSync} from 'node:fs';
import {basename} from 'node:path';
import {after, test} from 'node:test';
import {partsJson, planPngPaths, besidePng} from '../site/converter_outputs.js';
import {convertNatively, filesUnder, firstDifference, join, loadModule, makeSamples, readPngRgba,
        skipWithoutNativeProgram, sourceDir, temporaryFolder} from './support.mjs';

skipWithoutNativeProgram();
const brask = await loadModule();
const root = temporaryFolder('module');
const samples = makeSamples(root);
const expected = join(root, 'expected');
const complaints = convertNatively(samples, expected);
const sampleFiles = filesUnder(samples);
after(() => rmSync(root, {recursive: true, force: true}));
const kModes = ['g00-0', 'g00-1', 'g00-2', 'pdt10', 'pdt10-mask', 'pdt11'];

test('every mode, every part and every cut file decode to the native RGBA', () => {
  const pngPaths = planPngPaths(sampleFiles);
  const modesSeen = new Set();
  let partsSeen = 0;
  sampleFiles.forEach((path, i) => {
    const bytes = new Uint8Array(readFileSync(join(samples, path)));
    const pngPath = join(expected, pngPaths[i]);
    if (!existsSync(pngPath)) {
      // The native program refused it: the module must refuse it with the same words.
      assert.throws(() => brask.decode(bytes, path), (error) => {
        assert.ok(error instanceof Error && !(error instanceof WebAssembly.RuntimeError), path);
        assert.match(complaints, new RegExp(`${basename(path)}.*${error.message.replace(/[()]/g, '.')}`));
        return true;
      });
      return;
    }
    const picture = brask.decode(bytes, path);
    assert.ok(picture.rgba instanceof Uint8ClampedArray, path);
    assert.equal(firstDifference(picture, readPngRgba(readFileSync(pngPath))), '', path);
    const mode = kModes.find((m) => basename(path).includes(`-${m}.`));
    assert.equal(picture.mode, mode, path);
    assert.equal(picture.format, mode.slice(0, 3));
    assert.equal(picture.hasAlpha, mode === 'g00-2' || mode === 'pdt10-mask', path);
    assert.equal(picture.paletteSize > 0, mode === 'g00-1' || mode === 'pdt11', path);
    if (!path.includes('cut/')) modesSeen.add(picture.mode);
    if (mode !== 'g00-2') {
      assert.deepEqual(picture.parts, [], path);
      return;
    }
    const jsonPath = join(expected, besidePng(pngPaths[i], '-parts.json'));
    assert.equal(partsJson(picture.parts), readFileSync(jsonPath, 'utf8'), path);
    picture.parts.forEach((part, n) => {
      const own = brask.decodePart(bytes, path, n);
      assert.equal(own.width, part.width);
      assert.equal(own.height, part.height);
      if (part.width < 1 || part.height < 1) {
        assert.equal(own.rgba.length, 0);
        return;
      }
      const partPng = join(expected, besidePng(pngPaths[i], `-part${part.index}.png`));
      assert.equal(firstDifference(own, readPngRgba(readFileSync(partPng))), '', `${path} part ${n}`);
      ++partsSeen;
    });
    assert.throws(() => brask.decodePart(bytes, path, picture.parts.length), {message: 'no such part'});
  });
  assert.deepEqual([...modesSeen].sort(), kModes);
  assert.ok(partsSeen >= 2, `only ${partsSeen} parts seen`);
});

test('the ZIP\'s names are those the converter gives, clashes and odd names included', () => {
  const folder = join(root, 'names'), out = join(root, 'names-out');
  const pdt = join(samples, 'tiles-pdt11.pdt'), g00 = join(samples, 'ramps-g00-1.g00');
  const inputs = {'same.g00': g00, 'same.pdt': pdt, 'pic.png': pdt, 'noext': pdt,
                  'sub/.hidden': pdt, 'sub/two.dots.pdt': pdt, 'sub/sprite.G00': g00};
  mkdirSync(join(folder, 'sub'), {recursive: true});
  for (const [name, from] of Object.entries(inputs)) copyFileSync(from, join(folder, name));
  convertNatively(folder, out);
  const paths = filesUnder(folder);
  assert.deepEqual(planPngPaths(paths).sort(), filesUnder(out));
});

test('G00 is told by its name, PDT by its signature', () => {
  const g00 = new Uint8Array(readFileSync(join(samples, 'badge-g00-2.g00')));
  assert.throws(() => brask.decode(g00, 'badge.bin'), {message: /^not a G00 or PDT picture/});
  assert.equal(brask.decode(g00, 'BADGE.G00').mode, 'g00-2');
  const pdt = new Uint8Array(readFileSync(join(samples, 'badge-pdt10-mask.pdt')));
  assert.equal(brask.decode(pdt, 'anything').mode, 'pdt10-mask');
  // Named a G00, an empty file is one cut short, as brask says.
  assert.throws(() => brask.decode(new Uint8Array(0), 'x.g00'), {message: /^a G00 picture cut short/});
  assert.throws(() => brask.decode([1, 2, 3], 'x.g00'), TypeError);
});

test('fuzz corpora and regression files answer or throw the API\'s words, never a trap', {timeout: 180_000}, () => {
  const folders = ['corpus', 'regressions'].map((f) => join(sourceDir, 'fuzz', f)).filter(existsSync);
  let files = 0, refused = 0;
  const reasons = new Set();
  for (const folder of folders) {
    for (const path of filesUnder(folder)) {
      const bytes = new Uint8Array(readFileSync(join(folder, path)));
      for (const name of ['x.g00', 'x.pdt']) {
        try {
          const picture = brask.decode(bytes, name);
          picture.parts.forEach((part, n) => { brask.decodePart(bytes, name, n); });
        } catch (error) {
          assert.ok(error instanceof Error && !(error instanceof WebAssembly.RuntimeError),
                    `${path} as ${name}: ${error}`);
          assert.notEqual(error.message, 'unknown result');
          reasons.add(error.message);
          ++refused;
        }
      }
      ++files;
    }
  }
  assert.ok(files > 100, `only ${files} files`);
  assert.ok(refused > 0 && reasons.size >= 2, [...reasons].join('; '));
  // The corpora's bombs claim more than the memory limit: refused before anything is allocated.
  assert.ok(reasons.has('the picture needs more memory than the limit allows'), [...reasons].join('; '));
  assert.ok(brask.HEAPU8.length <= 256 << 20, `memory grew to ${brask.HEAPU8.length} bytes`);
  // The module still decodes after them.
  assert.equal(brask.decode(new Uint8Array(readFileSync(join(samples, 'tiles-pdt11.pdt'))), 'x').width, 160);
});

test('a thousand files in a row take no more memory than the largest alone', async () => {
  const fresh = await loadModule();
  const inputs = sampleFiles.map((path) => ({path, bytes: new Uint8Array(readFileSync(join(samples, path)))}));
  // The largest picture of the lot, with its parts: what the module needs at most.
  const sizes = inputs.map(({path, bytes}) => { try { const p = fresh.decode(bytes, path); return p.width * p.height; } catch { return -1; } });
  const probe = await loadModule();
  const largest = inputs[sizes.indexOf(Math.max(...sizes))];
  probe.decode(largest.bytes, largest.path);
  const need = probe.HEAPU8.length;
  let count = 0;
  for (let round = 0; count < 1000; ++round) {
    for (const {path, bytes} of inputs) {
      try {
        const picture = probe.decode(bytes, path);
        picture.parts.forEach((part, n) => probe.decodePart(bytes, path, n));
      } catch { /* cut files may be refused; they count all the same */ }
      ++count;
    }
  }
  assert.equal(probe.HEAPU8.length, need, `grew from ${need} to ${probe.HEAPU8.length} bytes over ${count} files`);
});
