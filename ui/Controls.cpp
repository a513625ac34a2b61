#include "ui/Controls.h"

#include <uxtheme.h>

#include <algorithm>

#include "services/SystemLibrary.h"

namespace quorvane::ui {
namespace {

// EnableThemeDialogTexture, from uxtheme.dll in the system folder. Windows does not count
// uxtheme.dll among its known DLLs: imported by name, a uxtheme.dll lying beside Quorvane in
// the game folder would be loaded in its place. Null where there is none (no themes).
using ThemeDialogTextureFn = HRESULT(WINAPI*)(HWND, DWORD);
ThemeDialogTextureFn ThemeDialogTexture() {
  static const ThemeDialogTextureFn function = [] {
    return SystemFunction<ThemeDialogTextureFn>(LoadSystemLibrary(L"uxtheme.dll"), "EnableThemeDialogTexture");
  }();
  return function;
}

// The dialog manager's DPI behaviours (SetDialogDpiChangeBehavior, SetDialogControlDpiChangeBehavior,
// Windows 10 1703 and later), as winuser.h gives them for Windows 10 builds only (WINVER 0x0605).
constexpr int kDdcDisableAll = 0x0001;
constexpr int kDcdcDisableFontUpdate = 0x0001;
constexpr int kDcdcDisableRelayout = 0x0002;

// Gives a window just made one of those behaviours through `set` (null on systems without it):
// the window, or null when that fails, the window then destroyed and the reason in GetLastError.
using DpiBehaviourFn = BOOL(WINAPI*)(HWND, int, int);
HWND WithDpiBehaviour(HWND window, DpiBehaviourFn set, int behaviour) {
  if (set == nullptr || set(window, behaviour, behaviour)) return window;
  const DWORD error = GetLastError();
  DestroyWindow(window);
  SetLastError(error);
  return nullptr;
}

bool VerticalBarShown(HWND list) { return (GetWindowLongPtrW(list, GWL_STYLE) & WS_VSCROLL) != 0; }

// Pixels of a table row at a DPI, within a parent whose table origin is at `origin`.
RECT PlaceOf(std::span<const ControlDef> table, const ControlDef& def, POINT origin, UINT dpi) {
  RECT r = Pixels(Absolute(table, def), dpi);
  OffsetRect(&r, origin.x, origin.y);
  return r;
}

}  // namespace

void ScrollableWidth::Tell(HWND list, int widest) {
  widest_ = std::max(widest, 0);
  bar_ = VerticalBarShown(list);
  // A vertical scroll bar that shows is outside the client area. Should the area not be had,
  // the width is told: a scroll bar too many rather than a name cut off.
  RECT client{};
  const bool fits = widest_ == 0 || (GetClientRect(list, &client) && widest_ <= client.right);
  SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(fits ? 0 : widest_), 0);
}

void ScrollableWidth::Recheck(HWND list) {
  if (VerticalBarShown(list) != bar_) Tell(list, widest_);
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
  if (page == nullptr) return nullptr;
  // The windows lay their pages out for each DPI themselves: the dialog manager, which scales
  // dialogs of Per-Monitor-v2 programs on a DPI change (Windows 10 1703 and later), must not
  // resize them as well.
  static const auto dialogBehaviour = User32Function<DpiBehaviourFn>("SetDialogDpiChangeBehavior");
  if (WithDpiBehaviour(page, dialogBehaviour, kDdcDisableAll) == nullptr) return nullptr;
  if (ThemeDialogTexture() != nullptr) ThemeDialogTexture()(page, ETDT_ENABLETAB);
  return page;
}

HWND CreateControl(HWND parent, std::span<const ControlDef> table, const ControlDef& control,
                   const std::wstring& caption, POINT origin, FontSet& fonts, DWORD extraStyle,
                   DWORD extraExStyle) {
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
  const RECT r = PlaceOf(table, control, origin, fonts.Dpi());
  HWND hwnd = CreateWindowExW(exStyle | extraExStyle, windowClass, caption.c_str(), style | extraStyle, r.left,
                              r.top, r.right - r.left, r.bottom - r.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                              GetModuleHandleW(nullptr), nullptr);
  if (hwnd == nullptr) return nullptr;
  // Nor may the dialog manager change a page's controls' fonts or places: each has its own,
  // chosen for the DPI (set on any control, this counts only where its parent is a dialog).
  static const auto controlBehaviour = User32Function<DpiBehaviourFn>("SetDialogControlDpiChangeBehavior");
  if (WithDpiBehaviour(hwnd, controlBehaviour, kDcdcDisableFontUpdate | kDcdcDisableRelayout) == nullptr)
    return nullptr;
  const HFONT font = fonts.Fitting(control.font, control.kind, caption, SIZE{r.right - r.left, r.bottom - r.top});
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (control.kind == Kind::kTextBox) SendMessageW(hwnd, EM_SETLIMITTEXT, 0, 0);
  return hwnd;
}

void PlaceControl(HWND control, std::span<const ControlDef> table, const ControlDef& def, POINT origin,
                  FontSet& fonts) {
  const RECT r = PlaceOf(table, def, origin, fonts.Dpi());
  std::wstring caption(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  caption.resize(static_cast<size_t>(GetWindowTextW(control, caption.data(), static_cast<int>(caption.size()))));
  const HFONT font = fonts.Fitting(def.font, def.kind, caption, SIZE{r.right - r.left, r.bottom - r.top});
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace quorvane::ui
