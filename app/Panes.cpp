#include "app/Panes.h"

#include "app/QuorvaneCode.h"

namespace quorvane {

void FolderChanged(const FolderListView& dir, FileListView& files) { files.SetPath(dir.Path()); }

void FileClicked(const FileListView& files, std::wstring& recorded) {
  const std::wstring name = files.FileName();
  if (name.empty()) return;  // a folder is not a file: keep the last pick
  recorded = JoinPath(files.Path(), name);
}

}  // namespace quorvane
