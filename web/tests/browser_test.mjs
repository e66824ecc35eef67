// SPDX-License-Identifier: MIT
// The viewer page in headless Chromium, served from 127.0.0.1: a folder of samples of every
// mode and a damaged file are dropped on it. Every card appears; the damaged one gives the
// API's reason; the viewer's canvas holds the API's pixels; the PNG and ZIP downloads hold
// what `brask convert --parts` writes; nothing is fetched from elsewhere and nothing is
// logged as an error, by the page or its workers.
import assert from 'node:assert/strict';
import {existsSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync} from 'node:fs';
import {after, before, test} from 'node:test';
import {unzipSync} from 'fflate';
import {chromiumPath, dropPaths, openBrowser, serveSite, waitForGallery, watchForProblems}
  from '../browser_session.mjs';
import {convertNatively, filesUnder, firstDifference, join, kSkipped, makeSamples, readPngRgba,
        skipWithoutNativeProgram, temporaryFolder} from './support.mjs';

skipWithoutNativeProgram();
if (!existsSync(chromiumPath)) {
  console.error(`skipped: no Chromium at ${chromiumPath} (apt-get install chromium)`);
  process.exit(kSkipped);
}
const site = process.env.BRASK_WEB_SITE_DIR;
const root = temporaryFolder('browser');
const samples = makeSamples(root);
const expected = join(root, 'expected');
convertNatively(samples, expected);
const sampleCount = readdirSync(samples).filter((name) => statSync(join(samples, name)).isFile()).length;
// A picture cut short: the native program refuses it, and says why.
const damaged = join(root, 'damaged.pdt');
writeFileSync(damaged, readFileSync(join(samples, 'cut', 'waves-pdt10.pdt')));
const downloads = join(root, 'downloads');

let server, browser, closeBrowser, page;
const problems = [];

before(async () => {
  server = await serveSite(site);
  ({browser, close: closeBrowser} = await openBrowser());
  page = await browser.newPage();
  watchForProblems(page, server.origin + '/', problems);
  const client = await page.createCDPSession();
  await client.send('Browser.setDownloadBehavior', {behavior: 'allow', downloadPath: downloads});
  await page.goto(`${server.origin}/`);
  await dropPaths(page, [samples, damaged]);
  // The folder's samples, its cut copies and the damaged file.
  await waitForGallery(page, 2 * sampleCount + 1);
});

after(async () => {
  if (closeBrowser) await closeBrowser();
  if (server) server.close();
  rmSync(root, {recursive: true, force: true});
});

function waitForFile(path, timeout = 30_000) {
  const start = Date.now();
  return new Promise((resolve, reject) => {
    const poll = () => {
      if (existsSync(path) && statSync(path).size > 0 && !existsSync(`${path}.crdownload`)) resolve(readFileSync(path));
      else if (Date.now() - start > timeout) reject(new Error(`no download ${path}`));
      else setTimeout(poll, 100);
    };
    poll();
  });
}

async function openCard(path) {
  const cards = await page.$$('button.card');
  for (const card of cards) {
    if ((await card.$eval('.name', (e) => e.textContent)) === path) {
      await card.click();
      return;
    }
  }
  throw new Error(`no card for ${path}`);
}

// The viewer's canvas as RGBA, once the picture asked for is drawn.
async function shownPixels(path, part) {
  await page.waitForFunction((want) => document.getElementById('picture').dataset.shown === want,
                             {}, `${path}:${part ?? ''}`);
  return page.$eval('#picture', (canvas) => {
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    return {width: canvas.width, height: canvas.height, rgba: Array.from(data)};
  });
}

// A canvas keeps premultiplied colour: alpha must match exactly, and colour as far as the
// alpha lets it show (none at 0, within rounding below 255).
function canvasDifference(have, want) {
  if (have.width !== want.width || have.height !== want.height) return 'size';
  for (let i = 0; i < want.rgba.length; i += 4) {
    const alpha = want.rgba[i + 3];
    if (have.rgba[i + 3] !== alpha) return `alpha at ${i >> 2}: have ${have.rgba[i + 3]}, want ${alpha}`;
    for (let c = 0; c < 3; ++c) {
      const shown = Math.round(have.rgba[i + c] * alpha / 255), stored = Math.round(want.rgba[i + c] * alpha / 255);
      if (Math.abs(shown - stored) > 1) return `colour at ${i >> 2}: have ${have.rgba[i + c]}, want ${want.rgba[i + c]} under alpha ${alpha}`;
    }
  }
  return '';
}

test('the damaged file shows the API\'s reason and the rest decode', async () => {
  const reasons = await page.$$eval('.card.damaged', (cards) => cards.map((card) => [
    card.querySelector('.name').textContent, card.querySelector('.reason').textContent]));
  const mine = reasons.find(([name]) => name === 'damaged.pdt');
  assert.ok(mine, JSON.stringify(reasons));
  const complaint = convertNatively(damaged, join(root, 'damaged-out'));
  assert.ok(complaint.includes(mine[1]), `${mine[1]} not in: ${complaint}`);
  assert.equal(await page.$$eval('button.card', (cards) => cards.length), sampleCount);
});

test('the viewer shows every picture and every part with the API\'s pixels', async () => {
  const names = readdirSync(samples).filter((name) => name.includes('.') && statSync(join(samples, name)).isFile()).sort();
  for (const name of names) {
    await openCard(`samples/${name}`);
    const want = readPngRgba(readFileSync(join(expected, name.replace(/\.[^.]+$/, '.png'))));
    assert.equal(canvasDifference(await shownPixels(`samples/${name}`, null), want), '', name);
    const parts = await page.$$('#parts button:not([disabled])');
    for (let n = 1; n < parts.length; ++n) {  // the first is the whole picture
      await parts[n].click();
      const stem = name.replace(/\.[^.]+$/, '');
      const partPng = join(expected, `${stem}-part${n - 1}.png`);
      assert.equal(canvasDifference(await shownPixels(`samples/${name}`, n - 1), readPngRgba(readFileSync(partPng))), '', `${name} part ${n - 1}`);
    }
    await page.keyboard.press('Escape');
    await page.waitForFunction(() => !document.getElementById('viewer').open);
  }
});

test('the arrow keys step through the pictures in the viewer', async () => {
  await openCard('samples/badge-g00-2.g00');
  await page.keyboard.press('ArrowRight');
  await page.waitForFunction(() => document.getElementById('viewer-title').textContent === 'samples/badge-pdt10-mask.pdt');
  await page.keyboard.press('Escape');
});

test('the PNG download of a picture and of a part hold what the converter writes', async () => {
  await openCard('samples/fade-g00-2.g00');
  await page.click('#download-png');
  const png = readPngRgba(await waitForFile(join(downloads, 'fade-g00-2.png')));
  assert.equal(png.channels, 4);
  assert.equal(firstDifference(png, readPngRgba(readFileSync(join(expected, 'fade-g00-2.png')))), '');
  await page.click('#parts li:nth-child(2) button');
  await page.click('#download-png');
  const part = readPngRgba(await waitForFile(join(downloads, 'fade-g00-2-part0.png')));
  assert.equal(firstDifference(part, readPngRgba(readFileSync(join(expected, 'fade-g00-2-part0.png')))), '');
  await page.keyboard.press('Escape');
});

test('the ZIP holds every file the converter writes, in the dropped folders', async () => {
  await page.click('#download-all');
  const zipped = unzipSync(new Uint8Array(await waitForFile(join(downloads, 'pictures.zip'))));
  const want = filesUnder(expected).map((path) => `samples/${path}`);
  assert.deepEqual(Object.keys(zipped).sort(), want.sort());
  for (const path of want) {
    const native = readFileSync(join(expected, path.slice('samples/'.length)));
    if (path.endsWith('.json')) {
      assert.equal(new TextDecoder().decode(zipped[path]), native.toString('utf8'), path);
    } else {
      assert.equal(firstDifference(readPngRgba(zipped[path]), readPngRgba(native)), '', path);
    }
  }
});

test('files chosen with the picker join the gallery', async () => {
  const before = await page.$$eval('button.card', (cards) => cards.length);
  const input = await page.$('#pick-files');
  await input.uploadFile(join(samples, 'tiles-pdt11.pdt'), damaged);
  await waitForGallery(page, 2 * sampleCount + 3);
  const captions = await page.$$eval('button.card .caption', (c) => c.map((e) => e.textContent));
  assert.equal(captions.length, before + 1);
  assert.equal(captions.at(-1), '160 × 121 · pdt11');
});

test('nothing was logged as an error and nothing was fetched from elsewhere', () => {
  assert.deepEqual(problems, []);
});
