// The control of a pane's file list: a standard LISTBOX showing its FilePane's names.
// Choosing a file, by mouse or keyboard, is its click. It reads no folder: it puts in the
// pane's edits on the interface thread between events, a slice at a time, so that the window
// goes on answering the user whatever the folder's size.
//
// The window creates the control (CreateWindowExW with ExStyle() and Style()), hands it to
// Attach, and forwards the control's WM_COMMAND here.
#pragma once

#include <windows.h>

#include <functional>

#include "app/FilePane.h"
#include "services/Lifetime.h"
#include "ui/Controls.h"

namespace quorvane::ui {

class FileList final : private ListEditor {
 public:
  ~FileList() override;

  static DWORD Style();
  static DWORD ExStyle();

  // Shows `pane` in a LISTBOX created with Style(), from a clear list. False (with the reason
  // in GetLastError) when `list` is not a window. The list must live on the thread that calls
  // this.
  bool Attach(HWND list, FilePane& pane);
  HWND Handle() const { return list_; }

  // The font the list shows its names in (not owned; it must outlive its use).
  void SetFont(HFONT font);

  void OnCommand(WORD notificationCode);

  // The lines changed (names put in or taken out), once they show.
  std::function<void()> onLinesChanged;

 private:
  // Puts in the pane's edits for a slice of time (all of them when `all`), and asks to come
  // back for the rest.
  void Slice(bool all);
  void ContinueLater();
  void MeasureNames();
  void MeasureAll(const class TextMeter& meter);
  void TellWidest(const class TextMeter& meter);

  // Hands a name going in or out to the list box's own procedure. A message sent to the list
  // passes its subclasses first (its screen-reader name is one, until a reader asks for it),
  // which comctl32 finds through a window property, and under Wine a window property is a
  // round trip to the server: 12 us a message, 0.6 s for a folder of 50,000 names. None of
  // the subclasses wants these messages.
  LRESULT Edit(UINT message, WPARAM wParam, LPARAM lParam);
  void Clear() override;
  bool Insert(size_t at, const std::wstring& name) override;
  void Remove(size_t at) override;

  HWND list_ = nullptr;
  WNDPROC boxProcedure_ = nullptr;  // the LISTBOX class's own
  HFONT font_ = nullptr;
  FilePane* pane_ = nullptr;
  Lifetime lifetime_;  // a slice posted for later does nothing once this has gone
  bool continuing_ = false;  // the next slice is on its way
  bool slicing_ = false;     // a slice is being put in
  LRESULT top_ = -1;         // the slice's top line, moved with the edits above it; -1: none
  bool changed_ = false;     // this slice changed the lines
  class TextMeter* meter_ = nullptr;  // the slice's, for the widths of the names going in and out
  int widest_ = 0;           // the widest name in the list, in pixels
  ScrollableWidth scrollable_;
  bool narrower_ = false;    // a name as wide as the widest went out
};

}  // namespace quorvane::ui
