#include "tools/standin.h"

#include <shellapi.h>

#include <cstdio>
#include <cwchar>

#include "services/Handles.h"
#include "services/WinError.h"

namespace standin {
namespace {

using quorvane::LastErrorText;
using quorvane::UniqueHandle;

struct ModuleTraits {
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE module) { FreeLibrary(module); }
};
using UniqueModule = quorvane::Owned<HMODULE, ModuleTraits>;

struct LocalTraits {
  static LPWSTR* Invalid() { return nullptr; }
  static void Close(LPWSTR* memory) { LocalFree(memory); }
};
using UniqueArgv = quorvane::Owned<LPWSTR*, LocalTraits>;

// GetProcAddress's result as the function type it really is (the detour through a plain
// function pointer keeps compilers from warning about the cast).
template <typename F>
F Procedure(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

bool EqualNoCase(const std::wstring& a, const wchar_t* b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

std::wstring Trim(const std::wstring& text) {
  const size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// The value of an environment variable of any length; empty when it is not set.
std::wstring Environment(const wchar_t* name) {
  std::wstring value(64, L'\0');
  for (;;) {
    const DWORD n = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) return {};
    if (n < value.size()) {
      value.resize(n);
      return value;
    }
    value.resize(n);  // n counts the terminating null when the buffer was short
  }
}

std::wstring CurrentFolder() {
  std::wstring folder;
  for (;;) {
    const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    if (n == 0) return L"(unknown: " + quorvane::SystemMessage(GetLastError()) + L")";
    if (n < folder.size()) {
      folder.resize(n);
      return folder;
    }
    folder.resize(n);
  }
}

// The folder of this executable, ending in a backslash; empty when the system cannot tell.
std::wstring ExecutableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size() && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      path.resize(n);
      break;
    }
    if (path.size() >= 0x10000) return {};
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

// Text for inside the log's brackets: raw, except control characters, which would break
// the line structure and are invisible anyway.
std::wstring Escape(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (c < 0x20 || c == 0x7f) {
      wchar_t code[16];
      std::swprintf(code, 16, L"<U+%04X>", static_cast<unsigned>(c));
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

void AddArguments(std::wstring& block, const wchar_t* label, const std::vector<std::wstring>& arguments) {
  for (size_t i = 0; i < arguments.size(); ++i)
    block += std::wstring(label) + L" " + std::to_wstring(i) + L" [" + Escape(arguments[i]) + L"]\n";
}

std::vector<std::wstring> ShellArguments() {
  int count = 0;
  UniqueArgv argv(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::wstring> arguments;
  if (!argv) return arguments;
  for (int i = 0; i < count; ++i) arguments.emplace_back(argv.get()[i]);
  return arguments;
}

// How the current C run time (ucrtbase.dll, Windows 10 on) splits this process's command
// line. Its rules differ from the older run times' in corner cases, and the game's tools
// may be built with either; false when ucrtbase.dll is not there or does not answer.
bool UcrtArguments(std::vector<std::wstring>& arguments) {
  UniqueModule ucrt(LoadLibraryExW(L"ucrtbase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!ucrt && GetLastError() == ERROR_INVALID_PARAMETER)  // Windows 7 without the loader update
    ucrt.reset(LoadLibraryW(L"ucrtbase.dll"));
  if (!ucrt) return false;
  using Configure = int(__cdecl*)(int);
  using Argc = int*(__cdecl*)();
  using Wargv = wchar_t***(__cdecl*)();
  const auto configure = Procedure<Configure>(ucrt.get(), "_configure_wide_argv");
  const auto argc = Procedure<Argc>(ucrt.get(), "__p___argc");
  const auto wargv = Procedure<Wargv>(ucrt.get(), "__p___wargv");
  if (configure == nullptr || argc == nullptr || wargv == nullptr) return false;
  constexpr int kUnexpandedArguments = 1;  // _crt_argv_unexpanded_arguments: no wildcards
  if (configure(kUnexpandedArguments) != 0) return false;
  const int* count = argc();
  wchar_t*** vector = wargv();
  if (count == nullptr || vector == nullptr || *vector == nullptr || *count < 0) return false;
  for (int i = 0; i < *count; ++i) arguments.emplace_back((*vector)[i] ? (*vector)[i] : L"");
  return true;
}

struct Faults {
  std::wstring raw;
  bool delay = false;
  DWORD delayMs = 0;
  bool exit = false;
  DWORD exitCode = 0;
  bool noOutput = false;
  bool crash = false;
};

// A number as the directives write it: decimal, or hexadecimal after "0x" (exit codes such
// as 0xC0000135 read better so). False for anything else or more than 32 bits.
bool ParseNumber(const std::wstring& text, DWORD& value) {
  if (text.empty()) return false;
  unsigned long long number = 0;
  const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
  for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    unsigned digit;
    if (c >= L'0' && c <= L'9')
      digit = c - L'0';
    else if (hex && c >= L'a' && c <= L'f')
      digit = c - L'a' + 10;
    else if (hex && c >= L'A' && c <= L'F')
      digit = c - L'A' + 10;
    else
      return false;
    number = number * (hex ? 16 : 10) + digit;
    if (number > 0xFFFFFFFFull) return false;
  }
  value = static_cast<DWORD>(number);
  return true;
}

// A typo in a directive must not pass for a clean run: the caller turns `error` into a
// failed run of its own.
bool ParseFaults(const std::wstring& raw, Faults& faults, std::wstring& error) {
  faults.raw = raw;
  size_t begin = 0;
  while (begin <= raw.size()) {
    size_t end = raw.find(L',', begin);
    if (end == std::wstring::npos) end = raw.size();
    const std::wstring item = Trim(raw.substr(begin, end - begin));
    begin = end + 1;
    if (item.empty()) continue;
    const size_t equals = item.find(L'=');
    const std::wstring name = Trim(item.substr(0, equals));
    const std::wstring value = equals == std::wstring::npos ? L"" : Trim(item.substr(equals + 1));
    if (EqualNoCase(name, L"delay") && equals != std::wstring::npos && ParseNumber(value, faults.delayMs)) {
      faults.delay = true;
    } else if (EqualNoCase(name, L"exit") && equals != std::wstring::npos &&
               ParseNumber(value, faults.exitCode)) {
      faults.exit = true;
    } else if (EqualNoCase(item, L"nooutput")) {
      faults.noOutput = true;
    } else if (EqualNoCase(item, L"crash")) {
      faults.crash = true;
    } else {
      error = L"fault directive not understood: \"" + item + L"\" (known: delay=MS, exit=N, nooutput, crash)";
      return false;
    }
  }
  return true;
}

// Holds the named mutex for one log while a block goes in. Appends from several processes at
// once are not atomic everywhere (under Wine two such writes can land on the same place and
// one block is lost), so the runs of a tool take turns. Without the mutex (it could not be
// made, or a run holds it far too long) the block is appended all the same.
class LogTurn {
 public:
  explicit LogTurn(const std::wstring& logPath) {
    // Named after the log's path (every run of one tool spells it the same way, from its own
    // executable's folder); a name cannot hold "\\", so the path goes in as a hash.
    unsigned long long hash = 14695981039346656037ull;  // FNV-1a
    for (wchar_t c : logPath) {
      hash ^= static_cast<unsigned long long>(c);
      hash *= 1099511628211ull;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Local\\QuorvaneStandinLog-%016llx", hash);
    mutex_.reset(CreateMutexW(nullptr, FALSE, name));
    if (mutex_) {
      const DWORD wait = WaitForSingleObject(mutex_.get(), 10000);
      // WAIT_ABANDONED: a run ended while holding it; the turn is ours all the same.
      held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
  }
  ~LogTurn() {
    if (held_) ReleaseMutex(mutex_.get());
  }
  LogTurn(const LogTurn&) = delete;
  LogTurn& operator=(const LogTurn&) = delete;

 private:
  UniqueHandle mutex_;
  bool held_ = false;
};

bool AppendLog(const std::wstring& path, const std::string& bytes, std::wstring& error) {
  const LogTurn turn(path);
  UniqueHandle file;
  // Another run of the same tool may be reading or appending right now; sharing lets both go
  // on, and a single write of the whole block keeps blocks whole.
  for (int attempt = 0;; ++attempt) {
    const HANDLE handle = CreateFileW(ForFileApi(path).c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      file.reset(handle);
      break;
    }
    if (GetLastError() != ERROR_SHARING_VIOLATION || attempt >= 100) {
      error = LastErrorText(L"cannot open the log " + path);
      return false;
    }
    Sleep(20);
  }
  DWORD written = 0;
  if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    error = LastErrorText(L"cannot write the log " + path);
    return false;
  }
  if (written != bytes.size()) {
    error = L"cannot write the log " + path + L": only part of the block was written";
    return false;
  }
  return true;
}

}  // namespace

unsigned long long Now() {
  using PreciseTime = VOID(WINAPI*)(LPFILETIME);
  static const PreciseTime precise = [] {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? Procedure<PreciseTime>(kernel, "GetSystemTimePreciseAsFileTime") : nullptr;
  }();
  FILETIME time;
  if (precise != nullptr)
    precise(&time);
  else
    GetSystemTimeAsFileTime(&time);
  return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
  if (n <= 0) return "(text not convertible to UTF-8)";
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                      nullptr);
  return out;
}

std::wstring FullPath(const std::wstring& path) {
  if (path.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return {};
  }
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return {};
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.resize(n);
  }
}

std::wstring ForFileApi(const std::wstring& fullPath) {
  // The plain form holds MAX_PATH characters, less 12 for a folder that must leave room for
  // an 8.3 name inside it.
  if (fullPath.size() < MAX_PATH - 12 || fullPath.rfind(L"\\\\?\\", 0) == 0 ||
      fullPath.rfind(L"\\\\.\\", 0) == 0)
    return fullPath;
  if (fullPath.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + fullPath.substr(2);
  return L"\\\\?\\" + fullPath;
}

void Say(DWORD stdHandle, const std::wstring& line) {
  const HANDLE handle = GetStdHandle(stdHandle);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;  // nobody listens
  const std::wstring text = line + L"\n";
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(handle, &mode)) {
    WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    const std::string bytes = Utf8(text);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
  // A closed or full pipe is the listener's business; the log still records the run.
}

int Run(const Tool& tool, unsigned long long start, int argc, wchar_t** argv, const Work& work) {
  // What the tool was given, gathered before the work so that a delay cannot change it.
  std::wstring block = L"run " + std::to_wstring(start) + L"\n";
  block += L"commandline [" + Escape(GetCommandLineW()) + L"]\n";
  std::vector<std::wstring> arguments;
  for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] ? argv[i] : L"");
  AddArguments(block, L"crt", arguments);
  AddArguments(block, L"shell", ShellArguments());
  std::vector<std::wstring> ucrt;
  if (UcrtArguments(ucrt)) AddArguments(block, L"ucrt", ucrt);
  block += L"folder [" + Escape(CurrentFolder()) + L"]\n";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  wchar_t show[64];
  std::swprintf(show, 64, L"show 0x%lx %u\n", static_cast<unsigned long>(startup.dwFlags),
                static_cast<unsigned>(startup.wShowWindow));
  block += show;

  Faults faults;
  std::wstring faultError;
  const bool faultsUnderstood = ParseFaults(Environment(tool.faultVariable), faults, faultError);
  if (!faults.raw.empty()) block += L"fault [" + Escape(faults.raw) + L"]\n";

  Outcome outcome;
  if (!faultsUnderstood) {
    outcome = {kExitBadFault, std::wstring(tool.faultVariable) + L": " + faultError};
  } else {
    if (faults.delay) Sleep(faults.delayMs);
    if (faults.crash) {
      outcome = {static_cast<int>(kCrashCode), L"ended as a crashed program, on purpose (fault crash)"};
    } else if (faults.exit) {
      outcome = {
          static_cast<int>(faults.exitCode),
          L"did nothing and exited with " + std::to_wstring(faults.exitCode) + L", on purpose (fault exit)"};
    } else if (faults.noOutput) {
      outcome = {kExitOk, L"wrote nothing, on purpose (fault nooutput)"};
    } else {
      std::vector<std::wstring> given(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end());
      outcome = work(given);
    }
  }

  if (!faults.crash) {
    const std::wstring prefix = std::wstring(tool.name) + L": ";
    if (outcome.exitCode == kExitOk) {
      Say(STD_OUTPUT_HANDLE, prefix + outcome.message);
    } else {
      Say(STD_ERROR_HANDLE, prefix + outcome.message);
      if (outcome.exitCode == kExitUsage) Say(STD_ERROR_HANDLE, std::wstring(L"usage: ") + tool.usage);
    }
  }

  block += L"result " + std::to_wstring(static_cast<DWORD>(outcome.exitCode)) + L" [" +
           Escape(outcome.message) + L"]\nend\n";
  const std::wstring folder = ExecutableFolder();
  std::wstring error;
  if (folder.empty()) {
    Say(STD_ERROR_HANDLE, std::wstring(tool.name) + L": " + LastErrorText(L"cannot find the log's folder"));
  } else if (!AppendLog(folder + tool.name + L".log", Utf8(block), error)) {
    Say(STD_ERROR_HANDLE, std::wstring(tool.name) + L": " + error);
  }

  if (faults.crash) {
    // TerminateProcess rather than a real access violation: under Wine a real one starts
    // the debugger, which waits for someone to close its window.
    TerminateProcess(GetCurrentProcess(), kCrashCode);
    ExitProcess(kCrashCode);  // only if the system refused to terminate us
  }
  return outcome.exitCode;
}

}  // namespace standin
