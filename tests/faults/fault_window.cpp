#include "tests/faults/fault_window.h"

#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>

#include "services/Handles.h"
#include "tests/support/standin_log.h"
#include "tests/support/ui_driver.h"

using namespace quorvane;
using namespace quorvane::ui;

namespace faults {

const std::wstring& Folder() {
  static const std::wstring folder = check::ProgramFolder();
  return folder;
}

OpenWindow::OpenWindow() {
  std::wstring error;
  if (!window.Create(SW_SHOW, error)) check::Abort(__FILE__, __LINE__, "window: " + check::Utf8(error));
  check::SetMessageFilter([this](MSG& msg) { return window.PreTranslateMessage(msg); });
  check::Pump(50);
}

OpenWindow::~OpenWindow() { check::SetMessageFilter(nullptr); }

bool OpenWindow::checked(ControlId id) const {
  return SendMessageW(window.Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void OpenWindow::showPage(int page) {
  TabCtrl_SetCurFocus(window.Control(kSSTab1), page);
  check::Pump(20);
}

int OpenWindow::page() const { return TabCtrl_GetCurSel(window.Control(kSSTab1)); }

void OpenWindow::waitForTools(DWORD timeoutMs) {
  REQUIRE(check::PumpUntil([this] { return window.ToolsIdle(); }, timeoutMs));
}

void OpenWindow::open(ControlId dir, const std::wstring& line) {
  const int index = check::IndexOf(window.Control(dir), line);
  if (index < 0) check::Abort(__FILE__, __LINE__, "no folder line " + check::Show(line));
  check::Open(window.Control(dir), index);
}

void OpenWindow::choose(ControlId files, const std::wstring& name) {
  const HWND list = window.Control(files);
  int index = -1;
  if (!check::PumpUntil([&] { return (index = check::IndexOf(list, name)) >= 0; }, 10000))
    check::Abort(__FILE__, __LINE__, "no file line " + check::Show(name));
  check::Choose(list, index);
}

Args LinesOnceFilled(HWND list, const Args& expected, DWORD timeoutMs) {
  Args lines;
  check::PumpUntil([&] { return (lines = check::Items(list)) == expected; }, timeoutMs);
  return lines;
}

check::SeenBox Warning(const std::wstring& text) { return {text, L"Oops..!", MB_OK | MB_ICONEXCLAMATION}; }

check::SeenBox Question(const std::wstring& prefix) {
  return {L"Add " + prefix + L".larmor.bmp to " + prefix + L".vol?", L"Success",
          MB_YESNO | MB_ICONINFORMATION};
}

bool QuitPosted() {
  MSG msg;
  return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

void CleanGameFolder() {
  // A stand-in still set aside by a run that was killed goes back first.
  for (const wchar_t* tool : {L"makeskin.exe", L"vt.exe"}) {
    const std::wstring path = Folder() + tool, away = path + L".away";
    if (check::FileExists(away)) MoveFileExW(away.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  for (const wchar_t* pattern : {L"*.log", L"*.vol", L"*.bmp"}) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((Folder() + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do DeleteFileW((Folder() + data.cFileName).c_str());
    while (FindNextFileW(find, &data));
    FindClose(find);
  }
  SetEnvironmentVariableW(L"MAKESKIN_FAULT", nullptr);
  SetEnvironmentVariableW(L"VT_FAULT", nullptr);
  check::RemoveTree(Folder() + L"scratch");
}

std::vector<check::StandinRun> ToolLog(const std::wstring& tool) {
  return check::ReadStandinLog(Folder() + tool + L".log");
}

FaultVariable::FaultVariable(const wchar_t* variable, const std::wstring& directives) : variable_(variable) {
  REQUIRE(SetEnvironmentVariableW(variable_, directives.c_str()));
}

FaultVariable::~FaultVariable() { SetEnvironmentVariableW(variable_, nullptr); }

ToolReplaced::ToolReplaced(const std::wstring& tool, const char* replacement)
    : tool_(Folder() + tool), away_(Folder() + tool + L".away") {
  if (!MoveFileExW(tool_.c_str(), away_.c_str(), MOVEFILE_REPLACE_EXISTING))
    check::Abort(__FILE__, __LINE__, "cannot move " + check::Show(tool_) + " away");
  if (replacement != nullptr) check::WriteFile(tool_, replacement);
}

ToolReplaced::~ToolReplaced() {
  DeleteFileW(tool_.c_str());
  if (!MoveFileExW(away_.c_str(), tool_.c_str(), MOVEFILE_REPLACE_EXISTING))
    check::Fail(__FILE__, __LINE__, "cannot put " + check::Show(tool_) + " back");
}

int EndStandins(UINT exitCode) {
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (snapshot.get() == INVALID_HANDLE_VALUE) {
    snapshot.release();
    check::Fail(__FILE__, __LINE__, "no process snapshot: stand-ins may be left running");
    return 0;
  }
  int ended = 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ParentProcessID != GetCurrentProcessId()) continue;
    if (lstrcmpiW(entry.szExeFile, L"makeskin.exe") != 0 && lstrcmpiW(entry.szExeFile, L"vt.exe") != 0)
      continue;
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!process) continue;
    if (TerminateProcess(process.get(), exitCode)) ++ended;
    // Gone before anybody replaces or deletes its executable.
    WaitForSingleObject(process.get(), 10000);
  }
  return ended;
}

std::wstring SystemText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n != 0 && buffer != nullptr ? std::wstring(buffer, n) : L"";
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  if (!text.empty() && text.back() == L'.') text.pop_back();
  return text;
}

void MakeFolder(const std::wstring& path) {
  if (!CreateDirectoryW(check::LongForm(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    check::Abort(__FILE__, __LINE__, "cannot create folder " + check::Show(path));
}

void MakeFile(const std::wstring& path, std::string_view bytes) {
  HANDLE file = CreateFileW(check::LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    check::Abort(__FILE__, __LINE__, "cannot create file " + check::Show(path));
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(check::LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Scratch(const std::wstring& name) {
  MakeFolder(Folder() + L"scratch");
  const std::wstring folder = Folder() + L"scratch\\" + name;
  check::RemoveTree(folder);
  MakeFolder(folder);
  return folder;
}

namespace {

// The system's handle table, as NtQuerySystemInformation(SystemExtendedHandleInformation)
// gives it; declared here because the SDK headers do not.
struct HandleEntry {
  PVOID object;
  ULONG_PTR processId;
  ULONG_PTR handle;
  ULONG access;
  USHORT backTrace, typeIndex;
  ULONG attributes, reserved;
};
struct HandleTable {
  ULONG_PTR count, reserved;
  HandleEntry entries[1];
};
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

DWORD HandlesInSystemTable() {
  using Query = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return 0;
  std::vector<unsigned char> buffer(1 << 18);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const NTSTATUS status =
        query(kSystemExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch) {
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
      continue;
    }
    if (status < 0) return 0;
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    DWORD mine = 0;
    for (ULONG_PTR i = 0; i < table->count; ++i)
      if (table->entries[i].processId == GetCurrentProcessId()) ++mine;
    return mine;
  }
  return 0;
}

}  // namespace

DWORD HandleCount(const char** how) {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) {
    if (how) *how = "GetProcessHandleCount";
    return count;
  }
  if (how) *how = "the system handle table (GetProcessHandleCount gives 0 here)";
  return HandlesInSystemTable();
}

SIZE_T PrivateBytes(const char** how) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters)) {
    check::Fail(__FILE__, __LINE__, "GetProcessMemoryInfo failed: " + std::to_string(GetLastError()));
    return 0;
  }
  if (counters.PrivateUsage != 0) {
    if (how) *how = "PrivateUsage";
    return counters.PrivateUsage;
  }
  if (how) *how = "PagefileUsage (PrivateUsage reads 0 here)";
  return counters.PagefileUsage;
}

}  // namespace faults
