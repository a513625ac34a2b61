// What the picking panes' lists show, worked out without any window: the reading of folders
// from the disk, by the path rules of paths/PathRules.h.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "paths/PathRules.h"

namespace quorvane {

// A file or folder as a listing of its folder sees it: its name as the disk spells it (its
// long name where the path gives a short alias, its own capitals where the path has others)
// and its attributes; or, when it is not there, the system's reason.
struct DiskEntry {
  std::wstring name;
  DWORD attributes = 0;
  DWORD error = ERROR_SUCCESS;
};
DiskEntry LookUp(const std::wstring& path);

// Names read from a folder, sorted by NameLess. `error` is ERROR_SUCCESS when the whole
// folder was read, else the reason the reading stopped (the names read so far are kept).
struct NameList {
  std::vector<std::wstring> names;
  DWORD error = ERROR_SUCCESS;
};

// A folder's subfolders and files (as ChainWith and FolderReader::Files with "*"), from one read.
struct FolderContents {
  NameList folders;
  NameList files;
};
FolderContents ListFolder(const std::wstring& folder);

// The names of `files` that `pattern` admits, in the same order, with the same error.
NameList Admitted(const NameList& files, std::wstring_view pattern);

// One line of the folder list.
struct FolderEntry {
  std::wstring text;  // what the line shows: the folder's own name, or the root itself
  std::wstring path;  // the folder's full path, trimmed
  int level = 0;      // 0 for the root, one more for each folder below it
  bool operator==(const FolderEntry&) const = default;
};

// Everything the folder list shows for one current folder.
struct FolderChain {
  std::wstring current;              // the folder shown as current (trimmed)
  std::vector<FolderEntry> entries;  // root .. current, then current's subfolders
  size_t currentIndex = 0;           // the current folder's line in `entries`
  DWORD error = ERROR_SUCCESS;       // why current's subfolders could not all be read
};

// The chain for `current` (which exists) under `root`, with `current`'s subfolders as given,
// or read here when `subfolders` is null. Subfolders are listed without "." and "..", and
// without hidden or system folders.
FolderChain ChainWith(const std::wstring& current, const std::wstring& root, const NameList* subfolders);

// How the panes read the disk; tests put a folder tree of their own in its place. Called on
// workers, so it keeps no state of its own.
class FolderReader {
 public:
  virtual ~FolderReader() = default;
  // The chain for `wanted` under `root`: `wanted` when it exists, else its nearest existing
  // ancestor (never above `root`). Names along the chain are spelt as on the disk where the disk
  // tells.
  virtual FolderChain Chain(const std::wstring& wanted, const std::wstring& root) const = 0;
  // The folder's files whose long names `pattern` admits, without folders and without hidden or
  // system files.
  virtual NameList Files(const std::wstring& folder, const std::wstring& pattern) const = 0;
  // Whether a folder is there. A folder that is there but cannot be read still counts.
  virtual bool Exists(const std::wstring& folder) const = 0;
};

// The disk itself.
const FolderReader& DiskReader();

}  // namespace quorvane
