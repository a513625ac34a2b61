// Where work done away from the interface thread comes back. Workers (folder reads, folder
// watches, the waits on started tools) never touch a window; they post their result here,
// and the interface thread applies it between events, like any other message.
//
// The window is message-only and lives until the program ends: it outlives the main window,
// so that runs still waiting their turn when that closes are started and reported all the
// same.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace quorvane {

// Makes the window, on the interface thread; later calls do nothing. False, with a sentence
// for the user in `error`, when it cannot be made.
bool MakeResultWindow(std::wstring& error);

// The window; null before it is made.
HWND ResultWindow();

// From any thread: `apply` runs on the interface thread, between events. False when it cannot
// be posted (no window, or a queue that stays full); `apply` is then dropped, never run.
bool PostResult(std::function<void()> apply);

// What a message of the caller's own posted to ResultWindow() does, for posters that cannot
// allocate (a wait callback that must not fail): `handler` gets its wParam and lParam on the
// interface thread. An empty handler stops listening. Messages nobody listens for are dropped.
void ListenForResult(UINT message, std::function<void(WPARAM, LPARAM)> handler);

}  // namespace quorvane
