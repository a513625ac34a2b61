#include "app/FolderListBox.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "services/ResultWindow.h"

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

// One read of a folder: it comes to something only while the list still waits for it.
// Touched on the interface thread only.
struct FolderListBox::Token {
  FolderListBox* box = nullptr;
};

FolderListBox::~FolderListBox() {
  watch_.Stop();
  if (token_ != nullptr) token_->box = nullptr;
  Detach();
}

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
  std::wstring ignored;
  MakeResultWindow(ignored);  // without it, folders are read here
  list_ = list;
  Fill(currentIndex_);  // what SetPath listed before the control existed, with metrics for its font
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

bool FolderListBox::SetRoot(const std::wstring& full) {
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
  return true;
}

bool FolderListBox::SetPath(const std::wstring& folder) {
  const std::wstring full = FullFolderPath(folder);
  if (full.empty() || !SetRoot(full)) return false;
  if (token_ != nullptr) token_->box = nullptr;  // an older read never overrides this
  token_.reset();
  Show(ListFolderChain(full, root_));
  if (onChange) onChange();
  return true;
}

bool FolderListBox::SetListing(const std::wstring& folder, const NameList& subfolders) {
  const std::wstring full = FullFolderPath(folder);
  if (full.empty() || !SetRoot(full)) return false;
  if (token_ != nullptr) token_->box = nullptr;
  token_.reset();
  if (FolderExists(full))
    Show(ChainWith(full, root_, &subfolders));
  else
    Show(ListFolderChain(full, root_));
  return true;
}

void FolderListBox::Open(size_t index) {
  if (index >= entries_.size()) return;
  // The line's folder may have been deleted since it was listed: the chain then stops at the
  // nearest folder still there, and never above the root.
  Read(entries_[index].path, true);
}

void FolderListBox::StartWatching() {
  if (watching_) return;
  watching_ = true;
  if (current_.empty()) return;
  Watch();
  // Whatever changed while nobody watched. Not when the list was read just before it was first
  // watched (at start, or as its page is made): a change in that moment shows with the next.
  if (missed_) Refresh();
  missed_ = false;
}

void FolderListBox::StopWatching() {
  watching_ = false;
  missed_ = true;
  watch_.Stop();
}

void FolderListBox::Watch() {
  // One watch for the pane: the files in the folder are its file list's, told through
  // onContentChange.
  if (!watch_.Start(current_, FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_FILE_NAME, [this] { Refresh(); }))
    watch_.Stop();  // not watchable (unreadable, say): shown as read, and read again when shown again
}

void FolderListBox::Refresh() {
  if (current_.empty()) return;
  if (token_ != nullptr) {
    readAgain_ = true;  // once this read is in: it may have missed the change
    return;
  }
  Read(current_, false);
}

void FolderListBox::Read(const std::wstring& wanted, bool opening) {
  if (token_ != nullptr) token_->box = nullptr;  // the newest read wins
  token_ = std::make_shared<Token>(Token{this});
  opening_ = opening;
  readAgain_ = false;
  const auto pending = std::make_shared<PendingWork>();
  auto read = [wanted, root = root_] {
    Reading reading;
    reading.chain = ListFolderChain(wanted, root);
    reading.empty = reading.chain.currentIndex + 1 == reading.chain.entries.size() &&
                    reading.chain.error == ERROR_SUCCESS && FolderIsEmpty(reading.chain.current);
    return reading;
  };
  const bool started = ResultWindow() != nullptr && RunOnWorker([token = token_, wanted, opening, pending, read] {
                         PostToInterface([token, wanted, opening, pending = pending, reading = read()]() mutable {
                           pending.reset();  // in: whatever the list does with it is the list's own work
                           if (token->box != nullptr) token->box->Opened(std::move(reading), wanted, opening);
                         });
                       });
  if (!started) Opened(read(), wanted, opening);  // read here, as a slower list would
}

void FolderListBox::Opened(Reading reading, const std::wstring& wanted, bool opening) {
  token_.reset();
  FolderChain& chain = reading.chain;
  const bool there = SamePath(chain.current, TrimFolder(wanted));  // the same path, whatever its capitals
  if (opening && there && chain.error != ERROR_SUCCESS) {
    // Cannot be read: the list stays where it was, its highlight back on the current folder.
    if (list_ != nullptr && currentIndex_ < entries_.size())
      SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(currentIndex_), 0);
    if (onOpenFailed) onOpenFailed(TrimFolder(wanted), chain.error);
  } else if (!opening && there && reading.empty && watch_.Watching()) {
    // A folder is emptied before it is deleted, and where a deleted folder lasts as long as
    // anyone has it open, the watch would keep it: let go of it, then look again.
    watch_.Stop();
    Read(current_, false);
    return;
  } else {
    const bool moved = opening || !SamePath(chain.current, current_);
    Show(std::move(chain), !moved);
    if (watching_ && !watch_.Watching()) Watch();
    if (moved && onChange) onChange();
    if (!moved && onContentChange) onContentChange();
  }
  if (readAgain_ && token_ == nullptr) Refresh();
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

void FolderListBox::Show(FolderChain chain, bool keepView) {
  // A list read again keeps its scroll position and the line the user highlighted.
  LRESULT top = -1;
  std::wstring highlighted;
  if (keepView && list_ != nullptr) {
    top = SendMessageW(list_, LB_GETTOPINDEX, 0, 0);
    const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
    if (selected >= 0 && static_cast<size_t>(selected) < entries_.size())
      highlighted = entries_[static_cast<size_t>(selected)].path;
  }
  const bool moved = !SamePath(chain.current, current_);
  if (keepView && !moved && chain.entries == entries_) {
    // Read again and the same (a file came or went): the list stays as it is, untouched.
    error_ = chain.error;
    return;
  }
  if (moved) watch_.Stop();
  current_ = std::move(chain.current);
  entries_ = std::move(chain.entries);
  currentIndex_ = chain.currentIndex;
  error_ = chain.error;
  if (moved && watching_) Watch();
  size_t select = currentIndex_;
  if (!highlighted.empty()) {
    for (size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].path == highlighted) select = i;
  }
  Fill(select, top);
}

void FolderListBox::Fill(size_t select, LRESULT top) {
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
  if (select < entries_.size()) SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(select), 0);
  if (top >= 0) SendMessageW(list_, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
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
  // Disabled text is only sure to be readable on the window's colour (in a high-contrast scheme
  // the disabled and selection colours may be green and cyan): a disabled list's selected line
  // keeps that background, framed in the text's colour.
  FillRect(dc, &box, GetSysColorBrush(selected && !disabled ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  if (selected && disabled) FrameRect(dc, &box, GetSysColorBrush(COLOR_GRAYTEXT));
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
