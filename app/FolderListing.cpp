#include "app/FolderListing.h"

#include <algorithm>

#include "app/QuorvaneCode.h"
#include "services/Handles.h"

namespace quorvane {
namespace {

// The name of `parent`\`name` as the disk spells it; `name` when the disk does not say.
std::wstring OnDiskName(const std::wstring& parent, const std::wstring& name) {
  const DiskEntry entry = LookUp(JoinPath(parent, name));
  return entry.error == ERROR_SUCCESS ? entry.name : name;
}

HANDLE FindFirst(const std::wstring& search, WIN32_FIND_DATAW& data) {
  HANDLE find = FindFirstFileExW(search.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                 FIND_FIRST_EX_LARGE_FETCH);
  // Systems older than Windows 7 refuse the basic information level and the large fetch; the
  // standard level gives the same names, only a little slower.
  if (find == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
    find = FindFirstFileExW(search.c_str(), FindExInfoStandard, &data, FindExSearchNameMatch, nullptr, 0);
  return find;
}

// Reads `folder`'s subfolders into `folders` and its files that `pattern` admits into `files`
// (either may be null: those are not wanted). The error is ERROR_SUCCESS when the whole folder
// was read. The system is asked for every name and the pattern is matched here, on the long
// names: asked for "*.bmp", the system also gives names whose 8.3 alias alone matches, such
// as "skin.bmp~" (alias "SKINBM~1.BMP").
DWORD ReadFolder(const std::wstring& folder, std::wstring_view pattern, NameList* folders, NameList* files) {
  const std::wstring search = JoinPath(SystemForm(folder, 2), L"*");
  WIN32_FIND_DATAW data;
  UniqueFind find(FindFirst(search, data));
  DWORD error = ERROR_SUCCESS;
  if (!find) {
    error = GetLastError();
    // Nothing matched: an empty list, not a fault.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) error = ERROR_SUCCESS;
  } else {
    constexpr DWORD kUnwanted = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
      const std::wstring_view name = data.cFileName;
      if (name.empty() || name == L"." || name == L"..") continue;
      if (data.dwFileAttributes & kUnwanted) continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (folders != nullptr) folders->names.emplace_back(name);
      } else if (files != nullptr && PatternAdmits(pattern, name)) {
        files->names.emplace_back(name);
      }
    } while (FindNextFileW(find.get(), &data));
    error = GetLastError();
    if (error == ERROR_NO_MORE_FILES) error = ERROR_SUCCESS;
  }
  for (NameList* list : {folders, files}) {
    if (list == nullptr) continue;
    list->error = error;
    std::sort(list->names.begin(), list->names.end(), NameLess);
  }
  return error;
}

bool FolderExists(const std::wstring& folder) {
  const DWORD attributes = GetFileAttributesW(SystemForm(folder).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const DWORD error = GetLastError();
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

// `folder` itself when it exists, else its nearest existing ancestor, never above `root`
// (which is returned when nothing below it exists).
std::wstring NearestExistingFolder(const std::wstring& folder, const std::wstring& root) {
  std::wstring path = TrimFolder(folder);
  if (!SamePath(RootOf(path), root)) return root;
  while (path.size() > root.size()) {
    if (FolderExists(path)) return path;
    path = ParentFolder(path);
  }
  return root;
}

class Disk final : public FolderReader {
 public:
  FolderChain Chain(const std::wstring& wanted, const std::wstring& root) const override {
    return ChainWith(NearestExistingFolder(wanted, root), root, nullptr);
  }
  NameList Files(const std::wstring& folder, const std::wstring& pattern) const override {
    NameList files;
    ReadFolder(folder, pattern, nullptr, &files);
    return files;
  }
  bool Exists(const std::wstring& folder) const override { return FolderExists(folder); }
};

}  // namespace

DiskEntry LookUp(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  // A pattern would name whatever it matches first.
  if (slash == std::wstring::npos || path.find_first_of(L"*?", slash) != std::wstring::npos)
    return {{}, 0, ERROR_INVALID_NAME};
  WIN32_FIND_DATAW data;
  UniqueFind find(FindFirst(SystemForm(path), data));
  if (!find) return {{}, 0, GetLastError()};
  if (data.cFileName[0] == L'\0') return {{}, 0, ERROR_FILE_NOT_FOUND};
  return {data.cFileName, data.dwFileAttributes};
}

FolderContents ListFolder(const std::wstring& folder) {
  FolderContents contents;
  ReadFolder(folder, L"*", &contents.folders, &contents.files);
  return contents;
}

const FolderReader& DiskReader() {
  static const Disk disk;
  return disk;
}

NameList Admitted(const NameList& files, std::wstring_view pattern) {
  NameList admitted;
  admitted.error = files.error;
  for (const std::wstring& name : files.names)
    if (PatternAdmits(pattern, name)) admitted.names.push_back(name);
  return admitted;
}

FolderChain ChainWith(const std::wstring& current, const std::wstring& root, const NameList* subfolders) {
  FolderChain chain;
  chain.entries.push_back({root, root, 0});
  std::wstring path = root;
  int level = 0;
  for (const std::wstring& name : NamesBelowRoot(current)) {
    const std::wstring spelt = OnDiskName(path, name);
    path = JoinPath(path, spelt);
    chain.entries.push_back({spelt, path, ++level});
  }
  chain.current = path;
  chain.currentIndex = chain.entries.size() - 1;
  NameList read;
  if (subfolders == nullptr) {
    ReadFolder(path, L"*", &read, nullptr);
    subfolders = &read;
  }
  chain.error = subfolders->error;
  chain.entries.reserve(chain.entries.size() + subfolders->names.size());
  for (const std::wstring& name : subfolders->names)
    chain.entries.push_back({name, JoinPath(path, name), level + 1});
  return chain;
}

}  // namespace quorvane
