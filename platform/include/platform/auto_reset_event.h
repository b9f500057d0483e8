// An unnamed auto-reset event: Set wakes one waiter and is consumed by it.
#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace plat {

class AutoResetEvent {
 public:
  void Set() {
    {
      std::lock_guard<std::mutex> lock(m_);
      signaled_ = true;
    }
    cv_.notify_one();
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(m_);
    signaled_ = false;
  }
  // Consumes the signal when it is set; never waits.
  bool TryWait() {
    std::lock_guard<std::mutex> lock(m_);
    bool was = signaled_;
    signaled_ = false;
    return was;
  }
  // Waits up to timeout for the signal and consumes it.
  bool WaitFor(std::chrono::microseconds timeout) {
    std::unique_lock<std::mutex> lock(m_);
    if (!cv_.wait_for(lock, timeout, [this] { return signaled_; })) return false;
    signaled_ = false;
    return true;
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool signaled_ = false;
};

}  // namespace plat
