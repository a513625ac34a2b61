#include "tests/support/standin_log.h"

#include <windows.h>

#include <tlhelp32.h>

#include <cwchar>
#include <optional>
#include <stdexcept>

#include "services/Handles.h"
#include "tests/support/check.h"

namespace check {
namespace {

// The whole file, or nothing when it does not exist. Tests put tools in deep folders on
// purpose, so long paths get the "\\?\" form.
std::optional<std::string> ReadBytes(const std::wstring& path) {
  std::wstring name = path;
  if (name.size() >= MAX_PATH - 12 && name.size() > 2 && name[1] == L':') name = L"\\\\?\\" + name;
  const HANDLE file =
      CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
    throw std::runtime_error("cannot open " + Utf8(path) + " (error " + std::to_string(error) + ")");
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      const DWORD error = GetLastError();
      CloseHandle(file);
      throw std::runtime_error("cannot read " + Utf8(path) + " (error " + std::to_string(error) + ")");
    }
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  CloseHandle(file);
  return bytes;
}

std::wstring FromUtf8(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
  return text;
}

std::vector<std::wstring> Lines(const std::string& bytes) {
  std::vector<std::wstring> lines;
  size_t begin = 0;
  while (begin < bytes.size()) {
    size_t end = bytes.find('\n', begin);
    const bool complete = end != std::string::npos;
    if (!complete) end = bytes.size();
    std::string line = bytes.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // A last line without its line break is a block still being written: not "end" yet.
    if (complete) lines.push_back(FromUtf8(line));
    begin = end + 1;
  }
  return lines;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

// From the first "[" to the last "]", with "<U+XXXX>" turned back into the control
// character it stands for (only control characters are ever written so).
std::wstring Bracketed(const std::wstring& line) {
  const size_t open = line.find(L'[');
  const size_t close = line.rfind(L']');
  if (open == std::wstring::npos || close == std::wstring::npos || close < open) return {};
  const std::wstring raw = line.substr(open + 1, close - open - 1);
  std::wstring text;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw.compare(i, 3, L"<U+") == 0 && i + 7 < raw.size() && raw[i + 7] == L'>') {
      int value = 0;
      bool hex = true;
      for (size_t k = i + 3; k < i + 7; ++k) {
        const int digit = HexDigit(raw[k]);
        if (digit < 0) hex = false;
        value = value * 16 + (digit < 0 ? 0 : digit);
      }
      if (hex && (value < 0x20 || value == 0x7f)) {
        text += static_cast<wchar_t>(value);
        i += 7;
        continue;
      }
    }
    text += raw[i];
  }
  return text;
}

// The words after the keyword, up to the "[" when there is one.
std::wstring Fields(const std::wstring& line) {
  const size_t space = line.find(L' ');
  if (space == std::wstring::npos) return {};
  const size_t open = line.find(L'[', space);
  return line.substr(space + 1, open == std::wstring::npos ? std::wstring::npos : open - space - 1);
}

}  // namespace

std::vector<StandinRun> ReadStandinLog(const std::wstring& path) {
  std::vector<StandinRun> runs;
  const std::optional<std::string> bytes = ReadBytes(path);
  if (!bytes) return runs;
  std::optional<StandinRun> current;
  for (const std::wstring& line : Lines(*bytes)) {
    const std::wstring keyword = line.substr(0, line.find(L' '));
    if (keyword == L"run") {
      current = StandinRun{};  // a block left open before this one was cut short: drop it
      current->startTime = std::wcstoull(Fields(line).c_str(), nullptr, 10);
    } else if (!current) {
      continue;
    } else if (line == L"end") {
      runs.push_back(std::move(*current));
      current.reset();
    } else if (keyword == L"commandline") {
      current->commandLine = Bracketed(line);
    } else if (keyword == L"crt") {
      current->crtArgs.push_back(Bracketed(line));
    } else if (keyword == L"shell") {
      current->shellArgs.push_back(Bracketed(line));
    } else if (keyword == L"ucrt") {
      current->ucrtArgs.push_back(Bracketed(line));
    } else if (keyword == L"folder") {
      current->workingFolder = Bracketed(line);
    } else if (keyword == L"fault") {
      current->fault = Bracketed(line);
    } else if (keyword == L"show") {
      wchar_t* rest = nullptr;
      const std::wstring fields = Fields(line);
      current->startupFlags = std::wcstoul(fields.c_str(), &rest, 16);
      current->showWindow = static_cast<unsigned>(std::wcstoul(rest, nullptr, 10));
    } else if (keyword == L"result") {
      // Written as the unsigned DWORD; a crash code wraps to the negative int it compares to.
      current->exitCode =
          static_cast<int>(static_cast<unsigned>(std::wcstoll(Fields(line).c_str(), nullptr, 10)));
      current->message = Bracketed(line);
    }
  }
  return runs;
}

std::vector<VolumeEntry> ReadStandinVolume(const std::wstring& path) {
  std::vector<VolumeEntry> entries;
  const std::optional<std::string> bytes = ReadBytes(path);
  if (!bytes) return entries;
  for (const std::wstring& line : Lines(*bytes)) {
    const size_t close = line.rfind(L']');
    if (line.empty() || line[0] != L'[' || close == std::wstring::npos) continue;
    entries.push_back({line.substr(1, close - 1), std::wcstoull(line.c_str() + close + 1, nullptr, 10)});
  }
  return entries;
}

int EndStandins(const std::function<bool(const std::wstring& image)>& is, UINT exitCode) {
  quorvane::UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (snapshot.get() == INVALID_HANDLE_VALUE) {
    snapshot.release();
    Fail(__FILE__, __LINE__, "no process snapshot: stand-ins may be left running");
    return 0;
  }
  int ended = 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ParentProcessID != GetCurrentProcessId()) continue;
    quorvane::UniqueHandle process(
        OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (!process) continue;
    std::wstring image(32768, L'\0');
    DWORD size = static_cast<DWORD>(image.size());
    if (!QueryFullProcessImageNameW(process.get(), 0, image.data(), &size)) continue;
    image.resize(size);
    if (!is(image)) continue;
    if (TerminateProcess(process.get(), exitCode)) ++ended;
    WaitForSingleObject(process.get(), 10000);
  }
  return ended;
}

}  // namespace check
