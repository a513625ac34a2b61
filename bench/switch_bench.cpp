// The first switch to the Volumes page, which is made then: from the switch until the page
// has been made, filled, shown and painted, and nothing more waits in the window's queue.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "tests/support/main_window.h"

using namespace quorvane::ui;

namespace {

constexpr int kSwitches = 21;

double FirstSwitch() {
  check::OpenWindow window;  // shown, painted and idle
  check::Pump(100);
  HWND tab = window[kSSTab1];
  const double start = bench::NowMs();
  TabCtrl_SetCurFocus(tab, 1);  // as a click on the tab: the strip tells the window
  check::Pump(0);               // every message the switch caused, paints last
  const double took = bench::NowMs() - start;
  if (TabCtrl_GetCurSel(tab) != 1 || !IsWindowVisible(window[kCommand4]))
    check::Abort(__FILE__, __LINE__, "the Volumes page did not show");
  return took;
}

}  // namespace

TEST(switch, first_switch_to_the_volumes_page) {
  FirstSwitch();  // once first: the first window of a process also fills the system's caches
  std::vector<double> ms;
  for (int i = 0; i < kSwitches; ++i) ms.push_back(FirstSwitch());
  bench::PrintRuns("first switch", ms, 1);
  const double median = bench::Median(ms);
  bench::WriteResults(
      "5-switch",
      {{"First switch to the Volumes page, until idle and painted", bench::Ms(median), "-", "-", "under 50 ms",
        median < 50}},
      {"First switch: the Volumes page is made the first time it is needed; from the switch (the tab "
       "strip's TCN_SELCHANGE) in a freshly opened main window until the page is made, its panes read, and "
       "every message that caused, paints included, is handled; median of " +
       std::to_string(kSwitches) + " windows."});
}
