// Creating and placing the controls of a window from its table (Layout.h), at a DPI.
#pragma once

#include <windows.h>

#include <array>
#include <span>
#include <string>
#include <vector>

#include "services/Handles.h"
#include "ui/Layout.h"

namespace quorvane::ui {

// The DPI a window is shown at (per monitor where the system can tell).
UINT DpiOf(HWND window);
// The DPI of the monitor a window is on, as Windows 8.1 tells it where it has no
// GetDpiForWindow; 0 when the system cannot tell.
UINT MonitorDpi(HWND window);
// AdjustWindowRectEx at a DPI: the window rectangle for a client area.
RECT WindowRectFor(const RECT& client, DWORD style, DWORD exStyle, UINT dpi);

// Registers a top-level window class of the program's, its windows showing the icon resource
// `icon` (none when 0) in both the sizes the system asks for; false with a sentence for the
// user in `error` when it cannot.
bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, std::wstring& error, int icon = 0);

// The frame of a top-level window of `style` whose client area is `client` at the DPI: at
// `topLeft`, or centred on the primary monitor's work area when topLeft is null.
RECT WindowPlace(const TwipsRect& client, DWORD style, DWORD exStyle, UINT dpi, const POINT* topLeft = nullptr);

// Puts a top-level window where WindowPlace says, unless it is there already.
void PlaceWindow(HWND window, const TwipsRect& client, UINT dpi, const POINT* topLeft = nullptr);

// WM_GETDPISCALEDSIZE, which winuser.h declares only for Windows 10 builds (WINVER 0x0605).
inline constexpr UINT kGetDpiScaledSize = 0x02E4;

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

// The font a control draws with: `chosen`, else the control's own, else the system's.
HFONT FontOf(HWND control, HFONT chosen);

// Text measured in the font a control draws with (FontOf), on the control's own device.
class TextMeter {
 public:
  TextMeter(HWND control, HFONT chosen) : dc_(control), font_(dc_.get(), FontOf(control, chosen)) {
    measured_ = dc_ && GetTextMetricsW(dc_.get(), &metrics_);
  }
  TextMeter(const TextMeter&) = delete;
  TextMeter& operator=(const TextMeter&) = delete;

  // False when the device or the font's metrics could not be had; widths are then 0.
  bool Measured() const { return measured_; }
  const TEXTMETRICW& Metrics() const { return metrics_; }
  int Width(const std::wstring& text) const {
    SIZE size{};
    if (!dc_ || !GetTextExtentPoint32W(dc_.get(), text.c_str(), static_cast<int>(text.size()), &size)) return 0;
    return size.cx;
  }

 private:
  ScopedGetDc dc_;
  ScopedSelect font_;
  TEXTMETRICW metrics_{};
  bool measured_ = false;
};

// What a font comes out as on the screen: the face the system picked, its character height
// (cell height less internal leading) in pixels, its weight, and whether it scales freely.
struct RealisedFont {
  std::wstring face;
  int charHeight = 0;
  int weight = 0;
  bool scalable = false;
};
RealisedFont Realise(HFONT font);

// The character height in pixels of a size in hundredths of a point, at a DPI.
inline int CharHeight(int hundredthsOfPoint, UINT dpi) {
  return MulDiv(hundredthsOfPoint, static_cast<int>(dpi), 7200);
}
// The smallest size a caption is shrunk to.
inline constexpr int kSmallestHundredths = 700;

// Whether `text`, in the font selected into `dc`, shows whole in a control of `kind` that is
// `size` pixels large, measured the way the control draws it (beside an option's mark, inside
// a frame's or a button's edge, wrapped where the label wraps). Controls without a caption
// always fit.
bool TextFits(HDC dc, Kind kind, const std::wstring& text, SIZE size, UINT dpi);

// The windows' fonts at one DPI, shared by every window shown at it. "MS Sans Serif" is a
// bitmap face with a few pixel sizes only, and a system may not have it at all, so each row
// of kFonts takes the first of "MS Sans Serif", "Microsoft Sans Serif" and "Tahoma" that the
// system really gives at the row's height and weight, and otherwise what the system gives.
// The names' row takes the first of the two TrueType faces, which Windows links to the fonts
// of other scripts for the letters they lack.
class FontSet {
 public:
  // The set for `dpi`, chosen on first use and kept until the program ends; null when a font
  // cannot be made (the reason is in GetLastError).
  static FontSet* For(UINT dpi);

  UINT Dpi() const { return dpi_; }
  HFONT operator[](FontId id) const { return chosen_[static_cast<size_t>(id)]; }

  // The font a control shows `text` in: its row's, or where the text would not fit in that,
  // the largest smaller size of a scalable face that it fits in, down to 7 pt (7 pt when even
  // that is too large; the control's place never changes).
  HFONT Fitting(FontId id, Kind kind, const std::wstring& text, SIZE size);

 private:
  explicit FontSet(UINT dpi) : dpi_(dpi) {}
  bool Choose();
  HFONT Make(const std::wstring& face, int charHeight, bool bold);
  bool Fits(HFONT font, Kind kind, const std::wstring& text, SIZE size);

  struct Made {
    std::wstring face;
    int charHeight;
    bool bold;
    UniqueFont font;
  };
  UINT dpi_;
  std::vector<Made> made_;
  std::array<HFONT, static_cast<size_t>(FontId::kCount)> chosen_{};
  std::wstring scalableFace_;
};

// Pixels of a table row at a DPI, within a parent whose table origin is at `origin`.
RECT PlaceOf(std::span<const ControlDef> table, const ControlDef& def, POINT origin, UINT dpi);

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
