// The main window, "Quorvane": a tab strip with the Skins and Volumes pages, every control
// made from the layout tables, and each control event wired to its procedure. What outlives
// it (the shared state, the requests, the tools) belongs to its session.
#pragma once

#include <windows.h>
#include <shellapi.h>  // HDROP

#include <array>
#include <string>

#include "app/FilePane.h"
#include "app/FolderPane.h"
#include "app/ProgramFolder.h"
#include "app/QuorvaneCode.h"
#include "services/Handles.h"
#include "services/Jobs.h"
#include "ui/Controls.h"
#include "ui/FileList.h"
#include "ui/FolderList.h"
#include "ui/Layout.h"
#include "ui/PreviewWindow.h"
#include "ui/Session.h"
#include "ui/Window.h"

namespace quorvane::ui {

struct DropLookup;

class Quorvane final : public TableWindow<Quorvane, kSSTab1, kCommand6> {
 public:
  explicit Quorvane(Session& session, PaneServices panes = {});

  // Creates the window and its controls, runs Form_Load and shows the window centred on the
  // screen. False, with a sentence for the user in `error`, when that cannot be done.
  bool Create(int showCommand, std::wstring& error);

  // What a control of the pages adds to its kind's styles: the lists' own, and the default
  // button that Enter presses while the Skins page shows.
  struct Styles {
    DWORD style = 0, exStyle = 0;
  };
  static Styles StylesOf(const ControlDef& def);

  // Keyboard handling that the message loop must give the program's messages first: focus
  // moves, the default button, Ctrl+Tab between the pages. True when the message was used.
  bool PreTranslateMessage(MSG& msg);

  // What the requests and panes have recorded, read-only: the tests' one view inside.
  const QuorvaneCode& State() const { return session_.State(); }
  // True when no tool started by Quorvane is running or waiting to start.
  bool ToolsIdle() const { return session_.ToolsIdle(); }

  // A tool has ended: the lists of the page shown read their folders again where they are
  // not following the disk (a tool that takes the activation takes that away).
  void ToolEnded();

  // What the requests read of the window, through the session.
  bool OptionSelected(int n) const;
  bool NewVolumeSelected() const;
  bool ExistingVolumeSelected() const;
  std::wstring PrefixText() const;
  void EnablePrefix(bool enabled);
  void EnableVolumePane(bool enabled);

  // Each picking pane, once: its controls and page, the files it lists, what it is to the
  // player, the option a drop on it selects first, what a click in it records, and its two
  // event procedures.
  struct PaneDef {
    ControlId dir, file;
    size_t page;
    const wchar_t* pattern;
    const wchar_t* what;
    ControlId option;
    std::wstring QuorvaneCode::*picked;
    void (Quorvane::*change)();
    void (Quorvane::*click)();
  };
  static const PaneDef kPaneDefs[3];

 private:
  friend class Window<Quorvane>;
  friend class TableWindow<Quorvane, kSSTab1, kCommand6>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The window's messages, each to its handler.
  LRESULT OnTaskbarButtonCreated();
  LRESULT OnCommand(WPARAM wParam);
  LRESULT OnNotify(const NMHDR& header);
  LRESULT OnMeasureItem(MEASUREITEMSTRUCT& item);
  LRESULT OnDrawItem(const DRAWITEMSTRUCT& item);
  LRESULT OnGetDefId();
  LRESULT OnEnterIdle();
  LRESULT OnTimer(WPARAM timer);
  LRESULT OnActivateApp(bool active);
  LRESULT OnDropFiles(HDROP drop);
  LRESULT OnDestroy();

  // One picking pane: its folder list and file list, as models and as controls.
  struct Pane {
    Pane(const wchar_t* pattern, PaneServices services) : folders(services), files(pattern, services) {}
    FolderPane folders;
    FilePane files;
    FolderList folderList;
    FileList fileList;
    void SetFont(HFONT font) {
      folderList.SetFont(font);
      fileList.SetFont(font);
    }
  };

  bool CreateControls(std::wstring& error);
  // Looks, once the window is up, whether Windows protects the program folder; the player is
  // told, and tools' outputs are looked for in its VirtualStore twin too.
  void CheckProgramFolder();
  bool MakePage(size_t page, std::wstring& error);
  bool AttachPanes(size_t page);
  bool VolumesPage();  // makes the Volumes page when it is not yet made; false (told) when it cannot be
  bool Layout(UINT dpi);
  POINT MeasureBody();
  void ShowPage(int page);
  int ShownPage() const;
  // Which panes follow the disk: those of the page shown, while Quorvane is the active
  // application. Otherwise no folder is held open, so that the user can rename or delete it.
  void FollowTheDisk();
  // A warning of the window's own, told as an event of its own (it may come from a folder read
  // or a drop that ends later), setting Answer like every warning.
  void Warn(const std::wstring& text);
  void ControlEvent(int id, int code);  // a control's WM_COMMAND, to its procedure
  void KeepTabStopOnSelection(ControlId option);
  // A control on the page now hidden, or one disabled meanwhile, cannot have the focus back:
  // the tab strip takes it, as after a page switch.
  HWND FocusHome() const { return tab_; }
  void TrackPreview(const MSG& msg);
  void LetShellMessagesThrough();
  void ShowPreview(HWND list, int item);
  void PickFile(size_t pane);  // a click in a pane's file list
  void PreviewLinesChanged(HWND list);
  void Dropped(const DropLookup& lookup);
  std::wstring Text(ControlId id) const;
  bool Checked(ControlId id) const;

  // The event procedures.
  Outcome Form_Load();  // fails when the program folder cannot be found
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

  Session& session_;
  QuorvaneCode& state_;
  RECT body_{};  // the pages' place: the tab strip's body, in the window's client area
  HWND tab_ = nullptr;
  bool active_ = true;    // Quorvane is the active application (as it is, shown at start)
  std::array<HWND, 2> pages_{};
  ProgramFolderReader reader_;  // the disk, with the program folder's twin: the panes read through it
  std::array<Pane, 3> panes_;
  PreviewWindow preview_;
  JobLane drops_;             // a drop's look at the disk
  JobLane probe_;             // the look whether Windows protects the program folder
  HWND hoverList_ = nullptr;  // the picture list under the pointer, and its line there
  int hoverItem_ = -1;
  WindowOwner owner_{hwnd_};  // last: the window goes first
};

}  // namespace quorvane::ui
