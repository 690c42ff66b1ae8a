#pragma once

#include <chrono>
#include <cstdint>

namespace emberline::device {

// Sleeping and time, injectable so that a flash that stays busy for seconds is
// tested in microseconds. Production code sleeps only through a Clock.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual void sleepFor(std::chrono::microseconds duration) = 0;
  virtual std::chrono::steady_clock::time_point now() const = 0;

  void sleepMs(std::uint32_t ms) { sleepFor(std::chrono::milliseconds(ms)); }
};

// The real thing: std::this_thread::sleep_for and steady_clock.
class SystemClock final : public Clock {
 public:
  void sleepFor(std::chrono::microseconds duration) override;
  std::chrono::steady_clock::time_point now() const override;
};

// Shared instance for code that has nothing better to use.
Clock& systemClock();

// A clock that never blocks: sleeping advances its time and counts the call.
// Thread-compatible, not thread-safe: one per test or per camera.
class ManualClock final : public Clock {
 public:
  void sleepFor(std::chrono::microseconds duration) override;
  std::chrono::steady_clock::time_point now() const override;

  std::uint64_t sleeps() const { return sleeps_; }
  std::chrono::microseconds slept() const { return slept_; }

 private:
  std::chrono::steady_clock::time_point now_{};
  std::uint64_t sleeps_ = 0;
  std::chrono::microseconds slept_{0};
};

}  // namespace emberline::device
