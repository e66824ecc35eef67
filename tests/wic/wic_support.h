// SPDX-License-Identifier: MIT
// What the WIC tests share: WIC's factory, streams over bytes, a picture's frames as the C API
// gives them and as WIC hands them out, and the registry keys the codec writes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "integrations/wic/class_ids.h"
#include "integrations/wic/com_support.h"

#include <wincodec.h>

namespace wic_test {

using brask_wic::ComPtr;
using Bytes = std::vector<uint8_t>;

// The codec's identifiers, as registered.
using brask_wic::kClsidG00Decoder;
using brask_wic::kClsidPdtDecoder;
using brask_wic::kContainerG00;
using brask_wic::kContainerPdt;
extern const wchar_t kThumbnailHandlerKey[];  // the shell's thumbnail handler GUID

// One frame: its pixel format and size, its pixels packed in that format, its palette
// (8bppIndexed) and the frame as 32bppBGRA (WIC's converter; for the API, its RGBA).
struct Frame {
  GUID format{};
  uint32_t width = 0;
  uint32_t height = 0;
  Bytes pixels;
  std::vector<WICColor> palette;
  Bytes bgra;
};

IWICImagingFactory* Factory();  // one per process, created on first use
// A WIC stream over a copy of bytes, which it keeps.
ComPtr<IWICStream> StreamOver(const Bytes& bytes);

// The frames the C API gives for a file: the picture (type 2: composed), then each part
// with pixels of its own, in the pixel formats the codec promises.
std::vector<Frame> ApiFrames(const Bytes& file, const char* name_hint);
// Every frame of an initialised decoder; failures are reported to the running test.
std::vector<Frame> WicFrames(IWICBitmapDecoder* decoder);
// Expects the two to be the same picture; `what` names the route in messages.
void ExpectSameFrames(const std::vector<Frame>& api, const std::vector<Frame>& wic,
                      const std::string& what);

// Our decoder for `container`, initialised with bytes; an HRESULT on failure.
HRESULT DecodeWithContainer(const GUID& container, const Bytes& bytes,
                            ComPtr<IWICBitmapDecoder>* decoder);

// The registry under root\path as sorted lines "path|name|type|data", recursively.
std::vector<std::string> RegistryLines(HKEY root, const std::wstring& path);
// Whether root\path exists.
bool KeyExists(HKEY root, const std::wstring& path);

// The tests' working folder (BRASK_WIC_WORK), shared by the stages of one run.
std::string WorkFolder();
Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);

}  // namespace wic_test
