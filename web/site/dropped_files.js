// SPDX-License-Identifier: MIT
// The files a drop or a picker gives, each with its path relative to what was dropped
// ("folder/sub/x.g00"), folders walked to the bottom.

// Reads every entry of a dropped folder (the browser hands them over in batches).
function readAllEntries(directory) {
  const reader = directory.createReader();
  const entries = [];
  return new Promise((resolve, reject) => {
    const next = () => reader.readEntries((batch) => {
      if (batch.length === 0) { resolve(entries); return; }
      entries.push(...batch);
      next();
    }, reject);
    next();
  });
}

async function walkEntry(entry, found, onProgress) {
  if (entry.isFile) {
    const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
    found.push({file, path: entry.fullPath.replace(/^\/+/, '')});
    if (found.length % 100 === 0) onProgress(found.length);
  } else if (entry.isDirectory) {
    const entries = await readAllEntries(entry);
    entries.sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0));
    for (const child of entries) await walkEntry(child, found, onProgress);
  }
}

// `onProgress(count)` hears how many files the walk has found so far, now and then.
export async function filesFromDrop(dataTransfer, onProgress = () => {}) {
  const entries = [];
  for (const item of dataTransfer.items || []) {
    const entry = item.kind === 'file' && item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
    if (entry) entries.push(entry);
  }
  if (entries.length === 0) return filesFromList(dataTransfer.files);
  const found = [];
  for (const entry of entries) await walkEntry(entry, found, onProgress);
  return found;
}

// From <input type=file>, with or without its folder mode.
export function filesFromList(list) {
  return Array.from(list || [], (file) => ({file, path: file.webkitRelativePath || file.name}));
}
