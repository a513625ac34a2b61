#include "services/Jobs.h"

#include "services/ResultWindow.h"

namespace quorvane {
namespace {

std::atomic<long> g_running{0};

class ThreadPoolJobs final : public Jobs {
 public:
  using Work = std::function<std::function<void()>()>;

  bool Run(Work work) override {
    auto context = std::make_unique<Work>(std::move(work));
    ++g_running;
    // Once submitted, the callback owns the context.
    if (TrySubmitThreadpoolCallback(&RunOne, context.get(), nullptr)) {
      context.release();
      return true;
    }
    --g_running;
    return false;
  }

 private:
  static void CALLBACK RunOne(PTP_CALLBACK_INSTANCE, void* context) {
    const std::unique_ptr<Work> work(static_cast<Work*>(context));
    std::function<void()> apply = (*work)();
    // Posted before it stops counting as running, so that the two never both read zero
    // while a result is on its way.
    if (apply) PostResult(std::move(apply));
    --g_running;
  }
};

}  // namespace

Jobs& WorkerJobs() {
  static ThreadPoolJobs jobs;
  return jobs;
}

bool BackgroundSettled() { return g_running.load() == 0 && !ResultsWaiting(); }

void BackgroundWorkBegan() { ++g_running; }

void BackgroundWorkEnded() { --g_running; }

}  // namespace quorvane
