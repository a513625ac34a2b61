// The folder list of a picking pane, without a window: the folders from the root down to the
// current one and then the current one's subfolders; opening a folder, read on a worker; and,
// while the pane follows the disk, its watch, which reads the folder again when it changes and
// moves the pane up when the folder vanishes. Its control (ui/FolderList) only draws it and
// reports the user's opening of a line.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/FolderListing.h"
#include "app/FolderWatch.h"
#include "app/Panes.h"
#include "services/Jobs.h"
#include "services/WinError.h"

namespace quorvane {

// What a pane reads the disk with, watches it with and works in the background with: the
// system's, or a test's fakes.
struct PaneServices {
  const FolderReader* reader = &DiskReader();
  Watcher* watcher = &SystemWatcher();
  Jobs* jobs = &WorkerJobs();
};

class FolderPane : public FolderListView {
 public:
  explicit FolderPane(PaneServices services = {}) : services_(services), reads_(*services.jobs) {}
  FolderPane(const FolderPane&) = delete;
  FolderPane& operator=(const FolderPane&) = delete;

  // Makes `folder` current (or its nearest existing ancestor), read in the background, once it
  // is watched while the pane follows the disk; then raises onChange, or onContentChange when
  // it was current already, and runs `shown`, unless the pane is set or opened again first.
  // The first folder set fixes the root the pane keeps to; a folder under another root is
  // refused (ERROR_NOT_SAME_DEVICE), as is a path that cannot be made full: the pane stays as
  // it was. A root that turns out not to be there is told through onOpenFailed.
  Outcome SetPath(const std::wstring& folder, std::function<void()> shown = {});
  // As SetPath, showing `subfolders` (read from `folder` by the caller) at once, without
  // reading again, and without raising onChange: the caller fills the file list from the same
  // read.
  Outcome SetListing(const std::wstring& folder, const NameList& subfolders);

  // The current folder, without trailing "\" unless it is a root; empty before SetPath.
  std::wstring Path() const override { return current_; }
  // What the list shows, line by line, and the current folder's line.
  const std::vector<FolderEntry>& Entries() const { return entries_; }
  size_t CurrentIndex() const { return currentIndex_; }
  // Why the current folder's subfolders could not all be listed; ERROR_SUCCESS when they were.
  DWORD ListingError() const { return error_; }

  // Makes the folder on line `index` current, as a double-click on it does, once it has been
  // read; until then the pane shows the folder it showed. The current folder's own line reads
  // it again, as a change on disk would: it is not a change of folder.
  void Open(size_t index);

  // Following the disk: while it does, the pane's folder is watched, and read again when it
  // changes. Starting reads it again once it is watched, so that nothing is missed; a folder
  // that cannot be watched is read again each time it starts.
  // While it does not follow, the pane holds no handle on any folder.
  void Follow(bool follow);
  bool Following() const { return following_; }
  // Whether a watch is held now (false while not following, and for a folder that cannot be
  // watched).
  bool Watched() const { return watch_.watch != nullptr; }
  // Reads the current folder again, keeping what is shown until the new lines come.
  void Refresh();
  // Watches a folder about to be read by the caller and shown with SetListing, while the pane
  // follows the disk. A watch already started ahead on that folder is kept: whether it is
  // armed now, just before the caller's read, tells whether the lines shown are read again
  // once it is, for what changed between.
  void WatchAhead(const std::wstring& folder);

  std::function<void()> onChange;  // another folder was made current, set or opened (DirN_Change)
  // The current folder was read again and is still current: its files may have changed.
  std::function<void()> onContentChange;
  // A folder the user opened could not be read: its path, and the system's reason.
  std::function<void(const std::wstring& folder, DWORD error)> onOpenFailed;
  // The lines changed, for the control: `moved` when the current folder is another one (the
  // highlight goes to it), else the same folder's lines read again (the view stays).
  std::function<void(bool moved)> onShown;

 private:
  // A folder to be read and shown.
  struct Wanted {
    std::wstring folder;
    bool opening = false;         // the user's: a folder that cannot be read is told
    std::function<void()> shown;  // once it is shown
  };
  // A watch held, and the folder it is on.
  struct Held {
    std::unique_ptr<Watch> watch;
    std::wstring folder;
    unsigned serial = 0;  // tells its events from those of the pane's other watch
  };

  Outcome SetRoot(const std::wstring& full);  // `full` empty: FullFolderPath failed
  void Go(Wanted wanted);
  Held StartWatch(const std::wstring& folder);
  void OnWatchEvent(unsigned serial, WatchEvent event);
  void ReadWaiting();
  void Read(Wanted wanted);
  void Opened(FolderChain& chain, const Wanted& wanted);
  void Show(FolderChain chain);

  PaneServices services_;
  JobLane reads_;
  std::wstring root_;
  std::wstring current_;
  std::vector<FolderEntry> entries_;
  size_t currentIndex_ = 0;
  DWORD error_ = ERROR_SUCCESS;
  bool following_ = false;
  bool unwatchable_ = false;    // its watch failed: read again only when following starts anew
  bool readAgain_ = false;      // a change came while the folder was being read
  bool readWhenArmed_ = false;  // the current folder was read before its watch was armed
  Held watch_;               // while following: on the current folder, but between a move and the next read
  Held ahead_;               // ahead of a read, until the read is in
  bool aheadArmed_ = false;  // ahead_ was armed when the read of its folder began
  std::wstring refused_;     // refused a watch ahead of its read: not asked again when read
  std::optional<Wanted> waiting_;  // the read that waits for ahead_ to be armed
  unsigned serials_ = 0;
};

}  // namespace quorvane
