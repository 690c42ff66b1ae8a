#pragma once

// The station window as a native Win32 window: a rendering of the
// toolkit-free StationBoard (one list-view row per camera plugged in, the
// totals, the image's identity) with "Start All", "Stop" and "Clear"
// forwarded to it. The window's thread only shows: cameras plugged in and
// out are watched on a thread of their own (Windows' device notifications
// are polled there, and arriving cameras are asked there), every camera is
// burned on its job's thread, and both reach the window as posted calls.

#include <windows.h>

#include <filesystem>
#include <string>

#include "core/workflows/strings.h"

namespace emberline::gui::win32 {

// The window's controls, by id.
inline constexpr int kStationTotals = 1101;
inline constexpr int kStationIdentity = 1102;
inline constexpr int kStationStartAll = 1103;
inline constexpr int kStationStop = 1104;
inline constexpr int kStationClear = 1105;
inline constexpr int kStationTable = 1106;

struct StationWindowSettings {
  std::filesystem::path image;
  std::string record;  // UTF-8; empty: no record file
  std::string source;  // empty: the system's cameras; or sim-dir:DIR[?latency-us=N]
  workflows::Language language = workflows::Language::English;
};

// Shows the station window until the operator closes it, modal over `owner`
// (null: on its own). Closing lets the burns in flight end first; the machine
// stays awake while the window is open. A source or record file that cannot
// be opened is said in a box instead. 0, or 2 when the window did not open.
int runStationWindow(HINSTANCE module, HWND owner, const StationWindowSettings& settings);

}  // namespace emberline::gui::win32
