// SPDX-License-Identifier: MIT
// The WIC codec's cost over the C API's: each picture (a PNG read through WIC) encoded in
// each mode, then decoded in turns by the C API (open from memory, decode RGBA, or indexes
// for the indexed modes) and by our WIC decoder (initialise from a memory stream, frame 0,
// CopyPixels in its own format), the same output either way. Turns alternate so both see
// the same machine; the best turn of each is kept. The decoder is made by the DLL's class
// factory, so no registration is needed.
//   wic_bench BRASK_WIC_DLL PNG_FOLDER
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include "bench/timed_run.h"
#include "brask/brask.h"
#include "integrations/wic/class_ids.h"
#include "formats/image_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Turns alternate between the two ways; short ones, so both see the same load.
constexpr std::chrono::milliseconds kTurn{20};

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

struct Bgra {
  uint32_t width = 0, height = 0;
  Bytes pixels;
};

// A PNG as BGRA through WIC's own decoder.
bool ReadPng(IWICImagingFactory* factory, const std::wstring& path, Bgra* picture) {
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICBitmapSource* converted = nullptr;
  bool ok = SUCCEEDED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                         WICDecodeMetadataCacheOnDemand,
                                                         &decoder)) &&
            SUCCEEDED(decoder->GetFrame(0, &frame)) &&
            SUCCEEDED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, &converted));
  if (ok) {
    converted->GetSize(&picture->width, &picture->height);
    picture->pixels.resize(size_t{picture->width} * picture->height * 4);
    ok = SUCCEEDED(converted->CopyPixels(nullptr, picture->width * 4,
                                         UINT(picture->pixels.size()), picture->pixels.data()));
  }
  if (converted != nullptr) converted->Release();
  if (frame != nullptr) frame->Release();
  if (decoder != nullptr) decoder->Release();
  return ok;
}

struct Mode {
  const char* name;
  bool indexed;
};
const Mode kModes[] = {{"g00-0", false}, {"g00-1", true},       {"g00-2", false},
                       {"pdt10", false}, {"pdt10-mask", false}, {"pdt11", true}};

// The picture as a file in `mode`; the indexed modes take colours cut to 3-3-2 bits.
Bytes Encode(const Bgra& picture, const std::string& mode) {
  const int32_t width = int32_t(picture.width), height = int32_t(picture.height);
  encode::AlphaImage alpha{width, height, picture.pixels};
  encode::ColourImage colour{width, height, {}};
  encode::IndexedImage indexed{width, height, {}, {}};
  for (size_t i = 0; i < picture.pixels.size(); i += 4) {
    const uint8_t* bgra = picture.pixels.data() + i;
    colour.bgr.insert(colour.bgr.end(), bgra, bgra + 3);
    indexed.indexes.push_back(uint8_t((bgra[2] & 0xE0) | ((bgra[1] >> 3) & 0x1C) | (bgra[0] >> 6)));
  }
  for (int entry = 0; entry < 256; ++entry) {
    indexed.palette.insert(indexed.palette.end(),
                           {uint8_t((entry & 3) * 85), uint8_t(((entry >> 2) & 7) * 36),
                            uint8_t((entry >> 5) * 36), 0});
  }
  if (mode == "g00-0") return encode::EncodeG00Type0(colour);
  if (mode == "g00-1") return encode::EncodeG00Type1(indexed);
  if (mode == "g00-2") return encode::EncodeG00Type2(alpha);
  if (mode == "pdt10") return encode::EncodePdt10(colour);
  if (mode == "pdt10-mask") return encode::EncodePdt10Masked(alpha);
  return encode::EncodePdt11(indexed);
}

// The C API's decode of a whole file, output into `out`.
bool DecodeWithApi(const Bytes& file, const Mode& mode, Bytes* out) {
  brask_picture* picture = nullptr;
  const char* hint = mode.name[0] == 'g' ? "bench.g00" : nullptr;
  if (brask_open_memory(file.data(), file.size(), hint, 0, &picture) != BRASK_OK) return false;
  brask_info info{};
  brask_get_info(picture, &info);
  brask_result result;
  if (mode.indexed) {
    uint8_t palette[768];
    out->resize(size_t{info.width} * info.height);
    result = brask_decode_indexed(picture, out->data(), out->size(), info.width, palette,
                                  sizeof palette);
  } else {
    out->resize(size_t{info.width} * info.height * 4);
    result = brask_decode_rgba(picture, out->data(), out->size(), size_t{info.width} * 4);
  }
  brask_close(picture);
  return result == BRASK_OK;
}

// Our WIC decoder's decode of the same file, frame 0 in its own pixel format.
bool DecodeWithWic(IWICImagingFactory* factory, IClassFactory* decoders, const Bytes& file,
                   Bytes* out) {
  IWICStream* stream = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  bool ok = SUCCEEDED(factory->CreateStream(&stream)) &&
            SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(file.data()),
                                                   DWORD(file.size()))) &&
            SUCCEEDED(decoders->CreateInstance(nullptr, IID_IWICBitmapDecoder,
                                               reinterpret_cast<void**>(&decoder))) &&
            SUCCEEDED(decoder->Initialize(stream, WICDecodeMetadataCacheOnDemand)) &&
            SUCCEEDED(decoder->GetFrame(0, &frame));
  if (ok) {
    UINT width = 0, height = 0;
    frame->GetSize(&width, &height);
    const UINT row = UINT(out->size() / height);
    ok = row >= width && SUCCEEDED(frame->CopyPixels(nullptr, row, UINT(out->size()),
                                                     out->data()));
  }
  if (frame != nullptr) frame->Release();
  if (decoder != nullptr) decoder->Release();
  if (stream != nullptr) stream->Release();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: wic_bench BRASK_WIC_DLL PNG_FOLDER\n");
    return 2;
  }
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  IWICImagingFactory* factory = nullptr;
  HMODULE dll = LoadLibraryA(argv[1]);
  auto get_class_object =
      dll != nullptr ? reinterpret_cast<GetClassObject>(
                           reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")))
                     : nullptr;
  IClassFactory* g00_decoders = nullptr;
  IClassFactory* pdt_decoders = nullptr;
  if (get_class_object == nullptr ||
      FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) ||
      FAILED(get_class_object(brask_wic::kClsidG00Decoder, IID_IClassFactory,
                              reinterpret_cast<void**>(&g00_decoders))) ||
      FAILED(get_class_object(brask_wic::kClsidPdtDecoder, IID_IClassFactory,
                              reinterpret_cast<void**>(&pdt_decoders)))) {
    std::fprintf(stderr, "wic_bench: cannot load %s or WIC\n", argv[1]);
    return 1;
  }
  std::vector<std::filesystem::path> paths;
  for (const auto& entry : std::filesystem::directory_iterator(argv[2])) {
    if (entry.path().extension() == ".png") paths.push_back(entry.path());
  }
  std::sort(paths.begin(), paths.end());
  std::printf("%-26s %-11s %10s %10s %7s\n", "picture", "mode", "API MB/s", "WIC MB/s",
              "WIC/API");
  std::vector<double> ratios;
  for (const std::filesystem::path& path : paths) {
    Bgra picture;
    if (!ReadPng(factory, path.wstring(), &picture)) {
      std::fprintf(stderr, "wic_bench: cannot read %s\n", path.string().c_str());
      return 1;
    }
    for (const Mode& mode : kModes) {
      const Bytes file = Encode(picture, mode.name);
      IClassFactory* decoders = mode.name[0] == 'g' ? g00_decoders : pdt_decoders;
      Bytes api_out, wic_out;
      if (!DecodeWithApi(file, mode, &api_out)) return 1;
      wic_out.resize(api_out.size());
      if (!DecodeWithWic(factory, decoders, file, &wic_out)) {
        std::fprintf(stderr, "wic_bench: WIC does not decode %s as %s\n",
                     path.filename().string().c_str(), mode.name);
        return 1;
      }
      double api_best = 1e9, wic_best = 1e9;
      for (int turn = 0; turn < 15; ++turn) {
        api_best = std::min(api_best, bench::SecondsPerRun([&] { DecodeWithApi(file, mode, &api_out); }, kTurn));
        wic_best = std::min(wic_best, bench::SecondsPerRun([&] {
                              DecodeWithWic(factory, decoders, file, &wic_out);
                            }, kTurn));
      }
      const double megabytes = double(api_out.size()) / 1e6;
      ratios.push_back(wic_best / api_best);
      std::printf("%-26s %-11s %10.0f %10.0f %7.3f\n", path.filename().string().c_str(),
                  mode.name, megabytes / api_best, megabytes / wic_best, wic_best / api_best);
    }
  }
  std::sort(ratios.begin(), ratios.end());
  if (!ratios.empty()) {
    std::printf("WIC/API time: median %.3f, worst %.3f\n", ratios[ratios.size() / 2],
                ratios.back());
  }
  return 0;
}
