// SPDX-License-Identifier: MIT
// The COM server's exports: the class factory for the two decoders, the thumbnail provider
// and the property handler, the unload check, and registration per machine (DllRegisterServer) or per user
// (DllInstall with "user", as `regsvr32 /n /i:user` calls it).
#include <cwchar>

#include "integrations/wic/bitmap_decoder.h"
#include "integrations/wic/class_ids.h"
#include "integrations/wic/com_support.h"
#include "integrations/wic/property_store.h"
#include "integrations/wic/registration.h"
#include "integrations/wic/thumbnail_provider.h"

namespace brask_wic {

LONG g_live_objects = 0;
HMODULE g_module = nullptr;

namespace {

LONG g_server_locks = 0;

// Makes one class's objects; the factory itself counts as a live object.
class ClassFactory : public RefCounted, public IClassFactory {
 public:
  explicit ClassFactory(REFCLSID clsid) : clsid_(clsid) {}
  BRASK_WIC_IUNKNOWN

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    return Guarded([&]() -> HRESULT {
      if (out == nullptr) return E_POINTER;
      *out = nullptr;
      if (outer != nullptr) return CLASS_E_NOAGGREGATION;
      RefCounted* made = nullptr;
      if (const FormatNames* format = FormatOfDecoder(clsid_)) {
        made = new BitmapDecoder(*format);
      } else if (IsEqualCLSID(clsid_, kClsidThumbnailProvider)) {
        made = new ThumbnailProvider();
      } else if (IsEqualCLSID(clsid_, kClsidPropertyHandler)) {
        made = new PropertyStore();
      } else {
        return CLASS_E_CLASSNOTAVAILABLE;
      }
      const HRESULT result = made->Query(iid, out);
      made->ReleaseCount();  // the caller's reference (if any) keeps it alive
      return result;
    });
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      InterlockedIncrement(&g_server_locks);
    } else {
      InterlockedDecrement(&g_server_locks);
    }
    return S_OK;
  }

 protected:
  void* FindInterface(REFIID iid) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      return static_cast<IClassFactory*>(this);
    }
    return nullptr;
  }

 private:
  const CLSID clsid_;
};

}  // namespace
}  // namespace brask_wic

using namespace brask_wic;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return Guarded([&]() -> HRESULT {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (FormatOfDecoder(clsid) == nullptr && !IsEqualCLSID(clsid, kClsidThumbnailProvider) &&
        !IsEqualCLSID(clsid, kClsidPropertyHandler)) {
      return CLASS_E_CLASSNOTAVAILABLE;
    }
    ClassFactory* factory = new ClassFactory(clsid);
    const HRESULT result = factory->Query(iid, out);
    factory->ReleaseCount();
    return result;
  });
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return g_live_objects == 0 && g_server_locks == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  return Guarded([] { return Register(RegistrationScope::kMachine); });
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  return Guarded([] { return Unregister(RegistrationScope::kMachine); });
}

// `regsvr32 /n /i:user` registers per user, `/i` without "user" (or "machine") per machine;
// with /u the same options remove it.
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR command_line) {
  return Guarded([&]() -> HRESULT {
    RegistrationScope scope;
    if (command_line == nullptr || command_line[0] == L'\0' ||
        _wcsicmp(command_line, L"machine") == 0) {
      scope = RegistrationScope::kMachine;
    } else if (_wcsicmp(command_line, L"user") == 0) {
      scope = RegistrationScope::kUser;
    } else {
      return E_INVALIDARG;
    }
    return install ? Register(scope) : Unregister(scope);
  });
}
