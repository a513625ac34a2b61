// The DPI a window is shown at, as far as the system can tell it.
#pragma once

#include <windows.h>

#include "services/SystemLibrary.h"

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
// AdjustWindowRectEx at a DPI: the window rectangle for a client area.
RECT WindowRectFor(const RECT& client, DWORD style, DWORD exStyle, UINT dpi);

// WM_GETDPISCALEDSIZE, which winuser.h declares only for Windows 10 builds (WINVER 0x0605).
inline constexpr UINT kGetDpiScaledSize = 0x02E4;

}  // namespace quorvane::ui
