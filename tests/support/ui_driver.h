// The one way the tests drive real windows, their own or another process's: windows and
// controls found, real message boxes read and answered (from a script on this thread), and
// user actions sent as the messages the controls would get.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

namespace check {

// A message box as the user saw it (or as the program asked a prompt to show it).
struct SeenBox {
  std::wstring text, title;
  UINT style;  // the message-box style worked out from its buttons and icon
  bool operator==(const SeenBox&) const = default;
};
std::ostream& operator<<(std::ostream& out, const SeenBox& box);

// A warning as the user sees it: the text, "Oops..!", OK and the exclamation mark.
SeenBox Warning(const std::wstring& text);
// The question after a skin made with the larmor armor: "Add <prefix>.larmor.bmp to <prefix>.vol?"
SeenBox Question(const std::wstring& prefix);
// "Are you sure you wish to exit?"
SeenBox ExitQuestion();

// The requests' own warnings, as the user reads them.
inline const std::wstring kNoPalette = L"You must select a palette in order to complete this operation..!";
inline const std::wstring kNoArmor = L"You must select an armor in order to complete this operation..!";
inline const std::wstring kNoSkin = L"You must select a skin in order to complete this operation..!";
inline const std::wstring kNoPrefix = L"You must enter a prefix in order to complete this operation..!";
inline const std::wstring kNoVolumeFile = L"You must select a volume file in order to complete this operation..!";
inline const std::wstring kNoSkinFile = L"You must select a skin file in order to complete this operation..!";
inline const std::wstring kBadPrefix =
    L"You must enter a prefix without \\ / : * ? \" < > | or control characters in order to complete this "
    L"operation..!";
inline const std::wstring kDevicePrefix =
    L"You must enter a prefix that is not a device name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9) in "
    L"order to complete this operation..!";
inline std::wstring LongPrefix(size_t longest) {
  return L"You must enter a prefix of at most " + std::to_wstring(longest) +
         L" characters in order to complete this operation..!";
}

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

// A message box's text, title, buttons and icon; and a click on one of its buttons.
SeenBox Seen(HWND box);
void Answer(HWND box, int button);

// The visible top-level windows of this class that a process (this one unless given) shows;
// and the first of them, or nullptr.
std::vector<HWND> TopWindows(const wchar_t* className, DWORD processId = GetCurrentProcessId());
HWND TopWindow(const wchar_t* className, DWORD processId = GetCurrentProcessId());
// A control by its id, wherever it sits in the window; nullptr when it is not made (yet).
HWND Control(HWND window, int id);

// The user's actions, as the controls report them to their parents.
void Click(HWND button);  // BM_CLICK, waited for only on this thread's buttons
void Type(HWND edit, const std::wstring& text);  // replaces the text; EN_CHANGE follows
void Choose(HWND list, int index);               // selects an item: LBN_SELCHANGE
// Double-clicks an item (LBN_SELCHANGE, LBN_DBLCLK), then, unless told not to, waits for the
// folder to be read (Settle).
void Open(HWND list, int index, bool settle = true);
// A key pressed and let go on target, the messages posted and handled for `ms` milliseconds.
void Key(HWND target, UINT key, DWORD ms = 50);
void Drop(HWND window, const std::vector<std::wstring>& paths);  // WM_DROPFILES, as Explorer sends it
// Handles this thread's messages until nothing is read or looked at in the background: what
// a user who looks at the lists waits for.
void Settle();

// The first line from `first` on whose text is exactly `text` (list boxes only search
// without regard to case); -1 when there is none.
int IndexOf(HWND list, const std::wstring& text, int first = 0);
int Selection(HWND list);  // LB_GETCURSEL: -1 when no line is selected
std::wstring Item(HWND list, int index);  // "" when there is no such line
std::vector<std::wstring> Items(HWND list);
std::wstring TextOf(HWND window);

// A window's rectangle in the client coordinates of another window.
RECT RectIn(HWND window, HWND reference);

}  // namespace check
