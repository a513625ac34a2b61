// Creating and placing the controls of a window from its table (Layout.h), at a DPI.
#pragma once

#include <windows.h>

#include <array>
#include <span>
#include <string>

#include "services/Handles.h"
#include "ui/Layout.h"

namespace quorvane::ui {

// The DPI a window is shown at (per monitor where the system can tell).
UINT DpiOf(HWND window);
// AdjustWindowRectEx at a DPI: the window rectangle for a client area.
RECT WindowRectFor(const RECT& client, DWORD style, DWORD exStyle, UINT dpi);

// Registers a top-level window class of the program's; false with a sentence for the user in
// `error` when it cannot.
bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, std::wstring& error);

// Sizes a top-level window so that its client area is `client` at the DPI, and puts it at
// `topLeft`, or centred on the primary monitor's work area when topLeft is null.
void PlaceWindow(HWND window, const TwipsRect& client, UINT dpi, const POINT* topLeft = nullptr);

// The window's fonts at one DPI.
class FontSet {
 public:
  // False when a font could not be made; the reason is in GetLastError.
  bool Create(UINT dpi);
  HFONT operator[](FontId id) const { return fonts_[static_cast<size_t>(id)].get(); }

 private:
  std::array<UniqueFont, static_cast<size_t>(FontId::kCount)> fonts_;
};

// A page of a tab strip: a child dialog without a template of its own. The dialog manager then
// moves the focus through its controls, and on themed systems draws the tab's body behind them.
HWND CreatePage(HWND parent, DLGPROC procedure);

// Creates one control of a table as a child of parent, with the window class and styles
// its kind needs; the caller positions it (PlaceControl). Returns null on failure (the
// reason is in GetLastError).
HWND CreateControl(HWND parent, std::span<const ControlDef> table, const ControlDef& control,
                   const std::wstring& caption, DWORD extraStyle = 0, DWORD extraExStyle = 0);

// Moves and sizes a control to its place in the table at a DPI; origin is the pixel
// position, within parent, of the table's own origin, and sets its font.
void PlaceControl(HWND control, std::span<const ControlDef> table, const ControlDef& def,
                  POINT origin, UINT dpi, const FontSet& fonts);

// Whether the control starts a new group of option buttons (the first option of a frame).
bool StartsOptionGroup(std::span<const ControlDef> table, const ControlDef& control);

}  // namespace quorvane::ui
