#include "services/WindowClass.h"

namespace quorvane {

Outcome RegisterWindowClass(const wchar_t* name, WNDPROC procedure, int icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  // The class's icons, rather than WM_SETICON on each window: the system shows them from the
  // window's creation on, and does not convert a default icon first.
  if (icon != 0) {
    const auto sized = [&](int size) {
      return static_cast<HICON>(LoadImageW(wc.hInstance, MAKEINTRESOURCEW(icon), IMAGE_ICON, size, size, LR_SHARED));
    };
    wc.hIcon = sized(GetSystemMetrics(SM_CXICON));
    wc.hIconSm = sized(GetSystemMetrics(SM_CXSMICON));
  }
  if (RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return {};
  return {GetLastError()};
}

}  // namespace quorvane
