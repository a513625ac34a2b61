#include "ui/ToolsAtWork.h"

#include <objbase.h>

#include "services/SystemLibrary.h"

namespace quorvane::ui {
namespace {

bool IsTextBox(HWND window) {
  wchar_t name[8] = {};
  return window != nullptr && GetClassNameW(window, name, 8) > 0 && lstrcmpiW(name, L"Edit") == 0;
}

// Asks the window under the pointer, if it is one of this thread's, to set the pointer again,
// as a move of the mouse would.
void RefreshCursor() {
  POINT at{};
  if (!GetCursorPos(&at)) return;
  const HWND under = WindowFromPoint(at);
  if (under == nullptr || GetWindowThreadProcessId(under, nullptr) != GetCurrentThreadId()) return;
  const LRESULT hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
               MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
}

}  // namespace

void ToolsAtWork::Set(HWND mainWindow, bool atWork) {
  if (atWork == atWork_) return;
  atWork_ = atWork;
  RefreshCursor();
  ShowTaskbarProgress(mainWindow);
}

bool ToolsAtWork::SetCursor(WPARAM wParam, LPARAM lParam) const {
  if (!atWork_ || static_cast<short>(LOWORD(lParam)) == HTERROR) return false;
  if (IsTextBox(reinterpret_cast<HWND>(wParam))) return false;  // the text pointer, as the platform does
  ::SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
  return true;
}

UINT ToolsAtWork::TaskbarButtonCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
  return message;
}

void ToolsAtWork::TaskbarButtonCreated(HWND mainWindow) {
  buttonReady_ = true;
  ShowTaskbarProgress(mainWindow);
}

// The taskbar's progress; where the system has no taskbar object, or it refuses, nothing else
// changes.
void ToolsAtWork::ShowTaskbarProgress(HWND mainWindow) {
  if (!buttonReady_ || mainWindow == nullptr || !IsWindow(mainWindow)) return;
  if (!taskbar_) {
    if (!atWork_) return;  // nothing to take back: no object yet
    if (FAILED(CreateSystemObject(CLSID_TaskbarList, IID_ITaskbarList3, taskbar_.put()))) return;
    if (FAILED(taskbar_->HrInit())) {
      taskbar_.reset();
      return;
    }
  }
  taskbar_->SetProgressState(mainWindow, atWork_ ? TBPF_INDETERMINATE : TBPF_NOPROGRESS);
}

}  // namespace quorvane::ui
