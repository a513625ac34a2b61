// The real main window opened in-process on the test program's folder (Quorvane's program
// folder, with the stand-in tools beside it), driven as the program's message loop drives it,
// and what the tests around it share: the game folder put back as it was, the stand-ins
// broken on purpose and mended, the message boxes as the user must see them.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/check.h"
#include "tests/support/standin_log.h"
#include "tests/support/ui_driver.h"
#include "ui/Layout.h"
#include "ui/MainWindow.h"

namespace check {

using Args = std::vector<std::wstring>;

// The program folder, ending in "\": where Quorvane starts its tools and writes its skins.
const std::wstring& GameFolder();

// One main window for a test case, its keyboard handled as the program's message loop does.
class OpenWindow {
 public:
  OpenWindow();
  ~OpenWindow();
  OpenWindow(const OpenWindow&) = delete;
  OpenWindow& operator=(const OpenWindow&) = delete;

  quorvane::ui::Session session;
  quorvane::ui::Quorvane& window;

  HWND hwnd() const { return window.hwnd(); }
  // A control by its id, wherever it sits in the window; nullptr when it is not made (yet).
  HWND operator[](quorvane::ui::ControlId id) const;
  const quorvane::QuorvaneCode& state() const { return window.State(); }
  bool checked(quorvane::ui::ControlId id) const;
  // Shows page 0 (Skins) or 1 (Volumes) as a click on its tab does. Call it before touching
  // a page's controls: a page need not be made before it is first shown.
  void showPage(int page);
  int page() const;
  // Runs until every tool started has ended and its report has been handled.
  void waitForTools(DWORD timeoutMs = 30000);
  // Opens the folder list's line with this text (a double-click); the line must be there.
  void open(quorvane::ui::ControlId dir, const std::wstring& line);
  // Chooses the file list's line with this text (a click), once the list shows it.
  void choose(quorvane::ui::ControlId files, const std::wstring& name);
  // On the Skins page: clicks a palette and an armor, chooses a picture in File1, types the
  // prefix, as a user readies a skin.
  void readySkin(quorvane::ui::ControlId palette, quorvane::ui::ControlId armor, const std::wstring& picture,
                 const std::wstring& prefix);
  // The window is there and answers a message within five seconds.
  bool responsive() const;

 private:
  mutable std::map<int, HWND> controls_;
};

// The About window this process shows, or nullptr; and one of its controls.
HWND AboutShown();
HWND AboutControl(quorvane::ui::ControlId id);

// A list's lines once they are `expected`, else as they stand when the time is up: a file
// list may go on filling after its folder has changed, as long as the window stays usable.
Args LinesOnceFilled(HWND list, const Args& expected, DWORD timeoutMs = 10000);

// Whether the program has been told to end (a WM_QUIT waits in this thread's queue).
bool QuitPosted();

// Leaves the program folder as the program found it: the stand-ins, no logs, skins or
// volumes (whatever their names), no fault variables, and (unless kept) no scratch folders.
void CleanGameFolder(bool keepScratch = false);

// The stand-in's log in the program folder ("makeskin" -> ...\makeskin.log).
std::vector<StandinRun> ToolLog(const std::wstring& tool);

// Sets a stand-in's fault variable for the runs started while it lives.
class FaultVariable {
 public:
  FaultVariable(const wchar_t* variable, const std::wstring& directives);
  ~FaultVariable();
  FaultVariable(const FaultVariable&) = delete;
  FaultVariable& operator=(const FaultVariable&) = delete;

 private:
  const wchar_t* variable_;
};

// Takes a stand-in ("makeskin.exe") out of the program folder, optionally putting a file
// with these bytes in its place; puts the real one back when it goes.
class ToolReplaced {
 public:
  ToolReplaced(const std::wstring& tool, const char* replacement);
  ~ToolReplaced();
  ToolReplaced(const ToolReplaced&) = delete;
  ToolReplaced& operator=(const ToolReplaced&) = delete;

 private:
  std::wstring tool_, away_;
};

// Ends the stand-ins this process started that still run (a "hung" one), waits until they
// have gone and returns how many there were.
int EndStandins(UINT exitCode);

// The system's sentence for an error code as a user reads it in a warning: without the
// trailing full stop and line break.
std::wstring SystemText(DWORD code);

// Pictures named in Latin, Greek, Cyrillic and Chinese, in the order the lists show them; a
// volume named in Greek and Chinese, and a folder in Cyrillic.
inline const Args kScriptPictures{L"Latin skin.bmp", L"\u0395\u03bb\u03bb\u03b7\u03bd\u03b9\u03ba\u03ac.bmp",
                                  L"\u0421\u043a\u0438\u043d \u0438\u0433\u0440\u043e\u043a\u0430.bmp",
                                  L"\u76ae\u80a4.bmp"};
inline const std::wstring kScriptVolume = L"\u039f\u03bc\u03ac\u03b4\u03b1 \u6218\u961f.vol";
inline const std::wstring kScriptFolder = L"\u041f\u0430\u043f\u043a\u0430";

}  // namespace check
