// An owning COM interface pointer: releases what it holds, adds a reference
// when copied.
#pragma once

#include <objbase.h>

#include <utility>

namespace vellumine::com {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already owns.
  static ComPtr Adopt(T* raw) {
    ComPtr out;
    out.ptr_ = raw;
    return out;
  }
  // Adds a reference of its own.
  static ComPtr Share(T* raw) {
    if (raw != nullptr) raw->AddRef();
    return Adopt(raw);
  }
  ComPtr(const ComPtr& other) : ptr_(other.ptr_) {
    if (ptr_ != nullptr) ptr_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(ptr_, other.ptr_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  void Reset() {
    if (T* old = std::exchange(ptr_, nullptr)) old->Release();
  }
  T* Get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }
  // For out-parameters: releases what is held first.
  T** Out() {
    Reset();
    return &ptr_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  // Hands the reference to the caller.
  T* Detach() { return std::exchange(ptr_, nullptr); }

  template <typename U>
  ComPtr<U> As() const {
    ComPtr<U> out;
    if (ptr_ != nullptr) ptr_->QueryInterface(__uuidof(U), out.OutVoid());
    return out;
  }

 private:
  T* ptr_ = nullptr;
};

}  // namespace vellumine::com
