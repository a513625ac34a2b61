// Hostile input through the real window and the real stand-in tools: every entry of the
// corpus typed as a prefix into either prefix box, and given as the name of a picture, a
// volume and a folder picked through the panes. A prefix is either refused by the prefix
// check with its warning or reaches the tool exactly, as one argument; a name that the file
// system takes always reaches the tool exactly, as one argument.
#include <windows.h>

#include <cstdio>

#include "app/QuorvaneCode.h"
#include "tests/support/HostileCorpus.h"
#include "tests/reliability/Session.h"
#include "tests/support/check.h"

using namespace quorvane;
using namespace quorvane::ui;
using namespace reliability;

namespace {

const std::wstring kFolder = check::ProgramFolder();  // the game folder: AppDir

// How many runs of the tools may be on their way before the test waits for them: enough to
// keep both cores busy, few enough to keep each log short.
constexpr size_t kBatch = 8;

// Types an entry into a prefix box; the box holds what it was given, and the Skins box's
// text is the recorded prefix.
std::wstring TypePrefix(UserSession& s, ControlId box, const hostile::Entry& entry) {
  check::Type(s[box], entry.text);
  s.Pump();
  const std::wstring held = check::TextOf(s[box]);
  if (held != entry.text)
    std::printf("  note: the prefix box holds %s for %s\n", check::Show(held).c_str(), entry.label);
  if (box == kText1 && s.state().Prefix != held)
    s.Fail(
        __FILE__, __LINE__,
        s.origin + ": Prefix is " + check::Show(s.state().Prefix) + ", the box holds " + check::Show(held));
  return held;
}

void Report(const char* suite, UserSession& s, size_t refused, size_t reached) {
  std::printf(
      "  %s: %zu refused by the prefix check, %zu handed to the tools; %zu check warnings, %zu tool "
      "warnings, Success answered Yes %zu, No %zu\n",
      suite, refused, reached, s.checkWarnings, s.toolWarnings, s.successYes, s.successNo);
  for (const auto& [kind, count] : s.toolWarningKinds)
    std::printf("    %zu x %s\n", count, check::Utf8(kind.substr(0, 160)).c_str());
  PrintTally("makeskin", s.skinMakerTally());
  PrintTally("vt", s.volumeToolTally());
  std::printf("  %llu ms spent waiting for the tools\n", s.settleMs);
}

// `prefixes`: every run's files are named by a prefix that passed the checks, and the tools
// must be able to write them.
void CheckNoDamage(UserSession& s, bool prefixes) {
  if (prefixes) CHECK_EQ(s.toolWarnings, 0u);
  for (const Tally* t : {&s.skinMakerTally(), &s.volumeToolTally()}) {
    CHECK_EQ(t->splits, 0u);
    CHECK_EQ(t->injected, 0u);
    CHECK_EQ(t->altered + t->joined, 0u);
    CHECK_EQ(t->missing + t->unexpected, 0u);
    CHECK_EQ(t->exact, t->runs);
  }
}

}  // namespace

TEST(hostile, prefixes_typed_into_the_skins_box) {
  const std::wstring pics = check::ScratchFolder(L"hostile-prefixes");
  check::WriteFile(pics + L"\\red.bmp", "BM red");
  UserSession s;
  s.printToolWarnings = true;
  s.AnswerSuccessWith([] { return IDYES; });  // every skin made goes on to its volume
  FolderModel dir1(kFolder);
  REQUIRE(NavigateTo(s, kDir1, dir1, pics));
  check::Choose(s[kFile1], check::IndexOf(s[kFile1], L"red.bmp"));
  const std::wstring skin = JoinPath(pics, L"red.bmp");
  REQUIRE(s.state().SkinFile == skin);

  size_t refused = 0, reached = 0;
  const auto& corpus = hostile::Corpus();
  for (size_t i = 0; i < corpus.size(); ++i) {
    const hostile::Entry& entry = corpus[i];
    s.origin = std::string("Skins prefix ") + entry.label;
    // Each palette and armor in turn: the skin's name holds the armor.
    const int palette = static_cast<int>(i % 3) + 1, armor = static_cast<int>(i % 5) + 1;
    check::Click(s[static_cast<ControlId>(kOption1 + palette - 1)]);
    check::Click(s[static_cast<ControlId>(kOption4 + armor - 1)]);
    const std::wstring prefix = TypePrefix(s, kText1, entry);
    if (s.ContinueSkins({palette, armor, skin, prefix}))
      ++reached;
    else
      ++refused;
    if (s.Outstanding() >= kBatch) s.Settle();
  }
  s.Settle();
  Report("Skins box", s, refused, reached);
  CheckNoDamage(s, true);
  CHECK(reached > 0 && refused > 0);
  // Nothing the prefixes did moved the pick.
  CHECK_EQ(s.state().SkinFile, skin);
  CHECK_EQ(s.state().AppDir, kFolder);
  CHECK(s.Responsive());
  RemoveTree(pics);
}

TEST(hostile, prefixes_typed_into_the_volumes_box) {
  const std::wstring pics = check::ScratchFolder(L"hostile-prefixes");
  check::WriteFile(pics + L"\\red.bmp", "BM red");
  UserSession s;
  s.printToolWarnings = true;
  FolderModel dir2(kFolder);
  s.ShowPage(1);
  REQUIRE(NavigateTo(s, kDir2, dir2, pics));
  check::Choose(s[kFile2], check::IndexOf(s[kFile2], L"red.bmp"));
  const std::wstring skin = JoinPath(pics, L"red.bmp");
  REQUIRE(s.state().VolumeSkinFile == skin);

  size_t refused = 0, reached = 0;
  for (const hostile::Entry& entry : hostile::Corpus()) {
    s.origin = std::string("Volumes prefix ") + entry.label;
    const std::wstring prefix = TypePrefix(s, kText2, entry);
    if (s.ContinueVolumes({true, prefix, L"", skin}))
      ++reached;
    else
      ++refused;
    if (s.Outstanding() >= kBatch) s.Settle();
  }
  s.Settle();
  Report("Volumes box", s, refused, reached);
  CheckNoDamage(s, true);
  CHECK(reached > 0 && refused > 0);
  CHECK_EQ(s.state().VolumeSkinFile, skin);
  CHECK_EQ(s.state().AppDir, kFolder);
  CHECK(s.Responsive());
  RemoveTree(pics);
}

TEST(hostile, names_of_pictures_volumes_and_folders) {
  const std::wstring root = check::ScratchFolder(L"hostile-names");
  const std::wstring files = root + L"\\files", folders = root + L"\\folders";
  REQUIRE(MakeFolder(files) && MakeFolder(folders));

  // What the file system takes, made and then read back: a name only counts when the folder
  // lists it exactly as given. The panes leave hidden files out, as the system's own lists
  // do, and Wine hides names that begin with a dot.
  struct Made {
    const hostile::Entry* entry;
    bool asFiles = false, asFolder = false;
  };
  auto listed = [](const std::wstring& folder, const std::wstring& name) {
    for (const std::wstring& n : NamesIn(folder))
      if (n == name) return true;
    return false;
  };
  auto hidden = [](const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(LongForm(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  };
  auto make = [&](const std::wstring& folder, const std::wstring& name, bool asFolder, const char*& why) {
    const std::wstring path = folder + L"\\" + name;
    if (!(asFolder ? MakeFolder(path) : MakeFile(path, "BM")) || !listed(folder, name)) {
      why = "the file system does not take it";
      return false;
    }
    if (hidden(path)) {
      why = "the file system hides it";
      return false;
    }
    return true;
  };
  std::vector<Made> made;
  size_t skipped = 0;
  for (const hostile::Entry& entry : hostile::Corpus()) {
    Made m{&entry};
    const std::wstring& name = entry.text;
    const char* whyNotFiles = "a separator makes it a path, not a name";
    const char* whyNotFolder = whyNotFiles;
    if (!name.empty() && name.find_first_of(L"\\/") == std::wstring::npos) {
      m.asFiles =
          make(files, name + L".bmp", false, whyNotFiles) && make(files, name + L".vol", false, whyNotFiles);
      m.asFolder = make(folders, name, true, whyNotFolder) &&
                   make(folders + L"\\" + name, L"in.bmp", false, whyNotFolder) &&
                   make(folders + L"\\" + name, L"in.vol", false, whyNotFolder);
    } else if (name.empty()) {
      whyNotFiles = whyNotFolder = "a name cannot be empty";
    }
    if (!m.asFiles) std::printf("  skipped %s as a file name: %s\n", entry.label, whyNotFiles);
    if (!m.asFolder) std::printf("  skipped %s as a folder name: %s\n", entry.label, whyNotFolder);
    skipped += !m.asFiles + !m.asFolder;
    made.push_back(m);
  }

  UserSession s;
  s.printToolWarnings = true;
  s.AnswerSuccessWith([] { return IDNO; });  // the picked name is the point, not the packing
  FolderModel dir1(kFolder), dir2(kFolder), dir3(kFolder);
  check::Click(s[kOption2]);
  check::Click(s[kOption5]);
  s.ShowPage(1);
  check::Click(s[kOption10]);  // "Existing Volume": one run carries a picked volume and picture
  s.ShowPage(0);

  // Picks `name` in a file list and checks the pane recorded the full path.
  auto pick = [&](ControlId list, const std::wstring& folder, const std::wstring& name,
                  std::wstring QuorvaneCode::*field) {
    // A folder read that takes long fills the list a little later, from the window's timer.
    int line = -1;
    check::PumpUntil([&] { return (line = check::IndexOf(s[list], name)) >= 0; }, 5000);
    if (line < 0) {
      s.Fail(__FILE__, __LINE__,
             s.origin + ": " + check::Show(name) + " is not listed in " + check::Show(folder) + ": " +
                 check::Show(check::Items(s[list])));
      return std::wstring();
    }
    check::Choose(s[list], line);
    s.Pump();
    const std::wstring want = JoinPath(folder, name);
    const std::wstring recorded = s.state().*field;
    if (recorded != want)
      s.Fail(__FILE__, __LINE__,
             s.origin + ": recorded " + check::Show(recorded) + ", want " + check::Show(want));
    return recorded;
  };
  // Every name in turn on the Skins page, then on the Volumes page (switching pages repaints
  // lists full of names that need other fonts, which costs Wine a while). Each skin gets a
  // name of its own, so that the skin maker's runs need not wait for each other.
  struct Place {
    std::string origin;
    std::wstring folder, picture, volume;
  };
  std::vector<Place> places;  // the files first: one folder for all of them
  for (const Made& m : made)
    if (m.asFiles)
      places.push_back({std::string("picture and volume named ") + m.entry->label, files,
                        m.entry->text + L".bmp", m.entry->text + L".vol"});
  for (const Made& m : made)
    if (m.asFolder)
      places.push_back({std::string("folder named ") + m.entry->label, folders + L"\\" + m.entry->text,
                        L"in.bmp", L"in.vol"});
  for (size_t i = 0; i < places.size(); ++i) {
    const Place& p = places[i];
    s.origin = p.origin + ", on the Skins page";
    if (!NavigateTo(s, kDir1, dir1, p.folder)) continue;
    const std::wstring skin = pick(kFile1, p.folder, p.picture, &QuorvaneCode::SkinFile);
    const std::wstring prefix = L"hostile " + std::to_wstring(i);
    check::Type(s[kText1], prefix);
    if (!skin.empty()) s.ContinueSkins({2, 2, skin, prefix});
    if (s.Outstanding() >= kBatch) s.Settle();
  }
  s.ShowPage(1);
  for (const Place& p : places) {
    s.origin = p.origin + ", on the Volumes page";
    if (!NavigateTo(s, kDir2, dir2, p.folder) || !NavigateTo(s, kDir3, dir3, p.folder)) continue;
    const std::wstring skin = pick(kFile2, p.folder, p.picture, &QuorvaneCode::VolumeSkinFile);
    const std::wstring vol = pick(kFile3, p.folder, p.volume, &QuorvaneCode::VolumeFile);
    if (!skin.empty() && !vol.empty()) s.ContinueVolumes({false, L"", vol, skin});
    if (s.Outstanding() >= kBatch) s.Settle();
  }
  const size_t tried = places.size();
  s.Settle();
  std::printf("  names: %zu made and picked (as files or as folders), %zu skipped\n", tried, skipped);
  Report("names", s, 0, tried);
  CheckNoDamage(s, false);
  CHECK(s.Responsive());
  CHECK_EQ(s.state().AppDir, kFolder);
  RemoveTree(root);
}
