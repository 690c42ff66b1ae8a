// Workers on real threads: everything they do to the dialog reaches it on
// the UI thread (here the test's own thread, pumping a queue as an event
// loop would), and closing waits for them.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

#include "dialog_fixture.h"

namespace emberline::app {
namespace {

using testing::DialogRig;

// A recording view whose UI thread is the thread that built it; calls from
// a worker wait in a queue until that thread pumps, as in an event loop.
class UiLoopView final : public testing::RecordingView {
 public:
  void runOnUiThread(const std::function<void()>& fn) override {
    if (std::this_thread::get_id() == ui_thread_) return fn();
    std::packaged_task<void()> task(fn);
    auto done = task.get_future();
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(&task);
    }
    wake_.notify_one();
    done.wait();
  }
  void pumpUntil(const std::function<bool()>& until) {
    std::unique_lock lock(mutex_);
    while (!until()) {
      wake_.wait_for(lock, std::chrono::milliseconds(20), [&] { return !queue_.empty(); });
      while (!queue_.empty()) {
        auto* task = queue_.front();
        queue_.pop_front();
        lock.unlock();
        (*task)();
        lock.lock();
      }
    }
  }
  int off_thread_calls = 0;

 protected:
  void log(std::string line) override {
    off_thread_calls += std::this_thread::get_id() != ui_thread_;
    RecordingView::log(std::move(line));
  }

 private:
  const std::thread::id ui_thread_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::packaged_task<void()>*> queue_;
};

using Rig = DialogRig<ThreadLauncher, UiLoopView>;

TEST(ThreadedDialog, WorkersChangeTheDialogOnlyOnTheUiThreadAndWaitForItsBoxes) {
  Rig rig;
  ASSERT_TRUE(rig.dialog->OnInitDialog());
  std::string status_during_box;
  rig.view.on_message = [&] { status_during_box = rig.status(); };
  rig.dialog->OnBnClickedGo();  // no image yet: "No Source File!"
  rig.view.pumpUntil([&] { return !rig.dialog->busy(); });
  EXPECT_EQ(rig.view.messages(), std::vector<std::string>{"No Source File!"});
  EXPECT_EQ(status_during_box, "No Task is Running...");  // the worker waited for the box
  EXPECT_EQ(rig.status(), "Burn Failed!");

  rig.view.on_message = nullptr;
  const auto image = testing::writeImage("threaded.src");
  rig.dialog->OnDropFiles({image});
  rig.dialog->OnBnClickedGo();
  EXPECT_FALSE(rig.dialog->canClose());
  rig.dialog->OnBnClickedEraseSf();  // refused on the spot
  EXPECT_FALSE(rig.dialog->requestClose(0));  // waits for the burn
  rig.view.pumpUntil([&] { return !rig.dialog->busy(); });
  const auto messages = rig.view.messages();
  EXPECT_EQ(std::vector<std::string>(messages.end() - 2, messages.end()),
            (std::vector<std::string>{std::string(kMsgBusy), "Burn Successes!"}));
  EXPECT_EQ(rig.view.ended, 0);
  EXPECT_EQ(rig.status(), "Burn Successes!");
  EXPECT_EQ(rig.dialog->control(w::kCtlProgressStage).position, 9);
  EXPECT_EQ(rig.view.off_thread_calls, 0);
  rig.dialog->OnDestroy();
  EXPECT_TRUE(rig.flashHolds(image));
}

}  // namespace
}  // namespace emberline::app
