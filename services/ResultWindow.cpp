#include "services/ResultWindow.h"

#include <atomic>
#include <memory>

#include "services/WinError.h"

namespace quorvane {
namespace {

constexpr wchar_t kClassName[] = L"QuorvaneResults";
constexpr UINT kApply = WM_APP + 0x51;

std::atomic<HWND> g_window{nullptr};

LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kApply) {
    const std::unique_ptr<std::function<void()>> apply(reinterpret_cast<std::function<void()>*>(lParam));
    if (apply && *apply) (*apply)();
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

bool MakeResultWindow(std::wstring& error) {
  if (g_window.load() != nullptr) return true;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &Procedure;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    error = LastErrorText(L"Quorvane cannot make its results window");
    return false;
  }
  HWND window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (window == nullptr) {
    error = LastErrorText(L"Quorvane cannot make its results window");
    return false;
  }
  g_window = window;
  return true;
}

HWND ResultWindow() { return g_window.load(); }

bool PostResult(std::function<void()> apply) {
  const HWND window = g_window.load();
  if (window == nullptr) return false;
  auto owned = std::make_unique<std::function<void()>>(std::move(apply));
  if (!PostMessageW(window, kApply, 0, reinterpret_cast<LPARAM>(owned.get()))) return false;
  owned.release();  // the window's procedure owns it now
  return true;
}

}  // namespace quorvane
