// What the picking panes' lists show, worked out without any window: the reading of folders
// from the disk, by the path rules of paths/PathRules.h.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "paths/PathRules.h"

namespace quorvane {

// Whether a folder is there. A folder that is there but cannot be read still counts.
bool FolderExists(const std::wstring& folder);

// `folder` itself when it exists, else its nearest existing ancestor, never above `root`
// (which is returned when nothing below it exists).
std::wstring NearestExistingFolder(const std::wstring& folder, const std::wstring& root);

// Names read from a folder, sorted by NameLess. `error` is ERROR_SUCCESS when the whole
// folder was read, else the reason the reading stopped (the names read so far are kept).
struct NameList {
  std::vector<std::wstring> names;
  DWORD error = ERROR_SUCCESS;
};

// The folder's subfolders, without "." and "..", and without hidden or system folders.
NameList ListSubfolders(const std::wstring& folder);

// The folder's files that `pattern` admits as Windows matches names, without folders and
// without hidden or system files.
NameList ListFiles(const std::wstring& folder, const std::wstring& pattern);

// One line of the folder list.
struct FolderEntry {
  std::wstring text;  // what the line shows: the folder's own name, or the root itself
  std::wstring path;  // the folder's full path, trimmed
  int level = 0;      // 0 for the root, one more for each folder below it
};

// Everything the folder list shows for one current folder.
struct FolderChain {
  std::wstring current;             // the folder shown as current (trimmed)
  std::vector<FolderEntry> entries; // root .. current, then current's subfolders
  size_t currentIndex = 0;          // the current folder's line in `entries`
  DWORD error = ERROR_SUCCESS;      // why current's subfolders could not all be read
};

// The chain for `wanted` under `root`: `wanted` when it exists, else its nearest existing
// ancestor (never above `root`). Names along the chain are spelt as on the disk where the disk
// tells.
FolderChain ListFolderChain(const std::wstring& wanted, const std::wstring& root);

}  // namespace quorvane
