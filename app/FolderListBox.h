// The folder list of a picking pane: a standard LISTBOX showing, indented by level, the
// folders from the root down to the current one and then the current one's subfolders.
// Items are owner-drawn only for the indent; each item's text is the folder's own name, so
// type-ahead, screen readers and UI automation see plain names.
//
// The window creates the control (CreateWindowExW with ExStyle() and Style()), hands it to
// Attach, and forwards the control's WM_COMMAND, WM_MEASUREITEM and WM_DRAWITEM here.
// WM_MEASUREITEM arrives while the control is being created, before Attach.
//
// A folder the user opens is read on a worker and shown when the read comes back; a folder
// that cannot be read is reported through onOpenFailed and the list stays where it was. A list
// that watches its folder shows new and vanished subfolders by itself, keeping its scroll
// position and highlight, and tells its file list of changed files; when the folder itself
// vanishes (it, or a folder above it, deleted or renamed) the list moves to the nearest folder
// above it that is still there, as if the user had opened that.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Background.h"
#include "app/FolderListing.h"
#include "app/Panes.h"

namespace quorvane {

class FolderListBox : public FolderListView {
 public:
  FolderListBox() = default;
  FolderListBox(const FolderListBox&) = delete;
  FolderListBox& operator=(const FolderListBox&) = delete;
  ~FolderListBox() override;

  static DWORD Style();
  static DWORD ExStyle();

  // Takes over a LISTBOX created with Style(). False when the control lacks the owner-draw
  // styles or cannot be subclassed (the reason is then in GetLastError).
  bool Attach(HWND list);
  HWND Handle() const { return list_; }

  // The font the list draws with (not owned; it must outlive its use). May be called again,
  // e.g. when the DPI changes.
  void SetFont(HFONT font);

  // Makes `folder` current (or its nearest existing ancestor), re-lists, and calls onChange.
  // The first folder set fixes the root the list keeps to; a folder under another root is
  // refused (false, ERROR_NOT_SAME_DEVICE), as is one whose root is not there. False leaves
  // the list as it was, with the reason in GetLastError.
  bool SetPath(const std::wstring& folder);
  // As SetPath, showing `subfolders` (read from `folder` by the caller) without reading again,
  // and without calling onChange: the caller fills the file list from the same read.
  bool SetListing(const std::wstring& folder, const NameList& subfolders);

  // The current folder, without trailing "\" unless it is a root; empty before SetPath.
  std::wstring Path() const override { return current_; }
  // The root the list keeps to, ending in "\"; empty before SetPath.
  const std::wstring& Root() const { return root_; }
  // What the list holds, line by line, and the current folder's line.
  const std::vector<FolderEntry>& Entries() const { return entries_; }
  size_t CurrentIndex() const { return currentIndex_; }
  // Why the current folder's subfolders could not all be listed; ERROR_SUCCESS when they were.
  DWORD ListingError() const { return error_; }

  // Makes the folder on line `index` current, as a double-click on it does, once it has been
  // read; until then the list shows the folder it showed.
  void Open(size_t index);

  // Reading the folder again whenever its subfolders or files change or it vanishes, until
  // StopWatching; a change of files is passed on through onContentChange. Starting also reads
  // it again, for what changed while nobody watched (not when it was read just before).
  void StartWatching();
  void StopWatching();
  // Reads the current folder again, keeping what is shown until the new lines come.
  void Refresh();

  void OnCommand(WORD notificationCode);
  void OnMeasureItem(MEASUREITEMSTRUCT& item) const;
  void OnDrawItem(const DRAWITEMSTRUCT& item) const;

  std::function<void()> onChange;  // the current folder was set or opened (DirN_Change)
  // The current folder was read again and is still current: its files may have changed.
  std::function<void()> onContentChange;
  // A folder the user opened could not be read: its path, and the system's reason.
  std::function<void(const std::wstring& folder, DWORD error)> onOpenFailed;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);
  void Detach();
  void OpenSelected();
  struct Token;
  bool SetRoot(const std::wstring& full);
  struct Reading {
    FolderChain chain;
    bool empty = false;  // the folder holds nothing at all
  };
  void Watch();
  void Read(const std::wstring& wanted, bool opening);
  void Opened(Reading reading, const std::wstring& wanted, bool opening);
  void Show(FolderChain chain, bool keepView = false);
  void Fill(size_t select = static_cast<size_t>(-1), LRESULT top = -1);
  void UpdateMetrics();
  HFONT DrawingFont() const;

  HWND list_ = nullptr;
  HFONT font_ = nullptr;
  std::wstring root_;
  std::wstring current_;
  std::vector<FolderEntry> entries_;
  size_t currentIndex_ = 0;
  DWORD error_ = ERROR_SUCCESS;
  int indent_ = 16;  // pixels per level, from the font
  int padding_ = 2;
  std::shared_ptr<Token> token_;  // the read going on, if any
  bool opening_ = false;          // that read is the user's opening of a folder
  bool readAgain_ = false;        // a change came while the folder was being read
  bool watching_ = false;
  bool missed_ = false;  // changes may have come while nothing watched: read again once watched
  FolderWatch watch_;
};

}  // namespace quorvane
