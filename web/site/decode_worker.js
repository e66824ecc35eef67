// SPDX-License-Identifier: MIT
// The page's decoder: a module worker with its own instance of the WebAssembly module. It
// answers one request at a time (the pool hands it the next when it answers), so the page
// never waits on a decode, and its memory is reused from file to file.
import createBrask from './brask.mjs';
import {partsJson} from './converter_outputs.js';
import {encodePicturePng} from './png_file.js';
import {makeThumbnail} from './thumbnail.js';

let brask = createBrask();

async function handle(request) {
  const module = await brask;
  const bytes = new Uint8Array(await request.file.arrayBuffer());
  const name = request.file.name;
  switch (request.kind) {
    case 'describe': {
      // The facts and a thumbnail, for the gallery.
      const picture = module.decode(bytes, name);
      const {rgba, ...facts} = picture;
      const thumbnail = makeThumbnail(rgba, picture.width, picture.height, request.thumbnailSize);
      return {result: {facts, thumbnail}, transfer: [thumbnail.rgba.buffer]};
    }
    case 'pixels': {
      // The picture or one part at full size, for the viewer.
      const decoded = request.part == null ? module.decode(bytes, name)
                                           : module.decodePart(bytes, name, request.part);
      return {result: {width: decoded.width, height: decoded.height, rgba: decoded.rgba},
              transfer: [decoded.rgba.buffer]};
    }
    case 'png': {
      // What a download holds: the picture (or part) as PNG, with the parts too if asked.
      const picture = module.decode(bytes, name);
      const files = [{suffix: '', bytes: encodePicturePng(picture)}];
      if (request.withParts && picture.mode === 'g00-2') {
        picture.parts.forEach((part, n) => {
          if (part.width < 1 || part.height < 1) return;  // no picture of its own
          const own = module.decodePart(bytes, name, n);
          files.push({suffix: `-part${part.index}.png`,
                      bytes: encodePicturePng({...own, hasAlpha: true})});
        });
        files.push({suffix: '-parts.json', bytes: new TextEncoder().encode(partsJson(picture.parts))});
      }
      return {result: {files}, transfer: files.map((file) => file.bytes.buffer)};
    }
    case 'part-png': {
      const own = module.decodePart(bytes, name, request.part);
      const png = encodePicturePng({...own, hasAlpha: true});
      return {result: {files: [{suffix: '', bytes: png}]}, transfer: [png.buffer]};
    }
    default:
      throw new Error(`unknown request ${request.kind}`);
  }
}

self.onmessage = async (event) => {
  const {id, request} = event.data;
  try {
    const {result, transfer} = await handle(request);
    self.postMessage({id, result}, transfer);
  } catch (error) {
    // A trap leaves the module's state unknown: the next file gets a fresh instance.
    if (error instanceof WebAssembly.RuntimeError) brask = createBrask();
    self.postMessage({id, error: error instanceof Error ? error.message : String(error)});
  }
};
