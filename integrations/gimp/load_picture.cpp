// SPDX-License-Identifier: MIT
#include "integrations/gimp/load_picture.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "brask/brask.h"
#include "integrations/gimp/part_parasite.h"

namespace brask_gimp {
namespace {

// Closes the handle whatever path leaves the load.
struct OpenedPicture {
  brask_picture* handle = nullptr;
  ~OpenedPicture() { brask_close(handle); }
};

// Deletes a half-built image unless the load succeeds.
struct ImageUnderConstruction {
  gint32 image = -1;
  ~ImageUnderConstruction() {
    if (image != -1) gimp_image_delete(image);
  }
  gint32 Release() {
    const gint32 done = image;
    image = -1;
    return done;
  }
};

bool Failed(brask_result result, const char* what, std::string* why) {
  if (result == BRASK_OK) return false;
  *why = std::string(what) + ": " + brask_result_text(result);
  return true;
}

bool SetPixels(gint32 layer, const char* babl_name, const void* pixels, int width, int height) {
  GeglBuffer* buffer = gimp_drawable_get_buffer(layer);
  if (buffer == nullptr) return false;
  const GeglRectangle area = {0, 0, width, height};
  const Babl* format = babl_name != nullptr ? babl_format(babl_name) : gimp_drawable_get_format(layer);
  gegl_buffer_set(buffer, &area, 0, format, pixels, GEGL_AUTO_ROWSTRIDE);
  g_object_unref(buffer);
  return true;
}

gint32 AddLayer(gint32 image, const std::string& name, int width, int height, GimpImageType type,
                std::string* why) {
  const gint32 layer = gimp_layer_new(image, name.c_str(), width, height, type, 100.0,
                                      gimp_image_get_default_new_layer_mode(image));
  if (layer == -1 || !gimp_image_insert_layer(image, layer, -1, 0)) {
    *why = "GIMP could not make a layer of " + std::to_string(width) + " x " +
           std::to_string(height) + " pixels";
    return -1;
  }
  return layer;
}

bool LoadIndexed(brask_picture* picture, const brask_info& info, gint32 image, std::string* why) {
  const size_t width = info.width;
  std::vector<uint8_t> indexes(width * info.height);
  std::vector<uint8_t> palette(size_t{info.palette_size} * 3);
  if (Failed(brask_decode_indexed(picture, indexes.data(), indexes.size(), width,
                                  palette.empty() ? nullptr : palette.data(), palette.size()),
             "cannot decode the picture", why)) {
    return false;
  }
  // GIMP's colour map must name every index used: padded with black, as RGBA decoding shows
  // indexes past the palette.
  const size_t used = indexes.empty() ? 0 : size_t{*std::max_element(indexes.begin(), indexes.end())} + 1;
  palette.resize(std::max<size_t>({palette.size() / 3, used, 1}) * 3, 0);
  gimp_image_set_colormap(image, palette.data(), static_cast<gint>(palette.size() / 3));
  const gint32 layer = AddLayer(image, "Background", static_cast<int>(info.width),
                                static_cast<int>(info.height), GIMP_INDEXED_IMAGE, why);
  return layer != -1 && SetPixels(layer, nullptr, indexes.data(), static_cast<int>(info.width),
                                  static_cast<int>(info.height));
}

bool LoadColour(brask_picture* picture, const brask_info& info, gint32 image, std::string* why) {
  const size_t row_bytes = size_t{info.width} * 4;
  std::vector<uint8_t> rgba(row_bytes * info.height);
  if (Failed(brask_decode_rgba(picture, rgba.data(), rgba.size(), row_bytes),
             "cannot decode the picture", why)) {
    return false;
  }
  const bool alpha = info.has_alpha != 0;
  const gint32 layer = AddLayer(image, "Background", static_cast<int>(info.width),
                                static_cast<int>(info.height),
                                alpha ? GIMP_RGBA_IMAGE : GIMP_RGB_IMAGE, why);
  if (layer == -1) return false;
  if (!alpha) {
    // Packed in place: each pixel moves to an earlier or the same place.
    for (size_t i = 0, o = 0; i < rgba.size(); i += 4, o += 3) {
      rgba[o] = rgba[i];
      rgba[o + 1] = rgba[i + 1];
      rgba[o + 2] = rgba[i + 2];
    }
  }
  return SetPixels(layer, alpha ? "R'G'B'A u8" : "R'G'B' u8", rgba.data(),
                   static_cast<int>(info.width), static_cast<int>(info.height));
}

void AttachParasite(gint32 item, bool image, const char* name, const std::string& text) {
  GimpParasite* parasite = gimp_parasite_new(name, GIMP_PARASITE_PERSISTENT,
                                             static_cast<guint32>(text.size()), text.data());
  if (image) {
    gimp_image_attach_parasite(item, parasite);
  } else {
    gimp_item_attach_parasite(item, parasite);
  }
  gimp_parasite_free(parasite);
}

bool LoadParts(brask_picture* picture, const brask_info& info, gint32 image, std::string* why) {
  int layers = 0;
  std::vector<EmptyPart> empty_parts;
  for (uint32_t n = 0; n < info.part_count; ++n) {
    brask_part part;
    if (Failed(brask_get_part(picture, n, &part), "cannot read the part directory", why)) return false;
    if (part.width < 1 || part.height < 1) {
      // No picture of its own, so no layer; kept on the image so export puts it back.
      EmptyPart empty;
      empty.entry = {part.index, part.origin_x, part.origin_y};
      empty.width = part.width;
      empty.height = part.height;
      empty.top = part.top;
      empty_parts.push_back(empty);
      continue;
    }
    if (part.width > GIMP_MAX_IMAGE_SIZE || part.height > GIMP_MAX_IMAGE_SIZE ||
        part.top > static_cast<uint32_t>(GIMP_MAX_IMAGE_SIZE)) {
      *why = "part " + std::to_string(part.index) + " is larger than GIMP allows";
      return false;
    }
    const size_t row_bytes = static_cast<size_t>(part.width) * 4;
    std::vector<uint8_t> rgba(row_bytes * static_cast<size_t>(part.height));
    if (Failed(brask_decode_part_rgba(picture, n, rgba.data(), rgba.size(), row_bytes),
               "cannot decode a part", why)) {
      return false;
    }
    // Later parts are composed over earlier ones, so each goes above the last.
    const gint32 layer = AddLayer(image, "part " + std::to_string(part.index), part.width,
                                  part.height, GIMP_RGBA_IMAGE, why);
    if (layer == -1) return false;
    gimp_layer_set_offsets(layer, 0, static_cast<gint>(part.top));
    if (!SetPixels(layer, "R'G'B'A u8", rgba.data(), part.width, part.height)) {
      *why = "GIMP gave no pixel buffer for a layer";
      return false;
    }
    AttachParasite(layer, false, kPartParasiteName,
                   FormatPartEntry({part.index, part.origin_x, part.origin_y}));
    ++layers;
  }
  if (!empty_parts.empty()) AttachParasite(image, true, kEmptyPartsParasiteName, FormatEmptyParts(empty_parts));
  // Parts without pictures of their own leave the composed picture, which shows them all.
  return layers > 0 || LoadColour(picture, info, image, why);
}

}  // namespace

gint32 LoadPicture(const std::string& path, std::string* why) {
  OpenedPicture picture;
  if (Failed(brask_open_path(path.c_str(), 0, &picture.handle), "cannot open the picture", why)) {
    return -1;
  }
  brask_info info;
  if (Failed(brask_get_info(picture.handle, &info), "cannot describe the picture", why)) return -1;
  if (info.width < 1 || info.height < 1 || info.width > GIMP_MAX_IMAGE_SIZE ||
      info.height > GIMP_MAX_IMAGE_SIZE) {
    *why = "a picture of " + std::to_string(info.width) + " x " + std::to_string(info.height) +
           " pixels is beyond what GIMP opens";
    return -1;
  }
  const bool indexed = info.mode == BRASK_MODE_G00_TYPE1 || info.mode == BRASK_MODE_PDT11;
  ImageUnderConstruction image;
  image.image = gimp_image_new(static_cast<gint>(info.width), static_cast<gint>(info.height),
                               indexed ? GIMP_INDEXED : GIMP_RGB);
  if (image.image == -1) {
    *why = "GIMP could not make an image";
    return -1;
  }
  gimp_image_set_filename(image.image, path.c_str());
  const bool loaded = info.mode == BRASK_MODE_G00_TYPE2 ? LoadParts(picture.handle, info, image.image, why)
                      : indexed ? LoadIndexed(picture.handle, info, image.image, why)
                                : LoadColour(picture.handle, info, image.image, why);
  return loaded ? image.Release() : -1;
}

}  // namespace brask_gimp
