#include "services/ResultWindow.h"

#include <atomic>

#include "services/WinError.h"

namespace quorvane {
namespace {

constexpr wchar_t kClassName[] = L"QuorvaneResults";
// "Results are waiting": posted once for however many results are queued behind it.
constexpr UINT kWake = WM_APP + 0x3F0;

std::atomic<HWND> g_window{nullptr};

// The queue, oldest first; guarded by g_lock.
SRWLOCK g_lock = SRWLOCK_INIT;
PostedResult* g_first = nullptr;
PostedResult* g_last = nullptr;
bool g_wakePosted = false;    // a kWake is on its way, not yet taken; guarded by g_lock
std::atomic<long> g_waiting{0};

// The oldest result, taken out of the queue; null when none waits.
std::unique_ptr<PostedResult> TakeOldest() {
  AcquireSRWLockExclusive(&g_lock);
  PostedResult* result = g_first;
  if (result != nullptr) {
    g_first = result->next;
    if (g_first == nullptr) g_last = nullptr;
    result->next = nullptr;
  }
  ReleaseSRWLockExclusive(&g_lock);
  return std::unique_ptr<PostedResult>(result);
}

// One at a time from the front of the queue, so that a result that runs a modal loop (a
// message box) lets the ones behind it run from that loop in their order, not out of it.
void RunQueue() {
  while (std::unique_ptr<PostedResult> result = TakeOldest()) {
    --g_waiting;  // taken in: what it does now is the interface thread's own work
    if (result->apply) result->apply();
  }
}

LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kWake) {
    // Taken: a result posted from now on wakes the window again, so that one posted while
    // these run (and run a modal loop, a message box) is not left to wait for them to end.
    AcquireSRWLockExclusive(&g_lock);
    g_wakePosted = false;
    ReleaseSRWLockExclusive(&g_lock);
    RunQueue();
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Tells the window that results wait, unless it has been told already. A full message queue
// drains as the interface thread works: a worker tries again for a while. Should the window
// still not be told, the results stay queued for the next post that gets through.
void Wake() {
  const HWND window = g_window.load();
  AcquireSRWLockExclusive(&g_lock);
  const bool needed = window != nullptr && !g_wakePosted && g_first != nullptr;
  if (needed) g_wakePosted = true;
  ReleaseSRWLockExclusive(&g_lock);
  if (!needed) return;
  const bool worker = GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId();
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (PostMessageW(window, kWake, 0, 0)) return;
    if (!worker || GetLastError() != ERROR_NOT_ENOUGH_QUOTA) break;
    Sleep(50);
  }
  AcquireSRWLockExclusive(&g_lock);
  g_wakePosted = false;
  ReleaseSRWLockExclusive(&g_lock);
}

// Counted in g_waiting already.
void Enqueue(std::unique_ptr<PostedResult> result) {
  AcquireSRWLockExclusive(&g_lock);
  PostedResult* added = result.release();
  if (g_last != nullptr)
    g_last->next = added;
  else
    g_first = added;
  g_last = added;
  ReleaseSRWLockExclusive(&g_lock);
  Wake();
}

// A result posted later is waiting from the moment it is posted.
void CALLBACK PostDelayed(PTP_CALLBACK_INSTANCE, void* context, PTP_TIMER timer) {
  Enqueue(std::unique_ptr<PostedResult>(static_cast<PostedResult*>(context)));
  CloseThreadpoolTimer(timer);  // freed once this callback has returned
}

}  // namespace

bool MakeResultWindow(std::wstring& error) {
  if (g_window.load() != nullptr) return true;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    error = LastErrorText(L"Quorvane cannot set up its background work");
    return false;
  }
  HWND window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (window == nullptr) {
    error = LastErrorText(L"Quorvane cannot set up its background work");
    return false;
  }
  g_window.store(window);
  Wake();  // whatever was posted before the window was there
  return true;
}

void PostResult(std::unique_ptr<PostedResult> result) {
  if (result == nullptr) return;
  ++g_waiting;
  Enqueue(std::move(result));
}

void PostResult(std::function<void()> apply) {
  auto result = std::make_unique<PostedResult>();
  result->apply = std::move(apply);
  PostResult(std::move(result));
}

void PostResultLater(std::function<void()> apply, DWORD delayMs) {
  auto result = std::make_unique<PostedResult>();
  result->apply = std::move(apply);
  ++g_waiting;
  if (PTP_TIMER timer = CreateThreadpoolTimer(&PostDelayed, result.get(), nullptr)) {
    ULARGE_INTEGER due;
    due.QuadPart = static_cast<ULONGLONG>(-(static_cast<LONGLONG>(delayMs) * 10000));  // from now, in 100 ns
    FILETIME time{due.LowPart, due.HighPart};
    SetThreadpoolTimer(timer, &time, 0, 0);
    result.release();
    return;
  }
  Enqueue(std::move(result));  // no timer: now rather than never
}

void RunWaitingResults() { RunQueue(); }

bool ResultsWaiting() { return g_waiting.load() != 0; }

}  // namespace quorvane
