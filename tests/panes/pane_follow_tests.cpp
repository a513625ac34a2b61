// The panes following the disk: files and folders made, deleted and renamed from outside show
// in a watched pane by themselves, leaving the scroll position, the highlight and the pick as
// they were; a vanished folder moves its pane up; an unwatched pane reads nothing until it is
// watched again.
#include <cstdio>
#include <string>
#include <vector>

#include "app/FolderListing.h"
#include "services/ResultWindow.h"
#include "tests/panes/pane_window.h"
#include "tests/support/check.h"

using namespace quorvane;
using namespace panes_test;

namespace {

bool Has(const std::vector<std::wstring>& names, const std::wstring& name) {
  for (const std::wstring& n : names)
    if (n == name) return true;
  return false;
}

bool Shows(HWND list, const std::wstring& name) { return Has(check::Items(list), name); }

bool MakeFolder(const std::wstring& path) {
  return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::wstring Line(HWND list, LRESULT i) {
  const std::vector<std::wstring> texts = check::Items(list);
  return i >= 0 && static_cast<size_t>(i) < texts.size() ? texts[static_cast<size_t>(i)] : L"";
}

std::wstring OnTop(HWND list) { return Line(list, SendMessageW(list, LB_GETTOPINDEX, 0, 0)); }
std::wstring Selected(HWND list) { return Line(list, check::Selection(list)); }

}  // namespace

TEST(follow, files_and_folders_changed_outside_show_without_moving_the_view_or_the_pick) {
  const std::wstring tree = check::ScratchFolder(L"follow");
  for (int i = 10; i < 50; ++i) check::WriteFile(tree + L"\\pic" + std::to_wstring(i) + L".bmp", "BM");
  PaneWindow w;
  HWND files = w.file1List.Handle(), dir = w.dir1List.Handle();
  REQUIRE(w.dir1.SetPath(tree));
  w.dir1.Follow(true);
  REQUIRE(w.file1.Names().size() == size_t{40});
  SendMessageW(files, LB_SETTOPINDEX, 10, 0);
  check::Choose(files, 20);
  const std::wstring onTop = OnTop(files), chosen = Selected(files), picked = w.state.SkinFile;
  REQUIRE(onTop == L"pic20.bmp" && chosen == L"pic30.bmp" && picked == tree + L"\\pic30.bmp");

  // Made, deleted and renamed before the view and after it, by someone else.
  check::WriteFile(tree + L"\\aaa made.bmp", "BM");
  check::WriteFile(tree + L"\\not a picture.txt", "");
  REQUIRE(DeleteFileW((tree + L"\\pic11.bmp").c_str()));
  REQUIRE(MoveFileW((tree + L"\\pic12.bmp").c_str(), (tree + L"\\zzz renamed.bmp").c_str()));
  REQUIRE(CreateDirectoryW((tree + L"\\new folder").c_str(), nullptr));
  REQUIRE(check::PumpUntil([&] {
    return Shows(files, L"aaa made.bmp") && !Shows(files, L"pic11.bmp") && !Shows(files, L"pic12.bmp") &&
           Shows(files, L"zzz renamed.bmp") && Shows(dir, L"new folder");
  }));
  CHECK(!Shows(files, L"not a picture.txt"));
  CHECK_EQ(check::Items(files), w.file1.Names());
  CHECK_EQ(w.file1.Names().size(), size_t{40});
  CHECK_EQ(OnTop(files), onTop);
  CHECK_EQ(Selected(files), chosen);
  CHECK_EQ(w.file1.FileName(), chosen);
  CHECK_EQ(w.state.SkinFile, picked);
  CHECK_EQ(w.dir1Changes, 1);  // only SetPath's: an update is not a change of folder

  // The chosen file itself deleted: nothing is chosen, and the pick stays as it was made.
  REQUIRE(DeleteFileW((tree + L"\\" + chosen).c_str()));
  REQUIRE(RemoveDirectoryW((tree + L"\\new folder").c_str()));
  REQUIRE(check::PumpUntil([&] { return !Shows(files, chosen) && !Shows(dir, L"new folder"); }));
  CHECK_EQ(check::Selection(files), -1);
  CHECK_EQ(OnTop(files), onTop);
  CHECK_EQ(w.state.SkinFile, picked);
  CHECK_EQ(w.dir1.Path(), tree);
  check::RemoveTree(tree);
}

TEST(follow, a_folder_above_renamed_while_not_followed_moves_the_pane_as_it_follows_again) {
  // Renamed while not followed: NTFS refuses to rename a folder above one held open (Wine allows it).
  const std::wstring tree = check::ScratchFolder(L"vanish");
  const std::wstring a = tree + L"\\a", b = a + L"\\b";
  REQUIRE(CreateDirectoryW(a.c_str(), nullptr) && CreateDirectoryW(b.c_str(), nullptr));
  check::WriteFile(b + L"\\in b.bmp", "BM");
  check::WriteFile(tree + L"\\in tree.bmp", "BM");
  PaneWindow w;
  REQUIRE(w.dir1.SetPath(b));
  w.dir1.Follow(true);
  check::Choose(w.file1List.Handle(), 0);
  const std::wstring picked = w.state.SkinFile;
  REQUIRE(picked == b + L"\\in b.bmp");
  const int changes = w.dir1Changes;

  w.dir1.Follow(false);  // its folders let go of a moment later, on the watcher's thread
  REQUIRE(check::PumpUntil([&] { return MoveFileW(a.c_str(), (tree + L"\\renamed").c_str()) != FALSE; }));
  w.dir1.Follow(true);
  REQUIRE(check::PumpUntil([&] { return w.dir1.Path() == tree; }));
  REQUIRE(check::PumpUntil([&] { return w.file1.Path() == tree && Shows(w.file1List.Handle(), L"in tree.bmp"); }));
  CHECK_EQ(w.dir1Changes, changes + 1);  // moving raises the change, so the file list follows
  CHECK(Shows(w.dir1List.Handle(), L"renamed"));
  CHECK_EQ(w.state.SkinFile, picked);
  check::RemoveTree(tree);
}

TEST(follow, an_unwatched_pane_reads_its_folder_again_only_when_watched_again) {
  const std::wstring tree = check::ScratchFolder(L"unwatched");
  PaneWindow w;
  REQUIRE(w.dir1.SetPath(tree));
  w.dir1.Follow(true);
  check::Settle();  // its read on starting, done before anything changes
  w.dir1.Follow(false);
  check::WriteFile(tree + L"\\while away.bmp", "BM");
  REQUIRE(CreateDirectoryW((tree + L"\\away").c_str(), nullptr));
  check::Pump(600);  // several times the time a watched pane takes to show it
  CHECK(w.file1.Names().empty());
  CHECK(!Shows(w.dir1List.Handle(), L"away"));
  w.dir1.Follow(true);
  REQUIRE(check::PumpUntil([&] { return Shows(w.file1List.Handle(), L"while away.bmp") && Shows(w.dir1List.Handle(), L"away"); }));
  check::RemoveTree(tree);
}

TEST(follow, the_shown_folder_just_below_a_drive_root_renamed_moves_the_pane_to_the_root) {
  // Q: is the test prefix's own drive (scripts/wine-prefix.sh), whose root the tests may change.
  if (GetFileAttributesW(L"Q:\\") == INVALID_FILE_ATTRIBUTES) {
    std::printf("  skipped: this prefix has no drive Q: of the tests' own\n");
    return;
  }
  const std::wstring games = L"Q:\\Games " + std::to_wstring(GetCurrentProcessId()), renamed = games + L" renamed";
  check::RemoveTree(games);
  check::RemoveTree(renamed);
  REQUIRE(MakeFolder(games));
  PaneWindow w;
  REQUIRE(w.dir1.SetPath(games));
  w.dir1.Follow(true);
  check::Settle();
  // Renamed while followed: its watch shares the right to delete (and so to rename) it, and
  // the root's watch sees it go.
  REQUIRE(MoveFileW(games.c_str(), renamed.c_str()));
  REQUIRE(check::PumpUntil([&] { return w.dir1.Path() == L"Q:\\"; }));
  CHECK(check::PumpUntil([&] { return Shows(w.dir1List.Handle(), renamed.substr(3)); }));
  check::RemoveTree(renamed);
}

TEST(follow, a_subfolder_made_while_its_folder_is_read_shows) {
  const std::wstring tree = check::ScratchFolder(L"between");
  REQUIRE(MakeFolder(tree + L"\\inner"));
  PaneWindow w;
  REQUIRE(w.dir1.SetPath(tree));
  w.dir1.Follow(true);
  check::Settle();
  w.settle = false;
  check::Open(w.dir1List.Handle(), static_cast<int>(w.dir1.Entries().size() - 1), false);  // "inner"
  // Read, its lines waiting to be taken in, when the subfolder is made.
  const ULONGLONG end = GetTickCount64() + 5000;
  while (!ResultsWaiting() && GetTickCount64() < end) Sleep(1);
  REQUIRE(MakeFolder(tree + L"\\inner\\made between"));
  REQUIRE(check::PumpUntil([&] { return w.dir1.Path() == tree + L"\\inner"; }));
  CHECK(check::PumpUntil([&] { return Shows(w.dir1List.Handle(), L"made between"); }, 5000));
  check::RemoveTree(tree);
}

TEST(follow, a_burst_that_overflows_the_watch_leaves_it_watching) {
  const std::wstring tree = check::ScratchFolder(L"overflow");
  PaneWindow w;
  REQUIRE(w.dir1.SetPath(tree));
  w.dir1.Follow(true);
  check::Settle();
  // Several hundred long names at once: far more than the watch's buffer holds, which the
  // system tells as a change with no names in it.
  constexpr int kMany = 400;
  for (int i = 0; i < kMany; ++i)
    check::WriteFile(tree + L"\\" + std::wstring(120, L'n') + std::to_wstring(1000 + i) + L".bmp", "");
  REQUIRE(check::PumpUntil([&] { return w.file1.Names().size() == size_t{kMany}; }));
  check::Pump(500);  // the burst's last change told and read, so that the next one needs the watch again
  check::Settle();
  check::WriteFile(tree + L"\\one more.bmp", "");
  CHECK(check::PumpUntil([&] { return Shows(w.file1List.Handle(), L"one more.bmp"); }, 5000));
  check::RemoveTree(tree);
}
