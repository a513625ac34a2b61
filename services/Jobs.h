// The one way Quorvane works in the background: a job runs on a worker, and its result is
// applied on the interface thread, through the results window, only while no newer job of
// the same lane has started since ("latest job wins"): an older folder read, preview or drop
// never overrides a newer one.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>

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
    Cancel();
    while (state_->working.load() > 0) Sleep(1);
  }
  JobLane(const JobLane&) = delete;
  JobLane& operator=(const JobLane&) = delete;

  // Starts `work`; `apply` gets its result on the interface thread unless Start or Cancel is
  // called again first. A job whose result is void before it begins is not run at all. False
  // when no worker can be had: nothing runs then, and the caller decides what to do.
  template <typename Work, typename Apply>
  bool Start(Work work, Apply apply) {
    using R = std::invoke_result_t<Work&, const Stale&>;
    const unsigned generation = ++state_->latest;
    state_->busy = true;
    const bool started = jobs_->Run([state = state_, generation, work = std::move(work),
                                     apply = std::move(apply)]() -> std::function<void()> {
      const Stale stale = [state, generation] { return state->latest.load() != generation; };
      // Counted as working before it looks whether it is still wanted: a lane that ends
      // meanwhile either finds it working and waits, or is seen to have ended.
      ++state->working;
      if (stale()) {
        --state->working;
        return {};
      }
      auto result = std::make_shared<R>(work(stale));
      --state->working;
      return [state, generation, result, apply] {
        if (state->latest.load() != generation) return;
        state->busy = false;
        apply(*result);
      };
    });
    if (!started) state_->busy = false;
    return started;
  }
  // Start, or where no worker can be had, the work and its result here and now, as a slower
  // disk would have given them.
  template <typename Work, typename Apply>
  void StartOrRunHere(Work work, Apply apply) {
    if (Start(work, apply)) return;
    auto result = work(Stale{});
    apply(result);
  }
  // Voids every result still to come.
  void Cancel() {
    ++state_->latest;
    state_->busy = false;
  }
  // A job is out whose result will be applied.
  bool Busy() const { return state_->busy; }

 private:
  struct State {
    std::atomic<unsigned> latest{0};
    std::atomic<int> working{0};  // jobs running their work now
    bool busy = false;            // the interface thread's only
  };
  Jobs* jobs_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace quorvane
