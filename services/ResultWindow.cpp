#include "services/ResultWindow.h"

#include <atomic>
#include <deque>
#include <mutex>

#include "services/Handles.h"
#include "services/WindowClass.h"

namespace quorvane {
namespace {

constexpr wchar_t kClassName[] = L"QuorvaneResults";
// "Results are waiting": posted once for however many results are queued behind it.
constexpr UINT kWake = WM_APP + 0x3F0;

std::atomic<HWND> g_window{nullptr};

// The queue, oldest first; guarded by g_lock.
SlimLock g_lock;
PostedResult* g_first = nullptr;
PostedResult* g_last = nullptr;
bool g_wakePosted = false;  // a kWake is on its way, not yet taken; guarded by g_lock
std::atomic<long> g_waiting{0};

// Work waiting for an idle moment, oldest first; the interface thread's only.
std::deque<PostedResult> g_idle;
// While such work waits, a timer of the results window gets to it in loops that never go idle
// in the program's sight; the interface thread's only.
constexpr UINT_PTR kIdleTimer = 1;
bool g_idleTimer = false;

// The oldest result, taken out of the queue; null when none waits.
std::unique_ptr<PostedResult> TakeOldest() {
  const std::scoped_lock hold(g_lock);
  PostedResult* result = g_first;
  if (result != nullptr) {
    g_first = result->next;
    if (g_first == nullptr) g_last = nullptr;
    result->next = nullptr;
  }
  return std::unique_ptr<PostedResult>(result);
}

bool MoreResults() {
  const std::scoped_lock hold(g_lock);
  return g_first != nullptr;
}

// The one place where a result, or work waiting for an idle moment, meets its owner's token.
void Apply(const PostedResult& result) {
  --g_waiting;  // taken in: what it does now is the interface thread's own work
  if (result.apply && result.owner.Alive()) result.apply();
}

// The oldest work waiting for an idle moment, taken out and run.
void RunOldestIdle() {
  const PostedResult work = std::move(g_idle.front());
  g_idle.pop_front();
  Apply(work);
}

// One at a time from the front of the queue, so that a result that runs a modal loop (a
// message box) lets the ones behind it run from that loop in their order, not out of it. With
// input or painting waiting, the rest runs once the thread is idle again: woken again at once,
// it would come before them.
void RunQueue(bool yield) {
  while (std::unique_ptr<PostedResult> result = TakeOldest()) {
    Apply(*result);
    if (yield && MoreResults() && HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT)) != 0) {
      RunWhenIdle([] { RunQueue(true); });
      return;
    }
  }
}

LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kWake) {
    // Taken: a result posted from now on wakes the window again, so that one posted while
    // these run (and run a modal loop, a message box) is not left to wait for them to end.
    {
      const std::scoped_lock hold(g_lock);
      g_wakePosted = false;
    }
    RunQueue(true);
    return 0;
  }
  if (message == WM_TIMER && wParam == kIdleTimer) {
    RunIdleWork();
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Tells the window that results wait, unless it has been told already. A full message queue
// drains as the interface thread works: a worker tries again for a while. Should the window
// still not be told, the results stay queued for the next post that gets through.
void Wake() {
  const HWND window = g_window.load();
  {
    const std::scoped_lock hold(g_lock);
    if (window == nullptr || g_wakePosted || g_first == nullptr) return;
    g_wakePosted = true;
  }
  const bool worker = GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId();
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (PostMessageW(window, kWake, 0, 0)) return;
    if (!worker || GetLastError() != ERROR_NOT_ENOUGH_QUOTA) break;
    Sleep(50);
  }
  const std::scoped_lock hold(g_lock);
  g_wakePosted = false;
}

}  // namespace

Outcome MakeResultWindow() {
  if (g_window.load() != nullptr) return {};
  if (const Outcome registered = RegisterWindowClass(kClassName, &Procedure); !registered) return registered;
  HWND window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return {GetLastError()};
  g_window.store(window);
  Wake();  // whatever was posted before the window was there
  return {};
}

void PostResult(std::unique_ptr<PostedResult> result) {
  if (result == nullptr) return;
  ++g_waiting;
  {
    const std::scoped_lock hold(g_lock);
    PostedResult* added = result.release();
    if (g_last != nullptr)
      g_last->next = added;
    else
      g_first = added;
    g_last = added;
  }
  Wake();
}

void PostResult(std::function<void()> apply, Lifetime::Token owner) {
  PostResult(std::make_unique<PostedResult>(PostedResult{std::move(apply), std::move(owner)}));
}

void RunWhenIdle(std::function<void()> work, Lifetime::Token owner) {
  const HWND window = g_window.load();
  if (!g_idleTimer && window != nullptr)
    g_idleTimer = SetTimer(window, kIdleTimer, USER_TIMER_MINIMUM, nullptr) != 0;
  if (!g_idleTimer) {
    // Without the timer a loop that never goes idle would hold the work back: it waits its
    // turn among the results instead, before input and painting, but never stuck.
    PostResult(std::move(work), std::move(owner));
    return;
  }
  g_idle.push_back(PostedResult{std::move(work), std::move(owner)});
  ++g_waiting;
}

void RunIdleWork() {
  MSG msg;
  while (!g_idle.empty() && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) RunOldestIdle();
  if (g_idle.empty() && g_idleTimer) {
    // Should it fail, the timer goes on and finds nothing to do.
    KillTimer(g_window.load(), kIdleTimer);
    g_idleTimer = false;
  }
}

void RunWaitingResults() {
  do {
    RunQueue(false);
    while (!g_idle.empty()) RunOldestIdle();
  } while (MoreResults());
}

bool ResultsWaiting() { return g_waiting.load() != 0; }

}  // namespace quorvane
