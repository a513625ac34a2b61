#include "app/FileListBox.h"

#include <algorithm>

#include "app/FolderListing.h"

namespace quorvane {

DWORD FileListBox::Style() {
  // Not LBS_SORT: the names arrive sorted, and a sorted list box would compare every one
  // of a large folder's names again on insertion.
  return WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY |
         LBS_NOINTEGRALHEIGHT;
}

DWORD FileListBox::ExStyle() { return WS_EX_CLIENTEDGE; }

bool FileListBox::Attach(HWND list) {
  if (!IsWindow(list)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  list_ = list;
  Fill();
  return true;
}

void FileListBox::SetFont(HFONT font) {
  font_ = font;
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  UpdateExtent();
}

void FileListBox::SetPath(const std::wstring& folder) {
  std::wstring full = FullFolderPath(folder);
  if (full.empty()) {
    error_ = GetLastError();
    path_ = TrimFolder(folder);
    names_.clear();
  } else {
    NameList listed = ListFiles(full, pattern_);
    path_ = std::move(full);
    names_ = std::move(listed.names);
    error_ = listed.error;
  }
  Fill();
}

std::wstring FileListBox::FileName() const {
  if (list_ == nullptr) return {};
  const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (selected < 0 || static_cast<size_t>(selected) >= names_.size()) return {};
  return names_[static_cast<size_t>(selected)];
}

void FileListBox::OnCommand(WORD notificationCode) {
  if (notificationCode == LBN_SELCHANGE && onClick) onClick();
}

void FileListBox::Fill() {
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  size_t bytes = 0;
  for (const std::wstring& name : names_) bytes += (name.size() + 1) * sizeof(wchar_t);
  // Only a hint for the allocation: the items are added whether or not it could be taken.
  SendMessageW(list_, LB_INITSTORAGE, names_.size(), static_cast<LPARAM>(bytes));
  for (size_t i = 0; i < names_.size(); ++i) {
    const LRESULT added =
        SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(names_[i].c_str()));
    if (added < 0) {
      // Out of memory: keep the names that made it, so the indices still match.
      names_.resize(i);
      error_ = ERROR_NOT_ENOUGH_MEMORY;
      break;
    }
  }
  UpdateExtent();
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
}

void FileListBox::UpdateExtent() {
  // Long names scroll sideways rather than being cut off.
  HDC dc = GetDC(list_);
  if (dc == nullptr) return;
  HFONT font = font_ ? font_ : reinterpret_cast<HFONT>(SendMessageW(list_, WM_GETFONT, 0, 0));
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  TEXTMETRICW metrics{};
  if (!GetTextMetricsW(dc, &metrics)) metrics.tmAveCharWidth = 0;  // then no margin, still usable
  int widest = 0;
  for (const std::wstring& name : names_) {
    SIZE size{};
    if (GetTextExtentPoint32W(dc, name.c_str(), static_cast<int>(name.size()), &size))
      widest = std::max<int>(widest, size.cx);
  }
  if (old != nullptr && old != HGDI_ERROR) SelectObject(dc, old);
  ReleaseDC(list_, dc);
  // The list box's own margin around the text is about one average character.
  SendMessageW(list_, LB_SETHORIZONTALEXTENT,
               static_cast<WPARAM>(widest > 0 ? widest + metrics.tmAveCharWidth : 0), 0);
}

}  // namespace quorvane
