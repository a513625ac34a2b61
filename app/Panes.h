// The picking panes' two events, kept apart from the list controls so that they can be
// checked without windows. A pane is a folder list above a file list: changing the folder
// shows its files; clicking a file records its full path in the pane's variable
// (SkinFile, VolumeSkinFile or VolumeFile).
#pragma once

#include <string>

namespace quorvane {

// What the events read from a folder list.
class FolderListView {
 public:
  virtual ~FolderListView() = default;
  virtual std::wstring Path() const = 0;  // the current folder, no trailing "\" but on a root
};

// What the events read from, and do to, a file list.
class FileListView {
 public:
  virtual ~FileListView() = default;
  virtual std::wstring Path() const = 0;      // the folder listed, as FolderListView::Path
  virtual std::wstring FileName() const = 0;  // the chosen file's name; empty when none
  virtual void SetPath(const std::wstring& folder) = 0;
};

// DirN_Change: the file list follows the folder list. Nothing else changes: the recorded
// path stays, and no file is chosen in the new folder.
void FolderChanged(const FolderListView& dir, FileListView& files);

// FileN_Click: `recorded` becomes the chosen file's full path (JoinPath of the file list's
// folder and the name), whatever it held. The disk is not asked: a file deleted since it was
// listed is recorded all the same. With no file chosen, `recorded` is left alone.
void FileClicked(const FileListView& files, std::wstring& recorded);

}  // namespace quorvane
