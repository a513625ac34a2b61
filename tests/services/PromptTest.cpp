// The message boxes as the prompts ask for them, recorded in place of MessageBoxW: Wine shows
// every box alike, whatever it is asked.
#include <windows.h>

#include <vector>

#include "services/Prompt.h"
#include "tests/support/check.h"

namespace {

using quorvane::MessageBoxPrompts;

struct Asked {
  HWND owner;
  UINT style;
};
std::vector<Asked> g_asked;

int WINAPI RecordBox(HWND owner, LPCWSTR, LPCWSTR, UINT style) {
  g_asked.push_back({owner, style});
  return IDOK;
}

}  // namespace

TEST(prompts, a_warning_after_the_window_closed_comes_forward_by_itself) {
  const HWND owner = GetDesktopWindow();  // any window will do: nothing is shown
  MessageBoxPrompts prompts(owner, &RecordBox);
  CHECK_EQ(prompts.ShowPrompt(L"open", quorvane::kOops, quorvane::kWarning), IDOK);
  prompts.OwnerClosed();
  CHECK_EQ(prompts.ShowPrompt(L"closed", quorvane::kOops, quorvane::kWarning), IDOK);
  CHECK_EQ(prompts.ShowPrompt(L"question", L"Success", quorvane::kFollowUpQuestion), 0);  // never asked
  // Owned, the box comes up with its window; alone, it asks for the foreground and the top.
  REQUIRE(g_asked.size() == 2);
  CHECK(g_asked[0].owner == owner && g_asked[0].style == UINT{MB_OK | MB_ICONEXCLAMATION});
  CHECK(g_asked[1].owner == nullptr &&
        g_asked[1].style == UINT{MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND | MB_TOPMOST});
}
