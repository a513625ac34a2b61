// What the picking panes' lists show, worked out without any window: the rules for folder
// paths (roots, long paths, the "\\?\" forms) and the reading of folders from the disk.
//
// Paths are kept and shown in their normal form ("C:\Pics", "\\server\share\Pics"); only the
// calls into the file system get the "\\?\" form, and only when a path needs it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

// ---- Path rules (no file system access) ----

// The root a path lives under, ending in "\": "C:\", "\\server\share\", "\\?\C:\",
// "\\?\UNC\server\share\", "\\?\Volume{...}\". Empty when the path has no root of these kinds
// (a relative path, a bare "C:").
std::wstring RootOf(std::wstring_view path);

// "\\?\C:\x" -> "C:\x" and "\\?\UNC\server\share\x" -> "\\server\share\x"; any other path
// comes back unchanged.
std::wstring NormalForm(std::wstring_view path);

// The form to hand to the file system for `path` followed by `extra` more characters (a
// "\*" or "\name" the caller appends): "\\?\" when the whole would reach MAX_PATH, or when a
// name in it ends in "." or " " (which the normal form would silently strip) or is a device
// name such as "CON" or "nul.txt" (which it would take for the device), else `path`.
std::wstring SystemForm(std::wstring_view path, size_t extra = 0);

// Without trailing "\" unless the path is a root ("C:\Pics\" -> "C:\Pics", "C:\" stays).
std::wstring TrimFolder(std::wstring_view path);

// The folder holding `path`, trimmed; empty when `path` is a root or has no root.
std::wstring ParentFolder(std::wstring_view path);

// The names below the root, in order: "C:\a\b" -> {"a", "b"}; a root gives none.
std::vector<std::wstring> NamesBelowRoot(std::wstring_view path);

// Whether two roots name the same place, without regard to case ("C:\" and "c:\").
bool SameRoot(std::wstring_view a, std::wstring_view b);

// The order of names in both lists: ordinal without regard to case, and names that differ
// only in case (possible in case-sensitive folders) in a fixed order after that.
bool NameLess(const std::wstring& a, const std::wstring& b);

// ---- Reading the disk ----

// An absolute, trimmed, normal-form folder path for what a caller gave (relative, with "..",
// with "/", or in a "\\?\" form); a drive letter comes back in capitals. A plain full path
// that the normal form would alter (see SystemForm) is taken as it stands. Empty when the
// system cannot make one (the reason is then in GetLastError).
std::wstring FullFolderPath(const std::wstring& folder);

// Whether a folder holds nothing at all, hidden or not; false when it cannot be read.
bool FolderIsEmpty(const std::wstring& folder);

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

// A folder's subfolders and files (as ListSubfolders and ListFiles with "*"), from one read.
struct FolderContents {
  NameList folders;
  NameList files;
};
FolderContents ListFolder(const std::wstring& folder);

// Whether a file-name pattern ("*.bmp") admits a name, as the system matches long names.
bool PatternAdmits(std::wstring_view pattern, std::wstring_view name);
// The names of `files` that `pattern` admits, in the same order, with the same error.
NameList Admitted(const NameList& files, std::wstring_view pattern);

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
// The chain for `current` (which exists) under `root`, with `current`'s subfolders as given,
// or read here when `subfolders` is null.
FolderChain ChainWith(const std::wstring& current, const std::wstring& root, const NameList* subfolders);

}  // namespace quorvane
