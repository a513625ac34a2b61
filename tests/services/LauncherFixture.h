// What the launcher tests share: a message-only window that hands the launcher's notices
// back to it, as the main window does, and a record of the results each run reported.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "services/ToolLauncher.h"
#include "tests/support/check.h"

namespace launchertest {

inline constexpr UINT kToolMessage = WM_APP + 7;

class Notifier {
 public:
  Notifier() {
    static const ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &Notifier::Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"QuorvaneLauncherTest";
      return RegisterClassW(&wc);
    }();
    REQUIRE(atom != 0);
    window_ = CreateWindowExW(0, L"QuorvaneLauncherTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    REQUIRE(window_ != nullptr);
  }
  ~Notifier() {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  Notifier(const Notifier&) = delete;
  Notifier& operator=(const Notifier&) = delete;

  HWND window() const { return window_; }
  // The launcher that receives the notices; null before destroying it.
  void Attach(quorvane::ProcessLauncher* launcher) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(launcher));
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kToolMessage) {
      auto* launcher = reinterpret_cast<quorvane::ProcessLauncher*>(GetWindowLongPtrW(window, GWLP_USERDATA));
      if (launcher != nullptr) launcher->OnToolExited(wParam);
      return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
  }

  HWND window_ = nullptr;
};

// Every result a run's done function was called with, so tests can tell "called once".
struct Results {
  std::vector<quorvane::ToolResult> calls;
  // System time (FILETIME units) when done was first called. The coarse clock is at most a
  // tick behind the precise one the stand-ins log, so "the tool started after" holds.
  unsigned long long firstAt = 0;
  bool Done() const { return !calls.empty(); }
  const quorvane::ToolResult& Last() const { return calls.back(); }
};

inline quorvane::ToolDone Record(const std::shared_ptr<Results>& results) {
  return [results](const quorvane::ToolResult& result) {
    if (results->calls.empty()) {
      FILETIME now;
      GetSystemTimeAsFileTime(&now);
      results->firstAt = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    }
    results->calls.push_back(result);
  };
}

// A launcher wired to its own notifier, torn down in the right order.
struct Harness {
  Notifier notifier;
  std::unique_ptr<quorvane::ProcessLauncher> launcher =
      std::make_unique<quorvane::ProcessLauncher>(notifier.window(), kToolMessage);
  Harness() { notifier.Attach(launcher.get()); }
  ~Harness() { Drop(); }
  void Drop() {
    notifier.Attach(nullptr);
    launcher.reset();
  }

  std::shared_ptr<Results> Start(const quorvane::ToolRun& run) {
    auto results = std::make_shared<Results>();
    launcher->StartTool(run, Record(results));
    return results;
  }
};

}  // namespace launchertest
