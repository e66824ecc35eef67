// SPDX-License-Identifier: MIT
#include "integrations/wic/property_store.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <vector>

#include "integrations/wic/picture_source.h"

namespace brask_wic {
namespace {

// The shell's image properties: System.Image.HorizontalSize, VerticalSize, BitDepth
// (unsigned 32-bit) and Dimensions ("width x height").
constexpr GUID kImageProperties = {
    0x6444048f, 0x4c8b, 0x11d1, {0x8b, 0x70, 0x08, 0x00, 0x36, 0xb1, 0x1a, 0x03}};
const PROPERTYKEY kKeys[] = {{kImageProperties, 3}, {kImageProperties, 4},
                             {kImageProperties, 7}, {kImageProperties, 13}};
constexpr DWORD kKeyCount = sizeof kKeys / sizeof kKeys[0];

bool SameKey(REFPROPERTYKEY a, const PROPERTYKEY& b) {
  return IsEqualGUID(a.fmtid, b.fmtid) && a.pid == b.pid;
}

}  // namespace

void* PropertyStore::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IInitializeWithStream)) {
    return static_cast<IInitializeWithStream*>(this);
  }
  if (IsEqualIID(iid, IID_IPropertyStore)) return static_cast<IPropertyStore*>(this);
  if (IsEqualIID(iid, IID_IPropertyStoreCapabilities)) {
    return static_cast<IPropertyStoreCapabilities*>(this);
  }
  return nullptr;
}

HRESULT PropertyStore::Initialize(IStream* stream, DWORD) {
  return Guarded([&]() -> HRESULT {
    std::shared_ptr<PictureSource> source;
    const HRESULT result = OpenShellStream(stream, &source);
    if (FAILED(result)) return result;
    const brask_info& info = source->info();
    const bool indexed = info.mode == BRASK_MODE_G00_TYPE1 || info.mode == BRASK_MODE_PDT11;
    ScopedLock hold(&lock_);
    if (initialised_) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    width_ = info.width;
    height_ = info.height;
    bit_depth_ = indexed ? 8 : info.has_alpha ? 32 : 24;
    initialised_ = true;
    return S_OK;
  });
}

HRESULT PropertyStore::GetCount(DWORD* count) {
  if (count == nullptr) return E_POINTER;
  ScopedLock hold(&lock_);
  *count = initialised_ ? kKeyCount : 0;
  return S_OK;
}

HRESULT PropertyStore::GetAt(DWORD index, PROPERTYKEY* key) {
  if (key == nullptr) return E_POINTER;
  ScopedLock hold(&lock_);
  if (!initialised_ || index >= kKeyCount) return E_INVALIDARG;
  *key = kKeys[index];
  return S_OK;
}

HRESULT PropertyStore::GetValue(REFPROPERTYKEY key, PROPVARIANT* value) {
  if (value == nullptr) return E_POINTER;
  PropVariantInit(value);  // VT_EMPTY: a property we do not have
  uint32_t width, height, bit_depth;
  {
    ScopedLock hold(&lock_);
    if (!initialised_) return S_OK;
    width = width_;
    height = height_;
    bit_depth = bit_depth_;
  }
  const uint32_t* number = SameKey(key, kKeys[0])   ? &width
                           : SameKey(key, kKeys[1]) ? &height
                           : SameKey(key, kKeys[2]) ? &bit_depth
                                                    : nullptr;
  if (number != nullptr) {
    value->vt = VT_UI4;
    value->ulVal = *number;
    return S_OK;
  }
  if (SameKey(key, kKeys[3])) {
    wchar_t text[32];
    const int length = std::swprintf(text, 32, L"%u x %u", width, height);
    const size_t bytes = (size_t(length) + 1) * sizeof(wchar_t);
    value->pwszVal = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (value->pwszVal == nullptr) return E_OUTOFMEMORY;
    std::memcpy(value->pwszVal, text, bytes);
    value->vt = VT_LPWSTR;
  }
  return S_OK;
}

HRESULT PropertyStore::SetValue(REFPROPERTYKEY, REFPROPVARIANT) { return STG_E_ACCESSDENIED; }
HRESULT PropertyStore::Commit() { return STG_E_ACCESSDENIED; }
HRESULT PropertyStore::IsPropertyWritable(REFPROPERTYKEY) { return S_FALSE; }

}  // namespace brask_wic
