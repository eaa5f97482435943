#pragma once
// Auto-reset event: Set() releases exactly one waiter (or the next Wait()); a Wait()
// that takes the signal clears it. Created signalled, so the first synchronous send
// does not wait for a reply that was never asked for.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace dsptune {

class ReplyEvent {
 public:
  explicit ReplyEvent(bool signalled = true) : signalled_(signalled) {}

  void Set() {
    {
      std::lock_guard lock(mutex_);
      signalled_ = true;
    }
    cv_.notify_one();
  }

  void Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
  }

  // True when the signal was taken, false on time-out.
  bool Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [this] { return signalled_; })) return false;
    signalled_ = false;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_;
};

}  // namespace dsptune
