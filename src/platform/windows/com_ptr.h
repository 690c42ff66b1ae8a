#pragma once

// Ownership of COM interface pointers: one reference per ComPtr, released
// when it goes away. The only AddRef/Release calls of the transport are here.

#include <unknwn.h>

#include <utility>

namespace emberline::platform::windows {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr& other) : ptr_(other.ptr_) {
    if (ptr_) ptr_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(ptr_, other.ptr_);
    return *this;
  }
  ~ComPtr() { reset(); }

  // Takes over a reference the caller already owns (an out-parameter's).
  static ComPtr adopt(T* ptr) {
    ComPtr owned;
    owned.ptr_ = ptr;
    return owned;
  }

  void reset() {
    if (ptr_) std::exchange(ptr_, nullptr)->Release();
  }
  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  // For out-parameters: releases what is held, then hands out the slot.
  T** put() {
    reset();
    return &ptr_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }

  // QueryInterface for U; an empty pointer and the HRESULT on failure.
  template <typename U>
  HRESULT as(ComPtr<U>& out) const {
    if (!ptr_) {
      out.reset();
      return E_POINTER;
    }
    return ptr_->QueryInterface(__uuidof(U), out.putVoid());
  }

 private:
  T* ptr_ = nullptr;
};

}  // namespace emberline::platform::windows
