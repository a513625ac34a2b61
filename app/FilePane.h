// The file list of a picking pane, without a window: the files of one folder that a pattern
// such as "*.bmp" admits, read on a worker, and the merge of each new read into what the list
// shows. Its control (ui/FileList) applies the merge's edits a slice at a time, so that the
// window goes on answering whatever the folder's size, and reports the user's choice of a line.
//
// Read again, the names that went are taken out and the new ones put in, one edit at a time:
// the names in common stay untouched, and with them the scroll position and the chosen file
// while it is still there. The pane always knows exactly what the list shows, so that a click
// in the middle of a merge picks the name the user sees.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/FolderPane.h"

namespace quorvane {

// What a file list's control does with the pane's edits.
class ListEditor {
 public:
  virtual ~ListEditor() = default;
  virtual void Clear() = 0;
  // False when the name could not be put in (out of memory): the pane then stops its merge.
  virtual bool Insert(size_t at, const std::wstring& name) = 0;
  virtual void Remove(size_t at) = 0;
};

class FilePane : public FileListView {
 public:
  explicit FilePane(std::wstring pattern, PaneServices services = {})
      : services_(services), reads_(*services.jobs), pattern_(std::move(pattern)) {}
  FilePane(const FilePane&) = delete;
  FilePane& operator=(const FilePane&) = delete;

  // Lists `folder`'s files, sorted, none chosen: the old names go at once (a click must never
  // pick one of them in the new folder), the new ones come from a worker. A folder that
  // cannot be read gives an empty (or partial) list and ListingError() says why. Path() is the
  // new folder at once, even while it fills.
  void SetPath(const std::wstring& folder) override;
  // Shows `names` (read from `folder` by the caller, sorted by NameLess) as if SetPath had read
  // them, at once: for lists that share one read of a folder.
  void SetListing(const std::wstring& folder, std::vector<std::wstring> names, DWORD error);
  std::wstring Path() const override { return path_; }
  // The chosen file's name; empty when none is chosen.
  std::wstring FileName() const override { return chosen_; }
  // Reads the folder again (when its folder pane has seen its files change, or when it comes
  // back into sight), keeping what is shown until the new names come.
  void Refresh();
  // Chooses `name` as a click on it would (onClick runs) once the list holds it: at once, or
  // when the newest read of the folder is in. When that read does not hold it, nothing is
  // chosen and `missing` runs instead; when the list moves to another folder first, neither.
  void ChooseWhenListed(const std::wstring& name, std::function<void()> missing = {});

  const std::wstring& Pattern() const { return pattern_; }
  // Why the folder could not all be read; ERROR_SUCCESS while it is still being read.
  DWORD ListingError() const { return error_; }
  // True while the folder is being read or what was read is not all in the list yet.
  bool Filling() const { return reads_.Busy() || EditsWaiting() || finishing_; }

  // What the list shows now, line by line.
  size_t Count() const { return done_.size() + rest_.size(); }
  const std::wstring& NameAt(size_t index) const;
  std::vector<std::wstring> Names() const;
  // The line that shows `name`, if one does.
  std::optional<size_t> IndexOf(const std::wstring& name) const;

  // For the control. The user chose line `index` (FileN_Click follows).
  void Choose(size_t index);
  // Applies the next edit to `editor`; false when none is left.
  bool Step(ListEditor& editor);
  bool EditsWaiting() const { return clear_ || next_ < target_.size() || !rest_.empty(); }
  // Every edit is in the list: a file waiting to be chosen once listed is chosen now.
  void EditsApplied();
  // The control is new, or was not there: every name is to be put in again, from a clear list.
  void ShowAgain();

  std::function<void()> onClick;  // a file was chosen (FileN_Click)
  std::function<void()> onEdits;  // edits wait for the control (or the chosen line changed)

 private:
  // Empties the list for `folder`; false when it has no full path (ListingError says why).
  bool Reset(const std::wstring& folder);
  void Read();
  void Listed(NameList& listed);
  void ChoosePending();

  PaneServices services_;
  JobLane reads_;
  std::wstring pattern_;
  std::wstring path_;
  // The list's names, in its order: done_, then rest_ from its back to its front. While a new
  // read is merged in, done_ holds the names already matched with it and rest_ the old ones
  // still to match; otherwise rest_ is empty.
  std::vector<std::wstring> done_;
  std::vector<std::wstring> rest_;
  std::vector<std::wstring> target_;  // the newest read; from next_ on still to merge in
  size_t next_ = 0;
  bool clear_ = false;      // the list is to be emptied first
  bool finishing_ = false;  // the end of a merge is still to be told (a choice may wait on it)
  bool readAgain_ = false;  // a change came while the folder was being read
  DWORD error_ = ERROR_SUCCESS;
  std::wstring chosen_;
  std::wstring pending_;           // to be chosen once listed
  std::function<void()> missing_;  // what to do when it is not
};

}  // namespace quorvane
