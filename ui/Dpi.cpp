#include "ui/Dpi.h"

#include <shellscalingapi.h>

#include "services/Handles.h"

namespace quorvane::ui {

UINT MonitorDpi(HWND window) {
  // From shcore.dll in the system folder: Windows 8.1 and later, not a known DLL of Windows'.
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, MONITOR_DPI_TYPE, UINT*, UINT*);
  static const auto getDpiForMonitor =
      SystemFunction<GetDpiForMonitorFn>(LoadSystemLibrary(L"shcore.dll"), "GetDpiForMonitor");
  const HMONITOR monitor = window != nullptr ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST) : nullptr;
  UINT x = 0, y = 0;
  if (getDpiForMonitor == nullptr || monitor == nullptr ||
      FAILED(getDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &x, &y)))
    return 0;
  return y;
}

UINT DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (window != nullptr) {
    // Windows 8.1 has no GetDpiForWindow, but tells each monitor's DPI to a program aware of it.
    const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : MonitorDpi(window);
    if (dpi != 0) return dpi;
  }
  const ScopedGetDc screen(nullptr);
  const UINT dpi = screen ? static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY)) : 96;
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

}  // namespace quorvane::ui
