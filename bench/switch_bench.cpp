// The first switch to the Volumes page, which is made then: from the switch until the page
// has been made, filled, shown and painted, and nothing more waits in the window's queue;
// against the same page made alone by the program's own code (ui/Controls.h) in a window of
// the main window's size and tab strip, as bench/controls_window.cpp makes the Skins page for
// start-up's reference.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "tests/support/main_window.h"
#include "services/WindowClass.h"
#include "ui/Controls.h"
#include "ui/FileList.h"
#include "ui/FolderList.h"

using namespace quorvane::ui;

namespace {

constexpr int kSwitches = 21;
constexpr wchar_t kClassName[] = L"QuorvaneBenchPage";

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

INT_PTR CALLBACK PageProcedure(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A window of the main window's style and size with its tab strip, shown and idle; then, timed,
// the Volumes page and its controls made and shown as the main window makes them, until every
// message that caused, paints included, is handled.
double PageAlone() {
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (!quorvane::RegisterWindowClass(kClassName, &DefWindowProcW)) check::Abort(__FILE__, __LINE__, "no class");
  const RECT place = WindowPlace(kMainClient, kStyle, 0, DpiOf(nullptr));
  HWND window = CreateWindowExW(0, kClassName, L"Page", kStyle, place.left, place.top, place.right - place.left,
                                place.bottom - place.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  FontSet* fonts = window != nullptr ? FontSet::For(DpiOf(window)) : nullptr;
  if (fonts == nullptr) check::Abort(__FILE__, __LINE__, "no window for the page");
  const RECT strip = Pixels(kTabStrip, fonts->Dpi());
  HWND tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, strip.left, strip.top,
                             strip.right - strip.left, strip.bottom - strip.top, window, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  SendMessageW(tab, WM_SETFONT, reinterpret_cast<WPARAM>((*fonts)[FontId::kLargeBold]), FALSE);
  const wchar_t* captions[] = {L"Skins", L"Volumes"};
  for (int i = 0; i < 2; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(captions[i]);
    if (TabCtrl_InsertItem(tab, i, &item) != i) check::Abort(__FILE__, __LINE__, "no tab");
  }
  RECT body{0, 0, strip.right - strip.left, strip.bottom - strip.top};
  TabCtrl_AdjustRect(tab, FALSE, &body);
  OffsetRect(&body, strip.left, strip.top);
  ShowWindow(window, SW_SHOW);
  check::Pump(100);

  const double start = bench::NowMs();
  HWND page = CreatePage(window, &PageProcedure);
  if (page == nullptr) check::Abort(__FILE__, __LINE__, "no page");
  SetWindowPos(page, HWND_TOP, body.left, body.top, body.right - body.left, body.bottom - body.top, SWP_NOACTIVATE);
  const POINT origin{strip.left - body.left, strip.top - body.top};
  std::vector<HWND> controls;
  for (const ControlDef& def : VolumesPageControls()) {
    const Quorvane::Styles styles = Quorvane::StylesOf(def);
    HWND control = CreateControl(page, VolumesPageControls(), def, def.caption, origin, *fonts, styles.style,
                                 styles.exStyle);
    if (control == nullptr) check::Abort(__FILE__, __LINE__, "no control");
    // The page as it first shows: "New Volume" chosen, the volume lists disabled.
    if (def.id == kOption9) SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
    if (def.id == kDir3 || def.id == kFile3) EnableWindow(control, FALSE);
  }
  ShowWindow(page, SW_SHOW);
  TabCtrl_SetCurSel(tab, 1);
  check::Pump(0);
  const double took = bench::NowMs() - start;
  DestroyWindow(window);
  check::Pump(0);
  return took;
}

}  // namespace

TEST(switch, first_switch_to_the_volumes_page) {
  // Once each first: the first window of a process also fills the system's caches.
  FirstSwitch();
  PageAlone();
  std::vector<double> ms[2];
  for (int i = 0; i < kSwitches; ++i)
    for (int turn = 0; turn < 2; ++turn) {
      const int side = (i + turn) % 2;  // 0: Quorvane, 1: the page alone
      ms[side].push_back(side == 0 ? FirstSwitch() : PageAlone());
    }
  bench::PrintRuns("first switch", ms[0], 1);
  bench::PrintRuns("the page alone", ms[1], 1);
  const double median = bench::Median(ms[0]), alone = bench::Median(ms[1]);
  const double ratio = bench::PairedRatio(ms[0], ms[1]);
  bench::WriteResults(
      "5-switch",
      {{"First switch to the Volumes page, until idle and painted", bench::Ms(median),
        "the page alone: " + bench::Ms(alone), bench::Fixed(ratio, 2), "at most 2.5", ratio <= 2.5}},
      {"First switch: the Volumes page is made the first time it is needed; from the switch (the tab "
       "strip's TCN_SELCHANGE) in a freshly opened main window until the page is made, its panes read, and "
       "every message that caused, paints included, is handled; against the same page and its 14 controls "
       "made and shown by the program's own code in a window of the main window's size with its tab strip, "
       "until idle and painted; median of " +
       std::to_string(kSwitches) + " windows each, taking turns, the ratio the median of each turn's."});
}
