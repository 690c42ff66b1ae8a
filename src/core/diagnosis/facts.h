#pragma once

// What only the operating system knows about the cameras, as plain data: the
// seam between doctor's checks and the platform. Linux fills the Linux part
// from sysfs, /dev, /proc and the udev rule folders; Windows fills its part
// from DirectShow, kernel streaming and the camera privacy settings. Tests
// fill these structures by hand.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace emberline::diagnosis {

// One video node of uvcvideo and whether this user may open it.
struct VideoNode {
  std::string path;        // /dev/video0
  std::string name;        // the driver's name for the device
  unsigned index = 0;      // the node's index on its device (the capture node is usually 0)
  bool present = true;     // the /dev node exists
  int access_error = 0;    // 0 when this user may open it read-write, else a negative errno
  std::string group;       // the node's group ("video"), empty when unknown
  bool in_group = false;   // this process carries that group
  bool group_after_login = false;  // the user is listed in the group, but joined after logging in
};

struct LinuxSystemFacts {
  bool driver_loaded = false;       // uvcvideo is registered with the USB core
  std::size_t bound_interfaces = 0;  // USB interfaces it drives
  std::vector<VideoNode> nodes;
  std::string user;
  bool at_seat = false;  // a local login at a seat, where udev's "uaccess" grants access
  bool remote = false;   // logged in over ssh
  std::vector<std::string> rule_files;  // the 70-emberline.rules files installed
};

enum class Consent { NotSet, Allow, Deny };

struct VideoInputDevice {
  std::string name;
  std::string path;
};

struct WindowsSystemFacts {
  int enumerate_error = 0;  // the system device enumerator's failure, as a negative errno
  std::vector<VideoInputDevice> devices;  // DirectShow's video-input category, in its order
  // The camera privacy settings: the machine's ("Camera access for this
  // device"), the user's ("Let apps access your camera") and the one for
  // programs that are not store apps ("Let desktop apps access your camera").
  Consent device_access = Consent::NotSet;
  Consent app_access = Consent::NotSet;
  Consent desktop_app_access = Consent::NotSet;
  std::vector<std::string> using_camera;  // programs Windows counts as using a camera now
};

struct SystemFacts {
  std::optional<LinuxSystemFacts> linux_facts;
  std::optional<WindowsSystemFacts> windows_facts;
};

struct ProcessHoldingNode {
  long pid = 0;
  std::string program;  // its command name, empty when hidden
};

struct TopologyNode {
  std::uint32_t index = 0;
  std::string type;  // node type GUID
  std::string name;
};

// Where the platform looks for the vendor extension unit.
enum class UnitSource { Unknown, UsbDescriptors, KsTopology, Simulator, Replay };

// The platform's facts about one camera.
struct CameraFacts {
  std::string device_path;
  UnitSource unit_source = UnitSource::Unknown;
  // Linux.
  bool holders_known = false;  // /proc could be searched
  std::vector<ProcessHoldingNode> holders;  // other processes with the node open
  std::string usb_port;                     // sysfs device path of the port
  std::optional<double> usb_speed_mbps;
  std::string usb_descriptors;  // the raw descriptors, lower-case hex, for a bug report
  // Windows.
  std::vector<TopologyNode> topology;  // for a bug report
  std::string topology_problem;
};

class PlatformFacts {
 public:
  virtual ~PlatformFacts() = default;
  virtual SystemFacts system() = 0;
  // `device_path` is the camera's path as the device list gives it.
  virtual CameraFacts camera(const std::string& device_path) = 0;
  // "Linux 6.1.0-18-amd64 x86_64", "Windows 10.0.19045 x64", for a bug report.
  virtual std::string description() = 0;
};

}  // namespace emberline::diagnosis
