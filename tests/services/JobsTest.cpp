// The job lane without a window: what it lets run.
#include <functional>
#include <vector>

#include "services/Jobs.h"
#include "tests/support/check.h"

using quorvane::JobLane;
using quorvane::Stale;

// Jobs held until the test runs them.
struct HeldJobs final : quorvane::Jobs {
  std::vector<std::function<std::function<void()>()>> held;
  bool Run(std::function<std::function<void()>()> work) override {
    held.push_back(std::move(work));
    return true;
  }
};

// A job void before it starts (a newer one started, the lane cancelled or gone, its owner's
// memory with it) is never run; the newest one of a living lane is.
TEST(jobs, a_job_void_before_it_starts_is_never_run) {
  HeldJobs jobs;
  std::vector<int> ran, applied;
  const auto job = [&ran](int n) { return [&ran, n](const Stale&) { ran.push_back(n); return n; }; };
  const auto apply = [&applied](int& n) { applied.push_back(n); };
  JobLane kept(jobs);
  {
    JobLane gone(jobs);
    gone.Start(job(1), apply);
  }
  kept.Start(job(2), apply);
  kept.Cancel();
  kept.Start(job(3), apply);
  kept.Start(job(4), apply);
  for (auto& work : jobs.held)
    if (auto result = work()) result();
  CHECK(ran == std::vector<int>{4});
  CHECK(applied == std::vector<int>{4});
}
