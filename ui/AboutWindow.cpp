#include "ui/AboutWindow.h"

#include "services/WinError.h"
#include "ui/resource.h"
#include "ui/version.h"

namespace quorvane::ui {
namespace {

constexpr wchar_t kClassName[] = L"QuorvaneAbout";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = 0;

}  // namespace

AboutWindow::~AboutWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

std::wstring AboutWindow::TextOf(ControlId id) {
  switch (id) {
    case kAboutLabel2: return QUORVANE_WIDE(QUORVANE_RIGHTS);
    case kAboutLabel3:
      return L"developed by " QUORVANE_WIDE(QUORVANE_AUTHOR) L" (" QUORVANE_WIDE(QUORVANE_NICKNAME) L")";
    case kAboutLabel4:
      return L"Quorvane ALPHA Release. Please report bugs, suggestions, comments, and/or complaints to "
             QUORVANE_WIDE(QUORVANE_EMAIL);
    case kAboutLabel5: return QUORVANE_WIDE(QUORVANE_WEB);
    default: return {};
  }
}

bool AboutWindow::Show(std::wstring& error) {
  if (hwnd_ == nullptr && !Load(error)) return false;
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(Control(kAboutCommand1));
  return true;
}

bool AboutWindow::Load(std::wstring& error) {
  if (!RegisterWindowClass(kClassName, &Window::Procedure, error, IDI_ABOUT)) return false;
  if (!CreateWindowExW(kExStyle, kClassName, L"About", kStyle, 0, 0, 0, 0, nullptr, nullptr,
                       GetModuleHandleW(nullptr), this)) {
    error = LastErrorText(L"Quorvane cannot open the About window");
    return false;
  }
  host_.WindowOpened();
  dpi_ = DpiOf(hwnd_);

  fonts_ = FontSet::For(dpi_);
  if (fonts_ == nullptr) {
    error = LastErrorText(L"Quorvane cannot make the About window's fonts");
    DestroyWindow(hwnd_);
    return false;
  }
  for (const ControlDef& def : AboutControls()) {
    const std::wstring caption = def.caption != nullptr ? def.caption : TextOf(def.id);
    // "Close" is the default button, as "Continue" is in the main window.
    HWND control = CreateControl(hwnd_, AboutControls(), def, caption, POINT{0, 0}, *fonts_,
                                 def.id == kAboutCommand1 ? BS_DEFPUSHBUTTON : 0);
    if (control == nullptr) {
      error = LastErrorText(std::wstring(L"Quorvane cannot make the About window's ") + def.name);
      DestroyWindow(hwnd_);
      return false;
    }
    controls_[def.id - kAboutFrame1] = control;
  }
  PlaceWindow(hwnd_, kAboutClient, dpi_);  // centred on the screen: it has no owner to centre over
  return true;
}

void AboutWindow::Layout(UINT dpi) {
  if (FontSet* fonts = FontSet::For(dpi)) {
    fonts_ = fonts;
    dpi_ = dpi;
  }
  for (const ControlDef& def : AboutControls())
    PlaceControl(Control(def.id), AboutControls(), def, POINT{0, 0}, *fonts_);
}

HWND AboutWindow::Control(ControlId id) const {
  const int index = id - kAboutFrame1;
  return index >= 0 && index < static_cast<int>(controls_.size()) ? controls_[static_cast<size_t>(index)] : nullptr;
}

bool AboutWindow::PreTranslateMessage(MSG& msg) {
  if (hwnd_ == nullptr || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
  return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

void AboutWindow::Command1_Click() { DestroyWindow(hwnd_); }

LRESULT AboutWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == kAboutCommand1 && HIWORD(wParam) == BN_CLICKED) Command1_Click();
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(kAboutCommand1, DC_HASDEFID);
    case WM_ACTIVATE:
      // "Close", the one control that takes the focus, has it whenever the window is active.
      if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) SetFocus(Control(kAboutCommand1));
      return 0;
    case WM_SETFOCUS:
      SetFocus(Control(kAboutCommand1));
      return 0;
    case WM_SETCURSOR:
      return host_.SetWorkingCursor(wParam, lParam) ? TRUE : DefWindowProcW(hwnd_, message, wParam, lParam);
    case kGetDpiScaledSize:
      return dpiFollower_.OnGetDpiScaledSize(hwnd_, static_cast<UINT>(wParam),
                                             *reinterpret_cast<SIZE*>(lParam));
    case WM_DPICHANGED:
      Layout(HIWORD(wParam));
      dpiFollower_.OnDpiChanged(hwnd_, dpi_, *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_DESTROY:
      // Unloaded: the next Show loads a fresh window.
      controls_ = {};
      host_.WindowClosed();
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

}  // namespace quorvane::ui
