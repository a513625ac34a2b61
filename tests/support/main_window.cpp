#include "tests/support/main_window.h"

#include <commctrl.h>


using namespace quorvane;
using namespace quorvane::ui;

namespace check {

const std::wstring& GameFolder() {
  static const std::wstring folder = ProgramFolder();
  return folder;
}

namespace {

Quorvane& Opened(Session& session) {
  std::wstring error;
  if (!session.Open(SW_SHOW, error)) Abort(__FILE__, __LINE__, "window: " + Utf8(error));
  return *session.MainWindow();
}

}  // namespace

OpenWindow::OpenWindow() : window(Opened(session)) {
  SetMessageFilter([this](MSG& msg) { return session.PreTranslateMessage(msg); });
  // Ready once the window has painted and answers: what a user waits for before clicking.
  PumpUntil([this] { return !GetUpdateRect(hwnd(), nullptr, FALSE); }, 5000);
}

OpenWindow::~OpenWindow() { SetMessageFilter(nullptr); }

HWND OpenWindow::operator[](ControlId id) const {
  // Found once, then taken from the cache for as long as it is still that control of this
  // window: a search through every child costs a test of many actions dearly under Wine.
  HWND& known = controls_[id];
  if (known == nullptr || !IsChild(hwnd(), known) || GetDlgCtrlID(known) != id) known = Control(hwnd(), id);
  return known;
}

bool OpenWindow::checked(ControlId id) const {
  return SendMessageW((*this)[id], BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void OpenWindow::showPage(int page) {
  TabCtrl_SetCurFocus((*this)[kSSTab1], page);
  Pump();
}

int OpenWindow::page() const { return TabCtrl_GetCurSel((*this)[kSSTab1]); }

void OpenWindow::waitForTools(DWORD timeoutMs) {
  REQUIRE(PumpUntil([this] { return window.ToolsIdle(); }, timeoutMs));
}

void OpenWindow::open(ControlId dir, const std::wstring& line) {
  const int index = IndexOf((*this)[dir], line);
  if (index < 0) Abort(__FILE__, __LINE__, "no folder line " + Show(line));
  Open((*this)[dir], index);
}

void OpenWindow::choose(ControlId files, const std::wstring& name) {
  const HWND list = (*this)[files];
  int index = -1;
  if (!PumpUntil([&] { return (index = IndexOf(list, name)) >= 0; }, 10000))
    Abort(__FILE__, __LINE__, "no file line " + Show(name));
  Choose(list, index);
}

void OpenWindow::readySkin(ControlId palette, ControlId armor, const std::wstring& picture,
                           const std::wstring& prefix) {
  showPage(0);
  Click((*this)[palette]);
  Click((*this)[armor]);
  choose(kFile1, picture);
  Type((*this)[kText1], prefix);
}

bool OpenWindow::responsive() const {
  DWORD_PTR result = 0;
  return hwnd() != nullptr && SendMessageTimeoutW(hwnd(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

HWND AboutShown() { return TopWindow(L"QuorvaneAbout"); }

HWND AboutControl(ControlId id) { return Control(AboutShown(), id); }

Args LinesOnceFilled(HWND list, const Args& expected, DWORD timeoutMs) {
  Args lines;
  PumpUntil([&] { return (lines = Items(list)) == expected; }, timeoutMs);
  return lines;
}

bool QuitPosted() {
  MSG msg;
  return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

void CleanGameFolder(bool keepScratch) {
  const std::wstring& folder = GameFolder();
  // A stand-in still set aside by a run that was killed goes back first.
  for (const wchar_t* tool : {L"makeskin.exe", L"vt.exe"}) {
    const std::wstring path = folder + tool, away = path + L".away";
    if (FileExists(away)) MoveFileExW(away.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  // Names of any kind: the prefixes may have been hostile.
  for (const wchar_t* pattern : {L"*.log", L"*.vol", L"*.bmp"}) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW(LongForm(folder + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do RemoveTree(folder + data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
  }
  SetEnvironmentVariableW(L"MAKESKIN_FAULT", nullptr);
  SetEnvironmentVariableW(L"VT_FAULT", nullptr);
  if (!keepScratch) RemoveTree(folder + L"scratch");
}

std::vector<StandinRun> ToolLog(const std::wstring& tool) { return ReadStandinLog(GameFolder() + tool + L".log"); }

FaultVariable::FaultVariable(const wchar_t* variable, const std::wstring& directives) : variable_(variable) {
  REQUIRE(SetEnvironmentVariableW(variable_, directives.c_str()));
}

FaultVariable::~FaultVariable() { SetEnvironmentVariableW(variable_, nullptr); }

ToolReplaced::ToolReplaced(const std::wstring& tool, const char* replacement)
    : tool_(GameFolder() + tool), away_(GameFolder() + tool + L".away") {
  if (!MoveFileExW(tool_.c_str(), away_.c_str(), MOVEFILE_REPLACE_EXISTING))
    Abort(__FILE__, __LINE__, "cannot move " + Show(tool_) + " away");
  if (replacement != nullptr) WriteFile(tool_, replacement);
}

ToolReplaced::~ToolReplaced() {
  DeleteFileW(tool_.c_str());
  if (!MoveFileExW(away_.c_str(), tool_.c_str(), MOVEFILE_REPLACE_EXISTING))
    Fail(__FILE__, __LINE__, "cannot put " + Show(tool_) + " back");
}

int EndStandins(UINT exitCode) {
  return EndStandins(
      [](const std::wstring& image) {
        const std::wstring name = image.substr(image.find_last_of(L'\\') + 1);
        return lstrcmpiW(name.c_str(), L"makeskin.exe") == 0 || lstrcmpiW(name.c_str(), L"vt.exe") == 0;
      },
      exitCode);
}

std::wstring SystemText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n != 0 && buffer != nullptr ? std::wstring(buffer, n) : L"";
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  if (!text.empty() && text.back() == L'.') text.pop_back();
  return text;
}

}  // namespace check
