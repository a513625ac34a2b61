// The panes' two events over fake lists: no windows.
#include <string>

#include "app/Panes.h"
#include "app/QuorvaneCode.h"
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
