#include "app/FolderListing.h"

#include <algorithm>

#include "app/QuorvaneCode.h"
#include "services/Handles.h"

namespace quorvane {
namespace {

// The name of `parent`\`name` as the disk spells it (its long name when `name` is a short
// alias, its own capitals when `name` was typed in other ones); `name` when the disk does not
// say.
std::wstring OnDiskName(const std::wstring& parent, const std::wstring& name) {
  if (name.find_first_of(L"*?") != std::wstring::npos) return name;
  const std::wstring path = JoinPath(parent, name);
  WIN32_FIND_DATAW data;
  UniqueFind find(FindFirstFileExW(SystemForm(path).c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, 0));
  if (!find || data.cFileName[0] == L'\0') return name;
  return data.cFileName;
}

HANDLE FindFirst(const std::wstring& search, WIN32_FIND_DATAW& data) {
  HANDLE find = FindFirstFileExW(search.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                 nullptr, FIND_FIRST_EX_LARGE_FETCH);
  // Systems older than Windows 7 refuse the basic information level and the large fetch; the
  // standard level gives the same names, only a little slower.
  if (find == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
    find = FindFirstFileExW(search.c_str(), FindExInfoStandard, &data, FindExSearchNameMatch,
                            nullptr, 0);
  return find;
}

NameList ReadFolder(const std::wstring& folder, const std::wstring& pattern, bool wantFolders) {
  NameList out;
  const std::wstring search = JoinPath(SystemForm(folder, 1 + pattern.size()), pattern);
  WIN32_FIND_DATAW data;
  UniqueFind find(FindFirst(search, data));
  if (!find) {
    const DWORD error = GetLastError();
    // Nothing matched: an empty list, not a fault.
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) out.error = error;
    return out;
  }
  constexpr DWORD kUnwanted = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    const std::wstring_view name = data.cFileName;
    if (name.empty() || name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & kUnwanted) continue;
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder != wantFolders) continue;
    out.names.emplace_back(name);
  } while (FindNextFileW(find.get(), &data));
  const DWORD error = GetLastError();
  if (error != ERROR_NO_MORE_FILES) out.error = error;
  std::sort(out.names.begin(), out.names.end(), NameLess);
  return out;
}

}  // namespace

bool FolderExists(const std::wstring& folder) {
  const DWORD attributes = GetFileAttributesW(SystemForm(folder).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const DWORD error = GetLastError();
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

std::wstring NearestExistingFolder(const std::wstring& folder, const std::wstring& root) {
  std::wstring path = TrimFolder(folder);
  if (!SamePath(RootOf(path), root)) return root;
  while (path.size() > root.size()) {
    if (FolderExists(path)) return path;
    path = ParentFolder(path);
  }
  return root;
}

NameList ListSubfolders(const std::wstring& folder) { return ReadFolder(folder, L"*", true); }

NameList ListFiles(const std::wstring& folder, const std::wstring& pattern) {
  return ReadFolder(folder, pattern, false);
}

FolderChain ListFolderChain(const std::wstring& wanted, const std::wstring& root) {
  FolderChain chain;
  const std::wstring current = NearestExistingFolder(wanted, root);
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
  NameList subfolders = ListSubfolders(path);
  chain.error = subfolders.error;
  chain.entries.reserve(chain.entries.size() + subfolders.names.size());
  for (std::wstring& name : subfolders.names) {
    std::wstring child = JoinPath(path, name);
    chain.entries.push_back({std::move(name), std::move(child), level + 1});
  }
  return chain;
}

}  // namespace quorvane
