// The program's window classes, registered once each.
#pragma once

#include <windows.h>

#include "services/WinError.h"

namespace quorvane {

// Registers a window class of the program's, or finds it registered already; its windows show
// the icon resource `icon` (none when 0) in both the sizes the system asks for.
Outcome RegisterWindowClass(const wchar_t* name, WNDPROC procedure, int icon = 0);

}  // namespace quorvane
