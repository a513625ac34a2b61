// Quorvane's entry point: the session opens the main window and runs until its last window has
// closed and no run waits its turn.
#include <windows.h>

#include <commctrl.h>

#include "services/Prompt.h"
#include "services/SystemLibrary.h"
#include "ui/Session.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  quorvane::NarrowDllSearch();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);

  // COM, should the session start it, ends once the session's objects have gone.
  quorvane::ComOnThisThread com;
  quorvane::ui::Session session;
  std::wstring error;
  if (!session.Open(showCommand, error)) {
    MessageBoxW(nullptr, (error + L"..!").c_str(), quorvane::kOops, quorvane::kWarning);
    return 1;
  }
  return session.Run();
}
