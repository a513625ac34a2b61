#include "services/ToolLauncher.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <deque>
#include <map>
#include <utility>

#include "paths/PathRules.h"
#include "services/Handles.h"
#include "services/Lifetime.h"
#include "services/ResultWindow.h"
#include "services/WinError.h"

namespace quorvane {
namespace {

// The file name part of a path, for messages that would otherwise repeat the whole path.
std::wstring FileName(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The system's reason for a failed start. Some of its sentences have an insert for the file
// ("%1 is not a valid Win32 application"): the tool's name goes there.
std::wstring StartFailureReason(DWORD code, const std::wstring& application) {
  std::wstring reason = SystemMessage(code);
  const std::wstring name = FileName(application);
  for (std::size_t at = reason.find(L"%1"); at != std::wstring::npos;
       at = reason.find(L"%1", at + name.size()))
    reason.replace(at, 2, name);
  return reason;
}

// CreateProcessW, asked again when the new process died before it ran any of its own code.
// Wine reports that as ERROR_INTERNAL_ERROR now and then under load (its loader could not
// set the new process up); Windows does not use the code for a start. The tool never ran,
// so asking again cannot run it twice. ERROR_SUCCESS, or the system's reason.
DWORD StartProcess(const wchar_t* application, const std::wstring& commandLine, const wchar_t* folder,
                   STARTUPINFOW& startup, PROCESS_INFORMATION& process) {
  constexpr int kTries = 3;
  for (int attempt = 1;; ++attempt) {
    std::wstring text = commandLine;  // CreateProcessW may write into it
    if (CreateProcessW(application, text.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                       &process))
      return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    if (error != ERROR_INTERNAL_ERROR || attempt == kTries) return error;
    Sleep(20 * attempt);
  }
}

// The full path of a run's output as the tool sees it: a name without a folder is found in
// the folder the tool starts in, not in Quorvane's own current folder. The path rules keep
// names that the normal form would alter (trailing dots, device names) as they stand. When
// the system cannot make it full, the path as given: looking at it then finds nothing, which
// counts as not written.
std::wstring FullOutputPath(const ToolRun& run) {
  if (run.output.empty()) return {};
  const bool bareName =
      run.output[0] != L'\\' && run.output[0] != L'/' && !(run.output.size() >= 2 && run.output[1] == L':');
  const std::wstring path =
      bareName && !run.workingFolder.empty() ? JoinPath(run.workingFolder, run.output) : run.output;
  std::wstring full = FullPath(path);
  return full.empty() ? path : full;
}

struct OutputState {
  bool exists = false;
  LONGLONG lastWrite = 0;
  // When the file's data or properties last changed. A tool that copies its result into
  // place keeps the source's last-write time, and the same skin made again has the same
  // size: only this time tells that the file was written over.
  LONGLONG changed = 0;
  ULONGLONG size = 0;
};

OutputState LookAt(const std::wstring& fullPath) {
  OutputState state;
  const std::wstring path = SystemForm(fullPath);
  // Asking for the attributes only conflicts with nobody's sharing, not even a tool's that
  // is writing the file.
  const UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (file) {
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    if (GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) &&
        GetFileInformationByHandleEx(file.get(), FileStandardInfo, &standard, sizeof standard)) {
      state.exists = !standard.Directory;
      state.lastWrite = basic.LastWriteTime.QuadPart;
      state.changed = basic.ChangeTime.QuadPart;
      state.size = static_cast<ULONGLONG>(standard.EndOfFile.QuadPart);
      return state;
    }
  }
  // Some file systems answer only the plain question. Any failure here (no such file, no
  // access) counts as "not there": after the run that means the output is not reported as
  // written, which is the safe side.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
      !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    state.exists = true;
    state.lastWrite = (static_cast<LONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                      data.ftLastWriteTime.dwLowDateTime;
    state.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  return state;
}

bool Written(const OutputState& before, const OutputState& after) {
  if (!after.exists) return false;
  if (!before.exists) return true;
  return before.lastWrite != after.lastWrite || before.changed != after.changed || before.size != after.size;
}

// The thread pool's callback, given the notice made ready when the tool started, so that
// posting it allocates nothing and cannot fail. It touches nothing else of the launcher.
VOID CALLBACK ToolEnded(PVOID notice, BOOLEAN /*timedOut*/) {
  PostResult(std::move(*static_cast<std::unique_ptr<PostedResult>*>(notice)));
}

// Ids are unique across launchers, so that a notice still queued for a launcher that has
// gone cannot be taken by a later one for one of its own runs.
std::atomic<WPARAM> g_nextId{1};

}  // namespace

std::wstring DescribeLaunchFailure(const ToolRun& run, const ToolResult& result) {
  const std::wstring reason = result.error == ERROR_SUCCESS ? L"the system gave no reason"
                              : result.status == ToolResult::kNotStarted
                                  ? StartFailureReason(result.error, run.application)
                                  : SystemMessage(result.error);
  switch (result.status) {
    case ToolResult::kNotStarted:
      return L"Unable to start " + run.application + L": " + reason + L"..!";
    case ToolResult::kLostTrack:
      return L"Quorvane started " + run.application + L" but cannot follow it: " + reason + L"..!";
    case ToolResult::kExited:
      break;
  }
  return run.application + L" ended with code " + DescribeExitCode(result.exitCode) + L"..!";
}

std::wstring DescribeExitCode(DWORD code) {
  wchar_t text[16];
  // Codes from 0xC0000000 up are the system's error statuses (0xC0000005: the program
  // crashed); they are known and looked up by their hexadecimal form.
  std::swprintf(text, 16, code >= 0xC0000000u ? L"0x%08lX" : L"%lu", static_cast<unsigned long>(code));
  return text;
}

struct ProcessLauncher::Impl {
  struct Waiting {
    ToolRun run;
    ToolDone done;
    std::wstring outputPath;  // full path; empty when the run has no output
  };
  struct Running : Waiting {
    explicit Running(Waiting job) : Waiting(std::move(job)) {}
    std::unique_ptr<PostedResult> notice;  // ToolEnded's
    std::wstring outputTwin;               // where a virtualized tool writes it instead; empty when nowhere
    OutputState before, beforeTwin;
    UniqueHandle process;
    UniqueWait wait;  // declared last, so that it goes first: no callback outlives the notice
  };

  std::function<void(WPARAM)> ended;
  std::wstring protectedFolder, twin;  // SetVirtualStore's
  std::map<WPARAM, std::unique_ptr<Running>> running;
  std::deque<Waiting> waiting;  // oldest first
  // Ends with the launcher: code that has just called a done function tells by it whether that
  // function destroyed the launcher, and a notice still queued does nothing.
  Lifetime lifetime;

  explicit Impl(std::function<void(WPARAM)> e) : ended(std::move(e)) {}

  // Whether a run on `outputPath` (not empty) is going on.
  bool OutputRunning(const std::wstring& outputPath) const {
    for (const auto& [id, r] : running)
      if (SamePath(r->outputPath, outputPath)) return true;
    return false;
  }
  bool OutputBusy(const std::wstring& outputPath) const {
    const auto same = [&](const Waiting& w) { return SamePath(w.outputPath, outputPath); };
    return !outputPath.empty() &&
           (OutputRunning(outputPath) || std::any_of(waiting.begin(), waiting.end(), same));
  }

  // Starts one run now. When it cannot be followed to its end, done has been called (and may
  // have destroyed the launcher) and the result is false.
  bool Launch(Waiting job) {
    auto r = std::make_unique<Running>(std::move(job));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // The window shows its own working pointer while tools work: the system's start-up
    // pointer would only come on top of it.
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
    startup.wShowWindow = SW_SHOWMINIMIZED;  // minimized, yet active: the user sees it working
    PROCESS_INFORMATION process{};

    if (!r->outputPath.empty()) {
      r->before = LookAt(r->outputPath);
      r->outputTwin = TwinPath(r->outputPath, protectedFolder, twin);
      if (!r->outputTwin.empty()) r->beforeTwin = LookAt(r->outputTwin);
    }
    const std::wstring& application = r->run.application;
    ToolResult result;  // what is told when the run cannot be followed to its end
    result.error =
        StartProcess(application.empty() ? nullptr : application.c_str(), r->run.commandLine,
                     r->run.workingFolder.empty() ? nullptr : r->run.workingFolder.c_str(), startup, process);
    if (result.error != ERROR_SUCCESS) {
      if (r->done) r->done(result);
      return false;
    }
    UniqueHandle thread(process.hThread);  // not needed: only the process is watched
    r->process.reset(process.hProcess);

    const WPARAM id = g_nextId++;
    r->notice =
        std::make_unique<PostedResult>(PostedResult{[ended = ended, id] { ended(id); }, lifetime.token()});
    HANDLE wait = nullptr;
    if (!RegisterWaitForSingleObject(&wait, r->process.get(), ToolEnded, &r->notice, INFINITE,
                                     WT_EXECUTEONLYONCE)) {
      result.status = ToolResult::kLostTrack;
      result.error = GetLastError();
      // The tool goes on by itself; Quorvane only lets go of it.
      if (r->done) r->done(result);
      return false;
    }
    r->wait.reset(wait);
    running.emplace(id, std::move(r));
    return true;
  }

  // Starts the oldest waiting runs on this output until one is running.
  void StartNext(const std::wstring& outputPath) {
    const Lifetime::Token launcher = lifetime.token();  // a done function may destroy it
    while (launcher.Alive() && !OutputRunning(outputPath)) {
      auto next = std::find_if(waiting.begin(), waiting.end(),
                               [&](const Waiting& w) { return SamePath(w.outputPath, outputPath); });
      if (next == waiting.end()) return;
      Waiting job = std::move(*next);
      waiting.erase(next);
      if (Launch(std::move(job))) return;
    }
  }
};

ProcessLauncher::ProcessLauncher(std::function<void(WPARAM id)> ended)
    : impl_(std::make_unique<Impl>(std::move(ended))) {}

// The runs' waits go with them, each once no callback of it runs any more; the tools
// themselves are left running.
ProcessLauncher::~ProcessLauncher() = default;

void ProcessLauncher::StartTool(const ToolRun& run, ToolDone done) {
  Impl::Waiting job{run, std::move(done), FullOutputPath(run)};
  if (impl_->OutputBusy(job.outputPath)) {
    impl_->waiting.push_back(std::move(job));
    return;
  }
  impl_->Launch(std::move(job));
}

void ProcessLauncher::OnToolExited(WPARAM id) {
  auto found = impl_->running.find(id);
  if (found == impl_->running.end()) return;  // not ours, or already handled
  std::unique_ptr<Impl::Running> r = std::move(found->second);
  impl_->running.erase(found);

  // The wait has fired and, being a one-time wait, cannot fire again: whatever this answers,
  // nothing is left to undo. (ERROR_IO_PENDING only says that its callback may still be
  // returning, after having posted the very notice handled here; it reads nothing after
  // posting, so it is not waited for.)
  UnregisterWait(r->wait.release());

  ToolResult result;
  DWORD code = 0;
  if (GetExitCodeProcess(r->process.get(), &code)) {
    result.status = ToolResult::kExited;
    result.exitCode = code;
    if (!r->outputPath.empty() && Written(r->before, LookAt(r->outputPath)))
      result.writtenTo = r->outputPath;
    else if (!r->outputTwin.empty() && Written(r->beforeTwin, LookAt(r->outputTwin)))
      result.writtenTo = r->outputTwin;
    result.outputWritten = !result.writtenTo.empty();
  } else {
    result.status = ToolResult::kLostTrack;
    result.error = GetLastError();
  }
  r->process.reset();

  const std::wstring outputPath = r->outputPath;
  const ToolDone done = std::move(r->done);
  r.reset();
  const Lifetime::Token launcher = impl_->lifetime.token();  // done may destroy it
  if (done) done(result);
  if (launcher.Alive() && !outputPath.empty()) impl_->StartNext(outputPath);
}

void ProcessLauncher::SetVirtualStore(const std::wstring& folder, const std::wstring& twin) {
  impl_->protectedFolder = TrimFolder(folder);
  impl_->twin = TrimFolder(twin);
}

bool ProcessLauncher::Idle() const { return impl_->running.empty() && impl_->waiting.empty(); }

bool ProcessLauncher::Waiting() const { return !impl_->waiting.empty(); }

}  // namespace quorvane
