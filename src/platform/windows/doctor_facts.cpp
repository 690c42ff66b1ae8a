#include "platform/windows/doctor_facts.h"

#include <windows.h>

#include <algorithm>

#include "platform/text_windows.h"
#include "platform/windows/ks_capture_device.h"

namespace emberline::platform::windows {

namespace {

// The capability access manager keeps the camera's consent and its last use
// per program under these keys.
constexpr const char* kMachineWebcam =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\webcam";
constexpr const char* kUserWebcam =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\webcam";
constexpr const char* kDesktopApps = "NonPackaged";

diagnosis::Consent consent(const std::optional<std::string>& value) {
  if (!value) return diagnosis::Consent::NotSet;
  if (*value == "Deny") return diagnosis::Consent::Deny;
  if (*value == "Allow") return diagnosis::Consent::Allow;
  return diagnosis::Consent::NotSet;
}

// A program that started using the camera and has not stopped.
bool inUse(RegistryView& registry, const std::string& key) {
  const auto started = registry.number(key, "LastUsedTimeStart");
  const auto stopped = registry.number(key, "LastUsedTimeStop");
  return started && *started != 0 && stopped && *stopped == 0;
}

// Closes an HKEY when it goes out of scope.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_) ::RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* put() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class SystemRegistry final : public RegistryView {
 public:
  std::optional<std::string> text(const std::string& key, const std::string& value) override {
    Key opened;
    if (!open(key, opened)) return std::nullopt;
    const std::wstring name = wideFromUtf8(value);
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ || bytes > 64 * 1024)
      return std::nullopt;
    std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                           &bytes) != ERROR_SUCCESS)
      return std::nullopt;
    data.resize(::wcsnlen(data.c_str(), data.size()));
    return utf8FromWide(data);
  }

  std::optional<std::uint64_t> number(const std::string& key, const std::string& value) override {
    Key opened;
    if (!open(key, opened)) return std::nullopt;
    const std::wstring name = wideFromUtf8(value);
    DWORD type = 0;
    std::uint64_t data = 0;
    DWORD bytes = sizeof data;
    if (::RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_QWORD)
      return std::nullopt;
    return data;
  }

  std::vector<std::string> subkeys(const std::string& key) override {
    std::vector<std::string> names;
    Key opened;
    if (!open(key, opened)) return names;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      DWORD length = 256;
      if (::RegEnumKeyExW(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      names.push_back(utf8FromWide(std::wstring_view(name, length)));
    }
    return names;
  }

 private:
  // The 64-bit view, so that a 32-bit program reads the keys Windows keeps.
  static bool open(const std::string& key, Key& out) {
    const auto slash = key.find('\\');
    const std::string root = key.substr(0, slash);
    HKEY base = root == "HKLM" ? HKEY_LOCAL_MACHINE : root == "HKCU" ? HKEY_CURRENT_USER : nullptr;
    if (base == nullptr || slash == std::string::npos) return false;
    const std::wstring path = wideFromUtf8(key.substr(slash + 1));
    return ::RegOpenKeyExW(base, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, out.put()) == ERROR_SUCCESS;
  }
};

}  // namespace

std::unique_ptr<RegistryView> systemRegistry() { return std::make_unique<SystemRegistry>(); }

diagnosis::WindowsSystemFacts gatherSystemFacts(device::DeviceList& devices, RegistryView& registry) {
  diagnosis::WindowsSystemFacts facts;
  std::vector<device::DeviceEntry> entries;
  facts.enumerate_error = devices.enumerate(entries);
  for (const auto& entry : entries)
    facts.devices.push_back({entry.display_name.value_or(""), entry.path.value_or(entry.id)});

  const std::string user_desktop = std::string(kUserWebcam) + "\\" + kDesktopApps;
  facts.device_access = consent(registry.text(kMachineWebcam, "Value"));
  facts.app_access = consent(registry.text(kUserWebcam, "Value"));
  facts.desktop_app_access = consent(registry.text(user_desktop, "Value"));

  // Desktop programs are keyed by their path with '#' for '\'; store apps by
  // their package name.
  for (auto program : registry.subkeys(user_desktop)) {
    if (!inUse(registry, user_desktop + "\\" + program)) continue;
    std::replace(program.begin(), program.end(), '#', '\\');
    facts.using_camera.push_back(program);
  }
  for (const auto& app : registry.subkeys(kUserWebcam)) {
    if (app != kDesktopApps && inUse(registry, std::string(kUserWebcam) + "\\" + app)) facts.using_camera.push_back(app);
  }
  return facts;
}

diagnosis::CameraFacts gatherCameraFacts(device::DeviceList& devices, const std::string& path) {
  diagnosis::CameraFacts facts;
  facts.device_path = path;
  facts.unit_source = diagnosis::UnitSource::KsTopology;
  std::vector<device::DeviceEntry> entries;
  if (devices.enumerate(entries) != 0) return facts;
  for (const auto& entry : entries) {
    if (entry.id != path && entry.path.value_or("") != path) continue;
    const auto opened = devices.open(entry);
    if (auto* camera = dynamic_cast<KsCaptureDevice*>(opened.get())) {
      for (const auto& node : camera->topology(&facts.topology_problem))
        facts.topology.push_back({node.index, node.type, node.name});
    }
    break;
  }
  return facts;
}

std::string describeSystem() {
  std::string text = "Windows";
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  if (HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll")) {
    const auto get = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (get != nullptr && get(&info) == 0)
      text += " " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) + "." +
              std::to_string(info.dwBuildNumber);
  }
  SYSTEM_INFO system{};
  ::GetNativeSystemInfo(&system);
  switch (system.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: text += " x64"; break;
    case PROCESSOR_ARCHITECTURE_INTEL: text += " x86"; break;
    case PROCESSOR_ARCHITECTURE_ARM64: text += " arm64"; break;
    default: break;
  }
  return text;
}

}  // namespace emberline::platform::windows
