#include "app/FileListBox.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "app/FolderListing.h"
#include "services/ResultWindow.h"

namespace quorvane {
namespace {

// How long one slice of names may keep the interface thread; a slice looks at the clock after
// every kSliceStep names. A tenth of a second is the longest the window may go unanswered.
constexpr ULONGLONG kSliceMs = 15;
constexpr size_t kSliceStep = 64;

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

// The reads and slices of one folder: they do something only while their list still has them.
// Touched on the interface thread only.
struct FileListBox::Token {
  FileListBox* box = nullptr;
};

DWORD FileListBox::Style() {
  // Not LBS_SORT: the names arrive sorted, and a sorted list box would compare every one
  // of a large folder's names again on insertion.
  return WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
}

DWORD FileListBox::ExStyle() { return WS_EX_CLIENTEDGE; }

FileListBox::~FileListBox() {
  Drop();
  Detach();
}

bool FileListBox::Attach(HWND list) {
  const bool reread = reading_;  // what was being read for the old list is read again
  Drop();
  Detach();
  if (!IsWindow(list)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  // Without the results window the folders are read here, as a slower list would.
  std::wstring ignored;
  MakeResultWindow(ignored);
  list_ = list;
  ShowAll();
  if (reread) Read();
  return true;
}

void FileListBox::Detach() { list_ = nullptr; }

void FileListBox::SetFont(HFONT font) {
  font_ = font;
  if (list_ == nullptr) return;
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  MeasureNames();
}

void FileListBox::Drop() {
  if (token_ != nullptr) token_->box = nullptr;  // its read and its next slice come to nothing
  token_.reset();
  reading_ = readAgain_ = continuing_ = false;
  // The list shows done_ and then rest_ backwards: one list again.
  done_.insert(done_.end(), std::make_move_iterator(rest_.rbegin()), std::make_move_iterator(rest_.rend()));
  rest_.clear();
  target_.clear();
  next_ = 0;
  filling_.reset();
}

void FileListBox::SetPath(const std::wstring& folder) {
  Drop();
  done_.clear();
  pending_.clear();
  missing_ = nullptr;
  error_ = ERROR_SUCCESS;
  std::wstring full = FullFolderPath(folder);
  if (full.empty()) {
    error_ = GetLastError();
    path_ = TrimFolder(folder);
    ShowAll();
    return;
  }
  path_ = std::move(full);
  if (list_ == nullptr) {
    // No list to fill yet: Attach shows these.
    NameList listed = ListFiles(path_, pattern_);
    done_ = std::move(listed.names);
    error_ = listed.error;
    return;
  }
  // The old names go at once: a click must never pick one of them in the new folder.
  ShowAll();
  Read();
}

void FileListBox::SetListing(const std::wstring& folder, std::vector<std::wstring> names, DWORD error) {
  Drop();
  pending_.clear();
  missing_ = nullptr;
  std::wstring full = FullFolderPath(folder);
  path_ = full.empty() ? TrimFolder(folder) : std::move(full);
  done_ = std::move(names);
  error_ = error;
  ShowAll();
}

void FileListBox::Refresh() {
  if (list_ != nullptr && !path_.empty()) Read();
}

void FileListBox::Read() {
  if (reading_) {
    readAgain_ = true;  // once this read is in: it may have missed the change
    return;
  }
  if (token_ == nullptr) token_ = std::make_shared<Token>(Token{this});
  reading_ = true;
  readAgain_ = false;
  const auto pending = std::make_shared<PendingWork>();
  const bool started = ResultWindow() != nullptr &&
                       RunOnWorker([token = token_, folder = path_, pattern = pattern_, pending] {
                         NameList listed = ListFiles(folder, pattern);
                         PostToInterface([token, pending = pending, listed = std::move(listed)]() mutable {
                           pending.reset();  // in: putting it in counts as the list's own work
                           if (token->box != nullptr) token->box->Listed(std::move(listed.names), listed.error);
                         });
                       });
  if (!started) {
    // No worker or no results window to be had: read here, as a slower list would.
    NameList listed = ListFiles(path_, pattern_);
    Listed(std::move(listed.names), listed.error);
  }
}

void FileListBox::Listed(std::vector<std::wstring> names, DWORD error) {
  reading_ = false;
  error_ = error;
  // Matched afresh against whatever the list shows now, even half-way through the last names.
  rest_.insert(rest_.end(), std::make_move_iterator(done_.rbegin()), std::make_move_iterator(done_.rend()));
  done_.clear();
  target_ = std::move(names);
  next_ = 0;
  if (filling_ == nullptr) filling_ = std::make_unique<PendingWork>();
  if (list_ != nullptr && rest_.empty() && !target_.empty()) {
    size_t bytes = 0;
    for (const std::wstring& name : target_) bytes += (name.size() + 1) * sizeof(wchar_t);
    // Only a hint for the allocation: the items are added whether or not it could be taken.
    SendMessageW(list_, LB_INITSTORAGE, target_.size(), static_cast<LPARAM>(bytes));
  }
  if (!continuing_) AddSlice(false);
  if (readAgain_) Read();
}

// Matches the names shown with those read, in their common order: a name read and not shown
// goes in, a name shown and no longer read goes out, and every other stays untouched.
void FileListBox::AddSlice(bool all) {
  if (list_ == nullptr || !IsWindow(list_)) {
    Drop();  // no list to fill: the names are kept for the next one
    return;
  }
  const ULONGLONG start = GetTickCount64();
  const LRESULT top = SendMessageW(list_, LB_GETTOPINDEX, 0, 0);
  const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  const std::wstring chosen =
      selected >= 0 && static_cast<size_t>(selected) < Count() ? NameAt(static_cast<size_t>(selected)) : L"";
  const int widest = widest_;
  bool changed = false;
  SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  {
    const TextMeter meter(list_, font_);
    size_t steps = 0;
    while (next_ < target_.size() || !rest_.empty()) {
      const auto at = static_cast<WPARAM>(done_.size());
      if (!rest_.empty() && (next_ == target_.size() || NameLess(rest_.back(), target_[next_]))) {
        if (meter.Width(rest_.back()) >= widest_) narrower_ = true;
        SendMessageW(list_, LB_DELETESTRING, at, 0);
        rest_.pop_back();
        changed = true;
      } else if (!rest_.empty() && rest_.back() == target_[next_]) {
        done_.push_back(std::move(rest_.back()));
        rest_.pop_back();
        ++next_;
      } else {
        const LRESULT added =
            SendMessageW(list_, LB_INSERTSTRING, at, reinterpret_cast<LPARAM>(target_[next_].c_str()));
        if (added < 0) {
          // Out of memory: keep the names that made it, so the indices still match.
          error_ = ERROR_NOT_ENOUGH_MEMORY;
          target_.clear();
          next_ = 0;
          break;
        }
        // Long names scroll sideways rather than being cut off.
        widest_ = std::max(widest_, meter.Width(target_[next_]));
        done_.push_back(std::move(target_[next_++]));
        changed = true;
      }
      if (!all && ++steps % kSliceStep == 0 && GetTickCount64() - start >= kSliceMs) break;
    }
    if (narrower_ && rest_.empty()) {
      narrower_ = false;
      widest_ = 0;
      for (size_t i = 0; i < Count(); ++i) widest_ = std::max(widest_, meter.Width(NameAt(i)));
    }
    if (widest_ != widest || Count() == 0)
      SendMessageW(list_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest_ > 0 ? widest_ + meter.Margin() : 0),
                   0);
  }
  if (changed && top >= 0) {
    // The chosen file stays chosen while it is there, and the list stays scrolled where it was.
    if (!chosen.empty()) {
      size_t low = 0, high = Count();
      while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (NameLess(NameAt(middle), chosen))
          low = middle + 1;
        else
          high = middle;
      }
      const bool there = low < Count() && NameAt(low) == chosen;
      SendMessageW(list_, LB_SETCURSEL, there ? static_cast<WPARAM>(low) : static_cast<WPARAM>(-1), 0);
    }
    SendMessageW(list_, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
  }
  SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list_, nullptr, TRUE);
  if (next_ < target_.size() || !rest_.empty()) {
    ContinueLater();
    return;
  }
  target_.clear();
  target_.shrink_to_fit();
  next_ = 0;
  filling_.reset();
  ChoosePending();
}

void FileListBox::ChooseWhenListed(const std::wstring& name, std::function<void()> missing) {
  pending_ = name;
  missing_ = std::move(missing);
  if (!Filling()) ChoosePending();
}

void FileListBox::ChoosePending() {
  if (pending_.empty() || list_ == nullptr) return;
  const std::wstring name = std::move(pending_);
  const std::function<void()> missing = std::move(missing_);
  pending_.clear();
  missing_ = nullptr;
  // The name as the list spells it, the disk's, which may differ in case from what was asked.
  const std::vector<std::wstring> names = Names();
  auto found = std::find(names.begin(), names.end(), name);
  if (found == names.end())
    found = std::find_if(names.begin(), names.end(), [&](const std::wstring& n) { return SamePath(n, name); });
  if (found == names.end()) {
    if (missing) missing();
    return;
  }
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(found - names.begin()), 0);
  if (onClick) onClick();
}

void FileListBox::ContinueLater() {
  if (continuing_) return;
  if (token_ == nullptr) token_ = std::make_shared<Token>(Token{this});
  continuing_ = true;
  auto next = [token = token_] {
    if (token->box == nullptr) return;
    token->box->continuing_ = false;
    token->box->AddSlice(false);
  };
  // A posted message comes before input, painting and timers: with any of those waiting, the
  // next slice is posted a moment later, so that they go first.
  const bool waiting = HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER | QS_HOTKEY)) != 0;
  if (!PostToInterface(next, waiting ? 1 : 0)) {
    continuing_ = false;
    AddSlice(true);  // no way to come back: all now
  }
}

// The list made to show the names again from the start (after Attach, or a new folder), all
// at once.
void FileListBox::ShowAll() {
  if (list_ == nullptr) return;
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  widest_ = 0;
  narrower_ = false;
  target_ = std::move(done_);
  done_.clear();
  next_ = 0;
  AddSlice(true);
}

const std::wstring& FileListBox::NameAt(size_t index) const {
  return index < done_.size() ? done_[index] : rest_[rest_.size() - 1 - (index - done_.size())];
}

std::vector<std::wstring> FileListBox::Names() const {
  std::vector<std::wstring> names = done_;
  names.insert(names.end(), rest_.rbegin(), rest_.rend());
  return names;
}

void FileListBox::MeasureNames() {
  if (list_ == nullptr) return;
  const TextMeter meter(list_, font_);
  widest_ = 0;
  for (size_t i = 0; i < Count(); ++i) widest_ = std::max(widest_, meter.Width(NameAt(i)));
  SendMessageW(list_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest_ > 0 ? widest_ + meter.Margin() : 0),
               0);
}

std::wstring FileListBox::FileName() const {
  if (list_ == nullptr) return {};
  const LRESULT selected = SendMessageW(list_, LB_GETCURSEL, 0, 0);
  if (selected < 0 || static_cast<size_t>(selected) >= Count()) return {};
  return NameAt(static_cast<size_t>(selected));
}

void FileListBox::OnCommand(WORD notificationCode) {
  if (notificationCode == LBN_SELCHANGE && onClick) onClick();
}

}  // namespace quorvane
