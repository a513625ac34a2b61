// How Quorvane works away from what the player is doing. Each way has its own job:
// - A job (JobLane, below): anything that reads the disk and ends (a folder read, a preview, a
//   drop looked at, the look at the program folder). It runs on the thread pool's workers, and
//   its result is applied on the interface thread, through the results window, only while no
//   newer job of the same lane has started since ("latest job wins").
// - The folder watcher's thread (app/FolderWatch): watches wait on the disk for as long as a
//   folder is shown, which would hold a worker each; one thread waits on one completion port
//   for all of them, and times their bursts.
// - A thread-pool wait per running tool (services/ToolLauncher): a tool may run for minutes;
//   the wait holds no thread, and its callback only posts.
// - Work waiting for an idle moment (RunWhenIdle, services/ResultWindow): what must be done on
//   the interface thread itself, since it touches a control (the slices of a long list), after
//   whatever input and painting wait.
// - A window timer: what must wait a moment on the interface thread (the look at the program
//   folder once the window is up); no thread, and the lowest of messages.
// Whatever a worker or a wait hands back reaches the interface thread through PostResult only.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>

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

  // Work the player asked for (a folder opened, a drop): started; `apply` gets its result on
  // the interface thread unless Start, Preview or Cancel is called again first. A job whose
  // result is void before it begins is not run at all.
  template <typename Work, typename Apply>
  void Start(Work work, Apply apply) {
    Launch(std::move(work), std::move(apply), true);
  }
  // A preview: started as Start does.
  template <typename Work, typename Apply>
  void Preview(Work work, Apply apply) {
    Launch(std::move(work), std::move(apply), false);
  }
  // Voids every result still to come.
  void Cancel() {
    latest_.Renew();
    busy_ = false;
  }
  // A job is out whose result will be applied.
  bool Busy() const { return busy_; }

 private:
  // Where no worker can be had, work the player asked for runs here and now, with its result,
  // as a slower disk would have given them; a preview is skipped: `apply` gets an empty result.
  template <typename Work, typename Apply>
  void Launch(Work work, Apply apply, bool asked) {
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
    if (jobs_->Run(job)) return;
    busy_ = false;
    R result = asked ? work(Stale{}) : R{};
    apply(result);
  }

  Jobs* jobs_;
  Lifetime latest_;  // the newest job's: renewed as each starts, ended with the lane
  std::shared_ptr<std::atomic<int>> working_ = std::make_shared<std::atomic<int>>(0);  // jobs running their work now
  bool busy_ = false;
};

}  // namespace quorvane
