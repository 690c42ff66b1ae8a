#include "platform/windows/com_apartment.h"

#include <objbase.h>

namespace emberline::platform::windows {

namespace {

class ThreadApartment {
 public:
  ThreadApartment() : joined_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~ThreadApartment() {
    if (joined_) ::CoUninitialize();
  }
  ThreadApartment(const ThreadApartment&) = delete;
  ThreadApartment& operator=(const ThreadApartment&) = delete;

 private:
  bool joined_;
};

}  // namespace

void joinComOnThisThread() { thread_local ThreadApartment apartment; }

}  // namespace emberline::platform::windows
