// Where work done away from the interface thread comes back. Workers (folder reads, folder
// watches, the waits on started tools) never touch a window; they post their result here,
// and the interface thread applies it between events, like any other message, in the order
// the results were posted.
//
// The window is message-only and lives until the program ends: it outlives the main window,
// so that runs still waiting their turn when that closes are started and reported all the
// same.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "services/Lifetime.h"
#include "services/WinError.h"

namespace quorvane {

// Makes the window, on the interface thread; later calls do nothing. Fails with the system's
// reason when it cannot be made.
Outcome MakeResultWindow();

// One result on its way to the interface thread. It can be made ahead, where allocating is
// allowed, and posted later from where it is not (a wait callback that must not fail).
struct PostedResult {
  std::function<void()> apply;
  Lifetime::Token owner;         // apply runs only while it is alive
  PostedResult* next = nullptr;  // the queue's own
};

// From any thread: `result` runs on the interface thread, between events. A result is never
// dropped: it waits in the queue until the window can be told, and runs with the next result
// that gets through, or at the latest when the program ends (RunWaitingResults).
void PostResult(std::unique_ptr<PostedResult> result);
void PostResult(std::function<void()> apply, Lifetime::Token owner = {});

// On the interface thread: `work` runs once nothing else waits for the thread, no message,
// input or painting (the next slice of a list's names). GetMessage takes posted messages
// before input and painting, so work posted at once would keep them waiting. It runs from
// RunIdleWork, which the program's message loop calls whenever it finds its queue empty and
// the main window whenever a modal loop (a message box, a menu) goes idle (WM_ENTERIDLE);
// and, for a loop that does neither (a window being moved, a scroll bar held), from a timer
// of the results window, the lowest of messages, which such loops still dispatch.
void RunWhenIdle(std::function<void()> work, Lifetime::Token owner = {});
// Runs the work waiting for an idle moment, oldest first, for as long as this thread's queue
// stays empty.
void RunIdleWork();

// On the interface thread: runs every result still waiting, in order, and the work waiting
// for an idle moment. The program's last step, so that nothing posted is lost when it ends.
void RunWaitingResults();

// Results posted and not yet taken in to run, or work waiting for an idle moment: none means
// everything posted so far has been applied, or is being applied now.
bool ResultsWaiting();

}  // namespace quorvane
