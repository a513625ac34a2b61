#include "app/Panes.h"

#include "app/FileListBox.h"
#include "app/FolderListBox.h"
#include "app/QuorvaneCode.h"

namespace quorvane {

void FolderChanged(const FolderListView& dir, FileListView& files) { files.SetPath(dir.Path()); }

void FileClicked(const FileListView& files, std::wstring& recorded) {
  const std::wstring name = files.FileName();
  if (name.empty()) return;  // a folder is not a file: keep the last pick
  recorded = JoinPath(files.Path(), name);
}

void ConnectPane(FolderListBox& dir, FileListBox& files, std::wstring& recorded) {
  dir.onChange = [&dir, &files] { FolderChanged(dir, files); };
  files.onClick = [&files, &recorded] { FileClicked(files, recorded); };
}

}  // namespace quorvane
