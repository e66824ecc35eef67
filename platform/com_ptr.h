// SPDX-License-Identifier: MIT
// Windows only: one COM interface pointer that releases what it holds, for the programs and
// the codec that talk to COM (never the plug-in, which uses KERNEL32 alone).
#pragma once

namespace brask {

template <class Interface>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(Interface* owned) : pointer_(owned) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : pointer_(other.detach()) {}
  ~ComPtr() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }
  Interface** out() { return &pointer_; }
  void** out_void() { return reinterpret_cast<void**>(&pointer_); }
  // Hands the interface over without releasing it.
  Interface* detach() {
    Interface* handed = pointer_;
    pointer_ = nullptr;
    return handed;
  }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace brask
