// What lives for the whole run, whichever windows are open: the shared state, the prompts, the
// tool launcher with its queue of runs waiting their turn, the two requests, the About window
// and the tools-at-work state. wWinMain owns the session; the main window is one of its
// windows, and may close while runs still wait: the session starts and reports them all the
// same. It alone decides when the program ends: once no window of it is open and no run waits.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/ProgramFolder.h"
#include "app/QuorvaneCode.h"
#include "services/Lifetime.h"
#include "services/Prompt.h"
#include "services/ToolLauncher.h"
#include "skins/SkinRequest.h"
#include "ui/AboutWindow.h"
#include "ui/ToolsAtWork.h"
#include "ui/Window.h"
#include "volumes/VolumeRequest.h"

namespace quorvane::ui {

class Quorvane;

class Session final : public WindowHost, private SkinsView, private VolumesView {
 public:
  Session();
  ~Session() override;

  // Opens the main window, centred on the screen, running its start-up. False, with a
  // sentence for the user in `error`, when that cannot be done.
  bool Open(int showCommand, std::wstring& error);
  // The message loop, until the program ends; the program's exit code.
  int Run();
  // Keyboard handling that the message loop gives the program's windows first; true when the
  // message was used.
  bool PreTranslateMessage(MSG& msg);

  // The main window; its object stays, without a window, once the window has closed.
  Quorvane* MainWindow() const { return main_.get(); }
  QuorvaneCode& State() { return state_; }
  const QuorvaneCode& State() const { return state_; }
  Prompts& prompts() { return prompts_; }
  SkinRequest& skins() { return skins_; }
  VolumeRequest& volumes() { return volumes_; }
  AboutWindow& about() { return about_; }
  ToolsAtWork& tools() { return tools_; }
  // True when no tool is running or waiting to start.
  bool ToolsIdle() const { return launcher_.Idle(); }
  // Windows protects the program folder: tools' outputs count as written in its twin too.
  void FolderProtected(const ProgramFolder& folder) { launcher_.SetVirtualStore(folder.real, folder.twin); }

  // While an event procedure runs (and any prompt it shows), a tool's end waits: its
  // follow-up must not pop up between a request's warnings. At the end of the outermost
  // event, the windows show whether tools are at work, and the ends that waited come back.
  class EventScope {
   public:
    explicit EventScope(Session& session);
    ~EventScope();
    EventScope(const EventScope&) = delete;
    EventScope& operator=(const EventScope&) = delete;

   private:
    Session& session_;
  };

  // WindowHost.
  void WindowOpened() override;
  void WindowClosed() override;
  bool SetWorkingCursor(WPARAM wParam, LPARAM lParam) override { return tools_.SetCursor(wParam, lParam); }

  // The main window has been destroyed: questions are no longer asked.
  void MainWindowClosed();

 private:
  bool MainOpen() const;
  void ToolEnded(WPARAM id);
  void QuitIfDone();

  // SkinsView and VolumesView: the main window's, while it is open; afterwards nothing is
  // selected (no request runs without the window anyway).
  bool OptionSelected(int n) const override;
  bool NewVolumeSelected() const override;
  bool ExistingVolumeSelected() const override;
  std::wstring PrefixText() const override;
  void EnablePrefix(bool enabled) override;
  void EnableVolumePane(bool enabled) override;

  QuorvaneCode state_;
  MessageBoxPrompts prompts_{nullptr};
  ToolsAtWork tools_;
  ProcessLauncher launcher_;
  SkinRequest skins_;
  VolumeRequest volumes_;
  AboutWindow about_;
  std::unique_ptr<Quorvane> main_;
  int openWindows_ = 0;
  int eventDepth_ = 0;
  std::vector<WPARAM> waitingEnds_;  // tools that ended while an event ran
  Lifetime lifetime_;  // a result posted for later does nothing once the session has gone
};

}  // namespace quorvane::ui
