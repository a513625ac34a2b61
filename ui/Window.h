// A top-level window class whose window procedure reaches the C++ object that owns the
// window (kept in GWLP_USERDATA), so each handler is an ordinary member function.
#pragma once

#include <windows.h>


namespace quorvane::ui {

// What a top-level window of the program tells the one who decides when the program ends
// (the session): that it has opened and closed, the program ending once the last has closed
// and no work that must not be lost holds it open; and what the pointer shows over it.
class WindowHost {
 public:
  virtual ~WindowHost() = default;
  virtual void WindowOpened() = 0;
  virtual void WindowClosed() = 0;
  // For WM_SETCURSOR: true when the pointer has been set (while tools are at work).
  virtual bool SetWorkingCursor(WPARAM wParam, LPARAM lParam) = 0;
};

template <typename T>
class Window {
 public:
  HWND hwnd() const { return hwnd_; }

 protected:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    T* self = nullptr;
    if (message == WM_NCCREATE) {
      self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      self->hwnd_ = hwnd;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
      self = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
    }
    return result;
  }

  HWND hwnd_ = nullptr;
};

}  // namespace quorvane::ui
