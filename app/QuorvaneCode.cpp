#include "app/QuorvaneCode.h"

#include <windows.h>

#include "services/Prompt.h"

namespace quorvane {

Outcome ResolveAppDir(QuorvaneCode& state) {
  // GetModuleFileNameW truncates when the buffer is short, returning its size: grow until it fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {GetLastError()};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= 0x10000) return {ERROR_FILENAME_EXCED_RANGE};  // longer than Windows holds
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {ERROR_BAD_PATHNAME};
  // Keep the "\" of a drive root ("D:\"), drop it elsewhere ("C:\Games\Pack").
  path.resize(slash == 2 && path[1] == L':' ? slash + 1 : slash);
  state.AppDir = AppDirFromFolder(std::move(path));
  return {};
}

std::wstring AppDirFromFolder(std::wstring folder) {
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  return folder;
}

void Warn(Prompts& prompts, QuorvaneCode& state, const std::wstring& text) {
  state.Answer = static_cast<std::int16_t>(prompts.ShowPrompt(text, kOops, kWarning));
}

std::wstring PrefixWarning(std::wstring_view prefix, std::wstring_view rest) {
  if (prefix.empty()) return L"You must enter a prefix in order to complete this operation..!";
  if (!PrefixFitsFileName(prefix))
    return L"You must enter a prefix without \\ / : * ? \" < > | or control characters in order to "
           L"complete this operation..!";
  if (PrefixNamesDevice(prefix)) return kDevicePrefixWarning;
  if (prefix.size() > LongestPrefix(rest)) return LongPrefixWarning(LongestPrefix(rest));
  return {};
}

}  // namespace quorvane
