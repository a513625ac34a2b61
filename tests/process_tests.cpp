// Quorvane.exe itself, as a player runs it: a separate process driven through its windows,
// started from another folder than its own. What only shows from outside: when the process
// ends, and that the tools it started outlive it.
#include <windows.h>

#include <commctrl.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "tests/support/check.h"
#include "tests/support/standin_log.h"
#include "tests/support/ui_driver.h"
#include "ui/Layout.h"

using namespace quorvane::ui;

namespace {

const std::wstring kFolder = check::ProgramFolder();

// One running Quorvane.exe, started from a folder that is not its own.
class Program {
 public:
  explicit Program(const std::wstring& exe = kFolder + L"Quorvane.exe") {
    const std::wstring elsewhere = check::ScratchFolder(L"elsewhere");
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    REQUIRE(CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           elsewhere.c_str(), &si, &pi_));
    CloseHandle(pi_.hThread);
    REQUIRE(check::PumpUntil([this] { return (main_ = check::TopWindow(L"QuorvaneMain", id())) != nullptr; }));
  }
  ~Program() {
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
    CloseHandle(pi_.hProcess);
  }
  HWND main() const { return main_; }
  DWORD id() const { return pi_.dwProcessId; }
  HWND about() const { return check::TopWindow(L"QuorvaneAbout", pi_.dwProcessId); }
  HWND messageBox() const { return check::TopWindow(L"#32770", pi_.dwProcessId); }
  HWND control(int id) const { return check::Control(main_, id); }
  bool running() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
  // Waits for the process to end; its exit code, or -1 when it did not end in time.
  long ended(DWORD ms = 15000) const {
    if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<long>(code);
  }
  // Waits for a message box, checks what it asks, and answers it.
  void answer(const std::wstring& text, const std::wstring& title, int button) {
    HWND box = nullptr;
    REQUIRE(check::PumpUntil([&] { return (box = messageBox()) != nullptr; }));
    const check::SeenBox seen = check::Seen(box);
    CHECK_EQ(seen.text, text);
    CHECK_EQ(seen.title, title);
    check::Answer(box, button);
    REQUIRE(check::PumpUntil([&] { return !IsWindow(box); }));
  }

 private:
  PROCESS_INFORMATION pi_{};
  HWND main_ = nullptr;
};

}  // namespace

TEST(process, the_about_window_keeps_the_program_running_until_it_closes) {
  Program quorvane;
  check::Click(quorvane.control(kCommand2));
  REQUIRE(check::PumpUntil([&] { return quorvane.about() != nullptr; }));
  PostMessageW(quorvane.main(), WM_CLOSE, 0, 0);
  REQUIRE(check::PumpUntil([&] { return !IsWindow(quorvane.main()); }));
  check::Pump(300);
  CHECK(quorvane.running());
  REQUIRE(quorvane.about() != nullptr);
  check::Click(check::Control(quorvane.about(), kAboutCommand1));
  CHECK_EQ(quorvane.ended(), 0L);
}

TEST(process, exit_asks_and_ends_the_program_only_on_yes) {
  Program quorvane;
  check::Click(quorvane.control(kCommand3));
  quorvane.answer(L"Are you sure you wish to exit?", L"Confirm Exit", IDNO);
  check::Pump(300);
  CHECK(quorvane.running());
  CHECK(IsWindow(quorvane.main()));
  // The Volumes page is made when it is first shown: switch to it, as a player would.
  SendMessageW(quorvane.control(kSSTab1), TCM_SETCURFOCUS, 1, 0);
  REQUIRE(check::PumpUntil([&] { return quorvane.control(kCommand6) != nullptr; }));
  check::Click(quorvane.control(kCommand6));
  quorvane.answer(L"Are you sure you wish to exit?", L"Confirm Exit", IDYES);
  CHECK_EQ(quorvane.ended(), 0L);
}

TEST(process, tools_start_in_the_program_folder_and_outlive_the_program) {
  DeleteFileW((kFolder + L"makeskin.log").c_str());
  DeleteFileW((kFolder + L"red.larmor.bmp").c_str());
  check::WriteFile(kFolder + L"red.bmp", "BM");
  // Inherited by Quorvane and from it by the skin maker: still working when Quorvane ends.
  SetEnvironmentVariableW(L"MAKESKIN_FAULT", L"delay=2000");
  Program quorvane;
  SetEnvironmentVariableW(L"MAKESKIN_FAULT", nullptr);

  check::Click(quorvane.control(kOption1));
  check::Click(quorvane.control(kOption4));
  HWND files = quorvane.control(kFile1);
  const int red = check::IndexOf(files, L"red.bmp");
  REQUIRE(red >= 0);
  check::Choose(files, red);
  check::Type(quorvane.control(kText1), L"red");
  check::Click(quorvane.control(kCommand1));
  check::Pump(500);
  PostMessageW(quorvane.main(), WM_CLOSE, 0, 0);
  CHECK_EQ(quorvane.ended(), 0L);
  CHECK(!check::FileExists(kFolder + L"red.larmor.bmp"));  // still being made

  REQUIRE(check::PumpUntil([] { return !check::ReadStandinLog(kFolder + L"makeskin.log").empty(); }));
  const auto runs = check::ReadStandinLog(kFolder + L"makeskin.log");
  CHECK_EQ(runs[0].exitCode, 0);
  std::wstring folder = kFolder;
  folder.pop_back();
  CHECK_EQ(runs[0].workingFolder, folder);
  CHECK_EQ(runs[0].crtArgs.at(3), kFolder + L"red.larmor.bmp");
  CHECK(check::FileExists(kFolder + L"red.larmor.bmp"));
}

TEST(process, a_program_folder_with_a_virtual_store_twin_lists_the_files_the_game_sees) {
  // Windows keeps what virtualized programs (the game and its tools, likely) write into a
  // protected folder of the system drive in the user's VirtualStore, and shows them the two as
  // one folder. Wine virtualizes nothing, but a twin made by hand is found where Windows keeps it.
  std::wstring local(GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0), L'\0');
  local.resize(GetEnvironmentVariableW(L"LOCALAPPDATA", local.data(), static_cast<DWORD>(local.size())));
  REQUIRE(!local.empty());
  const std::wstring name = L"qv game " + std::to_wstring(GetCurrentProcessId());
  // The folders without a final "\\", which the long form that RemoveTree uses would keep.
  const std::wstring gameFolder = L"C:\\ProgramData\\" + name, twinFolder = local + L"\\VirtualStore\\ProgramData\\" + name;
  const std::wstring game = gameFolder + L"\\", twin = twinFolder + L"\\";
  check::RemoveTree(gameFolder);
  check::RemoveTree(twinFolder);
  CreateDirectoryW((local + L"\\VirtualStore").c_str(), nullptr);
  CreateDirectoryW((local + L"\\VirtualStore\\ProgramData").c_str(), nullptr);
  REQUIRE(CreateDirectoryW(game.c_str(), nullptr) && CreateDirectoryW(twin.c_str(), nullptr));
  for (const wchar_t* file : {L"Quorvane.exe", L"makeskin.exe", L"vt.exe"})
    REQUIRE(CopyFileW((kFolder + file).c_str(), (game + file).c_str(), FALSE));
  check::WriteFile(game + L"real.bmp", "BM");
  check::WriteFile(twin + L"only in twin.bmp", "BM");
  check::WriteFile(twin + L"real.bmp", "BM");
  check::WriteFile(twin + L"team.vol", "");
  {
    Program quorvane(game + L"Quorvane.exe");
    HWND files = quorvane.control(kFile1);
    REQUIRE(check::PumpUntil([&] { return check::IndexOf(files, L"only in twin.bmp") >= 0; }));
    CHECK_EQ(check::Items(files), (std::vector<std::wstring>{L"only in twin.bmp", L"real.bmp"}));
    SendMessageW(quorvane.control(kSSTab1), TCM_SETCURFOCUS, 1, 0);
    REQUIRE(check::PumpUntil([&] { return quorvane.control(kFile3) != nullptr; }));
    CHECK(check::PumpUntil([&] { return check::Items(quorvane.control(kFile3)) == std::vector<std::wstring>{L"team.vol"}; }));
    CHECK(quorvane.messageBox() == nullptr);  // a folder Quorvane can write to: nothing to warn about
    PostMessageW(quorvane.main(), WM_CLOSE, 0, 0);
    CHECK_EQ(quorvane.ended(), 0L);
  }
  check::RemoveTree(gameFolder);
  check::RemoveTree(twinFolder);
}

// DLLs Windows does not count among its known DLLs, which Quorvane, or what it loads as a
// request runs, may load by name: each would first be looked for in the program's folder.
// Not version.dll nor uxtheme.dll: Wine's own user32 and comctl32 load those before the
// program's first line runs (the import check stands for them).
constexpr const wchar_t* kPlanted[] = {L"msimg32", L"dwmapi",  L"windowscodecs", L"propsys",
                                       L"oleacc",  L"winmm",   L"explorerframe", L"msacm32"};

// Wine takes its own build of a DLL it has before one on disk, wherever that lies, unless told
// otherwise; Windows always takes the one on disk. While this lives, Quorvane.exe, and only it
// (not the tools it starts), is run with Windows' choice for the planted names. This goes
// through the registry: a WINEDLLOVERRIDES in a child's environment block is replaced by the
// one Wine itself was started with.
class PreferringPlanted {
 public:
  PreferringPlanted() {
    HKEY key = nullptr;
    REQUIRE(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
            ERROR_SUCCESS);
    for (const wchar_t* name : kPlanted) {
      const std::wstring anywhere = L"*" + std::wstring(name);
      constexpr wchar_t order[] = L"native,builtin";
      CHECK(RegSetValueExW(key, anywhere.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order) ==
            ERROR_SUCCESS);
    }
    RegCloseKey(key);
  }
  ~PreferringPlanted() { RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }

 private:
  static constexpr const wchar_t* kKey = L"Software\\Wine\\AppDefaults\\Quorvane.exe\\DllOverrides";
};

std::vector<std::wstring> ModulesFrom(DWORD pid, const std::wstring& folder) {
  std::vector<std::wstring> found;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  REQUIRE(snapshot != INVALID_HANDLE_VALUE);
  MODULEENTRY32W module{};
  module.dwSize = sizeof module;
  for (BOOL more = Module32FirstW(snapshot, &module); more; more = Module32NextW(snapshot, &module)) {
    const std::wstring path = module.szExePath;
    const size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash + 1 == folder.size() &&
        CompareStringOrdinal(path.c_str(), static_cast<int>(slash + 1), folder.c_str(), -1, TRUE) == CSTR_EQUAL)
      found.push_back(module.szModule);
  }
  CloseHandle(snapshot);
  return found;
}

TEST(planted, no_dll_in_the_program_folder_runs_through_a_whole_request) {
  const std::wstring folder = check::ScratchFolder(L"game"), game = folder + L"\\";
  for (const wchar_t* file : {L"Quorvane.exe", L"makeskin.exe", L"vt.exe"})
    REQUIRE(CopyFileW((kFolder + file).c_str(), (game + file).c_str(), FALSE));
  for (const wchar_t* name : kPlanted)
    REQUIRE(CopyFileW((kFolder + L"planted.dll").c_str(), (game + name + L".dll").c_str(), FALSE));
  check::WriteFile(game + L"red.bmp", "BM");

  const PreferringPlanted windowsChoice;
  Program quorvane(game + L"Quorvane.exe");
  // The shell's word that the taskbar button is made, which Wine's desktop here, without a
  // taskbar, never sends: the tools' progress is then shown on it, through COM.
  PostMessageW(quorvane.main(), RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
  check::Click(quorvane.control(kOption1));
  check::Click(quorvane.control(kOption4));
  HWND files = quorvane.control(kFile1);
  REQUIRE(check::PumpUntil([&] { return check::IndexOf(files, L"red.bmp") >= 0; }));
  check::Choose(files, check::IndexOf(files, L"red.bmp"));
  check::Type(quorvane.control(kText1), L"red");
  check::Click(quorvane.control(kCommand1));
  // Yes: both tools run.
  quorvane.answer(L"Add red.larmor.bmp to red.vol?", L"Success", IDYES);
  REQUIRE(check::PumpUntil([&] { return !check::ReadStandinLog(game + L"vt.log").empty(); }));
  check::Pump(300);

  CHECK_EQ(ModulesFrom(quorvane.id(), game), std::vector<std::wstring>{L"Quorvane.exe"});
  PostMessageW(quorvane.main(), WM_CLOSE, 0, 0);
  CHECK_EQ(quorvane.ended(), 0L);
  std::vector<std::wstring> markers;
  for (const std::wstring& name : check::NamesIn(folder))
    if (name.size() > 4 && name.ends_with(L".ran")) markers.push_back(name);
  CHECK_EQ(markers, std::vector<std::wstring>{});
}
