#include "ui/AboutWindow.h"

#include "ui/resource.h"
#include "ui/version.h"

namespace quorvane::ui {
namespace {

constexpr wchar_t kClassName[] = L"QuorvaneAbout";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = 0;

// The texts a release sets (see version.h), for the labels the table leaves open.
std::wstring TextOf(ControlId id) {
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

}  // namespace

bool AboutWindow::Show(std::wstring& error) {
  if (hwnd_ == nullptr && !Load(error)) {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);  // made, but not all of it
    return false;
  }
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(Control(kAboutCommand1));
  return true;
}

bool AboutWindow::Load(std::wstring& error) {
  if (!Open(kClassName, IDI_ABOUT, L"About", kStyle, kExStyle, RECT{}, L"Quorvane cannot open the About window", error))
    return false;
  if (!UseDpi(dpi_)) return Fail(error, L"Quorvane cannot make the About window's fonts");
  for (const ControlDef& def : AboutControls()) {
    const std::wstring caption = def.caption != nullptr ? def.caption : TextOf(def.id);
    // "Close" is the default button, as "Continue" is in the main window.
    HWND control = CreateControl(hwnd_, AboutControls(), def, caption, POINT{0, 0}, *fonts_,
                                 def.id == kAboutCommand1 ? BS_DEFPUSHBUTTON : 0);
    if (control == nullptr)
      return Fail(error, std::wstring(L"Quorvane cannot make the About window's ") + def.name);
    SetControl(def.id, control);
  }
  PlaceWindow(hwnd_, kAboutClient, dpi_);  // centred on the screen: it has no owner to centre over
  return true;
}

void AboutWindow::Layout(UINT dpi) {
  UseDpi(dpi);  // or, should its fonts not be had, as it was
  for (const ControlDef& def : AboutControls())
    PlaceControl(Control(def.id), AboutControls(), def, POINT{0, 0}, *fonts_);
}

void AboutWindow::Command1_Click() { DestroyWindow(hwnd_); }

LRESULT AboutWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: return OnCommand(wParam);
    case DM_GETDEFID: return MAKELRESULT(kAboutCommand1, DC_HASDEFID);
    case WM_DESTROY: return OnDestroy();
    default: return HandleShared(message, wParam, lParam);
  }
}

LRESULT AboutWindow::OnCommand(WPARAM wParam) {
  if (LOWORD(wParam) == kAboutCommand1 && HIWORD(wParam) == BN_CLICKED) Command1_Click();
  return 0;
}

// Unloaded: the next Show loads a fresh window.
LRESULT AboutWindow::OnDestroy() {
  controls_ = {};
  host_.WindowClosed();
  return 0;
}

}  // namespace quorvane::ui
