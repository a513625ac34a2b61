#include "ui/Session.h"

#include "services/ResultWindow.h"
#include "services/WinError.h"
#include "ui/MainWindow.h"

namespace quorvane::ui {

Session::Session()
    : launcher_([this](WPARAM id) { ToolEnded(id); }),
      skins_(state_, static_cast<SkinsView&>(*this), prompts_, launcher_),
      volumes_(state_, static_cast<VolumesView&>(*this), prompts_, launcher_),
      about_(*this) {}

Session::~Session() = default;

bool Session::Open(int showCommand, std::wstring& error) {
  if (const Outcome made = MakeResultWindow(); !made) {
    error = L"Quorvane cannot set up its background work: " + SystemMessage(made.error);
    return false;
  }
  main_ = std::make_unique<Quorvane>(*this);
  if (!main_->Create(showCommand, error)) {
    main_.reset();
    return false;
  }
  prompts_.SetOwner(main_->hwnd());
  return true;
}

int Session::Run() {
  MSG msg{};
  for (;;) {
    RunIdleWork();  // while nothing waits: input and painting always go first
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) break;
    if (got == -1) return 1;
    if (PreTranslateMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  RunWaitingResults();  // nothing posted is lost: what waits still runs, with no window left
  return static_cast<int>(msg.wParam);
}

bool Session::PreTranslateMessage(MSG& msg) {
  if (about_.PreTranslateMessage(msg)) return true;
  return MainOpen() && main_->PreTranslateMessage(msg);
}

Session::EventScope::EventScope(Session& session) : session_(session) { ++session_.eventDepth_; }

Session::EventScope::~EventScope() {
  if (--session_.eventDepth_ > 0) return;
  // Every run starts or ends inside an event: the windows show at its end whether tools work.
  session_.tools_.Set(session_.MainOpen() ? session_.main_->hwnd() : nullptr, !session_.launcher_.Idle());
  for (WPARAM id : session_.waitingEnds_)
    PostResult([&session = session_, id] { session.ToolEnded(id); }, session_.lifetime_.token());
  session_.waitingEnds_.clear();
}

void Session::ToolEnded(WPARAM id) {
  if (eventDepth_ > 0) {
    waitingEnds_.push_back(id);
    return;
  }
  {
    EventScope scope(*this);
    launcher_.OnToolExited(id);
  }
  // What a tool wrote shows in the lists, also where Quorvane was not following the disk
  // meanwhile (the tool had taken the activation).
  if (MainOpen()) main_->ToolEnded();
  QuitIfDone();  // the last waiting run has started: with no window left, the program ends
}

void Session::WindowOpened() { ++openWindows_; }

void Session::WindowClosed() {
  --openWindows_;
  QuitIfDone();
}

void Session::MainWindowClosed() {
  // Tools go on running, and runs waiting their turn still start; what goes wrong with them
  // is still reported, but nothing more is asked.
  prompts_.OwnerClosed();
}

void Session::QuitIfDone() {
  if (openWindows_ == 0 && !launcher_.Waiting()) PostQuitMessage(0);
}

bool Session::MainOpen() const { return main_ != nullptr && main_->hwnd() != nullptr; }

bool Session::OptionSelected(int n) const { return MainOpen() && main_->OptionSelected(n); }
bool Session::NewVolumeSelected() const { return MainOpen() && main_->NewVolumeSelected(); }
bool Session::ExistingVolumeSelected() const { return MainOpen() && main_->ExistingVolumeSelected(); }
std::wstring Session::PrefixText() const { return MainOpen() ? main_->PrefixText() : std::wstring(); }
void Session::EnablePrefix(bool enabled) {
  if (MainOpen()) main_->EnablePrefix(enabled);
}
void Session::EnableVolumePane(bool enabled) {
  if (MainOpen()) main_->EnableVolumePane(enabled);
}

}  // namespace quorvane::ui
