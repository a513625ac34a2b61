// Owners for the system's handles, so that none leaks, even on an early return.
#pragma once

#include <windows.h>

#include <utility>

namespace quorvane {

template <typename H, typename Traits>
class Owned {
 public:
  Owned() = default;
  explicit Owned(H handle) : handle_(handle) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, Traits::Invalid()));
    return *this;
  }
  ~Owned() { reset(); }

  H get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }
  H release() { return std::exchange(handle_, Traits::Invalid()); }
  void reset(H handle = Traits::Invalid()) {
    if (handle_ != Traits::Invalid()) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  H handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FindHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { FindClose(h); }
};
struct FontTraits {
  static HFONT Invalid() { return nullptr; }
  static void Close(HFONT h) { DeleteObject(h); }
};
struct BitmapTraits {
  static HBITMAP Invalid() { return nullptr; }
  static void Close(HBITMAP h) { DeleteObject(h); }
};
struct IconTraits {
  static HICON Invalid() { return nullptr; }
  static void Close(HICON h) { DestroyIcon(h); }
};

template <typename Interface>
struct ComTraits {
  static Interface* Invalid() { return nullptr; }
  static void Close(Interface* object) { object->Release(); }
};

// CreateFileW's failure value is INVALID_HANDLE_VALUE, not null: check it before wrapping.
using UniqueHandle = Owned<HANDLE, KernelHandleTraits>;
using UniqueFind = Owned<HANDLE, FindHandleTraits>;      // FindFirstFileExW
using UniqueFont = Owned<HFONT, FontTraits>;
using UniqueIcon = Owned<HICON, IconTraits>;
using UniqueBitmap = Owned<HBITMAP, BitmapTraits>;
// A COM interface pointer, released when it goes.
template <typename Interface>
using UniqueCom = Owned<Interface*, ComTraits<Interface>>;

}  // namespace quorvane
