// The game's tools failing in every way a player's installation can make them fail, met
// through the real main window with real message boxes: each failure is told once, in its
// own words, Quorvane goes on, and nothing the user chose is lost. A hung tool holds up
// nothing but the runs that must wait for its file.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>

#include "tests/support/main_window.h"
#include "tests/support/ui_driver.h"

using namespace check;
using namespace quorvane::ui;
using check::SeenBox;

namespace {

// Everything the Skins page needs: pal1, larmor, red.bmp from the program folder, a prefix.
void ReadySkins(OpenWindow& w, const std::wstring& prefix) {
  w.showPage(0);
  check::Click(w[kOption1]);
  check::Click(w[kOption4]);
  w.choose(kFile1, L"red.bmp");
  check::Type(w[kText1], prefix);
}

// Everything the Volumes page needs for a new volume: blue.bmp and a prefix.
void ReadyVolumes(OpenWindow& w, const std::wstring& prefix) {
  w.showPage(1);
  w.choose(kFile2, L"blue.bmp");
  check::Type(w[kText2], prefix);
}

// The window is still there, the program not told to end, and both pages as the user left
// them: options, prefixes, picks and their highlighted lines.
void CheckNothingLost(OpenWindow& w, const std::wstring& skinsPrefix, const std::wstring& volumesPrefix) {
  CHECK(IsWindow(w.window.hwnd()));
  CHECK(!QuitPosted());
  CHECK(w.checked(kOption1) && w.checked(kOption4));
  for (ControlId other : {kOption2, kOption3, kOption5, kOption6, kOption7, kOption8})
    CHECK(!w.checked(other));
  CHECK(w.checked(kOption9) && !w.checked(kOption10));
  CHECK_EQ(check::TextOf(w[kText1]), skinsPrefix);
  CHECK_EQ(w.state().Prefix, skinsPrefix);
  CHECK_EQ(check::TextOf(w[kText2]), volumesPrefix);
  CHECK_EQ(w.state().SkinFile, GameFolder() + L"red.bmp");
  CHECK_EQ(w.state().VolumeSkinFile, GameFolder() + L"blue.bmp");
  CHECK_EQ(check::Selection(w[kFile1]), check::IndexOf(w[kFile1], L"red.bmp"));
  CHECK_EQ(check::Selection(w[kFile2]), check::IndexOf(w[kFile2], L"blue.bmp"));
}

}  // namespace

TEST(tools, every_tool_fault_is_told_once_and_every_choice_stays) {
  CleanGameFolder();
  REQUIRE(MakeFile(GameFolder() + L"red.bmp", "BM red"));
  REQUIRE(MakeFile(GameFolder() + L"blue.bmp", "BM blue"));
  const std::wstring skin = GameFolder() + L"red.larmor.bmp", volume = GameFolder() + L"red.vol";
  const std::wstring teamVolume = GameFolder() + L"team.vol", blue = GameFolder() + L"blue.bmp";
  const std::wstring makeskin = GameFolder() + L"makeskin.exe", vt = GameFolder() + L"vt.exe";
  const char* note = "These are the notes for the skins, saved under the wrong name.\r\n";
  // The system's reason for a file that is not a program names the file where it has "%1".
  auto notAProgram = [](const std::wstring& tool) {
    std::wstring reason = SystemText(ERROR_BAD_EXE_FORMAT);
    if (const size_t at = reason.find(L"%1"); at != std::wstring::npos) reason.replace(at, 2, tool);
    return reason;
  };
  const std::wstring notFound = SystemText(ERROR_FILE_NOT_FOUND);

  enum class Request { kSkins, kSkinsThenPack, kVolumes };
  enum class How { kMissing, kNotAProgram, kDirectives };
  struct Case {
    const char* what;
    Request request;
    const wchar_t* tool;  // "makeskin" or "vt", broken as `how` says
    How how;
    const wchar_t* directives;  // kDirectives: its fault directives
    std::vector<SeenBox> told;
  };
  auto fails = [&](const std::wstring& end) {
    return Warning(L"The file " + blue + L" was not added to " + teamVolume + L": vt.exe ended " + end +
                   L"..!");
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"skin maker missing", Request::kSkins, L"makeskin", How::kMissing, nullptr,
       {Warning(L"Unable to start " + makeskin + L": " + notFound + L"..!")}},
      {"skin maker not a program", Request::kSkins, L"makeskin", How::kNotAProgram, nullptr,
       {Warning(L"Unable to start " + makeskin + L": " + notAProgram(L"makeskin.exe") + L"..!")}},
      {"skin maker crashes", Request::kSkins, L"makeskin", How::kDirectives, L"crash",
       {Warning(L"The skin " + skin + L" was not made: makeskin.exe ended with code 0xC0000005..!")}},
      {"skin maker writes nothing", Request::kSkins, L"makeskin", How::kDirectives, L"nooutput",
       {Warning(L"The skin " + skin + L" was not made: makeskin.exe ended without writing it..!")}},
      {"volume tool missing", Request::kVolumes, L"vt", How::kMissing, nullptr,
       {Warning(L"Unable to start " + vt + L": " + notFound + L"..!")}},
      {"volume tool not a program", Request::kVolumes, L"vt", How::kNotAProgram, nullptr,
       {Warning(L"Unable to start " + vt + L": " + notAProgram(L"vt.exe") + L"..!")}},
      {"volume tool crashes", Request::kVolumes, L"vt", How::kDirectives, L"crash",
       {fails(L"with code 0xC0000005")}},
      {"volume tool fails", Request::kVolumes, L"vt", How::kDirectives, L"exit=3",
       {fails(L"with code 3")}},
      {"volume tool writes nothing", Request::kVolumes, L"vt", How::kDirectives, L"nooutput",
       {fails(L"without writing it")}},
      {"volume tool missing after a skin was made", Request::kSkinsThenPack, L"vt", How::kMissing, nullptr,
       {Question(L"red"), Warning(L"Unable to start " + vt + L": " + notFound + L"..!")}},
      {"volume tool writes nothing after a skin was made", Request::kSkinsThenPack, L"vt", How::kDirectives,
       L"nooutput",
       {Question(L"red"),
        Warning(L"The file red.larmor.bmp was not added to " + volume +
                L": vt.exe ended without writing it..!")}},
  };
  // clang-format on

  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  ReadySkins(w, L"red");
  ReadyVolumes(w, L"team");
  for (const Case& c : cases) {
    std::printf("  case: %s\n", c.what);
    DeleteFileW((GameFolder() + L"makeskin.log").c_str());
    DeleteFileW((GameFolder() + L"vt.log").c_str());
    DeleteFileW(skin.c_str());
    DeleteFileW(volume.c_str());
    DeleteFileW(teamVolume.c_str());
    boxes.seen.clear();
    auto run = [&] {
      if (c.request == Request::kVolumes) {
        w.showPage(1);
        check::Click(w[kCommand4]);
      } else {
        w.showPage(0);
        boxes.answers = {c.request == Request::kSkinsThenPack ? IDYES : IDNO};
        check::Click(w[kCommand1]);
      }
      w.waitForTools();
    };
    {
      const std::wstring tool = std::wstring(c.tool) + L".exe";
      std::unique_ptr<ToolReplaced> replaced;
      std::unique_ptr<FaultVariable> fault;
      if (c.how == How::kMissing) replaced = std::make_unique<ToolReplaced>(tool, nullptr);
      if (c.how == How::kNotAProgram) replaced = std::make_unique<ToolReplaced>(tool, note);
      if (c.how == How::kDirectives)
        fault = std::make_unique<FaultVariable>(
            c.tool == std::wstring(L"vt") ? L"VT_FAULT" : L"MAKESKIN_FAULT", c.directives);
      run();
    }
    CHECK_EQ(boxes.seen, c.told);
    // The broken tool ran only when it was there to run, and then only once.
    const auto runs = ToolLog(c.tool);
    CHECK_EQ(runs.size(), c.how == How::kDirectives ? 1u : 0u);
    if (c.how == How::kDirectives && !runs.empty()) CHECK_EQ(runs[0].fault, std::wstring(c.directives));
    if (c.request == Request::kVolumes) CHECK(!Exists(teamVolume));
    if (c.request == Request::kSkins) CHECK(!Exists(skin));
    CHECK_EQ(w.page(), c.request == Request::kVolumes ? 1 : 0);
    CheckNothingLost(w, L"red", L"team");

    // Mended, the same request goes through, with nothing chosen again.
    boxes.seen.clear();
    run();
    if (c.request == Request::kVolumes) {
      CHECK(boxes.seen.empty());
      CHECK(Exists(teamVolume));
    } else {
      CHECK_EQ(boxes.seen, (std::vector<SeenBox>{Question(L"red")}));
      CHECK(Exists(skin));
      if (c.request == Request::kSkinsThenPack) CHECK(Exists(volume));
    }
    CheckNothingLost(w, L"red", L"team");
  }
  CleanGameFolder();
}

TEST(tools, a_hung_skin_maker_holds_up_only_the_runs_on_its_own_skin) {
  // However the case ends, no stand-in is left hanging.
  struct EndHung {
    ~EndHung() { EndStandins(1); }
  } endHung;
  CleanGameFolder();
  REQUIRE(MakeFile(GameFolder() + L"red.bmp", "BM red"));
  REQUIRE(MakeFile(GameFolder() + L"blue.bmp", "BM blue"));
  const std::wstring stuck = GameFolder() + L"stuck.larmor.bmp", freeSkin = GameFolder() + L"free.larmor.bmp";
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  const HWND main = w.window.hwnd();
  ReadyVolumes(w, L"team");
  ReadySkins(w, L"stuck");

  ULONGLONG pressed = 0;
  {
    FaultVariable hang(L"MAKESKIN_FAULT", L"delay=30000");
    const ULONGLONG start = GetTickCount64();
    check::Click(w[kCommand1]);
    pressed = GetTickCount64() - start;
  }
  std::printf("  note: \"Continue\" came back after %llu ms with the skin maker hanging\n",
              static_cast<unsigned long long>(pressed));
  CHECK(pressed < 5000);

  // The window answers at once, as the system sees it from another thread.
  std::atomic<int> answered{-1};
  std::thread probe([&] {
    DWORD_PTR result = 0;
    answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000, &result) != 0;
  });
  const bool probed = check::PumpUntil([&] { return answered.load() != -1; }, 10000);
  probe.join();
  CHECK(probed);
  CHECK_EQ(answered.load(), 1);

  // Another skin, on another file, is made and offered meanwhile.
  boxes.answers = {IDNO};
  check::Type(w[kText1], L"free");
  check::Click(w[kCommand1]);
  REQUIRE(check::PumpUntil([&] { return !boxes.seen.empty(); }, 15000));
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{Question(L"free")}));
  CHECK(Exists(freeSkin));

  // So is a Volumes-page request.
  ReadyVolumes(w, L"team");
  check::Click(w[kCommand4]);
  REQUIRE(check::PumpUntil([&] { return ToolLog(L"vt").size() == 1; }, 15000));
  check::Pump(300);  // its end reported and handled
  CHECK_EQ(ToolLog(L"vt")[0].exitCode, 0);
  CHECK(Exists(GameFolder() + L"team.vol"));

  // A second request for the hung skin waits for its turn, and nothing is said about the hang.
  w.showPage(0);
  check::Type(w[kText1], L"stuck");
  check::Click(w[kCommand1]);
  check::Pump(1500);
  auto makers = ToolLog(L"makeskin");
  REQUIRE(makers.size() == 1u);  // only "free": the hung run has not ended, the second not begun
  CHECK_EQ(makers[0].crtArgs.back(), freeSkin);
  CHECK_EQ(boxes.seen.size(), 1u);
  CHECK(!w.window.ToolsIdle());
  CHECK(!Exists(stuck));
  CHECK(IsWindow(main) && !QuitPosted());

  // Ended from outside as a user ends a hung program: its end is told, then the waiting run goes.
  boxes.answers = {IDNO};
  CHECK_EQ(EndStandins(1), 1);
  w.waitForTools();
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{Question(L"free"),
                                             Warning(L"The skin " + stuck +
                                                     L" was not made: makeskin.exe ended with code 1..!"),
                                             Question(L"stuck")}));
  makers = ToolLog(L"makeskin");
  REQUIRE(makers.size() == 2u);
  CHECK_EQ(makers[1].crtArgs.back(), stuck);
  CHECK(makers[1].fault.empty());
  CHECK(Exists(stuck));
  CheckNothingLost(w, L"stuck", L"team");
  CleanGameFolder();
}
