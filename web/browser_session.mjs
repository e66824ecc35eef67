// SPDX-License-Identifier: MIT
// Headless Chromium on the built viewer page, for the browser test and the screenshot script:
// a static server on 127.0.0.1 (an ephemeral port) serving the site, the browser driven
// through puppeteer-core, and files dropped onto the page as a person drops them.
import {createServer} from 'node:http';
import {mkdtempSync, readFileSync, rmSync, statSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {extname, join, normalize, resolve} from 'node:path';
import puppeteer from 'puppeteer-core';

export const chromiumPath = process.env.BRASK_CHROMIUM || '/usr/bin/chromium';
const kTypes = {'.html': 'text/html', '.js': 'text/javascript', '.mjs': 'text/javascript',
                '.css': 'text/css', '.wasm': 'application/wasm', '.txt': 'text/plain'};

// Serves `site` on 127.0.0.1; resolves with {origin, close}.
export function serveSite(folder) {
  const site = resolve(folder);
  const server = createServer((request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const file = join(site, path.endsWith('/') ? join(path, 'index.html') : path);
    try {
      if (!file.startsWith(site) || !statSync(file).isFile()) throw new Error('not found');
      response.writeHead(200, {'Content-Type': kTypes[extname(file)] || 'application/octet-stream'});
      response.end(readFileSync(file));
    } catch {
      response.writeHead(404).end();
    }
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => {
    const {port} = server.address();
    resolve({origin: `http://127.0.0.1:${port}`, close: () => server.close()});
  }));
}

// Chromium with a fresh profile, no network of its own, downloads into `downloads`.
export async function openBrowser({width = 1280, height = 800} = {}) {
  const profile = mkdtempSync(join(tmpdir(), 'brask-chromium-'));
  const args = ['--disable-gpu', '--disable-quic', '--no-first-run',
                '--disable-background-networking', '--disable-component-update', '--disable-sync',
                `--user-data-dir=${profile}`, `--window-size=${width},${height}`];
  if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  const browser = await puppeteer.launch({executablePath: chromiumPath, headless: true, args,
                                          defaultViewport: {width, height}});
  const close = async () => {
    await browser.close();
    rmSync(profile, {recursive: true, force: true});
  };
  return {browser, close};
}

// Drops `paths` (files or folders) onto the page as a person would, by the drag events
// Chromium's input layer sends.
export async function dropPaths(page, paths) {
  const client = await page.createCDPSession();
  const data = {items: [], files: paths, dragOperationsMask: 1};
  for (const type of ['dragEnter', 'dragOver', 'drop']) {
    await client.send('Input.dispatchDragEvent', {type, x: 200, y: 300, data});
  }
  await client.detach();
}

// Waits until every dropped file has its card (the status line says how many).
export async function waitForGallery(page, files, timeout = 60_000) {
  try {
    await page.waitForFunction((count) => {
      const status = document.getElementById('status').textContent;
      return status.startsWith(`${count} files`);
    }, {timeout}, files);
  } catch (error) {
    const status = await page.evaluate(() => document.getElementById("status")?.textContent + " at " + location.href);
    throw new Error(`the gallery did not fill with ${files} files: "${status}"`);
  }
}

// Collects into `problems` what a page must never do: log an error (the page or its workers),
// throw, or fetch from anywhere but `origin`.
export function watchForProblems(page, origin, problems) {
  const watch = (source, target) => target.on('console', (message) => {
    if (message.type() === 'error') problems.push(`${source} console: ${message.text()}`);
  });
  watch('page', page);
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('workercreated', (worker) => watch('worker', worker));
  page.on('request', (request) => {
    if (!request.url().startsWith(origin)) problems.push(`request elsewhere: ${request.url()}`);
  });
}
