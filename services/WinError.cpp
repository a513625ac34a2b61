#include "services/WinError.h"

#include <cwchar>

namespace quorvane {

std::wstring SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (n != 0 && buffer != nullptr) text.assign(buffer, n);
  if (buffer != nullptr) LocalFree(buffer);
  text.erase(text.find_last_not_of(L"\r\n .") + 1);  // all of it when nothing else is there
  if (text.empty()) {
    wchar_t number[32];
    std::swprintf(number, 32, L"system error %lu", static_cast<unsigned long>(code));
    text = number;
  }
  return text;
}

std::wstring LastErrorText(const std::wstring& what) { return what + L": " + SystemMessage(GetLastError()); }

std::wstring UnableToOpen(const std::wstring& path, DWORD error) {
  return L"Unable to open " + path + L": " + SystemMessage(error) + L"..!";
}

}  // namespace quorvane
