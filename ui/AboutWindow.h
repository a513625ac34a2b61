// The About window, "frmAbout": the program's name and makers, where to report problems,
// and a "Close" button. Modeless and without an owner, so it lives on its own: closing the
// main window leaves it open.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "ui/Controls.h"
#include "ui/Layout.h"
#include "ui/Window.h"

namespace quorvane::ui {

class AboutWindow final : public Window<AboutWindow> {
 public:
  explicit AboutWindow(WindowHost& host) : host_(host) {}
  ~AboutWindow();
  AboutWindow(const AboutWindow&) = delete;
  AboutWindow& operator=(const AboutWindow&) = delete;

  // Shows the window: loads it when it is closed, or brings the open one forward. False,
  // with a sentence for the user in `error`, when it cannot be loaded.
  bool Show(std::wstring& error);
  bool IsOpen() const { return hwnd_ != nullptr; }
  bool PreTranslateMessage(MSG& msg);

  // The texts a release sets (see version.h), for the labels the table leaves open.
  static std::wstring TextOf(ControlId id);

 private:
  friend class Window<AboutWindow>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool Load(std::wstring& error);
  void Layout(UINT dpi);
  HWND Control(ControlId id) const;
  void Command1_Click();

  WindowHost& host_;
  UINT dpi_ = 96;
  FontSet* fonts_ = nullptr;
  DpiFollower dpiFollower_{kAboutClient};
  std::array<HWND, kAboutCommand1 - kAboutFrame1 + 1> controls_{};
};

}  // namespace quorvane::ui
