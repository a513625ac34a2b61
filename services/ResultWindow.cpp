#include "services/ResultWindow.h"

#include <atomic>
#include <map>
#include <memory>

#include "services/WinError.h"

namespace quorvane {
namespace {

constexpr wchar_t kClassName[] = L"QuorvaneResults";
// A posted result: lParam owns a std::function<void()>.
constexpr UINT kApply = WM_APP + 0x3F0;

std::atomic<HWND> g_window{nullptr};
std::map<UINT, std::function<void(WPARAM, LPARAM)>> g_listeners;  // interface thread only

LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kApply) {
    const std::unique_ptr<std::function<void()>> apply(reinterpret_cast<std::function<void()>*>(lParam));
    if (apply && *apply) (*apply)();
    return 0;
  }
  if (message >= WM_APP && message <= 0xBFFF) {
    const auto found = g_listeners.find(message);
    if (found != g_listeners.end() && found->second) {
      // A copy: the handler may stop listening while it runs.
      const auto handler = found->second;
      handler(wParam, lParam);
    }
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
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
  return true;
}

HWND ResultWindow() { return g_window.load(); }

bool PostResult(std::function<void()> apply) {
  const HWND window = g_window.load();
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  auto owned = std::make_unique<std::function<void()>>(std::move(apply));
  // A full queue drains as the interface thread works: a worker tries again for a while. The
  // interface thread itself cannot wait for its own queue to drain.
  const bool worker = GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId();
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (PostMessageW(window, kApply, 0, reinterpret_cast<LPARAM>(owned.get()))) {
      owned.release();
      return true;
    }
    if (!worker || GetLastError() != ERROR_NOT_ENOUGH_QUOTA) return false;
    Sleep(50);
  }
  return false;
}

void ListenForResult(UINT message, std::function<void(WPARAM, LPARAM)> handler) {
  if (handler)
    g_listeners[message] = std::move(handler);
  else
    g_listeners.erase(message);
}

}  // namespace quorvane
