// A top-level window class whose window procedure reaches the C++ object that owns the
// window (kept in GWLP_USERDATA), so each handler is an ordinary member function.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "services/WinError.h"
#include "services/WindowClass.h"
#include "ui/Controls.h"
#include "ui/Layout.h"

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

// What both windows made from a layout table do alike: they open centred at the system's DPI
// and follow the DPI of the monitor they are on (DpiFollower), laying their controls out again
// (T::Layout); the pointer shows the tools at work over them; the dialog keys move the focus
// among their controls, and the focus comes back to the control that had it; and their
// controls, First to Last, are found by identifier.
template <typename T, ControlId First, ControlId Last>
class TableWindow : public Window<T> {
 public:
  // The dialog keys of a message for this window or one of its controls: true when used.
  bool PreTranslateMessage(MSG& msg) { return Owns(msg) && IsDialogMessageW(this->hwnd_, &msg) != FALSE; }

 protected:
  TableWindow(WindowHost& host, const TwipsRect& client) : host_(host), dpiFollower_(client) {}

  // Registers the window's class and makes it, hidden, at `place`, sized for its DPI; false
  // with a sentence for the user in `error` (`failure` and the reason) when it cannot.
  bool Open(const wchar_t* className, int icon, const wchar_t* title, DWORD style, DWORD exStyle, const RECT& place,
            const wchar_t* failure, std::wstring& error) {
    if (const Outcome registered = RegisterWindowClass(className, &Window<T>::Procedure, icon); !registered) {
      error = L"Quorvane cannot register its window class: " + SystemMessage(registered.error);
      return false;
    }
    if (!CreateWindowExW(exStyle, className, title, style, place.left, place.top, place.right - place.left,
                         place.bottom - place.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                         static_cast<T*>(this)))
      return Fail(error, failure);
    host_.WindowOpened();
    dpi_ = DpiOf(this->hwnd_);
    return true;
  }

  // Puts the sentence for the user in `error`: `what`, and the reason that GetLastError gives;
  // false, what the making of a window or its controls returns then.
  static bool Fail(std::wstring& error, const std::wstring& what) {
    error = LastErrorText(what);
    return false;
  }

  // Takes the fonts for `dpi`; false, all kept as it was, when they cannot be made (the reason
  // is in GetLastError).
  bool UseDpi(UINT dpi) {
    FontSet* fonts = FontSet::For(dpi);
    if (fonts == nullptr) return false;
    fonts_ = fonts;
    dpi_ = dpi;
    return true;
  }

  bool Owns(const MSG& msg) const {
    return this->hwnd_ != nullptr && (msg.hwnd == this->hwnd_ || IsChild(this->hwnd_, msg.hwnd));
  }
  HWND Control(ControlId id) const {
    const int index = id - First;
    return index >= 0 && index < static_cast<int>(controls_.size()) ? controls_[static_cast<size_t>(index)] : nullptr;
  }
  void SetControl(ControlId id, HWND control) { controls_[static_cast<size_t>(id - First)] = control; }

  // The messages both windows answer alike, and the system's answer to all others.
  LRESULT HandleShared(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_ACTIVATE: return OnActivate(wParam);
      case WM_SETFOCUS: return OnSetFocus();
      case WM_SETCURSOR: if (host_.SetWorkingCursor(wParam, lParam)) return TRUE; break;
      case kGetDpiScaledSize: return OnGetDpiScaledSize(static_cast<UINT>(wParam), *reinterpret_cast<SIZE*>(lParam));
      case WM_DPICHANGED: return OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      default: break;
    }
    return DefWindowProcW(this->hwnd_, message, wParam, lParam);
  }

  WindowHost& host_;
  UINT dpi_ = 96;
  FontSet* fonts_ = nullptr;
  std::array<HWND, Last - First + 1> controls_{};

 private:
  // As the dialog manager does: the focused control is kept while another window (a message
  // box, another program) is active, and gets the focus back after; where it cannot, T's home.
  LRESULT OnActivate(WPARAM wParam) {
    const HWND focus = GetFocus();
    if (LOWORD(wParam) == WA_INACTIVE && focus != nullptr && IsChild(this->hwnd_, focus)) focus_ = focus;
    if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) OnSetFocus();
    return 0;
  }
  // The window itself takes no keys: its control does.
  LRESULT OnSetFocus() {
    const HWND kept = focus_;
    const bool usable = kept != nullptr && IsChild(this->hwnd_, kept) && IsWindowVisible(kept) && IsWindowEnabled(kept);
    SetFocus(usable ? kept : static_cast<const T*>(this)->FocusHome());
    return 0;
  }
  LRESULT OnGetDpiScaledSize(UINT dpi, SIZE& size) { return dpiFollower_.OnGetDpiScaledSize(this->hwnd_, dpi, size); }
  LRESULT OnDpiChanged(UINT dpi, const RECT& suggested) {
    static_cast<T*>(this)->Layout(dpi);
    dpiFollower_.OnDpiChanged(this->hwnd_, dpi_, suggested);
    return 0;
  }

  DpiFollower dpiFollower_;
  HWND focus_ = nullptr;  // the control that had the focus when the window was last active
};

}  // namespace quorvane::ui
