// Workers on real threads: everything they do to the dialog reaches it on
// the UI thread (here the test's own thread, pumping a queue as an event
// loop would), in the order the worker did it, and closing waits for them.

#include <algorithm>
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
  void setScreenTick(std::function<void()> tick) override { tick_ = std::move(tick); }
  // Runs the queued calls, and the screen tick about every millisecond.
  void pumpUntil(const std::function<bool()>& until) {
    std::unique_lock lock(mutex_);
    while (!until()) {
      wake_.wait_for(lock, std::chrono::milliseconds(1), [&] { return !queue_.empty(); });
      if (tick_) {
        lock.unlock();
        tick_();
        lock.lock();
      }
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
  std::function<void()> tick_;
};

using Rig = DialogRig<ThreadLauncher, UiLoopView>;

// The same with both launchers: a thread per operation, and the one worker
// thread the Windows face keeps for all of them.
template <typename Launcher>
void workersChangeTheDialogOnlyOnTheUiThread() {
  DialogRig<Launcher, UiLoopView> rig;
  rig.dialog->OnInitDialog();
  rig.view.pumpUntil([&] { return !rig.dialog->busy(); });  // the camera is found on the worker
  EXPECT_EQ(rig.dialog->session()->chipId(), 0x33);
  std::string status_during_box = "?";
  rig.view.on_message = [&] { status_during_box = rig.status(); };
  rig.dialog->OnBnClickedGo();  // no image yet: "No Source File!"
  rig.view.pumpUntil([&] { return !rig.dialog->busy(); });
  ASSERT_EQ(rig.view.messages().size(), 1u);
  EXPECT_EQ(rig.view.messages()[0].rfind("No Source File!\n\n", 0), 0u);
  EXPECT_EQ(status_during_box, "");  // the last result went first, and the worker waited for the box
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

TEST(ThreadedDialog, WorkersChangeTheDialogOnlyOnTheUiThreadAndWaitForItsBoxes) {
  workersChangeTheDialogOnlyOnTheUiThread<ThreadLauncher>();
  workersChangeTheDialogOnlyOnTheUiThread<WorkerThread>();
}

// A run's events cut at everything that is not a data-bar position: each
// piece is the data positions shown, then the event that ends the piece.
struct Piece {
  std::vector<int> data;
  std::string event;
};

std::vector<Piece> pieces(const std::vector<std::string>& events) {
  const std::string data_prefix = "progress " + std::to_string(w::kCtlProgressData) + " @";
  std::vector<Piece> out(1);
  for (const std::string& e : events) {
    if (e.rfind(data_prefix, 0) == 0) {
      out.back().data.push_back(std::stoi(e.substr(data_prefix.size())));
    } else {
      out.back().event = e;
      out.emplace_back();
    }
  }
  return out;
}

bool isSubsequence(const std::vector<int>& part, const std::vector<int>& whole) {
  auto at = whole.begin();
  for (int p : part) {
    at = std::find(at, whole.end(), p);
    if (at == whole.end()) return false;
    ++at;
  }
  return true;
}

// The same operation run with the worker on the UI thread, where every
// position is shown at once as before, and on its own thread, where positions
// are posted: the operator sees the same labels, texts, boxes, buttons and
// stage steps in the same order, data positions only drop out in between,
// and before every other change the data bar stands where it stood before.
TEST(ThreadedDialog, PostedProgressKeepsWhatTheOperatorSeesAndItsOrder) {
  struct Scenario {
    const char* what;
    void (CEmberline_testDlg::*handler)();
    std::optional<std::uint64_t> failing_request;
  };
  for (const Scenario& s : {Scenario{"burn", &CEmberline_testDlg::OnBnClickedGo, std::nullopt},
                            Scenario{"burn failing while programming", &CEmberline_testDlg::OnBnClickedGo, 3000},
                            Scenario{"erase", &CEmberline_testDlg::OnBnClickedEraseSf, std::nullopt}}) {
    SCOPED_TRACE(s.what);
    const auto image = testing::writeImage("order.src");
    auto prepare = [&](auto& rig) {
      rig.dialog->OnInitDialog();
      if constexpr (std::is_same_v<std::decay_t<decltype(rig)>, Rig>)
        rig.view.pumpUntil([&] { return !rig.dialog->busy(); });
      rig.dialog->OnDropFiles({image});
      if (s.failing_request) {
        sim::FaultPlan plan;
        plan.fail_request = *s.failing_request;
        rig.camera->setFaults(plan);
      }
      rig.view.events.clear();
      (rig.dialog.get()->*s.handler)();
    };
    DialogRig<> before;
    prepare(before);
    Rig threaded;
    prepare(threaded);
    threaded.view.pumpUntil([&] { return !threaded.dialog->busy(); });

    const auto expected = pieces(before.view.events);
    const auto seen = pieces(threaded.view.events);
    ASSERT_EQ(seen.size(), expected.size());
    for (std::size_t i = 0; i < seen.size(); ++i) {
      SCOPED_TRACE(expected[i].event);
      ASSERT_EQ(seen[i].event, expected[i].event);
      EXPECT_TRUE(isSubsequence(seen[i].data, expected[i].data));
      EXPECT_EQ(seen[i].data.empty(), expected[i].data.empty());
      if (!expected[i].data.empty() && !seen[i].data.empty()) {
        EXPECT_EQ(seen[i].data.back(), expected[i].data.back());
      }
    }
    EXPECT_EQ(threaded.dialog->control(w::kCtlProgressData).position,
              before.dialog->control(w::kCtlProgressData).position);
    EXPECT_EQ(threaded.view.off_thread_calls, 0);
    EXPECT_LT(threaded.dialog->blockingUiCalls(), 50u);  // once it was one for every block
    EXPECT_EQ(threaded.status(), before.status());
  }
}

}  // namespace
}  // namespace emberline::app
