// Creating and placing the controls of a window from its table (Layout.h), at a DPI.
#pragma once

#include <windows.h>

#include <span>
#include <string>

#include "ui/Fonts.h"
#include "ui/Layout.h"
#include "ui/Placement.h"

namespace quorvane::ui {

// How far a list box made with WS_HSCROLL scrolls sideways: its widest line, in pixels, told
// only when that line does not fit the list's width. A width the list does not need still
// resets its scroll bar, which under Wine shows the bar and hides it again, a change of the
// list's frame each time. Whether the line fits depends on the vertical scroll bar, which
// comes and goes with the lines: the width is told again when it has.
class ScrollableWidth {
 public:
  // Tells `list` that its widest line reaches `widest` pixels (0: it has none).
  void Tell(HWND list, int widest);
  // Once the list's lines have changed and show: the width again, if the vertical scroll bar
  // came or went since it was told.
  void Recheck(HWND list);

 private:
  int widest_ = 0;
  bool bar_ = false;  // the vertical scroll bar showed when the width was told
};

// A page of a tab strip: a child dialog without a template of its own. The dialog manager then
// moves the focus through its controls, and on themed systems draws the tab's body behind them.
HWND CreatePage(HWND parent, DLGPROC procedure);

// Creates one control of a table as a child of parent, with the window class and styles its
// kind needs, at its place at the DPI (origin is the pixel position, within parent, of the
// table's own origin) and with its font, all at once. Returns null on failure (the reason is
// in GetLastError).
HWND CreateControl(HWND parent, std::span<const ControlDef> table, const ControlDef& control,
                   const std::wstring& caption, POINT origin, FontSet& fonts, DWORD extraStyle = 0,
                   DWORD extraExStyle = 0);

// Moves and sizes a made control to its place at another DPI, with the font fitting there.
void PlaceControl(HWND control, std::span<const ControlDef> table, const ControlDef& def,
                  POINT origin, FontSet& fonts);

// Whether the control starts a new group of option buttons (the first option of a frame).
bool StartsOptionGroup(std::span<const ControlDef> table, const ControlDef& control);

}  // namespace quorvane::ui
