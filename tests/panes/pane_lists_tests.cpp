// The panes' real list controls in a real window, driven with the messages a user's mouse
// and keyboard produce, on folders made for each case.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/FolderListing.h"
#include "services/Handles.h"
#include "tests/panes/pane_window.h"
#include "tests/support/check.h"
#include "ui/Controls.h"

using namespace quorvane;
using namespace panes_test;

namespace {

// Folders and files made through the long form, so that deep test trees can be built too.
std::wstring Long(const std::wstring& path) { return SystemForm(path); }

void MakeFolder(const std::wstring& path) {
  if (!CreateDirectoryW(Long(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    check::Abort(__FILE__, __LINE__, "cannot create folder " + check::Show(path));
}

void MakeFolders(const std::wstring& base, const std::vector<std::wstring>& relative) {
  for (const std::wstring& r : relative) MakeFolder(base + L"\\" + r);
}

void MakeFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) check::Abort(__FILE__, __LINE__, "cannot create file " + check::Show(path));
  CloseHandle(file);
}

int IndexOf(const FolderPane& dir, const std::wstring& text) {
  const auto& entries = dir.Entries();
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].text == text) return static_cast<int>(i);
  check::Abort(__FILE__, __LINE__, "no line " + check::Show(text));
}

int IndexOf(const FilePane& files, const std::wstring& name) {
  const auto& names = files.Names();
  const auto found = std::find(names.begin(), names.end(), name);
  if (found == names.end()) check::Abort(__FILE__, __LINE__, "no file " + check::Show(name));
  return static_cast<int>(found - names.begin());
}

// The lines the folder list must show for `current` with these subfolders, as "level:text".
std::vector<std::wstring> ExpectedLines(const std::wstring& current, const std::vector<std::wstring>& subfolders) {
  std::vector<std::wstring> lines{L"0:" + RootOf(current)};
  int level = 0;
  for (const std::wstring& name : NamesBelowRoot(current)) lines.push_back(std::to_wstring(++level) + L":" + name);
  for (const std::wstring& name : subfolders) lines.push_back(std::to_wstring(level + 1) + L":" + name);
  return lines;
}

// Whether this file system keeps an attribute that was set (some hosts of Wine do not).
bool AttributeTook(const std::wstring& path, DWORD attribute) {
  const DWORD got = GetFileAttributesW(Long(path).c_str());
  return got != INVALID_FILE_ATTRIBUTES && (got & attribute);
}

}  // namespace

// ---- The folder list ----

TEST(folderlist, shows_the_chain_then_the_subfolders_sorted_one_level_deeper) {
  const std::wstring tree = check::ScratchFolder(L"chain");
  MakeFolders(tree, {L"Pics", L"Pics\\beta", L"Pics\\Alpha", L"Pics\\gamma", L"Pics\\_under",
                     L"Pics\\Zeta", L"Pics\\alpha2", L"Pics\\beta\\deep", L"Pics\\secret"});
  MakeFile(tree + L"\\Pics\\not a folder.bmp");
  SetFileAttributesW(Long(tree + L"\\Pics\\secret").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
  const bool hidden = AttributeTook(tree + L"\\Pics\\secret", FILE_ATTRIBUTE_HIDDEN);
  if (!hidden) std::printf("  note: this file system does not keep the hidden attribute\n");

  PaneWindow w;
  HWND list = w.dir1List.Handle();
  REQUIRE(w.dir1.SetPath(tree + L"\\pics\\"));  // typed in other capitals, with a trailing "\"
  const std::wstring pics = tree + L"\\Pics";
  CHECK_EQ(w.dir1.Path(), pics);
  std::vector<std::wstring> subfolders{L"Alpha", L"alpha2", L"beta", L"gamma", L"Zeta", L"_under"};
  if (!hidden) subfolders.insert(subfolders.begin() + 4, L"secret");
  const std::vector<std::wstring> expected = ExpectedLines(pics, subfolders);
  CHECK_EQ(Lines(w.dir1), expected);

  // The control holds plain names (no padding): what type-ahead and screen readers read.
  std::vector<std::wstring> texts;
  for (const std::wstring& line : expected) texts.push_back(line.substr(line.find(L':') + 1));
  CHECK_EQ(check::Items(list), texts);
  CHECK_EQ(check::Selection(list), IndexOf(w.dir1, L"Pics"));
  CHECK_EQ(w.dir1Changes, 1);
  CHECK_EQ(w.file1.Path(), pics);  // the file list followed
  CHECK_EQ(w.file1.Names(), std::vector<std::wstring>{L"not a folder.bmp"});
  UpdateWindow(w.hwnd);  // every line drawn once, through the window's WM_DRAWITEM
}

TEST(folderlist, opens_down_and_up_and_never_above_the_root) {
  const std::wstring tree = check::ScratchFolder(L"updown");
  MakeFolders(tree, {L"A", L"A\\B", L"A\\B\\C", L"A\\B2"});
  PaneWindow w;
  HWND list = w.dir1List.Handle();
  REQUIRE(w.dir1.SetPath(tree + L"\\A"));

  check::Open(list, IndexOf(w.dir1, L"B"));
  CHECK_EQ(w.dir1.Path(), tree + L"\\A\\B");
  CHECK_EQ(Lines(w.dir1), ExpectedLines(tree + L"\\A\\B", {L"C"}));
  CHECK_EQ(w.file1.Path(), tree + L"\\A\\B");

  check::Choose(list, IndexOf(w.dir1, L"C"));
  check::Key(list, VK_RETURN, 0);
  check::Settle();
  CHECK_EQ(w.dir1.Path(), tree + L"\\A\\B\\C");
  CHECK_EQ(w.okPresses, 0);  // Enter opened the folder instead of pressing "Continue"

  // Up the chain: one of the folders above.
  check::Open(list, IndexOf(w.dir1, L"A"));
  CHECK_EQ(w.dir1.Path(), tree + L"\\A");
  CHECK_EQ(Lines(w.dir1), ExpectedLines(tree + L"\\A", {L"B", L"B2"}));
  CHECK_EQ(w.dir1Changes, 4);

  // The root's line is the first and nothing is above it, however often it is opened.
  const std::wstring root = RootOf(tree);
  for (int i = 0; i < 2; ++i) {
    check::Open(list, 0);
    CHECK_EQ(w.dir1.Path(), root);
    CHECK_EQ(std::wstring(check::Items(list).at(0)), root);
    CHECK_EQ(check::Selection(list), 0);
    for (const FolderEntry& entry : w.dir1.Entries()) CHECK(entry.level <= 1);
  }
  CHECK_EQ(w.file1.Path(), root);
  REQUIRE(w.dir1.SetPath(tree + L"\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\.."));
  CHECK_EQ(w.dir1.Path(), root);

  // The folder list keeps to the root it was first set to.
  DWORD drives = GetLogicalDrives();
  std::wstring other;
  for (wchar_t letter = L'C'; letter <= L'Z' && other.empty(); ++letter)
    if ((drives >> (letter - L'A')) & 1) {
      const std::wstring candidate = std::wstring(1, letter) + L":\\";
      if (!SamePath(candidate, root)) other = candidate;
    }
  if (other.empty()) {
    std::printf("  note: no second drive here to try leaving the root\n");
  } else {
    CHECK_EQ(w.dir1.SetPath(other).error, static_cast<DWORD>(ERROR_NOT_SAME_DEVICE));
    CHECK_EQ(w.dir1.Path(), root);
  }
  // The "\\?\" form of a folder is the same folder, reported in the normal form.
  REQUIRE(w.dir1.SetPath(L"\\\\?\\" + tree + L"\\A\\B"));
  CHECK_EQ(w.dir1.Path(), tree + L"\\A\\B");
  CHECK_EQ(w.file1.Path(), tree + L"\\A\\B");
}

TEST(folderlist, keys_and_mouse_move_the_highlight_and_open_as_a_user_expects) {
  const std::wstring tree = check::ScratchFolder(L"keys");
  MakeFolders(tree, {L"apple", L"Banana", L"cherry"});
  PaneWindow w;
  HWND list = w.dir1List.Handle();
  REQUIRE(w.dir1.SetPath(tree));
  const int current = check::Selection(list);
  const int changes = w.dir1Changes;

  // Arrow keys, type-ahead and a single click only move the highlight.
  check::Key(list, VK_DOWN, 0);
  CHECK_EQ(check::Selection(list), current + 1);
  check::Key(list, VK_UP, 0);
  check::Key(list, VK_UP, 0);
  CHECK_EQ(check::Selection(list), current - 1);
  SendMessageW(list, WM_CHAR, L'c', 0);  // finds the line by its name
  CHECK_EQ(check::Selection(list), IndexOf(w.dir1, L"cherry"));
  const int banana = IndexOf(w.dir1, L"Banana");
  SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(banana), 0);
  RECT box{};
  REQUIRE(SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(banana), reinterpret_cast<LPARAM>(&box)) != LB_ERR);
  const LPARAM at = MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2);
  SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(list, WM_LBUTTONUP, 0, at);
  CHECK_EQ(check::Selection(list), banana);
  CHECK_EQ(w.dir1.Path(), tree);
  CHECK_EQ(w.dir1Changes, changes);

  // A double-click opens, the list reporting it to the window itself.
  SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageW(list, WM_LBUTTONUP, 0, at);
  CHECK_EQ(w.dir1.Path(), tree + L"\\Banana");
  CHECK_EQ(w.file1.Path(), tree + L"\\Banana");

  // Enter opens the highlighted line, through the dialog manager as in the main window...
  check::Choose(list, IndexOf(w.dir1, tree.substr(tree.find_last_of(L'\\') + 1)));
  check::Key(list, VK_RETURN, 0);
  check::Settle();
  CHECK_EQ(w.dir1.Path(), tree);
  CHECK_EQ(w.okPresses, 0);
  // ...while in the file list it still belongs to the default button.
  check::Key(w.file1List.Handle(), VK_RETURN, 0);
  check::Settle();
  CHECK_EQ(w.okPresses, 1);
}

TEST(folderlist, a_deleted_folder_opens_its_nearest_existing_ancestor) {
  const std::wstring tree = check::ScratchFolder(L"deleted");
  MakeFolders(tree, {L"A", L"A\\B", L"A\\B\\C", L"A\\B2"});
  PaneWindow w;
  HWND list = w.dir1List.Handle();
  REQUIRE(w.dir1.SetPath(tree + L"\\A\\B"));

  check::RemoveTree(tree + L"\\A\\B\\C");
  check::Open(list, IndexOf(w.dir1, L"C"));
  CHECK_EQ(w.dir1.Path(), tree + L"\\A\\B");
  CHECK_EQ(Lines(w.dir1), ExpectedLines(tree + L"\\A\\B", {}));

  // The current folder and its parent vanish while shown: opening any of their lines lands
  // on the nearest folder still there.
  check::RemoveTree(tree + L"\\A");
  check::Choose(list, IndexOf(w.dir1, L"B"));
  check::Key(list, VK_RETURN, 0);
  check::Settle();
  CHECK_EQ(w.dir1.Path(), tree);
  CHECK_EQ(Lines(w.dir1), ExpectedLines(tree, {}));
  CHECK_EQ(w.file1.Path(), tree);
  CHECK(w.file1.Names().empty());

  // Set to a folder that is not there (a stale setting at start-up): its nearest ancestor.
  REQUIRE(w.dir1.SetPath(tree + L"\\gone\\deeper"));
  CHECK_EQ(w.dir1.Path(), tree);

  // The file list told to show a folder that vanished stays empty and usable.
  w.file1.SetPath(tree + L"\\gone");
  check::Settle();
  CHECK(w.file1.Names().empty());
  CHECK_EQ(check::Items(w.file1List.Handle()).size(), size_t{0});
  CHECK(w.file1.ListingError() != static_cast<DWORD>(ERROR_SUCCESS));
}

TEST(folderlist, a_deep_folder_scrolls_sideways_until_its_name_shows) {
  const std::wstring tree = check::ScratchFolder(L"deeper");
  std::wstring deep = tree;
  for (const wchar_t* name : {L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"deep"})
    MakeFolder(deep += L"\\" + std::wstring(name));
  PaneWindow w;
  HWND list = w.dir1List.Handle();
  REQUIRE(w.dir1.SetPath(deep));
  SendMessageW(list, LB_SETTOPINDEX, w.dir1.CurrentIndex(), 0);  // its line whole in sight
  // The highlighted line as the list draws it: some of it in the highlighted text's colour.
  RECT client{}, line{};
  GetClientRect(list, &client);
  REQUIRE(SendMessageW(list, LB_GETITEMRECT, w.dir1.CurrentIndex(), reinterpret_cast<LPARAM>(&line)) != LB_ERR);
  const ScopedGetDc screen(list);
  const UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
  const UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), client.right, client.bottom));
  REQUIRE(dc && bitmap);
  const ScopedSelect drawn(dc.get(), bitmap.get());
  SendMessageW(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT | PRF_ERASEBKGND);
  SetWindowOrgEx(dc.get(), 0, 0, nullptr);  // the list leaves it at its sideways position
  int ink = 0;
  for (int y = line.top; y < line.bottom; ++y)
    for (int x = 0; x < client.right; ++x) ink += GetPixel(dc.get(), x, y) == GetSysColor(COLOR_HIGHLIGHTTEXT);
  CHECK(ink > 0);
  check::RemoveTree(tree);
}

TEST(folderlist, a_new_font_resizes_the_lines) {
  const std::wstring tree = check::ScratchFolder(L"font");
  PaneWindow w;
  HWND list = w.dir1List.Handle();
  REQUIRE(w.dir1.SetPath(tree));
  const LRESULT small = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
  // What the window does when it moves to a screen of twice the DPI.
  HFONT big = CreateFontW(-32, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma");
  REQUIRE(big != nullptr);
  w.dir1List.SetFont(big);
  const LRESULT large = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
  CHECK(large >= 32);
  CHECK(large > small);
  UpdateWindow(w.hwnd);
  w.dir1List.SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  CHECK_EQ(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), small);
  DeleteObject(big);
}

// ---- The file list ----

TEST(filelist, lists_what_the_pattern_admits_on_the_long_name_without_regard_to_case) {
  const std::wstring tree = check::ScratchFolder(L"pattern");
  // Asked for "*.bmp", the system would also give names whose 8.3 alias alone matches
  // ("red.bmpx" as RED~1.BMP): none of those may show.
  for (const wchar_t* name : {L"RED.BMP", L"red2.Bmp", L"blue.bmp", L"Apple.bmp", L"notes.txt", L"photo.bmp.txt",
                              L"red.bmpx", L"skin.bmp~", L"x.bmp1", L"bmp", L"skin.vol", L"team.volx"})
    MakeFile(tree + L"\\" + name);
  MakeFolder(tree + L"\\folder.bmp");
  MakeFile(tree + L"\\hidden.bmp", FILE_ATTRIBUTE_HIDDEN);
  MakeFile(tree + L"\\system.bmp", FILE_ATTRIBUTE_SYSTEM);
  const bool hidden = AttributeTook(tree + L"\\hidden.bmp", FILE_ATTRIBUTE_HIDDEN);
  const bool system = AttributeTook(tree + L"\\system.bmp", FILE_ATTRIBUTE_SYSTEM);

  PaneWindow w;
  REQUIRE(w.dir1.SetPath(tree));
  const std::vector<std::wstring> names = w.file1.Names();
  std::vector<std::wstring> expected{L"Apple.bmp", L"blue.bmp", L"RED.BMP", L"red2.Bmp"};
  if (!hidden) expected.insert(expected.begin() + 2, L"hidden.bmp");
  if (!system) expected.push_back(L"system.bmp");
  if (!hidden || !system) std::printf("  note: this file system does not keep hidden/system attributes\n");
  CHECK_EQ(names, expected);
  CHECK_EQ(check::Items(w.file1List.Handle()), w.file1.Names());
  CHECK_EQ(check::Selection(w.file1List.Handle()), -1);  // nothing chosen for the user
  CHECK_EQ(w.file1.FileName(), std::wstring());
  CHECK_EQ(w.file1.ListingError(), static_cast<DWORD>(ERROR_SUCCESS));

  // The volume pane's list admits only volumes.
  REQUIRE(w.dir3.SetPath(tree));
  CHECK_EQ(w.file3.Names(), std::vector<std::wstring>{L"skin.vol"});
}

TEST(filelist, a_click_records_into_its_own_pane_and_outlives_folder_changes) {
  const std::wstring tree = check::ScratchFolder(L"record");
  MakeFolders(tree, {L"skins", L"other", L"vols"});
  MakeFile(tree + L"\\skins\\red.bmp");
  MakeFile(tree + L"\\skins\\blue.bmp");
  MakeFile(tree + L"\\other\\green.bmp");
  MakeFile(tree + L"\\vols\\a.vol");
  MakeFile(tree + L"\\vols\\b.vol");
  PaneWindow w;
  HWND files = w.file1List.Handle();
  REQUIRE(w.dir1.SetPath(tree + L"\\skins"));
  check::Choose(files, IndexOf(w.file1, L"red.bmp"));
  CHECK_EQ(w.state.SkinFile, tree + L"\\skins\\red.bmp");
  CHECK(w.state.VolumeSkinFile.empty());
  CHECK(w.state.VolumeFile.empty());

  // Another folder: the list changes, nothing is chosen, and the pick stays.
  check::Open(w.dir1List.Handle(), IndexOf(w.dir1, tree.substr(tree.find_last_of(L'\\') + 1)));
  CHECK(w.file1.Names().empty());
  CHECK_EQ(w.state.SkinFile, tree + L"\\skins\\red.bmp");
  check::Open(w.dir1List.Handle(), IndexOf(w.dir1, L"other"));
  CHECK_EQ(w.file1.Names(), std::vector<std::wstring>{L"green.bmp"});
  CHECK_EQ(check::Selection(files), -1);
  CHECK_EQ(w.state.SkinFile, tree + L"\\skins\\red.bmp");

  // A second pick replaces the first; choosing with the keyboard is a pick too.
  check::Choose(files, 0);
  CHECK_EQ(w.state.SkinFile, tree + L"\\other\\green.bmp");
  REQUIRE(w.dir1.SetPath(tree + L"\\skins"));
  check::Choose(files, 0);
  CHECK_EQ(w.state.SkinFile, tree + L"\\skins\\blue.bmp");
  check::Key(files, VK_DOWN, 0);
  CHECK_EQ(w.state.SkinFile, tree + L"\\skins\\red.bmp");

  // The Volumes page's two panes record into their own variables.
  REQUIRE(w.dir2.SetPath(tree + L"\\other"));
  check::Choose(w.file2List.Handle(), 0);
  REQUIRE(w.dir3.SetPath(tree + L"\\vols"));
  check::Choose(w.file3List.Handle(), IndexOf(w.file3, L"b.vol"));
  CHECK_EQ(w.state.VolumeSkinFile, tree + L"\\other\\green.bmp");
  CHECK_EQ(w.state.VolumeFile, tree + L"\\vols\\b.vol");
  CHECK_EQ(w.state.SkinFile, tree + L"\\skins\\red.bmp");

  // A picked file deleted later is no fault: the pick stays, and the still-listed name can be
  // picked again until the folder is read anew.
  REQUIRE(DeleteFileW((tree + L"\\vols\\b.vol").c_str()));
  check::Choose(w.file3List.Handle(), IndexOf(w.file3, L"b.vol"));
  CHECK_EQ(w.state.VolumeFile, tree + L"\\vols\\b.vol");
  check::Open(w.dir3List.Handle(), static_cast<int>(w.dir3.CurrentIndex()));
  CHECK_EQ(w.file3.Names(), std::vector<std::wstring>{L"a.vol"});
  CHECK_EQ(w.state.VolumeFile, tree + L"\\vols\\b.vol");
}

TEST(filelist, a_large_folder_fills_sorted) {
  const std::wstring tree = check::ScratchFolder(L"large");
  constexpr int kFiles = 2000;  // enough to matter; Wine makes files slowly in a full folder
  for (int i = kFiles; i > 0; --i) {
    wchar_t name[32];
    std::swprintf(name, 32, i % 2 ? L"\\Skin%05d.bmp" : L"\\skin%05d.BMP", i);
    MakeFile(tree + name);
  }
  PaneWindow w;
  const ULONGLONG start = GetTickCount64();
  REQUIRE(w.dir1.SetPath(tree));
  // Read in time it is complete at once; on a slow machine it finishes in the background.
  REQUIRE(check::PumpUntil([&] { return !w.file1.Filling(); }));
  const ULONGLONG took = GetTickCount64() - start;
  std::printf("  note: %d files listed in %llu ms\n", kFiles, static_cast<unsigned long long>(took));
  const auto& names = w.file1.Names();
  REQUIRE(names.size() == size_t{kFiles});
  CHECK_EQ(SendMessageW(w.file1List.Handle(), LB_GETCOUNT, 0, 0), static_cast<LRESULT>(kFiles));
  CHECK_EQ(names.front(), std::wstring(L"Skin00001.bmp"));
  CHECK_EQ(names[1], std::wstring(L"skin00002.BMP"));
  CHECK_EQ(names.back(), std::wstring(L"skin02000.BMP"));
  check::Choose(w.file1List.Handle(), kFiles - 1);
  CHECK_EQ(w.state.SkinFile, tree + L"\\skin02000.BMP");
  check::RemoveTree(tree);
}

TEST(filelist, names_going_in_or_out_above_the_view_leave_its_top_line_in_place) {
  const std::wstring tree = check::ScratchFolder(L"topline");
  for (int i = 10; i < 50; ++i) MakeFile(tree + L"\\pic" + std::to_wstring(i) + L".bmp");
  PaneWindow w;
  HWND files = w.file1List.Handle();
  REQUIRE(w.dir1.SetPath(tree));
  SendMessageW(files, LB_SETTOPINDEX, 10, 0);
  REQUIRE(check::Items(files).at(10) == L"pic20.bmp");
  // Names made before it and right before it, one before it gone, and the line on top itself
  // gone: the line after it takes its place.
  for (const wchar_t* name : {L"a.bmp", L"pic19x.bmp"}) MakeFile(tree + L"\\" + name);
  for (const wchar_t* name : {L"pic11.bmp", L"pic20.bmp"}) REQUIRE(DeleteFileW((tree + L"\\" + name).c_str()));
  w.file1.Refresh();
  check::Settle();
  const LRESULT top = SendMessageW(files, LB_GETTOPINDEX, 0, 0);
  CHECK_EQ(check::Items(files).at(static_cast<size_t>(top)), std::wstring(L"pic21.bmp"));
  check::RemoveTree(tree);
}

namespace {

LRESULT ScrollableWidth(HWND list) { return SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0); }
LONG ClientWidth(HWND list) {
  RECT client{};
  GetClientRect(list, &client);
  return client.right;
}
// Whether a list shows its vertical (WS_VSCROLL) or horizontal (WS_HSCROLL) scroll bar.
bool Shows(HWND list, LONG_PTR bar) { return (GetWindowLongPtrW(list, GWL_STYLE) & bar) != 0; }

}  // namespace

TEST(filelist, a_long_name_scrolls_sideways_and_short_ones_need_no_scroll_bar) {
  const std::wstring tree = check::ScratchFolder(L"sideways");
  const std::wstring longName = std::wstring(150, L'w') + L".bmp";
  MakeFile(tree + L"\\a.bmp");
  MakeFolder(tree + L"\\" + std::wstring(150, L'f'));
  PaneWindow w;
  HWND files = w.file1List.Handle(), folders = w.dir1List.Handle();
  REQUIRE(w.dir1.SetPath(tree));
  CHECK_EQ(ScrollableWidth(files), LRESULT{0});
  // The folder list reaches past its width with that subfolder: as far as its line does.
  CHECK(ScrollableWidth(folders) > ClientWidth(folders));

  MakeFile(tree + L"\\" + longName);
  w.file1.Refresh();
  REQUIRE(check::PumpUntil([&] { return !w.file1.Filling() && w.file1.Names().size() == 2; }));
  CHECK(ScrollableWidth(files) > ClientWidth(files));
  // Gone again, so is the scroll bar.
  REQUIRE(DeleteFileW((tree + L"\\" + longName).c_str()));
  w.file1.Refresh();
  REQUIRE(check::PumpUntil([&] { return !w.file1.Filling() && w.file1.Names().size() == 1; }));
  CHECK_EQ(ScrollableWidth(files), LRESULT{0});
  // At a larger font, the short name still fits; the long folder line still scrolls.
  HFONT big = CreateFontW(-24, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma");
  REQUIRE(big != nullptr);
  w.file1List.SetFont(big);
  w.dir1List.SetFont(big);
  CHECK_EQ(ScrollableWidth(files), LRESULT{0});
  CHECK(ScrollableWidth(folders) > ClientWidth(folders));
  w.file1List.SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  w.dir1List.SetFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  DeleteObject(big);
  check::RemoveTree(tree);
}

TEST(filelist, a_name_that_fits_only_without_the_vertical_scroll_bar_scrolls_sideways_beside_it) {
  const std::wstring tree = check::ScratchFolder(L"band");
  PaneWindow w;
  HWND files = w.file1List.Handle();
  REQUIRE(w.dir1.SetPath(tree));
  REQUIRE(!Shows(files, WS_VSCROLL));
  // A name as wide as the list less part of a scroll bar, with the list's margin of one average
  // character.
  const LONG width = ClientWidth(files), bar = GetSystemMetrics(SM_CXVSCROLL);
  std::wstring name;
  {
    const ui::TextMeter meter(files, nullptr);
    while (meter.Width(name + L"i.bmp") + meter.Metrics().tmAveCharWidth <= width - bar / 2) name += L'i';
    name += L"i.bmp";
    REQUIRE(meter.Width(name) + meter.Metrics().tmAveCharWidth <= width);
  }
  MakeFile(tree + L"\\" + name);
  auto readAgain = [&](size_t count) {
    w.file1.Refresh();
    REQUIRE(check::PumpUntil([&] { return !w.file1.Filling() && w.file1.Names().size() == count; }));
  };
  readAgain(1);
  CHECK(!Shows(files, WS_HSCROLL));
  // Enough names for a vertical scroll bar: its end can be scrolled into sight beside it; the
  // names gone again, the bar is not needed either.
  for (int i = 0; i < 30; ++i) MakeFile(tree + L"\\" + std::to_wstring(i) + L".bmp");
  readAgain(31);
  REQUIRE(Shows(files, WS_VSCROLL));
  CHECK(ScrollableWidth(files) > ClientWidth(files));
  CHECK(Shows(files, WS_HSCROLL));
  for (int i = 0; i < 30; ++i) DeleteFileW((tree + L"\\" + std::to_wstring(i) + L".bmp").c_str());
  readAgain(1);
  CHECK(!Shows(files, WS_HSCROLL));
  check::RemoveTree(tree);
}

// ---- What must never end the program ----

TEST(faults, names_in_any_script_are_shown_and_recorded_exactly) {
  const std::wstring tree = check::ScratchFolder(L"scripts");
  const std::vector<std::wstring> folders{L"\u0395\u03bb\u03bb\u03ac\u03b4\u03b1", L"\u041c\u043e\u0441\u043a\u0432\u0430",
                                          L"\u65e5\u672c\u8a9e", L"\u05e2\u05d1\u05e8\u05d9\u05ea",
                                          L"\u0627\u0644\u0639\u0631\u0628\u064a\u0629", L"emoji \U0001F600",
                                          L"cafe\u0301"};
  for (const std::wstring& f : folders) MakeFolder(tree + L"\\" + f);
  const std::wstring japanese = tree + L"\\\u65e5\u672c\u8a9e";
  const std::vector<std::wstring> files{L"\u8d64.bmp", L"\U0001F600.BMP", L"\u043a\u0440\u0430\u0441\u043d\u044b\u0439.bmp",
                                        L"\u03ba\u03cc\u03ba\u03ba\u03b9\u03bd\u03bf.bmp"};
  for (const std::wstring& f : files) MakeFile(japanese + L"\\" + f);

  PaneWindow w;
  HWND list = w.dir1List.Handle();
  REQUIRE(w.dir1.SetPath(tree));
  const std::vector<std::wstring> texts = check::Items(list);
  const std::vector<std::wstring> shown(texts.begin() + static_cast<std::ptrdiff_t>(w.dir1.CurrentIndex()) + 1, texts.end());
  std::vector<std::wstring> sortedFolders = folders;
  std::sort(sortedFolders.begin(), sortedFolders.end());
  std::vector<std::wstring> sortedShown = shown;
  std::sort(sortedShown.begin(), sortedShown.end());
  CHECK_EQ(sortedShown, sortedFolders);
  CHECK(std::is_sorted(shown.begin(), shown.end(), NameLess));
  UpdateWindow(w.hwnd);  // drawing such names must not fault either

  check::Choose(list, IndexOf(w.dir1, L"\u65e5\u672c\u8a9e"));
  check::Key(list, VK_RETURN, 0);
  check::Settle();
  CHECK_EQ(w.dir1.Path(), japanese);
  std::vector<std::wstring> listed = w.file1.Names();
  std::sort(listed.begin(), listed.end());
  std::vector<std::wstring> made = files;
  std::sort(made.begin(), made.end());
  CHECK_EQ(listed, made);
  check::Choose(w.file1List.Handle(), IndexOf(w.file1, L"\U0001F600.BMP"));
  CHECK_EQ(w.state.SkinFile, japanese + L"\\\U0001F600.BMP");
  CHECK(check::FileExists(w.state.SkinFile));
}

TEST(faults, long_names_and_paths_past_260_characters_work_in_the_normal_form) {
  const std::wstring tree = check::ScratchFolder(L"long");
  const std::wstring d = std::wstring(100, L'd'), e = std::wstring(100, L'e'), f = std::wstring(100, L'f');
  const std::wstring deep = tree + L"\\" + d + L"\\" + e + L"\\" + f;
  REQUIRE(deep.size() > MAX_PATH);
  MakeFolders(tree, {d, d + L"\\" + e, d + L"\\" + e + L"\\" + f, d + L"\\" + e + L"\\" + f + L"\\sub"});
  const std::wstring name255 = std::wstring(251, L'n') + L".bmp";
  REQUIRE(name255.size() == 255);
  MakeFile(deep + L"\\" + name255);
  MakeFile(deep + L"\\pic.bmp");
  MakeFile(tree + L"\\" + name255);

  PaneWindow w;
  HWND list = w.dir1List.Handle();
  // A 255-character name in a short path.
  REQUIRE(w.dir1.SetPath(tree));
  CHECK_EQ(w.file1.Names(), std::vector<std::wstring>{name255});
  check::Choose(w.file1List.Handle(), 0);
  CHECK_EQ(w.state.SkinFile, tree + L"\\" + name255);

  // A folder deeper than the old path limit: shown, opened and recorded without "\\?\".
  REQUIRE(w.dir1.SetPath(deep));
  CHECK_EQ(w.dir1.Path(), deep);
  CHECK_EQ(Lines(w.dir1), ExpectedLines(deep, {L"sub"}));
  CHECK_EQ(w.file1.Path(), deep);
  CHECK_EQ(w.file1.Names(), (std::vector<std::wstring>{name255, L"pic.bmp"}));
  CHECK_EQ(std::wstring(check::Items(w.file1List.Handle()).at(0)), name255);
  check::Choose(w.file1List.Handle(), 0);
  CHECK_EQ(w.state.SkinFile, deep + L"\\" + name255);
  CHECK(w.state.SkinFile.size() > 500);
  UpdateWindow(w.hwnd);

  check::Open(list, IndexOf(w.dir1, L"sub"));
  CHECK_EQ(w.dir1.Path(), deep + L"\\sub");
  check::Open(list, IndexOf(w.dir1, e));
  CHECK_EQ(w.dir1.Path(), tree + L"\\" + d + L"\\" + e);
  CHECK_EQ(Lines(w.dir1), ExpectedLines(tree + L"\\" + d + L"\\" + e, {f}));
  check::RemoveTree(tree);
}

TEST(faults, an_unreadable_folder_shows_what_it_can) {
  const std::wstring tree = check::ScratchFolder(L"unreadable");
  MakeFolders(tree, {L"locked", L"locked\\inside"});
  MakeFile(tree + L"\\locked\\red.bmp");
  const std::wstring locked = tree + L"\\locked";
  const check::UnreadableFolder unreadable(locked);
  if (!unreadable.Made()) {
    std::printf("  skipped: this system cannot make a folder unreadable (access lists not enforced)\n");
    return;
  }
  {
    PaneWindow w;
    HWND list = w.dir1List.Handle();
    REQUIRE(w.dir1.SetPath(locked));
    CHECK_EQ(w.dir1.Path(), locked);
    CHECK_EQ(Lines(w.dir1), ExpectedLines(locked, {}));
    CHECK_EQ(w.dir1.ListingError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CHECK(w.file1.Names().empty());
    CHECK_EQ(w.file1.ListingError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    check::Choose(w.file1List.Handle(), 0);
    CHECK(w.state.SkinFile.empty());
    // Still usable: up to the parent.
    check::Open(list, IndexOf(w.dir1, tree.substr(tree.find_last_of(L'\\') + 1)));
    CHECK_EQ(w.dir1.Path(), tree);
  }
}
