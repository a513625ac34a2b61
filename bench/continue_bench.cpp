// "Continue" to the skin maker's first instruction: the real main window, in this process,
// with every choice made, against the least any program can do to start the same tool: one
// CreateProcessW with the same application, command line, folder and window mode.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "services/GameTools.h"
#include "tests/support/main_window.h"

using namespace quorvane;
using namespace quorvane::ui;

namespace {

const std::wstring kFolder = check::ProgramFolder();
// Each start is short and the machine's noise large beside it: more turns than elsewhere.
constexpr int kClicks = 21;

unsigned long long PreciseNow() {
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// Milliseconds from `start` to the first instruction of the skin maker's latest run.
double ToLatestRun(unsigned long long start) {
  const auto runs = check::ReadStandinLog(kFolder + L"makeskin.log");
  if (runs.empty()) check::Abort(__FILE__, __LINE__, "the skin maker left no log");
  return static_cast<double>(static_cast<long long>(runs.back().startTime - start)) / 10000.0;
}

// What the launcher does to start a tool, and nothing else.
double BareStart(const ToolRun& run) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINIMIZED;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = run.commandLine;
  const unsigned long long start = PreciseNow();
  if (!CreateProcessW(run.application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      run.workingFolder.c_str(), &startup, &process))
    check::Abort(__FILE__, __LINE__, "cannot start the skin maker");
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ToLatestRun(start);
}

}  // namespace

TEST(continue, to_the_tools_first_instruction_against_a_bare_start) {
  DeleteFileW((kFolder + L"makeskin.log").c_str());
  check::WriteFile(kFolder + L"red.bmp", "BM red picture");
  check::OpenWindow w;
  const Quorvane& window = w.window;
  check::MessageBoxAnswerer boxes;

  // Every choice made, as a player makes them.
  check::Click(w[kOption2]);
  check::Click(w[kOption7]);
  check::Choose(w[kFile1], check::IndexOf(w[kFile1], L"red.bmp"));
  check::Type(w[kText1], L"bench");
  const ToolRun run = SkinMakerRun(window.State().AppDir, L"pal2", kFolder + L"red.bmp",
                                   window.State().AppDir + L"bench.mfemale.bmp");

  auto clickContinue = [&] {
    boxes.answers = {IDNO};  // the offer to pack the new skin
    const unsigned long long start = PreciseNow();
    check::Click(w[kCommand1]);
    REQUIRE(check::PumpUntil([&] { return window.ToolsIdle() && boxes.answers.empty(); }, 30000));
    return ToLatestRun(start);
  };
  // Once each first: the first start of a program also fills the system's caches.
  clickContinue();
  BareStart(run);
  CHECK_EQ(window.State().CommandLine, run.commandLine);  // the same tool run on both sides

  std::vector<double> ms[2];
  for (int i = 0; i < kClicks; ++i) {
    for (int turn = 0; turn < 2; ++turn) {
      const int side = (i + turn) % 2;  // 0: Quorvane, 1: the bare start
      ms[side].push_back(side == 0 ? clickContinue() : BareStart(run));
    }
  }
  for (int side = 0; side < 2; ++side) bench::PrintRuns(side == 0 ? "Continue" : "CreateProcessW", ms[side], 1);
  const auto runs = check::ReadStandinLog(kFolder + L"makeskin.log");
  CHECK_EQ(runs.size(), static_cast<size_t>(2 * kClicks + 2));
  for (const check::StandinRun& logged : runs) CHECK_EQ(logged.exitCode, 0);
  CHECK(boxes.seen.size() == static_cast<size_t>(kClicks + 1));  // one offer per click, no warning

  const double quorvane = bench::Median(ms[0]), bare = bench::Median(ms[1]);
  const double ratio = bench::PairedRatio(ms[0], ms[1]);
  bench::WriteResults(
      "4-continue",
      {{"Continue to the skin maker's first instruction", bench::Ms(quorvane),
        "CreateProcessW: " + bench::Ms(bare), bench::Fixed(ratio, 2), "at most 1.2", ratio <= 1.2}},
      {"Continue: from the click on Continue in the real main window (palette, armor, picture and "
       "prefix chosen) to the time the stand-in makeskin.exe logs as its first instruction, "
       "against CreateProcessW of the same application, command line, folder and window mode; "
       "median of " +
       std::to_string(kClicks) + " each, taking turns, the ratio the median of each turn's."});
  check::SetMessageFilter(nullptr);
}
