// The About window, "frmAbout": the program's name and makers, where to report problems,
// and a "Close" button. Modeless and without an owner, so it lives on its own: closing the
// main window leaves it open.
#pragma once

#include <windows.h>

#include <string>

#include "services/Handles.h"
#include "ui/Window.h"

namespace quorvane::ui {

class AboutWindow final : public TableWindow<AboutWindow, kAboutFrame1, kAboutCommand1> {
 public:
  explicit AboutWindow(WindowHost& host) : TableWindow(host, kAboutClient) {}

  // Shows the window: loads it when it is closed, or brings the open one forward. False,
  // with a sentence for the user in `error`, when it cannot be loaded.
  bool Show(std::wstring& error);

 private:
  friend class Window<AboutWindow>;
  friend class TableWindow<AboutWindow, kAboutFrame1, kAboutCommand1>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool Load(std::wstring& error);
  void Layout(UINT dpi);
  LRESULT OnCommand(WPARAM wParam);
  // "Close", the one control that takes the focus, has it whenever the window is active.
  HWND FocusHome() const { return Control(kAboutCommand1); }
  LRESULT OnDestroy();
  void Command1_Click();

  WindowOwner owner_{hwnd_};  // last: the window goes first
};

}  // namespace quorvane::ui
