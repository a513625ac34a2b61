// The launch service: starts the game's tools and reports, later and on the interface
// thread, how each run ended.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace quorvane {

struct ToolRun {
  std::wstring application;    // the tool's full path, passed as CreateProcessW's application name
  std::wstring commandLine;    // the exact command line (BuildCommandLine)
  std::wstring workingFolder;  // the folder the tool starts in
  // The file the run writes. Two runs that write the same file never overlap: the second
  // starts when the first has ended. Its state before and after the run tells whether the
  // run wrote it. Empty: no such file.
  std::wstring output;
};

struct ToolResult {
  enum Status {
    kExited,      // the tool ran and ended with exitCode
    kNotStarted,  // the system refused to start it; error says why
    kLostTrack,   // it was started but its end could not be followed; error says why
  };
  Status status = kNotStarted;
  DWORD error = ERROR_SUCCESS;  // the system's reason, for DescribeLaunchFailure
  DWORD exitCode = 0;
  // kExited only: the output file exists and was created or changed during the run, and
  // where: the run's output, or its VirtualStore twin (ProcessLauncher::SetVirtualStore).
  bool outputWritten = false;
  std::wstring writtenTo;
};

using ToolDone = std::function<void(const ToolResult&)>;

class ToolLauncher {
 public:
  virtual ~ToolLauncher() = default;
  // Starts the tool (or queues it behind a run on the same output) and returns at once.
  // done is called once, on the interface thread: at once when the tool cannot be
  // started, otherwise after it has ended.
  virtual void StartTool(const ToolRun& run, ToolDone done) = 0;
};

// The user-readable warning for a run that did not end normally (kNotStarted or
// kLostTrack), ending in "..!"; it names the tool's path and the system's reason.
std::wstring DescribeLaunchFailure(const ToolRun& run, const ToolResult& result);

// An exit code as the user reads it: decimal, or hexadecimal for the system's crash codes.
std::wstring DescribeExitCode(DWORD code);

// The real thing: CreateProcessW, with the tool's window minimized and active. Each started
// process is watched by the thread pool, which only posts a result made ready at the start:
// `ended` gets the run's id on the interface thread, and its owner hands that id to
// OnToolExited, at once or once the event it is in has finished. Tools go on running when the
// launcher ends; runs still waiting for their turn are dropped then, and nobody is told about
// any of them any more (Quorvane keeps its launcher until none waits).
class ProcessLauncher final : public ToolLauncher {
 public:
  explicit ProcessLauncher(std::function<void(WPARAM id)> ended);
  ~ProcessLauncher() override;
  ProcessLauncher(const ProcessLauncher&) = delete;
  ProcessLauncher& operator=(const ProcessLauncher&) = delete;

  void StartTool(const ToolRun& run, ToolDone done) override;
  void OnToolExited(WPARAM id);
  // Windows protects `folder` and keeps what virtualized tools write there in `twin`: an
  // output in `folder` counts as written when it is written in either.
  void SetVirtualStore(const std::wstring& folder, const std::wstring& twin);
  // True when no run is going on or waiting to start.
  bool Idle() const;
  // True while a run waits for its turn behind another on the same output.
  bool Waiting() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quorvane
