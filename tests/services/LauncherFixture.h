// What the launcher tests share: a launcher whose notices come back to it as the program's do,
// and a record of the results each run reported.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "services/ResultWindow.h"
#include "services/ToolLauncher.h"
#include "tests/support/check.h"

namespace launchertest {

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

// A launcher whose notices come back through the results window, as the program's do.
struct Harness {
  std::unique_ptr<quorvane::ProcessLauncher> launcher;
  Harness() {
    REQUIRE(quorvane::MakeResultWindow());
    launcher = std::make_unique<quorvane::ProcessLauncher>([this](WPARAM id) {
      if (launcher != nullptr) launcher->OnToolExited(id);
    });
  }
  ~Harness() { Drop(); }
  void Drop() { launcher.reset(); }

  std::shared_ptr<Results> Start(const quorvane::ToolRun& run) {
    auto results = std::make_shared<Results>();
    launcher->StartTool(run, Record(results));
    return results;
  }
};

}  // namespace launchertest
