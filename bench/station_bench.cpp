// N simulated cameras burned at once by one station, every request taking
// 125 µs as a USB control transfer would (the thread sleeps, as it would on
// the bus). Per run it reports:
//   cameras        N
//   wall_s         wall time until every camera has passed
//   vs_one         that time over one camera's (the first run, N = 1)
//   heap_kb/cam    heap in use at the busiest moment, over N
//   rss_kb/cam     resident memory added at the busiest moment, over N
// Flash busy waits run on a manual clock per camera: they cost requests, not time.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/station/station.h"
#include "frontend/delayed_device_list.h"
#include "sample_image.h"
#include "sim/sim_camera.h"

namespace {

using namespace std::chrono;
using namespace emberline;

constexpr microseconds kRequestTime{125};

// One camera behind its own bus: requests sleep kRequestTime on the job's thread.
class BenchLink final : public station::CameraLink {
 public:
  explicit BenchLink(std::shared_ptr<sim::SimCamera> camera) : delayed_(list_, kRequestTime, clock_) {
    list_.add(std::move(camera));
  }
  device::DeviceList& devices() override { return delayed_; }
  bool finish(std::string*) override { return true; }

 private:
  sim::SimDeviceList list_;
  device::SystemClock clock_;
  frontend::DelayedDeviceList delayed_;
};

class Quiet final : public station::StationObserver {
 public:
  void onEvent(const station::JobEvent&) override {}
};

long residentKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      return value;
    }
  }
  return 0;
}

// Small blocks and large (mapped) ones alike: an image buffer is large.
long heapInUse() {
  const auto info = mallinfo2();
  return static_cast<long>(info.uordblks + info.hblkhd);
}

double one_camera_seconds = 0;

void station_burn(benchmark::State& state) {
  const auto cameras = static_cast<std::size_t>(state.range(0));
  const auto image = std::filesystem::temp_directory_path() / "emberline-station-bench.src";
  const auto bytes = tools::makeImage(tools::ImageKind::Sample);
  std::ofstream(image, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

  station::JobSettings settings;
  settings.image = image;
  settings.make_clock = [] { return std::make_unique<device::ManualClock>(); };
  double seconds = 0;
  long heap_peak = 0, rss_peak = 0;
  for (auto _ : state) {
    std::vector<std::shared_ptr<sim::SimCamera>> sims;
    for (std::size_t i = 0; i < cameras; ++i) sims.push_back(std::make_shared<sim::SimCamera>());
    const long heap_before = heapInUse();
    const long rss_before = residentKb();
    Quiet quiet;
    const auto start = steady_clock::now();
    station::Station station(settings, quiet);
    for (std::size_t i = 0; i < cameras; ++i) {
      station::JobTarget target;
      target.device = "bench-" + std::to_string(i);
      target.open = [camera = sims[i]](station::LinkFailure&) -> std::unique_ptr<station::CameraLink> {
        return std::make_unique<BenchLink>(camera);
      };
      station.start(std::move(target));
    }
    // Memory is sampled while the jobs run; their peak is what a station needs.
    while (station.tally().running > 0) {
      heap_peak = std::max(heap_peak, heapInUse() - heap_before);
      rss_peak = std::max(rss_peak, residentKb() - rss_before);
      std::this_thread::sleep_for(milliseconds(20));
    }
    station.wait();
    seconds = duration<double>(steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    if (station.tally().passed != cameras) state.SkipWithError("a burn failed");
  }
  std::filesystem::remove(image);
  if (cameras == 1) one_camera_seconds = seconds;
  state.counters["cameras"] = static_cast<double>(cameras);
  state.counters["wall_s"] = seconds;
  state.counters["vs_one"] = one_camera_seconds > 0 ? seconds / one_camera_seconds : 0;
  state.counters["heap_kb/cam"] = static_cast<double>(heap_peak) / 1024.0 / static_cast<double>(cameras);
  state.counters["rss_kb/cam"] = static_cast<double>(rss_peak) / static_cast<double>(cameras);
}

}  // namespace

BENCHMARK(station_burn)
    ->ArgName("cameras")
    ->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Arg(16)->Arg(32)
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK_MAIN();
