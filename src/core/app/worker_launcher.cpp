#include "core/app/worker_launcher.h"

#include <utility>

namespace emberline::app {

ThreadLauncher::~ThreadLauncher() { join(); }

void ThreadLauncher::start(std::function<void()> work) {
  // The previous worker has already reported its end; reap its thread.
  join();
  worker_ = std::thread(std::move(work));
}

void ThreadLauncher::join() {
  if (worker_.joinable()) worker_.join();
}

WorkerThread::~WorkerThread() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void WorkerThread::start(std::function<void()> work) {
  std::lock_guard lock(mutex_);
  queue_.push_back(std::move(work));
  if (!thread_.joinable()) thread_ = std::thread([this] { loop(); });
  changed_.notify_all();
}

void WorkerThread::join() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !working_; });
}

void WorkerThread::loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !queue_.empty() || ending_; });
    if (queue_.empty()) return;  // ending, and nothing left to run
    std::function<void()> work = std::move(queue_.front());
    queue_.pop_front();
    working_ = true;
    lock.unlock();
    work();
    lock.lock();
    working_ = false;
    changed_.notify_all();
  }
}

}  // namespace emberline::app
