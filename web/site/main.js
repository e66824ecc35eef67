// SPDX-License-Identifier: MIT
// The viewer page: files dropped or chosen become cards in a gallery as workers decode them;
// a card opens the viewer (fitted or 1:1, alpha over a checkerboard, the facts, the parts);
// downloads are PNG files, or a ZIP of what the command-line converter writes with --parts.
import {Zip, ZipPassThrough} from 'fflate';
import {besidePng, planPngPaths} from './converter_outputs.js';
import {DecodePool} from './decode_pool.js';
import {filesFromDrop, filesFromList} from './dropped_files.js';

const kThumbnailSize = 160;
const kZipWindow = 8;  // pictures converted ahead of the one being added to the ZIP
const kModeWords = {
  'g00-0': 'G00 type 0: 24-bit colour', 'g00-1': 'G00 type 1: 8-bit indexed',
  'g00-2': 'G00 type 2: parts with alpha', 'pdt10': 'PDT10: 24-bit colour',
  'pdt10-mask': 'PDT10 with an alpha mask', 'pdt11': 'PDT11: 8-bit indexed',
};

const $ = (id) => document.getElementById(id);
const pool = new DecodePool(new URL('./decode_worker.js', import.meta.url),
                            Math.min(4, Math.max(2, (navigator.hardwareConcurrency || 2) - 1)));
// Every file in the order given: {file, path, card, facts | error}.
const pictures = [];
let finished = 0;
let failed = 0;
let viewing = null;  // {index, part} in the viewer

function element(tag, attributes = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  node.append(...children);
  return node;
}

function baseName(path) { return path.slice(path.lastIndexOf('/') + 1); }

function drawRgba(canvas, width, height, rgba) {
  canvas.width = width;
  canvas.height = height;
  if (width > 0 && height > 0) canvas.getContext('2d').putImageData(new ImageData(rgba, width, height), 0, 0);
}

function describeSize(facts) { return `${facts.width} × ${facts.height}`; }

function showProgress() {
  const total = pictures.length;
  $('progress').hidden = finished === total;
  $('progress').max = Math.max(total, 1);
  $('progress').value = finished;
  const failures = failed === 0 ? '' : `, ${failed} could not be read`;
  $('status').textContent = finished === total ? `${total} files${failures}`
                                               : `Decoding ${finished} of ${total}${failures}…`;
  $('download-all').disabled = finished !== total || pictures.every((p) => !p.facts);
  $('empty').hidden = total !== 0;
}

function addFiles(found) {
  const added = found.map(({file, path}) => {
    const picture = {file, path, index: pictures.length, card: element('li', {class: 'card-slot'})};
    picture.card.append(element('div', {class: 'card pending'},
                                element('div', {class: 'thumb', 'aria-hidden': 'true'}),
                                element('span', {class: 'name'}, path),
                                element('span', {class: 'caption'}, 'decoding…')));
    pictures.push(picture);
    return picture;
  });
  $('gallery').append(...added.map((picture) => picture.card));
  showProgress();
  for (const picture of added) describe(picture);
}

async function describe(picture) {
  const index = picture.index;
  try {
    const {facts, thumbnail} = await pool.request({kind: 'describe', file: picture.file,
                                                   thumbnailSize: kThumbnailSize});
    picture.facts = facts;
    const canvas = element('canvas', {class: facts.hasAlpha ? 'checkerboard' : ''});
    drawRgba(canvas, thumbnail.width, thumbnail.height, thumbnail.rgba);
    const button = element('button', {type: 'button', class: 'card'},
                           element('span', {class: 'thumb'}, canvas),
                           element('span', {class: 'name'}, picture.path),
                           element('span', {class: 'caption'}, `${describeSize(facts)} · ${facts.mode}`));
    button.setAttribute('aria-label', `${picture.path}, ${describeSize(facts)}, ${facts.mode}`);
    button.addEventListener('click', () => openViewer(index, null));
    picture.card.replaceChildren(button);
  } catch (error) {
    picture.error = error.message;
    ++failed;
    picture.card.replaceChildren(element('div', {class: 'card damaged', tabindex: '0',
                                                 'aria-label': `${picture.path}: ${error.message}`},
                                         element('span', {class: 'name'}, picture.path),
                                         element('span', {class: 'reason'}, error.message)));
  }
  ++finished;
  showProgress();
}

// ---- The viewer ----

async function openViewer(index, part) {
  const picture = pictures[index];
  const facts = picture.facts;
  viewing = {index, part};
  const partEntry = part == null ? null : facts.parts[part];
  $('viewer-title').textContent = partEntry ? `${picture.path}, part ${partEntry.index}` : picture.path;
  showFacts(facts, part);
  if (!$('viewer').open) $('viewer').showModal();
  const canvas = $('picture');
  canvas.setAttribute('aria-busy', 'true');
  // Another picture may have been chosen, or the viewer closed, while this one decoded.
  const stillWanted = () => viewing !== null && viewing.index === index && viewing.part === part;
  try {
    const shown = await pool.request({kind: 'pixels', file: picture.file, part}, {urgent: true});
    if (!stillWanted()) return;
    drawRgba(canvas, shown.width, shown.height, shown.rgba);
    applyScale();
    canvas.setAttribute('aria-label', `${$('viewer-title').textContent}, ${shown.width} × ${shown.height}`);
  } catch (error) {
    if (!stillWanted()) return;
    $('viewer-title').textContent += ` (${error.message})`;
  }
  canvas.removeAttribute('aria-busy');
  canvas.dataset.shown = `${picture.path}:${part ?? ''}`;
}

function showFacts(facts, part) {
  const rows = [['Format', facts.format.toUpperCase()], ['Mode', kModeWords[facts.mode] || facts.mode],
                ['Size', describeSize(facts)], ['Alpha', facts.hasAlpha ? 'yes' : 'no'],
                ['Palette', facts.paletteSize === 0 ? 'none' : `${facts.paletteSize} colours`],
                ['Parts', String(facts.parts.length)]];
  $('facts').replaceChildren(...rows.flatMap(([term, value]) => [element('dt', {}, term), element('dd', {}, value)]));
  $('parts-section').hidden = facts.mode !== 'g00-2';
  const items = [];
  const whole = element('button', {type: 'button', class: 'button', 'aria-pressed': String(part == null)}, 'Whole picture');
  whole.addEventListener('click', () => openViewer(viewing.index, null));
  items.push(element('li', {}, whole));
  facts.parts.forEach((entry, n) => {
    const own = entry.width >= 1 && entry.height >= 1;
    const label = `Part ${entry.index}: ${entry.width} × ${entry.height} at (${entry.originX}, ${entry.originY}), top ${entry.top}` +
                  (own ? '' : ', no picture of its own');
    const button = element('button', {type: 'button', class: 'button', 'aria-pressed': String(part === n)}, label);
    button.disabled = !own;
    button.addEventListener('click', () => openViewer(viewing.index, n));
    items.push(element('li', {}, button));
  });
  $('parts').replaceChildren(...items);
}

function step(direction) {
  if (!viewing) return;
  for (let i = viewing.index + direction; i >= 0 && i < pictures.length; i += direction) {
    if (pictures[i].facts) { openViewer(i, null); return; }
  }
}

// Fitted: as large as the stage allows, small pictures enlarged too; else a pixel a pixel.
function applyScale() {
  const canvas = $('picture'), stage = $('stage');
  let scale = 1;
  if (stage.classList.contains('fit') && canvas.width > 0 && canvas.height > 0) {
    scale = Math.min(stage.clientWidth / canvas.width, stage.clientHeight / canvas.height);
  }
  canvas.style.width = `${canvas.width * scale}px`;
  canvas.style.height = `${canvas.height * scale}px`;
  canvas.classList.toggle('enlarged', scale > 1);
}

function toggleScale() {
  const fit = $('stage').classList.toggle('fit');
  $('scale').setAttribute('aria-pressed', String(!fit));
  applyScale();
}

// ---- Downloads ----

function save(blob, name) {
  const url = URL.createObjectURL(blob);
  const link = element('a', {href: url, download: name});
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60_000);
}

// The PNG path of every decoded picture, as the converter names it (recognised files that
// failed claim their names too).
function plannedPaths() {
  const named = pictures.filter((p) => p.facts || (p.error && !p.error.startsWith('not a G00 or PDT picture')));
  const planned = planPngPaths(named.map((p) => p.path));
  return new Map(named.map((p, i) => [p, planned[i]]));
}

async function downloadShown() {
  const picture = pictures[viewing.index];
  const pngPath = plannedPaths().get(picture) || `${picture.path}.png`;
  const part = viewing.part;
  const request = part == null ? {kind: 'png', file: picture.file}
                               : {kind: 'part-png', file: picture.file, part};
  const {files} = await pool.request(request, {urgent: true});
  const name = part == null ? pngPath : besidePng(pngPath, `-part${picture.facts.parts[part].index}.png`);
  save(new Blob([files[0].bytes], {type: 'image/png'}), baseName(name));
}

async function downloadAll() {
  const button = $('download-all');
  button.disabled = true;
  const planned = plannedPaths();
  const chosen = pictures.filter((p) => p.facts && planned.get(p));
  const chunks = [];
  const zipped = new Promise((resolve, reject) => {
    const zip = new Zip((error, chunk, final) => {
      if (error) { reject(error); return; }
      chunks.push(chunk);
      if (final) resolve(new Blob(chunks, {type: 'application/zip'}));
    });
    (async () => {
      const ahead = [];
      let done = 0;
      const ask = (p) => pool.request({kind: 'png', file: p.file, withParts: true});
      for (let i = 0; i < Math.min(kZipWindow, chosen.length); ++i) ahead.push(ask(chosen[i]));
      for (let i = 0; i < chosen.length; ++i) {
        const {files} = await ahead[i];
        if (i + kZipWindow < chosen.length) ahead.push(ask(chosen[i + kZipWindow]));
        ahead[i] = null;
        const pngPath = planned.get(chosen[i]);
        for (const file of files) {
          const entry = new ZipPassThrough(file.suffix === '' ? pngPath : besidePng(pngPath, file.suffix));
          zip.add(entry);
          entry.push(file.bytes, true);
        }
        ++done;
        $('progress').hidden = false;
        $('progress').max = chosen.length;
        $('progress').value = done;
        $('status').textContent = `Making the ZIP: ${done} of ${chosen.length}…`;
      }
      zip.end();
    })().catch(reject);
  });
  try {
    save(await zipped, 'pictures.zip');
    $('status').textContent = `ZIP of ${chosen.length} pictures made`;
  } catch (error) {
    $('status').textContent = `The ZIP could not be made: ${error.message}`;
  } finally {
    $('progress').hidden = true;
    button.disabled = false;
  }
}

// ---- Input ----

let dragDepth = 0;
document.addEventListener('dragenter', (event) => {
  event.preventDefault();
  if (++dragDepth === 1) $('drop-zone').hidden = false;
});
document.addEventListener('dragleave', () => { if (--dragDepth <= 0) { dragDepth = 0; $('drop-zone').hidden = true; } });
document.addEventListener('dragover', (event) => { event.preventDefault(); });
document.addEventListener('drop', async (event) => {
  event.preventDefault();
  dragDepth = 0;
  $('drop-zone').hidden = true;
  $('status').textContent = 'Reading the dropped folders…';
  addFiles(await filesFromDrop(event.dataTransfer, (count) => {
    $('status').textContent = `Reading the dropped folders: ${count} files so far…`;
  }));
});
for (const id of ['pick-files', 'pick-folder']) {
  $(id).addEventListener('change', (event) => {
    addFiles(filesFromList(event.target.files));
    event.target.value = '';
  });
}
$('download-all').addEventListener('click', downloadAll);
$('download-png').addEventListener('click', () => downloadShown().catch((error) => {
  $('status').textContent = `The PNG could not be made: ${error.message}`;
}));
$('scale').addEventListener('click', toggleScale);
$('previous').addEventListener('click', () => step(-1));
$('next').addEventListener('click', () => step(1));
$('close').addEventListener('click', () => $('viewer').close());
$('viewer').addEventListener('close', () => {
  const card = viewing && pictures[viewing.index].card.querySelector('button');
  viewing = null;
  if (card) card.focus();
});
$('viewer').addEventListener('keydown', (event) => {
  if (event.target.closest('button') && (event.key === 'Enter' || event.key === ' ')) return;
  if (event.key === 'ArrowLeft') step(-1);
  else if (event.key === 'ArrowRight') step(1);
  else if (event.key === 'f' || event.key === 'F') toggleScale();
  else return;
  event.preventDefault();
});
// Arrow keys move between cards, row by row as the grid lays them out.
$('gallery').addEventListener('keydown', (event) => {
  const moves = {ArrowLeft: -1, ArrowRight: 1, ArrowUp: 'up', ArrowDown: 'down', Home: 'first', End: 'last'};
  const move = moves[event.key];
  if (move === undefined) return;
  const cards = [...$('gallery').querySelectorAll('.card')].filter((c) => c.tabIndex >= 0);
  const at = cards.indexOf(document.activeElement);
  if (at < 0) return;
  const perRow = Math.max(1, getComputedStyle($('gallery')).gridTemplateColumns.split(' ').length);
  const to = move === 'first' ? 0 : move === 'last' ? cards.length - 1
           : move === 'up' ? at - perRow : move === 'down' ? at + perRow : at + move;
  if (to >= 0 && to < cards.length) { cards[to].focus(); event.preventDefault(); }
});
showProgress();
new ResizeObserver(() => { if ($('viewer').open) applyScale(); }).observe($('stage'));
