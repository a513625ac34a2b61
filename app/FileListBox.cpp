#include "app/FileListBox.h"

#include <algorithm>
#include <utility>

#include "app/FolderListing.h"
#include "services/Handles.h"

namespace quorvane {
namespace {

// The timer that looks for the end of a read and then puts the names in, a slice at a time.
// It goes straight to FileListBox::OnTimer, not through the list box: a subclassed list box
// (under Wine, where each message then looks up the subclass through the server) takes
// fifty times as long to take in a name.
constexpr UINT_PTR kFillTimer = 0x51F1;  // any number the list box does not use itself

// Up to this many names read within the wait go in at once, without slices (a few
// milliseconds' work): a folder of ordinary size is then complete when SetPath returns.
constexpr size_t kAtOnce = 5000;
// A slice looks at the clock after this many names.
constexpr size_t kSliceStep = 64;

// The lists of this thread, for their timer: it names only the list box.
thread_local std::vector<std::pair<HWND, FileListBox*>> t_lists;

// Measures names in the list's font, for its horizontal extent.
class TextMeter {
 public:
  TextMeter(HWND list, HFONT font) : list_(list), dc_(GetDC(list)) {
    if (dc_ == nullptr) return;
    if (font == nullptr) font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
    old_ = font ? SelectObject(dc_, font) : nullptr;
    TEXTMETRICW metrics{};
    // Without metrics there is no margin; the extent is still usable.
    if (GetTextMetricsW(dc_, &metrics)) margin_ = metrics.tmAveCharWidth;
  }
  ~TextMeter() {
    if (dc_ == nullptr) return;
    if (old_ != nullptr && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    ReleaseDC(list_, dc_);
  }
  TextMeter(const TextMeter&) = delete;
  TextMeter& operator=(const TextMeter&) = delete;

  int Width(const std::wstring& text) const {
    SIZE size{};
    if (dc_ == nullptr || !GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size))
      return 0;
    return size.cx;
  }
  // The list box's own margin around the text is about one average character.
  int Margin() const { return margin_; }

 private:
  HWND list_;
  HDC dc_;
  HGDIOBJ old_ = nullptr;
  int margin_ = 0;
};

}  // namespace

// One read of a folder, shared by the list and the worker that reads it: the worker writes
// `result`, then sets `done` and touches nothing more. A list that has moved on to another
// folder just lets go of it.
struct FileListBox::Reading {
  std::wstring folder;
  std::wstring pattern;
  UniqueHandle done;
  NameList result;

  static void CALLBACK Run(PTP_CALLBACK_INSTANCE, void* context) {
    const std::unique_ptr<std::shared_ptr<Reading>> owned(static_cast<std::shared_ptr<Reading>*>(context));
    Reading& reading = **owned;
    reading.result = ListFiles(reading.folder, reading.pattern);
    SetEvent(reading.done.get());
  }
};

DWORD FileListBox::Style() {
  // Not LBS_SORT: the names arrive sorted, and a sorted list box would compare every one
  // of a large folder's names again on insertion.
  return WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
}

DWORD FileListBox::ExStyle() { return WS_EX_CLIENTEDGE; }

FileListBox::~FileListBox() {
  StopFilling();
  Detach();
}

bool FileListBox::Attach(HWND list) {
  const bool reread = Filling();  // what was being read for the old list is read again
  StopFilling();
  Detach();
  if (!IsWindow(list)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  // A list that had this handle before has been destroyed: its box must not touch the new one.
  for (auto& [hwnd, box] : t_lists)
    if (hwnd == list) box->list_ = nullptr;
  std::erase_if(t_lists, [list](const auto& entry) { return entry.first == list; });
  list_ = list;
  t_lists.emplace_back(list, this);
  Fill();
  if (reread) SetPath(std::wstring(path_));
  return true;
}

void FileListBox::Detach() {
  std::erase_if(t_lists, [this](const auto& entry) { return entry.second == this; });
  list_ = nullptr;
}

void FileListBox::SetFont(HFONT font) {
  font_ = font;
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  widest_ = 0;
  MeasureNames(0);
}

bool FileListBox::Filling() const { return reading_ != nullptr || next_ < waiting_.size(); }

void FileListBox::StopFilling() {
  reading_.reset();  // its worker finishes on its own, and its names are dropped
  waiting_.clear();
  next_ = 0;
  if (list_ != nullptr && IsWindow(list_)) KillTimer(list_, kFillTimer);
}

void FileListBox::SetPath(const std::wstring& folder) {
  StopFilling();
  pending_.clear();
  names_.clear();
  error_ = ERROR_SUCCESS;
  std::wstring full = FullFolderPath(folder);
  if (full.empty()) {
    error_ = GetLastError();
    path_ = TrimFolder(folder);
    Fill();
    return;
  }
  path_ = std::move(full);
  if (list_ == nullptr) {
    // No list to fill yet: Attach shows these.
    NameList listed = ListFiles(path_, pattern_);
    names_ = std::move(listed.names);
    error_ = listed.error;
    return;
  }
  // The old names go at once: a click must never pick one of them in the new folder.
  Fill();

  auto reading = std::make_shared<Reading>();
  reading->folder = path_;
  reading->pattern = pattern_;
  reading->done.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  auto* context = new std::shared_ptr<Reading>(reading);
  if (!reading->done || !TrySubmitThreadpoolCallback(&Reading::Run, context, nullptr)) {
    delete context;
    // No worker to be had: read here, as a slower list would.
    NameList listed = ListFiles(path_, pattern_);
    Listed(std::move(listed.names), listed.error, true);
    return;
  }
  // No wait at all means always in the background, however quick the read.
  if (pacing_.waitMs > 0 && WaitForSingleObject(reading->done.get(), pacing_.waitMs) == WAIT_OBJECT_0) {
    Listed(std::move(reading->result.names), reading->result.error, true);
    return;
  }
  reading_ = std::move(reading);
  // The timer looks for the end of the read; no timer, no window that answers: wait for it.
  if (SetTimer(list_, kFillTimer, USER_TIMER_MINIMUM, &FileListBox::OnTimer) == 0) {
    WaitForSingleObject(reading_->done.get(), INFINITE);
    Tick();
  }
}

void FileListBox::Tick() {
  if (reading_ != nullptr) {
    if (WaitForSingleObject(reading_->done.get(), 0) != WAIT_OBJECT_0) return;  // still reading
    const std::shared_ptr<Reading> reading = std::move(reading_);
    Listed(std::move(reading->result.names), reading->result.error, false);
    return;
  }
  AddSlice(false);
}

void CALLBACK FileListBox::OnTimer(HWND hwnd, UINT, UINT_PTR id, DWORD) {
  const auto found =
      std::find_if(t_lists.begin(), t_lists.end(), [hwnd](const auto& entry) { return entry.first == hwnd; });
  if (found == t_lists.end()) {
    KillTimer(hwnd, id);  // its list has gone
    return;
  }
  found->second->Tick();
}

void FileListBox::Listed(std::vector<std::wstring> names, DWORD error, bool inTime) {
  error_ = error;
  Queue(std::move(names));
  AddSlice(inTime && waiting_.size() <= kAtOnce);
}

void FileListBox::Queue(std::vector<std::wstring> names) {
  waiting_ = std::move(names);
  next_ = 0;
  if (list_ == nullptr || waiting_.empty()) return;
  size_t bytes = 0;
  for (const std::wstring& name : waiting_) bytes += (name.size() + 1) * sizeof(wchar_t);
  // Only a hint for the allocation: the items are added whether or not it could be taken.
  SendMessageW(list_, LB_INITSTORAGE, waiting_.size(), static_cast<LPARAM>(bytes));
}

void FileListBox::AddSlice(bool all) {
  if (list_ == nullptr) return;
  const ULONGLONG start = GetTickCount64();
  const int widest = widest_;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  {
    const TextMeter meter(list_, font_);
    while (next_ < waiting_.size()) {
      const LRESULT added =
          SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(waiting_[next_].c_str()));
      if (added < 0) {
        // Out of memory: keep the names that made it, so the indices still match.
        error_ = ERROR_NOT_ENOUGH_MEMORY;
        waiting_.clear();
        next_ = 0;
        break;
      }
      // Long names scroll sideways rather than being cut off.
      widest_ = std::max(widest_, meter.Width(waiting_[next_]));
      names_.push_back(std::move(waiting_[next_++]));
      if (!all && next_ % kSliceStep == 0 && GetTickCount64() - start >= pacing_.sliceMs) break;
    }
    if (widest_ != widest || names_.empty())
      SendMessageW(list_, LB_SETHORIZONTALEXTENT,
                   static_cast<WPARAM>(widest_ > 0 ? widest_ + meter.Margin() : 0), 0);
  }
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
  if (next_ < waiting_.size()) {
    // The rest after whatever the user does meanwhile: a timer comes after input and painting.
    if (SetTimer(list_, kFillTimer, USER_TIMER_MINIMUM, &FileListBox::OnTimer) == 0)
      AddSlice(true);  // no timer: all now
    return;
  }
  waiting_.clear();
  waiting_.shrink_to_fit();
  next_ = 0;
  KillTimer(list_, kFillTimer);
  ChoosePending();
}

void FileListBox::ChooseWhenListed(const std::wstring& name) {
  pending_ = name;
  if (!Filling()) ChoosePending();
}

void FileListBox::ChoosePending() {
  if (pending_.empty() || list_ == nullptr) return;
  const std::wstring name = std::move(pending_);
  pending_.clear();
  // The name as the list spells it: the disk's, which may differ in case from what was asked.
  auto found = std::find(names_.begin(), names_.end(), name);
  if (found == names_.end())
    found = std::find_if(names_.begin(), names_.end(), [&](const std::wstring& n) { return SamePath(n, name); });
  if (found == names_.end()) return;
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(found - names_.begin()), 0);
  if (onClick) onClick();
}

// The list made to show names_ again from the start (after Attach, or with no names at all),
// all at once as it always was.
void FileListBox::Fill() {
  if (list_ == nullptr) return;
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  widest_ = 0;
  std::vector<std::wstring> names = std::move(names_);
  names_.clear();
  Queue(std::move(names));
  AddSlice(true);
}

void FileListBox::MeasureNames(size_t from) {
  if (list_ == nullptr) return;
  const TextMeter meter(list_, font_);
  for (size_t i = from; i < names_.size(); ++i) widest_ = std::max(widest_, meter.Width(names_[i]));
  SendMessageW(list_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest_ > 0 ? widest_ + meter.Margin() : 0),
               0);
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

}  // namespace quorvane
