// SPDX-License-Identifier: MIT
// What every COM object of the DLL shares: the module's object count (DllCanUnloadNow), a
// reference count, a lock, and Guarded, which keeps any C++ exception from crossing a COM
// method: each method's body runs inside it.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>

#include <new>

#include "platform/com_ptr.h"

namespace brask_wic {

// Objects alive and IClassFactory::LockServer locks: the DLL may unload when both are 0.
extern LONG g_live_objects;
extern HMODULE g_module;

// Runs body (a callable returning HRESULT); an exception becomes E_OUTOFMEMORY or E_FAIL.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// A slim reader/writer lock held exclusively for one scope.
class ScopedLock {
 public:
  explicit ScopedLock(SRWLOCK* lock) : lock_(lock) { AcquireSRWLockExclusive(lock_); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;
  ~ScopedLock() { ReleaseSRWLockExclusive(lock_); }

 private:
  SRWLOCK* lock_;
};

// Reference counting and the module count for a class implementing one or more interfaces.
// The derived class answers QueryInterface through FindInterface.
class RefCounted {
 public:
  RefCounted() { InterlockedIncrement(&g_live_objects); }
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;
  virtual ~RefCounted() { InterlockedDecrement(&g_live_objects); }

  ULONG AddRefCount() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG ReleaseCount() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  // Hands out the interface for iid (AddRef'd) or E_NOINTERFACE.
  HRESULT Query(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = FindInterface(iid);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRefCount();
    return S_OK;
  }

 protected:
  virtual void* FindInterface(REFIID iid) = 0;

 private:
  LONG references_ = 1;
};

// IUnknown's three methods for a class derived from RefCounted and its interfaces.
#define BRASK_WIC_IUNKNOWN                                                               \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {            \
    return Query(iid, out);                                                              \
  }                                                                                      \
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(); }                    \
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseCount(); }

using brask::ComPtr;

}  // namespace brask_wic
