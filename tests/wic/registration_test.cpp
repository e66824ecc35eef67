// SPDX-License-Identifier: MIT
// Registration, checked by what it writes and removes, in the order the run script takes:
// Before (nothing registered: the registry and other formats' pixels are recorded),
// UserRegistered and UserRemoved (regsvr32 /n /i:user, then /u), MachineRegistered and
// MachineRemoved (regsvr32, then /u). Each root holds our keys only when registered there;
// the other root is untouched; unregistering leaves the registry as it was; PNG, BMP, GIF,
// ICO, JPEG and TIFF files decode to the same pixels throughout.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <sstream>
#include <utility>

#include "tests/wic/wic_support.h"

namespace wic_test {
namespace {

const wchar_t kClasses[] = L"Software\\Classes";
const wchar_t kKindMap[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap";
const wchar_t kPropertySystem[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\PropertySystem";

std::string GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return std::string(text, text + wcslen(text));
}

// The registry where registering writes, as lines under "HKLM" or "HKCU".
std::vector<std::string> Snapshot(HKEY root) {
  const std::string prefix = root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "HKCU\\";
  std::vector<std::string> lines;
  for (const wchar_t* path : {kClasses, kKindMap, kPropertySystem}) {
    for (const std::string& line : RegistryLines(root, path)) lines.push_back(prefix + line);
  }
  return lines;
}

std::string SnapshotPath(HKEY root) {
  return WorkFolder() + (root == HKEY_LOCAL_MACHINE ? "/registry-hklm.txt" : "/registry-hkcu.txt");
}

void SaveSnapshot(HKEY root) {
  std::string text = "snapshot\n";  // an empty registry still leaves a snapshot
  for (const std::string& line : Snapshot(root)) text += line + "\n";
  WriteFile(SnapshotPath(root), Bytes(text.begin(), text.end()));
}

// Expects root's registry as recorded before anything was registered.
void ExpectAsBefore(HKEY root) {
  const Bytes saved = ReadFile(SnapshotPath(root));
  std::istringstream in(std::string(saved.begin(), saved.end()));
  std::vector<std::string> before;
  std::string first;
  ASSERT_TRUE(std::getline(in, first) && first == "snapshot") << "run the Before stage first";
  for (std::string line; std::getline(in, line);) before.push_back(line);
  const std::vector<std::string> now = Snapshot(root);
  std::vector<std::string> added, removed;
  std::set_difference(now.begin(), now.end(), before.begin(), before.end(),
                      std::back_inserter(added));
  std::set_difference(before.begin(), before.end(), now.begin(), now.end(),
                      std::back_inserter(removed));
  for (const std::string& line : added) ADD_FAILURE() << "added: " << line;
  for (const std::string& line : removed) ADD_FAILURE() << "removed: " << line;
}

// Our keys under root's classes: both decoders, their category entries, the thumbnail
// provider, the extensions' handler and perceived type.
void ExpectOurKeys(HKEY root, bool present) {
  const std::wstring classes = std::wstring(kClasses) + L"\\";
  const std::wstring instances =
      classes + L"CLSID\\{7ED96837-96F0-4812-B211-F13C24117ED3}\\Instance\\";
  const wchar_t* const keys[] = {
      L"CLSID\\{95FCC722-9083-46ED-9F42-B4708DAECCBE}\\InprocServer32",
      L"CLSID\\{56217B9D-23E9-436A-8938-72B4E9958F99}\\Patterns\\0",
      L"CLSID\\{60BC5CB0-D407-4731-9134-517AFA31E550}\\InprocServer32",
      L"SystemFileAssociations\\.g00\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}",
      L"SystemFileAssociations\\.pdt\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}",
  };
  for (const wchar_t* key : keys) {
    EXPECT_EQ(KeyExists(root, classes + key), present) << std::string(key, key + wcslen(key));
  }
  for (const wchar_t* decoder : {L"{95FCC722-9083-46ED-9F42-B4708DAECCBE}",
                                 L"{56217B9D-23E9-436A-8938-72B4E9958F99}"}) {
    EXPECT_EQ(KeyExists(root, instances + decoder), present);
  }
  for (const wchar_t* extension : {L".g00", L".pdt"}) {
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    const bool perceived = RegGetValueW(root, (classes + extension).c_str(), L"PerceivedType",
                                        RRF_RT_REG_SZ, nullptr, text, &size) == ERROR_SUCCESS;
    EXPECT_EQ(perceived, present);
    if (perceived) {
      EXPECT_STREQ(text, L"image");
    }
  }
}

// The kind map is machine-wide: written by the per-machine registration alone.
bool KindIsPicture(HKEY root, const wchar_t* extension) {
  wchar_t text[32] = {};
  DWORD size = sizeof text;
  return RegGetValueW(root, kKindMap, extension, RRF_RT_REG_SZ, nullptr, text, &size) ==
             ERROR_SUCCESS &&
         wcscmp(text, L"picture") == 0;
}

// Windows reads property handlers machine-wide only.
bool HasPropertyHandler(HKEY root, const wchar_t* extension) {
  return KeyExists(root, std::wstring(kPropertySystem) + L"\\PropertyHandlers\\" + extension);
}

// ---- Other formats -------------------------------------------------------------------

constexpr UINT kWidth = 13;
constexpr UINT kHeight = 7;

// A 16x16 32-bit icon: the directory, the bitmap (twice the height, bottom row first), and
// an all-visible mask.
Bytes MakeIcon() {
  Bytes icon = {0, 0, 1, 0, 1, 0,                  // reserved, type 1 (icon), one image
                16, 16, 0, 0, 1, 0, 32, 0,         // 16 x 16, no palette, 1 plane, 32 bits
                0, 0, 0, 0, 22, 0, 0, 0};          // bytes of the image (set below), offset 22
  const uint8_t header[40] = {40, 0, 0, 0, 16, 0, 0, 0, 32, 0, 0, 0, 1, 0, 32, 0};
  icon.insert(icon.end(), header, header + 40);
  for (int i = 0; i < 16 * 16; ++i) {
    icon.push_back(uint8_t(i * 7));
    icon.push_back(uint8_t(i * 3));
    icon.push_back(uint8_t(255 - i));
    icon.push_back(uint8_t(i < 128 ? 255 : 128 + i % 64));
  }
  icon.insert(icon.end(), 16 * 4, 0);  // the mask: rows of 4 bytes, all visible
  const uint32_t image_bytes = uint32_t(icon.size() - 22);
  std::memcpy(icon.data() + 14, &image_bytes, 4);
  return icon;
}

// Writes a small picture with WIC's own encoder for container.
void EncodeWithWic(const GUID& container, const std::string& path) {
  const bool indexed = IsEqualGUID(container, GUID_ContainerFormatGif);
  const bool opaque = IsEqualGUID(container, GUID_ContainerFormatJpeg);
  const UINT pixel = indexed ? 1 : opaque ? 3 : 4;
  Bytes pixels(size_t{kWidth} * kHeight * pixel);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(indexed ? i % 16 : i * 37 + i / 5);
  WICPixelFormatGUID format = indexed  ? GUID_WICPixelFormat8bppIndexed
                              : opaque ? GUID_WICPixelFormat24bppBGR
                                       : GUID_WICPixelFormat32bppBGRA;
  ComPtr<IWICBitmap> bitmap;
  ASSERT_EQ(Factory()->CreateBitmapFromMemory(kWidth, kHeight, format, kWidth * pixel,
                                              UINT(pixels.size()), pixels.data(), bitmap.out()),
            S_OK);
  ComPtr<IWICPalette> palette;
  Factory()->CreatePalette(palette.out());
  WICColor colours[16];
  for (UINT i = 0; i < 16; ++i) colours[i] = 0xFF000000u | (i * 0x0F1F2Fu);
  palette->InitializeCustom(colours, 16);
  if (indexed) bitmap->SetPalette(palette.get());

  ComPtr<IWICStream> stream;
  Factory()->CreateStream(stream.out());
  const std::wstring wide(path.begin(), path.end());
  ASSERT_EQ(stream->InitializeFromFilename(wide.c_str(), GENERIC_WRITE), S_OK);
  ComPtr<IWICBitmapEncoder> encoder;
  ASSERT_EQ(Factory()->CreateEncoder(container, nullptr, encoder.out()), S_OK) << path;
  ASSERT_EQ(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache), S_OK);
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  ASSERT_EQ(encoder->CreateNewFrame(frame.out(), options.out()), S_OK);
  ASSERT_EQ(frame->Initialize(options.get()), S_OK);
  ASSERT_EQ(frame->SetSize(kWidth, kHeight), S_OK);
  ASSERT_EQ(frame->SetPixelFormat(&format), S_OK);  // it may choose another
  if (indexed) {
    encoder->SetPalette(palette.get());
    frame->SetPalette(palette.get());
  }
  ASSERT_EQ(frame->WriteSource(bitmap.get(), nullptr), S_OK) << path;
  ASSERT_EQ(frame->Commit(), S_OK);
  ASSERT_EQ(encoder->Commit(), S_OK);
}

struct OtherFormat {
  const char* file;
  const GUID* container;  // null: a file of our own making
};
const OtherFormat kOtherFormats[] = {
    {"other.png", &GUID_ContainerFormatPng},   {"other.bmp", &GUID_ContainerFormatBmp},
    {"other.gif", &GUID_ContainerFormatGif},   {"other.jpg", &GUID_ContainerFormatJpeg},
    {"other.tif", &GUID_ContainerFormatTiff},  {"other.ico", nullptr},
};

// One line a file: which decoder took it, its size and format, and its pixels (FNV-1a of
// the 32bppBGRA conversion).
std::string DecodeSignature(const std::string& file) {
  const std::string path = WorkFolder() + "/" + file;
  const std::wstring wide(path.begin(), path.end());
  ComPtr<IWICBitmapDecoder> decoder;
  char text[256];
  HRESULT result = Factory()->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                        WICDecodeMetadataCacheOnDemand,
                                                        decoder.out());
  ComPtr<IWICBitmapFrameDecode> frame;
  if (SUCCEEDED(result)) result = decoder->GetFrame(0, frame.out());
  if (FAILED(result)) {
    std::snprintf(text, sizeof text, "%s: error 0x%08lX", file.c_str(), (unsigned long)result);
    return text;
  }
  GUID container{}, format{};
  UINT width = 0, height = 0;
  decoder->GetContainerFormat(&container);
  frame->GetPixelFormat(&format);
  frame->GetSize(&width, &height);
  ComPtr<IWICBitmapSource> converted;
  WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(), converted.out());
  Bytes pixels(size_t{width} * height * 4);
  converted->CopyPixels(nullptr, width * 4, UINT(pixels.size()), pixels.data());
  uint32_t hash = 2166136261u;
  for (uint8_t byte : pixels) hash = (hash ^ byte) * 16777619u;
  std::snprintf(text, sizeof text, "%s: %s %ux%u %s %08x", file.c_str(),
                GuidText(container).c_str(), width, height, GuidText(format).c_str(), hash);
  return text;
}

void ExpectOtherFormatsAsBefore() {
  const Bytes saved = ReadFile(WorkFolder() + "/other-formats.txt");
  std::istringstream in(std::string(saved.begin(), saved.end()));
  for (const OtherFormat& other : kOtherFormats) {
    std::string before;
    std::getline(in, before);
    EXPECT_EQ(DecodeSignature(other.file), before);
  }
}

TEST(Before, RecordsTheRegistryAndOtherFormats) {
  // Windows always has these keys, empty or not; a fresh wine prefix may lack them. Made
  // here, they are in the record, and unregistering must leave them.
  const std::pair<HKEY, std::wstring> windows_keys[] = {
      {HKEY_CURRENT_USER, kClasses},
      {HKEY_LOCAL_MACHINE, std::wstring(kClasses) + L"\\SystemFileAssociations"},
      {HKEY_LOCAL_MACHINE, std::wstring(kPropertySystem) + L"\\PropertyHandlers"}};
  for (const auto& [root, key] : windows_keys) {
    HKEY made;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &made,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(made);
  }
  SaveSnapshot(HKEY_LOCAL_MACHINE);
  SaveSnapshot(HKEY_CURRENT_USER);
  ExpectOurKeys(HKEY_LOCAL_MACHINE, false);
  ExpectOurKeys(HKEY_CURRENT_USER, false);
  std::string lines;
  for (const OtherFormat& other : kOtherFormats) {
    const std::string path = WorkFolder() + "/" + other.file;
    if (other.container != nullptr) {
      EncodeWithWic(*other.container, path);
    } else {
      WriteFile(path, MakeIcon());
    }
    const std::string line = DecodeSignature(other.file);
    EXPECT_EQ(line.find("error"), std::string::npos) << line;
    lines += line + "\n";
  }
  WriteFile(WorkFolder() + "/other-formats.txt", Bytes(lines.begin(), lines.end()));
}

TEST(UserRegistered, OurKeysAreUnderTheUsersClassesOnly) {
  ExpectOurKeys(HKEY_CURRENT_USER, true);
  EXPECT_FALSE(KindIsPicture(HKEY_CURRENT_USER, L".g00"));
  EXPECT_FALSE(HasPropertyHandler(HKEY_CURRENT_USER, L".g00"));
  ExpectAsBefore(HKEY_LOCAL_MACHINE);
}

TEST(UserRemoved, TheRegistryIsAsBefore) {
  ExpectAsBefore(HKEY_CURRENT_USER);
  ExpectAsBefore(HKEY_LOCAL_MACHINE);
}

TEST(MachineRegistered, OurKeysAreUnderTheMachinesClassesOnly) {
  ExpectOurKeys(HKEY_LOCAL_MACHINE, true);
  EXPECT_TRUE(HasPropertyHandler(HKEY_LOCAL_MACHINE, L".g00"));
  EXPECT_TRUE(HasPropertyHandler(HKEY_LOCAL_MACHINE, L".pdt"));
  EXPECT_TRUE(KindIsPicture(HKEY_LOCAL_MACHINE, L".g00"));
  EXPECT_TRUE(KindIsPicture(HKEY_LOCAL_MACHINE, L".pdt"));
  ExpectAsBefore(HKEY_CURRENT_USER);
}

TEST(MachineRegistered, OtherFormatsDecodeAsBefore) { ExpectOtherFormatsAsBefore(); }

TEST(MachineRemoved, TheRegistryIsAsBefore) {
  ExpectAsBefore(HKEY_CURRENT_USER);
  ExpectAsBefore(HKEY_LOCAL_MACHINE);
}

TEST(MachineRemoved, OtherFormatsDecodeAsBefore) { ExpectOtherFormatsAsBefore(); }

}  // namespace
}  // namespace wic_test
