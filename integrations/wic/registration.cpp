// SPDX-License-Identifier: MIT
#include "integrations/wic/registration.h"

#include <algorithm>

#include <shlobj.h>
#include <wincodec.h>

#include "integrations/wic/class_ids.h"

namespace brask_wic {
namespace {

const wchar_t kClasses[] = L"Software\\Classes\\";
const wchar_t kKindMap[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap";
const wchar_t kThumbnailHandler[] = L"{e357fccd-a995-4576-b01f-234630154e96}";
const wchar_t kPropertyHandlers[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers";

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::vector<BYTE> TextData(const std::wstring& text) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

std::vector<BYTE> NumberData(DWORD number) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
  return std::vector<BYTE>(bytes, bytes + sizeof number);
}

// Collects entries; `ours` says whether the keys that follow belong to us alone.
class EntryList {
 public:
  void Text(const std::wstring& key, const std::wstring& name, const std::wstring& text,
            bool ours = true) {
    entries_.push_back({key, name, REG_SZ, TextData(text), ours});
  }
  void Number(const std::wstring& key, const std::wstring& name, DWORD number) {
    entries_.push_back({key, name, REG_DWORD, NumberData(number), true});
  }
  void Binary(const std::wstring& key, const std::wstring& name, std::vector<BYTE> data) {
    entries_.push_back({key, name, REG_BINARY, std::move(data), true});
  }
  void Key(const std::wstring& key) { entries_.push_back({key, L"", REG_NONE, {}, true}); }
  std::vector<RegistryEntry> Take() { return std::move(entries_); }

 private:
  std::vector<RegistryEntry> entries_;
};

void AddServer(EntryList* list, const std::wstring& clsid_key, const std::wstring& name,
               const std::wstring& dll_path) {
  list->Text(clsid_key, L"", name);
  list->Text(clsid_key + L"\\InprocServer32", L"", dll_path);
  list->Text(clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Both");
}

HKEY RootOf(RegistrationScope scope) {
  return scope == RegistrationScope::kMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring ThisDllPath() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(g_module, &path[0], DWORD(path.size()));
  if (length == 0 || length >= path.size()) return std::wstring();
  path.resize(length);
  return path;
}

// Removes key, in the registry view `view` (0: this process's own), when it holds neither
// values nor subkeys.
void RemoveIfEmpty(HKEY root, const std::wstring& key, REGSAM view = 0) {
  HKEY opened;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return;
  DWORD subkeys = 1, values = 1;
  const LSTATUS status = RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                          nullptr, &values, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(opened);
  if (status == ERROR_SUCCESS && subkeys == 0 && values == 0) {
    RegDeleteKeyExW(root, key.c_str(), view, 0);
  }
}

// The key's parent, or empty at the top.
std::wstring ParentOf(const std::wstring& key) {
  const size_t slash = key.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : key.substr(0, slash);
}

// Keys that Windows itself keeps in scope, where removing empty keys stops; below them, a key
// that registering made and that holds nothing once ours is gone is removed. Per machine,
// Windows owns the class, decoder category, file association, kind and property handler
// lists, even when one is empty: removed, it would lose the access rights Windows set on it.
// Per user only the classes key is Windows' own; the lists below it exist only when some
// registration made them, possibly ours alone, and go when left empty.
bool IsWindowsKey(RegistrationScope scope, const std::wstring& key) {
  const std::wstring classes = kClasses;
  if (_wcsicmp(key.c_str(), L"Software\\Classes") == 0) return true;
  if (scope == RegistrationScope::kUser) return false;
  const std::wstring category = classes + L"CLSID\\" + GuidText(CATID_WICBitmapDecoders);
  const std::wstring machine_keys[] = {classes + L"CLSID", category, category + L"\\Instance",
                                       classes + L"SystemFileAssociations", kKindMap,
                                       kPropertyHandlers};
  for (const std::wstring& windows_key : machine_keys) {
    if (_wcsicmp(key.c_str(), windows_key.c_str()) == 0) return true;
  }
  return false;
}

// Removes the empty keys from key up to the first that is Windows' own or not empty.
void PruneEmptyKeys(RegistrationScope scope, std::wstring key) {
  while (!key.empty() && !IsWindowsKey(scope, key)) {
    RemoveIfEmpty(RootOf(scope), key);
    key = ParentOf(key);
  }
}

// A 32-bit DLL on 64-bit Windows finds the user's classes under Software\Classes\Wow6432Node,
// which Windows makes when the first 32-bit class is registered for the user. Like the
// lists below it, that key goes when our unregistering leaves it empty.
void PruneUserWow64Node() {
  if (sizeof(void*) != 4) return;
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return;
  RemoveIfEmpty(HKEY_CURRENT_USER, std::wstring(kClasses) + L"Wow6432Node", KEY_WOW64_64KEY);
}

// Whether the thumbnail provider of the other architecture is still registered under root.
// 64-bit Windows keeps the classes of 32-bit and 64-bit programs apart but shares the
// extensions' keys, so those stay while either DLL is registered. Elsewhere the other view
// is this one, asked after our own classes are gone.
bool OtherArchitectureRegistered(HKEY root) {
  const REGSAM other_view = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  const std::wstring key = std::wstring(kClasses) + L"CLSID\\" +
                           GuidText(kClsidThumbnailProvider) + L"\\InprocServer32";
  HKEY opened;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | other_view, &opened) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(opened);
  return true;
}

// Whether 64-bit Windows keeps key apart for 32-bit and 64-bit programs: the classes, and
// what lies outside Software\Classes. The extensions' keys are shared.
bool IsKeptPerView(const std::wstring& key) {
  const std::wstring classes = kClasses;
  const std::wstring class_ids = classes + L"CLSID\\";
  return _wcsnicmp(key.c_str(), class_ids.c_str(), class_ids.size()) == 0 ||
         _wcsnicmp(key.c_str(), classes.c_str(), classes.size()) != 0;
}

}  // namespace

std::vector<RegistryEntry> RegistryEntries(RegistrationScope scope,
                                           const std::wstring& dll_path) {
  EntryList list;
  const std::wstring classes = kClasses;
  const std::wstring instances =
      classes + L"CLSID\\" + GuidText(CATID_WICBitmapDecoders) + L"\\Instance\\";
  for (const FormatNames& format : kFormats) {
    const std::wstring decoder = GuidText(*format.decoder);
    const std::wstring key = classes + L"CLSID\\" + decoder;
    AddServer(&list, key, format.friendly_name, dll_path);
    list.Text(key, L"FriendlyName", format.friendly_name);
    list.Text(key, L"Author", L"if_brask");
    list.Text(key, L"Vendor", GuidText(kVendor));
    list.Text(key, L"ContainerFormat", GuidText(*format.container));
    list.Text(key, L"Version", L"1.0.0.0");
    list.Text(key, L"SpecVersion", L"1.0.0.0");
    list.Text(key, L"FileExtensions", format.extension);
    list.Text(key, L"MimeTypes", format.mime_type);
    list.Number(key, L"SupportsAnimation", 0);
    list.Number(key, L"SupportsMultiframe", format.format == BRASK_FORMAT_G00 ? 1 : 0);
    list.Number(key, L"SupportsLossless", 1);
    list.Number(key, L"SupportsChromakey", 0);
    // The pixel formats frames come in: each format has an opaque, a masked or parts
    // mode, and an indexed one.
    const GUID* formats[] = {&GUID_WICPixelFormat32bppBGRA, &GUID_WICPixelFormat32bppBGR,
                             &GUID_WICPixelFormat8bppIndexed};
    for (const GUID* pixel_format : formats) {
      list.Key(key + L"\\Formats\\" + GuidText(*pixel_format));
    }
    if (format.format == BRASK_FORMAT_PDT) {
      // "PDT1" at the start, every bit compared.
      const std::wstring pattern = key + L"\\Patterns\\0";
      list.Number(pattern, L"Position", 0);
      list.Number(pattern, L"Length", 4);
      list.Binary(pattern, L"Pattern", {'P', 'D', 'T', '1'});
      list.Binary(pattern, L"Mask", {0xFF, 0xFF, 0xFF, 0xFF});
      list.Number(pattern, L"EndOfStream", 0);
    }
    list.Text(instances + decoder, L"CLSID", decoder);
    list.Text(instances + decoder, L"FriendlyName", format.friendly_name);
  }

  const std::wstring thumbnailer = GuidText(kClsidThumbnailProvider);
  AddServer(&list, classes + L"CLSID\\" + thumbnailer, L"G00 and PDT Thumbnail Provider",
            dll_path);
  const std::wstring properties = GuidText(kClsidPropertyHandler);
  if (scope == RegistrationScope::kMachine) {
    AddServer(&list, classes + L"CLSID\\" + properties, L"G00 and PDT Property Handler",
              dll_path);
  }
  for (const FormatNames& format : kFormats) {
    const std::wstring extension = format.extension;
    list.Text(classes + L"SystemFileAssociations\\" + extension + L"\\ShellEx\\" +
                  kThumbnailHandler,
              L"", thumbnailer);
    list.Text(classes + extension, L"PerceivedType", L"image", false);
    list.Text(classes + extension, L"Content Type", format.mime_type, false);
    // Explorer's kind map and property handlers are machine-wide only.
    if (scope == RegistrationScope::kMachine) {
      list.Text(kKindMap, extension, L"picture", false);
      list.Text(std::wstring(kPropertyHandlers) + L"\\" + extension, L"", properties);
    }
  }
  return list.Take();
}

namespace {

// Removes one entry: our key whole, or a shared value while it still holds what we wrote;
// then the keys left empty above it.
HRESULT RemoveEntry(RegistrationScope scope, const RegistryEntry& entry) {
  const HKEY root = RootOf(scope);
  if (entry.key_is_ours) {
    const LSTATUS status = RegDeleteTreeW(root, entry.key.c_str());
    PruneEmptyKeys(scope, ParentOf(entry.key));
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK
                                                                     : HRESULT_FROM_WIN32(status);
  }
  HKEY opened;
  if (RegOpenKeyExW(root, entry.key.c_str(), 0, KEY_READ | KEY_SET_VALUE, &opened) !=
      ERROR_SUCCESS) {
    return S_OK;
  }
  std::vector<BYTE> held(entry.data.size() + 16);
  DWORD type = 0, size = DWORD(held.size());
  if (RegQueryValueExW(opened, entry.name.c_str(), nullptr, &type, held.data(), &size) ==
          ERROR_SUCCESS &&
      type == entry.type && size == entry.data.size() &&
      std::equal(entry.data.begin(), entry.data.end(), held.begin())) {
    RegDeleteValueW(opened, entry.name.c_str());
  }
  RegCloseKey(opened);
  PruneEmptyKeys(scope, entry.key);
  return S_OK;
}

}  // namespace

HRESULT Unregister(RegistrationScope scope) {
  const HKEY root = RootOf(scope);
  HRESULT outcome = S_OK;
  const std::vector<RegistryEntry> entries = RegistryEntries(scope, ThisDllPath());
  // This view's keys first; then the shared ones, unless the other architecture needs them.
  for (const bool per_view : {true, false}) {
    if (!per_view && OtherArchitectureRegistered(root)) break;
    for (const RegistryEntry& entry : entries) {
      if (IsKeptPerView(entry.key) != per_view) continue;
      const HRESULT result = RemoveEntry(scope, entry);
      if (FAILED(result) && SUCCEEDED(outcome)) outcome = result;
    }
  }
  if (scope == RegistrationScope::kUser) PruneUserWow64Node();
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return outcome;
}

HRESULT Register(RegistrationScope scope) {
  const std::wstring dll_path = ThisDllPath();
  if (dll_path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  const HKEY root = RootOf(scope);
  for (const RegistryEntry& entry : RegistryEntries(scope, dll_path)) {
    HKEY opened;
    LSTATUS status = RegCreateKeyExW(root, entry.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &opened, nullptr);
    if (status == ERROR_SUCCESS && entry.type != REG_NONE) {
      status = RegSetValueExW(opened, entry.name.empty() ? nullptr : entry.name.c_str(), 0,
                              entry.type, entry.data.data(), DWORD(entry.data.size()));
    }
    if (status == ERROR_SUCCESS) RegCloseKey(opened);
    if (status != ERROR_SUCCESS) {
      Unregister(scope);
      return HRESULT_FROM_WIN32(status);
    }
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return S_OK;
}

}  // namespace brask_wic
