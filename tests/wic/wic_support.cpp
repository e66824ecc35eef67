// SPDX-License-Identifier: MIT
#include "tests/wic/wic_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#include "brask/brask.h"

namespace wic_test {

const wchar_t kThumbnailHandlerKey[] = L"{e357fccd-a995-4576-b01f-234630154e96}";

IWICImagingFactory* Factory() {
  static IWICImagingFactory* factory = [] {
    IWICImagingFactory* made = nullptr;
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                     IID_IWICImagingFactory, reinterpret_cast<void**>(&made));
    return made;
  }();
  return factory;
}

namespace {

// Keeps the bytes a WIC memory stream reads for as long as the process runs.
const Bytes& Kept(const Bytes& bytes) {
  static std::mutex lock;
  static std::vector<std::unique_ptr<Bytes>> kept;
  std::lock_guard<std::mutex> hold(lock);
  kept.push_back(std::make_unique<Bytes>(bytes));
  return *kept.back();
}

void SwapRedBlue(Bytes* pixels) {
  for (size_t i = 0; i + 3 < pixels->size(); i += 4) std::swap((*pixels)[i], (*pixels)[i + 2]);
}

}  // namespace

ComPtr<IWICStream> StreamOver(const Bytes& bytes) {
  ComPtr<IWICStream> stream;
  const Bytes& kept = Kept(bytes.empty() ? Bytes{0} : bytes);
  EXPECT_EQ(Factory()->CreateStream(stream.out()), S_OK);
  if (stream.get() != nullptr) {
    EXPECT_EQ(stream->InitializeFromMemory(const_cast<BYTE*>(kept.data()),
                                           static_cast<DWORD>(bytes.size())),
              S_OK);
  }
  return stream;
}

std::vector<Frame> ApiFrames(const Bytes& file, const char* name_hint) {
  std::vector<Frame> frames;
  brask_picture* picture = nullptr;
  if (brask_open_memory(file.data(), file.size(), name_hint, 0, &picture) != BRASK_OK) {
    ADD_FAILURE() << "the C API does not open " << name_hint;
    return frames;
  }
  brask_info info{};
  brask_get_info(picture, &info);
  Frame whole;
  whole.width = info.width;
  whole.height = info.height;
  whole.bgra.resize(size_t{info.width} * info.height * 4);
  EXPECT_EQ(brask_decode_rgba(picture, whole.bgra.data(), whole.bgra.size(), info.width * 4u),
            BRASK_OK);
  SwapRedBlue(&whole.bgra);
  if (info.mode == BRASK_MODE_G00_TYPE1 || info.mode == BRASK_MODE_PDT11) {
    whole.format = GUID_WICPixelFormat8bppIndexed;
    whole.pixels.resize(size_t{info.width} * info.height);
    uint8_t palette[768];
    EXPECT_EQ(brask_decode_indexed(picture, whole.pixels.data(), whole.pixels.size(),
                                   info.width, palette, sizeof palette),
              BRASK_OK);
    for (uint32_t i = 0; i < info.palette_size; ++i) {
      whole.palette.push_back(0xFF000000u | uint32_t{palette[i * 3]} << 16 |
                              uint32_t{palette[i * 3 + 1]} << 8 | palette[i * 3 + 2]);
    }
  } else {
    whole.format = info.has_alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat32bppBGR;
    whole.pixels = whole.bgra;
  }
  frames.push_back(whole);
  for (uint32_t n = 0; n < info.part_count; ++n) {
    brask_part part{};
    brask_get_part(picture, n, &part);
    if (part.width < 1 || part.height < 1) continue;
    Frame frame;
    frame.format = GUID_WICPixelFormat32bppBGRA;
    frame.width = uint32_t(part.width);
    frame.height = uint32_t(part.height);
    frame.bgra.resize(size_t{frame.width} * frame.height * 4);
    EXPECT_EQ(brask_decode_part_rgba(picture, n, frame.bgra.data(), frame.bgra.size(),
                                     frame.width * 4u),
              BRASK_OK);
    SwapRedBlue(&frame.bgra);
    frame.pixels = frame.bgra;
    frames.push_back(frame);
  }
  brask_close(picture);
  return frames;
}

std::vector<Frame> WicFrames(IWICBitmapDecoder* decoder) {
  std::vector<Frame> frames;
  UINT count = 0;
  EXPECT_EQ(decoder->GetFrameCount(&count), S_OK);
  for (UINT n = 0; n < count; ++n) {
    ComPtr<IWICBitmapFrameDecode> source;
    EXPECT_EQ(decoder->GetFrame(n, source.out()), S_OK);
    if (source.get() == nullptr) break;
    Frame frame;
    source->GetSize(&frame.width, &frame.height);
    source->GetPixelFormat(&frame.format);
    const UINT bytes_per_pixel = IsEqualGUID(frame.format, GUID_WICPixelFormat8bppIndexed) ? 1 : 4;
    frame.pixels.resize(size_t{frame.width} * frame.height * bytes_per_pixel);
    EXPECT_EQ(source->CopyPixels(nullptr, frame.width * bytes_per_pixel,
                                 UINT(frame.pixels.size()), frame.pixels.data()),
              S_OK);
    if (bytes_per_pixel == 1) {
      ComPtr<IWICPalette> palette;
      Factory()->CreatePalette(palette.out());
      EXPECT_EQ(source->CopyPalette(palette.get()), S_OK);
      UINT colours = 0;
      palette->GetColorCount(&colours);
      frame.palette.resize(colours);
      palette->GetColors(colours, frame.palette.data(), &colours);
    }
    ComPtr<IWICBitmapSource> converted;
    EXPECT_EQ(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, source.get(),
                                     converted.out()),
              S_OK);
    frame.bgra.resize(size_t{frame.width} * frame.height * 4);
    if (converted.get() != nullptr) {
      EXPECT_EQ(converted->CopyPixels(nullptr, frame.width * 4, UINT(frame.bgra.size()),
                                      frame.bgra.data()),
                S_OK);
    }
    frames.push_back(frame);
  }
  return frames;
}

void ExpectSameFrames(const std::vector<Frame>& api, const std::vector<Frame>& wic,
                      const std::string& what) {
  ASSERT_EQ(wic.size(), api.size()) << what << ": frames";
  for (size_t n = 0; n < api.size(); ++n) {
    const Frame& want = api[n];
    const Frame& have = wic[n];
    SCOPED_TRACE(what + ", frame " + std::to_string(n));
    EXPECT_TRUE(IsEqualGUID(have.format, want.format)) << "pixel format";
    EXPECT_EQ(have.width, want.width);
    EXPECT_EQ(have.height, want.height);
    EXPECT_TRUE(have.pixels == want.pixels) << "pixels in the frame's own format";
    // WIC's converter makes the API's RGBA: the palette covers every index used, past the
    // stored colours with opaque black, as the API gives them.
    EXPECT_TRUE(have.bgra == want.bgra) << "pixels converted to 32bppBGRA";
    if (want.format == GUID_WICPixelFormat8bppIndexed) {
      ASSERT_GE(have.palette.size(), want.palette.size());
      for (size_t i = 0; i < have.palette.size(); ++i) {
        const WICColor expected = i < want.palette.size() ? want.palette[i] : 0xFF000000u;
        EXPECT_EQ(have.palette[i], expected) << "palette entry " << i;
      }
      for (uint8_t index : have.pixels) ASSERT_LT(index, have.palette.size()) << "index";
    }
  }
}

HRESULT DecodeWithContainer(const GUID& container, const Bytes& bytes,
                            ComPtr<IWICBitmapDecoder>* decoder) {
  HRESULT result = Factory()->CreateDecoder(container, nullptr, decoder->out());
  if (FAILED(result)) return result;
  ComPtr<IWICStream> stream = StreamOver(bytes);
  return (*decoder)->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand);
}

namespace {

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow += c < 128 ? char(c) : '?';
  return narrow;
}

void CollectLines(HKEY root, const std::wstring& path, std::vector<std::string>* lines) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  lines->push_back(Narrow(path));
  std::vector<BYTE> data(1 << 16);
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD name_length = 16384, type = 0, size = DWORD(data.size());
    if (RegEnumValueW(key, i, name, &name_length, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS) {
      break;
    }
    std::string line = Narrow(path) + "|" + Narrow(name) + "|" + std::to_string(type) + "|";
    static const char kHex[] = "0123456789abcdef";
    for (DWORD b = 0; b < size; ++b) {
      line += kHex[data[b] >> 4];
      line += kHex[data[b] & 15];
    }
    lines->push_back(line);
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD name_length = 256;
    if (RegEnumKeyExW(key, i, name, &name_length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    subkeys.push_back(name);
  }
  RegCloseKey(key);
  for (const std::wstring& subkey : subkeys) CollectLines(root, path + L"\\" + subkey, lines);
}

}  // namespace

std::vector<std::string> RegistryLines(HKEY root, const std::wstring& path) {
  std::vector<std::string> lines;
  CollectLines(root, path, &lines);
  std::sort(lines.begin(), lines.end());
  return lines;
}

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::string WorkFolder() {
  const char* folder = std::getenv("BRASK_WIC_WORK");
  return folder != nullptr ? folder : ".";
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

}  // namespace wic_test
