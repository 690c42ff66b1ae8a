// A real camera's lock on Windows, by the camera's identity: every spelling
// of its device path, every process and architecture, free again at once
// when its holder is gone, and the holder named to the one refused. And the
// one table from Win32 errors and HRESULTs to the kinds of error both faces
// describe.

#include <gtest/gtest.h>

#include <windows.h>

#include <cerrno>
#include <thread>

#include "frontend/device_advice.h"
#include "platform/camera_lock.h"
#include "platform/win32/device_lock.h"
#include "platform/windows/windows_device_list.h"
#include "platform/windows_errors.h"
#include "platform/windows_handles.h"

namespace emberline {
namespace {

constexpr const char* kPath =
    "\\\\?\\usb#vid_1e4e&pid_0109&mi_00#5&1b3f6a2c&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
constexpr const char* kSamePathUpper =
    "\\\\?\\USB#VID_1E4E&PID_0109&MI_00#5&1B3F6A2C&0&0000#{65E8773D-8F56-11D0-A3B9-00A0C9223196}\\GLOBAL";

// The name is the SHA-256 of the upper-cased path: the same text in a 32-bit
// and a 64-bit program (a std::hash would not be). Computed by hand.
TEST(CameraLockWindows, TheNameIsTheSameForEverySpellingAndArchitecture) {
  const std::wstring expected =
      L"Global\\Emberline.Camera.5187346cf2dbc7583590cba224c7ebb1fb52be5ea25ce882a32bebe801e73369";
  EXPECT_EQ(platform::win32::deviceLockName(kPath), expected);
  EXPECT_EQ(platform::win32::deviceLockName(kSamePathUpper), expected);
}

TEST(CameraLockWindows, ASecondHolderIsRefusedWithTheFirstOnesProcessId) {
  auto first = platform::lockCamera(kPath, false);
  ASSERT_EQ(first.state, platform::LockAttempt::State::Taken) << first.error;
  for (const char* spelling : {kPath, kSamePathUpper}) {
    const auto second = platform::lockCamera(spelling, false);
    EXPECT_EQ(second.state, platform::LockAttempt::State::Busy) << spelling;
    EXPECT_EQ(second.holder, static_cast<long>(GetCurrentProcessId()));
    EXPECT_EQ(platform::busyText(second.holder), "camera busy: used by process " + std::to_string(GetCurrentProcessId()));
  }
  first.lock.reset();
  EXPECT_EQ(platform::lockCamera(kSamePathUpper, false).state, platform::LockAttempt::State::Taken);
}

// A holder that ends without letting go (its process killed) leaves the lock
// abandoned, which the next one takes at once.
TEST(CameraLockWindows, ALockWhoseHolderDiedIsFreeAtOnce) {
  const std::wstring name = platform::win32::deviceLockName(kPath);
  platform::UniqueHandle watcher;  // another process's handle keeps the mutex in being
  std::thread holder([&] {
    platform::UniqueHandle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
    ASSERT_TRUE(mutex);
    ASSERT_EQ(WaitForSingleObject(mutex.get(), 0), WAIT_OBJECT_0);
    watcher.reset(OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()));
  });  // ends holding it
  holder.join();
  ASSERT_TRUE(watcher);
  const auto taken = platform::lockCamera(kPath, false);
  EXPECT_EQ(taken.state, platform::LockAttempt::State::Taken) << taken.error;
}

// Win32 codes as the documentation numbers them, on their own and wrapped in
// an HRESULT (0x8007xxxx).
TEST(WindowsErrors, WhatAYankedCameraGivesReadsAsUnpluggedInBothFaces) {
  for (const DWORD code : {31u /* GEN_FAILURE */, 55u /* DEV_NOT_EXIST */, 433u /* NO_SUCH_DEVICE */,
                           1167u /* DEVICE_NOT_CONNECTED */}) {
    const HRESULT wrapped = static_cast<HRESULT>(0x80070000u | code);
    EXPECT_EQ(platform::errnoFromWin32(code), -ENODEV) << code;
    EXPECT_EQ(platform::errnoFromHresult(wrapped), -ENODEV) << code;
    // The command line's sentence and the dialogs' advice.
    const std::string said = platform::windows::describeError(platform::errnoFromHresult(wrapped), wrapped, "USB Camera");
    EXPECT_NE(said.find("unplugged"), std::string::npos) << said;
    EXPECT_EQ(frontend::deviceProblem(platform::errnoFromHresult(wrapped)), frontend::DeviceProblem::NotConnected);
  }
}

TEST(WindowsErrors, OneTableForFilesAndCameras) {
  const struct {
    DWORD code;
    int file;    // from a file call
    int camera;  // wrapped in an HRESULT from a camera
  } cases[] = {
      {2, -ENOENT, -ENODEV},  // FILE_NOT_FOUND: a file is missing, a camera is gone
      {5, -EACCES, -EACCES},  // ACCESS_DENIED (E_ACCESSDENIED): the camera privacy setting
      {32, -EBUSY, -EBUSY},   // SHARING_VIOLATION
      {1168, -ENOPROTOOPT, -ENOPROTOOPT},  // NOT_FOUND: no such property
      {1169, -EIO, -EIO},     // anything else
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::errnoFromWin32(c.code), c.file) << c.code;
    EXPECT_EQ(platform::errnoFromHresult(static_cast<HRESULT>(0x80070000u | c.code)), c.camera) << c.code;
  }
  EXPECT_EQ(platform::errnoFromHresult(S_OK), 0);
  EXPECT_EQ(platform::errnoFromHresult(S_FALSE), -EIO) << "only S_OK is success";
  EXPECT_EQ(platform::errnoFromHresult(static_cast<HRESULT>(0x80004002u)), -ENOTTY);  // E_NOINTERFACE
}

}  // namespace
}  // namespace emberline
