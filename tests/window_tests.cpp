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

#include "tests/support/main_window.h"

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

}  // namespace

TEST(window, opens_in_its_initial_state) {
  CleanGameFolder();
  check::WriteFile(kFolder + L"red.bmp", "BM");
  check::WriteFile(kFolder + L"team.vol", "");
  OpenWindow w;
  HWND main = w.hwnd();

  CHECK_EQ(check::TextOf(main), L"Quorvane");
  const LONG style = GetWindowLongW(main, GWL_STYLE);
  CHECK((style & WS_SYSMENU) && (style & WS_CAPTION));
  CHECK(!(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)));
  CHECK(SendMessageW(main, WM_GETICON, ICON_BIG, 0) != 0);

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
  auto pages = [&](bool skins) {
    for (auto [table, visible] : {std::pair{SkinsPageControls(), skins}, {VolumesPageControls(), !skins}}) {
      for (const ControlDef& c : table) {
        HWND control = w[c.id];
        REQUIRE(control != nullptr);
        if (c.kind != Kind::kFolderList && c.kind != Kind::kFileList) CHECK_EQ(check::TextOf(control), c.caption);
        CHECK_EQ(IsWindowVisible(control) != FALSE, visible);
      }
    }
  };
  CHECK(w[kFrame5] == nullptr);
  w.showPage(1);
  pages(false);
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
  for (ControlId id : {kFile1, kFile2, kFile3}) CHECK_EQ(SendMessageW(w[id], LB_GETCURSEL, 0, 0), LB_ERR);
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
  CHECK_EQ(SendMessageW(w[kFile1], LB_GETCURSEL, 0, 0), check::IndexOf(w[kFile1], L"red.bmp"));
  w.showPage(1);
  CHECK_EQ(check::TextOf(w[kText2]), L"blue");
  CHECK(w.checked(kOption10) && !IsWindowEnabled(w[kText2]));
  // Typing in the Volumes prefix box records nothing: its request reads the box itself.
  CHECK_EQ(w.state().Prefix, L"red team");
  CleanGameFolder();
}

TEST(window, controls_sit_where_the_tables_put_them_at_any_dpi) {
  OpenWindow w;
  w.showPage(1);
  HWND main = w.hwnd();
  HWND tab = w[kSSTab1];
  auto checkAt = [&](UINT dpi) {
    RECT client{};
    GetClientRect(main, &client);
    CHECK_EQ(client.right, Pixels(kMainClient.width, dpi));
    CHECK_EQ(client.bottom, Pixels(kMainClient.height, dpi));
    const RECT strip = check::RectIn(tab, main);
    const RECT expected = Pixels(kTabStrip, dpi);
    CHECK(EqualRect(&strip, &expected));
    for (auto table : {SkinsPageControls(), VolumesPageControls()}) {
      for (const ControlDef& c : table) {
        const RECT actual = check::RectIn(w[c.id], tab);
        const RECT want = Pixels(Absolute(table, c), dpi);
        if (!EqualRect(&actual, &want))
          check::Fail(__FILE__, __LINE__,
                      check::Utf8(c.name) + " at " + std::to_string(dpi) + " dpi: " + std::to_string(actual.left) +
                          "," + std::to_string(actual.top) + " " + std::to_string(actual.right - actual.left) + "x" +
                          std::to_string(actual.bottom - actual.top) + ", want " + std::to_string(want.left) + "," +
                          std::to_string(want.top) + " " + std::to_string(want.right - want.left) + "x" +
                          std::to_string(want.bottom - want.top));
      }
    }
    // The tab headers lie along the strip's top edge, above the page frames.
    RECT header{};
    TabCtrl_GetItemRect(tab, 1, &header);
    CHECK(header.top >= 0 && header.bottom <= Pixels(480, dpi));
  };
  checkAt(96);
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
      check::Key(GetFocus(), VK_TAB);
      check::Pump(10);
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
  check::Key(w[kOption1], VK_DOWN);
  check::Pump(20);
  CHECK_EQ(GetFocus(), w[kOption2]);
  CHECK(w.checked(kOption2) && w.checked(kOption7));
}

TEST(window, enter_presses_continue_only_on_the_skins_page) {
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  SetFocus(w[kText1]);
  check::Key(w[kText1], VK_RETURN);
  check::Pump(50);
  CHECK_EQ(boxes.seen.size(), 4u);  // the Skins request ran: four warnings

  boxes.seen.clear();
  w.showPage(1);
  SetFocus(w[kText2]);
  check::Key(w[kText2], VK_RETURN);
  check::Pump(50);
  CHECK(boxes.seen.empty());
}

TEST(flow, missing_choices_are_warned_about_in_real_message_boxes) {
  CleanGameFolder();
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  check::Click(w[kCommand1]);
  auto warning = [](const wchar_t* text) { return SeenBox{text, L"Oops..!", MB_OK | MB_ICONEXCLAMATION}; };
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{
                           warning(L"You must select a palette in order to complete this operation..!"),
                           warning(L"You must select an armor in order to complete this operation..!"),
                           warning(L"You must select a skin in order to complete this operation..!"),
                           warning(L"You must enter a prefix in order to complete this operation..!")}));
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

  check::Click(w[kOption2]);
  check::Click(w[kOption7]);
  check::Choose(w[kFile1], check::IndexOf(w[kFile1], L"red.bmp"));
  check::Type(w[kText1], L"my red");
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
  check::Click(w[kOption1]);
  check::Click(w[kOption4]);
  check::Choose(w[kFile1], check::IndexOf(w[kFile1], L"red.bmp"));
  check::Type(w[kText1], L"red");
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

TEST(flow, folders_are_opened_and_files_picked_through_the_panes) {
  CleanGameFolder();
  const std::wstring pics = check::ScratchFolder(L"pics");
  check::WriteFile(pics + L"\\Blue.BMP", "BM");
  check::WriteFile(pics + L"\\notes.txt", "");
  CreateDirectoryW((pics + L"\\inner").c_str(), nullptr);
  OpenWindow w;

  // Down into scratch\pics: its pictures show, nothing is recorded yet.
  check::Open(w[kDir1], check::IndexOf(w[kDir1], L"scratch"));
  check::Open(w[kDir1], check::IndexOf(w[kDir1], L"pics"));
  CHECK_EQ(check::Items(w[kFile1]), (Args{L"Blue.BMP"}));
  CHECK(w.state().SkinFile.empty());
  check::Choose(w[kFile1], 0);
  CHECK_EQ(w.state().SkinFile, pics + L"\\Blue.BMP");

  // Moving on keeps the pick; the other panes are untouched.
  check::Open(w[kDir1], check::IndexOf(w[kDir1], L"inner"));
  CHECK(check::Items(w[kFile1]).empty());
  CHECK_EQ(w.state().SkinFile, pics + L"\\Blue.BMP");
  CHECK(w.state().VolumeSkinFile.empty() && w.state().VolumeFile.empty());
  CHECK(check::Items(w[kFile2]).empty());  // still the program folder, which has no pictures
  check::RemoveTree(check::ProgramFolder() + L"scratch");
}

namespace {

std::vector<HWND> AboutWindows() {
  std::vector<HWND> found;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM list) {
        wchar_t name[32] = {};
        GetClassNameW(window, name, 32);
        if (std::wstring(name) == L"QuorvaneAbout" && IsWindowVisible(window))
          reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

TEST(about, both_buttons_show_one_window_that_reloads_after_close) {
  OpenWindow w;
  check::Click(w[kCommand2]);
  REQUIRE(check::AboutShown() != nullptr);
  const std::vector<HWND> first = AboutWindows();
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
  CHECK_EQ(AboutWindows(), first);

  // "Close" unloads it; the next request loads it afresh, focus on "Close" again.
  check::Click(check::AboutControl(kAboutCommand1));
  CHECK(check::AboutShown() == nullptr);
  CHECK(AboutWindows().empty());
  check::Click(w[kCommand5]);
  REQUIRE(check::AboutShown() != nullptr);
  CHECK_EQ(AboutWindows().size(), 1u);
  CHECK_EQ(GetFocus(), check::AboutControl(kAboutCommand1));
  CHECK_EQ(check::TextOf(check::AboutControl(kAboutLabel4)), alpha);
  // Enter presses "Close", its default button.
  check::Key(check::AboutControl(kAboutCommand1), VK_RETURN);
  check::Pump(50);
  CHECK(check::AboutShown() == nullptr);
}

TEST(about, controls_sit_where_the_table_puts_them) {
  OpenWindow w;
  check::Click(w[kCommand2]);
  HWND window = AboutWindows().at(0);
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  CHECK((style & WS_SYSMENU) && !(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)));
  CHECK(SendMessageW(window, WM_GETICON, ICON_BIG, 0) != 0 && SendMessageW(window, WM_GETICON, ICON_SMALL, 0) != 0);
  RECT client{};
  GetClientRect(window, &client);
  CHECK_EQ(client.right, Pixels(kAboutClient.width, 96));
  CHECK_EQ(client.bottom, Pixels(kAboutClient.height, 96));
  for (const ControlDef& c : AboutControls()) {
    const RECT actual = check::RectIn(check::AboutControl(c.id), window);
    const RECT want = Pixels(Absolute(AboutControls(), c), 96);
    if (!EqualRect(&actual, &want)) check::Fail(__FILE__, __LINE__, check::Utf8(c.name) + " misplaced");
    // Only "Close" takes the focus.
    CHECK_EQ((GetWindowLongW(check::AboutControl(c.id), GWL_STYLE) & WS_TABSTOP) != 0, c.id == kAboutCommand1);
  }
  // Every text is seen whole: the one-line labels fit their width, the alpha-release text
  // wraps within its three lines.
  for (const ControlDef& c : AboutControls()) {
    if (c.kind != Kind::kLabel && c.kind != Kind::kWrappedLabel) continue;
    HWND label = check::AboutControl(c.id);
    HDC dc = GetDC(label);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    RECT text{0, 0, Pixels(c.width, 96), 0};
    const std::wstring words = check::TextOf(label);
    DrawTextW(dc, words.c_str(), -1, &text,
              DT_CALCRECT | DT_NOPREFIX | (c.kind == Kind::kWrappedLabel ? DT_WORDBREAK : DT_SINGLELINE));
    ReleaseDC(label, dc);
    if (text.right > Pixels(c.width, 96) || text.bottom > Pixels(c.height, 96))
      check::Fail(__FILE__, __LINE__, check::Utf8(c.name) + " does not show all of " + check::Show(words));
  }
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
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{{L"You must select a volume file in order to complete this operation..!",
                                              L"Oops..!", MB_OK | MB_ICONEXCLAMATION}}));
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
  check::Key(w[kSSTab1], VK_TAB);
  check::Pump(20);
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
