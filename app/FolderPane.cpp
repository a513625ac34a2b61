#include "app/FolderPane.h"

#include <utility>

namespace quorvane {

Outcome FolderPane::SetRoot(const std::wstring& full) {
  if (full.empty()) return {GetLastError()};  // FullFolderPath's reason
  const std::wstring root = RootOf(full);
  if (root_.empty()) {
    root_ = root;  // whether it is there, the first read tells
  } else if (!SamePath(root, root_)) {
    return {ERROR_NOT_SAME_DEVICE};
  }
  return {};
}

Outcome FolderPane::SetPath(const std::wstring& folder, std::function<void()> shown) {
  const std::wstring full = FullFolderPath(folder);
  const Outcome set = SetRoot(full);
  if (set) Go({full, false, std::move(shown)});
  return set;
}

Outcome FolderPane::SetListing(const std::wstring& folder, const NameList& subfolders) {
  const std::wstring full = FullFolderPath(folder);
  if (const Outcome set = SetRoot(full); !set) return set;
  reads_.Cancel();
  waiting_.reset();
  Show(services_.reader->Exists(full) ? ChainWith(full, root_, &subfolders) : services_.reader->Chain(full, root_));
  if (readAgain_) Refresh();
  return {};
}

void FolderPane::WatchAhead(const std::wstring& folder) {
  const std::wstring trimmed = TrimFolder(folder);
  if (!following_) {
    ahead_ = {};
  } else if (ahead_.watch == nullptr || !SamePath(ahead_.folder, trimmed)) {
    ahead_ = StartWatch(trimmed);
  }
  aheadArmed_ = ahead_.watch != nullptr && ahead_.watch->Armed();
}

void FolderPane::Open(size_t index) {
  if (index >= entries_.size()) return;
  // The line's folder may have been deleted since it was listed: the read then stops at the
  // nearest folder still there, and never above the root.
  Go({entries_[index].path, true, {}});
}

// Reads a folder to show it. While the pane follows the disk, the folder is watched before it
// is read, so that nothing that changes in between is missed: the read waits until the watch
// is armed, or until it is refused, and is then made unwatched. The current folder, watched
// and armed already, is read at once.
void FolderPane::Go(Wanted wanted) {
  reads_.Cancel();  // an older read never overrides this
  waiting_.reset();
  refused_.clear();
  wanted.folder = TrimFolder(wanted.folder);
  const bool watched = watch_.watch != nullptr && watch_.watch->Armed() && SamePath(watch_.folder, wanted.folder);
  if (!following_ || watched) {
    ahead_ = {};
    Read(std::move(wanted));
    return;
  }
  ahead_ = StartWatch(wanted.folder);
  aheadArmed_ = false;
  if (ahead_.watch == nullptr) {
    Read(std::move(wanted));
    return;
  }
  waiting_ = std::move(wanted);
}

FolderPane::Held FolderPane::StartWatch(const std::wstring& folder) {
  const unsigned serial = ++serials_;
  std::unique_ptr<Watch> watch =
      services_.watcher->Start(folder, [this, serial](WatchEvent event) { OnWatchEvent(serial, event); });
  return {std::move(watch), TrimFolder(folder), serial};
}

void FolderPane::OnWatchEvent(unsigned serial, WatchEvent event) {
  if (ahead_.watch != nullptr && serial == ahead_.serial) {
    // Ahead of a read: armed, the read can be made; refused, it is made unwatched, and the
    // folder it arrives at is watched then. A change while the read is out reads again.
    if (event == WatchEvent::kChanged) {
      Refresh();
      return;
    }
    if (event == WatchEvent::kArmed) {
      aheadArmed_ = true;
    } else {
      refused_ = ahead_.folder;
      ahead_ = {};
    }
    if (waiting_) ReadWaiting();
    return;
  }
  switch (event) {
    case WatchEvent::kArmed:
      if (readWhenArmed_) Refresh();
      readWhenArmed_ = false;
      return;
    case WatchEvent::kChanged:
      Refresh();
      return;
    case WatchEvent::kFailed:
      // Not followed any more, and not watched again until the pane starts following anew
      // (its page shown, Quorvane activated): a share that fails each watch would otherwise
      // be read again and again. Read once now: the folder itself may be what went.
      watch_ = {};
      unwatchable_ = true;
      Refresh();
      return;
    case WatchEvent::kDeletePending: {
      // Deleted, and kept only by open handles, the watch's among them: let go of it, and move
      // up as from a folder that has vanished, even if someone else's handle still keeps it.
      watch_ = {};
      if (waiting_) return;  // the pane is on its way elsewhere
      const std::wstring parent = ParentFolder(current_);
      Read({parent.empty() ? root_ : parent, false, {}});
      return;
    }
  }
}

void FolderPane::ReadWaiting() {
  Wanted wanted = std::move(*waiting_);
  waiting_.reset();
  Read(std::move(wanted));
}

void FolderPane::Follow(bool follow) {
  if (follow == following_) return;
  following_ = follow;
  unwatchable_ = false;
  readWhenArmed_ = false;
  refused_.clear();
  if (!follow) {
    watch_ = {};
    ahead_ = {};
    if (waiting_) ReadWaiting();  // read unwatched, rather than never
    return;
  }
  if (current_.empty()) return;
  watch_ = StartWatch(current_);
  unwatchable_ = watch_.watch == nullptr;
  // Read again once watched, for what changed while nothing watched; a folder that cannot be
  // watched, each time.
  readWhenArmed_ = true;
  if (unwatchable_) Refresh();
}

void FolderPane::Refresh() {
  if (current_.empty() || waiting_) return;  // a read is to come anyway
  if (reads_.Busy()) {
    readAgain_ = true;  // once this read is in: it may have missed the change
    return;
  }
  Read({current_, false, {}});
}

void FolderPane::Read(Wanted wanted) {
  readAgain_ = false;
  const FolderReader* reader = services_.reader;
  // Whether the root is there is known once a folder under it has been shown.
  const bool rootUnknown = current_.empty();
  auto work = [reader, folder = wanted.folder, root = root_, rootUnknown](const Stale&) {
    std::optional<FolderChain> chain;
    if (!rootUnknown || reader->Exists(root)) chain = reader->Chain(folder, root);
    return chain;
  };
  auto apply = [this, wanted = std::move(wanted)](std::optional<FolderChain>& chain) {
    if (chain) {
      Opened(*chain, wanted);
    } else {
      // The root the pane was to keep to is not there: the pane stays empty, free to take
      // another.
      root_.clear();
      ahead_ = {};
      if (onOpenFailed) onOpenFailed(wanted.folder, ERROR_PATH_NOT_FOUND);
    }
    if (readAgain_) Refresh();
  };
  reads_.Start(work, apply);
}

void FolderPane::Opened(FolderChain& chain, const Wanted& wanted) {
  const bool there = SamePath(chain.current, wanted.folder);  // the same path, whatever its capitals
  if (wanted.opening && there && chain.error != ERROR_SUCCESS) {
    // Cannot be read: the pane stays where it was, its highlight back on the current folder.
    ahead_ = {};
    if (onShown) onShown(true);
    if (onOpenFailed) onOpenFailed(wanted.folder, chain.error);
    return;
  }
  // The current folder opened again is read again, as a change on disk would have it read:
  // the lines in common stay, and with them the view and the file list's highlight.
  const bool moved = !SamePath(chain.current, current_);
  Show(std::move(chain));
  if (moved && onChange) onChange();
  if (!moved && onContentChange) onContentChange();
  if (wanted.shown) wanted.shown();
}

void FolderPane::Show(FolderChain chain) {
  const bool moved = !SamePath(chain.current, current_);
  const bool same = !moved && chain.entries == entries_;
  current_ = std::move(chain.current);
  entries_ = std::move(chain.entries);
  currentIndex_ = chain.currentIndex;
  error_ = chain.error;
  if (moved) unwatchable_ = !refused_.empty() && SamePath(refused_, current_);
  if (following_) {
    // The watch started ahead of the read, when it is on the folder the read arrived at (read
    // again once armed, when it was not yet as the read began); otherwise (the folder wanted
    // had gone, and an ancestor is shown) one started now, and the folder read again once it
    // is armed, for what changed between.
    if (ahead_.watch != nullptr && SamePath(ahead_.folder, current_)) {
      watch_ = std::move(ahead_);
      readWhenArmed_ = !aheadArmed_;
    }
    ahead_ = {};
    if (!unwatchable_ && (watch_.watch == nullptr || !SamePath(watch_.folder, current_))) {
      watch_ = StartWatch(current_);
      unwatchable_ = watch_.watch == nullptr;
      readWhenArmed_ = !unwatchable_;
    }
  }
  if (!same && onShown) onShown(moved);
}

}  // namespace quorvane
