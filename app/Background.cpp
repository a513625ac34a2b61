#include "app/Background.h"

#include <algorithm>
#include <atomic>

#include "app/FolderListing.h"
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

// What a watch shares with the calls it posts.
struct FolderWatch::Shared {
  std::function<void()> onChange;  // read and run on the interface thread only
  bool stopped = false;            // likewise
};

// One watched folder: a directory handle read for changes, its reads ending on the watcher's
// completion port. A change ends the read, and the folder is not watched again until the burst
// it began has settled, kSettleMs later: only then is it watched again and read again, so that
// a burst of thousands of changes costs one re-read and does not keep the system busy
// re-arming the watch. Everything but the handle is guarded by the watcher's lock.
struct FolderWatch::Dir {
  std::shared_ptr<Shared> shared;
  HANDLE handle = INVALID_HANDLE_VALUE;
  OVERLAPPED overlapped{};
  DWORD what = 0;
  alignas(DWORD) BYTE buffer[4096];  // only the fact of a change counts, not its names
  bool reading = false;              // a read is out: its end is still to come to the port
  ULONGLONG settledAt = 0;           // when a burst begun is over; 0 when none is
  bool stopping = false;

  ~Dir() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }

  void Arm() {
    overlapped = OVERLAPPED{};
    reading = ReadDirectoryChangesW(handle, buffer, sizeof buffer, FALSE, what, nullptr, &overlapped, nullptr) != 0;
    // When it cannot be watched again it is most likely gone: the read that follows shows it.
  }
};

namespace {

// One thread for every watch of the process, made with the first: it waits on one completion
// port for the watched folders' reads to end and for their bursts to settle. A thread-pool
// wait would take two threads (the pool's waiting thread and a worker) for the same.
class Watcher {
 public:
  // Null when no port or thread can be had (the reason is then in GetLastError).
  static Watcher* Get() {
    static Watcher* const watcher = [] {
      auto made = std::make_unique<Watcher>();
      return made->Begin() ? made.release() : nullptr;  // lives as long as the process
    }();
    return watcher;
  }

  ~Watcher() {
    if (port_ != nullptr) CloseHandle(port_);
  }

  // Takes the folder's reads onto the port and starts the first; false when they cannot be.
  bool Add(const std::shared_ptr<FolderWatch::Dir>& dir) {
    if (CreateIoCompletionPort(dir->handle, port_, reinterpret_cast<ULONG_PTR>(dir.get()), 0) == nullptr)
      return false;
    AcquireSRWLockExclusive(&lock_);
    dirs_.push_back(dir);
    dir->Arm();
    ReleaseSRWLockExclusive(&lock_);
    return true;
  }

  // No read of these folders is out once this returns, and none is started again.
  void Remove(const std::vector<std::shared_ptr<FolderWatch::Dir>>& dirs) {
    AcquireSRWLockExclusive(&lock_);
    for (const auto& dir : dirs) {
      dir->stopping = true;
      if (dir->reading) CancelIoEx(dir->handle, &dir->overlapped);
    }
    // The cancelled reads end on the port like any other: the buffers are free once they have.
    for (const auto& dir : dirs)
      while (dir->reading) SleepConditionVariableSRW(&ended_, &lock_, INFINITE, 0);
    std::erase_if(dirs_, [](const auto& dir) { return dir->stopping; });
    ReleaseSRWLockExclusive(&lock_);
  }

 private:
  bool Begin() {
    port_ = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    if (port_ == nullptr) return false;
    HANDLE thread = CreateThread(nullptr, 64 * 1024, &Watcher::Run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) return false;
    CloseHandle(thread);
    return true;
  }

  static DWORD WINAPI Run(void* self) {
    static_cast<Watcher*>(self)->Loop();
    return 0;
  }

  void Loop() {
    DWORD wait = INFINITE;
    for (;;) {
      DWORD bytes = 0;
      ULONG_PTR key = 0;
      OVERLAPPED* overlapped = nullptr;
      GetQueuedCompletionStatus(port_, &bytes, &key, &overlapped, wait);
      AcquireSRWLockExclusive(&lock_);
      const ULONGLONG now = GetTickCount64();
      if (overlapped != nullptr) {
        // A change, too many changes to list, the folder gone, or a stop: each ends the read.
        auto* dir = reinterpret_cast<FolderWatch::Dir*>(key);
        dir->reading = false;
        if (dir->stopping)
          WakeAllConditionVariable(&ended_);
        else if (dir->settledAt == 0)
          dir->settledAt = now + kSettleMs;
      }
      wait = INFINITE;
      for (const auto& dir : dirs_) {
        if (dir->stopping || dir->settledAt == 0) continue;
        if (dir->settledAt > now) {
          wait = std::min<DWORD>(wait, static_cast<DWORD>(dir->settledAt - now));
          continue;
        }
        // Settled: watched again before it is read again, so that no later change is missed.
        dir->settledAt = 0;
        dir->Arm();
        PostToInterface([shared = dir->shared] {
          if (!shared->stopped && shared->onChange) shared->onChange();
        });
      }
      ReleaseSRWLockExclusive(&lock_);
    }
  }

  HANDLE port_ = nullptr;
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE ended_ = CONDITION_VARIABLE_INIT;
  std::vector<std::shared_ptr<FolderWatch::Dir>> dirs_;
};

}  // namespace

FolderWatch::FolderWatch() = default;
FolderWatch::~FolderWatch() { Stop(); }

bool FolderWatch::Start(const std::wstring& folder, DWORD what, std::function<void()> onChange) {
  Stop();
  Watcher* watcher = Watcher::Get();
  if (watcher == nullptr) return false;
  auto shared = std::make_shared<Shared>();
  shared->onChange = std::move(onChange);
  // The folder for what it holds; every folder above it (below the root) for its renaming or
  // deletion, which takes the folder away too.
  std::wstring path = TrimFolder(folder);
  DWORD filter = what;
  bool first = true;
  while (!path.empty()) {
    const std::wstring parent = ParentFolder(path);
    if (first || !parent.empty()) {
      auto dir = std::make_shared<Dir>();
      dir->shared = shared;
      dir->what = filter;
      dir->handle = CreateFileW(SystemForm(path).c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
      if (dir->handle != INVALID_HANDLE_VALUE && watcher->Add(dir)) {
        dirs_.push_back(std::move(dir));
      } else if (first) {
        const DWORD error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
        dir.reset();
        Stop();
        SetLastError(error);
        return false;
      }
    }
    first = false;
    // Above the folder only a subfolder renamed or deleted matters.
    filter = FILE_NOTIFY_CHANGE_DIR_NAME;
    path = parent;
  }
  shared_ = std::move(shared);
  return true;
}

void FolderWatch::Stop() {
  if (shared_ != nullptr) shared_->stopped = true;  // a call already posted does nothing
  if (!dirs_.empty()) Watcher::Get()->Remove(dirs_);
  dirs_.clear();  // their handles close with them
  shared_.reset();
}

}  // namespace quorvane
