#include "ui/MainWindow.h"

#include <commctrl.h>

#include "services/ResultWindow.h"
#include "services/SystemLibrary.h"
#include "services/WinError.h"
#include "ui/AccessibleNames.h"
#include "ui/resource.h"

namespace quorvane::ui {
namespace {

constexpr wchar_t kClassName[] = L"QuorvaneMain";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// It takes files dropped from Explorer (what DragAcceptFiles sets, without loading shell32 at
// start: the shell's drop functions are loaded with the first drop).
constexpr DWORD kExStyle = WS_EX_ACCEPTFILES;

constexpr std::array<std::span<const ControlDef> (*)(), 2> kPages{&SkinsPageControls, &VolumesPageControls};

// Everything the controls of a page report goes on to the main window.
INT_PTR CALLBACK PageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
      SetWindowLongPtrW(page, DWLP_MSGRESULT, SendMessageW(GetParent(page), message, wParam, lParam));
      return TRUE;
    default:
      return FALSE;
  }
}

// The tab captions' font. The strip sizes each tab to its caption, so only the height of the
// headers, which must stay above the pages' frames, can call for a smaller size; both
// captions have the same height.
HFONT TabFont(FontSet& fonts) {
  const UINT dpi = fonts.Dpi();
  return fonts.Fitting(FontId::kLargeBold, Kind::kLabel, L"Volumes",
                       SIZE{Pixels(kTabStrip.width, dpi) / 2, Pixels(480, dpi) - 8});
}

// The look whether Windows protects the program folder, a moment after the window shows.
constexpr UINT_PTR kCheckFolderTimer = 1;
constexpr UINT kCheckFolderMs = 500;

// The line of a list box at a point of its client area; -1 where there is none.
int LineAt(HWND list, LPARAM point) {
  const auto at = static_cast<DWORD>(SendMessageW(list, LB_ITEMFROMPOINT, 0, point));
  return HIWORD(at) ? -1 : LOWORD(at);
}

bool IsPushButton(HWND window) {
  wchar_t name[16] = {};
  if (window == nullptr || GetClassNameW(window, name, 16) == 0 || lstrcmpiW(name, L"Button") != 0) return false;
  const LONG type = GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

}  // namespace

using EventScope = Session::EventScope;

const Quorvane::PaneDef Quorvane::kPaneDefs[3] = {
    {kDir1, kFile1, 0, L"*.bmp", L"picture", kNone, &QuorvaneCode::SkinFile, &Quorvane::Dir1_Change,
     &Quorvane::File1_Click},
    {kDir2, kFile2, 1, L"*.bmp", L"picture", kNone, &QuorvaneCode::VolumeSkinFile, &Quorvane::Dir2_Change,
     &Quorvane::File2_Click},
    {kDir3, kFile3, 1, L"*.vol", L"volume", kOption10, &QuorvaneCode::VolumeFile, &Quorvane::Dir3_Change,
     &Quorvane::File3_Click},
};

Quorvane::Quorvane(Session& session, PaneServices services)
    : TableWindow(session, kMainClient),
      session_(session),
      state_(session.State()),
      reader_(*services.reader),
      panes_{{{kPaneDefs[0].pattern, {&reader_, services.watcher, services.jobs}},
              {kPaneDefs[1].pattern, {&reader_, services.watcher, services.jobs}},
              {kPaneDefs[2].pattern, {&reader_, services.watcher, services.jobs}}}} {
  for (size_t i = 0; i < panes_.size(); ++i) {
    Pane& pane = panes_[i];
    pane.folders.onChange = [this, i] { (this->*kPaneDefs[i].change)(); };
    pane.files.onClick = [this, i] { (this->*kPaneDefs[i].click)(); };
    // A file list reads its folder again when its folder list has seen its files change: the
    // pick it recorded stays, and no click is raised.
    pane.folders.onContentChange = [&pane] { pane.files.Refresh(); };
    pane.folders.onOpenFailed = [this](const std::wstring& folder, DWORD reason) { Warn(UnableToOpen(folder, reason)); };
    pane.fileList.onLinesChanged = [this, i] { PreviewLinesChanged(Control(kPaneDefs[i].file)); };
  }
}

Quorvane::Styles Quorvane::StylesOf(const ControlDef& def) {
  if (def.kind == Kind::kFolderList) return {FolderList::Style(), FolderList::ExStyle()};
  if (def.kind == Kind::kFileList) return {FileList::Style(), FileList::ExStyle()};
  return {def.id == kCommand1 ? static_cast<DWORD>(BS_DEFPUSHBUTTON) : 0, 0};
}

bool Quorvane::Create(int showCommand, std::wstring& error) {
  // Made hidden where it will show, sized for the system's DPI, which is the primary monitor's
  // as a rule: the window's own DPI decides, and it is placed again below where that differs.
  const RECT place = WindowPlace(kMainClient, kStyle, kExStyle, DpiOf(nullptr));
  if (!Open(kClassName, IDI_QUORVANE, L"Quorvane", kStyle, kExStyle, place, L"Quorvane cannot open its window", error))
    return false;

  // The program folder's watch is started as soon as the window is made (not before: under
  // Wine, a second thread alive as a process makes its first window costs that window 5 ms).
  // Its folders are opened on the watcher's own thread while the controls are made, and it is
  // armed, as a rule, by the time Form_Load reads the folder, which then needs no second read.
  if (ResolveAppDir(state_)) {
    panes_[0].folders.Follow(active_);
    panes_[0].folders.WatchAhead(state_.AppDir);
  }
  if (!CreateControls(error)) return false;
  // The program folder is read before the lists are set up, here on this thread: filled as
  // they are, they need no worker, and start-up waits for no other thread.
  if (const Outcome loaded = Form_Load(); !loaded) {
    error = L"Quorvane cannot tell which folder it was started from: " + SystemMessage(loaded.error);
    return false;
  }
  if (!AttachPanes(0)) return Fail(error, L"Quorvane cannot set up its lists");
  ShowPage(0);  // no palette or armor chosen at first

  PlaceWindow(hwnd_, kMainClient, dpi_);  // a window made where it belongs stays there

  LetShellMessagesThrough();
  ShowWindow(hwnd_, showCommand);
  if (GetForegroundWindow() == hwnd_) {
    SetFocus(tab_);
  } else {
    // Shown without the foreground (another program kept it): Quorvane is not the active
    // application, and holds no folder open until it is, though its window may be the active
    // window of its own thread, all that GetActiveWindow tells. SetFocus would make it that
    // too, and its coming to the foreground would then go untold (Wine sends nothing): the
    // tab strip gets the focus as the window is activated.
    active_ = false;
    FollowTheDisk();
  }
  // Once the window is up and idle, not at start-up's cost: a timer, the lowest of messages,
  // and no thread of its own.
  SetTimer(hwnd_, kCheckFolderTimer, kCheckFolderMs, nullptr);
  return true;
}

void Quorvane::CheckProgramFolder() {
  // On a worker: the probe file is made on the disk, which may be slow.
  auto work = [folder = reader_.Folder().real](const Stale&) { return ProbeNewFiles(folder); };
  auto apply = [this](Outcome& probed) {
    if (probed) return;
    session_.FolderProtected(reader_.Folder());
    Warn(ProtectedFolderWarning(reader_.Folder(), probed.error));
  };
  probe_.Start(work, apply);
}

bool Quorvane::CreateControls(std::wstring& error) {
  const RECT strip = Pixels(kTabStrip, dpi_);
  tab_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, strip.left,
                         strip.top, strip.right - strip.left, strip.bottom - strip.top, hwnd_,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSSTab1)), GetModuleHandleW(nullptr), nullptr);
  if (tab_ == nullptr) return Fail(error, L"Quorvane cannot make its tab strip");
  SetControl(kSSTab1, tab_);
  const wchar_t* captions[] = {L"Skins", L"Volumes"};
  for (int i = 0; i < 2; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(captions[i]);
    if (TabCtrl_InsertItem(tab_, i, &item) != i) return Fail(error, L"Quorvane cannot make its tab strip");
  }
  if (!Layout(dpi_)) return Fail(error, L"Quorvane cannot make its fonts");

  // Only the Skins page now: the Volumes page waits until it is first needed (VolumesPage).
  return MakePage(0, error);
}

bool Quorvane::MakePage(size_t i, std::wstring& error) {
  HWND page = CreatePage(hwnd_, &PageProcedure);
  if (page == nullptr) return Fail(error, L"Quorvane cannot make its pages");
  // The focus goes round the window's children in their order: the Skins page, the Volumes
  // page, then the tab strip, which is also where the round starts, so the round is the strip,
  // the Skins page's controls, the Volumes page's and back. Ahead of the strip, the pages also
  // lie above it, and it (clipping its siblings) never paints over them.
  SetWindowPos(page, i == 0 ? HWND_TOP : pages_[0], body_.left, body_.top, body_.right - body_.left,
               body_.bottom - body_.top, SWP_NOACTIVATE);
  pages_[i] = page;
  const POINT origin = MeasureBody();
  for (const ControlDef& def : kPages[i]()) {
    const Styles styles = StylesOf(def);
    HWND control =
        CreateControl(page, kPages[i](), def, def.caption, origin, *fonts_, styles.style, styles.exStyle);
    if (control == nullptr) return Fail(error, std::wstring(L"Quorvane cannot make its control ") + def.name);
    SetControl(def.id, control);
    if (def.accessibleName != nullptr) NameWhenAsked(control, def.accessibleName);
  }
  return true;
}

// The lists of a page made just now take what their panes have read, measured once, in the
// font they were made with.
bool Quorvane::AttachPanes(size_t page) {
  for (size_t i = 0; i < panes_.size(); ++i) {
    if (kPaneDefs[i].page != page) continue;
    Pane& pane = panes_[i];
    pane.SetFont((*fonts_)[FontId::kNames]);
    if (!pane.folderList.Attach(Control(kPaneDefs[i].dir), pane.folders) ||
        !pane.fileList.Attach(Control(kPaneDefs[i].file), pane.files))
      return false;
  }
  return true;
}

bool Quorvane::VolumesPage() {
  if (pages_[1] != nullptr) return true;
  if (hwnd_ == nullptr) return false;
  // Both panes read the program folder now, so that a skin made meanwhile shows; read before
  // their lists are made, here, they are filled as they are made. Following the disk as the
  // page shows, they watch the folder before reading it.
  for (size_t i : {1, 2}) panes_[i].folders.Follow(active_);
  ShowProgramFolder({1, 2});
  std::wstring error;
  bool made = MakePage(1, error);
  if (made && !AttachPanes(1)) made = Fail(error, L"Quorvane cannot set up its lists");
  if (!made) {
    if (pages_[1] != nullptr) DestroyWindow(pages_[1]);
    pages_[1] = nullptr;
    for (const ControlDef& def : VolumesPageControls()) SetControl(def.id, nullptr);
    for (size_t i : {1, 2}) panes_[i].folders.Follow(false);
    session_.prompts().ShowPrompt(error + L"..!", kOops, kWarning);
    return false;
  }
  // Its initial state, as the window had it from the start: "New Volume" with its prefix box.
  SendMessageW(Control(kOption9), BM_SETCHECK, BST_CHECKED, 0);
  KeepTabStopOnSelection(kOption9);
  EnablePrefix(true);
  EnableVolumePane(false);
  return true;
}

bool Quorvane::Layout(UINT dpi) {
  if (!UseDpi(dpi)) return false;
  SendMessageW(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(TabFont(*fonts_)), FALSE);
  const RECT strip = Pixels(kTabStrip, dpi);
  SetWindowPos(tab_, nullptr, strip.left, strip.top, strip.right - strip.left, strip.bottom - strip.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  const POINT origin = MeasureBody();
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i] == nullptr) continue;
    SetWindowPos(pages_[i], nullptr, body_.left, body_.top, body_.right - body_.left, body_.bottom - body_.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlDef& def : kPages[i]()) PlaceControl(Control(def.id), kPages[i](), def, origin, *fonts_);
  }
  for (Pane& pane : panes_) pane.SetFont((*fonts_)[FontId::kNames]);
  InvalidateRect(hwnd_, nullptr, TRUE);
  return true;
}

// The pages cover the strip's body, below its tabs. The tables place controls relative to the
// whole strip: where its corner lies seen from a page.
POINT Quorvane::MeasureBody() {
  const RECT strip = Pixels(kTabStrip, dpi_);
  body_ = RECT{0, 0, strip.right - strip.left, strip.bottom - strip.top};
  TabCtrl_AdjustRect(tab_, FALSE, &body_);
  OffsetRect(&body_, strip.left, strip.top);
  return POINT{strip.left - body_.left, strip.top - body_.top};
}

std::wstring Quorvane::Text(ControlId id) const {
  HWND control = Control(id);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool Quorvane::Checked(ControlId id) const {
  return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Quorvane::ShowPage(int page) {
  if (page == 1 && !VolumesPage()) page = 0;
  preview_.Hide();
  const HWND focus = GetFocus();
  for (int i = 0; i < 2; ++i) ShowWindow(pages_[static_cast<size_t>(i)], i == page ? SW_SHOW : SW_HIDE);
  if (TabCtrl_GetCurSel(tab_) != page) TabCtrl_SetCurSel(tab_, page);
  // Only the lists in sight follow the disk; the others are read again when they come back.
  FollowTheDisk();
  // The focus never stays on a control that has just been hidden.
  if (focus != nullptr && IsChild(hwnd_, focus) && !IsWindowVisible(focus)) SetFocus(tab_);
}

int Quorvane::ShownPage() const { return tab_ != nullptr ? TabCtrl_GetCurSel(tab_) : 0; }

void Quorvane::FollowTheDisk() {
  const int shown = ShownPage();
  for (size_t i = 0; i < panes_.size(); ++i) {
    const size_t page = kPaneDefs[i].page;
    panes_[i].folders.Follow(active_ && pages_[page] != nullptr && static_cast<int>(page) == shown);
  }
}

void Quorvane::ToolEnded() {
  // The program folder's twin is not watched: a virtualized tool writes there.
  const ProgramFolder& program = reader_.Folder();
  for (size_t i = 0; i < panes_.size(); ++i) {
    const FolderPane& folders = panes_[i].folders;
    const bool twin = !program.twin.empty() && SamePath(folders.Path(), program.real);
    if (static_cast<int>(kPaneDefs[i].page) == ShownPage() && (!folders.Watched() || twin))
      panes_[i].folders.Refresh();
  }
}

// Tab enters an option group at one stop: the selected option, as in the system's dialogs.
void Quorvane::KeepTabStopOnSelection(ControlId option) {
  for (auto page : kPages) {
    const auto table = page();
    for (size_t i = 0; i < table.size(); ++i) {
      if (table[i].id != option) continue;
      size_t first = i;
      while (!StartsOptionGroup(table, table[first])) --first;
      for (size_t j = first; j < table.size() && table[j].kind == Kind::kOption &&
                             (j == first || !StartsOptionGroup(table, table[j]));
           ++j) {
        HWND button = Control(table[j].id);
        LONG style = GetWindowLongW(button, GWL_STYLE);
        style = table[j].id == option ? style | WS_TABSTOP : style & ~WS_TABSTOP;
        SetWindowLongW(button, GWL_STYLE, style);
      }
      return;
    }
  }
}

bool Quorvane::PreTranslateMessage(MSG& msg) {
  if (!Owns(msg)) return false;
  TrackPreview(msg);
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && (GetKeyState(VK_CONTROL) & 0x8000)) {
    const int page = 1 - TabCtrl_GetCurSel(tab_);
    TabCtrl_SetCurFocus(tab_, page);
    ShowPage(page);
    return true;
  }
  return TableWindow::PreTranslateMessage(msg);
}

LRESULT Quorvane::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == ToolsAtWork::TaskbarButtonCreatedMessage() && message != 0) return OnTaskbarButtonCreated();
  switch (message) {
    case WM_COMMAND: return OnCommand(wParam);
    case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_MEASUREITEM: return OnMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    case WM_DRAWITEM: return OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case DM_GETDEFID: return OnGetDefId();
    case WM_ENTERIDLE: return OnEnterIdle();
    case WM_TIMER: return OnTimer(wParam);
    case WM_ACTIVATEAPP: return OnActivateApp(wParam != FALSE);
    case WM_DROPFILES: return OnDropFiles(reinterpret_cast<HDROP>(wParam));
    case WM_DESTROY: return OnDestroy();
    default: return HandleShared(message, wParam, lParam);
  }
}

LRESULT Quorvane::OnTaskbarButtonCreated() {
  session_.tools().TaskbarButtonCreated(hwnd_);
  return 0;
}

LRESULT Quorvane::OnCommand(WPARAM wParam) {
  EventScope scope(session_);
  ControlEvent(LOWORD(wParam), HIWORD(wParam));
  return 0;
}

LRESULT Quorvane::OnNotify(const NMHDR& header) {
  if (header.hwndFrom == tab_ && header.code == TCN_SELCHANGE) ShowPage(TabCtrl_GetCurSel(tab_));
  return 0;
}

// Sent while the folder lists are being made, before they are set up.
LRESULT Quorvane::OnMeasureItem(MEASUREITEMSTRUCT& item) {
  for (size_t i = 0; i < panes_.size(); ++i)
    if (static_cast<int>(item.CtlID) == kPaneDefs[i].dir) panes_[i].folderList.OnMeasureItem(item);
  return TRUE;
}

LRESULT Quorvane::OnDrawItem(const DRAWITEMSTRUCT& item) {
  for (size_t i = 0; i < panes_.size(); ++i)
    if (static_cast<int>(item.CtlID) == kPaneDefs[i].dir) panes_[i].folderList.OnDrawItem(item);
  return TRUE;
}

// Enter presses the focused button; elsewhere "Continue", while the Skins page shows.
LRESULT Quorvane::OnGetDefId() {
  const HWND focus = GetFocus();
  if (IsPushButton(focus) && IsChild(hwnd_, focus)) return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
  return TabCtrl_GetCurSel(tab_) == 0 ? MAKELRESULT(kCommand1, DC_HASDEFID) : 0;
}

// A message box or menu of the window's waits: the lists go on filling meanwhile.
LRESULT Quorvane::OnEnterIdle() {
  RunIdleWork();
  return 0;
}

LRESULT Quorvane::OnTimer(WPARAM timer) {
  if (timer == kCheckFolderTimer) {
    KillTimer(hwnd_, kCheckFolderTimer);
    CheckProgramFolder();
  }
  return 0;
}

// While another program is active, no folder is held open: on Windows a handle inside a
// folder stops Explorer from renaming, moving or deleting it. Back, the lists catch up. Nor
// does a preview stay up over that program.
LRESULT Quorvane::OnActivateApp(bool active) {
  active_ = active;
  if (!active_) preview_.Hide();
  FollowTheDisk();
  return 0;
}

LRESULT Quorvane::OnDropFiles(HDROP drop) {
  EventScope scope(session_);
  Form_DragDrop(drop);
  return 0;
}

LRESULT Quorvane::OnDestroy() {
  for (Pane& pane : panes_) pane.folders.Follow(false);
  preview_.Hide();
  drops_.Cancel();
  probe_.Cancel();
  session_.MainWindowClosed();
  session_.WindowClosed();
  return 0;
}

void Quorvane::ControlEvent(int id, int code) {
  for (size_t i = 0; i < panes_.size(); ++i) {
    if (id == kPaneDefs[i].dir) panes_[i].folderList.OnCommand(static_cast<WORD>(code));
    if (id == kPaneDefs[i].file) panes_[i].fileList.OnCommand(static_cast<WORD>(code));
  }
  switch (id) {
    case kText1: if (code == EN_CHANGE) Text1_Change(); break;
    case kCommand1: if (code == BN_CLICKED) Command1_Click(); break;
    case kCommand2: if (code == BN_CLICKED) Command2_Click(); break;
    case kCommand3: if (code == BN_CLICKED) Command3_Click(); break;
    case kCommand4: if (code == BN_CLICKED) Command4_Click(); break;
    case kCommand5: if (code == BN_CLICKED) Command5_Click(); break;
    case kCommand6: if (code == BN_CLICKED) Command6_Click(); break;
    case kOption9: if (code == BN_CLICKED) Option9_Click(); break;
    case kOption10: if (code == BN_CLICKED) Option10_Click(); break;
    default: break;
  }
  if (id >= kOption1 && id <= kOption10 && code == BN_CLICKED) KeepTabStopOnSelection(static_cast<ControlId>(id));
  // The picture lists' previews follow the selection while the list has the keyboard focus.
  if (id == kFile1 || id == kFile2) {
    const HWND list = Control(static_cast<ControlId>(id));
    if (code == LBN_SELCHANGE && GetFocus() == list)
      ShowPreview(list, static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)));
    else if (code == LBN_KILLFOCUS)
      preview_.Hide();
  }
}

// The pointer resting on a picture's name for half a second shows its preview; moving to
// another name or leaving the list takes it away. The list's own mouse messages pass through
// here on their way, so the list box needs no subclass.
void Quorvane::TrackPreview(const MSG& msg) {
  const bool pictures = msg.hwnd == Control(kFile1) || msg.hwnd == Control(kFile2);
  if (!pictures) return;
  switch (msg.message) {
    case WM_MOUSEMOVE: {
      const int item = LineAt(msg.hwnd, msg.lParam);
      if (msg.hwnd == hoverList_ && item == hoverItem_) return;
      if (hoverList_ != nullptr) preview_.Hide();
      hoverList_ = msg.hwnd;
      hoverItem_ = item;
      TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, msg.hwnd, 500};
      TrackMouseEvent(&track);
      return;
    }
    case WM_MOUSEHOVER: {
      if (msg.hwnd != hoverList_) return;
      // The line under the pointer now: the lines may have moved since it came to rest.
      hoverItem_ = LineAt(msg.hwnd, msg.lParam);
      if (hoverItem_ >= 0) ShowPreview(msg.hwnd, hoverItem_);
      return;
    }
    case WM_MOUSELEAVE:
      preview_.Hide();
      hoverList_ = nullptr;
      hoverItem_ = -1;
      return;
    default:
      return;
  }
}

void Quorvane::ShowPreview(HWND list, int item) {
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(item), 0);
  if (item < 0 || length == LB_ERR) return;
  std::wstring name(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(name.data()));
  if (got < 0) return;
  name.resize(static_cast<size_t>(got));
  size_t pane = 0;
  while (pane + 1 < panes_.size() && Control(kPaneDefs[pane].file) != list) ++pane;
  const FilePane& files = panes_[pane].files;
  // Where a file only the program folder's twin has is opened, looked for with the read.
  preview_.ShowFor(hwnd_, list, item, JoinPath(files.Path(), name), (*fonts_)[FontId::kNames],
                   [&reader = reader_](const std::wstring& path) { return reader.Readable(path); });
}

// Another program made, deleted or renamed names in a list with a preview beside it: the
// preview follows the line now under the pointer, or the selection it was shown for, and goes
// when there is none.
void Quorvane::PreviewLinesChanged(HWND list) {
  if (list == nullptr || preview_.List() != list) return;
  int item = -1;
  if (list == hoverList_) {
    POINT at{};
    if (GetCursorPos(&at) && ScreenToClient(list, &at)) item = LineAt(list, MAKELPARAM(at.x, at.y));
    hoverItem_ = item;
  } else {
    item = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  }
  if (item >= 0)
    ShowPreview(list, item);
  else
    preview_.Hide();
}

bool Quorvane::OptionSelected(int n) const { return Checked(static_cast<ControlId>(kOption1 + n - 1)); }
// The Volumes page's state as it starts while the page is not made yet.
bool Quorvane::NewVolumeSelected() const { return pages_[1] == nullptr || Checked(kOption9); }
bool Quorvane::ExistingVolumeSelected() const { return pages_[1] != nullptr && Checked(kOption10); }
std::wstring Quorvane::PrefixText() const { return pages_[1] != nullptr ? Text(kText2) : std::wstring(); }
void Quorvane::EnablePrefix(bool enabled) { EnableWindow(Control(kText2), enabled); }
void Quorvane::EnableVolumePane(bool enabled) {
  EnableWindow(Control(kDir3), enabled);
  EnableWindow(Control(kFile3), enabled);
}

// Points panes (0 to 2) at the program folder, all from one read of it, watched first where
// they follow the disk: each file list shows what its folder list's change would have read. A
// folder list that cannot show the program folder stays empty and usable.
void Quorvane::ShowProgramFolder(std::initializer_list<size_t> panes) {
  for (size_t i : panes) panes_[i].folders.WatchAhead(state_.AppDir);
  const FolderContents contents = ListFolder(state_.AppDir);
  const NameList files = reader_.WithTwin(contents.files, L"*");
  for (size_t i : panes) {
    Pane& pane = panes_[i];
    if (!pane.folders.SetListing(state_.AppDir, contents.folders)) continue;
    const NameList admitted = Admitted(files, pane.files.Pattern());
    pane.files.SetListing(pane.folders.Path(), admitted.names, admitted.error);
  }
}

Outcome Quorvane::Form_Load() {
  if (const Outcome resolved = ResolveAppDir(state_); !resolved) return resolved;
  // The program folder's twin, which the game and its tools see merged into it, is listed with
  // it from the first read on.
  reader_.Set(FindProgramFolder(state_.AppDir));
  // The Skins page's pane starts in the program folder, before the window shows, following
  // the disk as the page shown at start; the Volumes page's panes read it afresh when that
  // page is made (VolumesPage).
  panes_[0].folders.Follow(active_);
  ShowProgramFolder({0});
  // The process's current folder is held open by Windows like any other handle: from now on
  // the system folder's, so that neither the program folder nor a shortcut's "Start in"
  // folder is kept from being renamed. Every path Quorvane uses is full, and each tool is
  // started in the program folder. Should it fail, the current folder stays what it was.
  const std::wstring system = SystemFolder();
  if (!system.empty()) SetCurrentDirectoryW(system.c_str());
  return {};
}

void Quorvane::Warn(const std::wstring& text) {
  EventScope scope(session_);
  quorvane::Warn(session_.prompts(), state_, text);
}

void Quorvane::Dir1_Change() { FolderChanged(panes_[0].folders, panes_[0].files); }
void Quorvane::Dir2_Change() { FolderChanged(panes_[1].folders, panes_[1].files); }
void Quorvane::Dir3_Change() { FolderChanged(panes_[2].folders, panes_[2].files); }
void Quorvane::PickFile(size_t pane) { FileClicked(panes_[pane].files, state_.*kPaneDefs[pane].picked); }
void Quorvane::File1_Click() { PickFile(0); }
void Quorvane::File2_Click() { PickFile(1); }
void Quorvane::File3_Click() { PickFile(2); }
void Quorvane::Text1_Change() { session_.skins().Text1_Change(Text(kText1)); }
void Quorvane::Command1_Click() { session_.skins().Command1_Click(); }
void Quorvane::Command4_Click() { session_.volumes().Command4_Click(); }
void Quorvane::Option9_Click() { session_.volumes().Option9_Click(); }
void Quorvane::Option10_Click() { session_.volumes().Option10_Click(); }
void Quorvane::Command2_Click() {
  std::wstring error;
  if (!session_.about().Show(error)) session_.prompts().ShowPrompt(error + L"..!", kOops, kWarning);
}
void Quorvane::Command5_Click() { Command2_Click(); }

void Quorvane::Command3_Click() {
  state_.Answer = static_cast<std::int16_t>(
      session_.prompts().ShowPrompt(L"Are you sure you wish to exit?", L"Confirm Exit", kExitQuestion));
  if (state_.Answer == kAnswerYes) DestroyWindow(hwnd_);
}

void Quorvane::Command6_Click() { Command3_Click(); }

}  // namespace quorvane::ui
