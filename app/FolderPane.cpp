#include "app/FolderPane.h"

#include <utility>

namespace quorvane {

bool FolderPane::SetRoot(const std::wstring& full) {
  const std::wstring root = RootOf(full);
  if (root_.empty()) {
    if (!services_.reader->Exists(root)) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return false;
    }
    root_ = root;
  } else if (!SamePath(root, root_)) {
    SetLastError(ERROR_NOT_SAME_DEVICE);
    return false;
  }
  return true;
}

bool FolderPane::SetPath(const std::wstring& folder) {
  const std::wstring full = FullFolderPath(folder);
  if (full.empty() || !SetRoot(full)) return false;
  reads_.Cancel();  // an older read never overrides this
  WatchAhead(full);
  Show(services_.reader->Chain(full, root_));
  if (onChange) onChange();
  if (readAgain_) Refresh();
  return true;
}

bool FolderPane::SetListing(const std::wstring& folder, const NameList& subfolders) {
  const std::wstring full = FullFolderPath(folder);
  if (full.empty() || !SetRoot(full)) return false;
  reads_.Cancel();
  Show(services_.reader->Exists(full) ? ChainWith(full, root_, &subfolders) : services_.reader->Chain(full, root_));
  if (readAgain_) Refresh();
  return true;
}

void FolderPane::WatchAhead(const std::wstring& folder) {
  opening_.reset();
  if (!following_) return;
  opening_ = StartWatch(folder);
  openingFolder_ = TrimFolder(folder);
}

std::unique_ptr<Watch> FolderPane::StartWatch(const std::wstring& folder) {
  return services_.watcher->Start(folder, [this](WatchEvent event) { OnWatchEvent(event); });
}

void FolderPane::OnWatchEvent(WatchEvent event) {
  switch (event) {
    case WatchEvent::kChanged:
      Refresh();
      return;
    case WatchEvent::kFailed:
      // Not followed any more, and not watched again until the pane starts following anew
      // (its page shown, Quorvane activated): a share that fails each watch would otherwise
      // be read again and again. Read once now: the folder itself may be what went.
      watch_.reset();
      unwatchable_ = true;
      Refresh();
      return;
    case WatchEvent::kDeletePending: {
      // Deleted, and kept only by open handles, the watch's among them: let go of it, and move
      // up as from a folder that has vanished, even if someone else's handle still keeps it.
      watch_.reset();
      const std::wstring parent = ParentFolder(current_);
      Read(parent.empty() ? root_ : parent, false);
      return;
    }
  }
}

void FolderPane::Open(size_t index) {
  if (index >= entries_.size()) return;
  // Watched before it is read, so that nothing that changes in between is missed. The line's
  // folder may have been deleted since it was listed: the read then stops at the nearest
  // folder still there, and never above the root.
  const std::wstring wanted = entries_[index].path;
  WatchAhead(wanted);
  Read(wanted, true);
}

void FolderPane::Follow(bool follow) {
  if (follow == following_) return;
  following_ = follow;
  unwatchable_ = false;
  if (!follow) {
    watch_.reset();
    opening_.reset();
    missed_ = true;
    return;
  }
  if (current_.empty()) return;
  watch_ = StartWatch(current_);
  watchedFolder_ = current_;
  unwatchable_ = watch_ == nullptr;
  // What changed while nothing watched; and a folder that cannot be watched, each time.
  if (missed_ || unwatchable_) Refresh();
  missed_ = false;
}

void FolderPane::Refresh() {
  if (current_.empty()) return;
  if (reads_.Busy()) {
    readAgain_ = true;  // once this read is in: it may have missed the change
    return;
  }
  Read(current_, false);
}

void FolderPane::Read(const std::wstring& wanted, bool opening) {
  readAgain_ = false;
  const FolderReader* reader = services_.reader;
  auto work = [reader, wanted, root = root_](const Stale&) { return reader->Chain(wanted, root); };
  auto apply = [this, wanted, opening](FolderChain& chain) {
    Opened(chain, wanted, opening);
    if (readAgain_) Refresh();
  };
  reads_.StartOrRunHere(work, apply);
}

void FolderPane::Opened(FolderChain& chain, const std::wstring& wanted, bool opening) {
  const bool there = SamePath(chain.current, TrimFolder(wanted));  // the same path, whatever its capitals
  if (opening && there && chain.error != ERROR_SUCCESS) {
    // Cannot be read: the pane stays where it was, its highlight back on the current folder.
    opening_.reset();
    if (onShown) onShown(true);
    if (onOpenFailed) onOpenFailed(TrimFolder(wanted), chain.error);
    return;
  }
  const bool moved = opening || !SamePath(chain.current, current_);
  Show(std::move(chain));
  if (moved && onChange) onChange();
  if (!moved && onContentChange) onContentChange();
}

void FolderPane::Show(FolderChain chain) {
  const bool moved = !SamePath(chain.current, current_);
  const bool same = !moved && chain.entries == entries_;
  current_ = std::move(chain.current);
  entries_ = std::move(chain.entries);
  currentIndex_ = chain.currentIndex;
  error_ = chain.error;
  if (moved) unwatchable_ = false;
  if (following_) {
    // The watch started ahead of the read, when it is on the folder the read arrived at;
    // otherwise (the folder wanted had gone, and an ancestor is shown) one started now, and
    // the folder read once more, for what changed between.
    if (opening_ != nullptr && SamePath(openingFolder_, current_)) {
      watch_ = std::move(opening_);
      watchedFolder_ = current_;
    }
    opening_.reset();
    if (!unwatchable_ && (watch_ == nullptr || !SamePath(watchedFolder_, current_))) {
      watch_ = StartWatch(current_);
      watchedFolder_ = current_;
      unwatchable_ = watch_ == nullptr;
      readAgain_ = readAgain_ || !unwatchable_;
    }
  }
  if (!same && onShown) onShown(moved);
}

}  // namespace quorvane
