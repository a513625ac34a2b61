#include "app/FolderWatch.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "paths/PathRules.h"
#include "services/Handles.h"
#include "services/ResultWindow.h"

namespace quorvane {
namespace {

// A burst of changes (a tool writing its files, a folder being copied in) is taken as one
// event this long after its first change.
constexpr ULONGLONG kSettleMs = 150;

// What a watch shares with the events it posts: read and written on the interface thread only.
struct Shared {
  std::function<void(WatchEvent)> onEvent;
  bool stopped = false;
};

void Tell(const std::shared_ptr<Shared>& shared, WatchEvent event) {
  PostResult([shared, event] {
    if (!shared->stopped && shared->onEvent) shared->onEvent(event);
  });
}

// Whether the folder open on `handle` has been deleted and is kept only by open handles: on
// Windows without POSIX delete semantics (7, 8.1, FAT and exFAT, most shares), a deleted
// folder stays, unreadable, until the last handle on it closes.
bool DeletePending(HANDLE handle) {
  FILE_STANDARD_INFO standard{};
  return GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) && standard.DeletePending;
}

// One folder: a directory handle read for changes, its reads ending on the watcher's
// completion port. A change ends the read, and the folder is not watched again until the burst
// it began has settled, kSettleMs later: only then is it watched again and its event told, so
// that a burst of thousands of changes costs one event and does not keep the system busy
// re-arming the watch. Everything but the handle is guarded by the watcher's lock.
struct Dir {
  std::shared_ptr<Shared> shared;
  UniqueFile handle;
  bool shown = false;                // the watched folder itself, not one above it
  DWORD what = 0;
  OVERLAPPED overlapped{};
  alignas(DWORD) BYTE buffer[4096];  // only the fact of a change counts, not its names
  bool reading = false;              // a read is out: its end is still to come to the port
  ULONGLONG settledAt = 0;           // when a burst begun is over; 0 when none is
  bool stopping = false;
  bool done = false;                 // failed: not watched again

  bool Arm() {
    overlapped = OVERLAPPED{};
    reading = ReadDirectoryChangesW(handle.get(), buffer, sizeof buffer, FALSE, what, nullptr, &overlapped, nullptr) != 0;
    return reading;
  }

  // The folder cannot be followed any more, and its handle goes at once, since a deleted
  // folder lasts as long as one is open. The watched folder tells why; a folder above it is
  // left out, after one change, since the folder below may have gone with it.
  void LetGo() {
    done = true;
    const bool pending = DeletePending(handle.get());
    handle.reset();
    Tell(shared, !shown ? WatchEvent::kChanged : pending ? WatchEvent::kDeletePending : WatchEvent::kFailed);
  }
};

class Port;

class PortWatch final : public Watch {
 public:
  PortWatch(Port& port, std::shared_ptr<Shared> shared, std::vector<std::shared_ptr<Dir>> dirs)
      : port_(port), shared_(std::move(shared)), dirs_(std::move(dirs)) {}
  ~PortWatch() override;

 private:
  Port& port_;
  std::shared_ptr<Shared> shared_;
  std::vector<std::shared_ptr<Dir>> dirs_;
};

// One thread for every watch of the process, made with the first: it waits on one completion
// port for the watched folders' reads to end and for their bursts to settle. A thread-pool
// wait would take two threads (the pool's waiting thread and a worker) for the same.
class Port final : public Watcher {
 public:
  std::unique_ptr<Watch> Start(const std::wstring& folder, std::function<void(WatchEvent)> onEvent) override {
    if (!Begin()) return nullptr;
    auto shared = std::make_shared<Shared>();
    shared->onEvent = std::move(onEvent);
    // The folder for what it holds; every folder above it, the root included, for a subfolder
    // renamed or deleted, which takes the folder away too.
    std::vector<std::shared_ptr<Dir>> dirs;
    std::wstring path = TrimFolder(folder);
    for (bool shown = true; !path.empty(); shown = false, path = ParentFolder(path)) {
      auto dir = std::make_shared<Dir>();
      dir->shared = shared;
      dir->shown = shown;
      dir->what = shown ? FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_FILE_NAME : FILE_NOTIFY_CHANGE_DIR_NAME;
      dir->handle.reset(CreateFileW(SystemForm(path).c_str(), FILE_LIST_DIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
      if (dir->handle && Add(dir)) {
        dirs.push_back(std::move(dir));
      } else if (shown) {
        const DWORD error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
        dir.reset();
        SetLastError(error);
        return nullptr;
      }
    }
    return std::make_unique<PortWatch>(*this, std::move(shared), std::move(dirs));
  }

  // No read of these folders is out once this returns, and none is started again.
  void Remove(const std::vector<std::shared_ptr<Dir>>& dirs) {
    AcquireSRWLockExclusive(&lock_);
    for (const auto& dir : dirs) {
      dir->stopping = true;
      if (dir->reading) CancelIoEx(dir->handle.get(), &dir->overlapped);
    }
    // The cancelled reads end on the port like any other: the buffers are free once they have.
    for (const auto& dir : dirs)
      while (dir->reading) SleepConditionVariableSRW(&ended_, &lock_, INFINITE, 0);
    std::erase_if(dirs_, [](const auto& dir) { return dir->stopping; });
    ReleaseSRWLockExclusive(&lock_);
  }

 private:
  // The port and its thread, made once; false (the reason in GetLastError) when they cannot be.
  bool Begin() {
    if (thread_) return true;
    if (!port_) port_.reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    if (!port_) return false;
    thread_.reset(CreateThread(nullptr, 64 * 1024, &Port::Run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    return static_cast<bool>(thread_);
  }

  // Takes the folder's reads onto the port and starts the first; false when they cannot be.
  bool Add(const std::shared_ptr<Dir>& dir) {
    if (CreateIoCompletionPort(dir->handle.get(), port_.get(), reinterpret_cast<ULONG_PTR>(dir.get()), 0) == nullptr)
      return false;
    AcquireSRWLockExclusive(&lock_);
    const bool armed = dir->Arm();
    if (armed) dirs_.push_back(dir);
    ReleaseSRWLockExclusive(&lock_);
    return armed;
  }

  static DWORD WINAPI Run(void* self) {
    static_cast<Port*>(self)->Loop();
    return 0;
  }

  void Loop() {
    DWORD wait = INFINITE;
    for (;;) {
      DWORD bytes = 0;
      ULONG_PTR key = 0;
      OVERLAPPED* overlapped = nullptr;
      const bool ok = GetQueuedCompletionStatus(port_.get(), &bytes, &key, &overlapped, wait) != FALSE;
      const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
      AcquireSRWLockExclusive(&lock_);
      const ULONGLONG now = GetTickCount64();
      if (overlapped != nullptr) {
        // A change (or more changes than the buffer holds, which ends the read with nothing
        // in it), a failure, the folder gone, or a stop: each ends the read.
        auto* dir = reinterpret_cast<Dir*>(key);
        dir->reading = false;
        if (dir->stopping)
          WakeAllConditionVariable(&ended_);
        else if (!ok && error != ERROR_NOTIFY_ENUM_DIR)
          dir->LetGo();  // not a change: watched again, it would fail again, over and over
        else if (dir->settledAt == 0)
          dir->settledAt = now + kSettleMs;
      }
      wait = INFINITE;
      for (const auto& dir : dirs_) {
        if (dir->stopping || dir->done || dir->settledAt == 0) continue;
        if (dir->settledAt > now) {
          wait = std::min<DWORD>(wait, static_cast<DWORD>(dir->settledAt - now));
          continue;
        }
        // Settled: watched again before its event is told, so that no later change is missed.
        dir->settledAt = 0;
        if ((dir->shown && DeletePending(dir->handle.get())) || !dir->Arm())
          dir->LetGo();
        else
          Tell(dir->shared, WatchEvent::kChanged);
      }
      ReleaseSRWLockExclusive(&lock_);
    }
  }

  UniqueHandle port_;
  UniqueHandle thread_;  // runs as long as the process
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE ended_ = CONDITION_VARIABLE_INIT;
  std::vector<std::shared_ptr<Dir>> dirs_;
};

PortWatch::~PortWatch() {
  shared_->stopped = true;  // an event already posted does nothing
  port_.Remove(dirs_);      // their handles close with them
}

}  // namespace

Watcher& SystemWatcher() {
  // Lives as long as the process: its thread waits on it to the end.
  static Port* const port = new Port;
  return *port;
}

}  // namespace quorvane
