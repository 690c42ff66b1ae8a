#pragma once

// Where a workflow's worker runs. The dialog starts one worker at a time and
// waits for it before it goes away; tests run the work inline or hold it back.

#include <functional>
#include <thread>

namespace emberline::app {

class WorkerLauncher {
 public:
  virtual ~WorkerLauncher() = default;
  // Starts `work` on a worker. The caller never starts a second one before
  // the first has signalled its end.
  virtual void start(std::function<void()> work) = 0;
  // Returns once the last started work has ended.
  virtual void join() = 0;
};

// One std::thread per workflow, as the dialog runs them.
class ThreadLauncher final : public WorkerLauncher {
 public:
  ThreadLauncher() = default;
  ~ThreadLauncher() override;
  ThreadLauncher(const ThreadLauncher&) = delete;
  ThreadLauncher& operator=(const ThreadLauncher&) = delete;

  void start(std::function<void()> work) override;
  void join() override;

 private:
  std::thread worker_;
};

// Runs the work at once on the caller's thread.
class InlineLauncher final : public WorkerLauncher {
 public:
  void start(std::function<void()> work) override { work(); }
  void join() override {}
};

}  // namespace emberline::app
