// While a tool that Quorvane started runs or waits its turn, its windows say so: the pointer
// over them is the "working in background" one (the text pointer stays over text boxes, and
// message boxes keep their own), and where the system offers it the main window's taskbar
// button shows progress without an end.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include "services/Handles.h"

namespace quorvane::ui {

class ToolsAtWork {
 public:
  // Whether tools are at work now; the pointer changes at once, without waiting for the mouse
  // to move, and so does the taskbar button of `mainWindow` once the taskbar has announced it.
  void Set(HWND mainWindow, bool atWork);

  // For a window's WM_SETCURSOR: true when it has set the pointer (the message is then
  // handled), false to leave it to the default.
  bool SetCursor(WPARAM wParam, LPARAM lParam) const;

  // The message the taskbar sends once a window's button exists; zero when it cannot be had.
  // Only after it may the button's progress be set.
  static UINT TaskbarButtonCreatedMessage();
  void TaskbarButtonCreated(HWND mainWindow);

 private:
  void ShowTaskbarProgress(HWND mainWindow);

  bool atWork_ = false;
  bool buttonReady_ = false;
  ComPtr<ITaskbarList3> taskbar_;  // made on first use
};

}  // namespace quorvane::ui
