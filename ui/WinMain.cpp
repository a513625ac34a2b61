// Quorvane's entry point: the main window is the program; it ends when its last window closes.
#include <windows.h>

#include <commctrl.h>

#include "services/Prompt.h"
#include "services/SystemLibrary.h"
#include "ui/MainWindow.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  quorvane::NarrowDllSearch();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);

  quorvane::ui::Quorvane window;
  std::wstring error;
  if (!window.Create(showCommand, error)) {
    MessageBoxW(nullptr, (error + L"..!").c_str(), quorvane::kOops, quorvane::kWarning);
    return 1;
  }
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    if (window.PreTranslateMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
