// Random use of the real window: a seeded stream of what a user can do on whichever page
// shows (option buttons, picks in the file lists, folders opened up and down, prefixes typed
// from the hostile corpus, both "Continue" buttons, About, Exit answered No, tab switches),
// held after every action against a model the test keeps of what the window must hold.
//
// QUORVANE_SEED and QUORVANE_ACTIONS choose the run (defaults below); a failure names the
// seed and the action, and the same seed gives the same actions again. (Picks in the program
// folder, where the tools write, may land on other files when the tools' timing differs.)
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cwchar>
#include <map>
#include <random>

#include "app/QuorvaneCode.h"
#include "tests/support/HostileCorpus.h"
#include "tests/reliability/Session.h"
#include "tests/support/check.h"

using namespace quorvane;
using namespace quorvane::ui;
using namespace reliability;

namespace {

constexpr unsigned long long kDefaultSeed = 20240611;
constexpr unsigned long long kDefaultActions = 2000;
// Runs on their way before the test waits for the tools: both cores busy, logs short.
constexpr size_t kBatch = 6;

const std::wstring kFolder = check::ProgramFolder();

unsigned long long FromEnvironment(const wchar_t* name, unsigned long long fallback) {
  wchar_t value[64] = {};
  const DWORD n = GetEnvironmentVariableW(name, value, 64);
  if (n == 0 || n >= 64) return fallback;
  wchar_t* end = nullptr;
  const unsigned long long number = std::wcstoull(value, &end, 0);
  return end != value && *end == L'\0' ? number : fallback;
}

// The scratch tree the folder lists mostly stay in: pictures and volumes with awkward names
// (that the tools can take) at a few depths, a folder the tools cannot reach through its
// trailing dot, and a folder without anything to pick.
struct Tree {
  std::wstring root;
  std::map<std::wstring, std::vector<std::wstring>> files;  // folder -> its files
};

Tree MakeTree() {
  Tree tree;
  tree.root = kFolder + L"scratch\\random";
  check::ScratchFolder(L"random");
  const std::vector<std::pair<std::wstring, std::vector<std::wstring>>> spec = {
      {L"", {L"red.bmp", L"Blue Team.BMP", L"readme.txt"}},
      {L"pics",
       {L"a&b.bmp", L" lead.bmp", L"100%.bmp", L"\u00fcn\u00ef c\u00f6d\u00e9.bmp", L"\xD83D\xDE00.bmp",
        L"trail .bmp", L"team.vol"}},
      {L"pics\\more pics", {L"deep.bmp", L"CON.bmp", L"x^y.vol"}},
      {L"pics\\more pics\\odd.", {L"in.bmp", L"in.vol"}},
      {L"vols", {L"team.vol", L"my team.vol", L"x&y.vol", L"skin.bmp"}},
      {L"vols\\empty", {}},
      {L"\u05e9\u05dc\u05d5\u05dd", {L"rtl.bmp", L"rtl.vol"}},
  };
  for (const auto& [folder, files] : spec) {
    const std::wstring path = folder.empty() ? tree.root : tree.root + L"\\" + folder;
    if (!MakeFolder(path)) check::Abort(__FILE__, __LINE__, "cannot make " + check::Utf8(path));
    for (const std::wstring& file : files)
      if (!MakeFile(path + L"\\" + file, "BM picture"))
        check::Abort(__FILE__, __LINE__, "cannot make " + check::Utf8(path + L"\\" + file));
    tree.files[path] = files;
  }
  return tree;
}

bool EndsWithNoCase(const std::wstring& name, const wchar_t* ending) {
  const size_t n = std::wcslen(ending);
  return name.size() >= n && CompareStringOrdinal(name.c_str() + name.size() - n, static_cast<int>(n), ending,
                                                  static_cast<int>(n), TRUE) == CSTR_EQUAL;
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> names) {
  std::sort(names.begin(), names.end());
  return names;
}

// What the window must hold, as the test's actions have made it.
struct Model {
  int page = 0;
  int palette = 0, armor = 0;  // 0: none selected yet
  bool newVolume = true;
  bool aboutOpen = false;
  std::wstring text1, text2;
  std::wstring skinFile, volumeSkinFile, volumeFile;
  std::array<FolderModel, 3> dirs{FolderModel(kFolder), FolderModel(kFolder), FolderModel(kFolder)};
};

enum class Act { kOption, kPick, kOpen, kType, kContinue, kTab, kAboutOpen, kAboutClose, kExit };

struct Runner {
  Runner(UserSession& session, Tree t, unsigned long long seed) : s(session), tree(std::move(t)), rng(seed) {}

  UserSession& s;
  Model m;
  Tree tree;
  std::mt19937_64 rng;
  std::array<unsigned long long, 4> r{};  // this action's draws
  std::string kind;                       // the action without its details, for the report
  std::string where;                      // "seed S action N: "

  // Names the action before it is taken: what it makes the tools do is traced back to it.
  void Begin(const std::string& what) { s.origin = where + what; }

  static constexpr ControlId kDirs[3] = {kDir1, kDir2, kDir3};
  static constexpr ControlId kFiles[3] = {kFile1, kFile2, kFile3};

  void Fail(const std::string& what) { s.Fail(__FILE__, __LINE__, s.origin + ": " + what); }

  std::wstring& Recorded(int pane) {
    return pane == 0 ? m.skinFile : pane == 1 ? m.volumeSkinFile : m.volumeFile;
  }
  bool InTree(const std::wstring& path) const {
    return path == tree.root || path.rfind(tree.root + L"\\", 0) == 0;
  }
  size_t TreeLine() const { return FolderModel(tree.root).CurrentIndex(); }

  // One action, chosen among those a user can take on the page that shows; returns what it
  // was, for the report.
  std::string Step() {
    for (auto& draw : r) draw = rng();
    struct Choice {
      Act act;
      int weight;
    };
    std::vector<Choice> choices = {{Act::kOption, 12},   {Act::kPick, 14}, {Act::kOpen, 16},
                                   {Act::kContinue, 10}, {Act::kTab, 8},   {Act::kAboutOpen, 2},
                                   {Act::kExit, 2}};
    if (m.page == 0 || m.newVolume) choices.push_back({Act::kType, 8});
    if (m.aboutOpen) choices.push_back({Act::kAboutClose, 3});
    int total = 0;
    for (const Choice& c : choices) total += c.weight;
    int pick = static_cast<int>(r[0] % static_cast<unsigned>(total));
    Act act = choices.back().act;
    for (const Choice& c : choices) {
      if (pick < c.weight) {
        act = c.act;
        break;
      }
      pick -= c.weight;
    }
    switch (act) {
      case Act::kOption:
        return ClickOption();
      case Act::kPick:
        return PickFile();
      case Act::kOpen:
        return OpenFolder();
      case Act::kType:
        return TypePrefix();
      case Act::kContinue:
        return Continue();
      case Act::kTab:
        return Tab();
      case Act::kAboutOpen:
        return AboutOpen();
      case Act::kAboutClose:
        return AboutClose();
      case Act::kExit:
        return Exit();
    }
    return "nothing";
  }

  // The pane a list action works on: Dir1/File1 on the Skins page; Dir2/File2, and Dir3/File3
  // while "Existing Volume" enables them, on the Volumes page.
  int Pane() const {
    if (m.page == 0) return 0;
    return !m.newVolume && r[1] % 2 == 0 ? 2 : 1;
  }

  std::string ClickOption() {
    if (m.page == 0) {
      const int n = static_cast<int>(r[1] % 8) + 1;
      check::Click(s[static_cast<ControlId>(kOption1 + n - 1)]);
      (n <= 3 ? m.palette : m.armor) = n <= 3 ? n : n - 3;
      kind = n <= 3 ? "click a palette" : "click an armor";
      return "click Option" + std::to_string(n);
    }
    const bool existing = r[1] % 2 == 0;
    check::Click(s[existing ? kOption10 : kOption9]);
    m.newVolume = !existing;
    kind = "click New/Existing Volume";
    return existing ? "click Option10 (Existing Volume)" : "click Option9 (New Volume)";
  }

  std::string PickFile() {
    const int pane = Pane();
    const HWND list = s[kFiles[pane]];
    const std::vector<std::wstring> items = check::Items(list);
    const std::string what = "File" + std::to_string(pane + 1);
    kind = "pick in " + what;
    if (items.empty()) return "pick in the empty " + what;
    const size_t line = r[2] % items.size();
    check::Choose(list, static_cast<int>(line));
    Recorded(pane) = JoinPath(m.dirs[pane].Path(), items[line]);
    return "pick " + check::Show(items[line]) + " in " + what;
  }

  std::string OpenFolder() {
    const int pane = Pane();
    FolderModel& dir = m.dirs[pane];
    const std::vector<std::wstring> lines = check::Items(s[kDirs[pane]]);
    const size_t current = dir.CurrentIndex(), treeLine = TreeLine();
    size_t line = current;
    kind = "open in Dir" + std::to_string(pane + 1);
    if (InTree(dir.Path())) {
      const unsigned c = static_cast<unsigned>(r[2] % 100);
      const size_t below = lines.size() > current + 1 ? lines.size() - current - 1 : 0;
      if (c < 60 && below > 0)
        line = current + 1 + r[3] % below;  // down into a subfolder
      else if (c < 92 && current > treeLine)
        line = treeLine + r[3] % (current - treeLine);  // up, within the tree
      else if (c >= 96)
        line = r[3] % treeLine;  // far up, now and then to the root
    } else if (r[2] % 10 != 0) {
      // Above the tree: back down towards it.
      const std::wstring rest = tree.root.substr(dir.Path().size() + (dir.Path().back() == L'\\' ? 0 : 1));
      const int next =
          check::IndexOf(s[kDirs[pane]], rest.substr(0, rest.find(L'\\')), static_cast<int>(current) + 1);
      if (next < 0) {
        Fail("the way back to the scratch tree is not listed");
        return "open nothing";
      }
      line = static_cast<size_t>(next);
    }
    const std::string what = "open line " + std::to_string(line) + " " +
                             check::Show(line < lines.size() ? lines[line] : L"?") + " in Dir" +
                             std::to_string(pane + 1);
    Begin(what);
    OpenFolderLine(s, kDirs[pane], dir, line);
    return what;
  }

  std::string TypePrefix() {
    const auto& corpus = hostile::Corpus();
    std::wstring text;
    std::string label;
    if (r[1] % 4 == 0) {
      text = L"team " + std::to_wstring(r[2] % 7);
      label = check::Utf8(text);
    } else {
      const hostile::Entry& entry = corpus[r[2] % corpus.size()];
      text = entry.text;
      label = entry.label;
    }
    const ControlId box = m.page == 0 ? kText1 : kText2;
    kind = m.page == 0 ? "type into Text1" : "type into Text2";
    check::Type(s[box], text);
    (m.page == 0 ? m.text1 : m.text2) = text;
    return std::string("type ") + label + (m.page == 0 ? " into Text1" : " into Text2");
  }

  std::string Continue() {
    kind = m.page == 0 ? "Continue on Skins" : "Continue on Volumes";
    Begin(kind);
    if (m.page == 0) {
      const bool run = s.ContinueSkins({m.palette, m.armor, m.skinFile, m.text1});
      if (run) kind += ", makeskin started";
      return run ? "Continue on Skins: makeskin" : "Continue on Skins: warned";
    }
    const bool run = s.ContinueVolumes({m.newVolume, m.text2, m.volumeFile, m.volumeSkinFile});
    if (run) kind += ", vt started";
    return run ? "Continue on Volumes: vt" : "Continue on Volumes: warned";
  }

  std::string Tab() {
    m.page = 1 - m.page;
    kind = "switch pages";
    Begin(m.page == 0 ? "show Skins" : "show Volumes");
    s.ShowPage(m.page);
    return m.page == 0 ? "show Skins" : "show Volumes";
  }

  std::string AboutOpen() {
    check::Click(s[m.page == 0 ? kCommand2 : kCommand5]);
    m.aboutOpen = true;
    kind = "About";
    return "About";
  }

  std::string AboutClose() {
    check::Click(check::AboutControl(kAboutCommand1));
    m.aboutOpen = false;
    kind = "close About";
    return "close About";
  }

  std::string Exit() {
    Begin("Exit");
    s.ExitAnsweredNo(m.page == 0 ? kCommand3 : kCommand6);
    kind = "Exit";
    return "Exit, answered No";
  }

  // Everything the window must hold after an action.
  void Verify() {
    if (!s.Responsive()) {
      Fail("the window does not answer");
      return;
    }
    const QuorvaneCode& state = s.state();
    if (state.AppDir != kFolder) Fail("AppDir is now " + check::Show(state.AppDir));
    const std::pair<const wchar_t*, std::pair<const std::wstring*, const std::wstring*>> paths[] = {
        {L"SkinFile", {&state.SkinFile, &m.skinFile}},
        {L"VolumeSkinFile", {&state.VolumeSkinFile, &m.volumeSkinFile}},
        {L"VolumeFile", {&state.VolumeFile, &m.volumeFile}}};
    for (const auto& [name, values] : paths)
      if (*values.first != *values.second)
        Fail(check::Utf8(name) + " is " + check::Show(*values.first) + ", want " +
             check::Show(*values.second));
    if (check::TextOf(s[kText1]) != m.text1) Fail("Text1 lost its text");
    if (check::TextOf(s[kText2]) != m.text2) Fail("Text2 lost its text");
    if (state.Prefix != m.text1)
      Fail("Prefix is " + check::Show(state.Prefix) + ", Text1 holds " + check::Show(m.text1));

    for (int n = 1; n <= 10; ++n) {
      const bool want = n <= 3 ? m.palette == n : n <= 8 ? m.armor == n - 3 : (n == 9) == m.newVolume;
      const bool checked =
          SendMessageW(s[static_cast<ControlId>(kOption1 + n - 1)], BM_GETCHECK, 0, 0) == BST_CHECKED;
      if (checked != want)
        Fail("Option" + std::to_string(n) + (checked ? " is selected" : " is not selected"));
    }
    if ((IsWindowEnabled(s[kText2]) != FALSE) != m.newVolume)
      Fail("Text2's enabled state does not follow Option9");
    if ((IsWindowEnabled(s[kDir3]) != FALSE) == m.newVolume ||
        (IsWindowEnabled(s[kFile3]) != FALSE) == m.newVolume)
      Fail("Dir3 and File3's enabled state does not follow Option10");
    if ((IsWindowVisible(s[kCommand1]) != FALSE) != (m.page == 0) ||
        (IsWindowVisible(s[kCommand4]) != FALSE) != (m.page == 1))
      Fail("the page shown is not the one chosen");
    if ((check::AboutShown() != nullptr) != m.aboutOpen)
      Fail(m.aboutOpen ? "About is not open" : "About is still open");

    for (int pane = 0; pane < 3; ++pane) {
      std::string why;
      if (!m.dirs[pane].Matches(check::Items(s[kDirs[pane]]), why))
        Fail("Dir" + std::to_string(pane + 1) + ": " + why);
      // In the tree the files are known: the file list shows the folder's own.
      const auto known = tree.files.find(m.dirs[pane].Path());
      if (known == tree.files.end()) continue;
      std::vector<std::wstring> want;
      for (const std::wstring& name : known->second)
        if (EndsWithNoCase(name, pane == 2 ? L".vol" : L".bmp")) want.push_back(name);
      // A folder read that takes long (the tools keep both cores busy) fills the list a
      // little later, from the window's own timer.
      const HWND files = s[kFiles[pane]];
      if (!check::PumpUntil([&] { return Sorted(check::Items(files)) == Sorted(want); }, 5000))
        Fail("File" + std::to_string(pane + 1) + " shows " + check::Show(check::Items(s[kFiles[pane]])) +
             ", want " + check::Show(want));
    }
  }
};

}  // namespace

TEST(random, use_keeps_the_window_whole_and_the_tools_exact) {
  const unsigned long long seed = FromEnvironment(L"QUORVANE_SEED", kDefaultSeed);
  const unsigned long long actions = FromEnvironment(L"QUORVANE_ACTIONS", kDefaultActions);
  std::printf("  random use: seed %llu, %llu actions (QUORVANE_SEED, QUORVANE_ACTIONS)\n", seed, actions);
  Tree tree = MakeTree();
  UserSession s;
  std::mt19937_64 answers(seed ^ 0x5A5A5A5A5A5A5A5AULL);
  s.AnswerSuccessWith([&answers] { return answers() % 2 == 0 ? IDYES : IDNO; });
  Runner run(s, std::move(tree), seed);
  // Every action is checked against both pages: the Volumes page, made when first shown, is
  // shown once first.
  s.ShowPage(1);
  s.ShowPage(0);

  const ULONGLONG start = GetTickCount64();
  std::map<std::string, size_t> kinds;
  for (unsigned long long n = 1; n <= actions; ++n) {
    run.where = "seed " + std::to_string(seed) + " action " + std::to_string(n) + ": ";
    s.origin = run.where;
    const size_t failuresBefore = s.failures();
    const std::string what = run.Step();
    s.origin = run.where + what;
    s.Pump();
    if (s.Outstanding() >= kBatch) s.Settle();
    run.Verify();
    ++kinds[run.kind];
    if (s.failures() != failuresBefore) {
      // A tool's arguments are checked when the tools have run, some actions after the click
      // that started them: the failure above names that click.
      std::printf(
          "  random use stopped after action %llu of seed %llu (%s); to repeat it: QUORVANE_SEED=%llu "
          "QUORVANE_ACTIONS=%llu\n",
          n, seed, what.c_str(), seed, n);
      break;
    }
    if (n % 5000 == 0)  // a soak's pace, slice by slice: a window that slows down shows here
      std::printf("  %llu actions, %llu s\n", n,
                  static_cast<unsigned long long>((GetTickCount64() - start) / 1000));
  }
  s.origin = "seed " + std::to_string(seed) + " at the end";
  if (run.m.aboutOpen) check::Click(check::AboutControl(kAboutCommand1));
  s.Settle();
  CHECK(s.Responsive());

  std::printf("  %llu ms spent waiting for the tools\n", s.settleMs);
  std::printf("  %llu s; %zu check warnings, %zu tool warnings, Success answered Yes %zu, No %zu\n",
              static_cast<unsigned long long>((GetTickCount64() - start) / 1000), s.checkWarnings,
              s.toolWarnings, s.successYes, s.successNo);
  for (const auto& [kind, count] : kinds) std::printf("    %6zu x %s\n", count, kind.c_str());
  PrintTally("makeskin", s.skinMakerTally());
  PrintTally("vt", s.volumeToolTally());
  for (const Tally* t : {&s.skinMakerTally(), &s.volumeToolTally()}) {
    CHECK_EQ(t->splits, 0u);
    CHECK_EQ(t->injected, 0u);
    CHECK_EQ(t->exact, t->runs);
  }
  RemoveTree(run.tree.root);
}
