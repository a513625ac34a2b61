// The window that background work reports to: a worker reads or watches, then posts what it
// found here, and it is applied on the interface thread between events, as a tool's end is.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace quorvane {

// Made on the interface thread, once (later calls do nothing); lives until the program ends.
bool MakeResultWindow(std::wstring& error);
HWND ResultWindow();  // null before it is made
// From any thread: `apply` runs on the interface thread between events. False (apply is
// then dropped, never run) when it cannot be posted (no window, queue full).
bool PostResult(std::function<void()> apply);

}  // namespace quorvane
