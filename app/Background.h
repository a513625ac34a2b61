// The lists' background work: reading a folder on a worker, watching it for changes, and
// handing what was found to the interface thread through the results window.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvane {

// Counts, while it lives, as work whose result a list has not applied yet.
class PendingWork {
 public:
  PendingWork();
  ~PendingWork();
  PendingWork(const PendingWork&) = delete;
  PendingWork& operator=(const PendingWork&) = delete;
};

// True when no list is reading a folder or putting a read in: what a list shows is then what
// it last read. Watches waiting for changes do not count.
bool ListsSettled();

// Runs `work` on a thread-pool worker; false when none can be had (nothing is run).
bool RunOnWorker(std::function<void()> work);

// Posts `apply` to the results window (PostResult), after `delayMs` when that is not zero.
// False when it cannot be posted.
bool PostToInterface(std::function<void()> apply, DWORD delayMs = 0);

// Watches a folder for files or subfolders being created, deleted or renamed in it, and the
// folders above it for being renamed or deleted, through the system's change notifications:
// nothing runs while nothing changes. A burst of changes comes back as one call of onChange
// on the interface thread, a moment after its first change. The watched folders are opened
// with full sharing, so that anyone can still rename or delete them.
class FolderWatch {
 public:
  FolderWatch();
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // `what` is FILE_NOTIFY_CHANGE_FILE_NAME and/or FILE_NOTIFY_CHANGE_DIR_NAME. Stops any
  // earlier watch. False when the folder itself cannot be watched (the reason is then in
  // GetLastError); folders above it that cannot be watched are left out.
  bool Start(const std::wstring& folder, DWORD what, std::function<void()> onChange);
  // No onChange comes after this returns, not even one already on its way.
  void Stop();
  bool Watching() const { return shared_ != nullptr; }

  struct Shared;
  struct Dir;

 private:
  std::shared_ptr<Shared> shared_;
  std::vector<std::shared_ptr<Dir>> dirs_;
};

}  // namespace quorvane
