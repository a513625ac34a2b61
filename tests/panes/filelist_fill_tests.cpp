// The file list reading and filling in the background: every folder is read on a worker and
// put in between events, so these tests see it half-way where the machine is slow enough, and
// always before and after.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/FolderListing.h"
#include "tests/panes/pane_window.h"
#include "tests/support/check.h"

using namespace quorvane;
using namespace panes_test;

namespace {

// `count` pictures named so that their sorted order differs from the order they are made in.
std::vector<std::wstring> MakePictures(const std::wstring& folder, int count) {
  std::vector<std::wstring> names;
  for (int i = count; i > 0; --i) {
    wchar_t name[32];
    std::swprintf(name, 32, i % 2 ? L"Pic%04d.bmp" : L"pic%04d.BMP", i);
    check::WriteFile(folder + L"\\" + name, "BM");
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), NameLess);
  return names;
}

// Handles this thread's messages one at a time until `done` holds, so that a fill can be
// caught between two of its slices.
template <typename Done>
bool HandleUntil(Done done, DWORD timeoutMs = 15000) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else {
      MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
  }
  return true;
}

LRESULT Count(HWND list) { return SendMessageW(list, LB_GETCOUNT, 0, 0); }

}  // namespace

TEST(fill, a_folder_read_late_fills_in_the_background_sorted_and_whole) {
  const std::wstring tree = check::ScratchFolder(L"late");
  const std::vector<std::wstring> expected = MakePictures(tree, 300);
  PaneWindow w;
  HWND list = w.file1List.Handle();
  w.file1.SetPath(tree);
  // At once: the new folder, and nothing of it yet.
  CHECK(w.file1.Filling());
  CHECK_EQ(w.file1.Path(), tree);
  CHECK_EQ(Count(list), LRESULT{0});
  CHECK_EQ(w.file1.FileName(), std::wstring());

  // Between two slices (when this machine is slow enough to see one): the names so far are the
  // first of the sorted list, and the list shows exactly those.
  REQUIRE(HandleUntil([&] { return !w.file1.Names().empty(); }));
  const std::vector<std::wstring> part = w.file1.Names();
  CHECK(part.size() <= expected.size());
  CHECK(std::equal(part.begin(), part.end(), expected.begin()));
  CHECK_EQ(check::Items(list), part);

  REQUIRE(HandleUntil([&] { return !w.file1.Filling(); }));
  CHECK_EQ(w.file1.Names(), expected);
  CHECK_EQ(check::Items(list), expected);
  CHECK_EQ(w.file1.ListingError(), static_cast<DWORD>(ERROR_SUCCESS));
  CHECK_EQ(check::Selection(list), -1);
}

TEST(fill, a_click_while_it_fills_records_the_name_clicked) {
  const std::wstring tree = check::ScratchFolder(L"click");
  const std::vector<std::wstring> expected = MakePictures(tree, 300);
  PaneWindow w;
  HWND list = w.file1List.Handle();
  w.file1.SetPath(tree);
  // A click before any name is in picks nothing.
  check::Choose(list, 0);
  CHECK(w.state.SkinFile.empty());

  REQUIRE(HandleUntil([&] { return w.file1.Names().size() > 10; }));
  check::Choose(list, 10);
  CHECK_EQ(w.state.SkinFile, tree + L"\\" + expected[10]);
  // The names that go in later leave the pick and the highlight where they were.
  REQUIRE(HandleUntil([&] { return !w.file1.Filling(); }));
  CHECK_EQ(check::Selection(list), 10);
  CHECK_EQ(w.file1.FileName(), expected[10]);
  CHECK_EQ(w.state.SkinFile, tree + L"\\" + expected[10]);
}

TEST(fill, a_newer_folder_drops_the_fill_of_the_older) {
  const std::wstring tree = check::ScratchFolder(L"newer");
  const std::wstring big = tree + L"\\big", small = tree + L"\\small";
  REQUIRE(CreateDirectoryW(big.c_str(), nullptr) && CreateDirectoryW(small.c_str(), nullptr));
  MakePictures(big, 300);
  const std::vector<std::wstring> few = MakePictures(small, 3);
  PaneWindow w;
  HWND list = w.file1List.Handle();

  // Once some of the names are in...
  w.file1.SetPath(big);
  REQUIRE(HandleUntil([&] { return !w.file1.Names().empty(); }));
  w.file1.SetPath(small);
  CHECK_EQ(Count(list), LRESULT{0});  // none of the old names stays to be clicked
  REQUIRE(HandleUntil([&] { return !w.file1.Filling(); }));
  CHECK_EQ(w.file1.Names(), few);

  // ...and while the older folder is still being read: the older one's names never turn up.
  w.file1.SetPath(big);
  w.file1.SetPath(small);
  REQUIRE(HandleUntil([&] { return !w.file1.Filling(); }));
  check::Pump(300);
  CHECK_EQ(w.file1.Path(), small);
  CHECK_EQ(w.file1.Names(), few);
  CHECK_EQ(check::Items(list), few);
}

TEST(fill, the_list_or_its_window_may_go_while_it_fills) {
  const std::wstring tree = check::ScratchFolder(L"gone");
  MakePictures(tree, 300);
  {
    auto w = std::make_unique<PaneWindow>();
    w->file1.SetPath(tree);
    REQUIRE(HandleUntil([&] { return !w->file1.Names().empty(); }));
    w.reset();  // the window, its lists and their boxes go half-way through
    check::Pump(100);
  }
  {
    // A pane and its control that go before their list box: the list stays as it was, and the
    // read is dropped.
    PaneWindow w;
    HWND list = CreateWindowExW(ui::FileList::ExStyle(), L"LISTBOX", nullptr, ui::FileList::Style(), 10, 400,
                                180, 40, w.hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    REQUIRE(list != nullptr);
    auto pane = std::make_unique<FilePane>(L"*.bmp");
    auto control = std::make_unique<ui::FileList>();
    REQUIRE(control->Attach(list, *pane));
    pane->SetPath(tree);
    control.reset();
    pane.reset();
    check::Pump(300);
    CHECK_EQ(Count(list), LRESULT{0});
    // Another pane can take the list over and fill it.
    FilePane again(L"*.bmp");
    ui::FileList againList;
    REQUIRE(againList.Attach(list, again));
    again.SetPath(tree);
    REQUIRE(check::PumpUntil([&] { return !again.Filling(); }));
    CHECK_EQ(Count(list), LRESULT{300});
  }
}
