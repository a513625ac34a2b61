// The control of a pane's folder list: a standard LISTBOX showing its FolderPane's lines,
// indented by level. Items are owner-drawn only for the indent; each item's text is the
// folder's own name, so type-ahead, screen readers and UI automation see plain names. It reads
// no folder and watches none: a double-click or Enter on a line asks the pane to open it.
//
// The window creates the control (CreateWindowExW with ExStyle() and Style()), hands it to
// Attach, and forwards the control's WM_COMMAND, WM_MEASUREITEM and WM_DRAWITEM here.
// WM_MEASUREITEM arrives while the control is being created, before Attach.
#pragma once

#include <windows.h>

#include <vector>

#include "app/FolderPane.h"
#include "ui/Controls.h"

namespace quorvane::ui {

class FolderList {
 public:
  FolderList() = default;
  FolderList(const FolderList&) = delete;
  FolderList& operator=(const FolderList&) = delete;
  ~FolderList();

  static DWORD Style();
  static DWORD ExStyle();

  // Shows `pane` in a LISTBOX created with Style(). False when the control lacks the
  // owner-draw styles or its procedure cannot be replaced (the reason is then in GetLastError).
  bool Attach(HWND list, FolderPane& pane);
  HWND Handle() const { return list_; }

  // The font the list draws with (not owned; it must outlive its use). May be called again,
  // e.g. when the DPI changes.
  void SetFont(HFONT font);

  void OnCommand(WORD notificationCode);
  void OnMeasureItem(MEASUREITEMSTRUCT& item) const;
  void OnDrawItem(const DRAWITEMSTRUCT& item) const;

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void Detach();
  void OpenSelected();
  // Puts the pane's lines in: the highlight on the current folder when it `moved`, else
  // where the user left it, with the scroll position kept.
  void Fill(bool moved);
  void UpdateMetrics();
  void ShowCurrentName();

  HWND list_ = nullptr;
  WNDPROC boxProcedure_ = nullptr;  // the list's procedure before Attach
  HFONT font_ = nullptr;
  FolderPane* pane_ = nullptr;
  std::vector<FolderEntry> shown_;  // the lines as put in, and the current folder's
  size_t current_ = 0;
  int indent_ = 16;  // pixels per level, from the font
  int padding_ = 2;
  ScrollableWidth scrollable_;
};

}  // namespace quorvane::ui
