// SPDX-License-Identifier: MIT
// Explorer's thumbnail provider and property handler, created as the shell creates them: from
// the class registered for the file's extension, initialised with a stream. The thumbnail is
// a top-down 32-bit DIB section whose colours are premultiplied by alpha.
#include <propsys.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include "tests/support/sample_images.h"
#include "tests/wic/wic_support.h"

namespace wic_test {
namespace {

// The thumbnail provider registered for `extension`, or null.
ComPtr<IThumbnailProvider> ProviderFor(const std::wstring& extension) {
  const std::wstring key = L"SystemFileAssociations\\" + extension + L"\\ShellEx\\" +
                           kThumbnailHandlerKey;
  wchar_t text[64] = {};
  DWORD size = sizeof text;
  ComPtr<IThumbnailProvider> provider;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text,
                   &size) != ERROR_SUCCESS) {
    ADD_FAILURE() << "no thumbnail handler registered for the extension";
    return provider;
  }
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromString(text, &clsid), S_OK);
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IThumbnailProvider),
                             provider.out_void()),
            S_OK);
  return provider;
}

struct Thumbnail {
  HRESULT result = E_FAIL;
  WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
  uint32_t width = 0;
  uint32_t height = 0;
  Bytes bgra;  // top row first
};

Thumbnail MakeThumbnail(IThumbnailProvider* provider, const Bytes& file, UINT size) {
  Thumbnail thumbnail;
  ComPtr<IInitializeWithStream> initialize;
  provider->QueryInterface(IID_IInitializeWithStream, initialize.out_void());
  IStream* stream = SHCreateMemStream(file.data(), UINT(file.size()));
  thumbnail.result = initialize->Initialize(stream, STGM_READ);
  stream->Release();
  if (FAILED(thumbnail.result)) return thumbnail;
  HBITMAP bitmap = nullptr;
  thumbnail.result = provider->GetThumbnail(size, &bitmap, &thumbnail.alpha);
  if (FAILED(thumbnail.result)) return thumbnail;
  DIBSECTION section{};
  EXPECT_EQ(GetObjectW(bitmap, sizeof section, &section), int(sizeof section)) << "a DIB section";
  EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
  thumbnail.width = uint32_t(section.dsBm.bmWidth);
  thumbnail.height = uint32_t(section.dsBm.bmHeight);
  const uint8_t* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
  thumbnail.bgra.assign(bits, bits + size_t{thumbnail.width} * thumbnail.height * 4);
  DeleteObject(bitmap);
  return thumbnail;
}

TEST(MachineRegistered, ThumbnailsAreThePicturePremultiplied) {
  for (const SampleImage& sample : SamplesOfEveryMode(9)) {
    SCOPED_TRACE(sample.name);
    ComPtr<IThumbnailProvider> provider = ProviderFor(std::wstring(
        sample.file_ending.begin(), sample.file_ending.end()));
    ASSERT_NE(provider.get(), nullptr);
    const Frame picture = ApiFrames(sample.bytes, (sample.name + sample.file_ending).c_str())[0];
    // Asked for more than its size: the picture itself, never enlarged.
    const Thumbnail same = MakeThumbnail(provider.get(), sample.bytes, 256);
    ASSERT_EQ(same.result, S_OK);
    EXPECT_EQ(same.width, picture.width);
    EXPECT_EQ(same.height, picture.height);
    const bool alpha = IsEqualGUID(picture.format, GUID_WICPixelFormat32bppBGRA);
    EXPECT_EQ(same.alpha, alpha ? WTSAT_ARGB : WTSAT_RGB);
    Bytes premultiplied = picture.bgra;
    for (size_t i = 0; i < premultiplied.size(); i += 4) {
      for (size_t c = 0; c < 3; ++c) {
        premultiplied[i + c] = uint8_t((premultiplied[i + c] * premultiplied[i + 3] + 127) / 255);
      }
    }
    EXPECT_TRUE(same.bgra == premultiplied);

    // Asked for less: the longer side fits exactly and the aspect is kept.
    const UINT size = std::max(picture.width, picture.height) / 3;
    ComPtr<IThumbnailProvider> second = ProviderFor(std::wstring(
        sample.file_ending.begin(), sample.file_ending.end()));
    const Thumbnail small = MakeThumbnail(second.get(), sample.bytes, size);
    ASSERT_EQ(small.result, S_OK);
    EXPECT_EQ(std::max(small.width, small.height), size);
    const double want_aspect = double(picture.width) / picture.height;
    const double have_aspect = double(small.width) / small.height;
    EXPECT_NEAR(have_aspect, want_aspect, want_aspect * 2.0 / std::min(small.width, small.height));
  }
}

TEST(MachineRegistered, PropertiesGiveTheSize) {
  for (const SampleImage& sample : SamplesOfEveryMode(9)) {
    SCOPED_TRACE(sample.name);
    const std::wstring key =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers\\" +
        std::wstring(sample.file_ending.begin(), sample.file_ending.end());
    wchar_t text[64] = {};
    DWORD size = sizeof text;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                           text, &size),
              ERROR_SUCCESS);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromString(text, &clsid), S_OK);
    ComPtr<IInitializeWithStream> initialize;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitializeWithStream,
                               initialize.out_void()),
              S_OK);
    IStream* stream = SHCreateMemStream(sample.bytes.data(), UINT(sample.bytes.size()));
    ASSERT_EQ(initialize->Initialize(stream, STGM_READ), S_OK);
    stream->Release();
    ComPtr<IPropertyStore> properties;
    ASSERT_EQ(initialize->QueryInterface(IID_IPropertyStore, properties.out_void()), S_OK);
    const Frame picture = ApiFrames(sample.bytes, (sample.name + sample.file_ending).c_str())[0];
    const GUID image = {0x6444048f, 0x4c8b, 0x11d1, {0x8b, 0x70, 0x08, 0x00, 0x36, 0xb1, 0x1a, 0x03}};
    PROPVARIANT value;
    ASSERT_EQ(properties->GetValue({image, 3}, &value), S_OK);  // horizontal size
    EXPECT_EQ(value.vt, VT_UI4);
    EXPECT_EQ(value.ulVal, picture.width);
    ASSERT_EQ(properties->GetValue({image, 4}, &value), S_OK);  // vertical size
    EXPECT_EQ(value.ulVal, picture.height);
    ASSERT_EQ(properties->GetValue({image, 13}, &value), S_OK);  // dimensions
    ASSERT_EQ(value.vt, VT_LPWSTR);
    EXPECT_EQ(std::wstring(value.pwszVal),
              std::to_wstring(picture.width) + L" x " + std::to_wstring(picture.height));
    CoTaskMemFree(value.pwszVal);
  }
}

}  // namespace
}  // namespace wic_test
