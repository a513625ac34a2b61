// The real main window on a real display: its controls, their places and state, the keyboard,
// and whole requests with real message boxes answered by the test and the stand-in tools
// started as real processes from the test program's folder.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <tuple>

#include "services/Handles.h"
#include "services/ResultWindow.h"
#include "tests/support/bitmaps.h"
#include "tests/support/main_window.h"
#include "ui/AccessibleNames.h"

using namespace quorvane;
using namespace quorvane::ui;
using check::Args;
using check::CleanGameFolder;
using check::OpenWindow;
using check::QuitPosted;
using check::SeenBox;

namespace {

const std::wstring kFolder = check::GameFolder();

std::wstring WithoutSlash(std::wstring folder) {
  if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

// A window of another thread, in the foreground until `done` is set.
DWORD WINAPI HoldForeground(void* done) {
  SetForegroundWindow(CreateWindowExW(0, L"STATIC", L"In front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                      nullptr, nullptr, nullptr, nullptr));
  for (MSG msg; MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0;)
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  return 0;  // its window goes with it
}

// Counts the watches held; none of them is ever armed.
struct CountedWatcher final : Watcher {
  struct Counted final : Watch {
    explicit Counted(int& count) : held(count) { ++held; }
    ~Counted() override { --held; }
    bool Armed() const override { return false; }
    int& held;
  };
  std::unique_ptr<Watch> Start(const std::wstring&, std::function<void(WatchEvent)>) override {
    return std::make_unique<Counted>(held);
  }
  int held = 0;
};

// Every control of the main window as the user must see it, written out here rather than read
// from the program's layout tables: its page, caption, font (-height at 96 dpi, bold) and its
// rectangle in the tab strip (left, top, width, height) at 96 and at 144 dpi. The design gives
// twips from the container's corner; these are those twips added up and turned into pixels,
// each edge rounded to the nearest pixel.
struct Shown {
  ControlId id;
  int page;
  const wchar_t* caption;  // nullptr: a list, whose text is not a caption
  int fontHeight;
  bool bold;
  RECT at96, at144;  // {left, top, width, height}
};
// clang-format off
const Shown kShown[] = {
    {kFrame1,   0, L"Skins",     13, true,  {8, 32, 409, 369},   {12, 48, 614, 554}},
    {kFrame4,   0, L"Skin File", 11, true,  {160, 56, 249, 337}, {240, 84, 374, 506}},
    {kDir1,     0, nullptr,      11, false, {176, 80, 217, 141}, {264, 120, 326, 212}},
    {kFile1,    0, nullptr,      11, false, {176, 232, 217, 149}, {264, 348, 326, 224}},
    {kFrame3,   0, L"Armor",     11, true,  {24, 168, 121, 161}, {36, 252, 182, 242}},
    {kOption4,  0, L"larmor",    11, false, {40, 192, 73, 17},   {60, 288, 110, 26}},
    {kOption5,  0, L"lfemale",   11, false, {40, 216, 81, 17},   {60, 324, 122, 26}},
    {kOption6,  0, L"marmor",    11, false, {40, 240, 81, 13},   {60, 360, 122, 20}},
    {kOption7,  0, L"mfemale",   11, false, {40, 264, 81, 17},   {60, 396, 122, 26}},
    {kOption8,  0, L"harmor",    11, false, {40, 288, 81, 17},   {60, 432, 122, 26}},
    {kFrame2,   0, L"Palette",   11, true,  {24, 56, 121, 105},  {36, 84, 182, 158}},
    {kOption1,  0, L"pal1",      11, false, {40, 80, 57, 17},    {60, 120, 86, 26}},
    {kOption2,  0, L"pal2",      11, false, {40, 104, 57, 17},   {60, 156, 86, 26}},
    {kOption3,  0, L"pal3",      11, false, {40, 128, 57, 17},   {60, 192, 86, 26}},
    {kCommand1, 0, L"Continue",  11, false, {328, 416, 81, 25},  {492, 624, 122, 38}},
    {kCommand2, 0, L"About",     11, false, {16, 416, 81, 25},   {24, 624, 122, 38}},
    {kCommand3, 0, L"Exit",      11, false, {232, 416, 81, 25},  {348, 624, 122, 38}},
    {kFrame6,   0, L"Prefix",    11, true,  {24, 336, 121, 57},  {36, 504, 182, 86}},
    {kText1,    0, L"",          11, false, {40, 360, 89, 19},   {60, 540, 134, 29}},
    {kFrame5,   1, L"Volumes",   13, true,  {8, 32, 409, 369},   {12, 48, 614, 554}},
    {kCommand4, 1, L"Continue",  11, false, {328, 416, 81, 25},  {492, 624, 122, 38}},
    {kCommand5, 1, L"About",     11, false, {16, 416, 81, 25},   {24, 624, 122, 38}},
    {kCommand6, 1, L"Exit",      11, false, {232, 416, 81, 25},  {348, 624, 122, 38}},
    {kFrame8,   1, L"Skin File", 11, true,  {216, 56, 193, 337}, {324, 84, 290, 506}},
    {kDir2,     1, nullptr,      11, false, {232, 80, 161, 141}, {348, 120, 242, 212}},
    {kFile2,    1, nullptr,      11, false, {232, 232, 161, 149}, {348, 348, 242, 224}},
    {kFrame7,   1, L"Volumes",   11, true,  {16, 56, 185, 337},  {24, 84, 278, 506}},
    {kOption9,  1, L"New Volume", 11, false, {32, 80, 105, 17},  {48, 120, 158, 26}},
    {kOption10, 1, L"Existing Volume", 11, false, {32, 160, 105, 17}, {48, 240, 158, 26}},
    {kDir3,     1, nullptr,      11, false, {32, 192, 153, 96},  {48, 288, 230, 144}},
    {kFile3,    1, nullptr,      11, false, {32, 296, 153, 84},  {48, 444, 230, 126}},
    {kText2,    1, L"",          11, false, {80, 112, 89, 19},   {120, 168, 134, 29}},
    {kLabel2,   1, L"Prefix:",   11, true,  {32, 112, 37, 13},   {48, 168, 56, 20}},
};
// clang-format on

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
         std::to_string(r.bottom - r.top);
}

// Whether `window` sits at {left, top, width, height} in `reference`; a failure names it.
void CheckPlace(HWND window, HWND reference, const RECT& want, const std::string& what) {
  const RECT actual = check::RectIn(window, reference);
  const RECT expected{want.left, want.top, want.left + want.right, want.top + want.bottom};
  if (!EqualRect(&actual, &expected))
    check::Fail(__FILE__, __LINE__, what + ": " + Describe(actual) + ", want " + Describe(expected));
}

// To a monitor of `dpi` as Windows 10 1703 and later move it: at the size it gives, a little further on.
void ChangeDpiAsked(HWND window, UINT dpi) {
  SIZE size{};
  CHECK_EQ(SendMessageW(window, kGetDpiScaledSize, dpi, reinterpret_cast<LPARAM>(&size)), LRESULT{TRUE});
  RECT r{};
  GetWindowRect(window, &r);
  const RECT suggested{r.left + 10, r.top + 10, r.left + 10 + size.cx, r.top + 10 + size.cy};
  SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  CHECK(GetWindowRect(window, &r) && EqualRect(&r, &suggested));
}

}  // namespace

TEST(window, opens_in_its_initial_state) {
  CleanGameFolder();
  check::WriteFile(kFolder + L"red.bmp", "BM");
  check::WriteFile(kFolder + L"team.vol", "");
  SetCurrentDirectoryW(kFolder.c_str());  // as a shortcut's "Start in" would have it
  OpenWindow w;
  HWND main = w.hwnd();

  // Once the program folder is read, the process holds the system folder as its current one,
  // not a folder the player may want to rename.
  std::wstring current(MAX_PATH, L'\0'), system(MAX_PATH, L'\0');
  current.resize(GetCurrentDirectoryW(MAX_PATH, current.data()));
  system.resize(GetSystemDirectoryW(system.data(), MAX_PATH));
  CHECK(SamePath(current, system));
  CHECK_EQ(check::TextOf(main), L"Quorvane");
  const LONG style = GetWindowLongW(main, GWL_STYLE);
  CHECK((style & WS_SYSMENU) && (style & WS_CAPTION));
  CHECK(!(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)));
  CHECK(GetClassLongPtrW(main, GCLP_HICON) != 0 && GetClassLongPtrW(main, GCLP_HICONSM) != 0);

  // Centred on the primary monitor's work area, give or take rounding.
  RECT frame{}, area{};
  GetWindowRect(main, &frame);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  CHECK(std::abs((frame.left - area.left) - (area.right - frame.right)) <= 1);
  CHECK(std::abs((frame.top - area.top) - (area.bottom - frame.bottom)) <= 1);

  HWND tab = w[kSSTab1];
  CHECK_EQ(TabCtrl_GetItemCount(tab), 2);
  CHECK_EQ(TabCtrl_GetCurSel(tab), 0);
  for (int i = 0; i < 2; ++i) {
    wchar_t caption[32] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption;
    item.cchTextMax = 32;
    TabCtrl_GetItem(tab, i, &item);
    CHECK_EQ(std::wstring(caption), i == 0 ? L"Skins" : L"Volumes");
  }
  CHECK_EQ(GetFocus(), tab);

  // Every control carries its caption; only the shown page's show. The Volumes page is made
  // when it is first shown.
  CHECK(w[kFrame5] == nullptr);
  for (int page : {0, 1}) {
    w.showPage(page);
    for (const Shown& c : kShown) {
      if (c.page > page) continue;  // not made yet
      HWND control = w[c.id];
      REQUIRE(control != nullptr);
      if (c.caption != nullptr) CHECK_EQ(check::TextOf(control), std::wstring(c.caption));
      CHECK_EQ(IsWindowVisible(control) != FALSE, c.page == page);
    }
  }
  for (ControlId option : {kOption1, kOption2, kOption3, kOption4, kOption5, kOption6, kOption7, kOption8, kOption10})
    CHECK(!w.checked(option));
  CHECK(w.checked(kOption9));
  CHECK(IsWindowEnabled(w[kText2]));
  CHECK(!IsWindowEnabled(w[kDir3]));
  CHECK(!IsWindowEnabled(w[kFile3]));
  for (ControlId id : {kText1, kText2}) {
    CHECK_EQ(check::TextOf(w[id]), L"");
    CHECK(SendMessageW(w[id], EM_GETLIMITTEXT, 0, 0) >= 0x7FFFFFFE);
    CHECK(!(GetWindowLongW(w[id], GWL_STYLE) & ES_MULTILINE));
  }

  // The three panes show the program folder, nothing chosen and nothing recorded.
  for (ControlId id : {kFile1, kFile2, kFile3}) CHECK_EQ(check::Selection(w[id]), LB_ERR);
  CHECK_EQ(check::Items(w[kFile1]), (Args{L"red.bmp"}));
  CHECK_EQ(check::Items(w[kFile2]), (Args{L"red.bmp"}));
  CHECK_EQ(check::Items(w[kFile3]), (Args{L"team.vol"}));
  CHECK_EQ(w.state().AppDir, kFolder);
  CHECK(w.state().SkinFile.empty() && w.state().VolumeSkinFile.empty() && w.state().VolumeFile.empty());
  CleanGameFolder();
}

TEST(window, option_buttons_are_grouped_by_their_frames) {
  OpenWindow w;
  check::Click(w[kOption2]);
  check::Click(w[kOption8]);
  CHECK(w.checked(kOption2) && w.checked(kOption8));
  check::Click(w[kOption3]);
  CHECK(!w.checked(kOption2) && w.checked(kOption3) && w.checked(kOption8));

  w.showPage(1);
  check::Click(w[kOption10]);
  CHECK(!w.checked(kOption9) && w.checked(kOption10));
  CHECK(!IsWindowEnabled(w[kText2]));
  CHECK(IsWindowEnabled(w[kDir3]) && IsWindowEnabled(w[kFile3]));
  // The Skins page's groups are untouched by the Volumes page's.
  CHECK(w.checked(kOption3) && w.checked(kOption8));
  check::Click(w[kOption9]);
  CHECK(IsWindowEnabled(w[kText2]));
  CHECK(!IsWindowEnabled(w[kDir3]) && !IsWindowEnabled(w[kFile3]));
}

TEST(window, pages_keep_their_state_across_tab_switches) {
  CleanGameFolder();
  check::WriteFile(kFolder + L"red.bmp", "BM");
  OpenWindow w;
  check::Type(w[kText1], L"red team");
  CHECK_EQ(w.state().Prefix, L"red team");
  check::Click(w[kOption1]);
  check::Click(w[kOption6]);
  check::Choose(w[kFile1], check::IndexOf(w[kFile1], L"red.bmp"));

  w.showPage(1);
  CHECK(IsWindowVisible(w[kCommand4]) && !IsWindowVisible(w[kCommand1]));
  check::Type(w[kText2], L"blue");
  check::Click(w[kOption10]);
  w.showPage(0);
  CHECK(IsWindowVisible(w[kCommand1]) && !IsWindowVisible(w[kCommand4]));
  CHECK_EQ(check::TextOf(w[kText1]), L"red team");
  CHECK(w.checked(kOption1) && w.checked(kOption6));
  CHECK_EQ(check::Selection(w[kFile1]), check::IndexOf(w[kFile1], L"red.bmp"));
  w.showPage(1);
  CHECK_EQ(check::TextOf(w[kText2]), L"blue");
  CHECK(w.checked(kOption10) && !IsWindowEnabled(w[kText2]));
  // Typing in the Volumes prefix box records nothing: its request reads the box itself.
  CHECK_EQ(w.state().Prefix, L"red team");
  CleanGameFolder();
}

TEST(window, controls_sit_where_they_must_at_any_dpi) {
  OpenWindow w;
  w.showPage(1);
  HWND main = w.hwnd();
  auto checkAt = [&](UINT dpi, bool clientExact = true) {
    RECT client{};
    GetClientRect(main, &client);
    CHECK(!clientExact || client.right == (dpi == 96 ? 442L : 663L));
    CHECK(!clientExact || client.bottom == (dpi == 96 ? 479L : 719L));
    const std::string at = " at " + std::to_string(dpi) + " dpi";
    CheckPlace(w[kSSTab1], main, dpi == 96 ? RECT{8, 8, 427, 465} : RECT{12, 12, 641, 698}, "SSTab1" + at);
    for (int page : {0, 1}) {
      w.showPage(page);
      for (const Shown& c : kShown)
        if (c.page == page)
          CheckPlace(w[c.id], w[kSSTab1], dpi == 96 ? c.at96 : c.at144, "control " + std::to_string(c.id) + at);
    }
    w.showPage(0);
    // The tab headers lie along the strip's top edge, above the page frames.
    RECT header{};
    TabCtrl_GetItemRect(w[kSSTab1], 1, &header);
    CHECK(header.top >= 0 && header.bottom <= (dpi == 96 ? 32 : 48));
  };
  checkAt(96);
  // Windows 8.1's answer, from the window's monitor, is the one Windows 10's gives.
  CHECK_EQ(MonitorDpi(main), DpiOf(main));
  // Each control has its font: MS Sans Serif, 8.25 pt (9.75 pt for the page frames), bold
  // for the frames and the Volumes page's "Prefix:"; the lists and prefix boxes, which show the
  // player's names, Microsoft Sans Serif of the same size.
  auto fontOf = [](HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
  };
  w.showPage(1);
  for (const Shown& c : kShown) {
    const LOGFONTW font = fontOf(w[c.id]);
    const bool names = c.caption == nullptr || c.id == kText1 || c.id == kText2;
    CHECK_EQ(std::wstring(font.lfFaceName), names ? L"Microsoft Sans Serif" : L"MS Sans Serif");
    if (font.lfHeight != -c.fontHeight || (font.lfWeight >= FW_BOLD) != c.bold)
      check::Fail(__FILE__, __LINE__, "control " + std::to_string(c.id) + " has the wrong font");
  }
  w.showPage(0);
  CHECK_EQ(fontOf(w[kSSTab1]).lfHeight, -13L);  // the tab captions: 9.75 pt bold
  CHECK_EQ(fontOf(w[kSSTab1]).lfWeight, static_cast<LONG>(FW_BOLD));
  // Whether each caption shows whole, at every DPI and whatever fonts the system has, is
  // the fonts suite's.
  // To a monitor of another scale as Windows 10 1703 and later move it. (Wine keeps the frame of
  // its own DPI, where the size given has the frame of the DPI asked, as Windows draws it.)
  ChangeDpiAsked(main, 144);
  checkAt(144, false);
  for (UINT dpi : {144u, 96u}) {
    RECT suggested{};
    GetWindowRect(main, &suggested);
    SendMessageW(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    checkAt(dpi);
  }
}

TEST(window, the_tab_key_visits_the_controls_in_order) {
  OpenWindow w;
  auto round = [&] {
    std::vector<HWND> visited;
    SetFocus(w[kSSTab1]);
    for (int i = 0; i < 20; ++i) {
      check::Key(GetFocus(), VK_TAB, 10);
      if (GetFocus() == w[kSSTab1]) break;
      visited.push_back(GetFocus());
    }
    return visited;
  };
  // An option group is one stop, at its selected option (its first while none is).
  CHECK_EQ(round(), (std::vector<HWND>{w[kDir1], w[kFile1], w[kOption4], w[kOption1], w[kCommand1], w[kCommand2],
                                       w[kCommand3], w[kText1]}));
  check::Click(w[kOption7]);
  CHECK_EQ(round()[2], w[kOption7]);

  w.showPage(1);
  CHECK_EQ(round(), (std::vector<HWND>{w[kCommand4], w[kCommand5], w[kCommand6], w[kDir2], w[kFile2], w[kOption9],
                                       w[kText2]}));
  check::Click(w[kOption10]);
  CHECK_EQ(round(), (std::vector<HWND>{w[kCommand4], w[kCommand5], w[kCommand6], w[kDir2], w[kFile2],
                                       w[kOption10], w[kDir3], w[kFile3]}));

  // The arrow keys move within a group and select as they go.
  w.showPage(0);
  SetFocus(w[kOption1]);
  check::Key(w[kOption1], VK_DOWN, 20);
  CHECK_EQ(GetFocus(), w[kOption2]);
  CHECK(w.checked(kOption2) && w.checked(kOption7));
}

namespace {

// The label Windows names an edit or a list after ("Providing the Name Property"): the first
// static text among its earlier siblings, the walk stopping at a control "with WS_GROUP |
// WS_TABSTOP" (read as either style, or as both: each must find the same); "" for none.
std::wstring LabelOf(HWND control, bool either) {
  for (HWND w = GetWindow(control, GW_HWNDPREV); w != nullptr; w = GetWindow(w, GW_HWNDPREV)) {
    wchar_t kind[8] = {};
    if (GetClassNameW(w, kind, 8) > 0 && lstrcmpiW(kind, L"Static") == 0) return check::TextOf(w);
    const LONG style = GetWindowLongW(w, GWL_STYLE) & (WS_GROUP | WS_TABSTOP);
    if (either ? style != 0 : style == (WS_GROUP | WS_TABSTOP)) return L"";
  }
  return L"";
}

std::vector<std::pair<HWND, std::wstring>> g_named;  // the names the service was asked to set

}  // namespace

// Every edit and list has a name that says what it holds: the label just before it by Windows'
// rule, or else one given through the annotation service when a client first asks for the
// control, and not before. Wine's service refuses and its accessible objects walk to no label:
// the rule is walked here, and the service's calls recorded.
TEST(window, every_edit_and_list_has_a_name_for_screen_readers) {
  const NameSetter service = ReplaceNameSetter([](HWND control, DWORD objectId, DWORD childId, const wchar_t* name) {
    g_named.emplace_back(objectId == static_cast<DWORD>(OBJID_CLIENT) && childId == CHILDID_SELF ? control : nullptr, name);
    return S_OK;
  });
  OpenWindow w;
  w.showPage(1);
  CHECK(g_named.empty());
  const std::tuple<ControlId, const wchar_t*, const wchar_t*> expected[] = {  // label, name set
      {kDir1, L"", L"Skin folders"}, {kFile1, L"", L"Skin files"},   {kText1, L"", L"Prefix"},
      {kDir2, L"", L"Skin folders"}, {kFile2, L"", L"Skin files"},   {kDir3, L"", L"Volume folders"},
      {kFile3, L"", L"Volume files"}, {kText2, L"Prefix:", nullptr}};
  for (auto [id, label, name] : expected) {
    CHECK_EQ(LabelOf(w[id], false), std::wstring(label));
    CHECK_EQ(LabelOf(w[id], true), std::wstring(label));
    g_named.clear();
    SendMessageW(w[id], WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
    SendMessageW(w[id], WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_WINDOW));
    CHECK(g_named == (name ? decltype(g_named){{w[id], name}} : decltype(g_named){}));
  }
  ReplaceNameSetter(service);
  // The system's service is reached (a wrong identifier would fail otherwise): Windows takes the
  // name, Wine's refuses it.
  const HRESULT named = SetAccessibleName(w[kText1], static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, L"Prefix");
  CHECK(named == S_OK || named == E_NOTIMPL);
}

TEST(window, enter_presses_continue_only_on_the_skins_page) {
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  SetFocus(w[kText1]);
  check::Key(w[kText1], VK_RETURN);
  CHECK_EQ(boxes.seen.size(), 4u);  // the Skins request ran: four warnings

  boxes.seen.clear();
  w.showPage(1);
  SetFocus(w[kText2]);
  check::Key(w[kText2], VK_RETURN);
  CHECK(boxes.seen.empty());
}

TEST(window, the_focus_comes_back_to_the_control_that_had_it) {
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  // After the four warnings of Continue, pressed with Enter in the prefix box, or clicked.
  SetFocus(w[kText1]);
  check::Key(w[kText1], VK_RETURN);
  CHECK_EQ(boxes.seen.size(), 4u);
  CHECK_EQ(GetFocus(), w[kText1]);
  check::Click(w[kCommand1]);
  check::Pump(50);
  CHECK_EQ(boxes.seen.size(), 8u);
  CHECK_EQ(GetFocus(), w[kCommand1]);

  // After another window, here the About window, was active; on the other page too. The
  // About window's "Close" has the focus whenever that window is active.
  w.showPage(1);
  check::Click(w[kOption10]);
  check::Click(w[kCommand5]);
  check::Pump(50);
  const HWND about = check::AboutShown(), close = check::AboutControl(kAboutCommand1);
  CHECK_EQ(GetFocus(), close);
  SetForegroundWindow(w.window.hwnd());
  check::Pump(50);
  CHECK_EQ(GetFocus(), w[kCommand5]);
  SetFocus(w[kOption10]);
  SetForegroundWindow(about);
  check::Pump(50);
  CHECK_EQ(GetFocus(), close);
  SetForegroundWindow(w.window.hwnd());
  check::Pump(50);
  CHECK_EQ(GetFocus(), w[kOption10]);

  // The control that had it is on the page hidden meanwhile: the tab strip has it.
  SetForegroundWindow(about);
  w.showPage(0);
  SetForegroundWindow(w.window.hwnd());
  check::Pump(50);
  CHECK_EQ(GetFocus(), w[kSSTab1]);
  check::Click(close);
}

TEST(flow, missing_choices_are_warned_about_in_real_message_boxes) {
  CleanGameFolder();
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  check::Click(w[kCommand1]);
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{check::Warning(check::kNoPalette), check::Warning(check::kNoArmor),
                                              check::Warning(check::kNoSkin),
                                              check::Warning(check::kNoPrefix)}));
  CHECK_EQ(w.state().Answer, 1);
  CHECK_EQ(w.state().SkinsOk, kFalse);
  CHECK(!check::FileExists(kFolder + L"makeskin.log"));
}

TEST(flow, a_skin_is_made_and_packed_by_the_real_tools) {
  CleanGameFolder();
  check::WriteFile(kFolder + L"red.bmp", "BM red picture");
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  boxes.answers = {IDYES};

  w.readySkin(kOption2, kOption7, L"red.bmp", L"my red");
  check::Click(w[kCommand1]);
  CHECK(boxes.seen.empty());  // nothing is asked before the skin exists
  w.waitForTools();

  const std::wstring skin = kFolder + L"my red.mfemale.bmp";
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{{L"Add my red.mfemale.bmp to my red.vol?", L"Success",
                                              MB_YESNO | MB_ICONINFORMATION}}));
  CHECK_EQ(w.state().Answer, 6);
  CHECK_EQ(w.state().PaletteArg, L" pal2 ");
  CHECK_EQ(w.state().ArmorFile, L"mfemale.bmp");
  CHECK_EQ(w.state().SkinsOk, kTrue);

  const auto maker = check::ReadStandinLog(kFolder + L"makeskin.log");
  REQUIRE(maker.size() == 1);
  const Args makerArgs{kFolder + L"makeskin.exe", L"pal2", kFolder + L"red.bmp", skin};
  CHECK_EQ(maker[0].crtArgs, makerArgs);
  CHECK_EQ(maker[0].shellArgs, makerArgs);
  CHECK_EQ(maker[0].workingFolder, WithoutSlash(kFolder));
  CHECK_EQ(maker[0].showWindow, static_cast<unsigned>(SW_SHOWMINIMIZED));
  CHECK(maker[0].startupFlags & STARTF_USESHOWWINDOW);
  CHECK(check::FileExists(skin));

  const auto packer = check::ReadStandinLog(kFolder + L"vt.log");
  REQUIRE(packer.size() == 1);
  const Args packerArgs{kFolder + L"vt.exe", L"-sp", kFolder + L"my red.vol", L"my red.mfemale.bmp"};
  CHECK_EQ(packer[0].crtArgs, packerArgs);
  CHECK_EQ(packer[0].shellArgs, packerArgs);
  CHECK_EQ(packer[0].commandLine, w.state().CommandLine);
  CHECK_EQ(packer[0].exitCode, 0);
  CHECK(check::FileExists(kFolder + L"my red.vol"));
  CleanGameFolder();
}

TEST(flow, tool_failures_are_told_and_nothing_is_lost) {
  CleanGameFolder();
  check::WriteFile(kFolder + L"red.bmp", "BM");
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  w.readySkin(kOption1, kOption4, L"red.bmp", L"red");
  const std::wstring skin = kFolder + L"red.larmor.bmp";

  // A skin maker that fails: no question, a warning saying why.
  SetEnvironmentVariableW(L"MAKESKIN_FAULT", L"exit=4");
  check::Click(w[kCommand1]);
  w.waitForTools();
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{{L"The skin " + skin + L" was not made: makeskin.exe ended with code 4..!",
                                              L"Oops..!", MB_OK | MB_ICONEXCLAMATION}}));

  // A skin maker that is not there: the window stays, with every choice.
  SetEnvironmentVariableW(L"MAKESKIN_FAULT", nullptr);
  const std::wstring tool = kFolder + L"makeskin.exe", away = kFolder + L"makeskin.away";
  REQUIRE(MoveFileW(tool.c_str(), away.c_str()));
  boxes.seen.clear();
  check::Click(w[kCommand1]);
  w.waitForTools();
  MoveFileW(away.c_str(), tool.c_str());
  REQUIRE(boxes.seen.size() == 1);
  CHECK(boxes.seen[0].text.starts_with(L"Unable to start " + tool + L": "));
  CHECK(boxes.seen[0].text.ends_with(L"..!"));
  CHECK(IsWindow(w.hwnd()));
  CHECK_EQ(w.state().Prefix, L"red");
  CHECK_EQ(w.state().SkinFile, kFolder + L"red.bmp");
  CHECK(w.checked(kOption1) && w.checked(kOption4));

  // A volume tool that fails: named with its volume and code.
  SetEnvironmentVariableW(L"VT_FAULT", L"exit=9");
  boxes.seen.clear();
  boxes.answers = {IDYES};
  check::Click(w[kCommand1]);
  w.waitForTools();
  REQUIRE(boxes.seen.size() == 2);
  CHECK_EQ(boxes.seen[1].text,
           L"The file red.larmor.bmp was not added to " + kFolder + L"red.vol: vt.exe ended with code 9..!");
  CleanGameFolder();
}

TEST(flow, the_pointer_shows_while_tools_are_at_work) {
  CleanGameFolder();
  check::WriteFile(kFolder + L"red.bmp", "BM");
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  boxes.answers = {IDNO};
  w.readySkin(kOption1, kOption4, L"red.bmp", L"red");
  const HCURSOR working = LoadCursorW(nullptr, IDC_APPSTARTING), text = LoadCursorW(nullptr, IDC_IBEAM);
  auto pointAt = [](HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    check::Pump(50);
  };
  pointAt(w[kCommand1]);
  CHECK(GetCursor() != working);
  {
    check::FaultVariable slow(L"MAKESKIN_FAULT", L"delay=1500");
    check::Click(w[kCommand1]);
  }
  CHECK_EQ(GetCursor(), working);  // at once, the mouse not moved
  pointAt(w[kText1]);
  CHECK_EQ(GetCursor(), text);
  pointAt(w[kFile1]);
  CHECK_EQ(GetCursor(), working);
  check::Click(w[kCommand2]);
  pointAt(check::AboutControl(kAboutLabel2));
  CHECK_EQ(GetCursor(), working);
  w.waitForTools();
  CHECK(GetCursor() != working);  // at once when the last run ends
  check::Click(check::AboutControl(kAboutCommand1));
  CleanGameFolder();
}

TEST(flow, folders_are_opened_and_files_picked_through_the_panes) {
  CleanGameFolder();
  const std::wstring pics = check::ScratchFolder(L"pics");
  check::WriteFile(pics + L"\\Blue.BMP", "BM");
  check::WriteFile(pics + L"\\notes.txt", "");
  CreateDirectoryW((pics + L"\\inner").c_str(), nullptr);
  OpenWindow w;

  // Down into scratch\pics: its pictures show, nothing is recorded yet.
  w.open(kDir1, L"scratch");
  w.open(kDir1, L"pics");
  CHECK_EQ(check::Items(w[kFile1]), (Args{L"Blue.BMP"}));
  CHECK(w.state().SkinFile.empty());
  check::Choose(w[kFile1], 0);
  CHECK_EQ(w.state().SkinFile, pics + L"\\Blue.BMP");

  // Moving on keeps the pick; the other panes are untouched.
  w.open(kDir1, L"inner");
  CHECK(check::Items(w[kFile1]).empty());
  CHECK_EQ(w.state().SkinFile, pics + L"\\Blue.BMP");
  CHECK(w.state().VolumeSkinFile.empty() && w.state().VolumeFile.empty());
  CHECK(check::Items(w[kFile2]).empty());  // still the program folder, which has no pictures
  check::RemoveTree(check::ProgramFolder() + L"scratch");
}

TEST(flow, the_lists_of_the_page_shown_follow_the_disk) {
  CleanGameFolder();
  check::WriteFile(kFolder + L"red.bmp", "BM red picture");
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  boxes.answers = {IDYES};
  w.showPage(1);  // made, then hidden
  w.readySkin(kOption1, kOption4, L"red.bmp", L"team");
  check::Click(w[kCommand1]);
  w.waitForTools();
  // The skin that Continue made shows in the Skins page's list by itself...
  REQUIRE(check::PumpUntil([&] { return check::IndexOf(w[kFile1], L"team.larmor.bmp") >= 0; }));
  CHECK_EQ(check::Selection(w[kFile1]), check::IndexOf(w[kFile1], L"red.bmp"));
  // ...not in the hidden page's lists, which nothing watches, until that page shows again.
  check::Pump(600);
  CHECK_EQ(check::IndexOf(w[kFile2], L"team.larmor.bmp"), -1);
  CHECK_EQ(check::IndexOf(w[kFile3], L"team.vol"), -1);
  w.showPage(1);
  REQUIRE(check::PumpUntil([&] {
    return check::IndexOf(w[kFile2], L"team.larmor.bmp") >= 0 && check::IndexOf(w[kFile3], L"team.vol") >= 0;
  }));
  // Updates choose and record nothing.
  CHECK_EQ(w.state().SkinFile, kFolder + L"red.bmp");
  CHECK(w.state().VolumeSkinFile.empty() && w.state().VolumeFile.empty());
  CHECK_EQ(check::Selection(w[kFile2]), LB_ERR);
  CleanGameFolder();
}

TEST(flow, shown_without_the_foreground_the_lists_hold_no_folder_until_it_comes) {
  // As when Windows refuses the foreground to a program started behind another one.
  const UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const UniqueHandle other(CreateThread(nullptr, 0, &HoldForeground, done.get(), 0, nullptr));
  REQUIRE(done && other && check::PumpUntil([] { return GetForegroundWindow() != nullptr; }));
  CountedWatcher watcher;
  Session session;
  std::wstring error;
  Quorvane window(session, PaneServices{&DiskReader(), &watcher, &WorkerJobs()});
  REQUIRE(MakeResultWindow() && window.Create(SW_SHOWNOACTIVATE, error));
  REQUIRE(GetForegroundWindow() != window.hwnd());
  CHECK_EQ(watcher.held, 0);
  SetForegroundWindow(window.hwnd());
  CHECK(check::PumpUntil([&] { return watcher.held == 1; }));
  SetEvent(done.get());
  WaitForSingleObject(other.get(), INFINITE);
}

TEST(about, both_buttons_show_one_window_that_reloads_after_close) {
  OpenWindow w;
  check::Click(w[kCommand2]);
  REQUIRE(check::AboutShown() != nullptr);
  const std::vector<HWND> first = check::TopWindows(L"QuorvaneAbout");
  REQUIRE(first.size() == 1);
  CHECK_EQ(check::TextOf(first[0]), L"About");
  CHECK(GetWindow(first[0], GW_OWNER) == nullptr);
  CHECK_EQ(GetFocus(), check::AboutControl(kAboutCommand1));
  CHECK_EQ(check::TextOf(check::AboutControl(kAboutLabel1)), L"Quorvane");
  const std::wstring alpha = check::TextOf(check::AboutControl(kAboutLabel4));
  CHECK(alpha.starts_with(L"Quorvane ALPHA Release. Please report bugs, suggestions, comments, and/or complaints to "));
  CHECK(alpha.ends_with(L"@quorvane.invalid"));
  CHECK_EQ(check::TextOf(check::AboutControl(kAboutCommand1)), L"Close");

  // The main window stays usable, and its other "About" shows the same window.
  check::Type(w[kText1], L"still typing");
  CHECK_EQ(w.state().Prefix, L"still typing");
  w.showPage(1);
  check::Click(w[kCommand5]);
  CHECK_EQ(check::TopWindows(L"QuorvaneAbout"), first);

  // "Close" unloads it; the next request loads it afresh, focus on "Close" again.
  check::Click(check::AboutControl(kAboutCommand1));
  CHECK(check::AboutShown() == nullptr);
  CHECK(check::TopWindows(L"QuorvaneAbout").empty());
  check::Click(w[kCommand5]);
  REQUIRE(check::AboutShown() != nullptr);
  CHECK_EQ(check::TopWindows(L"QuorvaneAbout").size(), 1u);
  CHECK_EQ(GetFocus(), check::AboutControl(kAboutCommand1));
  CHECK_EQ(check::TextOf(check::AboutControl(kAboutLabel4)), alpha);
  // Enter presses "Close", its default button.
  check::Key(check::AboutControl(kAboutCommand1), VK_RETURN);
  CHECK(check::AboutShown() == nullptr);
}

TEST(about, controls_sit_where_they_must) {
  OpenWindow w;
  check::Click(w[kCommand2]);
  HWND window = check::TopWindows(L"QuorvaneAbout").at(0);
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  CHECK((style & WS_SYSMENU) && !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)));
  CHECK(GetClassLongPtrW(window, GCLP_HICON) != 0 && GetClassLongPtrW(window, GCLP_HICONSM) != 0);
  RECT client{};
  GetClientRect(window, &client);
  CHECK_EQ(client.right, 248L);
  CHECK_EQ(client.bottom, 210L);
  // At 96 dpi, in the window: {left, top, width, height}; whether the label wraps.
  const struct {
    ControlId id;
    RECT at96;
    bool wraps;
  } shown[] = {{kAboutFrame1, {16, 8, 217, 33}, false}, {kAboutLabel1, {48, 16, 156, 20}, false},
               {kAboutLabel3, {40, 48, 172, 13}, false}, {kAboutLabel4, {16, 72, 217, 41}, true},
               {kAboutLabel5, {32, 120, 183, 13}, false}, {kAboutLabel2, {8, 152, 238, 13}, false},
               {kAboutCommand1, {24, 176, 201, 25}, false}};
  for (const auto& c : shown) {
    const HWND control = check::AboutControl(c.id);
    REQUIRE(control != nullptr);
    CheckPlace(control, window, c.at96, "About control " + std::to_string(c.id));
    // Only "Close" takes the focus.
    CHECK_EQ((GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP) != 0, c.id == kAboutCommand1);
    // Every text is seen whole: the one-line labels fit their width, the alpha-release text
    // wraps within its three lines.
    if (c.id == kAboutFrame1 || c.id == kAboutCommand1) continue;
    HDC dc = GetDC(control);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT text{0, 0, c.at96.right, 0};
    const std::wstring words = check::TextOf(control);
    DrawTextW(dc, words.c_str(), -1, &text, DT_CALCRECT | DT_NOPREFIX | (c.wraps ? DT_WORDBREAK : DT_SINGLELINE));
    ReleaseDC(control, dc);
    if (text.right > c.at96.right || text.bottom > c.at96.bottom)
      check::Fail(__FILE__, __LINE__, "About control " + std::to_string(c.id) + " does not show all of " +
                                          check::Show(words));
  }
  // To a monitor of another scale, as Windows 10 1703 and later move it.
  ChangeDpiAsked(window, 144);
  CheckPlace(check::AboutControl(kAboutCommand1), window, {36, 264, 302, 38}, "Close at 144 dpi");
}

TEST(about, outlives_the_main_window) {
  auto w = std::make_unique<OpenWindow>();
  check::Click((*w)[kCommand2]);
  SendMessageW(w->hwnd(), WM_CLOSE, 0, 0);
  CHECK(!IsWindow(w->hwnd()) || w->hwnd() == nullptr);
  CHECK(check::AboutShown() != nullptr);
  CHECK(!QuitPosted());  // the program goes on while a window is open
  check::Click(check::AboutControl(kAboutCommand1));
  CHECK(QuitPosted());  // and ends with its last window
}

TEST(exit, no_keeps_everything_and_yes_closes) {
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  check::Type(w[kText1], L"red");
  check::Click(w[kOption2]);
  const SeenBox question = check::ExitQuestion();

  boxes.answers = {IDNO};
  check::Click(w[kCommand3]);
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{question}));
  CHECK_EQ(w.state().Answer, 7);
  CHECK(IsWindow(w.hwnd()));
  CHECK_EQ(check::TextOf(w[kText1]), L"red");
  CHECK(w.checked(kOption2));

  // From the Volumes page, with the About window open: Yes closes only the main window.
  check::Click(w[kCommand2]);
  w.showPage(1);
  boxes.answers = {IDYES};
  HWND main = w.hwnd();
  check::Click(w[kCommand6]);
  CHECK_EQ(boxes.seen.size(), 2u);
  CHECK(!IsWindow(main));
  CHECK(check::AboutShown() != nullptr);
  check::Click(check::AboutControl(kAboutCommand1));
  CHECK(QuitPosted());
}

TEST(exit, the_close_box_asks_nothing) {
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  check::Click(w[kCommand1]);  // four warnings: Answer becomes 1
  boxes.seen.clear();
  HWND main = w.hwnd();
  SendMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  CHECK(!IsWindow(main));
  CHECK(boxes.seen.empty());
  CHECK_EQ(w.state().Answer, 1);
  CHECK(QuitPosted());
}

TEST(exit, runs_waiting_their_turn_start_after_the_window_closes) {
  CleanGameFolder();
  check::WriteFile(kFolder + L"red.bmp", "BM");
  auto w = std::make_unique<OpenWindow>();
  check::MessageBoxAnswerer boxes;
  boxes.answers = {IDYES, IDYES};
  // Two skins of one name, and three packings into one volume: the first of each works a
  // while, the others wait their turn; the later packings fail.
  check::Click((*w)[kOption1]);
  check::Click((*w)[kOption4]);
  check::Choose((*w)[kFile1], check::IndexOf((*w)[kFile1], L"red.bmp"));
  check::Type((*w)[kText1], L"red");
  SetEnvironmentVariableW(L"MAKESKIN_FAULT", L"delay=1000");
  check::Click((*w)[kCommand1]);
  check::Click((*w)[kCommand1]);
  w->showPage(1);
  check::Choose((*w)[kFile2], check::IndexOf((*w)[kFile2], L"red.bmp"));
  check::Type((*w)[kText2], L"team");
  SetEnvironmentVariableW(L"VT_FAULT", L"delay=1000");
  check::Click((*w)[kCommand4]);
  SetEnvironmentVariableW(L"VT_FAULT", L"exit=5");
  check::Click((*w)[kCommand4]);
  check::Click((*w)[kCommand4]);
  REQUIRE(boxes.seen.empty());

  bool quit = false;
  check::SetMessageFilter([&quit](MSG& msg) {
    if (msg.message == WM_QUIT) quit = true;
    return msg.message == WM_QUIT;
  });
  SendMessageW(w->window.hwnd(), WM_CLOSE, 0, 0);
  CHECK(w->window.hwnd() == nullptr);
  check::Pump(200);
  CHECK(!quit);  // held open while runs wait
  // The program ends once none waits, without waiting for the last ones to end.
  REQUIRE(check::PumpUntil([&quit] { return quit; }, 30000));
  w.reset();  // as the program ends: the last runs go on by themselves
  REQUIRE(check::PumpUntil([] { return check::ReadStandinLog(kFolder + L"vt.log").size() == 3 &&
                                       check::ReadStandinLog(kFolder + L"makeskin.log").size() == 2; }));
  // The failed packing was told, with nobody's window to own it; the skins were made, and no
  // question was asked about them.
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{{L"The file " + kFolder + L"red.bmp was not added to " + kFolder +
                                                  L"team.vol: vt.exe ended with code 5..!",
                                              L"Oops..!", MB_OK | MB_ICONEXCLAMATION}}));
  CHECK(check::FileExists(kFolder + L"red.larmor.bmp"));
  CleanGameFolder();
}

TEST(flow, volumes_are_packed_by_the_real_tool) {
  CleanGameFolder();
  check::WriteFile(kFolder + L"blue.bmp", "BM blue");
  check::WriteFile(kFolder + L"team.vol", "");
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  w.showPage(1);

  // "New Volume" with a prefix of two words: one argument.
  check::Choose(w[kFile2], check::IndexOf(w[kFile2], L"blue.bmp"));
  check::Type(w[kText2], L"blue team");
  check::Click(w[kCommand4]);
  w.waitForTools();
  CHECK(boxes.seen.empty());
  auto runs = check::ReadStandinLog(kFolder + L"vt.log");
  REQUIRE(runs.size() == 1);
  CHECK_EQ(runs[0].crtArgs, (Args{kFolder + L"vt.exe", L"-sp", kFolder + L"blue team.vol", kFolder + L"blue.bmp"}));
  CHECK_EQ(runs[0].commandLine, w.state().CommandLine);
  CHECK_EQ(w.state().VolumesOk, kTrue);

  // "Existing Volume" with nothing picked yet: the volume-file warning, then nothing else.
  check::Click(w[kOption10]);
  check::Click(w[kCommand4]);
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{check::Warning(check::kNoVolumeFile)}));
  CHECK_EQ(w.state().VolumesOk, kFalse);
  check::Choose(w[kFile3], check::IndexOf(w[kFile3], L"team.vol"));
  check::Click(w[kCommand4]);
  w.waitForTools();
  runs = check::ReadStandinLog(kFolder + L"vt.log");
  REQUIRE(runs.size() == 2);
  CHECK_EQ(runs[1].shellArgs, (Args{kFolder + L"vt.exe", L"-sp", kFolder + L"team.vol", kFolder + L"blue.bmp"}));
  // Back to "New Volume": the picked volume stays recorded but plays no part.
  check::Click(w[kOption9]);
  CHECK_EQ(w.state().VolumeFile, kFolder + L"team.vol");
  CleanGameFolder();
}

TEST(window, the_volumes_page_made_on_first_use_starts_as_if_made_with_the_window) {
  CleanGameFolder();
  check::WriteFile(kFolder + L"red.bmp", "BM");
  OpenWindow w;
  check::Choose(w[kFile1], check::IndexOf(w[kFile1], L"red.bmp"));
  check::Type(w[kText1], L"red");
  const QuorvaneCode before = w.state();
  CHECK(w[kCommand1] != nullptr && w[kCommand4] == nullptr);  // not made yet
  // A skin and a volume made while the window is open, before the page is first shown.
  check::WriteFile(kFolder + L"new.bmp", "BM");
  check::WriteFile(kFolder + L"team.vol", "");

  // Ctrl+Tab, as a player switches pages: the window reads Ctrl from the key state.
  check::MessageBoxAnswerer boxes;
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] |= 0x80;
  SetKeyboardState(keys);
  SetFocus(w[kSSTab1]);
  check::Key(w[kSSTab1], VK_TAB, 20);
  keys[VK_CONTROL] &= 0x7F;
  SetKeyboardState(keys);
  CHECK_EQ(TabCtrl_GetCurSel(w[kSSTab1]), 1);
  CHECK(IsWindowVisible(w[kCommand4]) && !IsWindowVisible(w[kCommand1]));
  CHECK(w.checked(kOption9) && !w.checked(kOption10));
  CHECK(IsWindowEnabled(w[kText2]) && !IsWindowEnabled(w[kDir3]) && !IsWindowEnabled(w[kFile3]));
  CHECK_EQ(check::Items(w[kFile2]), (Args{L"new.bmp", L"red.bmp"}));
  CHECK_EQ(check::Items(w[kFile3]), (Args{L"team.vol"}));
  CHECK_EQ(check::TextOf(w[kText2]), L"");
  CHECK(boxes.seen.empty());
  const QuorvaneCode& after = w.state();
  CHECK(after.SkinFile == before.SkinFile && after.Prefix == before.Prefix && after.AppDir == before.AppDir);
  CHECK(after.VolumeSkinFile.empty() && after.VolumeFile.empty() && after.Answer == 0);

  // Its first request: the new-volume checks, then the tool.
  check::Click(w[kCommand4]);
  CHECK_EQ(boxes.seen.size(), 2u);  // no prefix, no skin
  check::Choose(w[kFile2], check::IndexOf(w[kFile2], L"new.bmp"));
  check::Type(w[kText2], L"late");
  check::Click(w[kCommand4]);
  w.waitForTools();
  const auto runs = check::ReadStandinLog(kFolder + L"vt.log");
  REQUIRE(runs.size() == 1);
  CHECK_EQ(runs[0].crtArgs, (Args{kFolder + L"vt.exe", L"-sp", kFolder + L"late.vol", kFolder + L"new.bmp"}));
  CleanGameFolder();
}

// Every caption whole, at its size and weight, at each DPI, whatever fonts the system has
// (run in the build's prefix, which has Wine's bitmap fonts, and in one without them).
TEST(fonts, every_caption_shows_whole_at_its_size_and_weight) {
  OpenWindow w;
  w.showPage(1);
  check::Click(w[kCommand5]);
  HWND about = check::AboutShown();
  REQUIRE(about != nullptr);
  const std::pair<std::span<const ControlDef>, std::function<HWND(ControlId)>> tables[] = {
      {SkinsPageControls(), [&](ControlId id) { return w[id]; }},
      {VolumesPageControls(), [&](ControlId id) { return w[id]; }},
      {AboutControls(), &check::AboutControl}};
  for (UINT dpi : {96u, 144u, 192u}) {
    for (HWND top : {w.hwnd(), about}) {
      RECT suggested{};
      GetWindowRect(top, &suggested);
      SendMessageW(top, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    }
    std::map<std::string, int> seen;  // what each table size came out as, for the log
    auto checkFont = [&](HWND control, const std::string& name, Kind kind, FontId id, const std::wstring& text,
                         SIZE room) {
      const FontSpec& spec = kFonts[static_cast<size_t>(id)];
      const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
      LOGFONTW asked{};
      REQUIRE(GetObjectW(font, sizeof asked, &asked) != 0);
      const int height = -asked.lfHeight, full = CharHeight(spec.hundredthsOfPoint, dpi);
      const RealisedFont got = Realise(font);
      HDC dc = GetDC(control);
      const HGDIOBJ before = SelectObject(dc, font);
      const bool fits = TextFits(dc, kind, text, room, dpi);
      SelectObject(dc, before);
      ReleaseDC(control, dc);
      const std::string where = name + " at " + std::to_string(dpi) + " dpi";
      if (!fits) check::Fail(__FILE__, __LINE__, where + ": " + check::Show(text) + " is cut off");
      if (height > full || height < CharHeight(kSmallestHundredths, dpi))
        check::Fail(__FILE__, __LINE__, where + ": asked for " + std::to_string(height) + " px");
      // The bitmap face is never scaled (which Wine does all the same, by whole multiples).
      if (std::wstring(asked.lfFaceName) == L"MS Sans Serif" && asked.lfQuality != PROOF_QUALITY)
        check::Fail(__FILE__, __LINE__, where + ": the bitmap face may be scaled");
      if (std::abs(got.charHeight - height) > 1)
        check::Fail(__FILE__, __LINE__, where + ": " + std::to_string(got.charHeight) + " px for " +
                                            std::to_string(height) + " px of " + check::Utf8(got.face));
      if ((got.weight >= FW_SEMIBOLD) != spec.bold)
        check::Fail(__FILE__, __LINE__, where + ": weight " + std::to_string(got.weight));
      ++seen[check::Utf8(got.face) + " " + std::to_string(got.charHeight) + " px" + (spec.bold ? " bold" : "") +
             (height < full ? " for " + name : "")];
    };
    for (const auto& [table, controlOf] : tables) {
      for (const ControlDef& c : table) {
        if (c.kind == Kind::kFolderList || c.kind == Kind::kFileList || c.kind == Kind::kTextBox) continue;
        const RECT r = Pixels(Absolute(table, c), dpi);
        HWND control = controlOf(c.id);
        checkFont(control, check::Utf8(c.name), c.kind, c.font, check::TextOf(control),
                  SIZE{r.right - r.left, r.bottom - r.top});
      }
    }
    // The tab captions: their headers stay above the pages' frames.
    HWND tab = w[kSSTab1];
    RECT header{};
    TabCtrl_GetItemRect(tab, 1, &header);
    CHECK(header.bottom <= Pixels(480, dpi));
    checkFont(tab, "SSTab1", Kind::kLabel, FontId::kLargeBold, L"Volumes",
              SIZE{header.right - header.left, header.bottom - header.top});
    std::printf("  %u dpi:", dpi);
    for (const auto& [font, count] : seen) std::printf(" %s x%d;", font.c_str(), count);
    std::printf("\n");
  }
}

namespace {

// The letters of `text` that `font` draws as it draws one that no font has: the missing-glyph
// box. Each is drawn alone, through the system's font linking as the controls draw it
// (GetGlyphIndicesW sees the face alone, not the fonts linked to it).
std::wstring MissingLetters(HFONT font, const std::wstring& text) {
  constexpr int kSide = 64;
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, kSide, -kSide, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  REQUIRE(dc != nullptr && bitmap != nullptr);
  const HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  const HGDIOBJ oldFont = SelectObject(dc, font);
  auto draw = [&](wchar_t letter) {
    PatBlt(dc, 0, 0, kSide, kSide, WHITENESS);
    TextOutW(dc, 4, 4, &letter, 1);
    GdiFlush();
    return std::string(static_cast<const char*>(bits), kSide * kSide * 4);
  };
  const std::string missing = draw(L'\xFDD0');  // a noncharacter: in no font
  std::wstring missed;
  for (wchar_t letter : text)
    if (draw(letter) == missing) missed += letter;
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return missed;
}

}  // namespace

// The player's names, in whatever script, in the lists and the prefix boxes: a TrueType face
// (the kind Windows links to the fonts of other scripts) at the captions' regular size, with no
// letter drawn as the missing-glyph box.
TEST(fonts, names_in_every_script_show_in_the_lists_and_prefix_boxes) {
  CleanGameFolder();
  for (const std::wstring& name : check::kScriptPictures) check::WriteFile(kFolder + name, "BM");
  check::WriteFile(kFolder + check::kScriptVolume, "");
  REQUIRE(check::MakeFolder(kFolder + check::kScriptFolder));
  OpenWindow w;
  w.showPage(1);
  check::Type(w[kText1], L"\u76ae\u80a4 \u03a9 \u042f");
  check::Type(w[kText2], L"\u0395\u03bb\u03bb\u03ac\u03b4\u03b1");
  CHECK_EQ(check::Items(w[kFile1]), check::kScriptPictures);
  CHECK_EQ(check::Items(w[kFile3]), (Args{check::kScriptVolume}));
  CHECK(check::IndexOf(w[kDir1], check::kScriptFolder) >= 0);

  for (UINT dpi : {96u, 144u, 192u}) {
    RECT suggested{};
    GetWindowRect(w.hwnd(), &suggested);
    SendMessageW(w.hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    const int height = CharHeight(kFonts[static_cast<size_t>(FontId::kRegular)].hundredthsOfPoint, dpi);
    for (ControlId id : {kDir1, kFile1, kText1, kDir2, kFile2, kDir3, kFile3, kText2}) {
      const std::string where = "control " + std::to_string(id) + " at " + std::to_string(dpi) + " dpi";
      const auto font = reinterpret_cast<HFONT>(SendMessageW(w[id], WM_GETFONT, 0, 0));
      const RealisedFont got = Realise(font);
      if (!got.scalable || std::abs(got.charHeight - height) > 1 || got.weight >= FW_SEMIBOLD)
        check::Fail(__FILE__, __LINE__,
                    where + ": " + check::Utf8(got.face) + " " + std::to_string(got.charHeight) +
                        " px, weight " + std::to_string(got.weight));
      const Args texts = id == kText1 || id == kText2 ? Args{check::TextOf(w[id])} : check::Items(w[id]);
      for (const std::wstring& text : texts)
        if (const std::wstring missed = MissingLetters(font, text); !missed.empty())
          check::Fail(__FILE__, __LINE__,
                      where + ": " + check::Show(missed) + " of " + check::Show(text) +
                          " shown as boxes in " + check::Utf8(got.face));
    }
  }
  CleanGameFolder();
  check::RemoveTree(kFolder + check::kScriptFolder);
}

namespace {

// The preview window, when it shows; and what it says.
std::wstring ShownPreview() {
  const HWND preview = check::TopWindow(L"QuorvanePreview");
  return preview != nullptr ? check::TextOf(preview) : L"";
}

}  // namespace

TEST(preview, pictures_show_beside_their_list_and_broken_files_say_so) {
  CleanGameFolder();
  check::WriteFile(kFolder + L"red.bmp", check::Bitmap24(64, 32));
  check::WriteFile(kFolder + L"wide.bmp", check::Bitmap24(400, 100));
  check::WriteFile(kFolder + L"empty.bmp", "");
  check::WriteFile(kFolder + L"huge.bmp", check::Bitmap24(4, 4, 100000, 100000));
  check::WriteFile(kFolder + L"notes.bmp", "just some words");
  check::WriteFile(kFolder + L"short.bmp", check::Bitmap24(64, 64).substr(0, 6000));
  OpenWindow w;
  const HWND list = w[kFile1];

  // As the selection moves while the list has the focus; the window answers meanwhile.
  SetFocus(list);
  auto choose = [&](const wchar_t* name) {
    check::Choose(list, check::IndexOf(list, name));
    check::PumpUntil([name] { return ShownPreview().starts_with(name); }, 10000);
    return ShownPreview();
  };
  CHECK_EQ(choose(L"red.bmp"), L"red.bmp: 64 \u00d7 32, 24-bit, 6 KB");
  CHECK_EQ(choose(L"wide.bmp"), L"wide.bmp: 400 \u00d7 100, 24-bit, 117 KB");
  for (const wchar_t* broken : {L"empty.bmp", L"huge.bmp", L"notes.bmp", L"short.bmp"})
    CHECK_EQ(choose(broken), std::wstring(broken) + L": cannot be shown");
  // Beside the list, without taking the focus or the activation.
  const HWND preview = check::TopWindow(L"QuorvanePreview");
  RECT shown{}, beside{};
  GetWindowRect(preview, &shown);
  GetWindowRect(list, &beside);
  CHECK(shown.left >= beside.right || shown.right <= beside.left);
  CHECK_EQ(GetFocus(), list);
  CHECK_EQ(GetActiveWindow(), w.window.hwnd());
  SetFocus(w[kText1]);
  check::Pump(20);
  CHECK_EQ(ShownPreview(), L"");

  // The pointer resting on a name; gone when it leaves the list.
  RECT line{};
  SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(check::IndexOf(list, L"red.bmp")), reinterpret_cast<LPARAM>(&line));
  MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&line), 2);
  SetCursorPos((line.left + line.right) / 2, (line.top + line.bottom) / 2);
  CHECK(check::PumpUntil([] { return ShownPreview().starts_with(L"red.bmp"); }, 5000));
  RECT away{};
  GetWindowRect(w[kCommand3], &away);
  SetCursorPos((away.left + away.right) / 2, (away.top + away.bottom) / 2);
  CHECK(check::PumpUntil([] { return ShownPreview().empty(); }, 5000));

  // And when another program is activated, or the page changes.
  SetFocus(list);
  choose(L"red.bmp");
  SendMessageW(w.window.hwnd(), WM_ACTIVATEAPP, FALSE, 0);
  CHECK_EQ(ShownPreview(), L"");
  choose(L"wide.bmp");
  w.showPage(1);
  CHECK_EQ(ShownPreview(), L"");
  CleanGameFolder();
}

TEST(preview, follows_the_line_under_the_pointer_when_another_program_changes_the_list) {
  CleanGameFolder();
  for (const wchar_t* name : {L"a.bmp", L"b.bmp", L"c.bmp"}) check::WriteFile(kFolder + name, check::Bitmap24(8, 8));
  OpenWindow w;
  const HWND list = w[kFile1];
  RECT line{};
  SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(check::IndexOf(list, L"b.bmp")), reinterpret_cast<LPARAM>(&line));
  MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&line), 2);
  SetCursorPos((line.left + line.right) / 2, (line.top + line.bottom) / 2);
  REQUIRE(check::PumpUntil([] { return ShownPreview().starts_with(L"b.bmp"); }, 5000));
  // Its picture deleted: the line under the pointer is the next picture's; then none.
  REQUIRE(DeleteFileW((kFolder + L"b.bmp").c_str()));
  CHECK(check::PumpUntil([] { return ShownPreview().starts_with(L"c.bmp"); }, 5000));
  REQUIRE(DeleteFileW((kFolder + L"c.bmp").c_str()));
  CHECK(check::PumpUntil([] { return ShownPreview().empty(); }, 5000));
  CleanGameFolder();
}

TEST(drops, pictures_volumes_and_folders_are_picked_as_a_click_would) {
  CleanGameFolder();
  const std::wstring pics = check::ScratchFolder(L"dropped \u00e9t\u00e9");
  const std::wstring deep = pics + L"\\" + std::wstring(120, L'd') + L"\\" + std::wstring(120, L'e');
  REQUIRE(check::MakeFolder(pics + L"\\" + std::wstring(120, L'd')) && check::MakeFolder(deep));
  const std::wstring picture = deep + L"\\R\u00f6d \u03b1.bmp";  // past MAX_PATH
  check::WriteFile(picture, check::Bitmap24(4, 4));
  check::WriteFile(pics + L"\\team.vol", "");
  check::WriteFile(pics + L"\\notes.txt", "");
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  REQUIRE(check::PumpUntil([&] { return (GetWindowLongW(w.window.hwnd(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0; }));

  auto chosen = [](HWND list) {
    check::PumpUntil([list] { return check::Selection(list) >= 0; }, 5000);
    const LRESULT at = check::Selection(list);
    return at < 0 ? std::wstring() : check::Items(list)[static_cast<size_t>(at)];
  };
  // A picture on the Skins page: its folder, its line, and the pick a click records.
  check::Drop(w.window.hwnd(), {picture});
  CHECK_EQ(chosen(w[kFile1]), std::wstring(L"R\u00f6d \u03b1.bmp"));
  CHECK_EQ(w.state().SkinFile, picture);
  // A folder opens in the skin pane of the page it lands on.
  check::Drop(w.window.hwnd(), {pics});
  CHECK(check::PumpUntil([&] { return check::IndexOf(w[kFile1], L"R\u00f6d \u03b1.bmp") < 0; }));
  CHECK_EQ(w.state().SkinFile, picture);

  // Refused, each with its warning and nothing changed: several at once, a volume on the Skins
  // page, a file of another kind, a file on another drive.
  const std::wstring otherDrive = RootOf(kFolder) == L"C:\\" ? L"Z:\\" : L"C:\\windows";
  const std::vector<std::vector<std::wstring>> refused{
      {picture, pics + L"\\team.vol"}, {pics + L"\\team.vol"}, {pics + L"\\notes.txt"}, {otherDrive}};
  for (const auto& drop : refused) check::Drop(w.window.hwnd(), drop);
  REQUIRE(boxes.seen.size() == 4);
  for (const SeenBox& box : boxes.seen) {
    CHECK_EQ(box.title, std::wstring(L"Oops..!"));
    CHECK_EQ(box.style, UINT{MB_OK | MB_ICONEXCLAMATION});
    CHECK(box.text.ends_with(L"..!"));
  }
  CHECK(boxes.seen[3].text.find(RootOf(kFolder)) != std::wstring::npos);
  CHECK_EQ(w.state().Answer, 1);
  CHECK_EQ(w.state().SkinFile, picture);

  // On the Volumes page: a volume switches to "Existing Volume" and is picked in its pane; a
  // picture goes to the skin pane.
  w.showPage(1);
  check::Drop(w.window.hwnd(), {pics + L"\\team.vol"});
  CHECK(w.checked(kOption10) && !w.checked(kOption9));
  CHECK(!IsWindowEnabled(w[kText2]) && IsWindowEnabled(w[kFile3]));
  CHECK_EQ(chosen(w[kFile3]), std::wstring(L"team.vol"));
  CHECK_EQ(w.state().VolumeFile, pics + L"\\team.vol");
  check::Drop(w.window.hwnd(), {picture});
  CHECK_EQ(chosen(w[kFile2]), std::wstring(L"R\u00f6d \u03b1.bmp"));
  CHECK_EQ(w.state().VolumeSkinFile, picture);
  CHECK(!check::FileExists(kFolder + L"vt.log") && !check::FileExists(kFolder + L"makeskin.log"));
  CHECK_EQ(boxes.seen.size(), 4u);
  check::Drop(w.window.hwnd(), {});
  CHECK_EQ(boxes.seen.back(), check::Warning(L"Unable to read what was dropped. Drop it again from its folder..!"));
  check::RemoveTree(pics);
}

namespace {

// Deletes a file the moment a list is told to empty itself, which a file list does when it
// moves to a folder and before it reads it: the file is there for the drop's checks, and gone
// for the read.
HHOOK g_vanishHook = nullptr;
HWND g_vanishList = nullptr;
std::wstring g_vanishFile;
LRESULT CALLBACK VanishOnReset(int code, WPARAM wParam, LPARAM lParam) {
  const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && message->hwnd == g_vanishList && message->message == LB_RESETCONTENT &&
      !g_vanishFile.empty()) {
    DeleteFileW(g_vanishFile.c_str());
    g_vanishFile.clear();
  }
  return CallNextHookEx(g_vanishHook, code, wParam, lParam);
}

}  // namespace

TEST(drops, a_picture_no_list_would_show_is_never_left_to_an_earlier_pick) {
  CleanGameFolder();
  const std::wstring pics = check::ScratchFolder(L"hidden drops");
  for (const wchar_t* name : {L"\\old.bmp", L"\\hidden.bmp", L"\\system.bmp", L"\\gone.bmp", L"\\shown picture.bmp"})
    check::WriteFile(pics + name, check::Bitmap24(4, 4));
  check::WriteFile(pics + L"\\team.vol", "");
  REQUIRE(SetFileAttributesW((pics + L"\\hidden.bmp").c_str(), FILE_ATTRIBUTE_HIDDEN));
  REQUIRE(SetFileAttributesW((pics + L"\\system.bmp").c_str(), FILE_ATTRIBUTE_SYSTEM));
  REQUIRE(SetFileAttributesW((pics + L"\\team.vol").c_str(), FILE_ATTRIBUTE_HIDDEN));
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  check::Drop(w.window.hwnd(), {pics + L"\\old.bmp"});
  REQUIRE(check::PumpUntil([&] { return w.state().SkinFile == pics + L"\\old.bmp"; }));
  w.open(kDir1, WithoutSlash(RootOf(kFolder)));  // somewhere else, so that a drop moves the pane

  // Hidden and system files: refused before anything moves, as their lists would never show
  // them; a hidden volume likewise on the Volumes page.
  const std::vector<std::wstring> before = check::Items(w[kDir1]);
  for (const wchar_t* name : {L"\\hidden.bmp", L"\\system.bmp"}) check::Drop(w.window.hwnd(), {pics + name});
  const SeenBox picture = check::Warning(
      L"You must drop a picture that is neither hidden nor a system file in order to complete this operation..!");
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{picture, picture}));
  CHECK_EQ(check::Items(w[kDir1]), before);
  CHECK_EQ(w.state().SkinFile, pics + L"\\old.bmp");
  CHECK_EQ(w.state().Answer, IDOK);
  w.showPage(1);
  check::Drop(w.window.hwnd(), {pics + L"\\team.vol"});
  REQUIRE(boxes.seen.size() == 3);
  CHECK_EQ(boxes.seen[2], check::Warning(L"You must drop a volume that is neither hidden nor a system file in "
                                         L"order to complete this operation..!"));
  CHECK(w.checked(kOption9));
  CHECK(w.state().VolumeFile.empty());
  w.showPage(0);

  // A picture gone by the time its folder is read: the pick stays, and the player is told which.
  boxes.seen.clear();
  g_vanishList = w[kFile1];
  g_vanishFile = pics + L"\\gone.bmp";
  g_vanishHook = SetWindowsHookExW(WH_CALLWNDPROC, &VanishOnReset, nullptr, GetCurrentThreadId());
  check::Drop(w.window.hwnd(), {pics + L"\\gone.bmp"});
  CHECK(check::PumpUntil([&] { return !boxes.seen.empty(); }, 5000));
  UnhookWindowsHookEx(g_vanishHook);
  CHECK(g_vanishFile.empty());
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{check::Warning(L"Unable to pick " + pics + L"\\gone.bmp: it is no longer there. "
                                                            L"The picture " + pics + L"\\old.bmp stays picked..!")}));
  CHECK_EQ(w.state().SkinFile, pics + L"\\old.bmp");

  // Named by its short alias, a picture is picked by the name its list shows.
  const std::wstring shown = pics + L"\\shown picture.bmp";
  std::wstring alias(GetShortPathNameW(shown.c_str(), nullptr, 0), L'\0');
  alias.resize(GetShortPathNameW(shown.c_str(), alias.data(), static_cast<DWORD>(alias.size())));
  check::Drop(w.window.hwnd(), {alias});
  CHECK(check::PumpUntil([&] { return w.state().SkinFile == shown; }, 5000));
  CHECK_EQ(boxes.seen.size(), size_t{1});
  check::RemoveTree(pics);
}
