// The panes' two events over fake lists, and the path rules the lists rely on for forms a
// test machine cannot make real (other drives, shares, "\\?\" roots): no windows.
#include <string>
#include <vector>

#include "app/FolderListing.h"
#include "app/PicturePreview.h"
#include "app/Panes.h"
#include "app/ProgramFolder.h"
#include "app/QuorvaneCode.h"
#include "tests/support/bitmaps.h"
#include "tests/support/check.h"

using namespace quorvane;

namespace {

class FakeFolders : public FolderListView {
 public:
  std::wstring path;
  std::wstring Path() const override { return path; }
};

class FakeFiles : public FileListView {
 public:
  std::wstring path, chosen;
  std::wstring Path() const override { return path; }
  std::wstring FileName() const override { return chosen; }
  void SetPath(const std::wstring& folder) override {
    path = folder;
    chosen.clear();  // a real list chooses nothing in a new folder
  }
};

}  // namespace

TEST(panes, a_click_records_folder_and_name_joined_by_one_backslash) {
  const struct {
    const wchar_t *folder, *name, *recorded;
  } cases[] = {
      {L"C:\\Pics", L"red.bmp", L"C:\\Pics\\red.bmp"},
      {L"C:\\", L"red.bmp", L"C:\\red.bmp"},
      {L"c:\\", L"red.bmp", L"c:\\red.bmp"},
      {L"D:\\", L"skin.vol", L"D:\\skin.vol"},
      {L"\\\\server\\share\\", L"red.bmp", L"\\\\server\\share\\red.bmp"},
      {L"C:\\My Pics", L"r\u00e9d \u03b1.bmp", L"C:\\My Pics\\r\u00e9d \u03b1.bmp"},
  };
  for (const auto& c : cases) {
    FakeFiles files;
    files.path = c.folder;
    files.chosen = c.name;
    std::wstring recorded = L"C:\\old.bmp";
    FileClicked(files, recorded);
    CHECK_EQ(recorded, std::wstring(c.recorded));
  }
}

TEST(panes, a_folder_change_keeps_the_pick_and_the_next_click_replaces_it) {
  FakeFolders dir;
  FakeFiles files;
  QuorvaneCode state;
  dir.path = L"C:\\Pics";
  FolderChanged(dir, files);
  files.chosen = L"red.bmp";
  FileClicked(files, state.SkinFile);

  dir.path = L"D:\\";
  FolderChanged(dir, files);
  CHECK_EQ(files.path, std::wstring(L"D:\\"));
  CHECK_EQ(state.SkinFile, std::wstring(L"C:\\Pics\\red.bmp"));
  // A change notice with nothing chosen must not record the folder as if it were a file.
  FileClicked(files, state.SkinFile);
  CHECK_EQ(state.SkinFile, std::wstring(L"C:\\Pics\\red.bmp"));
  files.chosen = L"blue.bmp";
  FileClicked(files, state.SkinFile);
  CHECK_EQ(state.SkinFile, std::wstring(L"D:\\blue.bmp"));
}

TEST(panes, roots_and_parents_of_every_path_form) {
  const struct {
    const wchar_t *path, *root, *parent;
  } cases[] = {
      {L"C:\\Pics\\Sub", L"C:\\", L"C:\\Pics"},
      {L"C:\\Pics", L"C:\\", L"C:\\"},
      {L"c:\\", L"c:\\", L""},  // nothing above a root
      {L"\\\\server\\share\\a", L"\\\\server\\share\\", L"\\\\server\\share\\"},
      {L"\\\\server\\share", L"\\\\server\\share\\", L""},
      {L"\\\\?\\C:\\Games", L"\\\\?\\C:\\", L"\\\\?\\C:\\"},
      {L"\\\\?\\UNC\\server\\share\\a", L"\\\\?\\UNC\\server\\share\\", L"\\\\?\\UNC\\server\\share\\"},
      {L"\\\\?\\Volume{1234}\\Pics", L"\\\\?\\Volume{1234}\\", L"\\\\?\\Volume{1234}\\"},
      {L"Pics\\red", L"", L""},  // relative, drive-relative, a server without a share: no root
      {L"C:Pics", L"", L""},
      {L"\\\\server", L"", L""},
  };
  for (const auto& c : cases) {
    CHECK_EQ(RootOf(c.path), std::wstring(c.root));
    CHECK_EQ(ParentFolder(c.path), std::wstring(c.parent));
  }
  CHECK_EQ(TrimFolder(L"C:\\Pics\\\\"), std::wstring(L"C:\\Pics"));
  CHECK_EQ(TrimFolder(L"\\\\server\\share\\"), std::wstring(L"\\\\server\\share\\"));
  CHECK_EQ(NormalForm(L"\\\\?\\C:\\Games"), std::wstring(L"C:\\Games"));
  CHECK_EQ(NormalForm(L"\\\\?\\UNC\\server\\share\\a"), std::wstring(L"\\\\server\\share\\a"));
  CHECK_EQ(NormalForm(L"\\\\?\\Volume{1234}\\Pics"), std::wstring(L"\\\\?\\Volume{1234}\\Pics"));
}

TEST(panes, long_paths_and_trailing_dots_reach_the_system_in_the_long_form) {
  CHECK_EQ(SystemForm(L"C:\\Pics", 6), std::wstring(L"C:\\Pics"));
  const std::wstring nearly = L"C:\\" + std::wstring(250, L'a');  // 253 characters
  CHECK_EQ(SystemForm(nearly), nearly);
  CHECK_EQ(SystemForm(nearly, 7), L"\\\\?\\" + nearly);  // "\*.bmp" after it no longer fits
  const std::wstring share = std::wstring(260, L'x');
  CHECK_EQ(SystemForm(L"\\\\server\\share\\" + share), L"\\\\?\\UNC\\server\\share\\" + share);
  CHECK_EQ(SystemForm(L"C:\\odd.\\x"), std::wstring(L"\\\\?\\C:\\odd.\\x"));
  CHECK_EQ(SystemForm(L"C:\\odd \\x"), std::wstring(L"\\\\?\\C:\\odd \\x"));
  CHECK_EQ(SystemForm(L"\\\\?\\C:\\x"), std::wstring(L"\\\\?\\C:\\x"));
  CHECK_EQ(SystemForm(L"C:\\Game\\COM0.x\\y"), std::wstring(L"\\\\?\\C:\\Game\\COM0.x\\y"));
  // Full paths keep such names as they are spelt, for the launcher's output files as for the
  // lists' folders; only what there is to resolve is resolved.
  for (const wchar_t* kept : {L"C:\\Game\\odd.\\P.larmor.bmp", L"C:\\Game\\odd \\P.vol", L"C:\\Game\\CON\\x.bmp"})
    CHECK_EQ(FullPath(kept), std::wstring(kept));
  CHECK_EQ(FullPath(L"c:\\Game\\pics\\..\\P.vol"), std::wstring(L"C:\\Game\\P.vol"));
}

TEST(panes, pictures_are_checked_before_anything_decodes_them) {
  auto facts = [](const std::string& bytes, std::uint64_t fileBytes = 0) {
    return CheckBitmap({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()},
                       fileBytes ? fileBytes : bytes.size());
  };
  const std::string good = check::Bitmap24(256, 128);
  const auto read = facts(good);
  REQUIRE(read.has_value());
  CHECK_EQ(DescribePicture(*read), std::wstring(L"256 \u00d7 128, 24-bit, 96 KB"));  // 98,358 bytes
  const auto topDown = facts(check::Bitmap24(4, 2, 0, -2));
  REQUIRE(topDown.has_value());
  CHECK_EQ(DescribePicture(*topDown), std::wstring(L"4 \u00d7 2, 24-bit, 0 KB"));
  const auto rounded = facts(check::Bitmap24(16, 16));  // 822 bytes: 0.8 KB, rounded up
  REQUIRE(rounded.has_value());
  CHECK_EQ(DescribePicture(*rounded), std::wstring(L"16 \u00d7 16, 24-bit, 1 KB"));

  std::string farOffset = good;
  farOffset[13] = '\x7f';  // the pixels said to start past the end
  for (const std::string& hostile : {std::string(), good.substr(0, good.size() - 1), good.substr(0, 30),
                                     check::Bitmap24(4, 4, 100000, 100000), std::string("not a picture at all"),
                                     farOffset})
    CHECK(!facts(hostile).has_value());
  // Within the file, the decoded size decides: 48 MB is shown, 72 MB is not.
  const std::string head = check::Bitmap24(1, 1, 4000, 4000).substr(0, 54);
  CHECK(facts(head, 54 + 4000ull * 12000).has_value());
  CHECK(!facts(check::Bitmap24(1, 1, 4000, 6000).substr(0, 54), 54 + 4000ull * 18000).has_value());
}

TEST(panes, a_program_folder_windows_protects_is_told_and_its_virtual_store_listed_with_it) {
  // Z:\proc takes no new file, as a folder Windows protects; a folder of the test's does, and
  // keeps nothing of the probe.
  CHECK(!ProbeNewFiles(L"Z:\\proc"));
  const std::wstring real = check::ScratchFolder(L"program"), twin = check::ScratchFolder(L"program twin");
  CHECK(ProbeNewFiles(real));
  CHECK(check::NamesIn(real).empty());
  const ProgramFolder folder{real, twin};
  CHECK(ProtectedFolderWarning(folder, ERROR_ACCESS_DENIED).find(twin) != std::wstring::npos);
  CHECK(ProtectedFolderWarning({real, L""}, ERROR_ACCESS_DENIED).find(L"VirtualStore") == std::wstring::npos);

  // Its lists show the twin's files too, each once whatever its name's case; the twin's copy is read first.
  for (const wchar_t* name : {L"\\a.bmp", L"\\both.bmp", L"\\c.vol", L"\\red.bmp"}) check::WriteFile(real + name, "BM");
  for (const wchar_t* name : {L"\\b.bmp", L"\\both.bmp", L"\\z.txt", L"\\RED.BMP"}) check::WriteFile(twin + name, "BM");
  ProgramFolderReader reader(DiskReader());
  reader.Set(folder);
  CHECK_EQ(reader.Files(real, L"*.bmp").names, (std::vector<std::wstring>{L"a.bmp", L"b.bmp", L"both.bmp", L"red.bmp"}));
  CHECK_EQ(reader.Files(twin, L"*.bmp").names, (std::vector<std::wstring>{L"b.bmp", L"both.bmp", L"RED.BMP"}));
  CHECK_EQ(reader.Readable(real + L"\\b.bmp"), twin + L"\\b.bmp");
  CHECK_EQ(reader.Readable(real + L"\\both.bmp"), twin + L"\\both.bmp");
  CHECK_EQ(reader.Readable(real + L"\\gone.bmp"), real + L"\\gone.bmp");
  check::RemoveTree(real);
  check::RemoveTree(twin);
}
