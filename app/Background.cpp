#include "app/Background.h"

#include <atomic>

#include "app/FolderListing.h"
#include "services/Handles.h"
#include "services/ResultWindow.h"

namespace quorvane {
namespace {

std::atomic<long> g_pending{0};

// A burst of changes (a tool writing its files, a folder being copied in) is taken in one
// re-read this long after its first change.
constexpr LONGLONG kSettleMs = 150;

void CALLBACK RunWork(PTP_CALLBACK_INSTANCE, void* context) {
  const std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(context));
  (*work)();
}

struct Delayed {
  std::function<void()> apply;
  PTP_TIMER timer = nullptr;
};

void CALLBACK PostDelayed(PTP_CALLBACK_INSTANCE, void* context, PTP_TIMER timer) {
  const std::unique_ptr<Delayed> delayed(static_cast<Delayed*>(context));
  PostToInterface(std::move(delayed->apply));
  CloseThreadpoolTimer(timer);  // freed once this callback has returned
}

FILETIME RelativeDue(LONGLONG ms) {
  ULARGE_INTEGER due;
  due.QuadPart = static_cast<ULONGLONG>(-(ms * 10000));  // negative: from now, in 100 ns
  FILETIME time;
  time.dwLowDateTime = due.LowPart;
  time.dwHighDateTime = due.HighPart;
  return time;
}

}  // namespace

PendingWork::PendingWork() { ++g_pending; }
PendingWork::~PendingWork() { --g_pending; }

bool ListsSettled() { return g_pending.load() == 0; }

bool RunOnWorker(std::function<void()> work) {
  auto* context = new std::function<void()>(std::move(work));
  if (TrySubmitThreadpoolCallback(&RunWork, context, nullptr)) return true;
  delete context;
  return false;
}

bool PostToInterface(std::function<void()> apply, DWORD delayMs) {
  if (delayMs > 0) {
    auto delayed = std::make_unique<Delayed>();
    delayed->apply = std::move(apply);
    PTP_TIMER timer = CreateThreadpoolTimer(&PostDelayed, delayed.get(), nullptr);
    if (timer != nullptr) {
      FILETIME due = RelativeDue(delayMs);
      SetThreadpoolTimer(timer, &due, 0, 0);
      delayed.release();
      return true;
    }
    apply = std::move(delayed->apply);  // no timer: now rather than never
  }
  return PostResult(std::move(apply));
}

// What the watch's callbacks share with the watch and with the calls they post.
struct FolderWatch::Shared {
  std::function<void()> onChange;  // read and run on the interface thread only
  bool stopped = false;            // likewise
  std::atomic<bool> stopping{false};
};

// One watched folder: a directory handle read for changes, and a thread-pool wait on the
// read's event. A change ends the read; the same wait then lets the burst settle (it times out
// kSettleMs later, the event not being set again meanwhile), and only then is the folder
// watched again and read again: a burst of thousands of changes costs one re-read, and does
// not keep the system busy re-arming the watch. No timer and no thread of its own.
struct FolderWatch::Dir {
  std::shared_ptr<Shared> shared;
  HANDLE handle = INVALID_HANDLE_VALUE;
  UniqueHandle event;
  OVERLAPPED overlapped{};
  DWORD what = 0;
  alignas(DWORD) BYTE buffer[4096];  // only the fact of a change counts, not its names
  PTP_WAIT wait = nullptr;
  std::atomic<bool> armed{false};

  ~Dir() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }

  bool Arm() {
    ResetEvent(event.get());
    overlapped = OVERLAPPED{};
    overlapped.hEvent = event.get();
    if (!ReadDirectoryChangesW(handle, buffer, sizeof buffer, FALSE, what, nullptr, &overlapped, nullptr))
      return false;
    armed = true;
    SetThreadpoolWait(wait, event.get(), nullptr);
    return true;
  }

  static void CALLBACK Ended(PTP_CALLBACK_INSTANCE, void* context, PTP_WAIT, TP_WAIT_RESULT result) {
    auto* dir = static_cast<Dir*>(context);
    if (dir->shared->stopping) return;
    if (result == WAIT_TIMEOUT) {
      // Settled: watched again before it is read again, so that no later change is missed.
      dir->Arm();  // when it cannot be watched again it is most likely gone: the read shows it
      PostToInterface([shared = dir->shared] {
        if (!shared->stopped && shared->onChange) shared->onChange();
      });
      return;
    }
    DWORD bytes = 0;
    const bool ok = GetOverlappedResult(dir->handle, &dir->overlapped, &bytes, FALSE) != FALSE;
    dir->armed = false;
    if (!ok && GetLastError() == ERROR_OPERATION_ABORTED) return;
    // A change, too many changes to list, or the folder gone: each means "read it again".
    ResetEvent(dir->event.get());
    FILETIME due = RelativeDue(kSettleMs);
    SetThreadpoolWait(dir->wait, dir->event.get(), &due);
  }
};

FolderWatch::FolderWatch() = default;
FolderWatch::~FolderWatch() { Stop(); }

bool FolderWatch::Start(const std::wstring& folder, DWORD what, std::function<void()> onChange) {
  Stop();
  auto shared = std::make_shared<Shared>();
  shared->onChange = std::move(onChange);
  std::vector<std::unique_ptr<Dir>> dirs;
  // The folder for what it holds; every folder above it (below the root) for its renaming or
  // deletion, which takes the folder away too.
  std::wstring path = TrimFolder(folder);
  DWORD filter = what;
  DWORD firstError = ERROR_SUCCESS;
  bool first = true;
  while (!path.empty()) {
    const std::wstring parent = ParentFolder(path);
    if (first || !parent.empty()) {
      auto dir = std::make_unique<Dir>();
      dir->shared = shared;
      dir->what = filter;
      dir->handle = CreateFileW(SystemForm(path).c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
      if (dir->handle != INVALID_HANDLE_VALUE) dir->event.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
      if (dir->event) dir->wait = CreateThreadpoolWait(&Dir::Ended, dir.get(), nullptr);
      if (dir->wait != nullptr)
        dirs.push_back(std::move(dir));
      else if (first)
        firstError = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
    }
    if (first && firstError != ERROR_SUCCESS) break;
    first = false;
    // Above the folder only a subfolder renamed or deleted matters.
    filter = FILE_NOTIFY_CHANGE_DIR_NAME;
    path = parent;
  }
  shared_ = shared;
  dirs_ = std::move(dirs);
  for (auto& dir : dirs_) dir->Arm();
  if (firstError != ERROR_SUCCESS) {
    Stop();
    SetLastError(firstError);
    return false;
  }
  return true;
}

void FolderWatch::Stop() {
  if (shared_ == nullptr) return;
  shared_->stopping = true;
  shared_->stopped = true;  // a call already posted does nothing
  for (auto& dir : dirs_) {
    // A callback running now sees `stopping` and arms nothing more; then none can come.
    SetThreadpoolWait(dir->wait, nullptr, nullptr);
    WaitForThreadpoolWaitCallbacks(dir->wait, TRUE);
    SetThreadpoolWait(dir->wait, nullptr, nullptr);
    WaitForThreadpoolWaitCallbacks(dir->wait, TRUE);
    if (dir->armed) {
      DWORD bytes = 0;
      CancelIoEx(dir->handle, &dir->overlapped);
      GetOverlappedResult(dir->handle, &dir->overlapped, &bytes, TRUE);  // the buffer is ours again
    }
    CloseThreadpoolWait(dir->wait);
  }
  dirs_.clear();
  shared_.reset();
}

}  // namespace quorvane
