// SPDX-License-Identifier: MIT
// Remakes data/screenshots/web-gallery.png and web-viewer.png: the viewer page (built by the
// web preset) in headless Chromium, with `brask demo`'s samples and a type-2 G00 of
// data/pictures/flower_800x600_rgba.png dropped on it, then that picture opened.
// Usage: node tools/web_screenshot.mjs   (after ./dev demo and the web preset's build)
import {execFileSync} from 'node:child_process';
import {mkdtempSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {dirname, join, resolve} from 'node:path';
import {fileURLToPath} from 'node:url';
import {dropPaths, openBrowser, serveSite, waitForGallery} from '../web/browser_session.mjs';

const source = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const brask = join(source, 'build/native/bin/brask');
const work = mkdtempSync(join(tmpdir(), 'brask-screenshot-'));
execFileSync(brask, ['demo', work], {stdio: 'ignore'});
execFileSync(brask, ['encode', join(source, 'data/pictures/flower_800x600_rgba.png'),
                     join(work, 'samples/flower.g00'), '--mode', 'g00-2'], {stdio: 'ignore'});

const server = await serveSite(join(source, 'build/web/site'));
const {browser, close} = await openBrowser({width: 1100, height: 640});
try {
  const page = await browser.newPage();
  await page.goto(`${server.origin}/`);
  await dropPaths(page, [join(work, 'samples')]);
  await waitForGallery(page, 13);
  await page.screenshot({path: join(source, 'data/screenshots/web-gallery.png')});
  const cards = await page.$$('button.card');
  for (const card of cards) {
    if ((await card.$eval('.name', (e) => e.textContent)) === 'samples/flower.g00') await card.click();
  }
  await page.waitForFunction(() => document.getElementById('picture').dataset.shown === 'samples/flower.g00:');
  await page.screenshot({path: join(source, 'data/screenshots/web-viewer.png')});
} finally {
  await close();
  server.close();
  rmSync(work, {recursive: true, force: true});
}
