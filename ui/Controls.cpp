#include "ui/Controls.h"

#include <uxtheme.h>

#include "services/SystemLibrary.h"
#include "services/WinError.h"

namespace quorvane::ui {
namespace {

// Functions of Windows 10 (1607) and later, looked up so that Quorvane still starts on older
// systems, which then get the system DPI.
template <typename F>
F User32Function(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

// EnableThemeDialogTexture, from uxtheme.dll in the system folder. Windows does not count
// uxtheme.dll among its known DLLs: imported by name, a uxtheme.dll lying beside Quorvane in
// the game folder would be loaded in its place. Null where there is none (no themes).
using ThemeDialogTextureFn = HRESULT(WINAPI*)(HWND, DWORD);
ThemeDialogTextureFn ThemeDialogTexture() {
  static const ThemeDialogTextureFn function = [] {
    HMODULE module = LoadSystemLibrary(L"uxtheme.dll");
    return module == nullptr ? nullptr
                             : reinterpret_cast<ThemeDialogTextureFn>(
                                   reinterpret_cast<void*>(GetProcAddress(module, "EnableThemeDialogTexture")));
  }();
  return function;
}

}  // namespace

UINT DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow != nullptr && window != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return dpi;
  }
  UINT dpi = 96;
  if (HDC screen = GetDC(nullptr)) {
    dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
  }
  return dpi != 0 ? dpi : 96;
}

RECT WindowRectFor(const RECT& client, DWORD style, DWORD exStyle, UINT dpi) {
  using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = User32Function<AdjustFn>("AdjustWindowRectExForDpi");
  RECT rect = client;
  if (adjustForDpi == nullptr || !adjustForDpi(&rect, style, FALSE, exStyle, dpi)) {
    rect = client;
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  }
  return rect;
}

bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, std::wstring& error) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  if (RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return true;
  error = LastErrorText(L"Quorvane cannot register its window class");
  return false;
}

void PlaceWindow(HWND window, const TwipsRect& client, UINT dpi, const POINT* topLeft) {
  const DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
  const RECT frame =
      WindowRectFor(RECT{0, 0, Pixels(client.width, dpi), Pixels(client.height, dpi)}, style, exStyle, dpi);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  POINT at{};
  if (topLeft != nullptr) {
    at = *topLeft;
  } else {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor)) area = monitor.rcWork;
    at = {area.left + (area.right - area.left - width) / 2, area.top + (area.bottom - area.top - height) / 2};
  }
  SetWindowPos(window, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  // The frame the system really drew may differ from what it predicted (a DPI change that
  // has not reached the caption yet): the client area is what must be exact.
  RECT actual{};
  if (GetClientRect(window, &actual)) {
    const int dx = Pixels(client.width, dpi) - actual.right, dy = Pixels(client.height, dpi) - actual.bottom;
    if (dx != 0 || dy != 0)
      SetWindowPos(window, nullptr, 0, 0, width + dx, height + dy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
}

bool FontSet::Create(UINT dpi) {
  for (size_t i = 0; i < fonts_.size(); ++i) {
    const FontSpec& spec = kFonts[i];
    HFONT font = CreateFontW(-MulDiv(spec.hundredthsOfPoint, static_cast<int>(dpi), 7200), 0, 0, 0,
                             spec.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
    if (font == nullptr) return false;
    fonts_[i].reset(font);
  }
  return true;
}

bool StartsOptionGroup(std::span<const ControlDef> table, const ControlDef& control) {
  if (control.kind != Kind::kOption) return false;
  const ControlDef* previous = nullptr;
  for (const ControlDef& c : table) {
    if (&c == &control) break;
    previous = &c;
  }
  return previous == nullptr || previous->kind != Kind::kOption || previous->container != control.container;
}

HWND CreatePage(HWND parent, DLGPROC procedure) {
  struct {
    DLGTEMPLATE dialog;
    WORD menu, windowClass, title;
  } empty{};
  empty.dialog.style = WS_CHILD | WS_CLIPSIBLINGS | DS_CONTROL;
  empty.dialog.dwExtendedStyle = WS_EX_CONTROLPARENT;
  HWND page = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &empty.dialog, parent, procedure, 0);
  if (page != nullptr && ThemeDialogTexture() != nullptr) ThemeDialogTexture()(page, ETDT_ENABLETAB);
  return page;
}

HWND CreateControl(HWND parent, std::span<const ControlDef> table, const ControlDef& control,
                   const std::wstring& caption, DWORD extraStyle, DWORD extraExStyle) {
  const wchar_t* windowClass = L"BUTTON";
  // WS_GROUP on everything but the second and later options of a frame: the arrow keys
  // then move within one frame's options and nowhere else.
  DWORD style = WS_CHILD | WS_VISIBLE | WS_GROUP;
  DWORD exStyle = 0;
  switch (control.kind) {
    case Kind::kFrame:
      style |= BS_GROUPBOX;
      break;
    case Kind::kFolderList:
    case Kind::kFileList:
      windowClass = L"LISTBOX";
      style |= WS_TABSTOP;
      break;
    case Kind::kOption:
      style |= BS_AUTORADIOBUTTON;
      // One tab stop per group, on its first option (moved to the selected one by the window).
      style = StartsOptionGroup(table, control) ? style | WS_TABSTOP : style & ~WS_GROUP;
      break;
    case Kind::kTextBox:
      windowClass = L"EDIT";
      style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
      exStyle |= WS_EX_CLIENTEDGE;
      break;
    case Kind::kButton:
      style |= WS_TABSTOP | BS_PUSHBUTTON;
      break;
    case Kind::kLabel:
      windowClass = L"STATIC";
      style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
      break;
    case Kind::kWrappedLabel:
      windowClass = L"STATIC";
      style |= SS_LEFT | SS_NOPREFIX;
      break;
  }
  HWND hwnd = CreateWindowExW(exStyle | extraExStyle, windowClass, caption.c_str(), style | extraStyle, 0, 0,
                              0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                              GetModuleHandleW(nullptr), nullptr);
  if (hwnd != nullptr && control.kind == Kind::kTextBox) SendMessageW(hwnd, EM_SETLIMITTEXT, 0, 0);
  return hwnd;
}

void PlaceControl(HWND control, std::span<const ControlDef> table, const ControlDef& def, POINT origin,
                  UINT dpi, const FontSet& fonts) {
  const RECT r = Pixels(Absolute(table, def), dpi);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[def.font]), FALSE);
  SetWindowPos(control, nullptr, origin.x + r.left, origin.y + r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace quorvane::ui
