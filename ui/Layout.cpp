#include "ui/Layout.h"

namespace quorvane::ui {
namespace {

using K = Kind;
using F = FontId;

constexpr ControlDef kSkins[] = {
    {kFrame1, L"Frame1", K::kFrame, L"Skins", kNone, 120, 480, 6135, 5535, 1, F::kLargeBold},
    {kFrame4, L"Frame4", K::kFrame, L"Skin File", kFrame1, 2280, 360, 3735, 5055, 2, F::kBold},
    {kDir1, L"Dir1", K::kFolderList, L"", kFrame4, 240, 360, 3255, 2115, 3, F::kNames, L"Skin folders"},
    {kFile1, L"File1", K::kFileList, L"", kFrame4, 240, 2640, 3255, 2235, 4, F::kNames, L"Skin files"},
    {kFrame3, L"Frame3", K::kFrame, L"Armor", kFrame1, 240, 2040, 1815, 2415, 5, F::kBold},
    {kOption4, L"Option4", K::kOption, L"larmor", kFrame3, 240, 360, 1095, 255, 6, F::kRegular},
    {kOption5, L"Option5", K::kOption, L"lfemale", kFrame3, 240, 720, 1215, 255, 7, F::kRegular},
    {kOption6, L"Option6", K::kOption, L"marmor", kFrame3, 240, 1080, 1215, 195, 8, F::kRegular},
    {kOption7, L"Option7", K::kOption, L"mfemale", kFrame3, 240, 1440, 1215, 255, 9, F::kRegular},
    {kOption8, L"Option8", K::kOption, L"harmor", kFrame3, 240, 1800, 1215, 255, 10, F::kRegular},
    {kFrame2, L"Frame2", K::kFrame, L"Palette", kFrame1, 240, 360, 1815, 1575, 11, F::kBold},
    {kOption1, L"Option1", K::kOption, L"pal1", kFrame2, 240, 360, 855, 255, 12, F::kRegular},
    {kOption2, L"Option2", K::kOption, L"pal2", kFrame2, 240, 720, 855, 255, 13, F::kRegular},
    {kOption3, L"Option3", K::kOption, L"pal3", kFrame2, 240, 1080, 855, 255, 14, F::kRegular},
    {kCommand1, L"Command1", K::kButton, L"Continue", kNone, 4920, 6240, 1215, 375, 15, F::kRegular},
    {kCommand2, L"Command2", K::kButton, L"About", kNone, 240, 6240, 1215, 375, 16, F::kRegular},
    {kCommand3, L"Command3", K::kButton, L"Exit", kNone, 3480, 6240, 1215, 375, 17, F::kRegular},
    {kFrame6, L"Frame6", K::kFrame, L"Prefix", kFrame1, 240, 4560, 1815, 855, 19, F::kBold},
    {kText1, L"Text1", K::kTextBox, L"", kFrame6, 240, 360, 1335, 285, 20, F::kNames, L"Prefix"},
};

constexpr ControlDef kVolumes[] = {
    {kFrame5, L"Frame5", K::kFrame, L"Volumes", kNone, 120, 480, 6135, 5535, 18, F::kLargeBold},
    {kCommand4, L"Command4", K::kButton, L"Continue", kNone, 4920, 6240, 1215, 375, 21, F::kRegular},
    {kCommand5, L"Command5", K::kButton, L"About", kNone, 240, 6240, 1215, 375, 22, F::kRegular},
    {kCommand6, L"Command6", K::kButton, L"Exit", kNone, 3480, 6240, 1215, 375, 23, F::kRegular},
    {kFrame8, L"Frame8", K::kFrame, L"Skin File", kFrame5, 3120, 360, 2895, 5055, 24, F::kBold},
    {kDir2, L"Dir2", K::kFolderList, L"", kFrame8, 240, 360, 2415, 2115, 25, F::kNames, L"Skin folders"},
    {kFile2, L"File2", K::kFileList, L"", kFrame8, 240, 2640, 2415, 2235, 26, F::kNames, L"Skin files"},
    {kFrame7, L"Frame7", K::kFrame, L"Volumes", kFrame5, 120, 360, 2775, 5055, 27, F::kBold},
    {kOption9, L"Option9", K::kOption, L"New Volume", kFrame7, 240, 360, 1575, 255, 28, F::kRegular},
    {kOption10, L"Option10", K::kOption, L"Existing Volume", kFrame7, 240, 1560, 1575, 255, 29, F::kRegular},
    {kDir3, L"Dir3", K::kFolderList, L"", kFrame7, 240, 2040, 2295, 1440, 30, F::kNames, L"Volume folders"},
    {kFile3, L"File3", K::kFileList, L"", kFrame7, 240, 3600, 2295, 1260, 31, F::kNames, L"Volume files"},
    {kLabel2, L"Label2", K::kLabel, L"Prefix:", kFrame7, 240, 840, 555, 195, 33, F::kBold},
    {kText2, L"Text2", K::kTextBox, L"", kFrame7, 960, 840, 1335, 285, 32, F::kNames},
};

// The About window's texts that a release sets come from version.h; the table holds the
// fixed ones, and null where the window fills in the release's text.
constexpr ControlDef kAbout[] = {
    {kAboutFrame1, L"Frame1", K::kFrame, L"", kNone, 240, 120, 3255, 495, 0, F::kRegular},
    {kAboutLabel1, L"Label1", K::kLabel, L"Quorvane", kAboutFrame1, 480, 120, 2340, 300, 1, F::kTitle},
    {kAboutLabel2, L"Label2", K::kLabel, nullptr, kNone, 120, 2280, 3570, 195, 2, F::kRegular},
    {kAboutLabel3, L"Label3", K::kLabel, nullptr, kNone, 600, 720, 2580, 195, 3, F::kRegular},
    {kAboutCommand1, L"Command1", K::kButton, L"Close", kNone, 360, 2640, 3015, 375, 4, F::kRegular},
    {kAboutLabel4, L"Label4", K::kWrappedLabel, nullptr, kNone, 240, 1080, 3255, 615, 5, F::kRegular},
    {kAboutLabel5, L"Label5", K::kLabel, nullptr, kNone, 480, 1800, 2745, 195, 6, F::kRegular},
};

}  // namespace

std::span<const ControlDef> SkinsPageControls() { return kSkins; }
std::span<const ControlDef> VolumesPageControls() { return kVolumes; }
std::span<const ControlDef> AboutControls() { return kAbout; }

TwipsRect Absolute(std::span<const ControlDef> table, const ControlDef& control) {
  TwipsRect rect{control.left, control.top, control.width, control.height};
  for (ControlId outer = control.container; outer != kNone;) {
    const ControlDef* found = nullptr;
    for (const ControlDef& c : table)
      if (c.id == outer) found = &c;
    if (found == nullptr) break;
    rect.left += found->left;
    rect.top += found->top;
    outer = found->container;
  }
  return rect;
}

RECT Pixels(const TwipsRect& rect, UINT dpi) {
  // Convert the edges, not the sizes, so that neighbours meet exactly at any DPI.
  const int left = Pixels(rect.left, dpi);
  const int top = Pixels(rect.top, dpi);
  return RECT{left, top, Pixels(rect.left + rect.width, dpi), Pixels(rect.top + rect.height, dpi)};
}

}  // namespace quorvane::ui
