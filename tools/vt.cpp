// Stand-in for the game's vt.exe (-sp VOLUME FILE), which adds a file to a .vol volume. This
// one keeps the volume as text: one line per added file, "[<full path>] <size in bytes>",
// UTF-8, so that tests can see what was added and in which order.
#include <windows.h>

#include <string>
#include <vector>

#include "services/Handles.h"
#include "services/WinError.h"
#include "tools/standin.h"

namespace {

using standin::Outcome;

Outcome AddToVolume(const std::vector<std::wstring>& arguments) {
  if (arguments.size() != 3 || arguments[0] != L"-sp")
    return {standin::kExitUsage, L"expected -sp VOLUME FILE"};

  const std::wstring file = standin::FullPath(arguments[2]);
  if (file.empty())
    return {standin::kExitFailed,
            quorvane::LastErrorText(L"cannot resolve the file \"" + arguments[2] + L"\"")};
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(standin::ForFileApi(file).c_str(), GetFileExInfoStandard, &data))
    return {standin::kExitFailed, quorvane::LastErrorText(L"cannot find " + file)};
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    return {standin::kExitFailed, file + L" is a folder, not a file"};
  const unsigned long long size =
      (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;

  const std::wstring volume = standin::FullPath(arguments[1]);
  if (volume.empty())
    return {standin::kExitWrite,
            quorvane::LastErrorText(L"cannot resolve the volume \"" + arguments[1] + L"\"")};
  const HANDLE handle = CreateFileW(standin::ForFileApi(volume).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return {standin::kExitWrite, quorvane::LastErrorText(L"cannot open the volume " + volume)};
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  quorvane::UniqueHandle owner(handle);

  const std::string line = standin::Utf8(L"[" + file + L"] " + std::to_wstring(size) + L"\n");
  DWORD written = 0;
  if (!WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
    return {standin::kExitWrite, quorvane::LastErrorText(L"cannot write the volume " + volume)};
  if (written != line.size())
    return {standin::kExitWrite, L"cannot write the volume " + volume + L": disk full"};
  return {standin::kExitOk, L"added " + file + L" (" + std::to_wstring(size) + L" bytes) to " +
                                (existed ? L"" : L"the new volume ") + volume};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const unsigned long long start = standin::Now();
  const standin::Tool tool{L"vt", L"VT_FAULT", L"vt -sp VOLUME FILE"};
  return standin::Run(tool, start, argc, argv, AddToVolume);
}
