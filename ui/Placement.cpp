#include "ui/Placement.h"

#include <shellscalingapi.h>

#include "services/Handles.h"

namespace quorvane::ui {
namespace {

// AdjustWindowRectEx at a DPI: the window rectangle for a client area.
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

}  // namespace

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

RECT WorkArea(HMONITOR monitor) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) return info.rcWork;
  return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

RECT WindowPlace(const TwipsRect& client, DWORD style, DWORD exStyle, UINT dpi, const POINT* topLeft) {
  const RECT frame =
      WindowRectFor(RECT{0, 0, Pixels(client.width, dpi), Pixels(client.height, dpi)}, style, exStyle, dpi);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  POINT at{};
  if (topLeft != nullptr) {
    at = *topLeft;
  } else {
    const RECT area = WorkArea(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
    at = {area.left + (area.right - area.left - width) / 2, area.top + (area.bottom - area.top - height) / 2};
  }
  return RECT{at.x, at.y, at.x + width, at.y + height};
}

void PlaceWindow(HWND window, const TwipsRect& client, UINT dpi, const POINT* topLeft) {
  const RECT place = WindowPlace(client, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                                 static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), dpi, topLeft);
  const int width = place.right - place.left, height = place.bottom - place.top;
  RECT now{};
  if (!GetWindowRect(window, &now) || !EqualRect(&now, &place))
    SetWindowPos(window, nullptr, place.left, place.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  // The frame the system really drew may differ from what it predicted (a DPI change that
  // has not reached the caption yet): the client area is what must be exact.
  RECT actual{};
  if (GetClientRect(window, &actual)) {
    const int dx = Pixels(client.width, dpi) - actual.right, dy = Pixels(client.height, dpi) - actual.bottom;
    if (dx != 0 || dy != 0)
      SetWindowPos(window, nullptr, 0, 0, width + dx, height + dy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
}

LRESULT DpiFollower::OnGetDpiScaledSize(HWND window, UINT dpi, SIZE& size) {
  const POINT origin{0, 0};
  const RECT place = WindowPlace(client_, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                                 static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), dpi, &origin);
  size = SIZE{place.right - place.left, place.bottom - place.top};
  answered_ = dpi;
  return TRUE;
}

void DpiFollower::OnDpiChanged(HWND window, UINT dpi, const RECT& suggested) {
  const bool asked = answered_ == dpi;
  answered_ = 0;
  // Should the window refuse the suggested size, it still gets the tables' size at its place.
  if (asked && SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                            suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE))
    return;
  const POINT at{suggested.left, suggested.top};
  PlaceWindow(window, client_, dpi, &at);
}

}  // namespace quorvane::ui
