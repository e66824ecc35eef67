// SPDX-License-Identifier: MIT
// The codec as programs reach it through WIC, once registered per machine: every mode decodes
// to what the C API gives, by each route a program takes; rectangles and strides; the
// component enumerator; failing streams; several threads at once.
#include <atomic>
#include <cstring>
#include <thread>

#include "tests/support/sample_images.h"
#include "tests/wic/wic_support.h"

namespace wic_test {
namespace {

// Small samples of every mode, larger ones (scale 9: tens of pixels a side), and a G00
// whose indexes go past its 3-colour palette (those pixels are opaque black).
std::vector<SampleImage> Samples() {
  std::vector<SampleImage> samples = SamplesOfEveryMode(1);
  for (SampleImage& sample : SamplesOfEveryMode(9)) samples.push_back(std::move(sample));
  encode::IndexedImage short_palette = MakeIndexedImage(7, 5, 3, 12);
  for (size_t i = 0; i < short_palette.indexes.size(); ++i) {
    short_palette.indexes[i] = uint8_t(i % 10);
  }
  samples.push_back({"g00-type1-short-palette", ".g00", encode::EncodeG00Type1(short_palette),
                     false});
  return samples;
}

bool IsPdt(const SampleImage& sample) { return sample.file_ending == ".pdt"; }

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

TEST(MachineRegistered, EveryModeDecodesAsTheApiGivesIt) {
  for (const SampleImage& sample : Samples()) {
    const std::string name = sample.name + sample.file_ending;
    const std::vector<Frame> api = ApiFrames(sample.bytes, name.c_str());
    if (IsPdt(sample)) {
      // By signature, from a file and from a stream.
      const std::string path = WorkFolder() + "/" + name;
      WriteFile(path, sample.bytes);
      ComPtr<IWICBitmapDecoder> from_file;
      ASSERT_EQ(Factory()->CreateDecoderFromFilename(Wide(path).c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand,
                                                     from_file.out()),
                S_OK)
          << name;
      ExpectSameFrames(api, WicFrames(from_file.get()), name + " from its file");
      GUID container{};
      from_file->GetContainerFormat(&container);
      EXPECT_TRUE(IsEqualGUID(container, kContainerPdt));

      ComPtr<IWICStream> stream = StreamOver(sample.bytes);
      ComPtr<IWICBitmapDecoder> from_stream;
      ASSERT_EQ(Factory()->CreateDecoderFromStream(stream.get(), nullptr,
                                                   WICDecodeMetadataCacheOnDemand,
                                                   from_stream.out()),
                S_OK)
          << name;
      ExpectSameFrames(api, WicFrames(from_stream.get()), name + " from a stream");
    } else {
      // G00 has no signature: programs choose its decoder by the container format.
      ComPtr<IWICBitmapDecoder> decoder;
      ASSERT_EQ(DecodeWithContainer(kContainerG00, sample.bytes, &decoder), S_OK) << name;
      ExpectSameFrames(api, WicFrames(decoder.get()), name + " by its container format");
    }
  }
}

TEST(MachineRegistered, NoPatternTakesAG00File) {
  // A G00 file reached by its bytes alone finds no decoder: no pattern of ours is loose
  // enough to take it (nor, so, another format's file).
  for (const SampleImage& sample : SamplesOfEveryMode(1)) {
    if (IsPdt(sample)) continue;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICStream> stream = StreamOver(sample.bytes);
    EXPECT_EQ(Factory()->CreateDecoderFromStream(stream.get(), nullptr,
                                                 WICDecodeMetadataCacheOnDemand, decoder.out()),
              WINCODEC_ERR_COMPONENTNOTFOUND)
        << sample.name;
  }
}

TEST(MachineRegistered, CopyPixelsKeepsToTheRectangleAndStride) {
  for (const SampleImage& sample : SamplesOfEveryMode(9)) {
    ComPtr<IWICBitmapDecoder> decoder;
    ASSERT_EQ(DecodeWithContainer(IsPdt(sample) ? kContainerPdt : kContainerG00, sample.bytes,
                                  &decoder),
              S_OK);
    const std::vector<Frame> whole = WicFrames(decoder.get());
    ComPtr<IWICBitmapFrameDecode> frame;
    ASSERT_EQ(decoder->GetFrame(0, frame.out()), S_OK);
    const Frame& all = whole[0];
    const UINT pixel = UINT(all.pixels.size() / (size_t{all.width} * all.height));
    const WICRect inner{1, 2, INT(all.width) - 3, INT(all.height) - 4};
    const UINT row = UINT(inner.Width) * pixel;
    const UINT stride = row + 5;
    constexpr uint8_t kCanary = 0xA5;
    // The last row ends at its pixels: the buffer is exactly as long as needed, plus canary.
    Bytes buffer(size_t{stride} * size_t(inner.Height - 1) + row + 8, kCanary);
    const UINT needed = UINT(buffer.size() - 8);
    SCOPED_TRACE(sample.name);
    ASSERT_EQ(frame->CopyPixels(&inner, stride, needed, buffer.data()), S_OK);
    for (INT y = 0; y < inner.Height; ++y) {
      const uint8_t* have = buffer.data() + size_t(y) * stride;
      const uint8_t* want = all.pixels.data() +
                            (size_t(inner.Y + y) * all.width + size_t(inner.X)) * pixel;
      EXPECT_EQ(0, std::memcmp(have, want, row)) << "row " << y;
      if (y + 1 < inner.Height) {
        for (UINT gap = row; gap < stride; ++gap) EXPECT_EQ(have[gap], kCanary) << "gap " << y;
      }
    }
    for (size_t i = needed; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], kCanary) << "past the end";

    // A rectangle outside the frame, a stride shorter than a row, a buffer one byte short.
    const WICRect outside{INT(all.width) - 1, 0, 2, 1};
    const WICRect negative{-1, 0, 1, 1};
    EXPECT_EQ(frame->CopyPixels(&outside, stride, needed, buffer.data()), E_INVALIDARG);
    EXPECT_EQ(frame->CopyPixels(&negative, stride, needed, buffer.data()), E_INVALIDARG);
    EXPECT_EQ(frame->CopyPixels(&inner, row - 1, needed, buffer.data()), E_INVALIDARG);
    EXPECT_EQ(frame->CopyPixels(&inner, stride, needed - 1, buffer.data()),
              WINCODEC_ERR_INSUFFICIENTBUFFER);
    EXPECT_EQ(frame->CopyPixels(nullptr, all.width * pixel, 0xFFFFFFFFu, nullptr), E_INVALIDARG);
  }
}

TEST(MachineRegistered, ComponentEnumeratorListsBothDecoders) {
  ComPtr<IEnumUnknown> components;
  ASSERT_EQ(Factory()->CreateComponentEnumerator(WICDecoder, WICComponentEnumerateDefault,
                                                 components.out()),
            S_OK);
  int found = 0;
  for (;;) {
    ComPtr<IUnknown> item;
    ULONG fetched = 0;
    if (components->Next(1, item.out(), &fetched) != S_OK || fetched == 0) break;
    ComPtr<IWICBitmapDecoderInfo> info;
    if (FAILED(item->QueryInterface(IID_IWICBitmapDecoderInfo, info.out_void()))) continue;
    CLSID clsid{};
    info->GetCLSID(&clsid);
    const bool g00 = IsEqualCLSID(clsid, kClsidG00Decoder);
    if (!g00 && !IsEqualCLSID(clsid, kClsidPdtDecoder)) continue;
    ++found;
    wchar_t text[256];
    UINT length = 0;
    info->GetFriendlyName(256, text, &length);
    EXPECT_STREQ(text, g00 ? L"G00 Decoder" : L"PDT Decoder");
    info->GetFileExtensions(256, text, &length);
    EXPECT_STREQ(text, g00 ? L".g00" : L".pdt");
    info->GetMimeTypes(256, text, &length);
    EXPECT_STREQ(text, g00 ? L"image/x-g00" : L"image/x-pdt");
    GUID container{};
    info->GetContainerFormat(&container);
    EXPECT_TRUE(IsEqualGUID(container, g00 ? kContainerG00 : kContainerPdt));
    UINT formats = 0;
    info->GetPixelFormats(0, nullptr, &formats);
    EXPECT_EQ(formats, 3u);
  }
  EXPECT_EQ(found, 2);
}

// A stream that hands out `good` bytes of a picture and then fails.
class FailingStream : public IStream {
 public:
  FailingStream(Bytes bytes, ULONG good) : bytes_(std::move(bytes)), good_(good) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IStream) ||
        IsEqualIID(iid, IID_ISequentialStream)) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(void* into, ULONG count, ULONG* read) override {
    if (position_ >= bytes_.size()) {  // the end: nothing more, no failure
      if (read != nullptr) *read = 0;
      return S_FALSE;
    }
    const ULONG left = position_ < good_ ? ULONG(good_ - position_) : 0;
    if (left == 0) return STG_E_READFAULT;
    const ULONG give = count < left ? count : left;
    std::memcpy(into, bytes_.data() + position_, give);
    position_ += give;
    if (read != nullptr) *read = give;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                 ULARGE_INTEGER* now) override {
    const LONGLONG base = origin == STREAM_SEEK_SET ? 0
                          : origin == STREAM_SEEK_CUR ? LONGLONG(position_)
                                                      : LONGLONG(bytes_.size());
    position_ = ULONGLONG(base + move.QuadPart);
    if (now != nullptr) now->QuadPart = position_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
    *stat = STATSTG{};
    stat->cbSize.QuadPart = bytes_.size();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                   ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

 private:
  Bytes bytes_;
  ULONGLONG good_;
  ULONGLONG position_ = 4;  // where WIC may leave a stream: the decoder seeks to the start
};

TEST(MachineRegistered, AFailingStreamIsAReadError) {
  for (const SampleImage& sample : SamplesOfEveryMode(9)) {
    const GUID& container = IsPdt(sample) ? kContainerPdt : kContainerG00;
    // Whole, the stream decodes from its start although it was left at offset 4.
    FailingStream whole(sample.bytes, ULONG(sample.bytes.size()));
    ComPtr<IWICBitmapDecoder> decoder;
    ASSERT_EQ(Factory()->CreateDecoder(container, nullptr, decoder.out()), S_OK);
    EXPECT_EQ(decoder->Initialize(&whole, WICDecodeMetadataCacheOnDemand), S_OK) << sample.name;
    // Failing half way, it is an error.
    FailingStream failing(sample.bytes, ULONG(sample.bytes.size() / 2));
    ComPtr<IWICBitmapDecoder> second;
    ASSERT_EQ(Factory()->CreateDecoder(container, nullptr, second.out()), S_OK);
    EXPECT_EQ(second->Initialize(&failing, WICDecodeMetadataCacheOnDemand),
              WINCODEC_ERR_STREAMREAD)
        << sample.name;
  }
}

TEST(MachineRegistered, ThreadsDecodeAtOnce) {
  const std::vector<SampleImage> samples = Samples();
  std::vector<std::vector<Frame>> expected;
  for (const SampleImage& sample : samples) {
    expected.push_back(ApiFrames(sample.bytes, (sample.name + sample.file_ending).c_str()));
  }
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      for (int round = 0; round < 8; ++round) {
        for (size_t i = 0; i < samples.size(); ++i) {
          const SampleImage& sample = samples[(i + size_t(t)) % samples.size()];
          const std::vector<Frame>& want = expected[(i + size_t(t)) % samples.size()];
          ComPtr<IWICBitmapDecoder> decoder;
          if (FAILED(DecodeWithContainer(IsPdt(sample) ? kContainerPdt : kContainerG00,
                                         sample.bytes, &decoder))) {
            ++mismatches;
            continue;
          }
          UINT count = 0;
          decoder->GetFrameCount(&count);
          if (count != want.size()) ++mismatches;
          for (UINT n = 0; n < count && n < want.size(); ++n) {
            ComPtr<IWICBitmapFrameDecode> frame;
            decoder->GetFrame(n, frame.out());
            Bytes pixels(want[n].pixels.size());
            const UINT row = UINT(pixels.size() / want[n].height);
            if (frame->CopyPixels(nullptr, row, UINT(pixels.size()), pixels.data()) != S_OK ||
                pixels != want[n].pixels) {
              ++mismatches;
            }
          }
        }
      }
      CoUninitialize();
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace wic_test
