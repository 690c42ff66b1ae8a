#pragma once

// Fake COM objects standing in for a camera's capture filter: the filter
// hands out a topology, a filter-level IKsControl and an IKsPropertySet; every
// kernel-streaming call is recorded byte for byte and answered from a script.
// The test owns the objects; Release never deletes, and references() tells
// whether the code under test gave back every reference it took. Each fake
// answers only to the interface ids transcribed in transcribed_ids.h.

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <vector>

#include "platform/windows/ks_headers.h"
#include "transcribed_ids.h"

// COM interfaces have no virtual destructor; the fakes are owned by the test.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace emberline::test {

// IUnknown's reference counting for one fake; QueryInterface is the fake's.
template <typename Interface>
class FakeObject : public Interface {
 public:
  virtual ~FakeObject() = default;
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references_); }
  int references() const { return references_; }

 protected:
  HRESULT hand(void** out, IUnknown* self) {
    *out = self;
    self->AddRef();
    return S_OK;
  }
  int references_ = 0;
};

// One KsProperty call as the transport made it.
struct KsCall {
  std::vector<std::uint8_t> property;  // the KSP_NODE's bytes, PropertyLength of them
  std::vector<std::uint8_t> payload;   // what the caller passed in
  ULONG data_length = 0;
  bool data_null = false;

  KSP_NODE node() const {
    KSP_NODE out{};
    std::memcpy(&out, property.data(), std::min(property.size(), sizeof out));
    return out;
  }
};

class FakeKsControl final : public FakeObject<IKsControl> {
 public:
  // Answers call by call: a result and, for a GET, the bytes written back.
  struct Answer {
    HRESULT result = S_OK;
    std::vector<std::uint8_t> data;
  };
  std::deque<Answer> answers;  // empty: S_OK, nothing written
  std::vector<KsCall> calls;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kIidKsControl)) return hand(out, this);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE KsProperty(PKSPROPERTY property, ULONG property_length, LPVOID data,
                                       ULONG data_length, ULONG* returned) override {
    KsCall call;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(property);
    call.property.assign(bytes, bytes + property_length);
    call.data_null = data == nullptr;
    call.data_length = data_length;
    if (data) call.payload.assign(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + data_length);
    calls.push_back(call);
    Answer answer;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
    }
    if (data && !answer.data.empty())
      std::memcpy(data, answer.data.data(), std::min<std::size_t>(answer.data.size(), data_length));
    if (returned) *returned = static_cast<ULONG>(answer.data.size());
    return answer.result;
  }
  HRESULT STDMETHODCALLTYPE KsMethod(PKSMETHOD, ULONG, LPVOID, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE KsEvent(PKSEVENT, ULONG, LPVOID, ULONG, ULONG*) override { return E_NOTIMPL; }
};

class FakeTopology final : public FakeObject<IKsTopologyInfo> {
 public:
  struct Node {
    GUID type;
    FakeKsControl* instance = nullptr;  // nullptr: CreateNodeInstance fails
  };
  std::vector<Node> nodes;
  HRESULT count_result = S_OK;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kIidKsTopologyInfo)) return hand(out, this);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Category(DWORD, GUID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD, KSTOPOLOGY_CONNECTION*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NodeName(DWORD, WCHAR*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD* count) override {
    *count = static_cast<DWORD>(nodes.size());
    return count_result;
  }
  HRESULT STDMETHODCALLTYPE get_NodeType(DWORD node, GUID* type) override {
    if (node >= nodes.size()) return E_INVALIDARG;
    *type = nodes[node].type;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD node, REFIID iid, void** out) override {
    *out = nullptr;
    if (node >= nodes.size() || !nodes[node].instance) return E_FAIL;
    return nodes[node].instance->QueryInterface(iid, out);
  }
};

// One IKsPropertySet call.
struct PropertySetCall {
  bool set = false;  // Set, else Get
  GUID property_set{};
  DWORD id = 0;
  std::vector<std::uint8_t> instance;
  std::vector<std::uint8_t> data;
};

class FakePropertySet final : public FakeObject<IKsPropertySet> {
 public:
  std::function<HRESULT(const PropertySetCall&, std::uint8_t* data)> answer =
      [](const PropertySetCall&, std::uint8_t*) { return S_OK; };
  std::vector<PropertySetCall> calls;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kIidKsPropertySet)) return hand(out, this);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD id, LPVOID instance, DWORD instance_length, LPVOID data,
                                DWORD data_length) override {
    return record(true, set, id, instance, instance_length, data, data_length);
  }
  HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, LPVOID instance, DWORD instance_length, LPVOID data,
                                DWORD data_length, DWORD* returned) override {
    if (returned) *returned = data_length;
    return record(false, set, id, instance, instance_length, data, data_length);
  }
  HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID, DWORD, DWORD*) override { return E_NOTIMPL; }

 private:
  HRESULT record(bool set, REFGUID property_set, DWORD id, LPVOID instance, DWORD instance_length, LPVOID data,
                 DWORD data_length) {
    PropertySetCall call{set, property_set, id, {}, {}};
    const auto* in = static_cast<const std::uint8_t*>(instance);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    call.instance.assign(in, in + instance_length);
    call.data.assign(bytes, bytes + data_length);
    calls.push_back(call);
    return answer(call, static_cast<std::uint8_t*>(data));
  }
};

// The capture filter: only QueryInterface does anything.
class FakeFilter final : public FakeObject<IBaseFilter> {
 public:
  FakeTopology* topology = nullptr;
  FakeKsControl* control = nullptr;
  FakePropertySet* properties = nullptr;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, kIidBaseFilter)) return hand(out, this);
    if (IsEqualGUID(iid, kIidKsTopologyInfo) && topology) return topology->QueryInterface(iid, out);
    if (IsEqualGUID(iid, kIidKsControl) && control) return control->QueryInterface(iid, out);
    if (IsEqualGUID(iid, kIidKsPropertySet) && properties) return properties->QueryInterface(iid, out);
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
};

}  // namespace emberline::test
