#include "tests/support/ui_driver.h"

#include <shlobj.h>  // DROPFILES

#include <algorithm>
#include <ostream>

#include "services/Jobs.h"
#include "tests/support/check.h"

namespace check {
namespace {

MessageBoxAnswerer* g_answerer = nullptr;

// Message boxes show their text in a static control with this id, on Windows and Wine alike.
constexpr int kMessageBoxText = 0xFFFF;

UINT IconStyle(HWND box) {
  const std::pair<LPCWSTR, UINT> icons[] = {{IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                                            {IDI_INFORMATION, MB_ICONINFORMATION},
                                            {IDI_QUESTION, MB_ICONQUESTION},
                                            {IDI_HAND, MB_ICONHAND}};
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const HICON shown = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
    if (shown == nullptr) continue;
    for (auto [id, style] : icons)
      if (LoadIconW(nullptr, id) == shown) return style;
  }
  return 0;
}

}  // namespace

SeenBox Seen(HWND box) {
  const bool yesNo = GetDlgItem(box, IDYES) != nullptr && GetDlgItem(box, IDNO) != nullptr;
  const UINT buttons = yesNo ? MB_YESNO : (GetDlgItem(box, IDCANCEL) != nullptr ? MB_OKCANCEL : MB_OK);
  return {TextOf(GetDlgItem(box, kMessageBoxText)), TextOf(box), buttons | IconStyle(box)};
}

void Answer(HWND box, int button) {
  if (!PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button))))
    Fail(__FILE__, __LINE__, "cannot answer: the message box is gone");
}

std::vector<HWND> TopWindows(const wchar_t* className, DWORD processId) {
  std::vector<HWND> found;
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, className, nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId && IsWindowVisible(window)) found.push_back(window);
  }
  return found;
}

HWND TopWindow(const wchar_t* className, DWORD processId) {
  const std::vector<HWND> found = TopWindows(className, processId);
  return found.empty() ? nullptr : found.front();
}

HWND Control(HWND window, int id) {
  std::pair<int, HWND> search{id, nullptr};
  if (window != nullptr)
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) {
          auto* s = reinterpret_cast<std::pair<int, HWND>*>(param);
          if (GetDlgCtrlID(child) != s->first) return TRUE;
          s->second = child;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
  return search.second;
}

std::ostream& operator<<(std::ostream& out, const SeenBox& box) {
  return out << "{" << Show(box.text) << ", " << Show(box.title) << ", " << box.style << "}";
}

SeenBox Warning(const std::wstring& text) { return {text, L"Oops..!", MB_OK | MB_ICONEXCLAMATION}; }

SeenBox Question(const std::wstring& prefix) {
  return {L"Add " + prefix + L".larmor.bmp to " + prefix + L".vol?", L"Success", MB_YESNO | MB_ICONINFORMATION};
}

SeenBox ExitQuestion() { return {L"Are you sure you wish to exit?", L"Confirm Exit", MB_YESNO | MB_ICONQUESTION}; }

MessageBoxAnswerer::MessageBoxAnswerer() {
  g_answerer = this;
  // A hook on every message (WH_CALLWNDPROCRET) would cost Wine a trip to its server for
  // each message the whole window sends. A CBT hook runs only as windows are made, shown
  // and focused: it catches each dialog as it is made and watches it from its window
  // procedure, which sees WM_INITDIALOG end with the box's texts in place.
  hook_ = SetWindowsHookExW(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
  if (hook_ == nullptr) Abort(__FILE__, __LINE__, "cannot hook message boxes");
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  UnhookWindowsHookEx(hook_);
  g_answerer = nullptr;
}

namespace {

constexpr const wchar_t* kOriginalProcedure = L"QuorvaneTestOriginalProcedure";

void AnswerScripted(HWND box) {
  g_answerer->seen.push_back(Seen(box));
  const UINT buttons = g_answerer->seen.back().style & MB_TYPEMASK;
  int answer = IDOK;
  if (buttons != MB_OK) {
    if (g_answerer->answers.empty()) {
      Fail(__FILE__, __LINE__, "unexpected question: " + Show(g_answerer->seen.back().text));
      answer = buttons == MB_YESNO ? IDNO : IDCANCEL;
    } else {
      answer = g_answerer->answers.front();
      g_answerer->answers.pop_front();
    }
  }
  Answer(box, answer);
}

LRESULT CALLBACK DialogWatch(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto original = reinterpret_cast<WNDPROC>(GetPropW(dialog, kOriginalProcedure));
  const LRESULT result = CallWindowProcW(original, dialog, message, wParam, lParam);
  if (message == WM_INITDIALOG && g_answerer != nullptr && GetDlgItem(dialog, kMessageBoxText) != nullptr)
    AnswerScripted(dialog);
  if (message == WM_NCDESTROY) RemovePropW(dialog, kOriginalProcedure);
  return result;
}

}  // namespace

LRESULT CALLBACK MessageBoxAnswerer::Hook(int code, WPARAM wParam, LPARAM lParam) {
  wchar_t className[16] = {};
  const HWND window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_CREATEWND && g_answerer != nullptr && GetClassNameW(window, className, 16) &&
      std::wstring(className) == L"#32770") {
    const LONG_PTR original = GetWindowLongPtrW(window, GWLP_WNDPROC);
    if (SetPropW(window, kOriginalProcedure, reinterpret_cast<HANDLE>(original)))
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogWatch));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Handled before this returns when the button is this thread's; another thread's handles it
// in turn with what else this thread sends it, without this one waiting: the click may open
// a message box that waits for this thread to answer it.
void Click(HWND button) {
  if (!SendNotifyMessageW(button, BM_CLICK, 0, 0)) Fail(__FILE__, __LINE__, "cannot click: no such button");
}

void Type(HWND edit, const std::wstring& text) { SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())); }

namespace {
void Notify(HWND list, int code) {
  SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), code), reinterpret_cast<LPARAM>(list));
}
}  // namespace

void Choose(HWND list, int index) {
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  Notify(list, LBN_SELCHANGE);
}

void Open(HWND list, int index, bool settle) {
  Choose(list, index);
  Notify(list, LBN_DBLCLK);
  if (settle) Settle();
}

void Settle() {
  Pump();
  PumpUntil([] { return quorvane::BackgroundSettled(); });
}

void Key(HWND target, UINT key, DWORD ms) {
  PostMessageW(target, WM_KEYDOWN, key, 1);
  PostMessageW(target, WM_KEYUP, key, 0xC0000001);
  Pump(ms);
}

void Drop(HWND window, const std::vector<std::wstring>& paths) {
  // A DROPFILES header, then each path and its null, then one more null; the receiver frees it.
  size_t chars = 1;
  for (const std::wstring& path : paths) chars += path.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  REQUIRE(memory != nullptr);
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  auto* at = reinterpret_cast<wchar_t*>(header + 1);
  for (const std::wstring& path : paths) at = std::copy(path.begin(), path.end(), at) + 1;
  GlobalUnlock(memory);
  SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  Settle();
}

std::wstring Item(HWND list, int index) {
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  std::wstring item(static_cast<size_t>(length < 0 ? 0 : length) + 1, L'\0');
  const LRESULT got = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item.data()));
  item.resize(got < 0 ? 0 : static_cast<size_t>(got));
  return item;
}

int IndexOf(HWND list, const std::wstring& text, int first) {
  // The search starts after `from` and wraps around to it: a line at or before `from` means
  // there is no other.
  for (LRESULT from = first - 1;;) {
    const LRESULT i =
        SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(text.c_str()));
    if (i == LB_ERR || i <= from) return -1;
    if (Item(list, static_cast<int>(i)) == text) return static_cast<int>(i);
    from = i;
  }
}

int Selection(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)); }

std::vector<std::wstring> Items(HWND list) {
  std::vector<std::wstring> items;
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) items.push_back(Item(list, i));
  return items;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

RECT RectIn(HWND window, HWND reference) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, reference, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace check
