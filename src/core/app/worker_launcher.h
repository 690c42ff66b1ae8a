#pragma once

// Where a workflow's worker runs. The dialog starts one worker at a time and
// waits for it before it goes away; tests run the work inline or hold it back.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
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

// One thread for all the dialog's work, from the first start until the
// launcher goes: what one operation leaves behind on its thread (the Windows
// transport's COM objects, which live in the apartment that thread joined)
// is still usable by the next one, on the same thread.
class WorkerThread final : public WorkerLauncher {
 public:
  WorkerThread() = default;
  // Runs what was started, then ends the thread.
  ~WorkerThread() override;
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  void start(std::function<void()> work) override;
  void join() override;

 private:
  void loop();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> queue_;  // guarded by mutex_
  bool working_ = false;                     // guarded by mutex_
  bool ending_ = false;                      // guarded by mutex_
  std::thread thread_;
};

// Runs the work at once on the caller's thread.
class InlineLauncher final : public WorkerLauncher {
 public:
  void start(std::function<void()> work) override { work(); }
  void join() override {}
};

}  // namespace emberline::app
