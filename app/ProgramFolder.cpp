#include "app/ProgramFolder.h"

#include <algorithm>
#include <cstddef>

#include "services/Handles.h"
#include "services/WinError.h"

namespace quorvane {
namespace {

// What `ask` writes, asked first with no room for the room it needs; empty when the system does
// not tell it.
template <typename Ask>
std::wstring Told(Ask ask) {
  std::wstring text(ask(nullptr, 0), L'\0');
  if (text.empty()) return {};
  text.resize(ask(text.data(), static_cast<UINT>(text.size())));
  return text;
}

std::wstring Variable(const wchar_t* name) {
  return Told([name](wchar_t* into, UINT room) { return GetEnvironmentVariableW(name, into, room); });
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(SystemForm(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

ProgramFolder FindProgramFolder(const std::wstring& appDir) {
  ProgramFolder folder;
  folder.real = TrimFolder(appDir);
  // The folders Windows protects, whichever of Quorvane's builds asks: a 32-bit one is told the
  // 32-bit programs' folder as %ProgramFiles%, the 64-bit one as %ProgramFiles(x86)%.
  const std::wstring protectedFolders[] = {Variable(L"ProgramFiles"), Variable(L"ProgramFiles(x86)"),
                                           Variable(L"ProgramW6432"), Variable(L"ProgramData"),
                                           Told(&GetSystemWindowsDirectoryW)};  // %SystemRoot%
  folder.twin = VirtualStoreTwin(folder.real, Variable(L"LOCALAPPDATA"), protectedFolders);
  return folder;
}

Outcome ProbeNewFiles(const std::wstring& folder) {
  const std::wstring probe =
      JoinPath(folder, L"~quorvane-probe-" + std::to_wstring(GetCurrentProcessId()) + L".tmp");
  const UniqueFile file(
      CreateFileW(SystemForm(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  const DWORD error = file ? ERROR_SUCCESS : GetLastError();
  // Found there (a probe left by a run that ended badly): the folder takes files all the same.
  return {error == ERROR_FILE_EXISTS ? DWORD{ERROR_SUCCESS} : error};
}

bool FileGone(const ProgramFolder& folder, const std::wstring& path) {
  for (const std::wstring& place : {TwinPath(path, folder.real, folder.twin), path}) {
    if (place.empty()) continue;
    if (GetFileAttributesW(SystemForm(place).c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return false;
  }
  return true;
}

std::wstring ProtectedFolderWarning(const ProgramFolder& folder, DWORD error) {
  std::wstring text =
      L"Quorvane cannot create files in its folder " + folder.real + L" (" + SystemMessage(error) +
      L"): Windows protects it. The game's tools may be unable to write their skins and volumes "
      L"there";
  // Windows keeps a virtualized tool's files elsewhere only for the folders it virtualizes.
  if (!folder.twin.empty())
    text += L", or Windows may keep what they write in its VirtualStore (" + folder.twin + L") instead";
  return text + L". Move the game to a folder of your own, or start Quorvane as administrator..!";
}

NameList ProgramFolderReader::Files(const std::wstring& folder, const std::wstring& pattern) const {
  NameList names = disk_.Files(folder, pattern);
  return SamePath(folder, folder_.real) ? WithTwin(std::move(names), pattern) : names;
}

NameList ProgramFolderReader::WithTwin(NameList names, std::wstring_view pattern) const {
  if (folder_.twin.empty()) return names;
  const NameList twin = disk_.Files(folder_.twin, std::wstring(pattern));  // none when it is not there
  // A name in the folder and in the twin is one file to Windows whatever the case of each
  // ("red.bmp", "RED.BMP"): one line, the folder's. Both lists are in NameLess order, which
  // sorts without regard to case first, so the folder's can be searched that way.
  const auto caseBlindLess = [](const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_LESS_THAN;
  };
  std::vector<std::wstring>& all = names.names;
  const size_t own = all.size();
  for (const std::wstring& name : twin.names)
    if (!std::binary_search(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(own), name, caseBlindLess))
      all.push_back(name);
  std::inplace_merge(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(own), all.end(), NameLess);
  return names;
}

std::wstring ProgramFolderReader::Readable(const std::wstring& path) const {
  // A virtualized reader, as the game and its tools are, is given the twin's copy first.
  const std::wstring inTwin = TwinPath(path, folder_.real, folder_.twin);
  return !inTwin.empty() && IsFile(inTwin) ? inTwin : path;
}

}  // namespace quorvane
