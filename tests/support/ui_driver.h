// Driving real windows from a test on the same thread: real message boxes answered from a
// script, and user actions sent as the messages the controls would get.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

namespace check {

// A message box as the user saw it.
struct SeenBox {
  std::wstring text, title;
  UINT style;  // the message-box style worked out from its buttons and icon
  bool operator==(const SeenBox&) const = default;
};
std::ostream& operator<<(std::ostream& out, const SeenBox& box);

// While alive, answers every message box this thread shows: OK for a box with only an OK
// button, otherwise the next scripted answer (IDYES, IDNO). Records what each box showed.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer();
  ~MessageBoxAnswerer();
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

  std::deque<int> answers;
  std::vector<SeenBox> seen;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  HHOOK hook_;
};

// The user's actions, as the controls report them to their parents.
void Click(HWND button);                               // BM_CLICK
void Type(HWND edit, const std::wstring& text);        // replaces the text; EN_CHANGE follows
void Choose(HWND list, int index);                     // selects an item: LBN_SELCHANGE
void Open(HWND list, int index);                       // double-clicks an item: LBN_DBLCLK
void Key(HWND target, UINT key);                       // WM_KEYDOWN/WM_KEYUP posted to target
int IndexOf(HWND list, const std::wstring& text);      // LB_FINDSTRINGEXACT, -1 when absent
void Drop(HWND window, const std::vector<std::wstring>& paths);  // WM_DROPFILES, as Explorer sends it
std::vector<std::wstring> Items(HWND list);
std::wstring TextOf(HWND window);

// A window's rectangle in the client coordinates of another window.
RECT RectIn(HWND window, HWND reference);

}  // namespace check
