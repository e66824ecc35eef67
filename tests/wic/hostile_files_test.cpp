// SPDX-License-Identifier: MIT
// Every fuzz corpus and regression file through WIC (both decoders, by container format and
// by pattern), the thumbnail provider and the property handler: each ends in a result, none
// in a crash.
#include <filesystem>

#include <propsys.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include "tests/wic/wic_support.h"

namespace wic_test {
namespace {

namespace fs = std::filesystem;

// Decodes every frame, in its own format and converted; counts what succeeded.
int DecodeEverything(IWICBitmapDecoder* decoder) {
  int decoded = 0;
  UINT count = 0;
  if (decoder->GetFrameCount(&count) != S_OK) return 0;
  for (UINT n = 0; n < count; ++n) {
    ComPtr<IWICBitmapFrameDecode> frame;
    if (decoder->GetFrame(n, frame.out()) != S_OK) continue;
    UINT width = 0, height = 0;
    frame->GetSize(&width, &height);
    ComPtr<IWICBitmapSource> converted;
    if (FAILED(WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(),
                                      converted.out()))) {
      continue;
    }
    Bytes pixels(size_t{width} * height * 4);
    if (converted->CopyPixels(nullptr, width * 4, UINT(pixels.size()), pixels.data()) == S_OK) {
      ++decoded;
    }
  }
  return decoded;
}

TEST(MachineRegistered, HostileFilesEndInResultsNotCrashes) {
  const fs::path fuzz = fs::path(BRASK_SOURCE_DIR) / "fuzz";
  std::vector<fs::path> files;
  for (const char* folder : {"corpus", "regressions"}) {
    std::error_code error;
    for (fs::recursive_directory_iterator it(fuzz / folder, error), end; !error && it != end;
         it.increment(error)) {
      if (it->is_regular_file()) files.push_back(it->path());
    }
  }
  ASSERT_GT(files.size(), 100u) << "the fuzz corpora are missing";
  CLSID thumbnailer{};
  wchar_t text[64] = {};
  DWORD size = sizeof text;
  ASSERT_EQ(RegGetValueW(HKEY_CLASSES_ROOT,
                         (std::wstring(L"SystemFileAssociations\\.g00\\ShellEx\\") +
                          kThumbnailHandlerKey).c_str(),
                         nullptr, RRF_RT_REG_SZ, nullptr, text, &size),
            ERROR_SUCCESS);
  CLSIDFromString(text, &thumbnailer);

  int frames = 0, thumbnails = 0;
  for (const fs::path& path : files) {
    const Bytes bytes = ReadFile(path.string());
    for (const GUID* container : {&kContainerG00, &kContainerPdt}) {
      ComPtr<IWICBitmapDecoder> decoder;
      const HRESULT result = DecodeWithContainer(*container, bytes, &decoder);
      if (result == S_OK) frames += DecodeEverything(decoder.get());
      // A refusal names its reason; E_FAIL would be an exception of ours caught at the edge.
      EXPECT_NE(result, E_FAIL) << path.string();
    }
    ComPtr<IWICBitmapDecoder> by_pattern;
    ComPtr<IWICStream> stream = StreamOver(bytes);
    if (Factory()->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                           by_pattern.out()) == S_OK) {
      frames += DecodeEverything(by_pattern.get());
    }
    ComPtr<IThumbnailProvider> provider;
    ComPtr<IInitializeWithStream> initialize;
    ASSERT_EQ(CoCreateInstance(thumbnailer, nullptr, CLSCTX_INPROC_SERVER,
                               __uuidof(IThumbnailProvider), provider.out_void()),
              S_OK);
    provider->QueryInterface(IID_IInitializeWithStream, initialize.out_void());
    IStream* memory = SHCreateMemStream(bytes.data(), UINT(bytes.size()));
    if (initialize->Initialize(memory, STGM_READ) == S_OK) {
      HBITMAP bitmap = nullptr;
      WTS_ALPHATYPE alpha;
      if (provider->GetThumbnail(96, &bitmap, &alpha) == S_OK) {
        ++thumbnails;
        DeleteObject(bitmap);
      }
    }
    memory->Release();
    ComPtr<IInitializeWithStream> properties;
    ASSERT_EQ(CoCreateInstance(brask_wic::kClsidPropertyHandler, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IInitializeWithStream, properties.out_void()),
              S_OK);
    memory = SHCreateMemStream(bytes.data(), UINT(bytes.size()));
    properties->Initialize(memory, STGM_READ);
    memory->Release();
  }
  std::printf("%zu hostile files: %d frames and %d thumbnails decoded, the rest refused\n",
              files.size(), frames, thumbnails);
}

}  // namespace
}  // namespace wic_test
