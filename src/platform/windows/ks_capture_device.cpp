#include "platform/windows/ks_capture_device.h"

#include <cstring>
#include <cwchar>

#include "platform/text_windows.h"
#include "platform/windows/com_apartment.h"
#include "platform/windows/hresult_errors.h"
#include "platform/windows/ks_headers.h"

namespace emberline::platform::windows {

namespace {

KSP_NODE makeNodeProperty(const GUID& set, ULONG id, ULONG flags, ULONG node) {
  KSP_NODE property;
  std::memset(&property, 0, sizeof property);
  property.Property.Set = set;
  property.Property.Id = id;
  property.Property.Flags = flags;
  property.NodeId = node;
  property.Reserved = 0;
  return property;
}

}  // namespace

GUID toWindowsGuid(const device::Guid& guid) {
  static_assert(sizeof(GUID) == 16);
  GUID out;
  std::memcpy(&out, guid.bytes.data(), sizeof out);
  return out;
}

KsCaptureDevice::KsCaptureDevice(ComPtr<IBaseFilter> filter, std::string name)
    : filter_(std::move(filter)), name_(std::move(name)) {}

int KsCaptureDevice::fail(HRESULT result) {
  last_failure_ = result;
  const int error = errnoFromHresult(result);
  return error != 0 ? error : -EIO;
}

HRESULT KsCaptureDevice::lastFailure() const {
  const std::lock_guard lock(mutex_);
  return last_failure_;
}

std::string KsCaptureDevice::failureDetail() const {
  const std::lock_guard lock(mutex_);
  return last_failure_ == S_OK ? std::string() : name_ + ": " + describeHresult(last_failure_);
}

std::string KsCaptureDevice::unitLookupProblem() const {
  const std::lock_guard lock(mutex_);
  return lookup_problem_;
}

std::optional<std::uint32_t> KsCaptureDevice::findExtensionUnitNode(const device::Guid& property_set) {
  joinComOnThisThread();
  const std::lock_guard lock(mutex_);
  lookup_problem_.clear();
  return searchTopology(toWindowsGuid(property_set));
}

std::optional<std::uint32_t> KsCaptureDevice::searchTopology(const GUID& property_set) {
  const auto unusual = [this](const std::string& what, HRESULT result) {
    last_failure_ = result;
    lookup_problem_ = name_ + " " + what + " (" + describeHresult(result) +
                      "); trying the usual extension-unit ids.";
  };
  ComPtr<IKsTopologyInfo> topology;
  if (const HRESULT hr = filter_.as(topology); FAILED(hr)) {
    unusual("does not describe its kernel-streaming topology", hr);
    return std::nullopt;
  }
  DWORD nodes = 0;
  if (const HRESULT hr = topology->get_NumNodes(&nodes); FAILED(hr)) {
    unusual("did not say how many topology nodes it has", hr);
    return std::nullopt;
  }
  for (DWORD node = 0; node < nodes; ++node) {
    GUID type;
    if (FAILED(topology->get_NodeType(node, &type)) || !IsEqualGUID(type, KSNODETYPE_DEV_SPECIFIC))
      continue;
    ComPtr<IKsControl> control;
    if (FAILED(topology->CreateNodeInstance(node, __uuidof(IKsControl), control.putVoid())))
      continue;
    KSP_NODE probe = makeNodeProperty(property_set, 0,
                                      KSPROPERTY_TYPE_SETSUPPORT | KSPROPERTY_TYPE_TOPOLOGY, node);
    ULONG returned = 0;
    // Any success code counts: the node supports the property set.
    if (SUCCEEDED(control->KsProperty(reinterpret_cast<PKSPROPERTY>(&probe), sizeof probe, nullptr,
                                      0, &returned)))
      return node;
  }
  lookup_problem_ = name_ +
                    " has no extension unit of the supported camera family; it is probably another "
                    "kind of camera.";
  return std::nullopt;
}

int KsCaptureDevice::control(const device::ControlRequest& request) {
  joinComOnThisThread();
  const std::lock_guard lock(mutex_);
  ComPtr<IKsControl> control;
  if (const HRESULT hr = filter_.as(control); FAILED(hr)) return fail(hr);
  KSP_NODE property = makeNodeProperty(toWindowsGuid(request.property_set), request.selector,
                                       request.flags, request.node_id);
  ULONG returned = 0;
  const HRESULT hr = control->KsProperty(reinterpret_cast<PKSPROPERTY>(&property), sizeof property,
                                         request.payload.data(),
                                         static_cast<ULONG>(request.payload.size()), &returned);
  return hr == S_OK ? 0 : fail(hr);
}

int KsCaptureDevice::controlLength(std::uint32_t node_id, std::uint32_t selector,
                                   std::size_t& length) {
  joinComOnThisThread();
  const std::lock_guard lock(mutex_);
  ComPtr<IKsControl> control;
  if (const HRESULT hr = filter_.as(control); FAILED(hr)) return fail(hr);
  KSP_NODE property = makeNodeProperty(toWindowsGuid(device::kExtensionUnitPropertySet), selector,
                                       device::kFlagsGet, node_id);
  ULONG returned = 0;
  const HRESULT hr = control->KsProperty(reinterpret_cast<PKSPROPERTY>(&property), sizeof property,
                                         nullptr, 0, &returned);
  // Drivers answer a size query with "more data" (some with S_OK), giving the size.
  const bool sized = hr == S_OK || hr == HRESULT_FROM_WIN32(ERROR_MORE_DATA) ||
                     hr == HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  if (!sized) return fail(hr);
  if (returned == 0) return fail(E_UNEXPECTED);
  length = returned;
  return 0;
}

std::vector<KsCaptureDevice::TopologyNode> KsCaptureDevice::topology(std::string* problem) {
  joinComOnThisThread();
  const std::lock_guard lock(mutex_);
  std::vector<TopologyNode> nodes;
  ComPtr<IKsTopologyInfo> info;
  DWORD count = 0;
  if (HRESULT hr = filter_.as(info); FAILED(hr) || FAILED(hr = info->get_NumNodes(&count))) {
    if (problem) *problem = name_ + " does not describe its kernel-streaming topology (" + describeHresult(hr) + ")";
    return nodes;
  }
  for (DWORD index = 0; index < count; ++index) {
    TopologyNode node;
    node.index = index;
    GUID type{};
    if (SUCCEEDED(info->get_NodeType(index, &type))) {
      device::Guid bytes;
      std::memcpy(bytes.bytes.data(), &type, sizeof type);
      node.type = device::toString(bytes);
    }
    wchar_t name[256] = {};
    DWORD needed = 0;
    if (SUCCEEDED(info->get_NodeName(index, name, 256, &needed)))
      node.name = utf8FromWide(std::wstring_view(name, ::wcsnlen(name, 256)));
    nodes.push_back(std::move(node));
  }
  return nodes;
}

int KsCaptureDevice::driverProperty(const device::Guid& property_set, device::XuOp op,
                                    std::span<std::uint8_t, 40> record) {
  joinComOnThisThread();
  const std::lock_guard lock(mutex_);
  ComPtr<IKsPropertySet> properties;
  if (const HRESULT hr = filter_.as(properties); FAILED(hr)) return fail(hr);
  const GUID set = toWindowsGuid(property_set);
  const auto size = static_cast<DWORD>(record.size());
  HRESULT hr;
  if (op == device::XuOp::Set) {
    hr = properties->Set(set, 0, record.data(), size, record.data(), size);
  } else {
    DWORD returned = 0;
    hr = properties->Get(set, 0, record.data(), size, record.data(), size, &returned);
  }
  return hr == S_OK ? 0 : fail(hr);
}

}  // namespace emberline::platform::windows
