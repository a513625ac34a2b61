// Folders that misbehave under the picking panes of the real main window: vanishing while
// shown, unreadable, holding 100,000 pictures, with names of 255 characters, or deeper than
// MAX_PATH; and a picked file that is gone by the time "Continue" is pressed. The lists stay
// usable, picks record the right paths, and the tools get exactly those paths.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "services/WinError.h"
#include "tests/support/main_window.h"
#include "tests/support/ui_driver.h"

using namespace check;
using namespace quorvane::ui;
using check::SeenBox;

namespace {

// The folder list's current folder, as the user sees it: its highlighted line.
std::wstring CurrentLine(HWND dir) {
  return Item(dir, Selection(dir));
}

// The program folder's own line in a folder list: its last name.
std::wstring ProgramFolderLine() {
  const std::wstring folder = GameFolder().substr(0, GameFolder().size() - 1);
  return folder.substr(folder.find_last_of(L'\\') + 1);
}

// Opens a chain of folders one line at a time, as a user double-clicks down into it.
void OpenDown(OpenWindow& w, ControlId dir, const std::vector<std::wstring>& names) {
  for (const std::wstring& name : names) {
    w.open(dir, name);
    CHECK_EQ(CurrentLine(w[dir]), name);
  }
}

void ReadySkinsOptions(OpenWindow& w, const std::wstring& prefix) {
  w.showPage(0);
  check::Click(w[kOption1]);
  check::Click(w[kOption4]);
  check::Type(w[kText1], prefix);
}

// A name of exactly `length` characters: the words repeated, then the ending.
std::wstring NameOf(size_t length, const std::wstring& words, const std::wstring& ending) {
  std::wstring name;
  while (name.size() < length - ending.size()) name += words;
  name.resize(length - ending.size());
  if (name.back() == L' ') name.back() = L'x';  // Windows drops a trailing blank
  return name + ending;
}

// The line vt.exe writes into a volume for each file added to it.
std::string VolumeLine(const std::wstring& file, size_t size) {
  return check::Utf8(L"[" + file + L"] " + std::to_wstring(size)) + "\n";
}

}  // namespace

TEST(folders, a_folder_deleted_while_shown_leaves_the_lists_usable) {
  CleanGameFolder();
  const std::wstring doomed = ScratchFolder(L"doomed");
  REQUIRE(MakeFolder(doomed + L"\\inner"));
  REQUIRE(MakeFile(doomed + L"\\x.bmp"));
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  OpenDown(w, kDir1, {L"scratch", L"doomed"});
  const Args doomedFiles{L"x.bmp"};
  CHECK_EQ(LinesOnceFilled(w[kFile1], doomedFiles), doomedFiles);

  // Its picture is picked, then the folder is deleted from outside while shown, by another
  // program, active meanwhile: Quorvane holds no handle that keeps it, and once active again,
  // the pane moves by itself to the nearest folder still there, the pick as the user made it.
  w.choose(kFile1, L"x.bmp");
  CHECK_EQ(w.state().SkinFile, doomed + L"\\x.bmp");
  SendMessageW(w.window.hwnd(), WM_ACTIVATEAPP, FALSE, 0);
  check::RemoveTree(doomed);
  CHECK(check::PumpUntil([&] { return !Exists(doomed); }));  // let go of on the watcher's thread
  SendMessageW(w.window.hwnd(), WM_ACTIVATEAPP, TRUE, 0);
  REQUIRE(check::PumpUntil([&] { return CurrentLine(w[kDir1]) == L"scratch" && check::Items(w[kFile1]).empty(); }));
  CHECK_EQ(check::IndexOf(w[kDir1], L"doomed"), -1);
  CHECK_EQ(check::IndexOf(w[kDir1], L"inner"), -1);
  CHECK_EQ(w.state().SkinFile, doomed + L"\\x.bmp");
  CHECK(IsWindow(w.window.hwnd()) && !QuitPosted());

  // The lists go on: a new folder is opened and its picture made into a skin.
  const std::wstring after = GameFolder() + L"scratch\\after";
  REQUIRE(MakeFolder(after));
  REQUIRE(MakeFile(after + L"\\y.bmp", "BM y"));
  w.open(kDir1, L"scratch");  // read afresh
  OpenDown(w, kDir1, {L"after"});
  w.choose(kFile1, L"y.bmp");
  CHECK_EQ(w.state().SkinFile, after + L"\\y.bmp");
  ReadySkinsOptions(w, L"after");
  boxes.answers = {IDNO};
  check::Click(w[kCommand1]);
  w.waitForTools();
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{Question(L"after")}));
  CHECK_EQ(check::ReadAll(GameFolder() + L"after.larmor.bmp"), std::string("BM y"));
  CleanGameFolder();
}

TEST(folders, a_picked_file_deleted_before_continue_is_told_about) {
  CleanGameFolder();
  REQUIRE(MakeFile(GameFolder() + L"red.bmp", "BM red"));
  REQUIRE(MakeFile(GameFolder() + L"blue.bmp", "BM blue"));
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  ReadySkinsOptions(w, L"gone");
  w.choose(kFile1, L"red.bmp");
  REQUIRE(DeleteFileW((GameFolder() + L"red.bmp").c_str()));
  check::Click(w[kCommand1]);
  w.waitForTools();
  // The request still ran, with the picked path; the skin maker could not read it.
  const auto makers = ToolLog(L"makeskin");
  REQUIRE(makers.size() == 1u);
  CHECK_EQ(makers[0].crtArgs,
           (Args{GameFolder() + L"makeskin.exe", L"pal1", GameFolder() + L"red.bmp", GameFolder() + L"gone.larmor.bmp"}));
  CHECK_EQ(makers[0].exitCode, 2);
  CHECK_EQ(
      boxes.seen,
      (std::vector<SeenBox>{Warning(L"The skin " + GameFolder() +
                                    L"gone.larmor.bmp was not made: makeskin.exe ended with code 2. The picked "
                                    L"picture " + GameFolder() + L"red.bmp is no longer there..!")}));
  CHECK(!Exists(GameFolder() + L"gone.larmor.bmp"));

  // The same on the Volumes page: the volume tool cannot find the picture.
  boxes.seen.clear();
  w.showPage(1);
  w.choose(kFile2, L"blue.bmp");
  check::Type(w[kText2], L"gone");
  REQUIRE(DeleteFileW((GameFolder() + L"blue.bmp").c_str()));
  check::Click(w[kCommand4]);
  w.waitForTools();
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{Warning(L"The file " + GameFolder() + L"blue.bmp was not added to " +
                                                     GameFolder() + L"gone.vol: vt.exe ended with code 2..!")}));
  CHECK(!Exists(GameFolder() + L"gone.vol"));
  CHECK(IsWindow(w.window.hwnd()) && !QuitPosted());

  // Both picks stay as they were, and a picture put back is made into a skin.
  CHECK_EQ(w.state().SkinFile, GameFolder() + L"red.bmp");
  CHECK_EQ(w.state().VolumeSkinFile, GameFolder() + L"blue.bmp");
  REQUIRE(MakeFile(GameFolder() + L"red.bmp", "BM red again"));
  boxes.seen.clear();
  boxes.answers = {IDNO};
  w.showPage(0);
  check::Click(w[kCommand1]);
  w.waitForTools();
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{Question(L"gone")}));
  CleanGameFolder();
}

TEST(folders, an_unreadable_folder_is_told_about_and_the_pane_stays) {
  CleanGameFolder();
  const std::wstring tree = ScratchFolder(L"locked tree"), locked = tree + L"\\locked";
  REQUIRE(MakeFolder(locked));
  REQUIRE(MakeFolder(locked + L"\\inside"));
  REQUIRE(MakeFile(locked + L"\\red.bmp"));
  struct Clean {
    ~Clean() { CleanGameFolder(); }
  } clean;
  const check::UnreadableFolder unreadable(locked);
  if (!unreadable.Made()) {
    std::printf(
        "  skipped: this system does not enforce access lists, so no folder can be made unreadable\n");
    return;
  }
  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  OpenDown(w, kDir1, {L"scratch", L"locked tree"});
  const std::vector<std::wstring> before = check::Items(w[kFile1]);
  w.open(kDir1, L"locked");
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{Warning(L"Unable to open " + locked + L": " +
                                                     quorvane::SystemMessage(ERROR_ACCESS_DENIED) + L"..!")}));
  CHECK_EQ(w.state().Answer, IDOK);
  // The pane stays where it was, and the rest of the disk is as usable as before.
  CHECK_EQ(CurrentLine(w[kDir1]), L"locked tree");
  CHECK_EQ(check::Items(w[kFile1]), before);
  w.open(kDir1, L"scratch");
  CHECK(check::IndexOf(w[kDir1], L"locked tree") >= 0);
  CHECK(IsWindow(w.window.hwnd()) && !QuitPosted());
}

TEST(folders, a_folder_of_100000_pictures_lists_and_picks_right) {
  constexpr int kFiles = 100000;
  CleanGameFolder();
  const std::wstring big = GameFolder() + L"100000 files";
  if (!check::FileExists(big + L".made"))
    check::Abort(__FILE__, __LINE__,
                 "the folder of 100,000 pictures is missing: CTest makes it (faults_tests.bigfolder), or run "
                 "cmake -DFOLDER=<program folder>/100000\\ files -DCOUNT=100000 -P "
                 "tests/faults/make_big_folder.cmake");
  auto nameOf = [](int i) {
    wchar_t name[32];
    std::swprintf(name, 32, i % 2 ? L"Skin%06d.BMP" : L"skin%06d.bmp", i);
    return std::wstring(name);
  };
  OpenWindow w;
  const HWND files = w[kFile1];

  // Timed without the message-box answerer: its hook would see each of the 100,000 names added.
  ULONGLONG start = GetTickCount64();
  w.open(kDir1, L"100000 files");
  REQUIRE(check::PumpUntil([&] { return SendMessageW(files, LB_GETCOUNT, 0, 0) == kFiles; }, 120000));
  const ULONGLONG listed = GetTickCount64() - start;
  start = GetTickCount64();
  RedrawWindow(w.window.hwnd(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const ULONGLONG drawn = GetTickCount64() - start;

  CHECK_EQ(Selection(files), static_cast<LRESULT>(LB_ERR));
  // In order without regard to case, whatever order the disk gave.
  for (int i : {0, 1, 2, 999, 1000, 1001, 50000, 50001, 99998, 99999})
    CHECK_EQ(Item(files, i), nameOf(i));

  // Picks by mouse and keyboard record the right paths, far down the list too.
  start = GetTickCount64();
  check::Choose(files, kFiles - 1);
  const ULONGLONG picked = GetTickCount64() - start;
  CHECK_EQ(w.state().SkinFile, big + L"\\" + nameOf(kFiles - 1));
  check::Choose(files, 54321);
  CHECK_EQ(w.state().SkinFile, big + L"\\" + nameOf(54321));
  check::Key(files, VK_HOME);
  CHECK_EQ(w.state().SkinFile, big + L"\\" + nameOf(0));
  check::Key(files, VK_END);
  CHECK_EQ(w.state().SkinFile, big + L"\\" + nameOf(kFiles - 1));
  check::Key(files, VK_PRIOR);
  const LRESULT paged = Selection(files);
  CHECK(paged > 0 && paged < kFiles - 1);
  CHECK_EQ(w.state().SkinFile, big + L"\\" + nameOf(static_cast<int>(paged)));

  // The picked picture is made into a skin.
  check::MessageBoxAnswerer boxes;
  check::Choose(files, 77777);
  ReadySkinsOptions(w, L"big");
  boxes.answers = {IDNO};
  check::Click(w[kCommand1]);
  w.waitForTools();
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{Question(L"big")}));
  CHECK_EQ(check::ReadAll(GameFolder() + L"big.larmor.bmp"), std::string("BM picture 77000\n"));

  // Leaving it is as quick as any folder.
  start = GetTickCount64();
  w.open(kDir1, ProgramFolderLine());
  CHECK(check::PumpUntil([&] { return SendMessageW(files, LB_GETCOUNT, 0, 0) < 10; }, 10000));
  const ULONGLONG left = GetTickCount64() - start;
  CHECK_EQ(w.state().SkinFile, big + L"\\" + nameOf(77777));
  std::printf(
      "  note: 100,000 pictures listed in File1 in %llu ms, drawn in %llu ms, a pick took %llu ms, "
      "leaving took %llu ms\n",
      static_cast<unsigned long long>(listed), static_cast<unsigned long long>(drawn),
      static_cast<unsigned long long>(picked), static_cast<unsigned long long>(left));
  CleanGameFolder();
}

TEST(folders, names_of_255_characters_are_picked_and_passed_whole) {
  CleanGameFolder();
  const std::wstring folderName = NameOf(255, L"a folder with a name as long as Windows allows ", L"");
  const std::wstring pictureName = NameOf(255, L"a picture with a long name ", L".bmp");
  const std::wstring volumeName = NameOf(255, L"a volume with a long name ", L".vol");
  const std::wstring prefix = NameOf(244, L"prefix ", L"");  // the skin's name: 255 characters
  const std::wstring folder = ScratchFolder(L"names") + L"\\" + folderName;
  REQUIRE(MakeFolder(folder));
  REQUIRE(MakeFile(folder + L"\\" + pictureName, "BM long"));
  REQUIRE(MakeFile(folder + L"\\" + volumeName, ""));
  const std::wstring picture = folder + L"\\" + pictureName, volume = folder + L"\\" + volumeName;

  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  OpenDown(w, kDir1, {L"scratch", L"names", folderName});
  CHECK_EQ(LinesOnceFilled(w[kFile1], {pictureName}), Args{pictureName});
  w.choose(kFile1, pictureName);
  CHECK_EQ(w.state().SkinFile, picture);

  // The skin gets a name of 255 characters, its volume one of 248.
  ReadySkinsOptions(w, prefix);
  boxes.answers = {IDYES};
  check::Click(w[kCommand1]);
  w.waitForTools();
  const std::wstring skinName = prefix + L".larmor.bmp";
  REQUIRE(skinName.size() == 255u);
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{Question(prefix)}));
  const auto makers = ToolLog(L"makeskin");
  REQUIRE(makers.size() == 1u);
  CHECK_EQ(makers[0].crtArgs, (Args{GameFolder() + L"makeskin.exe", L"pal1", picture, GameFolder() + skinName}));
  CHECK_EQ(check::ReadAll(GameFolder() + skinName), std::string("BM long"));
  auto packs = ToolLog(L"vt");
  REQUIRE(packs.size() == 1u);
  CHECK_EQ(packs[0].crtArgs, (Args{GameFolder() + L"vt.exe", L"-sp", GameFolder() + prefix + L".vol", skinName}));
  CHECK_EQ(check::ReadAll(GameFolder() + prefix + L".vol"), VolumeLine(GameFolder() + skinName, 7));

  // The Volumes page packs the long-named picture into the long-named volume beside it.
  boxes.seen.clear();
  w.showPage(1);
  check::Click(w[kOption10]);
  OpenDown(w, kDir2, {L"scratch", L"names", folderName});
  w.choose(kFile2, pictureName);
  OpenDown(w, kDir3, {L"scratch", L"names", folderName});
  CHECK_EQ(LinesOnceFilled(w[kFile3], {volumeName}), Args{volumeName});
  w.choose(kFile3, volumeName);
  check::Click(w[kCommand4]);
  w.waitForTools();
  CHECK(boxes.seen.empty());
  packs = ToolLog(L"vt");
  REQUIRE(packs.size() == 2u);
  CHECK_EQ(packs[1].crtArgs, (Args{GameFolder() + L"vt.exe", L"-sp", volume, picture}));
  CHECK_EQ(check::ReadAll(volume), VolumeLine(picture, 7));
  CleanGameFolder();
}

TEST(folders, a_chain_deeper_than_max_path_is_opened_picked_and_passed_whole) {
  CleanGameFolder();
  std::wstring deep = ScratchFolder(L"deep");
  std::vector<std::wstring> chain;
  size_t crossedAt = 0;
  for (int level = 1; level <= 16; ++level) {
    wchar_t name[64];
    std::swprintf(name, 64, L"level %02d of a chain of folders", level);
    chain.push_back(name);
    deep += L"\\" + chain.back();
    REQUIRE(MakeFolder(deep));
    std::swprintf(name, 64, L"\\picture %02d.bmp", level);
    REQUIRE(MakeFile(deep + name, "BM deep"));
    if (crossedAt == 0 && deep.size() + 20 >= MAX_PATH) crossedAt = static_cast<size_t>(level);
  }
  const std::wstring picture = deep + L"\\picture 16.bmp", volume = deep + L"\\deep.vol";
  REQUIRE(MakeFile(volume, ""));
  REQUIRE(picture.size() > 2 * MAX_PATH);
  std::printf(
      "  note: the chain passes MAX_PATH at level %zu; the deepest picture's path has %zu characters\n",
      crossedAt, picture.size());

  OpenWindow w;
  check::MessageBoxAnswerer boxes;
  OpenDown(w, kDir1, {L"scratch", L"deep"});
  // Every level shows its picture, on both sides of the old limit.
  for (size_t level = 0; level < chain.size(); ++level) {
    OpenDown(w, kDir1, {chain[level]});
    wchar_t name[32];
    std::swprintf(name, 32, L"picture %02zu.bmp", level + 1);
    CHECK_EQ(LinesOnceFilled(w[kFile1], {name}), Args{name});
  }
  w.choose(kFile1, L"picture 16.bmp");
  CHECK_EQ(w.state().SkinFile, picture);
  ReadySkinsOptions(w, L"deep");
  boxes.answers = {IDYES};
  check::Click(w[kCommand1]);
  w.waitForTools();
  CHECK_EQ(boxes.seen, (std::vector<SeenBox>{Question(L"deep")}));
  const auto makers = ToolLog(L"makeskin");
  REQUIRE(makers.size() == 1u);
  CHECK_EQ(makers[0].crtArgs,
           (Args{GameFolder() + L"makeskin.exe", L"pal1", picture, GameFolder() + L"deep.larmor.bmp"}));
  CHECK_EQ(makers[0].shellArgs, makers[0].crtArgs);
  CHECK_EQ(check::ReadAll(GameFolder() + L"deep.larmor.bmp"), std::string("BM deep"));

  // Packed from the Volumes page into a volume at the bottom of the chain.
  boxes.seen.clear();
  w.showPage(1);
  check::Click(w[kOption10]);
  std::vector<std::wstring> path{L"scratch", L"deep"};
  path.insert(path.end(), chain.begin(), chain.end());
  OpenDown(w, kDir2, path);
  w.choose(kFile2, L"picture 16.bmp");
  OpenDown(w, kDir3, path);
  w.choose(kFile3, L"deep.vol");
  CHECK_EQ(w.state().VolumeFile, volume);
  check::Click(w[kCommand4]);
  w.waitForTools();
  CHECK(boxes.seen.empty());
  const auto packs = ToolLog(L"vt");
  REQUIRE(packs.size() == 2u);
  CHECK_EQ(packs[1].crtArgs, (Args{GameFolder() + L"vt.exe", L"-sp", volume, picture}));
  CHECK_EQ(check::ReadAll(volume), VolumeLine(picture, 7));
  CleanGameFolder();
}
