// A plain top-level window holding the three panes as the main window holds them, wired
// the same way as the main window, with a default button so that Enter has somewhere else to
// go; its keys go through the dialog manager first, as the main window's do. The tests drive
// it with the one driver (tests/support/ui_driver.h).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/FilePane.h"
#include "app/FolderPane.h"
#include "app/QuorvaneCode.h"
#include "tests/support/ui_driver.h"
#include "ui/FileList.h"
#include "ui/FolderList.h"

namespace panes_test {

enum : int { kDir1 = 101, kFile1, kDir2, kFile2, kDir3, kFile3 };

// A folder pane whose SetPath waits, while `settle` is on, as the user would for both lists.
struct SettledFolderPane : quorvane::FolderPane {
  explicit SettledFolderPane(const bool& settle) : settle(settle) {}
  quorvane::Outcome SetPath(const std::wstring& folder) {
    const quorvane::Outcome set = FolderPane::SetPath(folder);
    if (set && settle) check::Settle();
    return set;
  }
  const bool& settle;
};

class PaneWindow {
 public:
  PaneWindow();
  ~PaneWindow();
  PaneWindow(const PaneWindow&) = delete;
  PaneWindow& operator=(const PaneWindow&) = delete;

  HWND hwnd = nullptr;
  quorvane::QuorvaneCode state;
  // The panes' models, and the controls that show them, as the main window has them.
  SettledFolderPane dir1{settle}, dir2{settle}, dir3{settle};
  quorvane::FilePane file1{L"*.bmp"}, file2{L"*.bmp"}, file3{L"*.vol"};
  quorvane::ui::FolderList dir1List, dir2List, dir3List;
  quorvane::ui::FileList file1List, file2List, file3List;
  // Whether opening a folder (or setting one) waits until both lists have read it, as a user
  // who looks at them would; off to see them read in the background.
  bool settle = true;
  int okPresses = 0;    // the default button was pressed
  int dir1Changes = 0;  // onChange calls of dir1

  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
 private:
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  quorvane::ui::FolderList* FolderFor(int id);
  quorvane::ui::FileList* FilesFor(int id);
};

// The folder list's lines as "level:text".
std::vector<std::wstring> Lines(const quorvane::FolderPane& dir);

}  // namespace panes_test
