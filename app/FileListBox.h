// The file list of a picking pane: a standard LISTBOX with the files of one folder that a
// pattern such as "*.bmp" admits. Choosing a file, by mouse or keyboard, is its click.
//
// The window creates the control (CreateWindowExW with ExStyle() and Style()), hands it to
// Attach, and forwards the control's WM_COMMAND here.
//
// A folder is read on a worker and what was read is put in on the interface thread between
// events, a slice at a time, so that the window goes on answering the user whatever the
// folder's size. Read again (Refresh), the names that went are taken out and the new ones put
// in, leaving the scroll position, and the chosen file while it is still there.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Background.h"
#include "app/Panes.h"

namespace quorvane {

class FileListBox : public FileListView {
 public:
  explicit FileListBox(std::wstring pattern) : pattern_(std::move(pattern)) {}
  ~FileListBox() override;
  FileListBox(const FileListBox&) = delete;
  FileListBox& operator=(const FileListBox&) = delete;

  static DWORD Style();
  static DWORD ExStyle();

  // Takes over a LISTBOX created with Style() and fills it with what SetPath listed so far.
  // False (with the reason in GetLastError) when `list` is not a window. The list must live
  // on the thread that calls this.
  bool Attach(HWND list);
  HWND Handle() const { return list_; }

  // The font the list shows its names in (not owned; it must outlive its use).
  void SetFont(HFONT font);

  // Lists `folder`'s matching files, sorted, none chosen: the old names go at once, the new
  // ones come from a worker. A folder that cannot be read gives an empty (or partial) list and
  // ListingError() says why. Whatever an earlier call was still reading or filling in is
  // dropped. Path() is the new folder at once, even while it fills. Without a list box yet, the
  // folder is read here, for Attach to show.
  void SetPath(const std::wstring& folder) override;
  // Shows `names` (read from `folder` by the caller, sorted by NameLess) as if SetPath had
  // read them, at once: for lists that share one read of a folder.
  void SetListing(const std::wstring& folder, std::vector<std::wstring> names, DWORD error);
  std::wstring Path() const override { return path_; }
  // The chosen file's name; empty when none is chosen.
  std::wstring FileName() const override;
  // Chooses `name` as a click on it would (onClick runs) once the list holds it: at once, or
  // when the folder being read is in. When the folder read does not hold it, nothing is chosen
  // and `missing` runs instead; when the list moves to another folder first, neither.
  void ChooseWhenListed(const std::wstring& name, std::function<void()> missing = {});

  // Reads the folder again (when its folder list tells it that something in it changed, or
  // when it comes back into sight), keeping what is shown until the new names come.
  void Refresh();

  const std::wstring& Pattern() const { return pattern_; }
  // The names in the list, in its order.
  std::vector<std::wstring> Names() const;
  // Why the folder could not all be read; ERROR_SUCCESS while it is still being read.
  DWORD ListingError() const { return error_; }
  // True while the folder is being read or what was read is being put in.
  bool Filling() const { return reading_ || next_ < target_.size(); }

  void OnCommand(WORD notificationCode);

  std::function<void()> onClick;  // a file was chosen (FileN_Click)

 private:
  struct Token;
  void Detach();
  void Drop();
  void Read();
  void Listed(std::vector<std::wstring> names, DWORD error);
  void AddSlice(bool all);
  void ContinueLater();
  void ShowAll();
  size_t Count() const { return done_.size() + rest_.size(); }
  const std::wstring& NameAt(size_t index) const;
  void MeasureNames();
  void ChoosePending();

  HWND list_ = nullptr;
  HFONT font_ = nullptr;
  std::wstring pattern_;
  std::wstring path_;
  // The list's names, in its order: done_, then rest_ from its back to its front. While new
  // names go in, done_ holds those already matched with them and rest_ the old ones still to
  // match; otherwise rest_ is empty.
  std::vector<std::wstring> done_;
  std::vector<std::wstring> rest_;
  std::vector<std::wstring> target_;  // what the list is to show, from `next_` on still to put in
  size_t next_ = 0;
  std::unique_ptr<PendingWork> filling_;  // while target_ is being put in
  DWORD error_ = ERROR_SUCCESS;
  std::shared_ptr<Token> token_;  // this folder's reads and slices; gone with the folder
  bool reading_ = false;
  bool readAgain_ = false;  // a change came while the folder was being read
  bool continuing_ = false;  // the next slice is on its way
  int widest_ = 0;  // the widest name in the list, in pixels
  bool narrower_ = false;  // a name as wide as the widest went out
  std::wstring pending_;  // to be chosen once listed
  std::function<void()> missing_;  // what to do when it is not
};

}  // namespace quorvane
