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

// The handles that are null when empty, each closed by one call.
template <typename H, auto CloseFunction>
struct NullEmptyTraits {
  static H Invalid() { return nullptr; }
  static void Close(H h) { CloseFunction(h); }
};
// CreateFileW fails with INVALID_HANDLE_VALUE, not null; its owner takes either as empty.
struct FileHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) {
    if (h != nullptr) CloseHandle(h);
  }
};
struct FindHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { FindClose(h); }
};
// A wait registered on an object, unregistered when it ends: INVALID_HANDLE_VALUE waits for a
// callback that is running to return, since the wait's context goes with its owner.
inline void UnregisterWaitOnceDone(HANDLE wait) { UnregisterWaitEx(wait, INVALID_HANDLE_VALUE); }

using UniqueHandle =
    Owned<HANDLE, NullEmptyTraits<HANDLE, &CloseHandle>>;  // processes, threads, events, ports
using UniqueFile = Owned<HANDLE, FileHandleTraits>;        // CreateFileW: files and folders
using UniqueFind = Owned<HANDLE, FindHandleTraits>;        // FindFirstFileExW
using UniqueFont = Owned<HFONT, NullEmptyTraits<HFONT, &DeleteObject>>;
using UniqueIcon = Owned<HICON, NullEmptyTraits<HICON, &DestroyIcon>>;
using UniqueBitmap = Owned<HBITMAP, NullEmptyTraits<HBITMAP, &DeleteObject>>;
using UniqueBrush = Owned<HBRUSH, NullEmptyTraits<HBRUSH, &DeleteObject>>;
using UniqueMemoryDc = Owned<HDC, NullEmptyTraits<HDC, &DeleteDC>>;  // CreateCompatibleDC
using UniqueWait =
    Owned<HANDLE, NullEmptyTraits<HANDLE, &UnregisterWaitOnceDone>>;  // RegisterWaitForSingleObject

// A slim reader/writer lock, taken exclusively: what std::scoped_lock holds.
class SlimLock {
 public:
  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

// A window's device context, from GetDC, released with it.
class ScopedGetDc {
 public:
  explicit ScopedGetDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~ScopedGetDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  ScopedGetDc(const ScopedGetDc&) = delete;
  ScopedGetDc& operator=(const ScopedGetDc&) = delete;
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// An object selected into a device context, the one it replaced put back when this ends.
// Selecting null, or into a null context, does nothing.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object)
      : dc_(dc), old_(dc != nullptr && object != nullptr ? SelectObject(dc, object) : nullptr) {}
  ~ScopedSelect() {
    if (old_ != nullptr && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A COM interface pointer, released when it ends.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Where a creating call puts the pointer; whatever was held is released first.
  void** put() {
    reset();
    return reinterpret_cast<void**>(&object_);
  }
  void reset() {
    if (object_ != nullptr) object_->Release();
    object_ = nullptr;
  }

 private:
  T* object_ = nullptr;
};

// The window of an object that keeps its handle in `window`, cleared by the object once the
// window is gone: destroyed with the object. Declared last among the object's members, it
// destroys the window first, while what the window's last messages use is still there.
class WindowOwner {
 public:
  explicit WindowOwner(HWND& window) : window_(window) {}
  ~WindowOwner() {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  WindowOwner(const WindowOwner&) = delete;
  WindowOwner& operator=(const WindowOwner&) = delete;

 private:
  HWND& window_;
};

}  // namespace quorvane
