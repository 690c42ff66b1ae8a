#include "platform/windows/windows_device_list.h"

#include <cerrno>

#include "platform/text_windows.h"
#include "platform/windows_handles.h"
#include "platform/windows/com_apartment.h"
#include "platform/windows/hresult_errors.h"
#include "platform/windows/ks_capture_device.h"
#include "platform/windows/ks_headers.h"

namespace emberline::platform::windows {

namespace {

// A VARIANT cleared when it goes out of scope.
class Variant {
 public:
  Variant() { ::VariantInit(&value_); }
  ~Variant() { ::VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &value_; }
  std::optional<std::string> text() const {
    if (value_.vt != VT_BSTR || value_.bstrVal == nullptr) return std::nullopt;
    return utf8FromWide(std::wstring_view(value_.bstrVal, ::SysStringLen(value_.bstrVal)));
  }

 private:
  VARIANT value_;
};

std::optional<std::string> readText(IPropertyBag& bag, const wchar_t* name) {
  Variant value;
  if (bag.Read(name, value.get(), nullptr) != S_OK) return std::nullopt;
  return value.text();
}

std::optional<std::string> displayNameOf(IMoniker& moniker) {
  UniqueCoTaskMemory<OLECHAR> name;
  if (FAILED(moniker.GetDisplayName(nullptr, nullptr, name.put())) || !name) return std::nullopt;
  return utf8FromWide(name.get());
}

HRESULT systemDeviceEnumerator(ComPtr<ICreateDevEnum>& out) {
  return ::CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                            __uuidof(ICreateDevEnum), out.putVoid());
}

}  // namespace

struct WindowsDeviceList::Listed {
  ComPtr<IMoniker> moniker;
  device::DeviceEntry entry;
};

WindowsDeviceList::WindowsDeviceList() : WindowsDeviceList(systemDeviceEnumerator) {}

WindowsDeviceList::WindowsDeviceList(DeviceEnumeratorFactory factory)
    : factory_(std::move(factory)) {}

HRESULT WindowsDeviceList::lastFailure() const {
  const std::lock_guard lock(mutex_);
  return last_failure_;
}

std::string WindowsDeviceList::failureDetail() const {
  const HRESULT failure = lastFailure();
  return failure == S_OK ? std::string() : describeHresult(failure);
}

int WindowsDeviceList::fail(HRESULT result) {
  const std::lock_guard lock(mutex_);
  last_failure_ = result;
  const int error = errnoFromHresult(result);
  return error != 0 ? error : -EIO;
}

int WindowsDeviceList::list(std::vector<Listed>& out) {
  out.clear();
  joinComOnThisThread();
  ComPtr<ICreateDevEnum> enumerator;
  if (const HRESULT hr = factory_(enumerator); FAILED(hr) || !enumerator) {
    fail(FAILED(hr) ? hr : E_POINTER);
    return -ENODEV;
  }
  ComPtr<IEnumMoniker> monikers;
  const HRESULT created =
      enumerator->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0);
  if (created == S_FALSE || (created == S_OK && !monikers)) return 0;  // an empty category
  if (created != S_OK) return fail(created);
  enumerator.reset();

  monikers->Reset();
  for (;;) {
    Listed listed;
    if (monikers->Next(1, listed.moniker.put(), nullptr) != S_OK || !listed.moniker) break;
    ComPtr<IPropertyBag> bag;
    if (SUCCEEDED(listed.moniker->BindToStorage(nullptr, nullptr, __uuidof(IPropertyBag),
                                                bag.putVoid())) &&
        bag) {
      listed.entry.display_name = readText(*bag.get(), L"FriendlyName");
      listed.entry.path = readText(*bag.get(), L"DevicePath");
    }
    // The device path names the device for good; a virtual camera may have
    // none, and then its moniker's name does.
    auto id = listed.entry.path ? listed.entry.path : displayNameOf(*listed.moniker.get());
    listed.entry.id = id.value_or("video-input:" + std::to_string(out.size()));
    out.push_back(std::move(listed));
  }
  return 0;
}

int WindowsDeviceList::enumerate(std::vector<device::DeviceEntry>& out) {
  out.clear();
  std::vector<Listed> listed;
  const int result = list(listed);
  for (auto& item : listed) out.push_back(std::move(item.entry));
  return result;
}

std::shared_ptr<device::CaptureDevice> WindowsDeviceList::open(const device::DeviceEntry& entry,
                                                               int* error) {
  const auto failed = [error](int code) -> std::shared_ptr<device::CaptureDevice> {
    if (error) *error = code;
    return nullptr;
  };
  std::vector<Listed> listed;
  if (const int result = list(listed); result != 0) return failed(result);
  for (auto& item : listed) {
    if (item.entry.id != entry.id) continue;
    ComPtr<IBaseFilter> filter;
    const HRESULT hr =
        item.moniker->BindToObject(nullptr, nullptr, __uuidof(IBaseFilter), filter.putVoid());
    if (hr != S_OK || !filter) return failed(fail(hr != S_OK ? hr : E_POINTER));
    const std::string name = item.entry.display_name.value_or(entry.id);
    return std::make_shared<KsCaptureDevice>(std::move(filter), name);
  }
  return failed(fail(HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)));
}

std::string describeError(int error, HRESULT result, const std::string& device) {
  const std::string who = device.empty() ? std::string("the camera") : device;
  const std::string cause = FAILED(result) || result == S_FALSE ? " (" + describeHresult(result) + ")" : "";
  switch (error < 0 ? error : -error) {
    case 0: return "No error on " + who + ".";
    case -ENODEV:
    case -ENOENT:
      return "The camera " + who + " was unplugged or stopped responding" + cause +
             ". Check the USB cable and plug it in again (Device Manager lists it under Cameras or "
             "Imaging devices), then repeat the operation; if the flash was being written, burn the "
             "image again.";
    case -EACCES:
      return "Access to " + who + " was denied" + cause +
             ". Turn on \"Let desktop apps access your camera\" in Settings > Privacy & security > "
             "Camera (Windows 10: Settings > Privacy > Camera), then retry.";
    case -EBUSY:
      return who + " is in use by another program" + cause + ". Close the program that uses the camera and retry.";
    case -ENOTTY:
      return who + " is not a kernel-streaming camera" + cause +
             ": it does not answer extension-unit requests. Choose another device from "
             "'emberline list'.";
    case -ENOPROTOOPT:
      return "The camera " + who + " has no such extension unit or control" + cause +
             ": it is probably not a camera of the supported family.";
    default:
      return "A request to " + who + " failed" + (cause.empty() ? "." : cause + ".");
  }
}

}  // namespace emberline::platform::windows
