// The two requests driven through their narrow views, with scripted prompt answers and
// recorded tool runs: what the user is told, in which order, and what each tool is given.
#include <array>
#include <functional>

#include "app/QuorvaneCode.h"
#include "services/WinError.h"
#include "skins/SkinRequest.h"
#include "tests/support/check.h"
#include "tests/support/fakes.h"
#include "volumes/VolumeRequest.h"

using namespace quorvane;
using namespace check;
using Args = std::vector<std::wstring>;

namespace {

struct Options : SkinsView {
  std::array<bool, 9> selected{};
  bool OptionSelected(int n) const override { return selected.at(static_cast<size_t>(n)); }
};

struct SkinsFixture {
  QuorvaneCode state;
  Options options;
  check::ScriptedPrompts prompts;
  check::RecordingLauncher launcher;
  SkinRequest request{state, options, prompts, launcher};

  SkinsFixture() { state.AppDir = L"C:\\Game\\"; }
  // pal2, mfemale, C:\Pics\red.bmp, prefix "red": everything a request needs.
  void ChooseAll(const std::wstring& prefix = L"red") {
    options.selected[2] = true;
    options.selected[7] = true;
    state.SkinFile = L"C:\\Pics\\red.bmp";
    request.Text1_Change(prefix);
  }
};

}  // namespace

TEST(skins, nothing_chosen_warns_four_times_in_order_and_starts_nothing) {
  SkinsFixture f;
  f.request.Command1_Click();
  CHECK_EQ(f.prompts.shown, (std::vector<Prompt>{Warning(kNoPalette), Warning(kNoArmor), Warning(kNoSkin),
                                                 Warning(kNoPrefix)}));
  CHECK(f.launcher.runs.empty());
  CHECK_EQ(f.state.SkinsOk, kFalse);
  CHECK_EQ(f.state.Answer, 1);
  CHECK_EQ(f.state.CommandLine, L"");
}

TEST(skins, only_the_prefix_missing_warns_once_and_keeps_the_selection) {
  SkinsFixture f;
  f.ChooseAll(L"");
  f.request.Command1_Click();
  CHECK_EQ(f.prompts.shown, (std::vector<Prompt>{Warning(kNoPrefix)}));
  CHECK(f.launcher.runs.empty());
  CHECK_EQ(f.state.PaletteArg, L" pal2 ");
  CHECK_EQ(f.state.ArmorFile, L"mfemale.bmp");
  CHECK_EQ(f.state.SkinsOk, kFalse);

  // A failed request does not block the next one.
  f.request.Text1_Change(L"red");
  f.request.Command1_Click();
  CHECK_EQ(f.state.SkinsOk, kTrue);
  CHECK_EQ(f.launcher.runs.size(), 1u);
}

TEST(skins, first_selected_option_of_each_group_wins) {
  // Options never end up selected together in a real frame, but the order of the test is
  // what decides: pal1 before pal3, larmor before harmor.
  SkinsFixture f;
  f.ChooseAll();
  f.options.selected = {false, true, false, true, true, false, false, false, true};
  f.request.Command1_Click();
  CHECK_EQ(f.state.PaletteArg, L" pal1 ");
  CHECK_EQ(f.state.ArmorFile, L"larmor.bmp");
  REQUIRE(f.launcher.runs.size() == 1);
  CHECK_EQ(SplitCommandLine(f.launcher.runs[0].run.commandLine)[1], L"pal1");
}

TEST(skins, each_palette_and_armor_reaches_the_skin_maker) {
  const std::array<const wchar_t*, 3> palettes{L"pal1", L"pal2", L"pal3"};
  const std::array<const wchar_t*, 5> armors{L"larmor", L"lfemale", L"marmor", L"mfemale", L"harmor"};
  for (int p = 0; p < 3; ++p) {
    for (int a = 0; a < 5; ++a) {
      SkinsFixture f;
      f.ChooseAll();
      f.options.selected = {};
      f.options.selected[static_cast<size_t>(1 + p)] = true;
      f.options.selected[static_cast<size_t>(4 + a)] = true;
      f.request.Command1_Click();
      REQUIRE(f.launcher.runs.size() == 1);
      CHECK_EQ(f.state.PaletteArg, std::wstring(L" ") + palettes[p] + L" ");
      CHECK_EQ(f.state.ArmorFile, std::wstring(armors[a]) + L".bmp");
      CHECK_EQ(SplitCommandLine(f.launcher.runs[0].run.commandLine),
               (Args{L"C:\\Game\\makeskin.exe", palettes[p], L"C:\\Pics\\red.bmp",
                     std::wstring(L"C:\\Game\\red.") + armors[a] + L".bmp"}));
    }
  }
}

TEST(skins, a_made_skin_is_offered_for_the_volume_and_packed_on_yes) {
  SkinsFixture f;
  f.ChooseAll();
  f.prompts.answers = {IDYES};
  f.request.Command1_Click();

  REQUIRE(f.launcher.runs.size() == 1);
  const ToolRun& maker = f.launcher.runs[0].run;
  CHECK_EQ(maker.application, L"C:\\Game\\makeskin.exe");
  CHECK_EQ(maker.commandLine, L"\"C:\\Game\\makeskin.exe\" pal2 C:\\Pics\\red.bmp C:\\Game\\red.mfemale.bmp");
  CHECK_EQ(f.state.CommandLine, maker.commandLine);
  CHECK_EQ(maker.workingFolder, L"C:\\Game\\");
  CHECK_EQ(maker.output, L"C:\\Game\\red.mfemale.bmp");
  CHECK_EQ(f.state.SkinsOk, kTrue);
  // Nothing is asked until the skin exists.
  CHECK(f.prompts.shown.empty());

  f.launcher.Finish(0);
  CHECK_EQ(f.prompts.shown, (std::vector<Prompt>{{L"Add red.mfemale.bmp to red.vol?", L"Success", 68}}));
  CHECK_EQ(f.state.Answer, 6);
  REQUIRE(f.launcher.runs.size() == 2);
  const ToolRun& packer = f.launcher.runs[1].run;
  CHECK_EQ(packer.application, L"C:\\Game\\vt.exe");
  CHECK_EQ(SplitCommandLine(packer.commandLine),
           (Args{L"C:\\Game\\vt.exe", L"-sp", L"C:\\Game\\red.vol", L"red.mfemale.bmp"}));
  CHECK_EQ(f.state.CommandLine, packer.commandLine);
  CHECK_EQ(packer.workingFolder, L"C:\\Game\\");
  CHECK_EQ(packer.output, L"C:\\Game\\red.vol");

  // A volume tool that succeeds is not reported.
  f.launcher.Finish(1);
  CHECK_EQ(f.prompts.shown.size(), 1u);
}

TEST(skins, a_skin_that_windows_keeps_in_the_virtual_store_is_offered_where_it_is) {
  // Under a protected "Program Files", a virtualized skin maker writes into Windows'
  // VirtualStore: the skin is made all the same, and the question says where it really is.
  SkinsFixture f;
  f.ChooseAll();
  f.prompts.answers = {IDYES};
  f.request.Command1_Click();
  const std::wstring kept = L"C:\\Users\\p\\AppData\\Local\\VirtualStore\\Game\\red.mfemale.bmp";
  f.launcher.FinishWriting(0, kept);
  CHECK_EQ(f.prompts.shown, (std::vector<Prompt>{{L"Windows keeps red.mfemale.bmp for this folder as " + kept +
                                                       L". Add red.mfemale.bmp to red.vol?",
                                                   L"Success", 68}}));
  REQUIRE(f.launcher.runs.size() == 2);  // packed by the name the virtualized volume tool finds
  CHECK_EQ(SplitCommandLine(f.launcher.runs[1].run.commandLine),
           (Args{L"C:\\Game\\vt.exe", L"-sp", L"C:\\Game\\red.vol", L"red.mfemale.bmp"}));
}

TEST(skins, answering_no_leaves_the_skin_unpacked) {
  SkinsFixture f;
  f.ChooseAll();
  f.prompts.answers = {IDNO};
  f.request.Command1_Click();
  f.launcher.Finish(0);
  CHECK_EQ(f.state.Answer, 7);
  CHECK_EQ(f.launcher.runs.size(), 1u);
}

TEST(skins, a_skin_maker_that_fails_is_reported_and_nothing_is_asked) {
  struct Case {
    const char* what;
    std::function<void(check::RecordingLauncher&)> end;
    std::wstring warning;
  };
  const std::wstring output = L"C:\\Game\\red.mfemale.bmp";
  // The picked picture is not there: named as gone when the skin maker fails (the window's tests have it).
  const std::wstring gone = L". The picked picture C:\\Pics\\red.bmp is no longer there..!";
  const Case cases[] = {
      {"exit code", [](auto& l) { l.Finish(0, 3, true); },
       L"The skin " + output + L" was not made: makeskin.exe ended with code 3" + gone},
      {"crash", [](auto& l) { l.Finish(0, 0xC0000005, false); },
       L"The skin " + output + L" was not made: makeskin.exe ended with code 0xC0000005" + gone},
      {"no output", [](auto& l) { l.Finish(0, 0, false); },
       L"The skin " + output + L" was not made: makeskin.exe ended without writing it" + gone},
      {"not started",
       [](auto& l) {
         ToolResult r;
         r.status = ToolResult::kNotStarted;
         r.error = ERROR_FILE_NOT_FOUND;
         l.End(0, r);
       },
       L"Unable to start C:\\Game\\makeskin.exe: " + SystemMessage(ERROR_FILE_NOT_FOUND) + L"..!"},
  };
  for (const Case& c : cases) {
    SkinsFixture f;
    f.ChooseAll();
    f.request.Command1_Click();
    c.end(f.launcher);
    CHECK_EQ(f.prompts.shown, (std::vector<Prompt>{Warning(c.warning)}));
    CHECK_EQ(f.launcher.runs.size(), 1u);
    CHECK_EQ(f.state.Answer, 1);
    // Everything picked and typed stays for another try.
    CHECK_EQ(f.state.SkinFile, L"C:\\Pics\\red.bmp");
    CHECK_EQ(f.state.Prefix, L"red");
  }
}

TEST(skins, a_volume_tool_that_fails_is_reported_with_the_volume_and_code) {
  SkinsFixture f;
  f.ChooseAll();
  f.prompts.answers = {IDYES};
  f.request.Command1_Click();
  f.launcher.Finish(0);
  f.launcher.Finish(1, 2);
  REQUIRE(f.prompts.shown.size() == 2);
  CHECK_EQ(f.prompts.shown[1],
           Warning(L"The file red.mfemale.bmp was not added to C:\\Game\\red.vol: vt.exe ended with code 2..!"));
}

TEST(skins, the_question_is_about_the_skin_that_was_made) {
  // The user may type a new prefix while the skin maker works: the question, and the volume,
  // still belong to the request that made the skin.
  SkinsFixture f;
  f.ChooseAll();
  f.prompts.answers = {IDYES};
  f.request.Command1_Click();
  f.request.Text1_Change(L"blue");
  f.options.selected[7] = false;
  f.options.selected[8] = true;
  f.launcher.Finish(0);
  CHECK_EQ(f.prompts.shown[0].text, L"Add red.mfemale.bmp to red.vol?");
  REQUIRE(f.launcher.runs.size() == 2);
  CHECK_EQ(SplitCommandLine(f.launcher.runs[1].run.commandLine)[2], L"C:\\Game\\red.vol");
  CHECK_EQ(f.state.Prefix, L"blue");
}

TEST(skins, pressing_continue_twice_runs_twice_and_asks_twice) {
  SkinsFixture f;
  f.ChooseAll();
  f.prompts.answers = {IDYES, IDYES};
  f.request.Command1_Click();
  f.request.Command1_Click();
  REQUIRE(f.launcher.runs.size() == 2);
  CHECK_EQ(f.launcher.runs[0].run.commandLine, f.launcher.runs[1].run.commandLine);
  f.launcher.Finish(0);
  f.launcher.Finish(1);
  REQUIRE(f.launcher.runs.size() == 4);
  CHECK_EQ(f.launcher.runs[2].run.commandLine, f.launcher.runs[3].run.commandLine);
  CHECK_EQ(f.prompts.shown.size(), 2u);
}

TEST(skins, prefixes_reach_the_tools_whole_or_are_refused) {
  // Characters a file name cannot hold: refused by their own check, after the others.
  for (const wchar_t* prefix : {L"a\\b", L"a/b", L"C:", L"*", L"wh?", L"say \"hi\"", L"<x>", L"a|b", L"tab\there",
                                L"line\nbreak", L"\x7f"}) {
    SkinsFixture f;
    f.ChooseAll(prefix);
    f.state.SkinFile.clear();
    f.request.Command1_Click();
    CHECK_EQ(f.prompts.shown, (std::vector<Prompt>{Warning(kNoSkin), Warning(kBadPrefix)}));
    CHECK(f.launcher.runs.empty());
  }
  // Anything else is a prefix, blanks and dots included, and arrives as one argument.
  for (const wchar_t* prefix : {L" ", L" lead", L"trail ", L"two words", L"dots...", L".", L"100%", L"a^b&c",
                                L"\u05e9\u05dc\u05d5\u05dd", L"e\u0301", L"\U0001F600", L"CONSOLE", L"COM10",
                                L"LPT", L"xnul", L"-x"}) {
    SkinsFixture f;
    f.ChooseAll(prefix);
    f.prompts.answers = {IDYES};
    f.request.Command1_Click();
    REQUIRE(f.launcher.runs.size() == 1);
    const std::wstring skin = std::wstring(prefix) + L".mfemale.bmp";
    CHECK_EQ(SplitCommandLine(f.launcher.runs[0].run.commandLine),
             (Args{L"C:\\Game\\makeskin.exe", L"pal2", L"C:\\Pics\\red.bmp", L"C:\\Game\\" + skin}));
    f.launcher.Finish(0);
    REQUIRE(f.launcher.runs.size() == 2);
    CHECK_EQ(SplitCommandLine(f.launcher.runs[1].run.commandLine),
             (Args{L"C:\\Game\\vt.exe", L"-sp", L"C:\\Game\\" + std::wstring(prefix) + L".vol", skin}));
  }
}

// The prefix starts a file name in the program folder: a name Windows takes for a device
// would send the tool's output to the device. Refused on both pages, right after the check
// for characters, whatever the case, extension or trailing blanks and dots.
const wchar_t* const kDevicePrefixes[] = {L"CON", L"nul", L"Com1", L"aux.x", L"LPT9 ", L"prn. .bmp", L"COM0",
                                          L"lpt0", L"com\u00b9", L"LPT\u00b3", L"NUL...", L"CONIN$"};

TEST(skins, device_names_and_overlong_prefixes_are_refused) {
  for (const wchar_t* prefix : kDevicePrefixes) {
    SkinsFixture f;
    f.ChooseAll(prefix);
    f.state.SkinFile.clear();
    f.request.Command1_Click();
    CHECK_EQ(f.prompts.shown, (std::vector<Prompt>{Warning(kNoSkin), Warning(kDevicePrefix)}));
    CHECK_EQ(f.state.Answer, 1);
    CHECK(f.launcher.runs.empty());
  }
  // Characters come first: one warning, not two.
  SkinsFixture f;
  f.ChooseAll(L"CON:");
  f.request.Command1_Click();
  CHECK_EQ(f.prompts.shown.size(), 1u);
  CHECK(f.prompts.shown[0].text.find(L"without") != std::wstring::npos);
  // The skin's name, here "P.mfemale.bmp", must fit the file system's 255 characters.
  SkinsFixture fits, tooLong;
  fits.ChooseAll(std::wstring(243, L'x'));
  fits.request.Command1_Click();
  CHECK_EQ(fits.launcher.runs.size(), 1u);
  tooLong.ChooseAll(std::wstring(244, L'x'));
  tooLong.request.Command1_Click();
  CHECK_EQ(tooLong.prompts.shown,
           (std::vector<Prompt>{Warning(LongPrefix(243))}));
  CHECK(tooLong.launcher.runs.empty());
}

TEST(skins, paths_with_blanks_and_quotes_stay_single_arguments) {
  SkinsFixture f;
  f.state.AppDir = L"C:\\My Games\\Pack\\";
  f.ChooseAll();
  f.state.SkinFile = L"D:\\my pics\\it's \"red\"\\red skin.bmp";
  f.request.Command1_Click();
  REQUIRE(f.launcher.runs.size() == 1);
  const std::wstring& line = f.launcher.runs[0].run.commandLine;
  CHECK(line.starts_with(L"\"C:\\My Games\\Pack\\makeskin.exe\" "));
  CHECK_EQ(SplitCommandLine(line), (Args{L"C:\\My Games\\Pack\\makeskin.exe", L"pal2", f.state.SkinFile,
                                         L"C:\\My Games\\Pack\\red.mfemale.bmp"}));
}

namespace {

struct VolumesPage : VolumesView {
  bool newVolume = true, existingVolume = false;
  std::wstring text;
  bool prefixEnabled = true, paneEnabled = false;
  bool NewVolumeSelected() const override { return newVolume; }
  bool ExistingVolumeSelected() const override { return existingVolume; }
  std::wstring PrefixText() const override { return text; }
  void EnablePrefix(bool enabled) override { prefixEnabled = enabled; }
  void EnableVolumePane(bool enabled) override { paneEnabled = enabled; }
  void Select(bool existing) {
    newVolume = !existing;
    existingVolume = existing;
  }
};

struct VolumesFixture {
  QuorvaneCode state;
  VolumesPage page;
  check::ScriptedPrompts prompts;
  check::RecordingLauncher launcher;
  VolumeRequest request{state, page, prompts, launcher};
  VolumesFixture() { state.AppDir = L"C:\\Game\\"; }
};

}  // namespace

TEST(volumes, missing_inputs_warn_for_the_selected_kind_then_the_skin) {
  {
    VolumesFixture f;  // "New Volume", nothing typed or picked
    f.state.VolumeFile = L"C:\\Game\\team.vol";  // not looked at under "New Volume"
    f.request.Command4_Click();
    CHECK_EQ(f.prompts.shown, (std::vector<Prompt>{Warning(kNoPrefix), Warning(kNoSkinFile)}));
    CHECK(f.launcher.runs.empty());
    CHECK_EQ(f.state.VolumesOk, kFalse);
    CHECK_EQ(f.state.Answer, 1);
  }
  {
    VolumesFixture f;  // "Existing Volume", a prefix typed but nothing picked
    f.page.Select(true);
    f.page.text = L"blue";
    f.request.Command4_Click();
    CHECK_EQ(f.prompts.shown, (std::vector<Prompt>{Warning(kNoVolumeFile), Warning(kNoSkinFile)}));
    CHECK(f.launcher.runs.empty());
    CHECK_EQ(f.state.VolumesOk, kFalse);
  }
}

TEST(volumes, new_and_existing_volumes_get_their_command_lines) {
  VolumesFixture f;
  f.state.VolumeSkinFile = L"C:\\Pics\\blue.bmp";
  f.state.VolumeFile = L"C:\\Game\\packs\\team.vol";
  f.page.text = L"blue";
  f.request.Command4_Click();
  REQUIRE(f.launcher.runs.size() == 1);
  CHECK_EQ(f.state.CommandLine, L"\"C:\\Game\\vt.exe\" -sp C:\\Game\\blue.vol C:\\Pics\\blue.bmp");
  CHECK_EQ(f.launcher.runs[0].run.workingFolder, L"C:\\Game\\");
  CHECK_EQ(f.launcher.runs[0].run.output, L"C:\\Game\\blue.vol");
  CHECK_EQ(f.state.VolumesOk, kTrue);

  // Switching to "Existing Volume" uses the volume picked earlier, and the typed prefix, or
  // its absence, plays no part.
  f.page.Select(true);
  f.page.text = L"";
  f.request.Command4_Click();
  REQUIRE(f.launcher.runs.size() == 2);
  CHECK_EQ(SplitCommandLine(f.state.CommandLine),
           (Args{L"C:\\Game\\vt.exe", L"-sp", L"C:\\Game\\packs\\team.vol", L"C:\\Pics\\blue.bmp"}));
  CHECK_EQ(f.launcher.runs[1].run.output, L"C:\\Game\\packs\\team.vol");
  CHECK(f.prompts.shown.empty());

  // A failed request leaves the last command line in place.
  f.state.VolumeSkinFile.clear();
  f.request.Command4_Click();
  CHECK_EQ(f.launcher.runs.size(), 2u);
  CHECK_EQ(f.state.CommandLine, f.launcher.runs[1].run.commandLine);

  // Nothing is said when the tool succeeds; its failure is reported.
  f.launcher.Finish(0);
  CHECK(f.prompts.shown.size() == 1);
  f.launcher.Finish(1, 5);
  CHECK_EQ(f.prompts.shown.back(),
           Warning(L"The file C:\\Pics\\blue.bmp was not added to C:\\Game\\packs\\team.vol: vt.exe ended "
                   L"with code 5..!"));
}

TEST(volumes, prefixes_are_checked_only_for_a_new_volume) {
  VolumesFixture f;
  f.state.VolumeSkinFile = L"C:\\Pics\\blue.bmp";
  f.state.VolumeFile = L"C:\\Game\\team.vol";
  f.page.text = L"a:b";
  f.request.Command4_Click();
  CHECK_EQ(f.prompts.shown, (std::vector<Prompt>{Warning(kBadPrefix)}));
  CHECK(f.launcher.runs.empty());

  f.page.Select(true);
  f.request.Command4_Click();
  CHECK_EQ(f.launcher.runs.size(), 1u);

  f.page.Select(false);
  for (const wchar_t* prefix : kDevicePrefixes) {
    f.prompts.shown.clear();
    f.page.text = prefix;
    f.request.Command4_Click();
    CHECK_EQ(f.prompts.shown, (std::vector<Prompt>{Warning(kDevicePrefix)}));
    CHECK_EQ(f.state.VolumesOk, kFalse);
  }
  // "P.vol" must fit the file system's 255 characters.
  f.prompts.shown.clear();
  f.page.text = std::wstring(252, L'x');
  f.request.Command4_Click();
  CHECK_EQ(f.prompts.shown, (std::vector<Prompt>{Warning(LongPrefix(251))}));
  CHECK_EQ(f.launcher.runs.size(), 1u);

  // One blank is a prefix; the volume name keeps it, as one argument.
  f.page.Select(false);
  f.page.text = L" ";
  f.request.Command4_Click();
  REQUIRE(f.launcher.runs.size() == 2);
  CHECK_EQ(SplitCommandLine(f.state.CommandLine)[2], L"C:\\Game\\ .vol");
}

TEST(volumes, neither_kind_selected_starts_nothing) {
  VolumesFixture f;
  f.page.newVolume = false;
  f.state.VolumeSkinFile = L"C:\\Pics\\blue.bmp";
  f.state.CommandLine = L"earlier";
  f.request.Command4_Click();
  CHECK(f.launcher.runs.empty());
  CHECK(f.prompts.shown.empty());
  CHECK_EQ(f.state.CommandLine, L"earlier");
}

TEST(volumes, the_switch_enables_only_the_inputs_of_the_selected_kind) {
  VolumesFixture f;
  f.state.VolumeFile = L"C:\\Game\\team.vol";
  f.request.Option10_Click();
  CHECK(!f.page.prefixEnabled);
  CHECK(f.page.paneEnabled);
  f.request.Option9_Click();
  CHECK(f.page.prefixEnabled);
  CHECK(!f.page.paneEnabled);
  CHECK_EQ(f.state.VolumeFile, L"C:\\Game\\team.vol");
}
