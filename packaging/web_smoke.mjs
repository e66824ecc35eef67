// SPDX-License-Identifier: MIT
// The released viewer page as a visitor meets it: ORIGIN (the unzipped site, served by the
// release) opened in headless Chromium, PICTURE dropped on it. Its card must be decoded, the
// footer must name VERSION, and nothing may be logged as an error or fetched from elsewhere.
// Usage: node web_smoke.mjs ORIGIN VERSION PICTURE
import {basename} from 'node:path';
import {dropPaths, openBrowser, waitForGallery, watchForProblems} from '../web/browser_session.mjs';

const [origin, version, picture] = process.argv.slice(2);
if (!origin || !version || !picture) {
  console.error('usage: node web_smoke.mjs ORIGIN VERSION PICTURE');
  process.exit(2);
}
const problems = [];
const {browser, close} = await openBrowser();
try {
  const page = await browser.newPage();
  watchForProblems(page, origin, problems);
  await page.goto(origin);
  const footer = await page.$eval('#version', (e) => e.textContent);
  if (footer !== version) problems.push(`the footer says version "${footer}", not ${version}`);
  await dropPaths(page, [picture]);
  await waitForGallery(page, 1);
  const decoded = await page.$$eval('button.card .name', (names) => names.map((n) => n.textContent));
  if (decoded.length !== 1 || !decoded[0].endsWith(basename(picture))) {
    const damaged = await page.$$eval('.card.damaged', (cards) => cards.map((c) => c.textContent));
    problems.push(`${basename(picture)} was not decoded: cards ${JSON.stringify(decoded)}, damaged ${JSON.stringify(damaged)}`);
  }
  // Fetched from the page, not opened: a text page would have the browser ask for a favicon.
  const licence = await page.$eval('footer a', (link) => fetch(link.href).then((r) => r.status));
  if (licence !== 200) problems.push(`the footer's licences link answers ${licence}`);
} finally {
  await close();
}
if (problems.length) {
  console.error(`the released page failed:\n  ${problems.join('\n  ')}`);
  process.exit(1);
}
console.log(`the page of version ${version} decoded ${basename(picture)} in headless Chromium, no errors`);
