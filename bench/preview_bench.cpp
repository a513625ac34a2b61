// Previews while the selection runs down a list of pictures: the real main window, its file
// list holding 50 pictures of 512 × 384 pixels, the selection moved to the next one every
// 15 ms with the list focused, as a player holding the arrow key does. Each move asks for a
// preview that is read on a worker; the interface thread must go on answering.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "tests/support/bitmaps.h"
#include "tests/support/main_window.h"

using namespace quorvane;
using namespace quorvane::ui;

namespace {

constexpr int kPictures = 50;
constexpr int kRounds = 5;

// The times at which a 10 ms timer, the lowest of messages, got through: each is a moment
// the program would have answered the user.
std::vector<double> g_ticks;
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { g_ticks.push_back(bench::NowMs()); }

std::wstring ShownPreview() {
  const HWND preview = FindWindowW(L"QuorvanePreview", nullptr);
  return preview != nullptr && IsWindowVisible(preview) ? check::TextOf(preview) : L"";
}

}  // namespace

TEST(preview, moving_across_50_pictures_leaves_the_window_answering) {
  const std::wstring folder = check::ProgramFolder() + L"previews";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::string picture = check::Bitmap24(512, 384);
  wchar_t name[32];
  for (int i = 0; i < kPictures; ++i) {
    std::swprintf(name, 32, L"\\skin%02d.bmp", i);
    if (!check::FileExists(folder + name)) check::WriteFile(folder + name, picture);
  }
  check::OpenWindow window;
  const HWND dirs = window[kDir1], files = window[kFile1];
  check::Open(dirs, check::IndexOf(dirs, L"previews"));
  REQUIRE(check::PumpUntil([files] { return SendMessageW(files, LB_GETCOUNT, 0, 0) == kPictures; }));
  SetFocus(files);

  const UINT_PTR probe = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &Tick);
  std::vector<double> pauses, lasts;
  for (int round = 0; round < kRounds; ++round) {
    g_ticks.clear();
    const double start = bench::NowMs();
    for (int i = 0; i < kPictures; ++i) {
      check::Choose(files, i);
      check::Pump(15);
    }
    REQUIRE(check::PumpUntil([] { return ShownPreview().starts_with(L"skin49.bmp"); }, 30000));
    const double end = bench::NowMs();
    pauses.push_back(bench::LongestGap(g_ticks, start, end));
    lasts.push_back(end - start - 15.0 * kPictures);
    check::Choose(files, 0);
    check::Pump(200);
  }
  KillTimer(nullptr, probe);
  CHECK_EQ(ShownPreview(), std::wstring(L"skin00.bmp: 512 \u00d7 384, 24-bit, 576 KB"));
  bench::PrintRuns("longest pauses", pauses);

  const double pause = bench::Median(pauses);
  bench::WriteResults(
      "5-preview",
      {{"Longest pause of the interface while 50 previews are read", bench::Ms(pause), "-", "-",
        "at most 100 ms", pause <= 100}},
      {"Preview: the selection of the real main window's focused file list moved down 50 pictures of 512 x 384 "
       "pixels (576 KB each), one every 15 ms, each move asking for a preview read on a worker; the pause is the "
       "longest time between two turns of a " +
       std::to_string(USER_TIMER_MINIMUM) +
       " ms timer from the first move until the last picture's preview shows, median of " +
       std::to_string(kRounds) + " rounds (the longest " + bench::Ms(bench::Max(pauses)) +
       "); the last preview showed " + bench::Ms(bench::Median(lasts)) + " after the last move."});
}
