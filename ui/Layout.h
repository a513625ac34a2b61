// Every control of the two windows, described once: kind, caption, container, place and size
// in twips, focus order and font. The windows create their controls from these tables and
// place them again whenever the DPI changes.
#pragma once

#include <windows.h>

#include <span>

namespace quorvane::ui {

// Control identifiers; names as the program has always called its controls. 0 and the
// dialog answer codes (IDOK...) are avoided: IsDialogMessage sends IDOK for Enter when
// there is no default button.
enum ControlId : int {
  kNone = 0,
  // main window
  kSSTab1 = 100,
  kFrame1 = 101, kFrame2, kFrame3, kFrame4, kFrame5, kFrame6, kFrame7, kFrame8,
  kOption1 = 111, kOption2, kOption3, kOption4, kOption5, kOption6, kOption7, kOption8, kOption9,
  kOption10,
  kDir1 = 121, kDir2, kDir3,
  kFile1 = 131, kFile2, kFile3,
  kText1 = 141, kText2,
  kLabel2 = 151,
  kCommand1 = 161, kCommand2, kCommand3, kCommand4, kCommand5, kCommand6,
  // About window (its own numbering space: another window)
  kAboutFrame1 = 201, kAboutLabel1, kAboutLabel2, kAboutLabel3, kAboutLabel4, kAboutLabel5,
  kAboutCommand1,
};

enum class Kind { kFrame, kFolderList, kFileList, kOption, kTextBox, kButton, kLabel, kWrappedLabel };

// The captions are "MS Sans Serif", in these sizes. kNames, for the controls that show the
// player's own names (the lists and the prefix boxes), is the size of kRegular in a TrueType
// face that the system links to other scripts: the bitmap face covers one Western code page.
enum class FontId { kRegular, kBold, kLargeBold, kTitle, kNames, kCount };
struct FontSpec {
  int hundredthsOfPoint;
  bool bold;
};
inline constexpr FontSpec kFonts[] = {{825, false}, {825, true}, {975, true}, {1200, true}, {825, false}};

struct ControlDef {
  ControlId id;
  const wchar_t* name;     // the control's name, for messages and tests
  Kind kind;
  const wchar_t* caption;
  ControlId container;     // kNone: the page (tab strip) or the window itself
  int left, top, width, height;  // twips, within the container
  int tabIndex;
  FontId font;
  // The name screen readers give an edit or a list that no label just before it names.
  const wchar_t* accessibleName = nullptr;
};

// The pages of the main window, each in focus order (ascending TabIndex) but for a label,
// which comes just before the control it names; positions within the tab strip. The windows
// make their controls in this order, which is also their order for the keyboard and for the
// system's search for a label.
std::span<const ControlDef> SkinsPageControls();
std::span<const ControlDef> VolumesPageControls();
// The About window, in focus order, positions within its client area.
std::span<const ControlDef> AboutControls();

struct TwipsRect {
  int left, top, width, height;
};
// The main window's client area, the tab strip within it, and the About window's client area.
inline constexpr TwipsRect kMainClient{0, 0, 6630, 7185};
inline constexpr TwipsRect kTabStrip{120, 120, 6405, 6975};
inline constexpr TwipsRect kAboutClient{0, 0, 3720, 3150};

// The control's place relative to the page (tab strip) or window, adding up its containers.
TwipsRect Absolute(std::span<const ControlDef> table, const ControlDef& control);

// Twips (1440 to the inch) to pixels at a DPI, rounding to nearest.
inline int Pixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }
RECT Pixels(const TwipsRect& rect, UINT dpi);

}  // namespace quorvane::ui
