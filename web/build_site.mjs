// SPDX-License-Identifier: MIT
// Builds the viewer page into OUT: the page's scripts bundled with the libraries they use
// (from node_modules, installed by `npm ci` in this folder), the WebAssembly module beside
// them, and the static files; the page's footer names VERSION. Usage:
// node build_site.mjs MODULE_DIR OUT VERSION
import {copyFileSync, mkdirSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {dirname, join} from 'node:path';
import {fileURLToPath} from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const [moduleDir, out, version] = process.argv.slice(2);
if (!moduleDir || !out || !version) {
  console.error('usage: node build_site.mjs MODULE_DIR OUT VERSION');
  process.exit(2);
}
let build;
try {
  ({build} = await import('esbuild'));
} catch {
  console.error(`build_site: the page's npm packages are missing: run \`npm ci\` in ${here} (./dev does)`);
  process.exit(1);
}
rmSync(out, {recursive: true, force: true});
mkdirSync(out, {recursive: true});
await build({
  entryPoints: [join(here, 'site/main.js'), join(here, 'site/decode_worker.js')],
  bundle: true, format: 'esm', minify: true, target: 'es2020', outdir: out,
  external: ['./brask.mjs'], logLevel: 'warning', legalComments: 'linked',
});
copyFileSync(join(here, 'site/viewer.css'), join(out, 'viewer.css'));
const page = readFileSync(join(here, 'site/index.html'), 'utf8');
writeFileSync(join(out, 'index.html'), page.replaceAll('@VERSION@', version));
for (const file of ['brask.mjs', 'brask.wasm']) copyFileSync(join(moduleDir, file), join(out, file));
