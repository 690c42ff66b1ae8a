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

// A recording view whose UI thread is the thread that built it. Calls from
// elsewhere wait in a queue until that thread pumps.
class UiLoopView final : public testing::RecordingView {
 public:
  void runOnUiThread(const std::function<void()>& fn) override {
    if (std::this_thread::get_id() == ui_thread_) {
      fn();
      return;
    }
    std::promise<void> done;
    {
      std::lock_guard lock(mutex_);
      queue_.push_back([&] {
        fn();
        done.set_value();
      });
    }
    wake_.notify_one();
    done.get_future().wait();
  }

  // Runs queued calls until `until` holds (checked on the UI thread).
  void pumpUntil(const std::function<bool()>& until) {
    while (!until()) {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(20), [&] { return !queue_.empty(); });
      while (!queue_.empty()) {
        auto task = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        task();
        lock.lock();
      }
    }
  }

  int off_thread_calls = 0;

 protected:
  void log(std::string line) override {
    if (std::this_thread::get_id() != ui_thread_) ++off_thread_calls;
    RecordingView::log(std::move(line));
  }

 private:
  const std::thread::id ui_thread_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
};

using Rig = DialogRig<ThreadLauncher, UiLoopView>;

TEST(ThreadedDialog, BurnRunsOnAWorkerAndChangesTheDialogOnlyOnTheUiThread) {
  testing::TempFolder folder;
  Rig rig;
  ASSERT_TRUE(rig.init());
  const auto image = testing::familyImage();
  rig.dialog->OnDropFiles({testing::writeFile(folder.path() / "fw.src", image)});
  rig.dialog->OnBnClickedGo();
  EXPECT_TRUE(rig.dialog->busy());
  EXPECT_FALSE(rig.dialog->canClose());
  // A second start while the worker runs is refused on the spot.
  rig.dialog->OnBnClickedEraseSf();

  rig.view.pumpUntil([&] { return !rig.dialog->busy(); });
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{std::string(kMsgBusy)});
  EXPECT_EQ(rig.status(), "Burn Successes!");
  EXPECT_EQ(rig.dialog->control(w::kCtlProgressStage).position, 9);
  EXPECT_EQ(rig.view.off_thread_calls, 0);
  rig.dialog->OnDestroy();
  const auto flash = rig.camera->flash();
  EXPECT_TRUE(std::equal(image.begin(), image.end() - 8, flash.begin()));
}

TEST(ThreadedDialog, WorkerMessageBoxesAreShownOnTheUiThreadWhileTheWorkerWaits) {
  Rig rig;
  ASSERT_TRUE(rig.init());
  std::string status_during_box;
  rig.view.on_message = [&](const std::string&) { status_during_box = rig.status(); };
  rig.dialog->OnBnClickedGo();  // no image: "No Source File!"
  rig.view.pumpUntil([&] { return !rig.dialog->busy(); });

  EXPECT_EQ(rig.view.messages, std::vector<std::string>{"No Source File!"});
  EXPECT_EQ(status_during_box, "No Task is Running...");  // the worker waited for the box
  EXPECT_EQ(rig.status(), "Burn Failed!");
  EXPECT_EQ(rig.view.off_thread_calls, 0);
}

TEST(ThreadedDialog, BackToBackWorkflowsReuseTheLauncher) {
  Rig rig;
  ASSERT_TRUE(rig.init());
  rig.dialog->OnTcnSelchangeTab(1);
  for (int round = 0; round < 3; ++round) {
    rig.dialog->OnBnClickedEraseSf();
    rig.view.pumpUntil([&] { return !rig.dialog->busy(); });
    EXPECT_EQ(rig.status(), "Flash Erase Successes!");
  }
  EXPECT_EQ(rig.view.ended_workflows, 3);
}

}  // namespace
}  // namespace emberline::app
