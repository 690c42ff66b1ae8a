// Burns a dense image (every block programmed) and a half-blank image (half
// the blocks skipped) into the simulated camera, whose every request takes a
// fixed latency as a USB control transfer would. Per burn it reports:
//   requests      requests sent to the camera
//   wall_ms       wall time of one burn
//   device_ms     time spent inside the transport's requests (the simulated
//                 latency and the simulator's own work)
//   sw_us/req     the software's own time per request: wall time outside the
//                 transport, over the requests
//   sw_overhead_% that time as a share of the wall time
// Flash busy waits run on a manual clock: they cost requests, not time.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "core/device/clock.h"
#include "core/workflows/camera_session.h"
#include "sample_image.h"
#include "sim/sim_camera.h"

namespace {

using emberline::tools::ImageKind;
using namespace std::chrono;

// Accumulates the time spent inside the camera's requests.
class TimedDevice final : public emberline::device::CaptureDevice {
 public:
  TimedDevice(std::shared_ptr<CaptureDevice> inner, steady_clock::duration& inside)
      : inner_(std::move(inner)), inside_(inside) {}
  std::optional<std::uint32_t> findExtensionUnitNode(const emberline::device::Guid& set) override {
    return inner_->findExtensionUnitNode(set);
  }
  int control(const emberline::device::ControlRequest& request) override {
    const auto start = steady_clock::now();
    const int result = inner_->control(request);
    inside_ += steady_clock::now() - start;
    return result;
  }
  int driverProperty(const emberline::device::Guid& set, emberline::device::XuOp op,
                     std::span<std::uint8_t, 40> record) override {
    return inner_->driverProperty(set, op, record);
  }

 private:
  std::shared_ptr<CaptureDevice> inner_;
  steady_clock::duration& inside_;
};

class TimedDeviceList final : public emberline::device::DeviceList {
 public:
  explicit TimedDeviceList(emberline::device::DeviceList& inner) : inner_(inner) {}
  int enumerate(std::vector<emberline::device::DeviceEntry>& out) override { return inner_.enumerate(out); }
  std::shared_ptr<emberline::device::CaptureDevice> open(const emberline::device::DeviceEntry& entry,
                                                         int* error) override {
    auto device = inner_.open(entry, error);
    if (!device) return nullptr;
    return std::make_shared<TimedDevice>(std::move(device), inside);
  }
  steady_clock::duration inside{};

 private:
  emberline::device::DeviceList& inner_;
};

std::filesystem::path writeImage(ImageKind kind) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("emberline-bench-" + std::to_string(static_cast<int>(kind)) + ".src");
  const auto image = emberline::tools::makeImage(kind);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  return path;
}

void burn(benchmark::State& state) {
  const auto kind = static_cast<ImageKind>(state.range(0));
  const microseconds latency(state.range(1));

  emberline::sim::SimSettings settings;
  settings.latency = latency;
  auto camera = std::make_shared<emberline::sim::SimCamera>(settings);
  emberline::sim::SimDeviceList sim_devices;
  sim_devices.add(camera);
  TimedDeviceList devices(sim_devices);
  emberline::workflows::NullUiPort ui;
  emberline::device::ManualClock clock;
  emberline::workflows::CameraSession session(devices, ui, clock);
  session.setDiscoveryOutput([](std::string_view) {});

  const auto image = writeImage(kind);
  if (session.DiscoverCamera() != 0 ||
      session.LoadSourceImage(image) != emberline::workflows::LoadResult::Loaded) {
    state.SkipWithError("no simulated camera or no image");
    return;
  }

  std::uint64_t requests = 0;
  steady_clock::duration wall{};
  devices.inside = {};
  for (auto _ : state) {
    const auto before = camera->requestCount();
    const auto start = steady_clock::now();
    const int result = session.BurnRom();
    wall += steady_clock::now() - start;
    requests += camera->requestCount() - before;
    if (result != 1) {
      state.SkipWithError("burn failed");
      break;
    }
  }
  std::filesystem::remove(image);

  const double burns = static_cast<double>(state.iterations());
  const double wall_us = duration<double, std::micro>(wall).count();
  const double device_us = duration<double, std::micro>(devices.inside).count();
  const double software_us = wall_us - device_us;
  state.counters["requests"] = static_cast<double>(requests) / burns;
  state.counters["wall_ms"] = wall_us / burns / 1000.0;
  state.counters["device_ms"] = device_us / burns / 1000.0;
  state.counters["sw_us/req"] = software_us / static_cast<double>(requests);
  state.counters["sw_overhead_%"] = 100.0 * software_us / wall_us;
}

void arguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"image", "latency_us"});
  for (ImageKind kind : {ImageKind::Dense, ImageKind::HalfBlank}) {
    for (int latency : {0, 125}) b->Args({static_cast<int>(kind), latency});
  }
  b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
}

}  // namespace

BENCHMARK(burn)->Apply(arguments);
BENCHMARK_MAIN();
