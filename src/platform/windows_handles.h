#pragma once

// Ownership of Win32 handles and system-allocated memory: one owner each,
// freed when it goes away. Windows-only; CloseHandle, LocalFree and the like
// are called here and nowhere in the logic.

#include <windows.h>

#include <objbase.h>

#include <utility>

namespace emberline::platform {

// `Traits`: the type, which values hold something, and how to free one.
template <typename Traits>
class Unique {
 public:
  using Type = typename Traits::Type;

  Unique() = default;
  explicit Unique(Type value) : value_(value) {}
  Unique(Unique&& other) noexcept : value_(std::exchange(other.value_, Type{})) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, Type{}));
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  ~Unique() { reset(); }

  Type get() const { return value_; }
  bool valid() const { return Traits::valid(value_); }
  explicit operator bool() const { return valid(); }
  void reset(Type value = Type{}) {
    const Type old = std::exchange(value_, value);
    if (Traits::valid(old)) Traits::free(old);
  }
  // For out-parameters: frees what is held, then hands out the slot.
  Type* put() {
    reset();
    return &value_;
  }

 private:
  Type value_{};
};

namespace handle_traits {

// Kernel handles (files, events, mutexes, threads, processes): null and
// INVALID_HANDLE_VALUE both mean none.
struct Kernel {
  using Type = HANDLE;
  static bool valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void free(HANDLE h) { ::CloseHandle(h); }
};

template <typename T>
struct Local {
  using Type = T*;
  static bool valid(T* p) { return p != nullptr; }
  static void free(T* p) { ::LocalFree(p); }
};

template <typename T>
struct CoTaskMem {
  using Type = T*;
  static bool valid(T* p) { return p != nullptr; }
  static void free(T* p) { ::CoTaskMemFree(p); }
};

struct Icon {
  using Type = HICON;
  static bool valid(HICON h) { return h != nullptr; }
  static void free(HICON h) { ::DestroyIcon(h); }
};

struct Window {
  using Type = HWND;
  static bool valid(HWND h) { return h != nullptr; }
  static void free(HWND h) { ::DestroyWindow(h); }
};

}  // namespace handle_traits

using UniqueHandle = Unique<handle_traits::Kernel>;
template <typename T>
using UniqueLocalMemory = Unique<handle_traits::Local<T>>;
template <typename T>
using UniqueCoTaskMemory = Unique<handle_traits::CoTaskMem<T>>;
using UniqueIcon = Unique<handle_traits::Icon>;
using UniqueWindow = Unique<handle_traits::Window>;

}  // namespace emberline::platform
