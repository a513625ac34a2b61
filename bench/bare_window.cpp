// The start-up and memory reference: the least a program of Quorvane's kind can do, one
// window with a tab control, started and run the way Quorvane is (the same run time, the same
// manifest, the same message loop). Whatever Quorvane takes beyond this is its own.
#include <windows.h>

#include <commctrl.h>

namespace {

constexpr wchar_t kClassName[] = L"QuorvaneBenchBare";

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return 1;
  // About Quorvane's own size, so that both have as much to paint.
  HWND window =
      CreateWindowExW(0, kClassName, L"Bare", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                      CW_USEDEFAULT, CW_USEDEFAULT, 560, 420, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  RECT client{};
  GetClientRect(window, &client);
  HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 8,
                             8, client.right - 16, client.bottom - 16, window, nullptr, instance, nullptr);
  if (tab == nullptr) return 1;
  const wchar_t* captions[] = {L"One", L"Two"};
  for (int i = 0; i < 2; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(captions[i]);
    if (TabCtrl_InsertItem(tab, i, &item) != i) return 1;
  }
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
