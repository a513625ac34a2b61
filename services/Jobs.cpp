#include "services/Jobs.h"

#include "services/ResultWindow.h"

namespace quorvane {
namespace {

std::atomic<long> g_running{0};

class ThreadPoolJobs final : public Jobs {
 public:
  bool Run(std::function<std::function<void()>()> work) override {
    auto* context = new std::function<std::function<void()>()>(std::move(work));
    ++g_running;
    if (TrySubmitThreadpoolCallback(&RunOne, context, nullptr)) return true;
    --g_running;
    delete context;
    return false;
  }

 private:
  static void CALLBACK RunOne(PTP_CALLBACK_INSTANCE, void* context) {
    const std::unique_ptr<std::function<std::function<void()>()>> work(
        static_cast<std::function<std::function<void()>()>*>(context));
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
