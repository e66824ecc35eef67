// SPDX-License-Identifier: MIT
#include "integrations/gimp/export_picture.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "brask/brask.h"
#include "integrations/gimp/layer_parts.h"
#include "integrations/gimp/part_parasite.h"

namespace brask_gimp {
namespace {

struct ModeName {
  const char* name;
  uint32_t mode;
  FileKind kind;
};
const ModeName kModes[] = {
    {"g00-0", BRASK_MODE_G00_TYPE0, FileKind::kG00},   {"g00-1", BRASK_MODE_G00_TYPE1, FileKind::kG00},
    {"g00-2", BRASK_MODE_G00_TYPE2, FileKind::kG00},   {"pdt10", BRASK_MODE_PDT10, FileKind::kPdt},
    {"pdt10-mask", BRASK_MODE_PDT10_MASKED, FileKind::kPdt}, {"pdt11", BRASK_MODE_PDT11, FileKind::kPdt},
};

// The top-level layers, top first; g_free'd when it goes.
struct Layers {
  gint count = 0;
  gint* ids = nullptr;
  explicit Layers(gint32 image) : ids(gimp_image_get_layers(image, &count)) {}
  ~Layers() { g_free(ids); }
};

// A duplicate of the image, deleted when it goes.
struct ImageCopy {
  gint32 image;
  explicit ImageCopy(gint32 original) : image(gimp_image_duplicate(original)) {}
  ~ImageCopy() {
    if (image != -1) gimp_image_delete(image);
  }
};

// The encoders' file, freed when it goes.
struct EncodedFile {
  uint8_t* bytes = nullptr;
  size_t size = 0;
  ~EncodedFile() { brask_free(bytes); }
};

bool HasPartEntry(gint32 layer) {
  GimpParasite* parasite = gimp_item_get_parasite(layer, kPartParasiteName);
  if (parasite == nullptr) return false;
  PartEntry entry;
  const bool parsed = ParsePartEntry(gimp_parasite_data(parasite), static_cast<size_t>(gimp_parasite_data_size(parasite)), &entry);
  gimp_parasite_free(parasite);
  return parsed;
}

// The drawable's pixels in `format` (its own when null), rows packed.
bool ReadPixels(gint32 drawable, const Babl* format, std::vector<uint8_t>* pixels, std::string* why) {
  const gint width = gimp_drawable_width(drawable);
  const gint height = gimp_drawable_height(drawable);
  if (format == nullptr) format = gimp_drawable_get_format(drawable);
  GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
  if (buffer == nullptr || width < 1 || height < 1) {
    if (buffer != nullptr) g_object_unref(buffer);
    *why = "GIMP gave no pixels for a layer";
    return false;
  }
  pixels->resize(size_t(width) * size_t(height) * size_t(babl_format_get_bytes_per_pixel(format)));
  const GeglRectangle area = {0, 0, width, height};
  gegl_buffer_get(buffer, &area, 1.0, format, pixels->data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
  g_object_unref(buffer);
  return true;
}

bool Failed(brask_result result, std::string* why) {
  if (result == BRASK_OK) return false;
  *why = brask_result_text(result);
  if (result == BRASK_TOO_MANY_COLOURS) *why += " (Image > Mode > Indexed makes at most 256)";
  return true;
}

bool EncodeLayersAsParts(gint32 image, const brask_encode_options& options, EncodedFile* file,
                         std::string* why) {
  const Layers layers(image);
  std::vector<LayerPicture> pictures;
  for (gint n = 0; n < layers.count; ++n) {
    const gint32 id = layers.ids[n];
    if (!gimp_item_get_visible(id)) continue;
    LayerPicture picture;
    gchar* name = gimp_item_get_name(id);
    picture.name = name != nullptr ? name : "";
    g_free(name);
    gint x = 0, y = 0;
    gimp_drawable_offsets(id, &x, &y);
    picture.x = x;
    picture.y = y;
    picture.width = gimp_drawable_width(id);
    picture.height = gimp_drawable_height(id);
    if (!ReadPixels(id, babl_format("R'G'B'A u8"), &picture.rgba, why)) return false;
    GimpParasite* parasite = gimp_item_get_parasite(id, kPartParasiteName);
    if (parasite != nullptr) {
      picture.has_entry = ParsePartEntry(gimp_parasite_data(parasite),
                                         static_cast<size_t>(gimp_parasite_data_size(parasite)),
                                         &picture.entry);
      gimp_parasite_free(parasite);
    }
    pictures.push_back(std::move(picture));
  }
  if (pictures.empty()) {
    *why = "no visible layer to write as a part";
    return false;
  }
  std::vector<EmptyPart> empty_parts;
  GimpParasite* kept = gimp_image_get_parasite(image, kEmptyPartsParasiteName);
  if (kept != nullptr) {
    empty_parts = ParseEmptyParts(gimp_parasite_data(kept), static_cast<size_t>(gimp_parasite_data_size(kept)));
    gimp_parasite_free(kept);
  }
  ArrangedParts arranged;
  if (!ArrangeLayersAsParts(std::move(pictures), empty_parts, &arranged, why)) return false;
  return !Failed(brask_encode_g00_parts(arranged.parts.data(), static_cast<uint32_t>(arranged.parts.size()),
                                        &options, &file->bytes, &file->size),
                 why);
}

// Every other mode: the visible layers merged into one of the image's size.
bool EncodeMerged(gint32 image, const ModeName& mode, brask_encode_options options,
                  EncodedFile* file, std::string* why) {
  const ImageCopy copy(image);
  if (copy.image == -1) {
    *why = "GIMP could not copy the image";
    return false;
  }
  const gint32 merged = gimp_image_merge_visible_layers(copy.image, GIMP_CLIP_TO_IMAGE);
  if (merged == -1 || !gimp_layer_resize_to_image_size(merged)) {
    *why = "no visible layer to write";
    return false;
  }
  const uint32_t width = static_cast<uint32_t>(gimp_drawable_width(merged));
  const uint32_t height = static_cast<uint32_t>(gimp_drawable_height(merged));
  const bool indexes_kept = (mode.mode == BRASK_MODE_G00_TYPE1 || mode.mode == BRASK_MODE_PDT11) &&
                            gimp_drawable_is_indexed(merged);
  // Transparency has nowhere to go in the opaque modes; what GIMP shows stays.
  options.drop_alpha = 1;
  if (indexes_kept) {
    std::vector<uint8_t> pixels;
    if (!ReadPixels(merged, nullptr, &pixels, why)) return false;
    const size_t bytes_per_pixel = pixels.size() / (size_t{width} * height);
    std::vector<uint8_t> indexes(size_t{width} * height);
    for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = pixels[i * bytes_per_pixel];
    gint colours = 0;
    guchar* colour_map = gimp_image_get_colormap(copy.image, &colours);
    if (colours < 0 || colours > 256) colours = 0;
    const brask_result result =
        brask_encode_indexed(mode.mode, indexes.data(), width, height, width, colour_map,
                             static_cast<uint32_t>(colours), &options, &file->bytes, &file->size);
    g_free(colour_map);
    return !Failed(result, why);
  }
  std::vector<uint8_t> rgba;
  if (!ReadPixels(merged, babl_format("R'G'B'A u8"), &rgba, why)) return false;
  return !Failed(brask_encode_rgba(mode.mode, rgba.data(), width, height, size_t{width} * 4, &options,
                                   &file->bytes, &file->size),
                 why);
}

}  // namespace

std::string DefaultModeName(gint32 image, FileKind kind) {
  const Layers layers(image);
  bool parts = layers.count > 1;
  bool alpha = false;
  for (gint n = 0; n < layers.count; ++n) {
    parts = parts || HasPartEntry(layers.ids[n]);
    alpha = alpha || gimp_drawable_has_alpha(layers.ids[n]);
  }
  const bool indexed = gimp_image_base_type(image) == GIMP_INDEXED;
  if (kind == FileKind::kG00) return parts || (alpha && !indexed) ? "g00-2" : indexed ? "g00-1" : "g00-0";
  return indexed ? "pdt11" : alpha ? "pdt10-mask" : "pdt10";
}

bool ExportPicture(gint32 image, FileKind kind, const std::string& mode_name, int level,
                   const std::string& path, std::string* why) {
  const std::string chosen = mode_name.empty() ? DefaultModeName(image, kind) : mode_name;
  const ModeName* mode = nullptr;
  for (const ModeName& candidate : kModes) {
    if (chosen == candidate.name) mode = &candidate;
  }
  if (mode == nullptr) {
    *why = "unknown mode \"" + chosen + "\"; the modes are g00-0 g00-1 g00-2 pdt10 pdt10-mask pdt11";
    return false;
  }
  if (mode->kind != kind) {
    *why = std::string("mode ") + mode->name + " writes " + (mode->kind == FileKind::kG00 ? "G00" : "PDT") +
           " files; name the file ." + (mode->kind == FileKind::kG00 ? "g00" : "pdt");
    return false;
  }
  if (level != BRASK_ENCODE_DEFAULT_LEVEL && (level < 0 || level > 9)) {
    *why = "the level is 0 to 9, or -1 for the default";
    return false;
  }
  brask_encode_options options{level, 0};
  EncodedFile file;
  const bool encoded = mode->mode == BRASK_MODE_G00_TYPE2 ? EncodeLayersAsParts(image, options, &file, why)
                                                          : EncodeMerged(image, *mode, options, &file, why);
  if (!encoded) return false;
  // Written under a temporary name and renamed into place.
  GError* error = nullptr;
  if (!g_file_set_contents(path.c_str(), reinterpret_cast<const gchar*>(file.bytes),
                           static_cast<gssize>(file.size), &error)) {
    *why = error != nullptr ? error->message : "cannot write the file";
    g_clear_error(&error);
    return false;
  }
  return true;
}

}  // namespace brask_gimp
