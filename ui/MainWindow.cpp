#include "ui/MainWindow.h"

#include <commctrl.h>

#include "services/ResultWindow.h"
#include "services/WinError.h"
#include "ui/ToolsAtWork.h"
#include "ui/resource.h"

namespace quorvane::ui {
namespace {

constexpr wchar_t kClassName[] = L"QuorvaneMain";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// It takes files dropped from Explorer (what DragAcceptFiles sets, without loading shell32 at
// start: the shell's drop functions are loaded with the first drop).
constexpr DWORD kExStyle = WS_EX_ACCEPTFILES;

constexpr std::array<std::span<const ControlDef> (*)(), 2> kPages{&SkinsPageControls, &VolumesPageControls};

const wchar_t* PatternOf(ControlId id) {
  for (auto page : kPages)
    for (const ControlDef& c : page())
      if (c.id == id) return c.caption;
  return L"*.*";
}

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

bool IsPushButton(HWND window) {
  wchar_t name[16] = {};
  if (window == nullptr || GetClassNameW(window, name, 16) == 0 || lstrcmpiW(name, L"Button") != 0) return false;
  const LONG type = GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK;
  return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

}  // namespace

class Quorvane::EventScope {
 public:
  explicit EventScope(Quorvane& window) : window_(window) { ++window_.eventDepth_; }
  ~EventScope() {
    if (--window_.eventDepth_ > 0) return;
    // Every run starts or ends inside an event: the windows show at its end whether tools work.
    SetToolsAtWork(window_.hwnd_, window_.launcher_ != nullptr && !window_.launcher_->Idle());
    for (WPARAM id : window_.deferredExits_) PostMessageW(ResultWindow(), kToolExited, id, 0);
    window_.deferredExits_.clear();
  }

 private:
  Quorvane& window_;
};

Quorvane::Quorvane() : File1_(PatternOf(kFile1)), File2_(PatternOf(kFile2)), File3_(PatternOf(kFile3)) {}

Quorvane::~Quorvane() {
  ListenForResult(kToolExited, nullptr);
  HoldOpenWhile(nullptr);
  launcher_.reset();
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool Quorvane::Create(int showCommand, std::wstring& error) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterWindowClass(kClassName, &Window::Procedure, error, IDI_QUORVANE) || !MakeResultWindow(error))
    return false;

  // Made hidden where it will show, sized for the system's DPI, which is the primary monitor's
  // as a rule: the window's own DPI decides, and it is placed again below where that differs.
  const RECT place = WindowPlace(kMainClient, kStyle, kExStyle, DpiOf(nullptr));
  if (!CreateWindowExW(kExStyle, kClassName, L"Quorvane", kStyle, place.left, place.top, place.right - place.left,
                       place.bottom - place.top, nullptr, nullptr, instance, this)) {
    error = LastErrorText(L"Quorvane cannot open its window");
    return false;
  }
  WindowOpened();
  dpi_ = DpiOf(hwnd_);

  // The program folder is read before the lists are made, here on this thread: filled as
  // they are made, they need no worker, and start-up waits for no other thread.
  for (FolderListBox* list : {&Dir1_, &Dir2_, &Dir3_})
    list->onOpenFailed = [this](const std::wstring& folder, DWORD reason) { FolderUnreadable(folder, reason); };
  // A file list reads its folder again when its folder list has seen its files change: the
  // pick it recorded stays, and no click is raised.
  Dir1_.onContentChange = [this] { File1_.Refresh(); };
  Dir2_.onContentChange = [this] { File2_.Refresh(); };
  Dir3_.onContentChange = [this] { File3_.Refresh(); };
  Dir1_.onChange = [this] { Dir1_Change(); };
  Dir2_.onChange = [this] { Dir2_Change(); };
  Dir3_.onChange = [this] { Dir3_Change(); };
  File1_.onClick = [this] { File1_Click(); };
  File2_.onClick = [this] { File2_Click(); };
  File3_.onClick = [this] { File3_Click(); };
  if (!Form_Load()) {
    error = LastErrorText(L"Quorvane cannot tell which folder it was started from");
    return false;
  }
  if (!CreateControls(error)) return false;
  prompts_ = std::make_unique<MessageBoxPrompts>(hwnd_);
  // Tools' ends come to the results window, which outlives this one: runs still waiting their
  // turn when this window closes are started and reported all the same.
  launcher_ = std::make_unique<ProcessLauncher>(ResultWindow(), kToolExited);
  ListenForResult(kToolExited, [this](WPARAM id, LPARAM) { ToolExitedNotice(id); });
  HoldOpenWhile([this] { return launcher_ != nullptr && launcher_->Waiting(); });
  skins_ = std::make_unique<SkinRequest>(state_, static_cast<SkinsView&>(*this), *prompts_, *launcher_);
  volumes_ = std::make_unique<VolumeRequest>(state_, static_cast<VolumesView&>(*this), *prompts_, *launcher_);

  PlaceWindow(hwnd_, kMainClient, dpi_);  // a window made where it belongs stays there

  LetShellMessagesThrough();
  ShowWindow(hwnd_, showCommand);
  SetFocus(tab_);
  return true;
}

bool Quorvane::CreateControls(std::wstring& error) {
  fonts_ = FontSet::For(dpi_);
  if (fonts_ == nullptr) {
    error = LastErrorText(L"Quorvane cannot make its fonts");
    return false;
  }
  const RECT strip = Pixels(kTabStrip, dpi_);
  tab_ = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, strip.left,
                         strip.top, strip.right - strip.left, strip.bottom - strip.top, hwnd_,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSSTab1)), GetModuleHandleW(nullptr), nullptr);
  if (tab_ == nullptr) {
    error = LastErrorText(L"Quorvane cannot make its tab strip");
    return false;
  }
  controls_[0] = tab_;
  const wchar_t* captions[] = {L"Skins", L"Volumes"};
  SendMessageW(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(TabFont(*fonts_)), FALSE);
  for (int i = 0; i < 2; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(captions[i]);
    if (TabCtrl_InsertItem(tab_, i, &item) != i) {
      error = LastErrorText(L"Quorvane cannot make its tab strip");
      return false;
    }
  }
  // The pages cover the strip's body, below its tabs.
  body_ = RECT{0, 0, strip.right - strip.left, strip.bottom - strip.top};
  TabCtrl_AdjustRect(tab_, FALSE, &body_);
  OffsetRect(&body_, strip.left, strip.top);

  // Only the Skins page now: the Volumes page waits until it is first needed (VolumesPage).
  if (!MakePage(0, error)) return false;
  // The lists take the names read in Form_Load, measured once, in the font they were made with.
  Dir1_.SetFont((*fonts_)[FontId::kNames]);
  File1_.SetFont((*fonts_)[FontId::kNames]);
  if (!Dir1_.Attach(Control(kDir1)) || !File1_.Attach(Control(kFile1))) {
    error = LastErrorText(L"Quorvane cannot set up its lists");
    return false;
  }
  // No palette or armor chosen at first.
  ShowPage(0);
  return true;
}

bool Quorvane::MakePage(size_t i, std::wstring& error) {
  HWND page = CreatePage(hwnd_, &PageProcedure);
  if (page == nullptr) {
    error = LastErrorText(L"Quorvane cannot make its pages");
    return false;
  }
  // The focus goes round the window's children in their order: the Skins page, the Volumes
  // page, then the tab strip, which is also where the round starts, so the round is the strip,
  // the Skins page's controls, the Volumes page's and back. Ahead of the strip, the pages also
  // lie above it, and it (clipping its siblings) never paints over them.
  SetWindowPos(page, i == 0 ? HWND_TOP : pages_[0], body_.left, body_.top, body_.right - body_.left,
               body_.bottom - body_.top, SWP_NOACTIVATE);
  pages_[i] = page;
  // The tables place controls relative to the whole strip; the page starts at its body.
  const RECT strip = Pixels(kTabStrip, dpi_);
  const POINT origin{strip.left - body_.left, strip.top - body_.top};
  for (const ControlDef& def : kPages[i]()) {
    DWORD style = 0, exStyle = 0;
    if (def.kind == Kind::kFolderList) {
      style = FolderListBox::Style();
      exStyle = FolderListBox::ExStyle();
    } else if (def.kind == Kind::kFileList) {
      style = FileListBox::Style();
      exStyle = FileListBox::ExStyle();
    } else if (def.id == kCommand1) {
      style = BS_DEFPUSHBUTTON;  // Enter presses "Continue" while the Skins page shows
    }
    HWND control = CreateControl(page, kPages[i](), def, def.caption, origin, *fonts_, style, exStyle);
    if (control == nullptr) {
      error = LastErrorText(std::wstring(L"Quorvane cannot make its control ") + def.name);
      return false;
    }
    controls_[def.id - kSSTab1] = control;
  }
  return true;
}

bool Quorvane::VolumesPage() {
  if (pages_[1] != nullptr) return true;
  if (hwnd_ == nullptr) return false;
  // Both panes read the program folder now, so that a skin made meanwhile shows; read before
  // their lists are made, here, they are filled as they are made.
  for (FolderListBox* list : {&Dir2_, &Dir3_}) list->SetFont((*fonts_)[FontId::kNames]);
  for (FileListBox* list : {&File2_, &File3_}) list->SetFont((*fonts_)[FontId::kNames]);
  ShowProgramFolder({1, 2});
  std::wstring error;
  bool made = MakePage(1, error);
  if (made) {
    made = Dir2_.Attach(Control(kDir2)) && Dir3_.Attach(Control(kDir3)) && File2_.Attach(Control(kFile2)) &&
           File3_.Attach(Control(kFile3));
    if (!made) error = LastErrorText(L"Quorvane cannot set up its lists");
  }
  if (!made) {
    if (pages_[1] != nullptr) DestroyWindow(pages_[1]);
    pages_[1] = nullptr;
    for (const ControlDef& def : VolumesPageControls()) controls_[def.id - kSSTab1] = nullptr;
    if (prompts_ != nullptr) prompts_->ShowPrompt(error + L"..!", kOops, kWarning);
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
  FontSet* fonts = FontSet::For(dpi);
  if (fonts == nullptr) return false;
  fonts_ = fonts;
  dpi_ = dpi;
  SendMessageW(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(TabFont(*fonts_)), FALSE);
  const RECT strip = Pixels(kTabStrip, dpi);
  SetWindowPos(tab_, nullptr, strip.left, strip.top, strip.right - strip.left, strip.bottom - strip.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  body_ = RECT{0, 0, strip.right - strip.left, strip.bottom - strip.top};
  TabCtrl_AdjustRect(tab_, FALSE, &body_);
  OffsetRect(&body_, strip.left, strip.top);
  const POINT origin{strip.left - body_.left, strip.top - body_.top};
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i] == nullptr) continue;
    SetWindowPos(pages_[i], nullptr, body_.left, body_.top, body_.right - body_.left, body_.bottom - body_.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ControlDef& def : kPages[i]()) PlaceControl(Control(def.id), kPages[i](), def, origin, *fonts_);
  }
  for (FolderListBox* list : {&Dir1_, &Dir2_, &Dir3_}) list->SetFont((*fonts_)[FontId::kNames]);
  for (FileListBox* list : {&File1_, &File2_, &File3_}) list->SetFont((*fonts_)[FontId::kNames]);
  InvalidateRect(hwnd_, nullptr, TRUE);
  return true;
}

HWND Quorvane::Control(ControlId id) const {
  const int index = id - kSSTab1;
  return index >= 0 && index < static_cast<int>(controls_.size()) ? controls_[static_cast<size_t>(index)] : nullptr;
}

bool Quorvane::ToolsIdle() const { return launcher_ == nullptr || launcher_->Idle(); }

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
  // Only the lists in sight follow the disk; the others are read again when they come back.
  WatchPage(page == 0 ? 1 : 0, false);
  WatchPage(page, true);
  if (TabCtrl_GetCurSel(tab_) != page) TabCtrl_SetCurSel(tab_, page);
  // The focus never stays on a control that has just been hidden.
  if (focus != nullptr && IsChild(hwnd_, focus) && !IsWindowVisible(focus)) SetFocus(tab_);
}

void Quorvane::KeepFocus() {
  const HWND focus = GetFocus();
  if (focus != nullptr && IsChild(hwnd_, focus)) focus_ = focus;
}

void Quorvane::RestoreFocus() {
  // A control on the page now hidden, or one disabled meanwhile, cannot have it: the tab
  // strip takes it, as after a page switch.
  HWND target = focus_;
  if (target == nullptr || !IsChild(hwnd_, target) || !IsWindowVisible(target) || !IsWindowEnabled(target))
    target = tab_;
  SetFocus(target);
}

void Quorvane::WatchPage(int page, bool watch) {
  const std::array<FolderListBox*, 3> dirs{&Dir1_, &Dir2_, &Dir3_};
  for (size_t i = page == 0 ? 0 : 1; i < (page == 0 ? 1 : 3); ++i) {
    if (watch)
      dirs[i]->StartWatching();
    else
      dirs[i]->StopWatching();
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
  if (about_.PreTranslateMessage(msg)) return true;
  if (hwnd_ == nullptr || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
  TrackPreview(msg);
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && (GetKeyState(VK_CONTROL) & 0x8000)) {
    const int page = 1 - TabCtrl_GetCurSel(tab_);
    TabCtrl_SetCurFocus(tab_, page);
    ShowPage(page);
    return true;
  }
  return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

LRESULT Quorvane::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == TaskbarButtonCreatedMessage() && message != 0) {
    TaskbarButtonCreated(hwnd_);
    return 0;
  }
  switch (message) {
    case WM_COMMAND: {
      EventScope scope(*this);
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == tab_ && header->code == TCN_SELCHANGE) ShowPage(TabCtrl_GetCurSel(tab_));
      return 0;
    }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      // Sent while the folder lists are being made, before they are set up.
      for (auto [list, id] : {std::pair{&Dir1_, kDir1}, {&Dir2_, kDir2}, {&Dir3_, kDir3}})
        if (static_cast<int>(item->CtlID) == id) list->OnMeasureItem(*item);
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      for (auto [list, id] : {std::pair{&Dir1_, kDir1}, {&Dir2_, kDir2}, {&Dir3_, kDir3}})
        if (static_cast<int>(item->CtlID) == id) list->OnDrawItem(*item);
      return TRUE;
    }
    case DM_GETDEFID: {
      // Enter presses the focused button; elsewhere "Continue", while the Skins page shows.
      const HWND focus = GetFocus();
      if (IsPushButton(focus) && IsChild(hwnd_, focus)) return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
      return TabCtrl_GetCurSel(tab_) == 0 ? MAKELRESULT(kCommand1, DC_HASDEFID) : 0;
    }
    case WM_ACTIVATE:
      // As the dialog manager does: the focused control is kept while another window (a
      // message box, another program) is active, and gets the focus back after.
      if (LOWORD(wParam) == WA_INACTIVE)
        KeepFocus();
      else if (!HIWORD(wParam))
        RestoreFocus();
      return 0;
    case WM_SETFOCUS:
      RestoreFocus();  // the window itself takes no keys: its control does
      return 0;
    case WM_SETCURSOR:
      return SetWorkingCursor(wParam, lParam) ? TRUE : DefWindowProcW(hwnd_, message, wParam, lParam);
    case WM_DROPFILES: {
      EventScope scope(*this);
      Form_DragDrop(reinterpret_cast<HDROP>(wParam));
      return 0;
    }
    case WM_DPICHANGED: {
      Layout(HIWORD(wParam));
      const POINT at{reinterpret_cast<const RECT*>(lParam)->left, reinterpret_cast<const RECT*>(lParam)->top};
      PlaceWindow(hwnd_, kMainClient, dpi_, &at);
      return 0;
    }
    case WM_DESTROY:
      // Tools go on running, and runs waiting their turn still start; what goes wrong with them
      // is still reported, but nothing more is asked.
      if (prompts_ != nullptr) prompts_->OwnerClosed();
      WindowClosed();
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wParam, lParam);
  }
}

void Quorvane::OnCommand(int id, int code) {
  switch (id) {
    case kDir1: Dir1_.OnCommand(static_cast<WORD>(code)); break;
    case kDir2: Dir2_.OnCommand(static_cast<WORD>(code)); break;
    case kDir3: Dir3_.OnCommand(static_cast<WORD>(code)); break;
    case kFile1: File1_.OnCommand(static_cast<WORD>(code)); break;
    case kFile2: File2_.OnCommand(static_cast<WORD>(code)); break;
    case kFile3: File3_.OnCommand(static_cast<WORD>(code)); break;
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
      const auto at = static_cast<DWORD>(SendMessageW(msg.hwnd, LB_ITEMFROMPOINT, 0, msg.lParam));
      const int item = HIWORD(at) ? -1 : LOWORD(at);
      if (msg.hwnd == hoverList_ && item == hoverItem_) return;
      if (hoverList_ != nullptr) preview_.Hide();
      hoverList_ = msg.hwnd;
      hoverItem_ = item;
      TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, msg.hwnd, 500};
      TrackMouseEvent(&track);
      return;
    }
    case WM_MOUSEHOVER:
      if (msg.hwnd == hoverList_ && hoverItem_ >= 0) ShowPreview(msg.hwnd, hoverItem_);
      return;
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
  const FileListBox& files = list == Control(kFile1) ? File1_ : File2_;
  preview_.ShowFor(hwnd_, list, item, JoinPath(files.Path(), name), (*fonts_)[FontId::kNames]);
}

void Quorvane::ToolExitedNotice(WPARAM id) {
  if (eventDepth_ > 0) {
    deferredExits_.push_back(id);
    return;
  }
  {
    EventScope scope(*this);
    if (launcher_ != nullptr) launcher_->OnToolExited(id);
  }
  QuitIfDone();  // the last waiting run has started: with no window left, the program ends
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

// Points panes (0 to 2) at the program folder, all from one read of it: each file list shows
// what its folder list's change would have read. A folder list that cannot show the program
// folder stays empty and usable.
void Quorvane::ShowProgramFolder(std::initializer_list<size_t> panes) {
  const FolderContents contents = ListFolder(state_.AppDir);
  const std::pair<FolderListBox*, FileListBox*> all[] = {{&Dir1_, &File1_}, {&Dir2_, &File2_}, {&Dir3_, &File3_}};
  for (size_t pane : panes) {
    auto [dir, files] = all[pane];
    if (!dir->SetListing(state_.AppDir, contents.folders)) continue;
    files->SetListing(dir->Path(), Admitted(contents.files, files->Pattern()).names, contents.files.error);
  }
}

bool Quorvane::Form_Load() {
  if (!ResolveAppDir(state_)) return false;
  // The Skins page's pane starts in the program folder, before the window shows; the Volumes
  // page's panes read it afresh when that page is made (VolumesPage).
  ShowProgramFolder({0});
  return true;
}

void Quorvane::Warn(const std::wstring& text) {
  EventScope scope(*this);
  state_.Answer = static_cast<std::int16_t>(prompts_->ShowPrompt(text, kOops, kWarning));
}

void Quorvane::FolderUnreadable(const std::wstring& folder, DWORD reason) {
  Warn(L"Unable to open " + folder + L": " + SystemMessage(reason) + L"..!");
}

void Quorvane::Dir1_Change() { FolderChanged(Dir1_, File1_); }
void Quorvane::Dir2_Change() { FolderChanged(Dir2_, File2_); }
void Quorvane::Dir3_Change() { FolderChanged(Dir3_, File3_); }
void Quorvane::File1_Click() { FileClicked(File1_, state_.SkinFile); }
void Quorvane::File2_Click() { FileClicked(File2_, state_.VolumeSkinFile); }
void Quorvane::File3_Click() { FileClicked(File3_, state_.VolumeFile); }
void Quorvane::Text1_Change() { skins_->Text1_Change(Text(kText1)); }
void Quorvane::Command1_Click() { skins_->Command1_Click(); }
void Quorvane::Command4_Click() { volumes_->Command4_Click(); }
void Quorvane::Option9_Click() { volumes_->Option9_Click(); }
void Quorvane::Option10_Click() { volumes_->Option10_Click(); }
void Quorvane::Command2_Click() {
  std::wstring error;
  if (!about_.Show(error)) prompts_->ShowPrompt(error + L"..!", kOops, kWarning);
}
void Quorvane::Command5_Click() { Command2_Click(); }

void Quorvane::Command3_Click() {
  state_.Answer = static_cast<std::int16_t>(
      prompts_->ShowPrompt(L"Are you sure you wish to exit?", L"Confirm Exit", kExitQuestion));
  if (state_.Answer == kAnswerYes) DestroyWindow(hwnd_);
}

void Quorvane::Command6_Click() { Command3_Click(); }

}  // namespace quorvane::ui
