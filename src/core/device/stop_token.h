#pragma once

// A request to stop a running workflow, made from outside it (a signal, a
// closing window) and looked at only between two device requests, so that no
// request is ever cut in half. The source belongs to the face; workflows hold
// tokens. Setting and reading are lock-free, so a signal handler may set it.

#include <atomic>

namespace emberline::device {

class StopToken;

class StopSource {
 public:
  // `reason` is non-zero and says why (the face gives it a meaning, for
  // example which signal arrived). The first request wins.
  void requestStop(int reason) {
    int none = 0;
    reason_.compare_exchange_strong(none, reason, std::memory_order_relaxed);
  }
  int reason() const { return reason_.load(std::memory_order_relaxed); }
  bool stopRequested() const { return reason() != 0; }
  StopToken token() const;

  // The flag itself, for a signal handler that can reach nothing else.
  std::atomic<int>& flag() { return reason_; }

 private:
  std::atomic<int> reason_{0};
};

class StopToken {
 public:
  StopToken() = default;  // never asks to stop
  explicit StopToken(const std::atomic<int>* reason) : reason_(reason) {}
  bool stopRequested() const { return reason_ != nullptr && reason_->load(std::memory_order_relaxed) != 0; }

 private:
  const std::atomic<int>* reason_ = nullptr;
};

inline StopToken StopSource::token() const { return StopToken(&reason_); }

static_assert(std::atomic<int>::is_always_lock_free, "a signal handler sets the stop flag");

}  // namespace emberline::device
