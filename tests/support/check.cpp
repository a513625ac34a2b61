#include "tests/support/check.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "services/ResultWindow.h"

namespace check {
namespace {

struct AbortCase {};

int g_failures = 0;
const Case* g_current = nullptr;

}  // namespace

std::vector<Case>& Registry() {
  static std::vector<Case> cases;
  return cases;
}

void Fail(const char* file, int line, const std::string& what) {
  ++g_failures;
  std::printf("  FAIL %s.%s at %s:%d\n      %s\n", g_current ? g_current->suite : "?",
              g_current ? g_current->name : "?", file, line, what.c_str());
  std::fflush(stdout);
}

void Abort(const char* file, int line, const std::string& what) {
  Fail(file, line, what + " (case stopped)");
  throw AbortCase{};
}

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::string Show(std::wstring_view text) {
  std::string out = "\"";
  if (text.size() > 300) {
    out += Show(text.substr(0, 120)).substr(1);
    out.pop_back();
    out += "...(" + std::to_string(text.size()) + " characters)...";
    out += Show(text.substr(text.size() - 60)).substr(1);
    return out;
  }
  for (wchar_t c : text) {
    if (c == L'"' || c == L'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      char buf[16];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    }
  }
  return out + "\"";
}

namespace {
std::function<bool(MSG&)> g_filter;

void DispatchWaiting() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (g_filter && g_filter(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  quorvane::RunIdleWork();  // as the program's loop does once nothing waits
}
}  // namespace

void SetMessageFilter(std::function<bool(MSG&)> filter) { g_filter = std::move(filter); }

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() > end) return false;
    DispatchWaiting();
    if (done()) break;
    MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  return true;
}

void Pump(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  do {
    DispatchWaiting();
    if (GetTickCount64() >= end) break;
    MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  } while (true);
}

std::wstring ProgramFolder() {
  std::wstring path(512, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring LongForm(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

std::vector<std::wstring> NamesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW(LongForm(folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

void RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(LongForm(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesW(LongForm(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(LongForm(path).c_str());
    return;
  }
  for (const std::wstring& name : NamesIn(path)) RemoveTree(path + L"\\" + name);
  RemoveDirectoryW(LongForm(path).c_str());
}

std::wstring ScratchFolder(const std::wstring& name) {
  std::wstring root = ProgramFolder() + L"scratch";
  CreateDirectoryW(root.c_str(), nullptr);
  std::wstring folder = root + L"\\" + name;
  RemoveTree(folder);
  if (!CreateDirectoryW(folder.c_str(), nullptr))
    throw std::runtime_error("cannot create scratch folder " + Utf8(folder));
  return folder;
}

bool MakeFolder(const std::wstring& path) {
  return CreateDirectoryW(LongForm(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool MakeFile(const std::wstring& path, std::string_view bytes) {
  const HANDLE file =
      CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(file);
  return ok;
}

void WriteFile(const std::wstring& path, std::string_view bytes) {
  if (!MakeFile(path, bytes)) throw std::runtime_error("cannot write " + Utf8(path));
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadAll(const std::wstring& path) {
  const HANDLE file =
      CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(cannot read " + Utf8(path) + ")";
  std::string bytes;
  char chunk[4096];
  DWORD n = 0;
  while (::ReadFile(file, chunk, sizeof chunk, &n, nullptr) && n > 0) bytes.append(chunk, n);
  CloseHandle(file);
  return bytes;
}

UnreadableFolder::UnreadableFolder(std::wstring folder) : folder_(std::move(folder)) {
  ACL empty{};
  SECURITY_DESCRIPTOR sd{};
  const bool denied = InitializeAcl(&empty, sizeof empty, ACL_REVISION) &&
                      InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
                      SetSecurityDescriptorDacl(&sd, TRUE, &empty, FALSE) &&
                      SetFileSecurityW(folder_.c_str(), DACL_SECURITY_INFORMATION, &sd);
  // Only a folder that really cannot be read counts.
  WIN32_FIND_DATAW data;
  const HANDLE probe = FindFirstFileW((folder_ + L"\\*").c_str(), &data);
  made_ = denied && probe == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED;
  if (probe != INVALID_HANDLE_VALUE) FindClose(probe);
}

UnreadableFolder::~UnreadableFolder() {
  SECURITY_DESCRIPTOR open{};
  InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);  // no list: everyone again
  SetFileSecurityW(folder_.c_str(), DACL_SECURITY_INFORMATION, &open);
}

}  // namespace check

int wmain(int argc, wchar_t** argv) {
  using namespace check;
  std::string suite, only;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::wcscmp(argv[i], L"--suite") == 0) suite = Utf8(argv[i + 1]);
    if (std::wcscmp(argv[i], L"--case") == 0) only = Utf8(argv[i + 1]);
  }
  setvbuf(stdout, nullptr, _IONBF, 0);
  int ran = 0;
  for (const Case& c : Registry()) {
    if (!suite.empty() && suite != c.suite) continue;
    if (!only.empty() && only != c.name) continue;
    g_current = &c;
    const int before = g_failures;
    const ULONGLONG start = GetTickCount64();
    try {
      c.run();
    } catch (const AbortCase&) {
    } catch (const std::exception& e) {
      Fail(__FILE__, __LINE__, std::string("exception: ") + e.what());
    }
    std::printf("%s %s.%s (%llu ms)\n", g_failures == before ? "ok  " : "FAIL", c.suite, c.name,
                static_cast<unsigned long long>(GetTickCount64() - start));
    ++ran;
  }
  g_current = nullptr;
  if (ran == 0) {
    std::printf("no test matched\n");
    return 2;
  }
  std::printf("%d cases, %d failed checks\n", ran, g_failures);
  return g_failures == 0 ? 0 : 1;
}

#include <shellapi.h>

#include "tests/support/fakes.h"

namespace check {

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &count);
  std::vector<std::wstring> out;
  if (argv == nullptr) return out;
  for (int i = 0; i < count; ++i) out.emplace_back(argv[i]);
  LocalFree(argv);
  return out;
}

}  // namespace check
