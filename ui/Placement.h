// Where the top-level windows go: centred at first, placed again as the DPI changes.
#pragma once

#include <windows.h>

#include "ui/Dpi.h"
#include "ui/Layout.h"

namespace quorvane::ui {

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
