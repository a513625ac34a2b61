#include "ui/ToolsAtWork.h"

#include <objbase.h>
#include <shobjidl.h>

#include "services/SystemLibrary.h"

namespace quorvane::ui {
namespace {

bool g_atWork = false;
bool g_buttonReady = false;
ITaskbarList3* g_taskbar = nullptr;  // made on first use; kept until the program ends

bool IsTextBox(HWND window) {
  wchar_t name[8] = {};
  return window != nullptr && GetClassNameW(window, name, 8) > 0 && lstrcmpiW(name, L"Edit") == 0;
}

// The taskbar's progress; where the system has no taskbar object, or it refuses, nothing else
// changes.
void ShowTaskbarProgress(HWND mainWindow) {
  if (!g_buttonReady || mainWindow == nullptr || !IsWindow(mainWindow)) return;
  if (g_taskbar == nullptr) {
    if (!g_atWork) return;  // nothing to take back: no object yet
    void* object = nullptr;
    if (FAILED(CreateSystemObject(CLSID_TaskbarList, IID_ITaskbarList3, &object))) return;
    g_taskbar = static_cast<ITaskbarList3*>(object);
    if (FAILED(g_taskbar->HrInit())) {
      g_taskbar->Release();
      g_taskbar = nullptr;
      return;
    }
  }
  g_taskbar->SetProgressState(mainWindow, g_atWork ? TBPF_INDETERMINATE : TBPF_NOPROGRESS);
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

void SetToolsAtWork(HWND mainWindow, bool atWork) {
  if (atWork == g_atWork) return;
  g_atWork = atWork;
  RefreshCursor();
  ShowTaskbarProgress(mainWindow);
}

bool ToolsAtWork() { return g_atWork; }

bool SetWorkingCursor(WPARAM wParam, LPARAM lParam) {
  if (!g_atWork || static_cast<short>(LOWORD(lParam)) == HTERROR) return false;
  if (IsTextBox(reinterpret_cast<HWND>(wParam))) return false;  // the text pointer, as the platform does
  SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
  return true;
}

UINT TaskbarButtonCreatedMessage() {
  static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
  return message;
}

void TaskbarButtonCreated(HWND mainWindow) {
  g_buttonReady = true;
  ShowTaskbarProgress(mainWindow);
}

}  // namespace quorvane::ui
