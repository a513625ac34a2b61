// The results window's queue without its window: the results wait, and run when asked.
#include <string>

#include "services/ResultWindow.h"
#include "tests/support/check.h"

// Results run in the order they were posted; one whose owner has gone does not run.
TEST(results, run_in_the_order_posted) {
  std::wstring order;
  quorvane::Lifetime gone;
  for (const wchar_t c : std::wstring(L"abc")) quorvane::PostResult([&order, c] { order += c; });
  quorvane::PostResult([&order] { order += L'x'; }, gone.token());
  gone.End();
  quorvane::RunWaitingResults();
  CHECK_EQ(order, std::wstring(L"abc"));
}
