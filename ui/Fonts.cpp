#include "ui/Fonts.h"

#include <cstdlib>
#include <memory>
#include <span>

namespace quorvane::ui {
namespace {

// The bitmap face the tables are laid out for, then the TrueType faces that Windows links to
// other scripts (FontLink\SystemLink), which have every size.
constexpr const wchar_t* kFaces[] = {L"MS Sans Serif", L"Microsoft Sans Serif", L"Tahoma"};

}  // namespace

HFONT FontOf(HWND control, HFONT chosen) {
  if (chosen != nullptr) return chosen;
  if (control != nullptr) {
    if (auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0))) return font;
  }
  return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

RealisedFont Realise(HFONT font) {
  RealisedFont got;
  const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return got;
  const ScopedSelect selected(dc.get(), font);
  TEXTMETRICW metrics{};
  std::wstring face(LF_FACESIZE, L'\0');
  const int length = GetTextFaceW(dc.get(), LF_FACESIZE, face.data());
  face.resize(length > 0 ? static_cast<size_t>(length - 1) : 0);
  if (GetTextMetricsW(dc.get(), &metrics)) {
    got.face = face;
    got.charHeight = metrics.tmHeight - metrics.tmInternalLeading;
    got.weight = metrics.tmWeight;
    got.scalable = (metrics.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE)) != 0;
  }
  return got;
}

bool TextFits(HDC dc, Kind kind, const std::wstring& text, SIZE size, UINT dpi) {
  if (text.empty()) return true;
  LONG roomWidth = size.cx, roomHeight = size.cy;
  UINT flags = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_SINGLELINE;
  switch (kind) {
    case Kind::kOption: {
      // The text starts after the round mark, which scales with the DPI, and half a digit.
      INT digit = 0;
      GetCharWidth32W(dc, L'0', L'0', &digit);
      roomWidth -= MulDiv(12, static_cast<int>(dpi), 96) + 1 + digit / 2;
      break;
    }
    case Kind::kFrame:
      // The caption sits on the top edge, inset by 7 pixels and a pixel of margin each side;
      // the frame's height holds it.
      roomWidth -= 16;
      break;
    case Kind::kButton:
      // Within the raised edge and the focus rectangle.
      roomWidth -= 6;
      roomHeight -= 4;
      break;
    case Kind::kLabel:
      break;
    case Kind::kWrappedLabel:
      flags = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | DT_WORDBREAK;
      break;
    default:
      return true;
  }
  RECT needed{0, 0, roomWidth, 0};
  if (DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, flags) == 0) return false;
  return needed.right <= roomWidth && needed.bottom <= roomHeight;
}

FontSet* FontSet::For(UINT dpi) {
  // A handful of DPIs at most in a run; the fonts live as long as the program.
  static std::vector<std::unique_ptr<FontSet>> sets;
  for (const auto& set : sets)
    if (set->dpi_ == dpi) return set.get();
  std::unique_ptr<FontSet> set(new FontSet(dpi));
  if (!set->Choose()) return nullptr;
  sets.push_back(std::move(set));
  return sets.back().get();
}

HFONT FontSet::Make(const std::wstring& face, int charHeight, bool bold) {
  for (const Made& m : made_)
    if (m.face == face && m.charHeight == charHeight && m.bold == bold) return m.font.get();
  // The bitmap face at its own sizes only: asked with any other quality, GDI scales it to the
  // height asked, blocky (pixels doubled at 200 %), and the check of what was realised passes.
  const DWORD quality = face == kFaces[0] ? PROOF_QUALITY : DEFAULT_QUALITY;
  HFONT font =
      CreateFontW(-charHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH | FF_SWISS, face.c_str());
  if (font == nullptr) return nullptr;
  made_.push_back(Made{face, charHeight, bold, UniqueFont(font)});
  return font;
}

bool FontSet::Choose() {
  for (size_t i = 0; i < chosen_.size(); ++i) {
    const FontSpec& spec = kFonts[i];
    // The player's names take a face that the system links to other scripts: not the bitmap one.
    const bool names = static_cast<FontId>(i) == FontId::kNames;
    const std::span<const wchar_t* const> faces = std::span(kFaces).subspan(names ? 1 : 0);
    const int height = CharHeight(spec.hundredthsOfPoint, dpi_);
    chosen_[i] = nullptr;
    for (const wchar_t* face : faces) {
      HFONT font = Make(face, height, spec.bold);
      if (font == nullptr) return false;
      const RealisedFont got = Realise(font);
      if (lstrcmpiW(got.face.c_str(), face) == 0 && std::abs(got.charHeight - height) <= 1 &&
          (got.weight >= FW_SEMIBOLD) == spec.bold && (got.scalable || !names)) {
        chosen_[i] = font;
        break;
      }
    }
    // None of them at this size: what the system gives for the first, and the fitting below.
    if (chosen_[i] == nullptr) chosen_[i] = Make(faces[0], height, spec.bold);
  }
  // Captions that need a smaller size take it from a face that has every size: the regular
  // one where it scales, else the names' one.
  const RealisedFont regular = Realise(chosen_[static_cast<size_t>(FontId::kRegular)]);
  const RealisedFont names = Realise(chosen_[static_cast<size_t>(FontId::kNames)]);
  scalableFace_ = regular.scalable ? regular.face : names.scalable ? names.face : std::wstring(kFaces[0]);
  return true;
}

bool FontSet::Fits(HFONT font, Kind kind, const std::wstring& text, SIZE size) {
  const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc) return true;  // nothing to measure with: keep the table's font
  const ScopedSelect selected(dc.get(), font);
  return TextFits(dc.get(), kind, text, size, dpi_);
}

HFONT FontSet::Fitting(FontId id, Kind kind, const std::wstring& text, SIZE size) {
  HFONT font = (*this)[id];
  const bool captioned = kind != Kind::kFolderList && kind != Kind::kFileList && kind != Kind::kTextBox;
  if (!captioned || text.empty() || Fits(font, kind, text, size)) return font;
  const bool bold = kFonts[static_cast<size_t>(id)].bold;
  const int smallest = CharHeight(kSmallestHundredths, dpi_);
  for (int height = CharHeight(kFonts[static_cast<size_t>(id)].hundredthsOfPoint, dpi_) - 1; height >= smallest;
       --height) {
    HFONT smaller = Make(scalableFace_, height, bold);
    if (smaller == nullptr) return font;
    font = smaller;
    if (Fits(font, kind, text, size)) break;
  }
  return font;
}

}  // namespace quorvane::ui
