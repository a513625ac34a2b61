#include "ui/Controls.h"

#include <shellscalingapi.h>
#include <uxtheme.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "services/SystemLibrary.h"
#include "services/WinError.h"

namespace quorvane::ui {
namespace {

// Functions of Windows 10 (1607) and later, looked up so that Quorvane still starts on older
// systems, which then get the monitor's DPI (8.1) or the system's.
template <typename F>
F User32Function(const char* name) {
  return SystemFunction<F>(GetModuleHandleW(L"user32.dll"), name);
}

// EnableThemeDialogTexture, from uxtheme.dll in the system folder. Windows does not count
// uxtheme.dll among its known DLLs: imported by name, a uxtheme.dll lying beside Quorvane in
// the game folder would be loaded in its place. Null where there is none (no themes).
using ThemeDialogTextureFn = HRESULT(WINAPI*)(HWND, DWORD);
ThemeDialogTextureFn ThemeDialogTexture() {
  static const ThemeDialogTextureFn function = [] {
    return SystemFunction<ThemeDialogTextureFn>(LoadSystemLibrary(L"uxtheme.dll"), "EnableThemeDialogTexture");
  }();
  return function;
}

// The dialog manager's DPI behaviours (SetDialogDpiChangeBehavior, SetDialogControlDpiChangeBehavior,
// Windows 10 1703 and later), as winuser.h gives them for Windows 10 builds only (WINVER 0x0605).
constexpr int kDdcDisableAll = 0x0001;
constexpr int kDcdcDisableFontUpdate = 0x0001;
constexpr int kDcdcDisableRelayout = 0x0002;

// The bitmap face the tables are laid out for, then the TrueType faces that Windows links to
// other scripts (FontLink\SystemLink), which have every size.
constexpr const wchar_t* kFaces[] = {L"MS Sans Serif", L"Microsoft Sans Serif", L"Tahoma"};

}  // namespace

UINT MonitorDpi(HWND window) {
  // From shcore.dll in the system folder: Windows 8.1 and later, not a known DLL of Windows'.
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, MONITOR_DPI_TYPE, UINT*, UINT*);
  static const auto getDpiForMonitor =
      SystemFunction<GetDpiForMonitorFn>(LoadSystemLibrary(L"shcore.dll"), "GetDpiForMonitor");
  const HMONITOR monitor = window != nullptr ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST) : nullptr;
  UINT x = 0, y = 0;
  if (getDpiForMonitor == nullptr || monitor == nullptr ||
      FAILED(getDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &x, &y)))
    return 0;
  return y;
}

UINT DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (window != nullptr) {
    // Windows 8.1 has no GetDpiForWindow, but tells each monitor's DPI to a program aware of it.
    const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : MonitorDpi(window);
    if (dpi != 0) return dpi;
  }
  const ScopedGetDc screen(nullptr);
  const UINT dpi = screen ? static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY)) : 96;
  return dpi != 0 ? dpi : 96;
}

RECT WindowRectFor(const RECT& client, DWORD style, DWORD exStyle, UINT dpi) {
  using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = User32Function<AdjustFn>("AdjustWindowRectExForDpi");
  RECT rect = client;
  if (adjustForDpi == nullptr || !adjustForDpi(&rect, style, FALSE, exStyle, dpi)) {
    rect = client;
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  }
  return rect;
}

bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, std::wstring& error, int icon) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  // The class's icons, rather than WM_SETICON on each window: the system shows them from the
  // window's creation on, and does not convert a default icon first.
  if (icon != 0) {
    const auto sized = [&](int size) {
      return static_cast<HICON>(LoadImageW(wc.hInstance, MAKEINTRESOURCEW(icon), IMAGE_ICON, size, size, LR_SHARED));
    };
    wc.hIcon = sized(GetSystemMetrics(SM_CXICON));
    wc.hIconSm = sized(GetSystemMetrics(SM_CXSMICON));
  }
  if (RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return true;
  error = LastErrorText(L"Quorvane cannot register its window class");
  return false;
}

RECT WindowPlace(const TwipsRect& client, DWORD style, DWORD exStyle, UINT dpi, const POINT* topLeft) {
  const RECT frame =
      WindowRectFor(RECT{0, 0, Pixels(client.width, dpi), Pixels(client.height, dpi)}, style, exStyle, dpi);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  POINT at{};
  if (topLeft != nullptr) {
    at = *topLeft;
  } else {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor)) area = monitor.rcWork;
    at = {area.left + (area.right - area.left - width) / 2, area.top + (area.bottom - area.top - height) / 2};
  }
  return RECT{at.x, at.y, at.x + width, at.y + height};
}

HFONT FontOf(HWND control, HFONT chosen) {
  if (chosen != nullptr) return chosen;
  if (control != nullptr) {
    if (auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0))) return font;
  }
  return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

namespace {

bool VerticalBarShown(HWND list) { return (GetWindowLongPtrW(list, GWL_STYLE) & WS_VSCROLL) != 0; }

}  // namespace

void ScrollableWidth::Tell(HWND list, int widest) {
  widest_ = std::max(widest, 0);
  bar_ = VerticalBarShown(list);
  // A vertical scroll bar that shows is outside the client area. Should the area not be had,
  // the width is told: a scroll bar too many rather than a name cut off.
  RECT client{};
  const bool fits = widest_ == 0 || (GetClientRect(list, &client) && widest_ <= client.right);
  SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(fits ? 0 : widest_), 0);
}

void ScrollableWidth::Recheck(HWND list) {
  if (VerticalBarShown(list) != bar_) Tell(list, widest_);
}

void PlaceWindow(HWND window, const TwipsRect& client, UINT dpi, const POINT* topLeft) {
  const RECT place = WindowPlace(client, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                                 static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), dpi, topLeft);
  const int width = place.right - place.left, height = place.bottom - place.top;
  RECT now{};
  if (!GetWindowRect(window, &now) || !EqualRect(&now, &place))
    SetWindowPos(window, nullptr, place.left, place.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  // The frame the system really drew may differ from what it predicted (a DPI change that
  // has not reached the caption yet): the client area is what must be exact.
  RECT actual{};
  if (GetClientRect(window, &actual)) {
    const int dx = Pixels(client.width, dpi) - actual.right, dy = Pixels(client.height, dpi) - actual.bottom;
    if (dx != 0 || dy != 0)
      SetWindowPos(window, nullptr, 0, 0, width + dx, height + dy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
}

LRESULT DpiFollower::OnGetDpiScaledSize(HWND window, UINT dpi, SIZE& size) {
  const POINT origin{0, 0};
  const RECT place = WindowPlace(client_, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                                 static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), dpi, &origin);
  size = SIZE{place.right - place.left, place.bottom - place.top};
  answered_ = dpi;
  return TRUE;
}

void DpiFollower::OnDpiChanged(HWND window, UINT dpi, const RECT& suggested) {
  const bool asked = answered_ == dpi;
  answered_ = 0;
  // Should the window refuse the suggested size, it still gets the tables' size at its place.
  if (asked && SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                            suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE))
    return;
  const POINT at{suggested.left, suggested.top};
  PlaceWindow(window, client_, dpi, &at);
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

RECT PlaceOf(std::span<const ControlDef> table, const ControlDef& def, POINT origin, UINT dpi) {
  RECT r = Pixels(Absolute(table, def), dpi);
  OffsetRect(&r, origin.x, origin.y);
  return r;
}

bool StartsOptionGroup(std::span<const ControlDef> table, const ControlDef& control) {
  if (control.kind != Kind::kOption) return false;
  const ControlDef* previous = nullptr;
  for (const ControlDef& c : table) {
    if (&c == &control) break;
    previous = &c;
  }
  return previous == nullptr || previous->kind != Kind::kOption || previous->container != control.container;
}

HWND CreatePage(HWND parent, DLGPROC procedure) {
  struct {
    DLGTEMPLATE dialog;
    WORD menu, windowClass, title;
  } empty{};
  empty.dialog.style = WS_CHILD | WS_CLIPSIBLINGS | DS_CONTROL;
  empty.dialog.dwExtendedStyle = WS_EX_CONTROLPARENT;
  HWND page = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &empty.dialog, parent, procedure, 0);
  if (page == nullptr) return nullptr;
  // The windows lay their pages out for each DPI themselves: the dialog manager, which scales
  // dialogs of Per-Monitor-v2 programs on a DPI change (Windows 10 1703 and later), must not
  // resize them as well.
  using DialogBehaviourFn = BOOL(WINAPI*)(HWND, int, int);
  static const auto dialogBehaviour = User32Function<DialogBehaviourFn>("SetDialogDpiChangeBehavior");
  if (dialogBehaviour != nullptr && !dialogBehaviour(page, kDdcDisableAll, kDdcDisableAll)) {
    const DWORD error = GetLastError();
    DestroyWindow(page);
    SetLastError(error);
    return nullptr;
  }
  if (ThemeDialogTexture() != nullptr) ThemeDialogTexture()(page, ETDT_ENABLETAB);
  return page;
}

HWND CreateControl(HWND parent, std::span<const ControlDef> table, const ControlDef& control,
                   const std::wstring& caption, POINT origin, FontSet& fonts, DWORD extraStyle,
                   DWORD extraExStyle) {
  const wchar_t* windowClass = L"BUTTON";
  // WS_GROUP on everything but the second and later options of a frame: the arrow keys
  // then move within one frame's options and nowhere else.
  DWORD style = WS_CHILD | WS_VISIBLE | WS_GROUP;
  DWORD exStyle = 0;
  switch (control.kind) {
    case Kind::kFrame:
      style |= BS_GROUPBOX;
      break;
    case Kind::kFolderList:
    case Kind::kFileList:
      windowClass = L"LISTBOX";
      style |= WS_TABSTOP;
      break;
    case Kind::kOption:
      style |= BS_AUTORADIOBUTTON;
      // One tab stop per group, on its first option (moved to the selected one by the window).
      style = StartsOptionGroup(table, control) ? style | WS_TABSTOP : style & ~WS_GROUP;
      break;
    case Kind::kTextBox:
      windowClass = L"EDIT";
      style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
      exStyle |= WS_EX_CLIENTEDGE;
      break;
    case Kind::kButton:
      style |= WS_TABSTOP | BS_PUSHBUTTON;
      break;
    case Kind::kLabel:
      windowClass = L"STATIC";
      style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
      break;
    case Kind::kWrappedLabel:
      windowClass = L"STATIC";
      style |= SS_LEFT | SS_NOPREFIX;
      break;
  }
  const RECT r = PlaceOf(table, control, origin, fonts.Dpi());
  HWND hwnd = CreateWindowExW(exStyle | extraExStyle, windowClass, caption.c_str(), style | extraStyle, r.left,
                              r.top, r.right - r.left, r.bottom - r.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                              GetModuleHandleW(nullptr), nullptr);
  if (hwnd == nullptr) return nullptr;
  // Nor may the dialog manager change a page's controls' fonts or places: each has its own,
  // chosen for the DPI (set on any control, this counts only where its parent is a dialog).
  using ControlBehaviourFn = BOOL(WINAPI*)(HWND, int, int);
  static const auto controlBehaviour =
      User32Function<ControlBehaviourFn>("SetDialogControlDpiChangeBehavior");
  constexpr int kLeftAlone = kDcdcDisableFontUpdate | kDcdcDisableRelayout;
  if (controlBehaviour != nullptr && !controlBehaviour(hwnd, kLeftAlone, kLeftAlone)) {
    const DWORD error = GetLastError();
    DestroyWindow(hwnd);
    SetLastError(error);
    return nullptr;
  }
  const HFONT font = fonts.Fitting(control.font, control.kind, caption, SIZE{r.right - r.left, r.bottom - r.top});
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (control.kind == Kind::kTextBox) SendMessageW(hwnd, EM_SETLIMITTEXT, 0, 0);
  return hwnd;
}

void PlaceControl(HWND control, std::span<const ControlDef> table, const ControlDef& def, POINT origin,
                  FontSet& fonts) {
  const RECT r = PlaceOf(table, def, origin, fonts.Dpi());
  std::wstring caption(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  caption.resize(static_cast<size_t>(GetWindowTextW(control, caption.data(), static_cast<int>(caption.size()))));
  const HFONT font = fonts.Fitting(def.font, def.kind, caption, SIZE{r.right - r.left, r.bottom - r.top});
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace quorvane::ui
