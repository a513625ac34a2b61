#include "app/FilePane.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace quorvane {

void FilePane::SetPath(const std::wstring& folder) {
  if (Reset(folder)) Read();
}

void FilePane::SetListing(const std::wstring& folder, std::vector<std::wstring> names, DWORD error) {
  Reset(folder);
  target_ = std::move(names);
  finishing_ = true;
  error_ = error;
  if (onEdits) onEdits();
}

bool FilePane::Reset(const std::wstring& folder) {
  reads_.Cancel();
  readAgain_ = false;
  done_.clear();
  rest_.clear();
  target_.clear();
  next_ = 0;
  clear_ = true;
  finishing_ = false;
  error_ = ERROR_SUCCESS;
  chosen_.clear();
  pending_.clear();
  missing_ = nullptr;
  std::wstring full = FullFolderPath(folder);
  if (full.empty()) error_ = GetLastError();
  path_ = full.empty() ? TrimFolder(folder) : std::move(full);
  if (onEdits) onEdits();  // the old names go now
  return error_ == ERROR_SUCCESS;
}

void FilePane::Refresh() {
  if (!path_.empty()) Read();
}

void FilePane::Read() {
  if (reads_.Busy()) {
    readAgain_ = true;  // once this read is in: it may have missed the change
    return;
  }
  readAgain_ = false;
  const FolderReader* reader = services_.reader;
  auto work = [reader, folder = path_, pattern = pattern_](const Stale&) { return reader->Files(folder, pattern); };
  auto apply = [this](NameList& listed) {
    // A change came while this was read: the next read is out before these names are shown,
    // so that a file waiting to be chosen is looked for in that one.
    if (readAgain_) Read();
    Listed(listed);
  };
  reads_.Start(work, apply);
}

void FilePane::Listed(NameList& listed) {
  error_ = listed.error;
  // Matched afresh against whatever the list shows now, even half-way through the last merge.
  rest_.insert(rest_.end(), std::make_move_iterator(done_.rbegin()), std::make_move_iterator(done_.rend()));
  done_.clear();
  target_ = std::move(listed.names);
  next_ = 0;
  finishing_ = true;
  if (onEdits) onEdits();
}

// Matches the names shown with those read, in their common order: a name read and not shown
// goes in, a name shown and no longer read goes out, and every other stays untouched.
bool FilePane::Step(ListEditor& editor) {
  if (clear_) {
    clear_ = false;
    editor.Clear();
    return true;
  }
  const size_t at = done_.size();
  if (!rest_.empty() && (next_ == target_.size() || NameLess(rest_.back(), target_[next_]))) {
    if (rest_.back() == chosen_) chosen_.clear();
    editor.Remove(at);
    rest_.pop_back();
  } else if (!rest_.empty() && rest_.back() == target_[next_]) {
    done_.push_back(std::move(rest_.back()));
    rest_.pop_back();
    ++next_;
  } else if (next_ < target_.size()) {
    if (!editor.Insert(at, target_[next_])) {
      // Out of memory: the names that made it stay, so that the lines still match them.
      error_ = ERROR_NOT_ENOUGH_MEMORY;
      target_.resize(next_);
      return true;
    }
    done_.push_back(std::move(target_[next_++]));
  } else {
    return false;
  }
  return true;
}

void FilePane::EditsApplied() {
  if (EditsWaiting()) return;
  target_.clear();
  target_.shrink_to_fit();
  next_ = 0;
  if (!finishing_ || reads_.Busy()) return;  // a newer read is on its way
  finishing_ = false;
  ChoosePending();
}

void FilePane::ShowAgain() {
  // What the list is to show once every edit is in: the names matched so far and those still
  // to come of the newest read (or, with no merge going on, the names shown).
  std::vector<std::wstring> all = std::move(done_);
  all.insert(all.end(), std::make_move_iterator(rest_.rbegin()), std::make_move_iterator(rest_.rend()));
  if (next_ > 0 || !target_.empty()) {
    all.resize(next_);  // with a merge going on, done_ is exactly the read's names before next_
    all.insert(all.end(), std::make_move_iterator(target_.begin() + static_cast<std::ptrdiff_t>(next_)),
               std::make_move_iterator(target_.end()));
  }
  done_.clear();
  rest_.clear();
  target_ = std::move(all);
  next_ = 0;
  clear_ = true;
  finishing_ = true;
}

void FilePane::ChooseWhenListed(const std::wstring& name, std::function<void()> missing) {
  pending_ = name;
  missing_ = std::move(missing);
  if (!Filling()) ChoosePending();
}

void FilePane::ChoosePending() {
  if (pending_.empty()) return;
  const std::wstring name = std::move(pending_);
  const std::function<void()> missing = std::move(missing_);
  pending_.clear();
  missing_ = nullptr;
  // The name as the list spells it, the disk's, which may differ in case from what was asked.
  std::optional<size_t> found;
  for (size_t i = 0; i < Count() && !found; ++i)
    if (NameAt(i) == name) found = i;
  for (size_t i = 0; i < Count() && !found; ++i)
    if (SamePath(NameAt(i), name)) found = i;
  if (!found) {
    if (missing) missing();
    return;
  }
  Choose(*found);
  if (onEdits) onEdits();  // the control shows the choice
}

void FilePane::Choose(size_t index) {
  if (index >= Count()) return;
  chosen_ = NameAt(index);
  if (onClick) onClick();
}

const std::wstring& FilePane::NameAt(size_t index) const {
  return index < done_.size() ? done_[index] : rest_[rest_.size() - 1 - (index - done_.size())];
}

std::vector<std::wstring> FilePane::Names() const {
  std::vector<std::wstring> names = done_;
  names.insert(names.end(), rest_.rbegin(), rest_.rend());
  return names;
}

std::optional<size_t> FilePane::IndexOf(const std::wstring& name) const {
  if (name.empty()) return std::nullopt;
  size_t low = 0, high = Count();
  while (low < high) {
    const size_t middle = low + (high - low) / 2;
    if (NameLess(NameAt(middle), name))
      low = middle + 1;
    else
      high = middle;
  }
  if (low < Count() && NameAt(low) == name) return low;
  return std::nullopt;
}

}  // namespace quorvane
