#include "app/ProgramFolder.h"

#include <algorithm>
#include <iterator>

#include "services/Handles.h"
#include "services/WinError.h"

namespace quorvane {
namespace {

std::wstring Variable(const wchar_t* name) {
  std::wstring value(GetEnvironmentVariableW(name, nullptr, 0), L'\0');
  if (value.empty()) return {};
  value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
  return value;
}

std::wstring SystemRoot() {
  std::wstring windows(GetSystemWindowsDirectoryW(nullptr, 0), L'\0');
  if (windows.empty()) return {};
  windows.resize(GetSystemWindowsDirectoryW(windows.data(), static_cast<UINT>(windows.size())));
  return RootOf(windows);
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(SystemForm(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

ProgramFolder FindProgramFolder(const std::wstring& appDir) {
  ProgramFolder folder;
  folder.real = TrimFolder(appDir);
  folder.twin = VirtualStoreTwin(folder.real, Variable(L"LOCALAPPDATA"), SystemRoot());
  return folder;
}

bool TakesNewFiles(const std::wstring& folder, DWORD& error) {
  const std::wstring probe =
      JoinPath(folder, L"~quorvane-probe-" + std::to_wstring(GetCurrentProcessId()) + L".tmp");
  const UniqueFile file(CreateFileW(SystemForm(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE,
                                    nullptr));
  error = file ? ERROR_SUCCESS : GetLastError();
  // Found there (a probe left by a run that ended badly): the folder takes files all the same.
  return file || error == ERROR_FILE_EXISTS;
}

std::wstring ProtectedFolderWarning(const ProgramFolder& folder, DWORD error) {
  std::wstring text = L"Quorvane cannot create files in its folder " + folder.real + L" (" + SystemMessage(error) +
                      L"): Windows protects it. The game's tools may be unable to write their skins and volumes "
                      L"there, or Windows may keep what they write in its VirtualStore";
  if (!folder.twin.empty()) text += L" (" + folder.twin + L")";
  return text + L" instead. Move the game to a folder of your own, or start Quorvane as administrator..!";
}

NameList ProgramFolderReader::Files(const std::wstring& folder, const std::wstring& pattern) const {
  NameList names = disk_.Files(folder, pattern);
  return SamePath(folder, folder_.real) ? WithTwin(std::move(names), pattern) : names;
}

NameList ProgramFolderReader::WithTwin(NameList names, std::wstring_view pattern) const {
  if (folder_.twin.empty()) return names;
  const NameList twin = disk_.Files(folder_.twin, std::wstring(pattern));  // none when it is not there
  std::vector<std::wstring> all;
  all.reserve(names.names.size() + twin.names.size());
  std::set_union(std::make_move_iterator(names.names.begin()), std::make_move_iterator(names.names.end()),
                 twin.names.begin(), twin.names.end(), std::back_inserter(all),
                 [](const std::wstring& a, const std::wstring& b) { return NameLess(a, b); });
  names.names = std::move(all);
  return names;
}

std::wstring ProgramFolderReader::Readable(const std::wstring& path) const {
  const std::wstring inTwin = TwinPath(path, folder_.real, folder_.twin);
  if (inTwin.empty() || IsFile(path)) return path;
  return IsFile(inTwin) ? inTwin : path;
}

}  // namespace quorvane
