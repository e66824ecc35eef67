// SPDX-License-Identifier: MIT
// Builds the viewer page into OUT: the page's scripts bundled with the libraries they use
// (from node_modules, installed by `npm ci` in this folder), the WebAssembly module beside
// them, and the static files. Usage: node build_site.mjs MODULE_DIR OUT
import {copyFileSync, mkdirSync, rmSync} from 'node:fs';
import {dirname, join} from 'node:path';
import {fileURLToPath} from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const [moduleDir, out] = process.argv.slice(2);
if (!moduleDir || !out) {
  console.error('usage: node build_site.mjs MODULE_DIR OUT');
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
for (const file of ['index.html', 'viewer.css']) copyFileSync(join(here, 'site', file), join(out, file));
for (const file of ['brask.mjs', 'brask.wasm']) copyFileSync(join(moduleDir, file), join(out, file));
