// A top-level window class whose window procedure reaches the C++ object that owns the
// window (kept in GWLP_USERDATA), so each handler is an ordinary member function.
#pragma once

#include <windows.h>

#include <functional>

namespace quorvane::ui {

// The program ends when its last top-level window has closed: each window counts itself in
// when created and out when destroyed; the last one out ends the message loop, unless work
// that must not be lost still holds the program open (runs waiting their turn). That work
// calls QuitIfDone when it has finished.
void WindowOpened();
void WindowClosed();
void HoldOpenWhile(std::function<bool()> busy);  // empty: nothing holds the program open
void QuitIfDone();

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
