// SPDX-License-Identifier: MIT
// Explorer's properties of a G00 or PDT file (a read-only IPropertyStore, initialised with a
// stream): its width, height, bit depth and dimensions, for the Details pane and columns.
#pragma once

#include <cstdint>

#include <propsys.h>

#include "integrations/wic/com_support.h"

namespace brask_wic {

class PropertyStore : public RefCounted, public IInitializeWithStream, public IPropertyStore,
                      public IPropertyStoreCapabilities {
 public:
  PropertyStore() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return Query(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseCount(); }

  HRESULT STDMETHODCALLTYPE Initialize(IStream* stream, DWORD mode) override;
  HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetAt(DWORD index, PROPERTYKEY* key) override;
  HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override;
  HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY key, REFPROPVARIANT value) override;
  HRESULT STDMETHODCALLTYPE Commit() override;
  HRESULT STDMETHODCALLTYPE IsPropertyWritable(REFPROPERTYKEY key) override;

 protected:
  void* FindInterface(REFIID iid) override;

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
  bool initialised_ = false;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint32_t bit_depth_ = 0;
};

}  // namespace brask_wic
