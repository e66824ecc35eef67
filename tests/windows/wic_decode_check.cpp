// SPDX-License-Identifier: MIT
// A WIC client as a Windows program is one, for the setup program's test: it decodes each
// PICTURE through whatever codec the registry names and compares it, as 32bppBGRA, with the
// PNG brask.exe wrote of it, decoded by WIC's own PNG decoder.
//   wic_decode_check PICTURE PNG [PICTURE PNG...]
// A .pdt is opened by CreateDecoderFromFilename (its signature picks the decoder); a .g00,
// which has none, by the decoder that lists ".g00" among its file extensions, as programs that
// choose by extension do. Prints one line per picture; ends with 0 when every one matched.
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include "platform/com_ptr.h"

namespace {

using brask::ComPtr;

struct Pixels {
  UINT width = 0;
  UINT height = 0;
  std::vector<BYTE> bgra;
};

bool EndsWith(const std::wstring& text, const wchar_t* suffix) {
  const size_t length = std::wcslen(suffix);
  return text.size() >= length && _wcsicmp(text.c_str() + text.size() - length, suffix) == 0;
}

// The container format of the decoder registered for EXTENSION (".g00"), or E_FAIL.
HRESULT FindContainerByExtension(IWICImagingFactory* factory, const wchar_t* extension,
                                 GUID* container) {
  ComPtr<IEnumUnknown> components;
  HRESULT result = factory->CreateComponentEnumerator(WICDecoder, WICComponentEnumerateDefault,
                                                      components.out());
  if (FAILED(result)) return result;
  for (;;) {
    ComPtr<IUnknown> component;
    if (components->Next(1, component.out(), nullptr) != S_OK) break;
    ComPtr<IWICBitmapDecoderInfo> info;
    wchar_t extensions[256] = {};
    UINT length = 0;
    if (SUCCEEDED(component->QueryInterface(IID_IWICBitmapDecoderInfo, info.out_void())) &&
        SUCCEEDED(info->GetFileExtensions(256, extensions, &length))) {
      // A comma-separated list such as ".g00" or ".tif,.tiff".
      std::wstring list = std::wstring(L",") + extensions + L",";
      if (list.find(std::wstring(L",") + extension + L",") != std::wstring::npos) {
        return info->GetContainerFormat(container);
      }
    }
  }
  return E_FAIL;
}

HRESULT OpenDecoder(IWICImagingFactory* factory, const std::wstring& path,
                    ComPtr<IWICBitmapDecoder>* decoder) {
  if (!EndsWith(path, L".g00")) {
    return factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                              WICDecodeMetadataCacheOnDemand, decoder->out());
  }
  GUID container{};
  ComPtr<IWICStream> stream;
  HRESULT result = FindContainerByExtension(factory, L".g00", &container);
  if (SUCCEEDED(result)) result = factory->CreateDecoder(container, nullptr, decoder->out());
  if (SUCCEEDED(result)) result = factory->CreateStream(stream.out());
  if (SUCCEEDED(result)) result = stream->InitializeFromFilename(path.c_str(), GENERIC_READ);
  if (SUCCEEDED(result)) result = (*decoder)->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand);
  return result;
}

// Frame 0 of the file at path, converted by WIC to 32bppBGRA.
HRESULT Decode(IWICImagingFactory* factory, const std::wstring& path, Pixels* pixels) {
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICBitmapSource> converted;
  HRESULT result = OpenDecoder(factory, path, &decoder);
  if (SUCCEEDED(result)) result = decoder->GetFrame(0, frame.out());
  if (SUCCEEDED(result)) {
    result = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(), converted.out());
  }
  if (SUCCEEDED(result)) result = converted->GetSize(&pixels->width, &pixels->height);
  if (FAILED(result)) return result;
  const UINT stride = pixels->width * 4;
  pixels->bgra.assign(size_t(stride) * pixels->height, 0);
  return converted->CopyPixels(nullptr, stride, UINT(pixels->bgra.size()), pixels->bgra.data());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || argc % 2 == 0) {
    std::fwprintf(stderr, L"usage: wic_decode_check PICTURE PNG [PICTURE PNG...]\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;
  int status = 0;
  {
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, factory.out_void()))) {
      std::fwprintf(stderr, L"no WIC imaging factory\n");
      return 2;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
      Pixels picture, png;
      const HRESULT picture_result = Decode(factory.get(), argv[i], &picture);
      const HRESULT png_result = Decode(factory.get(), argv[i + 1], &png);
      if (FAILED(picture_result) || FAILED(png_result)) {
        std::wprintf(L"FAIL %ls: decoding gives 0x%08lx, its PNG 0x%08lx\n", argv[i],
                     static_cast<unsigned long>(picture_result),
                     static_cast<unsigned long>(png_result));
        status = 1;
      } else if (picture.width != png.width || picture.height != png.height) {
        std::wprintf(L"FAIL %ls: %ux%u, its PNG %ux%u\n", argv[i], picture.width,
                     picture.height, png.width, png.height);
        status = 1;
      } else if (picture.bgra != png.bgra) {
        size_t at = 0;
        while (picture.bgra[at] == png.bgra[at]) ++at;
        at -= at % 4;
        std::wprintf(L"FAIL %ls: pixel %zu is BGRA %u,%u,%u,%u, in its PNG %u,%u,%u,%u\n",
                     argv[i], at / 4, picture.bgra[at], picture.bgra[at + 1],
                     picture.bgra[at + 2], picture.bgra[at + 3], png.bgra[at],
                     png.bgra[at + 1], png.bgra[at + 2], png.bgra[at + 3]);
        status = 1;
      } else {
        std::wprintf(L"ok %ls: %ux%u, as its PNG\n", argv[i], picture.width, picture.height);
      }
    }
  }
  CoUninitialize();
  return status;
}
