#include "ui/FileList.h"

#include <algorithm>

#include "services/Handles.h"
#include "services/ResultWindow.h"

namespace quorvane::ui {

// How long one slice of names may keep the interface thread; a slice looks at the clock after
// every kSliceStep edits. A tenth of a second is the longest the window may go unanswered.
constexpr ULONGLONG kSliceMs = 15;
constexpr size_t kSliceStep = 64;

DWORD FileList::Style() {
  // Not LBS_SORT: the names arrive sorted, and a sorted list box would compare every one
  // of a large folder's names again on insertion.
  return WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
}

DWORD FileList::ExStyle() { return WS_EX_CLIENTEDGE; }

FileList::~FileList() {
  if (pane_ != nullptr) pane_->onEdits = nullptr;
}

bool FileList::Attach(HWND list, FilePane& pane) {
  if (!IsWindow(list)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  if (pane_ != nullptr) pane_->onEdits = nullptr;
  list_ = list;
  // Null when it cannot be had: the names then go through SendMessageW like the rest.
  boxProcedure_ = reinterpret_cast<WNDPROC>(GetClassLongPtrW(list, GCLP_WNDPROC));
  pane_ = &pane;
  // New edits come in at once, a new folder's clearing first of all: a click must never pick
  // an old name in the new folder.
  pane.onEdits = [this] {
    if (!slicing_) Slice(false);
  };
  pane.ShowAgain();
  Slice(true);  // what the pane listed before the control existed, all at once
  return true;
}

void FileList::SetFont(HFONT font) {
  font_ = font;
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  MeasureNames();
}

void FileList::Clear() {
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  widest_ = 0;
  narrower_ = false;
  top_ = -1;  // no line left to keep in view
  changed_ = true;
}

LRESULT FileList::Edit(UINT message, WPARAM wParam, LPARAM lParam) {
  if (boxProcedure_ == nullptr) return SendMessageW(list_, message, wParam, lParam);
  return CallWindowProcW(boxProcedure_, list_, message, wParam, lParam);
}

bool FileList::Insert(size_t at, const std::wstring& name) {
  if (Edit(LB_INSERTSTRING, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(name.c_str())) < 0) return false;
  // Long names scroll sideways rather than being cut off.
  widest_ = std::max(widest_, meter_->Width(name));
  if (top_ >= 0 && static_cast<LRESULT>(at) <= top_) ++top_;
  changed_ = true;
  return true;
}

void FileList::Remove(size_t at) {
  if (meter_->Width(pane_->NameAt(at)) >= widest_) narrower_ = true;
  Edit(LB_DELETESTRING, static_cast<WPARAM>(at), 0);
  // The line on top going out, the one after it takes its place.
  if (static_cast<LRESULT>(at) < top_) --top_;
  changed_ = true;
}

void FileList::Slice(bool all) {
  if (list_ == nullptr || pane_ == nullptr || !IsWindow(list_)) return;
  slicing_ = true;
  const ULONGLONG start = GetTickCount64();
  // The line the player looks at stays where it is: names going in or out above it move the
  // top index with them.
  top_ = SendMessageW(list_, LB_GETCOUNT, 0, 0) > 0 ? SendMessageW(list_, LB_GETTOPINDEX, 0, 0) : -1;
  const int widest = widest_;
  changed_ = false;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  {
    TextMeter meter(list_, font_);
    meter_ = &meter;
    size_t steps = 0;
    while (pane_->Step(*this))
      if (!all && ++steps % kSliceStep == 0 && GetTickCount64() - start >= kSliceMs) break;
    meter_ = nullptr;
    if (narrower_ && !pane_->EditsWaiting()) {
      narrower_ = false;
      MeasureAll(meter);
    } else if (widest_ != widest || pane_->Count() == 0) {
      TellWidest(meter);
    }
  }
  // The chosen file stays chosen while it is there.
  const std::optional<size_t> chosen = pane_->IndexOf(pane_->FileName());
  const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  const LRESULT want = chosen ? static_cast<LRESULT>(*chosen) : -1;
  if (selected != want) SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(want), 0);
  if (changed_ && top_ >= 0) SendMessageW(list_, LB_SETTOPINDEX, static_cast<WPARAM>(top_), 0);
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  scrollable_.Recheck(list_);
  InvalidateRect(list_, nullptr, TRUE);
  slicing_ = false;
  if (pane_->EditsWaiting())
    ContinueLater();
  else
    pane_->EditsApplied();
  if (changed_ && onLinesChanged) onLinesChanged();
}

void FileList::ContinueLater() {
  if (continuing_) return;
  continuing_ = true;
  auto next = [this] {
    continuing_ = false;
    if (!slicing_) Slice(false);
  };
  RunWhenIdle(next, lifetime_.token());  // after whatever the player does and sees meanwhile
}

void FileList::MeasureNames() {
  if (list_ == nullptr || pane_ == nullptr) return;
  MeasureAll(TextMeter(list_, font_));
}

void FileList::MeasureAll(const TextMeter& meter) {
  widest_ = 0;
  for (size_t i = 0; i < pane_->Count(); ++i) widest_ = std::max(widest_, meter.Width(pane_->NameAt(i)));
  TellWidest(meter);
}

// The list box's own margin around the text is about one average character.
void FileList::TellWidest(const TextMeter& meter) {
  scrollable_.Tell(list_, widest_ > 0 ? widest_ + meter.Metrics().tmAveCharWidth : 0);
}

void FileList::OnCommand(WORD notificationCode) {
  if (notificationCode != LBN_SELCHANGE || pane_ == nullptr) return;
  const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (selected >= 0) pane_->Choose(static_cast<size_t>(selected));
}

}  // namespace quorvane::ui
