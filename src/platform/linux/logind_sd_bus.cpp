// logind over the system bus with sd-bus. The connection is used by the
// caller's thread for the inhibits, then only by its own thread, which waits
// for PrepareForShutdown; an eventfd ends that wait when the object goes.

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdint>
#include <thread>

#include "platform/linux/logind.h"
#include "platform/linux/unique_fd.h"

namespace emberline::platform::linux_uvc {

namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
constexpr std::uint64_t kCallTimeoutUs = 2'000'000;  // logind answers in milliseconds

class SdBusLogind final : public Logind {
 public:
  explicit SdBusLogind(sd_bus* bus) : bus_(bus), wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

  ~SdBusLogind() override {
    if (watcher_.joinable()) {
      const std::uint64_t one = 1;
      if (::write(wake_.get(), &one, sizeof one) < 0) {
        // The eventfd cannot be full after one write; nothing else to do.
      }
      watcher_.join();
    }
    sd_bus_slot_unref(slot_);
    sd_bus_flush_close_unref(bus_);
  }

  int inhibit(const std::string& what, const std::string& who, const std::string& why,
              const std::string& mode) override {
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int result = sd_bus_message_new_method_call(bus_, &call, kService, kPath, kManager, "Inhibit");
    if (result >= 0) result = sd_bus_message_append(call, "ssss", what.c_str(), who.c_str(), why.c_str(), mode.c_str());
    if (result >= 0) result = sd_bus_call(bus_, call, kCallTimeoutUs, &error, &reply);
    int fd = -1;
    if (result >= 0) result = sd_bus_message_read(reply, "h", &fd);
    // The descriptor belongs to the reply: keep a copy of our own.
    if (result >= 0) {
      const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
      result = own >= 0 ? own : -errno;
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    return result;
  }

  void watchShutdown(std::function<void()> handler) override {
    if (watcher_.joinable() || !wake_.isValid()) return;
    handler_ = std::move(handler);
    if (sd_bus_match_signal(bus_, &slot_, kService, kPath, kManager, "PrepareForShutdown", &SdBusLogind::onSignal,
                            this) < 0)
      return;
    watcher_ = std::thread([this] { run(); });
  }

 private:
  static int onSignal(sd_bus_message* message, void* self, sd_bus_error*) {
    int starting = 0;
    if (sd_bus_message_read(message, "b", &starting) >= 0 && starting)
      static_cast<SdBusLogind*>(self)->handler_();
    return 0;
  }

  void run() {
    for (;;) {
      while (sd_bus_process(bus_, nullptr) > 0) {
      }
      pollfd fds[2] = {{sd_bus_get_fd(bus_), static_cast<short>(sd_bus_get_events(bus_)), 0},
                       {wake_.get(), POLLIN, 0}};
      if (fds[0].fd < 0) return;
      if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
      if (fds[1].revents != 0) return;
    }
  }

  sd_bus* bus_;
  sd_bus_slot* slot_ = nullptr;
  UniqueFd wake_;
  std::function<void()> handler_;
  std::thread watcher_;
};

}  // namespace

std::unique_ptr<Logind> connectLogind() {
  // How libsystemd itself tells whether logind runs.
  if (::access("/run/systemd/seats/", F_OK) != 0) return nullptr;
  sd_bus* bus = nullptr;
  if (sd_bus_open_system(&bus) < 0) return nullptr;
  return std::make_unique<SdBusLogind>(bus);
}

}  // namespace emberline::platform::linux_uvc
