// SPDX-License-Identifier: MIT
#include "bench/workloads.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "bench/plain_decoder.h"
#include "codec/lz.h"
#include "codec/lz_paths.h"

namespace bench {

const std::vector<Variant>& Variants() {
  static const std::vector<Variant> variants = {
      {"G00Bytes", encode::LzVariant::kG00Bytes, DecodeG00Bytes, PlainDecodeG00Bytes,
       {DecodeG00BytesOnPath<LzPath::kGroups>, DecodeG00BytesOnPath<LzPath::kSse2>}},
      {"G00Pixels", encode::LzVariant::kG00Pixels, DecodeG00Pixels, PlainDecodeG00Pixels,
       {DecodeG00PixelsOnPath<LzPath::kGroups>, DecodeG00PixelsOnPath<LzPath::kSse2>,
        DecodeG00PixelsOnPath<LzPath::kSsse3>, DecodeG00PixelsOnPath<LzPath::kAvx2>}},
      {"PdtPixels", encode::LzVariant::kPdtPixels, DecodePdtPixels, PlainDecodePdtPixels,
       {DecodePdtPixelsOnPath<LzPath::kGroups>, DecodePdtPixelsOnPath<LzPath::kSse2>,
        DecodePdtPixelsOnPath<LzPath::kSsse3>, DecodePdtPixelsOnPath<LzPath::kAvx2>}},
      {"PdtMask", encode::LzVariant::kPdtMask, DecodePdtMask, PlainDecodePdtMask, {}},
      {"PdtIndexed", encode::LzVariant::kPdtIndexed, DecodePdtIndexed, PlainDecodePdtIndexed, {}},
  };
  return variants;
}

Workload MakeWorkload(const Variant& variant, const Picture& picture) {
  Workload w{&variant, &picture, {}, {}};
  const size_t pixels = picture.bgra.size() / 4;
  const uint8_t* p = picture.bgra.data();
  switch (variant.kind) {
    case encode::LzVariant::kG00Bytes:
      w.units = picture.bgra;
      break;
    case encode::LzVariant::kG00Pixels:
    case encode::LzVariant::kPdtPixels:
      w.units.reserve(pixels * 3);
      for (size_t i = 0; i < pixels; ++i) w.units.insert(w.units.end(), p + 4 * i, p + 4 * i + 3);
      break;
    case encode::LzVariant::kPdtMask:
      for (size_t i = 0; i < pixels; ++i) w.units.push_back(p[4 * i + 3]);
      break;
    case encode::LzVariant::kPdtIndexed:
      for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* q = p + 4 * i;
        w.units.push_back(static_cast<uint8_t>((q[2] & 0xE0) | (q[1] & 0xE0) >> 3 | q[0] >> 6));
      }
      break;
  }
  w.stream = encode::EncodeLz(variant.kind, w.units.data(), w.units.size());
  return w;
}

std::string CheckWorkload(const Workload& w) {
  const size_t unit = w.variant->kind == encode::LzVariant::kG00Pixels ||
                              w.variant->kind == encode::LzVariant::kPdtPixels
                          ? 3
                          : 1;
  std::vector<Decoder> decoders = {w.variant->ours, w.variant->plain};
  decoders.insert(decoders.end(), std::begin(w.variant->on_path), std::end(w.variant->on_path));
  for (Decoder decoder : decoders) {
    if (decoder == nullptr) continue;
    std::vector<uint8_t> out(w.units.size());
    const size_t units = decoder(out.data(), out.size(), w.stream.data(), w.stream.size());
    if (units * unit != w.units.size() || out != w.units) {
      return std::string(w.variant->name) + " on " + w.picture->name + ": " +
             (decoder == w.variant->plain ? "plain" : "ours") + " decodes differently";
    }
  }
  return {};
}

Picture ReadPam(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic, key;
  Picture picture;
  int depth = 0, maxval = 0;
  in >> magic;
  if (magic != "P7") return {};
  while (in >> key && key != "ENDHDR") {
    if (key == "WIDTH") in >> picture.width;
    else if (key == "HEIGHT") in >> picture.height;
    else if (key == "DEPTH") in >> depth;
    else if (key == "MAXVAL") in >> maxval;
    else if (key == "TUPLTYPE") in >> key;
  }
  in.get();  // the newline after ENDHDR
  if (depth != 4 || maxval != 255 || picture.width <= 0 || picture.height <= 0) return {};
  const size_t bytes = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 4;
  std::vector<uint8_t> rgba(bytes);
  if (!in.read(reinterpret_cast<char*>(rgba.data()), static_cast<std::streamsize>(bytes))) return {};
  picture.bgra.resize(bytes);
  for (size_t i = 0; i < bytes; i += 4) {
    picture.bgra[i] = rgba[i + 2];
    picture.bgra[i + 1] = rgba[i + 1];
    picture.bgra[i + 2] = rgba[i];
    picture.bgra[i + 3] = rgba[i + 3];
  }
  const size_t slash = path.find_last_of("/\\");
  picture.name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  picture.name = picture.name.substr(0, picture.name.rfind('.'));
  return picture;
}

bool WritePam(const std::string& path, const Picture& picture) {
  std::ofstream out(path, std::ios::binary);
  out << "P7\nWIDTH " << picture.width << "\nHEIGHT " << picture.height
      << "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  std::vector<uint8_t> rgba(picture.bgra);
  for (size_t i = 0; i < rgba.size(); i += 4) std::swap(rgba[i], rgba[i + 2]);
  out.write(reinterpret_cast<const char*>(rgba.data()), static_cast<std::streamsize>(rgba.size()));
  return static_cast<bool>(out);
}

}  // namespace bench
