#include "app/FolderListBox.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace quorvane {
namespace {

constexpr UINT_PTR kSubclassId = 0x51F0;  // any number unique among this control's subclasses

// The text metrics of `font` on `window`'s device (the screen's when `window` is null).
bool MeasureFont(HWND window, HFONT font, TEXTMETRICW& metrics) {
  HDC dc = GetDC(window);
  if (dc == nullptr) return false;
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  const bool ok = GetTextMetricsW(dc, &metrics) != FALSE;
  if (old != nullptr && old != HGDI_ERROR) SelectObject(dc, old);
  ReleaseDC(window, dc);
  return ok;
}

int ItemHeightFor(const TEXTMETRICW& metrics) {
  return static_cast<int>(metrics.tmHeight) + std::max<int>(2, metrics.tmHeight / 8);
}

}  // namespace

DWORD FolderListBox::Style() {
  return WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY |
         LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
}

DWORD FolderListBox::ExStyle() { return WS_EX_CLIENTEDGE; }

FolderListBox::~FolderListBox() { Detach(); }

bool FolderListBox::Attach(HWND list) {
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
  if (!SetWindowSubclass(list, &FolderListBox::SubclassProc, kSubclassId,
                         reinterpret_cast<DWORD_PTR>(this))) {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  list_ = list;
  Fill();  // what SetPath listed before the control existed, with metrics for its font
  return true;
}

void FolderListBox::Detach() {
  if (list_ != nullptr && IsWindow(list_))
    RemoveWindowSubclass(list_, &FolderListBox::SubclassProc, kSubclassId);
  list_ = nullptr;
}

void FolderListBox::SetFont(HFONT font) {
  font_ = font;
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  UpdateMetrics();
  InvalidateRect(list_, nullptr, TRUE);
}

bool FolderListBox::SetPath(const std::wstring& folder) {
  const std::wstring full = FullFolderPath(folder);
  if (full.empty()) return false;
  const std::wstring root = RootOf(full);
  if (root_.empty()) {
    if (!FolderExists(root)) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return false;
    }
    root_ = root;
  } else if (!SamePath(root, root_)) {
    SetLastError(ERROR_NOT_SAME_DEVICE);
    return false;
  }
  Show(ListFolderChain(full, root_));
  if (onChange) onChange();
  return true;
}

void FolderListBox::Open(size_t index) {
  if (index >= entries_.size()) return;
  // The line's folder may have been deleted since it was listed: the chain then stops at the
  // nearest folder still there, and never above the root.
  const std::wstring wanted = entries_[index].path;
  Show(ListFolderChain(wanted, root_));
  if (onChange) onChange();
}

void FolderListBox::OpenSelected() {
  if (list_ == nullptr) return;
  const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (selected < 0) return;
  Open(static_cast<size_t>(selected));
}

void FolderListBox::OnCommand(WORD notificationCode) {
  // A selection change only moves the highlight: folders open on a double-click or Enter.
  if (notificationCode == LBN_DBLCLK) OpenSelected();
}

void FolderListBox::Show(FolderChain chain) {
  current_ = std::move(chain.current);
  entries_ = std::move(chain.entries);
  currentIndex_ = chain.currentIndex;
  error_ = chain.error;
  Fill();
}

void FolderListBox::Fill() {
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  size_t bytes = 0;
  for (const FolderEntry& entry : entries_) bytes += (entry.text.size() + 1) * sizeof(wchar_t);
  // Only a hint for the allocation: the items are added whether or not it could be taken.
  SendMessageW(list_, LB_INITSTORAGE, entries_.size(), static_cast<LPARAM>(bytes));
  for (size_t i = 0; i < entries_.size(); ++i) {
    const LRESULT added =
        SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entries_[i].text.c_str()));
    if (added < 0) {
      // Out of memory: keep the lines that made it, so the indices still match.
      entries_.resize(i);
      error_ = ERROR_NOT_ENOUGH_MEMORY;
      break;
    }
  }
  if (currentIndex_ < entries_.size())
    SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(currentIndex_), 0);
  UpdateMetrics();
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

HFONT FolderListBox::DrawingFont() const {
  if (font_ != nullptr) return font_;
  if (list_ != nullptr) {
    if (auto font = reinterpret_cast<HFONT>(SendMessageW(list_, WM_GETFONT, 0, 0))) return font;
  }
  return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

void FolderListBox::UpdateMetrics() {
  if (list_ == nullptr) return;
  HDC dc = GetDC(list_);
  if (dc == nullptr) return;  // keep the last metrics; the list still works
  HGDIOBJ old = SelectObject(dc, DrawingFont());
  TEXTMETRICW metrics;
  if (GetTextMetricsW(dc, &metrics)) {
    indent_ = std::max<int>(4, metrics.tmHeight);
    padding_ = std::max<int>(2, metrics.tmAveCharWidth / 2);
    SendMessageW(list_, LB_SETITEMHEIGHT, 0, MAKELPARAM(ItemHeightFor(metrics), 0));
  }
  // Long names and deep chains scroll sideways rather than being cut off.
  int widest = 0;
  for (const FolderEntry& entry : entries_) {
    SIZE size{};
    if (GetTextExtentPoint32W(dc, entry.text.c_str(), static_cast<int>(entry.text.size()), &size))
      widest = std::max<int>(widest, padding_ + (entry.level + 1) * indent_ + size.cx + padding_);
  }
  if (old != nullptr && old != HGDI_ERROR) SelectObject(dc, old);
  ReleaseDC(list_, dc);
  SendMessageW(list_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest), 0);
}

void FolderListBox::OnMeasureItem(MEASUREITEMSTRUCT& item) const {
  TEXTMETRICW metrics;
  if (MeasureFont(list_, DrawingFont(), metrics)) item.itemHeight = ItemHeightFor(metrics);
}

void FolderListBox::OnDrawItem(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  RECT box = item.rcItem;
  const bool focus = (item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT);
  if (item.itemID == static_cast<UINT>(-1) || item.itemID >= entries_.size()) {
    // An empty list still shows where the keyboard focus is.
    if (focus) DrawFocusRect(dc, &box);
    return;
  }
  if (item.itemAction == ODA_FOCUS) {
    DrawFocusRect(dc, &box);
    return;
  }
  const FolderEntry& entry = entries_[item.itemID];
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  FillRect(dc, &box, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const COLORREF ink = GetSysColor(disabled ? COLOR_GRAYTEXT
                                            : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
  const COLORREF oldInk = SetTextColor(dc, ink);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = SelectObject(dc, DrawingFont());

  // A small triangle tells the open chain (pointing down) from the subfolders one could open
  // (pointing right), the way tree views mark expanded and collapsed folders.
  const int left = box.left + padding_ + entry.level * indent_;
  const int mark = std::max<int>(2, indent_ / 4);
  const int cx = left + indent_ / 2;
  const int cy = (box.top + box.bottom) / 2;
  POINT triangle[3];
  if (item.itemID <= currentIndex_) {
    triangle[0] = {cx - mark, cy - mark / 2};
    triangle[1] = {cx + mark, cy - mark / 2};
    triangle[2] = {cx, cy + mark / 2 + 1};
  } else {
    triangle[0] = {cx - mark / 2, cy - mark};
    triangle[1] = {cx - mark / 2, cy + mark};
    triangle[2] = {cx + mark / 2 + 1, cy};
  }
  HBRUSH brush = CreateSolidBrush(ink);
  if (brush != nullptr) {
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, triangle, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(brush);
  }

  RECT text = box;
  text.left = left + indent_;
  DrawTextW(dc, entry.text.c_str(), static_cast<int>(entry.text.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);

  if (oldFont != nullptr && oldFont != HGDI_ERROR) SelectObject(dc, oldFont);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldInk);
  if (focus) DrawFocusRect(dc, &box);
}

LRESULT CALLBACK FolderListBox::SubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR, DWORD_PTR self) {
  auto* box = reinterpret_cast<FolderListBox*>(self);
  switch (message) {
    case WM_GETDLGCODE: {
      // Enter opens the folder; without this the dialog manager would press the default
      // button instead.
      LRESULT code = DefSubclassProc(hwnd, message, wParam, lParam);
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
      RemoveWindowSubclass(hwnd, &FolderListBox::SubclassProc, kSubclassId);
      box->list_ = nullptr;
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace quorvane
