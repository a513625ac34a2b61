// A second start-up reference: Quorvane's first view with nothing of Quorvane's work. The same
// tab strip, the Skins page and its controls (the Volumes page is made only when first
// needed), made, placed and given their fonts by the program's own code (ui/Controls.h), but
// no icon, no folder read, no list filled. What Quorvane takes beyond this is what it does; what this takes beyond the
// bare window is the cost of the controls themselves on this system.
#include <windows.h>

#include <commctrl.h>

#include <array>

#include "services/WindowClass.h"
#include "ui/Controls.h"
#include "ui/Layout.h"

using namespace quorvane::ui;

namespace {

constexpr wchar_t kClassName[] = L"QuorvaneBenchControls";

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK PageProcedure(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  if (!quorvane::RegisterWindowClass(kClassName, &Procedure)) return 1;
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const RECT place = WindowPlace(kMainClient, kStyle, 0, DpiOf(nullptr));
  HWND window = CreateWindowExW(0, kClassName, L"Controls", kStyle, place.left, place.top, place.right - place.left,
                                place.bottom - place.top, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  const UINT dpi = DpiOf(window);

  FontSet* fonts = FontSet::For(dpi);
  if (fonts == nullptr) return 1;
  const RECT strip = Pixels(kTabStrip, dpi);
  HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS,
                             strip.left, strip.top, strip.right - strip.left, strip.bottom - strip.top, window,
                             nullptr, instance, nullptr);
  if (tab == nullptr) return 1;
  SendMessageW(tab, WM_SETFONT, reinterpret_cast<WPARAM>((*fonts)[FontId::kLargeBold]), FALSE);
  const wchar_t* captions[] = {L"Skins", L"Volumes"};
  for (int i = 0; i < 2; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(captions[i]);
    if (TabCtrl_InsertItem(tab, i, &item) != i) return 1;
  }
  RECT body{0, 0, strip.right - strip.left, strip.bottom - strip.top};
  TabCtrl_AdjustRect(tab, FALSE, &body);

  const std::array<std::span<const ControlDef>, 1> tables{SkinsPageControls()};
  std::array<HWND, 1> pages{};
  for (size_t i = 0; i < pages.size(); ++i) {
    if ((pages[i] = CreatePage(window, &PageProcedure)) == nullptr) return 1;
    SetWindowPos(pages[i], HWND_TOP, strip.left + body.left, strip.top + body.top,
                 body.right - body.left, body.bottom - body.top, SWP_NOACTIVATE);
    for (const ControlDef& def : tables[i]) {
      DWORD style = 0;
      if (def.kind == Kind::kFolderList)
        style = LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | WS_VSCROLL | WS_HSCROLL;
      if (def.kind == Kind::kFileList) style = WS_VSCROLL | WS_HSCROLL;
      if (CreateControl(pages[i], tables[i], def, def.caption, POINT{-body.left, -body.top}, *fonts, style, 0) ==
          nullptr)
        return 1;
    }
  }
  ShowWindow(pages[0], SW_SHOW);
  PlaceWindow(window, kMainClient, dpi);
  ShowWindow(window, showCommand);
  SetFocus(tab);

  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    if (IsDialogMessageW(window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
