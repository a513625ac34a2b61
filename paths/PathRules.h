// The rules for paths and names that every part of Quorvane shares, with no user interface
// and no file system access: roots, the joining of a folder and a name, the normal and the
// long ("\\?\") forms, comparison, device names, and what a prefix may hold.
//
// Paths are kept and shown in their normal form ("C:\Pics", "\\server\share\Pics"); only the
// calls into the file system get the "\\?\" form, and only when a path needs it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

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

// The last name of `path`: "C:\Pics\red.bmp" -> "red.bmp"; `path` itself when it has no "\".
std::wstring NameOf(std::wstring_view path);

// The names below the root, in order: "C:\a\b" -> {"a", "b"}; a root gives none.
std::vector<std::wstring> NamesBelowRoot(std::wstring_view path);

// Whether two paths (or roots) name the same place as Windows compares them: without regard
// to case, the same way whatever the user's locale ("C:\" and "c:\").
bool SamePath(std::wstring_view a, std::wstring_view b);

// Whether a file-name pattern ("*.bmp") admits a name, as the system matches long names.
bool PatternAdmits(std::wstring_view pattern, std::wstring_view name);

// The order of names in both lists: ordinal without regard to case, and names that differ
// only in case (possible in case-sensitive folders) in a fixed order after that.
bool NameLess(const std::wstring& a, const std::wstring& b);

// An absolute, trimmed, normal-form path for what a caller gave (relative, with "..",
// with "/", or in a "\\?\" form); a drive letter comes back in capitals. A plain full path
// that the normal form would alter (see SystemForm) is taken as it stands. Empty when the
// system cannot make one (the reason is then in GetLastError).
std::wstring FullPath(const std::wstring& path);
// The same, for a folder.
std::wstring FullFolderPath(const std::wstring& folder);

// Joins a file list's folder and a file name into the recorded path: one "\" between them,
// none added when the folder already ends in one (a drive root).
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

// Whether Windows takes a name for a device ("CON", "nul.txt", "COM1 .bmp", "lpt¹"): the
// part before the first dot, without trailing blanks and dots, is a reserved device name.
// In the normal path form such a name means the device, not a file or folder that bears it.
bool IsDeviceName(std::wstring_view name);

// A prefix becomes the start of a file name in the program folder ("P.larmor.bmp", "P.vol"):
// it must not hold a character that Windows refuses in file names (\ / : * ? " < > | or a
// control character), ...
bool PrefixFitsFileName(std::wstring_view prefix);
// ... nor make that name a device's, ...
bool PrefixNamesDevice(std::wstring_view prefix);
// ... nor make a name longer than a file system holds, 255 characters: the longest prefix of a
// name that goes on with `rest` (".larmor.bmp", ".vol").
constexpr size_t LongestPrefix(std::wstring_view rest) { return rest.size() < 255 ? 255 - rest.size() : 0; }

// Where Windows keeps what an old program, run virtualized (32-bit, not elevated, with no
// requestedExecutionLevel in a manifest), writes into `folder` when it may not: the folder's
// path below its root, under `localAppData`'s "VirtualStore". Windows virtualizes only the
// folders it protects, each with what lies below it: %ProgramFiles% (and %ProgramFiles(x86)%),
// %ProgramData% and %SystemRoot% ("excluding some specific subdirectories", which it does not
// name: Windows Internals, 7th edition, part 1, chapter 7, "File virtualization"). Those are
// `protectedFolders` on this system; any other folder has no twin (empty).
std::wstring VirtualStoreTwin(std::wstring_view folder, std::wstring_view localAppData,
                              std::span<const std::wstring> protectedFolders);

// Where `path`, a file directly in `folder`, lies in `twin`, the folder's VirtualStore twin;
// empty when there is no twin or `path` is not directly in `folder`.
std::wstring TwinPath(std::wstring_view path, std::wstring_view folder, std::wstring_view twin);

}  // namespace quorvane
