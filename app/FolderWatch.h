// Following a folder on disk through the system's change notifications: nothing runs while
// nothing changes. The panes watch through the Watcher interface, which tests replace.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace quorvane {

enum class WatchEvent {
  kChanged,        // files or subfolders of the folder changed, or a folder above it was
                   // renamed or deleted; or more changed than could be told one by one
  kFailed,         // the folder can no longer be followed (a share that stopped answering)
  kDeletePending,  // the folder has been deleted, and lasts only while handles such as the
                   // watch's own are open on it
};

// One folder watched, with every folder above it up to and including its root; it stops when
// it ends, letting go of every folder at once, and no event comes after that, not even one
// already on its way.
class Watch {
 public:
  virtual ~Watch() = default;
};

class Watcher {
 public:
  virtual ~Watcher() = default;
  // Starts watching `folder`; `onEvent` runs on the interface thread, through the results
  // window, a moment after the first change of a burst (one event for the burst). Null, with
  // the reason in GetLastError, when the folder itself cannot be watched (a file system
  // without change notifications: ERROR_INVALID_FUNCTION, ERROR_NOT_SUPPORTED). Folders above
  // it that cannot be watched are left out.
  virtual std::unique_ptr<Watch> Start(const std::wstring& folder, std::function<void(WatchEvent)> onEvent) = 0;
};

// The system's change notifications, all read by one thread of the program's own.
Watcher& SystemWatcher();

}  // namespace quorvane
