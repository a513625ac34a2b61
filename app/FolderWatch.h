// Following a folder on disk through the system's change notifications: nothing runs while
// nothing changes. The panes watch through the Watcher interface, which tests replace.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "services/Handles.h"

namespace quorvane {

enum class WatchEvent {
  kArmed,          // the folder is watched: a read of it begun from now on misses nothing
  kChanged,        // files or subfolders of the folder changed, or the folder itself was
                   // renamed or deleted; or more changed than could be told one by one
  kFailed,         // the folder cannot be followed: it could not be watched at all (a file
                   // system without change notifications, a folder gone), or its watch failed
                   // later (a share that stopped answering)
  kDeletePending,  // the folder has been deleted, and lasts only while handles such as the
                   // watch's own are open on it
};

// One folder watched, with the folder above it. It stops when it ends, at once: whatever is
// still open is let go of on the watcher's own thread, and no event comes after that, not even
// one already on its way.
class Watch {
 public:
  virtual ~Watch() = default;
  // Whether it is armed by now, kArmed perhaps not yet told: a read begun now misses nothing.
  virtual bool Armed() const = 0;
};

class Watcher {
 public:
  virtual ~Watcher() = default;
  // Starts watching `folder` and returns at once: the folders are opened on the watcher's own
  // thread, never the caller's, since a share that stopped answering or a disk spinning up
  // would hold it. `onEvent` runs on the interface thread, through the results window: first
  // kArmed, or kFailed when the folder itself cannot be watched; then a moment after the first
  // change of a burst, one event for the burst. Null when no watch can be started at all (the
  // watcher's thread cannot be had).
  virtual std::unique_ptr<Watch> Start(const std::wstring& folder, std::function<void(WatchEvent)> onEvent) = 0;
};

// The system's change notifications, all read by one thread of the program's own.
Watcher& SystemWatcher();

// What the watcher's thread asks of the system, put apart so that tests can answer as only
// Windows does: Wine tells a burst that overflows a watch as a change with nothing in it,
// where Windows may end the read with ERROR_NOTIFY_ENUM_DIR; and Wine deletes a folder at
// once, where Windows keeps it, delete-pending, while a handle is open on it.
class WatchSystem {
 public:
  virtual ~WatchSystem() = default;
  // `folder` opened for its changes, its reads ending on the thread's completion port; null
  // when it cannot be.
  virtual HANDLE Open(const std::wstring& folder) = 0;
  virtual void Close(HANDLE folder) = 0;
  // A read of the changes `what` started; false when not.
  virtual bool Read(HANDLE folder, void* buffer, DWORD size, DWORD what, OVERLAPPED* overlapped) = 0;
  // Asks the read to end; its end still comes to the port, and only then are its buffer and
  // OVERLAPPED free.
  virtual void Cancel(HANDLE folder, OVERLAPPED* overlapped) = 0;
  // Whether the folder has been deleted and lasts only while handles are open on it.
  virtual bool DeletePending(HANDLE folder) = 0;
  // Tells the thread that watches were started or let go of; false when it cannot be told.
  virtual bool Wake() = 0;
};

// The watcher without its thread: what the thread does with each completion taken from the
// port (or with none, when it was woken or its wait ran out), turned by hand in tests.
class WatchLoop final : public Watcher {
 public:
  explicit WatchLoop(WatchSystem& system);
  ~WatchLoop() override;
  WatchLoop(const WatchLoop&) = delete;
  WatchLoop& operator=(const WatchLoop&) = delete;

  std::unique_ptr<Watch> Start(const std::wstring& folder, std::function<void(WatchEvent)> onEvent) override;
  // On the watcher's thread: the read that `overlapped` belongs to ended with `error`
  // (ERROR_SUCCESS for a change), when it is not null; then the watches started and let go of
  // since the last turn, then the bursts settled by `now`. Returns how long the thread may
  // wait for the next completion.
  DWORD Turn(OVERLAPPED* overlapped, DWORD error, ULONGLONG now);

 private:
  struct Shared;
  struct Dir;
  struct Request {
    std::shared_ptr<Shared> watch;
    std::wstring folder;  // empty: let go of it
  };
  class Handle;

  bool Ask(Request request);
  void Begin(const Request& request);
  bool Add(const std::shared_ptr<Shared>& watch, const std::wstring& folder, bool shown);
  void Stop(const std::shared_ptr<Shared>& watch);
  void Ended(Dir& dir, DWORD error, ULONGLONG now);
  void LetGo(Dir& dir);
  static void Tell(const std::shared_ptr<Shared>& watch, WatchEvent event);

  WatchSystem& system_;
  SlimLock lock_;                  // guards requests_, the one thing both threads touch
  std::deque<Request> requests_;
  std::vector<std::unique_ptr<Dir>> dirs_;  // the watcher's thread's alone
};

}  // namespace quorvane
