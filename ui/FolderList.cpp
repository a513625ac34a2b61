#include "ui/FolderList.h"

#include <commctrl.h>

#include <algorithm>

#include "services/Handles.h"

namespace quorvane::ui {
namespace {

int ItemHeightFor(const TEXTMETRICW& metrics) {
  return static_cast<int>(metrics.tmHeight) + std::max<int>(2, metrics.tmHeight / 8);
}

}  // namespace

DWORD FolderList::Style() {
  return WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY |
         LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
}

DWORD FolderList::ExStyle() { return WS_EX_CLIENTEDGE; }

FolderList::~FolderList() {
  if (pane_ != nullptr) pane_->onShown = nullptr;
  Detach();
}

bool FolderList::Attach(HWND list, FolderPane& pane) {
  Detach();
  if (!IsWindow(list)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  // Without owner-draw the levels could not be shown, and the list would look flat and wrong.
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(list, GWL_STYLE));
  if ((style & (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS)) != (LBS_OWNERDRAWFIXED | LBS_HASSTRINGS)) {
    SetLastError(ERROR_INVALID_WINDOW_STYLE);
    return false;
  }
  // The list's procedure replaced, with `this` in the control's user data (the control is the
  // window's own, made for this list). Not SetWindowSubclass: that finds its data through a
  // window property on every message, a round trip to the window server under Wine, and a
  // folder list gets many (each line put in or read out is one).
  SetLastError(ERROR_SUCCESS);  // a previous value of zero would not say that a call failed
  if (SetWindowLongPtrW(list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this)) == 0 &&
      GetLastError() != ERROR_SUCCESS)
    return false;
  const LONG_PTR before =
      SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FolderList::Procedure));
  if (before == 0 && GetLastError() != ERROR_SUCCESS) return false;
  boxProcedure_ = reinterpret_cast<WNDPROC>(before);
  list_ = list;
  pane_ = &pane;
  pane.onShown = [this](bool moved) { Fill(moved); };
  Fill(true);  // what the pane listed before the control existed, with metrics for its font
  return true;
}

void FolderList::Detach() {
  if (list_ != nullptr && IsWindow(list_)) {
    SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(boxProcedure_));
    SetWindowLongPtrW(list_, GWLP_USERDATA, 0);
  }
  list_ = nullptr;
}

void FolderList::SetFont(HFONT font) {
  font_ = font;
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  UpdateMetrics();
  InvalidateRect(list_, nullptr, TRUE);
}

void FolderList::OpenSelected() {
  if (list_ == nullptr || pane_ == nullptr) return;
  const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (selected < 0 || static_cast<size_t>(selected) >= shown_.size()) return;
  // The line as the user sees it: the pane's lines are the same ones, put in by Fill.
  pane_->Open(static_cast<size_t>(selected));
}

void FolderList::OnCommand(WORD notificationCode) {
  // A selection change only moves the highlight: folders open on a double-click or Enter.
  if (notificationCode == LBN_DBLCLK) OpenSelected();
}

void FolderList::Fill(bool moved) {
  if (list_ == nullptr || pane_ == nullptr) return;
  // Read again, the list keeps its scroll position and the line the user highlighted.
  LRESULT top = -1;
  std::wstring highlighted;
  if (!moved) {
    top = SendMessageW(list_, LB_GETTOPINDEX, 0, 0);
    const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
    if (selected >= 0 && static_cast<size_t>(selected) < shown_.size())
      highlighted = shown_[static_cast<size_t>(selected)].path;
  }
  shown_ = pane_->Entries();
  current_ = pane_->CurrentIndex();
  size_t select = current_;
  for (size_t i = 0; i < shown_.size() && !highlighted.empty(); ++i)
    if (shown_[i].path == highlighted) select = i;

  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  size_t bytes = 0;
  for (const FolderEntry& entry : shown_) bytes += (entry.text.size() + 1) * sizeof(wchar_t);
  // Only a hint for the allocation: the items are added whether or not it could be taken.
  SendMessageW(list_, LB_INITSTORAGE, shown_.size(), static_cast<LPARAM>(bytes));
  for (size_t i = 0; i < shown_.size(); ++i) {
    if (SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown_[i].text.c_str())) < 0) {
      shown_.resize(i);  // out of memory: the lines that made it, so that the indices still match
      break;
    }
  }
  if (select < shown_.size()) SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(select), 0);
  if (top >= 0) SendMessageW(list_, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  UpdateMetrics();
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  scrollable_.Recheck(list_);
  if (moved) ShowCurrentName();
  InvalidateRect(list_, nullptr, TRUE);
}

// In a deep folder the current line starts far to the right, past the list's edge: the list
// scrolls sideways until its name ends in sight, or, should it not fit whole, until it starts
// at the left edge with its mark. A line that fits leaves the list at its left edge.
void FolderList::ShowCurrentName() {
  RECT client{};
  if (current_ >= shown_.size() || !GetClientRect(list_, &client)) return;
  const TextMeter meter(list_, font_);
  const FolderEntry& entry = shown_[current_];
  const int mark = padding_ + entry.level * indent_;
  const int end = mark + indent_ + meter.Width(entry.text) + padding_;
  // The position goes in 16 bits: a line 65,535 pixels deep stays as far as that.
  const int position = std::clamp(std::min(mark, end - static_cast<int>(client.right)), 0, 0xFFFF);
  SendMessageW(list_, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), 0);
}

void FolderList::UpdateMetrics() {
  if (list_ == nullptr) return;
  const TextMeter meter(list_, font_);
  if (!meter.Measured()) return;  // keep the last metrics; the list still works
  const TEXTMETRICW& metrics = meter.Metrics();
  indent_ = std::max<int>(4, metrics.tmHeight);
  padding_ = std::max<int>(2, metrics.tmAveCharWidth / 2);
  SendMessageW(list_, LB_SETITEMHEIGHT, 0, MAKELPARAM(ItemHeightFor(metrics), 0));
  // Long names and deep chains scroll sideways rather than being cut off.
  int widest = 0;
  for (const FolderEntry& entry : shown_)
    widest = std::max<int>(widest, padding_ + (entry.level + 1) * indent_ + meter.Width(entry.text) + padding_);
  scrollable_.Tell(list_, widest);
}

void FolderList::OnMeasureItem(MEASUREITEMSTRUCT& item) const {
  const TextMeter meter(list_, font_);
  if (meter.Measured()) item.itemHeight = ItemHeightFor(meter.Metrics());
}

void FolderList::OnDrawItem(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  RECT box = item.rcItem;
  const bool focus = (item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT);
  if (item.itemID == static_cast<UINT>(-1) || item.itemID >= shown_.size()) {
    // An empty list still shows where the keyboard focus is.
    if (focus) DrawFocusRect(dc, &box);
    return;
  }
  if (item.itemAction == ODA_FOCUS) {
    DrawFocusRect(dc, &box);
    return;
  }
  const FolderEntry& entry = shown_[item.itemID];
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  // Disabled text is only sure to be readable on the window's colour (in a high-contrast scheme
  // the disabled and selection colours may be green and cyan): a disabled list's selected line
  // keeps that background, framed in the text's colour.
  FillRect(dc, &box, GetSysColorBrush(selected && !disabled ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (selected && disabled) FrameRect(dc, &box, GetSysColorBrush(COLOR_GRAYTEXT));
  const COLORREF ink = GetSysColor(disabled ? COLOR_GRAYTEXT
                                            : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
  const COLORREF oldInk = SetTextColor(dc, ink);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const ScopedSelect font(dc, FontOf(list_, font_));

  // A small triangle tells the open chain (pointing down) from the subfolders one could open
  // (pointing right), the way tree views mark expanded and collapsed folders.
  const int left = box.left + padding_ + entry.level * indent_;
  const int mark = std::max<int>(2, indent_ / 4);
  const int cx = left + indent_ / 2;
  const int cy = (box.top + box.bottom) / 2;
  POINT triangle[3];
  if (item.itemID <= current_) {
    triangle[0] = {cx - mark, cy - mark / 2};
    triangle[1] = {cx + mark, cy - mark / 2};
    triangle[2] = {cx, cy + mark / 2 + 1};
  } else {
    triangle[0] = {cx - mark / 2, cy - mark};
    triangle[1] = {cx - mark / 2, cy + mark};
    triangle[2] = {cx + mark / 2 + 1, cy};
  }
  if (const UniqueBrush brush(CreateSolidBrush(ink)); brush) {
    const ScopedSelect fill(dc, brush.get()), edge(dc, GetStockObject(NULL_PEN));
    Polygon(dc, triangle, 3);
  }

  RECT text = box;
  text.left = left + indent_;
  DrawTextW(dc, entry.text.c_str(), static_cast<int>(entry.text.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);

  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldInk);
  if (focus) DrawFocusRect(dc, &box);
}

LRESULT CALLBACK FolderList::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* box = reinterpret_cast<FolderList*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  const WNDPROC boxProcedure = box->boxProcedure_;
  switch (message) {
    case WM_GETDLGCODE: {
      // Enter opens the folder; without this the dialog manager would press the default
      // button instead.
      LRESULT code = CallWindowProcW(boxProcedure, hwnd, message, wParam, lParam);
      const auto* msg = reinterpret_cast<const MSG*>(lParam);
      if (msg != nullptr && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
        code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        box->OpenSelected();
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == L'\r') return 0;  // handled as a key; not a type-ahead character
      break;
    case WM_NCDESTROY:
      box->Detach();
      break;
    default:
      break;
  }
  return CallWindowProcW(boxProcedure, hwnd, message, wParam, lParam);
}

}  // namespace quorvane::ui
