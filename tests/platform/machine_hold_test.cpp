// Keeping the machine at work during a burn, against fakes of what the
// system offers (logind on Linux, the power and session calls on Windows),
// then with the system's own calls made and released.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/machine_hold.h"

#ifdef _WIN32
#include "platform/win32/machine_hold_windows.h"
#else
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/logind.h"
#endif

namespace emberline {
namespace {

#ifndef _WIN32

using platform::linux_uvc::Logind;

// Inhibitors are pipes: the hold gets the write end, the test keeps the read
// end, which reports a hang-up once the hold has closed its descriptor.
struct LogindRecord {
  std::vector<std::vector<std::string>> inhibits;
  std::vector<int> readers;
  std::function<void()> shutdown;
  int refuse = 0;  // a negative errno for every inhibit

  bool released(std::size_t i) const {
    pollfd fd{readers.at(i), POLLIN, 0};
    return ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLHUP);
  }
  ~LogindRecord() {
    for (int fd : readers) ::close(fd);
  }
};

class FakeLogind final : public Logind {
 public:
  explicit FakeLogind(LogindRecord& record) : record_(record) {}
  int inhibit(const std::string& what, const std::string& who, const std::string& why,
              const std::string& mode) override {
    record_.inhibits.push_back({what, who, why, mode});
    if (record_.refuse != 0) return record_.refuse;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return -errno;
    record_.readers.push_back(ends[0]);
    return ends[1];
  }
  void watchShutdown(std::function<void()> handler) override { record_.shutdown = std::move(handler); }

 private:
  LogindRecord& record_;
};

TEST(MachineHoldLogind, BlocksSleepDelaysShutdownAndLetsGoOfBoth) {
  LogindRecord record;
  int stops = 0;
  auto hold = platform::linux_uvc::holdWithLogind(std::make_unique<FakeLogind>(record),
                                                  {"writing firmware", [&stops] { ++stops; }});
  const std::vector<std::vector<std::string>> expected = {{"sleep", "Emberline", "writing firmware", "block"},
                                                          {"shutdown", "Emberline", "writing firmware", "delay"}};
  EXPECT_EQ(record.inhibits, expected);
  ASSERT_TRUE(record.shutdown);
  EXPECT_FALSE(record.released(0));
  EXPECT_FALSE(record.released(1));

  // logind announces the shutdown (it may do so more than once): one stop request.
  record.shutdown();
  record.shutdown();
  EXPECT_EQ(stops, 1);

  hold.reset();
  EXPECT_TRUE(record.released(0));
  EXPECT_TRUE(record.released(1)) << "the shutdown waits until the delay inhibitor goes";
}

TEST(MachineHoldLogind, WithoutLogindOrItsConsentTheWorkGoesOnUnheld) {
  LogindRecord refused;
  refused.refuse = -EACCES;
  auto hold = platform::linux_uvc::holdWithLogind(std::make_unique<FakeLogind>(refused), {"why", [] {}});
  EXPECT_EQ(refused.inhibits.size(), 2u);
  EXPECT_FALSE(refused.shutdown) << "no shutdown to watch without the delay inhibitor";

  EXPECT_NE(platform::linux_uvc::holdWithLogind(nullptr, {"why", [] {}}), nullptr);
  // This machine's own: logind's where it runs, nothing where it does not.
  EXPECT_NE(platform::holdMachine({"why", [] {}}), nullptr);
}

#else

using platform::win32::PowerCalls;

bool eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 200 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

// The fake calls record into one place; the tests run one at a time.
struct PowerRecord {
  EXECUTION_STATE state = ES_CONTINUOUS;
  std::vector<EXECUTION_STATE> states;
  std::vector<std::pair<HWND, std::wstring>> blocks;
  std::atomic<int> unblocks{0};
};
PowerRecord* g_power = nullptr;

// WINAPI: on 32-bit Windows these are stdcall, as the system's are.
EXECUTION_STATE WINAPI fakeSetExecutionState(EXECUTION_STATE flags) {
  g_power->states.push_back(flags);
  return std::exchange(g_power->state, flags);
}
BOOL WINAPI fakeBlockShutdown(HWND window, LPCWSTR why) {
  g_power->blocks.emplace_back(window, why);
  return TRUE;
}
BOOL WINAPI fakeUnblockShutdown(HWND) {
  ++g_power->unblocks;
  return TRUE;
}
const PowerCalls kFakeCalls{fakeSetExecutionState, fakeBlockShutdown, fakeUnblockShutdown};

class MachineHoldWindows : public ::testing::Test {
 protected:
  void SetUp() override { g_power = &record; }
  void TearDown() override { g_power = nullptr; }
  PowerRecord record;
};

TEST_F(MachineHoldWindows, KeepsTheSystemAwakeAndNestedHoldsGiveBackTheStateBefore) {
  {
    platform::win32::AwakeState outer(kFakeCalls);
    EXPECT_EQ(record.state, static_cast<EXECUTION_STATE>(ES_CONTINUOUS | ES_SYSTEM_REQUIRED));
    { platform::win32::AwakeState inner(kFakeCalls); }
    EXPECT_EQ(record.state, static_cast<EXECUTION_STATE>(ES_CONTINUOUS | ES_SYSTEM_REQUIRED));
  }
  EXPECT_EQ(record.state, static_cast<EXECUTION_STATE>(ES_CONTINUOUS));
}

TEST_F(MachineHoldWindows, ASessionEndDuringAHoldIsRefusedWithTheReasonAndStopsTheWork) {
  platform::win32::SessionEndWatcher watcher(kFakeCalls);
  ASSERT_NE(watcher.window(), nullptr);
  EXPECT_EQ(SendMessageW(watcher.window(), WM_QUERYENDSESSION, 0, 0), TRUE) << "nothing held: no objection";

  std::atomic<int> stops{0};
  auto hold = platform::win32::holdMachine({"Writing firmware", [&stops] { ++stops; }}, kFakeCalls, &watcher);
  EXPECT_EQ(SendMessageW(watcher.window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
  EXPECT_EQ(SendMessageW(watcher.window(), WM_QUERYENDSESSION, 0, 0), FALSE);
  EXPECT_EQ(stops.load(), 1) << "told once";
  ASSERT_EQ(record.blocks.size(), 1u);
  EXPECT_EQ(record.blocks[0].first, watcher.window());
  EXPECT_EQ(record.blocks[0].second, L"Writing firmware");

  hold.reset();
  EXPECT_TRUE(eventually([&] { return record.unblocks.load() == 1; }));
  EXPECT_EQ(record.state, static_cast<EXECUTION_STATE>(ES_CONTINUOUS));
  EXPECT_EQ(SendMessageW(watcher.window(), WM_QUERYENDSESSION, 0, 0), TRUE);
}

TEST_F(MachineHoldWindows, TheEndOfTheSessionWaitsForTheWorkToLetGo) {
  platform::win32::SessionEndWatcher watcher(kFakeCalls);
  std::unique_ptr<platform::MachineHold> hold;
  std::thread work;
  // The work stops at its next safe point, a little later, on its own thread.
  hold = platform::win32::holdMachine(
      {"Writing firmware",
       [&] {
         work = std::thread([&] {
           std::this_thread::sleep_for(std::chrono::milliseconds(100));
           hold.reset();
         });
       }},
      kFakeCalls, &watcher);
  SendMessageW(watcher.window(), WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(hold, nullptr) << "WM_ENDSESSION returned before the work had let go";
  work.join();
}

// The system's own calls, under Wine too: made, and given back.
TEST(MachineHoldSystem, IsTakenAndReleased) {
  platform::win32::SessionEndWatcher watcher;
  int stops = 0;
  auto hold = platform::win32::holdMachine({"Writing firmware", [&stops] { ++stops; }},
                                           platform::win32::systemPowerCalls(), &watcher);
  EXPECT_EQ(SendMessageW(watcher.window(), WM_QUERYENDSESSION, 0, 0), FALSE);
  EXPECT_EQ(stops, 1);
  hold.reset();
  EXPECT_TRUE(eventually([&] { return SendMessageW(watcher.window(), WM_QUERYENDSESSION, 0, 0) == TRUE; }));
  EXPECT_NE(platform::holdMachine({"Writing firmware", {}}), nullptr);
}

#endif

}  // namespace
}  // namespace emberline
