#pragma once

// A strict camera that replays a trace: it expects the traced requests in the
// traced order and answers each with the recorded result and payload. The
// first request that differs (another selector, another payload sent, a
// request after the trace's last) fails with -EPROTO, and so does every
// request after it; the camera then says which request it was, what the trace
// expected and what came. So a field trace becomes a regression test of the
// exact traffic. Requests are numbered from 1 across every handle opened on
// it, as a trace numbers them.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/device/transport.h"
#include "sim/trace_format.h"

namespace emberline::sim {

class ReplayCamera : public std::enable_shared_from_this<ReplayCamera> {
 public:
  // `expected` are one device's requests (see requestsOfOneDevice); `trace`
  // names their file in messages.
  ReplayCamera(Trace trace, std::vector<TracedRequest> expected);

  std::shared_ptr<device::CaptureDevice> open();

  // Empty while every request so far was the traced one; otherwise what
  // differed, naming the request, the trace's line, what was expected and
  // what came.
  std::string divergence() const;
  // divergence(), or when none, a message when the run sent fewer requests
  // than the trace holds; empty when the run matched the trace exactly.
  std::string verdict() const;
  std::size_t served() const;
  std::size_t expected() const;
  const std::string& source() const { return trace_.name; }

  // Called by the handles: the recorded answer of the next request when it
  // is `came`; -EPROTO (and the divergence noted) when it is not.
  int answer(const TracedRequest& came, TracedRequest* recorded);

 private:
  mutable std::mutex mutex_;
  Trace trace_;  // its name and kind, for messages
  std::vector<TracedRequest> expected_;
  std::size_t next_ = 0;
  std::string divergence_;
};

// A device list holding one replaying camera, listed under `id`.
class ReplayDeviceList final : public device::DeviceList {
 public:
  ReplayDeviceList(std::shared_ptr<ReplayCamera> camera, std::string id);
  int enumerate(std::vector<device::DeviceEntry>& out) override;
  std::shared_ptr<device::CaptureDevice> open(const device::DeviceEntry& entry, int* error) override;

 private:
  std::shared_ptr<ReplayCamera> camera_;
  std::string id_;
};

// A replaying camera's file: one header line naming the trace it was made
// from, then that trace's lines for the device it replays. Written as a
// simulated camera's state is saved (whole or not at all, a link followed,
// anything but a regular file refused): 0 or -errno, and the reason in `why`.
bool isReplayFile(const std::filesystem::path& path);
int writeReplayFile(const std::filesystem::path& path, const std::string& source,
                    const std::vector<TracedRequest>& requests, std::string* why = nullptr);
// nullptr and "<file>:<line>: ..." in `error` when the file is not such a file.
std::shared_ptr<ReplayCamera> loadReplayCamera(const std::filesystem::path& path, std::string& error);

}  // namespace emberline::sim
