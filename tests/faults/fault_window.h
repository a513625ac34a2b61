// What the fault tests share: the real main window opened in-process on the test program's
// folder (Quorvane's program folder, with the stand-in tools beside it), ways to break the
// tools and the folders on purpose and to mend them again, and the process's own figures.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/check.h"
#include "tests/support/standin_log.h"
#include "tests/support/ui_driver.h"
#include "ui/Layout.h"
#include "ui/MainWindow.h"

namespace faults {

using Args = std::vector<std::wstring>;

// The program folder, ending in "\": where Quorvane starts its tools and writes its skins.
const std::wstring& Folder();

// One main window for a test case, its keyboard handled as the program's message loop does.
struct OpenWindow {
  quorvane::ui::Quorvane window;
  OpenWindow();
  ~OpenWindow();
  OpenWindow(const OpenWindow&) = delete;
  OpenWindow& operator=(const OpenWindow&) = delete;

  HWND operator[](quorvane::ui::ControlId id) const { return window.Control(id); }
  const quorvane::QuorvaneCode& state() const { return window.State(); }
  bool checked(quorvane::ui::ControlId id) const;
  void showPage(int page);
  int page() const;
  // Runs until every tool started has ended and its report has been handled.
  void waitForTools(DWORD timeoutMs = 30000);
  // Opens the folder list's line with this text (a double-click); the line must be there.
  void open(quorvane::ui::ControlId dir, const std::wstring& line);
  // Chooses the file list's line with this text (a click), once the list shows it.
  void choose(quorvane::ui::ControlId files, const std::wstring& name);
};

// A list's lines once they are `expected`, else as they stand when the time is up: a file
// list may go on filling after its folder has changed, as long as the window stays usable.
Args LinesOnceFilled(HWND list, const Args& expected, DWORD timeoutMs = 10000);

// A warning as the user sees it: the text, "Oops..!", OK and the exclamation mark.
check::SeenBox Warning(const std::wstring& text);
// The question after a skin made with the larmor armor: "Add <prefix>.larmor.bmp to <prefix>.vol?"
check::SeenBox Question(const std::wstring& prefix);

// Whether the program has been told to end (a WM_QUIT waits in this thread's queue).
bool QuitPosted();

// Leaves the program folder as the program found it: the stand-ins, no logs, skins or
// volumes, no fault variables, no scratch folders.
void CleanGameFolder();

// The stand-in's log in the program folder ("makeskin" -> ...\makeskin.log).
std::vector<check::StandinRun> ToolLog(const std::wstring& tool);

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

// ---- Folders of any depth ----

void MakeFolder(const std::wstring& path);
void MakeFile(const std::wstring& path, std::string_view bytes = "BM");
bool Exists(const std::wstring& path);
// A scratch folder of its own under the program folder, emptied first (at any depth).
std::wstring Scratch(const std::wstring& name);

// ---- The process's own figures ----

// Open handles of this process. GetProcessHandleCount, or where that answers nothing (Wine
// gives 0) the process's entries in the system's handle table; `how` says which.
DWORD HandleCount(const char** how = nullptr);
// Private bytes of this process: PrivateUsage, or where that reads 0 (Wine) PagefileUsage,
// the commit charge it stands for; `how` says which.
SIZE_T PrivateBytes(const char** how = nullptr);

}  // namespace faults
