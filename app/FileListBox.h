// The file list of a picking pane: a standard LISTBOX with the files of one folder that a
// pattern such as "*.bmp" admits. Choosing a file, by mouse or keyboard, is its click.
//
// The window creates the control (CreateWindowExW with ExStyle() and Style()), hands it to
// Attach, and forwards the control's WM_COMMAND here.
//
// A folder is read on a worker thread. One read within a few tens of milliseconds (any folder
// of ordinary size) is shown before SetPath returns, as if it had been read in place; a larger
// folder fills the list while the window goes on answering the user: its names go in, in
// order, a slice at a time, and Filling() holds until the last is in.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

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

  // Lists `folder`'s matching files, sorted, none chosen. A folder that cannot be read gives
  // an empty (or partial) list and ListingError() says why. Whatever an earlier call was still
  // filling in is dropped. Path() is the new folder at once, even while it fills.
  void SetPath(const std::wstring& folder) override;
  std::wstring Path() const override { return path_; }
  // The chosen file's name; empty when none is chosen.
  std::wstring FileName() const override;
  // Chooses `name` as a click on it would (onClick runs) once the list holds it: at once, or
  // when the folder being read is in. Nothing is chosen when the folder does not hold it, or
  // when SetPath moves the list on first.
  void ChooseWhenListed(const std::wstring& name);

  const std::wstring& Pattern() const { return pattern_; }
  // The names in the list, in its order; while it fills, those put in so far.
  const std::vector<std::wstring>& Names() const { return names_; }
  // Why the folder could not all be read; ERROR_SUCCESS while it is still being read.
  DWORD ListingError() const { return error_; }
  // True while a large folder is still being read or put into the list.
  bool Filling() const;

  // How a large folder fills: how long SetPath waits for the read before letting it finish in
  // the background, and how long one slice of names may keep the interface thread (a slice
  // always takes at least a few dozen names). The defaults keep the window answering within a
  // tenth of a second; tests make them small to see a fill in progress (no wait: every
  // folder fills in the background).
  struct Pacing {
    DWORD waitMs = 30;
    DWORD sliceMs = 15;
  };
  void SetPacing(Pacing pacing) { pacing_ = pacing; }

  void OnCommand(WORD notificationCode);

  std::function<void()> onClick;  // a file was chosen (FileN_Click)

 private:
  struct Reading;
  static void CALLBACK OnTimer(HWND hwnd, UINT message, UINT_PTR id, DWORD time);
  void Tick();
  void Detach();
  void StopFilling();
  void Listed(std::vector<std::wstring> names, DWORD error, bool inTime);
  void Queue(std::vector<std::wstring> names);
  void AddSlice(bool all);
  void Fill();
  void MeasureNames(size_t from);
  void ChoosePending();

  HWND list_ = nullptr;
  HFONT font_ = nullptr;
  std::wstring pattern_;
  std::wstring path_;
  std::vector<std::wstring> names_;
  DWORD error_ = ERROR_SUCCESS;
  std::shared_ptr<Reading> reading_;   // the read going on, if any
  std::vector<std::wstring> waiting_;  // read, sorted, not in the list yet (from `next_` on)
  size_t next_ = 0;
  int widest_ = 0;  // the widest name in the list, in pixels
  Pacing pacing_;
  std::wstring pending_;  // to be chosen once listed
};

}  // namespace quorvane
