// The windows' fonts, and text measured in them.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "services/Handles.h"
#include "ui/Layout.h"

namespace quorvane::ui {

// The font a control draws with: `chosen`, else the control's own, else the system's.
HFONT FontOf(HWND control, HFONT chosen);

// Text measured in the font a control draws with (FontOf), on the control's own device.
class TextMeter {
 public:
  TextMeter(HWND control, HFONT chosen) : dc_(control), font_(dc_.get(), FontOf(control, chosen)) {
    measured_ = dc_ && GetTextMetricsW(dc_.get(), &metrics_);
  }

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

}  // namespace quorvane::ui
