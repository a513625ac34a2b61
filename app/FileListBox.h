// The file list of a picking pane: a standard LISTBOX with the files of one folder that a
// pattern such as "*.bmp" admits. Choosing a file, by mouse or keyboard, is its click.
//
// The window creates the control (CreateWindowExW with ExStyle() and Style()), hands it to
// Attach, and forwards the control's WM_COMMAND here.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/Panes.h"

namespace quorvane {

class FileListBox : public FileListView {
 public:
  explicit FileListBox(std::wstring pattern) : pattern_(std::move(pattern)) {}
  FileListBox(const FileListBox&) = delete;
  FileListBox& operator=(const FileListBox&) = delete;

  static DWORD Style();
  static DWORD ExStyle();

  // Takes over a LISTBOX created with Style() and fills it with what SetPath listed so far.
  // False (with the reason in GetLastError) when `list` is not a window.
  bool Attach(HWND list);
  HWND Handle() const { return list_; }

  // The font the list shows its names in (not owned; it must outlive its use).
  void SetFont(HFONT font);

  // Lists `folder`'s matching files, sorted, none chosen. A folder that cannot be read gives
  // an empty (or partial) list and ListingError() says why.
  void SetPath(const std::wstring& folder) override;
  std::wstring Path() const override { return path_; }
  // The chosen file's name; empty when none is chosen.
  std::wstring FileName() const override;

  const std::wstring& Pattern() const { return pattern_; }
  const std::vector<std::wstring>& Names() const { return names_; }
  DWORD ListingError() const { return error_; }

  void OnCommand(WORD notificationCode);

  std::function<void()> onClick;  // a file was chosen (FileN_Click)

 private:
  void Fill();
  void UpdateExtent();

  HWND list_ = nullptr;
  HFONT font_ = nullptr;
  std::wstring pattern_;
  std::wstring path_;
  std::vector<std::wstring> names_;
  DWORD error_ = ERROR_SUCCESS;
};

}  // namespace quorvane
