// Whether an owner is still there, said one way. The owner holds a Lifetime; whatever it hands
// out for later (a result posted to the interface thread, a job, a watch's events) carries a
// Token taken from it, and runs only while Alive() says so. A Lifetime ends with its owner, or
// earlier by End; Renew ends the tokens handed out so far and begins anew ("latest job wins").
#pragma once

#include <atomic>
#include <memory>

namespace quorvane {

class Lifetime {
 public:
  class Token {
   public:
    Token() = default;  // of no owner: always alive
    explicit Token(std::shared_ptr<const std::atomic<bool>> alive) : alive_(std::move(alive)) {}
    bool Alive() const { return alive_ == nullptr || alive_->load(); }  // from any thread

   private:
    std::shared_ptr<const std::atomic<bool>> alive_;
  };

  Lifetime() = default;
  ~Lifetime() { End(); }
  Lifetime(const Lifetime&) = delete;
  Lifetime& operator=(const Lifetime&) = delete;

  Token token() const { return Token(alive_); }
  void End() { alive_->store(false); }
  void Renew() {
    End();
    alive_ = std::make_shared<std::atomic<bool>>(true);
  }

 private:
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};

}  // namespace quorvane
