#include "app/FolderWatch.h"

#include <algorithm>
#include <mutex>

#include "paths/PathRules.h"
#include "services/Jobs.h"
#include "services/Lifetime.h"
#include "services/ResultWindow.h"

namespace quorvane {
namespace {

// A burst of changes (a tool writing its files, a folder being copied in) is taken as one
// event this long after its first change.
constexpr ULONGLONG kSettleMs = 150;

}  // namespace

// What a watch shares with its events and with the watcher's thread.
struct WatchLoop::Shared {
  std::function<void(WatchEvent)> onEvent;  // the interface thread's
  Lifetime::Token owner;                    // its Handle's: ended as it is let go of
  std::atomic<bool> armed{false};
};

// One folder: a directory handle read for changes, its reads ending on the watcher's
// completion port. A change ends the read, and the folder is not watched again until the burst
// it began has settled, kSettleMs later: only then is it watched again and its event told, so
// that a burst of thousands of changes costs one event and does not keep the system busy
// re-arming the watch. All of it is the watcher's thread's.
struct WatchLoop::Dir {
  Dir(WatchSystem& system, std::shared_ptr<Shared> watch, bool shown)
      : system(system), watch(std::move(watch)), shown(shown),
        what(shown ? FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_FILE_NAME : FILE_NOTIFY_CHANGE_DIR_NAME) {}
  ~Dir() { Close(); }
  Dir(const Dir&) = delete;
  Dir& operator=(const Dir&) = delete;

  bool Arm() {
    overlapped = OVERLAPPED{};
    reading = system.Read(handle, buffer, sizeof buffer, what, &overlapped);
    return reading;
  }
  void Close() {
    if (handle != nullptr) system.Close(handle);
    handle = nullptr;
  }

  WatchSystem& system;
  std::shared_ptr<Shared> watch;
  HANDLE handle = nullptr;
  bool shown;  // the watched folder itself, not the one above it
  DWORD what;
  OVERLAPPED overlapped{};
  alignas(DWORD) BYTE buffer[4096];  // only the fact of a change counts, not its names
  bool reading = false;              // a read is out: its end is still to come to the port
  ULONGLONG settledAt = 0;           // when a burst begun is over; 0 when none is
  bool stopping = false;             // let go of: goes once its read has ended
  bool done = false;                 // failed: not watched again
};

class WatchLoop::Handle final : public Watch {
 public:
  Handle(WatchLoop& loop, std::shared_ptr<Shared> watch) : loop_(loop), watch_(std::move(watch)) {
    watch_->owner = lifetime_.token();
  }
  ~Handle() override {
    lifetime_.End();  // an event already posted does nothing
    // Should the thread not be told, it lets go at its next turn: the next change in any
    // watched folder, or the next watch started or let go of.
    loop_.Ask({watch_, {}});
  }
  bool Armed() const override { return watch_->armed; }

 private:
  WatchLoop& loop_;
  std::shared_ptr<Shared> watch_;
  Lifetime lifetime_;
};

WatchLoop::WatchLoop(WatchSystem& system) : system_(system) {}

WatchLoop::~WatchLoop() = default;

std::unique_ptr<Watch> WatchLoop::Start(const std::wstring& folder, std::function<void(WatchEvent)> onEvent) {
  auto watch = std::make_shared<Shared>();
  watch->onEvent = std::move(onEvent);
  auto handle = std::make_unique<Handle>(*this, watch);
  BackgroundWorkBegan();  // until its first event is on its way: the panes read after it
  // Not asked, it is left for the thread's next turn, which sees it let go of and only counts
  // it done.
  return Ask({watch, folder}) ? std::move(handle) : nullptr;
}

bool WatchLoop::Ask(Request request) {
  {
    const std::scoped_lock hold(lock_);
    requests_.push_back(std::move(request));
  }
  return system_.Wake();
}

void WatchLoop::Tell(const std::shared_ptr<Shared>& watch, WatchEvent event) {
  PostResult([watch, event] { if (watch->onEvent) watch->onEvent(event); }, watch->owner);
}

DWORD WatchLoop::Turn(OVERLAPPED* overlapped, DWORD error, ULONGLONG now) {
  if (overlapped != nullptr) {
    const auto ended = std::find_if(dirs_.begin(), dirs_.end(),
                                    [overlapped](const auto& dir) { return &dir->overlapped == overlapped; });
    if (ended != dirs_.end()) Ended(**ended, error, now);
  }
  for (;;) {
    Request request;
    {
      const std::scoped_lock hold(lock_);
      if (requests_.empty()) break;
      request = std::move(requests_.front());
      requests_.pop_front();
    }
    if (request.folder.empty())
      Stop(request.watch);
    else
      Begin(request);
  }
  DWORD wait = INFINITE;
  for (const auto& dir : dirs_) {
    if (dir->stopping || dir->done || dir->settledAt == 0) continue;
    if (dir->settledAt > now) {
      wait = std::min<DWORD>(wait, static_cast<DWORD>(dir->settledAt - now));
      continue;
    }
    // Settled: watched again before its event is told, so that no later change is missed.
    dir->settledAt = 0;
    if ((dir->shown && system_.DeletePending(dir->handle)) || !dir->Arm())
      LetGo(*dir);
    else
      Tell(dir->watch, WatchEvent::kChanged);
  }
  return wait;
}

void WatchLoop::Begin(const Request& request) {
  const std::shared_ptr<Shared>& watch = request.watch;
  // The folder for what it holds, and the folder above it for the folder itself renamed or
  // deleted. The folders further up are not watched: while a handle is open on a folder, NTFS
  // refuses to rename any folder above it (what Windows does, though no page of its
  // documentation says so; the very reason the panes let go of their folders while Quorvane
  // is not active), so only the watched folder's own entry can change, which its parent's
  // watch sees. Watching every folder up to the root would cost a handle and a read held out
  // for each, all opened again at every change of folder, for changes that cannot come. On a
  // share served by another system, whose own users might rename a folder further up, the
  // pane finds out at its next read: the next change in its folder, or Quorvane's next
  // activation.
  const std::wstring folder = TrimFolder(request.folder);
  const std::wstring parent = ParentFolder(folder);
  WatchEvent told = WatchEvent::kFailed;
  if (watch->owner.Alive() && Add(watch, folder, true)) {
    if (!parent.empty() && watch->owner.Alive()) Add(watch, parent, false);  // left out when it cannot be
    told = WatchEvent::kArmed;
    watch->armed = true;
  }
  Tell(watch, told);
  BackgroundWorkEnded();
}

bool WatchLoop::Add(const std::shared_ptr<Shared>& watch, const std::wstring& folder, bool shown) {
  auto dir = std::make_unique<Dir>(system_, watch, shown);
  dir->handle = system_.Open(folder);
  if (dir->handle == nullptr || !dir->Arm()) return false;
  dirs_.push_back(std::move(dir));
  return true;
}

void WatchLoop::Stop(const std::shared_ptr<Shared>& watch) {
  // A folder whose read is out goes once that read has ended: until then the system may still
  // write into its buffer and OVERLAPPED.
  for (auto dir = dirs_.begin(); dir != dirs_.end();) {
    if ((*dir)->watch != watch) {
      ++dir;
    } else if ((*dir)->reading) {
      (*dir)->stopping = true;
      system_.Cancel((*dir)->handle, &(*dir)->overlapped);
      ++dir;
    } else {
      dir = dirs_.erase(dir);
    }
  }
}

void WatchLoop::Ended(Dir& dir, DWORD error, ULONGLONG now) {
  dir.reading = false;
  if (dir.stopping) {
    std::erase_if(dirs_, [&dir](const auto& d) { return d.get() == &dir; });
  } else if (error != ERROR_SUCCESS && error != ERROR_NOTIFY_ENUM_DIR) {
    // Not a change: watched again, it would fail again, over and over. More changes than the
    // buffer holds end the read with ERROR_NOTIFY_ENUM_DIR on Windows, with nothing in it
    // under Wine: a change either way.
    LetGo(dir);
  } else if (dir.settledAt == 0) {
    dir.settledAt = now + kSettleMs;
  }
}

void WatchLoop::LetGo(Dir& dir) {
  // The folder cannot be followed any more, and its handle goes at once, since a deleted
  // folder lasts as long as one is open. The watched folder tells why; the folder above it is
  // left out, after one change, since the folder below may have gone with it.
  dir.done = true;
  const bool pending = system_.DeletePending(dir.handle);
  dir.Close();
  Tell(dir.watch, !dir.shown ? WatchEvent::kChanged : pending ? WatchEvent::kDeletePending : WatchEvent::kFailed);
}

namespace {

// The system itself, and the one thread that turns the loop for every watch of the process,
// made with the first: it waits on one completion port for the watched folders' reads to end
// and for their bursts to settle. A thread-pool wait would take two threads (the pool's
// waiting thread and a worker) for the same.
class SystemCalls final : public WatchSystem {
 public:
  WatchLoop& Loop() { return loop_; }

  HANDLE Open(const std::wstring& folder) override {
    UniqueFile file(CreateFileW(SystemForm(folder).c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    if (!file) return nullptr;
    return CreateIoCompletionPort(file.get(), port_.get(), 0, 0) != nullptr ? file.release() : nullptr;
  }
  void Close(HANDLE folder) override { CloseHandle(folder); }
  bool Read(HANDLE folder, void* buffer, DWORD size, DWORD what, OVERLAPPED* overlapped) override {
    return ReadDirectoryChangesW(folder, buffer, size, FALSE, what, nullptr, overlapped, nullptr) != FALSE;
  }
  // When it finds no read to cancel, the read has just ended and its end is on its way.
  void Cancel(HANDLE folder, OVERLAPPED* overlapped) override { CancelIoEx(folder, overlapped); }
  // On Windows without POSIX delete semantics (7, 8.1, FAT and exFAT, most shares), a
  // deleted folder stays, unreadable, until the last handle on it closes.
  bool DeletePending(HANDLE folder) override {
    FILE_STANDARD_INFO standard{};
    return GetFileInformationByHandleEx(folder, FileStandardInfo, &standard, sizeof standard) &&
           standard.DeletePending;
  }
  // The interface thread's: the port and the thread are made with the first watch.
  bool Wake() override {
    if (!port_) port_.reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    if (!port_) return false;
    if (!thread_)
      thread_.reset(CreateThread(nullptr, 64 * 1024, &SystemCalls::Run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    return thread_ && PostQueuedCompletionStatus(port_.get(), 0, 0, nullptr) != FALSE;
  }

 private:
  static DWORD WINAPI Run(void* self) {
    auto& system = *static_cast<SystemCalls*>(self);
    DWORD wait = INFINITE;
    for (;;) {
      DWORD bytes = 0;
      ULONG_PTR key = 0;
      OVERLAPPED* overlapped = nullptr;
      const bool ok = GetQueuedCompletionStatus(system.port_.get(), &bytes, &key, &overlapped, wait) != FALSE;
      wait = system.loop_.Turn(overlapped, ok ? ERROR_SUCCESS : GetLastError(), GetTickCount64());
    }
  }

  UniqueHandle port_;
  UniqueHandle thread_;  // runs as long as the process
  WatchLoop loop_{*this};
};

}  // namespace

Watcher& SystemWatcher() {
  // Lives as long as the process: its thread waits on it to the end.
  static SystemCalls* const system = new SystemCalls;
  return system->Loop();
}

}  // namespace quorvane
