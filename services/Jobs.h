// How Quorvane works away from what the player is doing, each way for its own kind of work:
// - A job (JobLane, below) reads the disk and ends: a folder read, a preview, a drop looked at,
//   the look at the program folder. It runs on a thread-pool worker, and its result is applied
//   on the interface thread only while no newer job of its lane has started ("latest job wins").
// - The folder watcher's own thread (app/FolderWatch) waits on one completion port for every
//   watch, which lasts as long as its folder is shown, and times their bursts: a worker each
//   would be held for as long.
// - A thread-pool wait per running tool (services/ToolLauncher), for minutes maybe, holds no
//   thread; its callback only posts.
// - Work for an idle moment (RunWhenIdle) must run on the interface thread, since it touches a
//   control (a long list's slices), after the input and painting that wait; a window timer, for
//   what waits a moment there (the look at the program folder once the window is up).
// Whatever a worker or a wait hands back reaches the interface thread through PostResult.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "services/Lifetime.h"

namespace quorvane {

// Where jobs run: the thread pool (WorkerJobs), or, in tests, a queue run by hand.
class Jobs {
 public:
  virtual ~Jobs() = default;
  // Runs `work` away from the interface thread, then what it returns on that thread. False
  // when it cannot be started: nothing runs then.
  virtual bool Run(std::function<std::function<void()>()> work) = 0;
};

// The thread pool's workers, their results applied through the results window.
Jobs& WorkerJobs();

// True when no job runs and no result waits to be applied (the lists' slices included): what
// the windows show is then all that was read. Watches waiting for changes do not count.
bool BackgroundSettled();
// Background work that is not a job (a watch being started on the watcher's own thread),
// counted as running from its start until it ends, once its result is posted.
void BackgroundWorkBegan();
void BackgroundWorkEnded();

// Asked by a job between its steps: true once its result would be void, so that it stops.
using Stale = std::function<bool()>;

// The jobs of one owner. A job may use what its owner holds: none outlives its lane, which
// waits, as it ends, for one that is running to return.
class JobLane {
 public:
  explicit JobLane(Jobs& jobs = WorkerJobs()) : jobs_(&jobs) {}
  ~JobLane() {
    latest_.End();
    while (working_->load() > 0) Sleep(1);
  }
  JobLane(const JobLane&) = delete;
  JobLane& operator=(const JobLane&) = delete;

  // Work the player asked for (a folder opened, a drop), or a preview.
  enum Kind { kAsked, kPreview };

  // Starts `work`; `apply` gets its result on the interface thread unless Start or Cancel is
  // called again first. A job whose result is void before it begins is not run at all. Where
  // no worker can be had, work the player asked for runs here and now, with its result, as a
  // slower disk would have given them; a preview is skipped: `apply` gets an empty result.
  template <typename Work, typename Apply>
  void Start(Work work, Apply apply, Kind kind = kAsked) {
    using R = std::invoke_result_t<Work&, const Stale&>;
    Cancel();
    const Lifetime::Token token = latest_.token();
    busy_ = true;
    auto job = [this, token, working = working_, work, apply]() -> std::function<void()> {
      const Stale stale = [token] { return !token.Alive(); };
      // Counted as working before it looks whether it is still wanted: a lane that ends
      // meanwhile either finds it working and waits, or is seen to have ended.
      ++*working;
      if (stale()) {
        --*working;
        return {};
      }
      auto result = std::make_shared<R>(work(stale));
      --*working;
      return [this, token, result, apply] {
        if (!token.Alive()) return;
        busy_ = false;
        apply(*result);
      };
    };
    if (jobs_->Run(std::move(job))) return;
    busy_ = false;
    R result = kind == kAsked ? work(Stale{}) : R{};
    apply(result);
  }
  // Voids every result still to come.
  void Cancel() {
    latest_.Renew();
    busy_ = false;
  }
  // A job is out whose result will be applied.
  bool Busy() const { return busy_; }

 private:
  Jobs* jobs_;
  Lifetime latest_;  // the newest job's: renewed as each starts, ended with the lane
  std::shared_ptr<std::atomic<int>> working_ = std::make_shared<std::atomic<int>>(0);  // jobs running their work now
  bool busy_ = false;
};

}  // namespace quorvane
