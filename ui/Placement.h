// The DPI a window is shown at, as far as the system can tell it, and where the top-level
// windows go: centred at first, placed again as the DPI changes.
#pragma once

#include <windows.h>

#include "services/SystemLibrary.h"
#include "ui/Layout.h"

namespace quorvane::ui {

// Functions of Windows 10 (1607) and later, looked up so that Quorvane still starts on older
// systems, which then get the monitor's DPI (8.1) or the system's.
template <typename F>
F User32Function(const char* name) {
  return SystemFunction<F>(GetModuleHandleW(L"user32.dll"), name);
}

// The DPI a window is shown at (per monitor where the system can tell).
UINT DpiOf(HWND window);
// The DPI of the monitor a window is on, as Windows 8.1 tells it where it has no
// GetDpiForWindow; 0 when the system cannot tell.
UINT MonitorDpi(HWND window);

// WM_GETDPISCALEDSIZE, which winuser.h declares only for Windows 10 builds (WINVER 0x0605).
inline constexpr UINT kGetDpiScaledSize = 0x02E4;

// The work area of `monitor`: the screen, should the system not tell it.
RECT WorkArea(HMONITOR monitor);

// The frame of a top-level window of `style` whose client area is `client` at the DPI: at
// `topLeft`, or centred on the primary monitor's work area when topLeft is null.
RECT WindowPlace(const TwipsRect& client, DWORD style, DWORD exStyle, UINT dpi, const POINT* topLeft = nullptr);

// Puts a top-level window where WindowPlace says, unless it is there already.
void PlaceWindow(HWND window, const TwipsRect& client, UINT dpi, const POINT* topLeft = nullptr);

// How a top-level window whose client area is `client` follows a change of DPI, as when it is
// dragged to a monitor of another scale. Windows 10 1703 and later first ask the window its
// size at the new DPI (kGetDpiScaledSize), then suggest that size, placed so that the window
// keeps its place under the pointer. Earlier systems (Windows 8.1 and 10 before 1703, with the
// manifest's PerMonitor) suggest the old size scaled, frame and all, which leaves the client
// area off by what the frame did not scale: there the window keeps the tables' size instead.
class DpiFollower {
 public:
  explicit DpiFollower(const TwipsRect& client) : client_(client) {}
  // kGetDpiScaledSize: the whole window's size at `dpi`, its frame at that DPI; TRUE.
  LRESULT OnGetDpiScaledSize(HWND window, UINT dpi, SIZE& size);
  // WM_DPICHANGED, once the window is laid out for `dpi`: at the suggested place, and at the
  // suggested size where it is the one given above.
  void OnDpiChanged(HWND window, UINT dpi, const RECT& suggested);

 private:
  TwipsRect client_;
  UINT answered_ = 0;  // the DPI whose size was last given, until its WM_DPICHANGED
};

}  // namespace quorvane::ui
