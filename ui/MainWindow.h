// The main window, "Quorvane": a tab strip with the Skins and Volumes pages, every control
// made from the layout tables, and each control event wired to its procedure.
#pragma once

#include <windows.h>
#include <shellapi.h>  // HDROP

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/FileListBox.h"
#include "app/FolderListBox.h"
#include "app/QuorvaneCode.h"
#include "services/Prompt.h"
#include "services/ToolLauncher.h"
#include "skins/SkinRequest.h"
#include "ui/AboutWindow.h"
#include "ui/Controls.h"
#include "ui/Layout.h"
#include "ui/PreviewWindow.h"
#include "ui/Window.h"
#include "volumes/VolumeRequest.h"

namespace quorvane::ui {

// Posted by the launcher to the results window when a tool has ended; wParam is the run's id.
inline constexpr UINT kToolExited = WM_APP + 1;

class Quorvane final : public Window<Quorvane>, private SkinsView, private VolumesView {
 public:
  Quorvane();
  ~Quorvane() override;
  Quorvane(const Quorvane&) = delete;
  Quorvane& operator=(const Quorvane&) = delete;

  // Creates the window and its controls, runs Form_Load and shows the window centred on the
  // screen. False, with a sentence for the user in `error`, when that cannot be done.
  bool Create(int showCommand, std::wstring& error);

  // Keyboard handling that the message loop must give the program's messages first: focus
  // moves, the default button, Ctrl+Tab between the pages, for this window and the About
  // window. True when the message was used.
  bool PreTranslateMessage(MSG& msg);

  // What the requests and panes have recorded, read-only: the tests' one view inside.
  const QuorvaneCode& State() const { return state_; }
  // True when no tool started by this window is running or waiting to start.
  bool ToolsIdle() const;

 private:
  friend class Window<Quorvane>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HWND Control(ControlId id) const;
  bool CreateControls(std::wstring& error);
  bool MakePage(size_t page, std::wstring& error);
  bool VolumesPage();  // makes the Volumes page when it is not yet made; false (told) when it cannot be
  bool Layout(UINT dpi);
  void ShowPage(int page);
  void WatchPage(int page, bool watch);
  // A warning of the window's own, told as an event of its own (it may come from a folder read
  // or a drop that ends later), setting Answer like every warning.
  void Warn(const std::wstring& text);
  void FolderUnreadable(const std::wstring& folder, DWORD reason);
  void OnCommand(int id, int code);
  void ToolExitedNotice(WPARAM id);
  void KeepTabStopOnSelection(ControlId option);
  void KeepFocus();
  void RestoreFocus();
  void TrackPreview(const MSG& msg);
  void LetShellMessagesThrough();
  void ShowPreview(HWND list, int item);
  std::wstring Text(ControlId id) const;
  bool Checked(ControlId id) const;

  // SkinsView and VolumesView: what the requests read of the window.
  bool OptionSelected(int n) const override;
  bool NewVolumeSelected() const override;
  bool ExistingVolumeSelected() const override;
  std::wstring PrefixText() const override;
  void EnablePrefix(bool enabled) override;
  void EnableVolumePane(bool enabled) override;

  // The event procedures.
  bool Form_Load();  // false when the program folder cannot be found
  void ShowProgramFolder(std::initializer_list<size_t> panes);
  void Dir1_Change();
  void Dir2_Change();
  void Dir3_Change();
  void File1_Click();
  void File2_Click();
  void File3_Click();
  void Text1_Change();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();
  void Command6_Click();
  void Option9_Click();
  void Option10_Click();
  void Form_DragDrop(HDROP drop);

  // While an event procedure runs (and any prompt it shows), a tool's end waits: its
  // follow-up must not pop up between a request's warnings.
  class EventScope;
  int eventDepth_ = 0;
  std::vector<WPARAM> deferredExits_;

  QuorvaneCode state_;
  UINT dpi_ = 96;
  FontSet* fonts_ = nullptr;
  RECT body_{};  // the pages' place: the tab strip's body, in the window's client area
  HWND tab_ = nullptr;
  HWND focus_ = nullptr;  // the control that had the focus when the window was last active
  std::array<HWND, 2> pages_{};
  std::array<HWND, kCommand6 - kSSTab1 + 1> controls_{};
  FolderListBox Dir1_, Dir2_, Dir3_;
  FileListBox File1_, File2_, File3_;
  AboutWindow about_;
  PreviewWindow preview_;
  HWND hoverList_ = nullptr;  // the picture list under the pointer, and its line there
  int hoverItem_ = -1;

  // Requests first, services last: the launcher, holding callbacks into the requests, goes
  // first when the window object ends.
  std::unique_ptr<SkinRequest> skins_;
  std::unique_ptr<VolumeRequest> volumes_;
  std::unique_ptr<MessageBoxPrompts> prompts_;
  std::unique_ptr<ProcessLauncher> launcher_;
};

}  // namespace quorvane::ui
