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

}  // namespace emberline::app
