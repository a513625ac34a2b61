// The stand-in game tools that the other tests start: do they log what they were given, do
// the work a test expects of them, and fail on purpose when told to?
//
// Each case copies the tools into a scratch folder of its own, so each has its own logs.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/check.h"
#include "tests/support/standin_log.h"

namespace {

using check::ReadStandinLog;
using check::StandinRun;

std::wstring Install(const std::wstring& folder, const std::wstring& tool) {
  const std::wstring exe = folder + L"\\" + tool + L".exe";
  REQUIRE(CopyFileW((check::ProgramFolder() + tool + L".exe").c_str(), exe.c_str(), FALSE));
  return exe;
}

unsigned long long FileTimeNow() {
  FILETIME time;
  GetSystemTimeAsFileTime(&time);
  return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

struct Ended {
  DWORD exitCode = 0;
  ULONGLONG elapsedMs = 0;
};

// Starts a tool as Quorvane does (application name, exact command line, working folder,
// minimized) and waits for its end.
Ended Launch(const std::wstring& exe, const std::wstring& commandLine, const std::wstring& folder) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINNOACTIVE;
  PROCESS_INFORMATION process{};
  std::wstring line = commandLine;
  const ULONGLONG start = GetTickCount64();
  REQUIRE(CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                         &startup, &process));
  CloseHandle(process.hThread);
  if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    REQUIRE(!"the tool did not end within 20 s");
  }
  Ended ended;
  GetExitCodeProcess(process.hProcess, &ended.exitCode);
  ended.elapsedMs = GetTickCount64() - start;
  CloseHandle(process.hProcess);
  return ended;
}

// The log's newest block, after checking that the run added exactly one.
StandinRun LastRun(const std::wstring& log, size_t before) {
  const std::vector<StandinRun> runs = ReadStandinLog(log);
  CHECK_EQ(runs.size(), before + 1);
  REQUIRE(!runs.empty());
  return runs.back();
}

class FaultVariable {
 public:
  FaultVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
    SetEnvironmentVariableW(name, value);
  }
  ~FaultVariable() { SetEnvironmentVariableW(name_, nullptr); }
  FaultVariable(const FaultVariable&) = delete;
  FaultVariable& operator=(const FaultVariable&) = delete;

 private:
  const wchar_t* name_;
};

}  // namespace

TEST(log, arguments_reach_the_tool_as_every_runtime_splits_them) {
  const std::wstring folder = check::ScratchFolder(L"log_arguments");
  const std::wstring exe = Install(folder, L"makeskin");
  const std::wstring log = folder + L"\\makeskin.log";
  const HMODULE ucrt = LoadLibraryExW(L"ucrtbase.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  const bool ucrtHere = ucrt != nullptr;
  if (ucrt) FreeLibrary(ucrt);
  const std::wstring q = L"\"" + exe + L"\"";
  struct Case {
    std::wstring commandLine;
    std::vector<std::wstring> arguments;  // after argv[0]
  };
  const std::vector<Case> cases = {
      {q + L" pal1 \"my skin.bmp\" out.bmp", {L"pal1", L"my skin.bmp", L"out.bmp"}},
      {q + L"   pal2\t\"  blanks around  \"   x  ", {L"pal2", L"  blanks around  ", L"x"}},
      {q + LR"( "say \"hi\"" a\\b "c\\")", {L"say \"hi\"", L"a\\\\b", L"c\\"}},
      {q + L" pal3 \"\u00dcn\u00efc\u00f8d\u00e9 \u540d\u524d.bmp\" \"tab\there\"",
       {L"pal3", L"\u00dcn\u00efc\u00f8d\u00e9 \u540d\u524d.bmp", L"tab\there"}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Ended ended = Launch(exe, cases[i].commandLine, folder);
    const StandinRun run = LastRun(log, i);
    std::vector<std::wstring> expected = {exe};
    expected.insert(expected.end(), cases[i].arguments.begin(), cases[i].arguments.end());
    CHECK_EQ(run.commandLine, cases[i].commandLine);
    CHECK_EQ(run.crtArgs, expected);
    CHECK_EQ(run.shellArgs, expected);
    if (ucrtHere) CHECK_EQ(run.ucrtArgs, expected);
    CHECK_EQ(static_cast<DWORD>(run.exitCode), ended.exitCode);
    CHECK(!run.message.empty());
  }
  // UTF-8, and a tab written so that it cannot split a line.
  const std::string bytes = check::ReadAll(log);
  CHECK(bytes.find("\xe5\x90\x8d\xe5\x89\x8d.bmp") != std::string::npos);
  CHECK(bytes.find("tab<U+0009>here") != std::string::npos);
  CHECK(bytes.find('\t') == std::string::npos);
}

TEST(log, records_when_where_and_how_the_tool_was_started) {
  const std::wstring folder = check::ScratchFolder(L"log_context");
  const std::wstring exe = Install(folder, L"vt");
  const std::wstring work = folder + L"\\work here";
  REQUIRE(CreateDirectoryW(work.c_str(), nullptr));
  const unsigned long long before = FileTimeNow();
  const Ended ended = Launch(exe, L"vt.exe -sp", work);
  const unsigned long long after = FileTimeNow();
  const StandinRun run = LastRun(folder + L"\\vt.log", 0);
  CHECK(run.startTime >= before && run.startTime <= after + 20 * 10000);  // coarse clock: one tick
  CHECK_EQ(run.workingFolder, work);
  CHECK(run.startupFlags & STARTF_USESHOWWINDOW);
  CHECK_EQ(run.showWindow, static_cast<unsigned>(SW_SHOWMINNOACTIVE));
  CHECK_EQ(run.fault, std::wstring());
  CHECK_EQ(ended.exitCode, 1u);  // usage
  CHECK_EQ(run.exitCode, 1);
  CHECK(!check::FileExists(folder + L"\\makeskin.log"));
}

TEST(makeskin, copies_the_source_over_the_output) {
  const std::wstring folder = check::ScratchFolder(L"makeskin_copy");
  const std::wstring exe = Install(folder, L"makeskin");
  const std::string picture("BM\x00\x1a\r\n\xff picture", 15);
  check::WriteFile(folder + L"\\in.bmp", picture);
  for (const wchar_t* palette : {L"pal1", L"pal2", L"pal3"}) {
    check::WriteFile(folder + L"\\out.bmp", "older and longer content");
    const Ended ended = Launch(exe, L"makeskin.exe " + std::wstring(palette) + L" in.bmp out.bmp", folder);
    CHECK_EQ(ended.exitCode, 0u);
    CHECK_EQ(check::ReadAll(folder + L"\\out.bmp"), picture);
  }
}

TEST(makeskin, handles_long_paths_with_any_characters) {
  const std::wstring folder = check::ScratchFolder(L"makeskin_long");
  const std::wstring exe = Install(folder, L"makeskin");
  std::wstring deep = folder;
  while (deep.size() < 300) {
    deep += L"\\a folder, with blanks & \u00fcml\u00e4uts \u540d";
    REQUIRE(CreateDirectoryW(check::LongForm(deep).c_str(), nullptr));
  }
  const std::wstring source = deep + L"\\skin 'one'.bmp", output = deep + L"\\out [1].bmp";
  check::WriteFile(check::LongForm(source), "skin bytes");
  const Ended ended = Launch(exe, L"makeskin pal2 \"" + source + L"\" \"" + output + L"\"", folder);
  CHECK_EQ(ended.exitCode, 0u);
  CHECK_EQ(check::ReadAll(output), std::string("skin bytes"));
}

TEST(makeskin, refuses_wrong_usage_and_reports_failed_copies_apart) {
  const std::wstring folder = check::ScratchFolder(L"makeskin_usage");
  const std::wstring exe = Install(folder, L"makeskin");
  check::WriteFile(folder + L"\\in.bmp", "x");
  for (const wchar_t* arguments :
       {L"", L" pal1 in.bmp", L" pal1 in.bmp out.bmp extra", L" pal4 in.bmp out.bmp", L" PAL1 in.bmp out.bmp",
        L" \"pal1 \" in.bmp out.bmp"}) {
    CHECK_EQ(Launch(exe, std::wstring(L"makeskin") + arguments, folder).exitCode, 1u);
    CHECK(!check::FileExists(folder + L"\\out.bmp"));
  }
  const DWORD missingSource = Launch(exe, L"makeskin pal1 nothing.bmp out.bmp", folder).exitCode;
  const DWORD badOutput = Launch(exe, L"makeskin pal1 in.bmp no\\such\\folder\\out.bmp", folder).exitCode;
  CHECK(missingSource != 0 && missingSource != 1);
  CHECK(badOutput != 0 && badOutput != 1);
  const std::vector<StandinRun> runs = ReadStandinLog(folder + L"\\makeskin.log");
  REQUIRE(runs.size() == 8);
  CHECK(runs[6].message.find(L"nothing.bmp") != std::wstring::npos);
}

TEST(vt, creates_the_volume_then_appends_to_it) {
  const std::wstring folder = check::ScratchFolder(L"vt_append");
  const std::wstring exe = Install(folder, L"vt");
  check::WriteFile(folder + L"\\skin \u00e4.bmp", "12345");
  check::WriteFile(folder + L"\\second.bmp", std::string(70000, 'x'));
  CHECK_EQ(Launch(exe, L"vt -sp \"my skins.vol\" \"skin \u00e4.bmp\"", folder).exitCode, 0u);
  CHECK_EQ(Launch(exe, L"vt -sp \"my skins.vol\" " + folder + L"\\second.bmp", folder).exitCode, 0u);
  const std::vector<check::VolumeEntry> entries = check::ReadStandinVolume(folder + L"\\my skins.vol");
  REQUIRE(entries.size() == 2);
  CHECK_EQ(entries[0].path, folder + L"\\skin \u00e4.bmp");
  CHECK_EQ(entries[0].size, 5ull);
  CHECK_EQ(entries[1].path, folder + L"\\second.bmp");
  CHECK_EQ(entries[1].size, 70000ull);
}

TEST(vt, refuses_missing_files_and_wrong_usage) {
  const std::wstring folder = check::ScratchFolder(L"vt_refuse");
  const std::wstring exe = Install(folder, L"vt");
  check::WriteFile(folder + L"\\a.bmp", "a");
  const DWORD missing = Launch(exe, L"vt -sp v.vol missing.bmp", folder).exitCode;
  CHECK(missing != 0 && missing != 1);
  for (const wchar_t* arguments : {L"", L" -sp v.vol", L" -sp v.vol a.bmp a.bmp", L" -xx v.vol a.bmp"})
    CHECK_EQ(Launch(exe, std::wstring(L"vt") + arguments, folder).exitCode, 1u);
  CHECK(!check::FileExists(folder + L"\\v.vol"));
  const std::vector<StandinRun> runs = ReadStandinLog(folder + L"\\vt.log");
  REQUIRE(runs.size() == 5);
  CHECK(runs[0].message.find(folder + L"\\missing.bmp") != std::wstring::npos);
}

TEST(faults, exit_and_nooutput_skip_the_work) {
  const std::wstring folder = check::ScratchFolder(L"faults_skip");
  const std::wstring makeskin = Install(folder, L"makeskin"), vt = Install(folder, L"vt");
  check::WriteFile(folder + L"\\in.bmp", "x");
  {
    FaultVariable fault(L"MAKESKIN_FAULT", L"exit=7");
    CHECK_EQ(Launch(makeskin, L"makeskin pal1 in.bmp out.bmp", folder).exitCode, 7u);
    const StandinRun run = LastRun(folder + L"\\makeskin.log", 0);
    CHECK_EQ(run.fault, std::wstring(L"exit=7"));
    CHECK_EQ(run.exitCode, 7);
    // Each tool reads its own variable only.
    CHECK_EQ(Launch(vt, L"vt -sp v.vol in.bmp", folder).exitCode, 0u);
    CHECK_EQ(check::ReadStandinVolume(folder + L"\\v.vol").size(), 1u);
  }
  {
    FaultVariable fault(L"VT_FAULT", L" nooutput ");
    CHECK_EQ(Launch(vt, L"vt -sp w.vol in.bmp", folder).exitCode, 0u);
    CHECK(!check::FileExists(folder + L"\\w.vol"));
    CHECK_EQ(LastRun(folder + L"\\vt.log", 1).fault, std::wstring(L" nooutput "));
  }
  {
    FaultVariable fault(L"MAKESKIN_FAULT", L"nooutput,bogus");
    CHECK(Launch(makeskin, L"makeskin pal1 in.bmp out.bmp", folder).exitCode != 0);
    CHECK(LastRun(folder + L"\\makeskin.log", 1).message.find(L"bogus") != std::wstring::npos);
  }
  CHECK(!check::FileExists(folder + L"\\out.bmp"));
}

TEST(faults, crash_and_delay) {
  const std::wstring folder = check::ScratchFolder(L"faults_crash");
  const std::wstring exe = Install(folder, L"makeskin");
  check::WriteFile(folder + L"\\in.bmp", "x");
  {
    FaultVariable fault(L"MAKESKIN_FAULT", L"crash");
    CHECK_EQ(Launch(exe, L"makeskin pal1 in.bmp out.bmp", folder).exitCode, 0xC0000005u);
    CHECK_EQ(LastRun(folder + L"\\makeskin.log", 0).exitCode, static_cast<int>(0xC0000005u));
    CHECK(!check::FileExists(folder + L"\\out.bmp"));
  }
  {
    FaultVariable fault(L"MAKESKIN_FAULT", L"delay=600");
    const Ended ended = Launch(exe, L"makeskin pal1 in.bmp out.bmp", folder);
    CHECK_EQ(ended.exitCode, 0u);
    CHECK(ended.elapsedMs >= 600);
    CHECK_EQ(check::ReadAll(folder + L"\\out.bmp"), std::string("x"));
  }
}
