// The device list against fakes of the system device enumerator, its moniker
// enumerator, the monikers and their property bags: the video-input
// category, "FriendlyName" and "DevicePath", the order the enumerator gives,
// the moniker bound when a device is opened, and every reference given back.

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "fake_com.h"
#include "platform/windows/windows_device_list.h"
#include "transcribed_ids.h"

namespace emberline {
namespace {

using platform::windows::ComPtr;

// Names the code asked for, in order, across every bag.
std::vector<std::wstring>* g_reads = nullptr;

class FakePropertyBag final : public test::FakeObject<IPropertyBag> {
 public:
  std::optional<std::wstring> friendly_name, device_path;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, test::kIidPropertyBag)) return hand(out, this);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    if (g_reads) g_reads->push_back(name);
    const std::wstring wanted = name;
    const auto& text = wanted == L"FriendlyName" ? friendly_name : wanted == L"DevicePath" ? device_path : std::nullopt;
    if (!text) return E_FAIL;
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocString(text->c_str());  // the caller's VariantClear frees it
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
};

class FakeMoniker final : public test::FakeObject<IMoniker> {
 public:
  FakePropertyBag bag;
  test::FakeFilter* filter = nullptr;  // nullptr: BindToObject fails
  std::wstring display_name = L"@device:pnp:fake";
  int binds = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IMoniker)) return hand(out, this);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx* context, IMoniker* left, REFIID iid, void** out) override {
    *out = nullptr;
    if (context || left) return E_INVALIDARG;
    return bag.QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx* context, IMoniker* left, REFIID iid, void** out) override {
    *out = nullptr;
    ++binds;
    if (context || left || !filter) return E_FAIL;
    return filter->QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* name) override {
    const std::size_t bytes = (display_name.size() + 1) * sizeof(wchar_t);
    *name = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    std::memcpy(*name, display_name.c_str(), bytes);
    return S_OK;
  }
  // The rest of IMoniker is never called.
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker*, BOOL, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Enum(BOOL, IEnumMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsEqual(IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Hash(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Inverse(IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker*, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*, IMoniker**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD*) override { return E_NOTIMPL; }
};

class FakeEnumMoniker final : public test::FakeObject<IEnumMoniker> {
 public:
  std::vector<FakeMoniker*> monikers;
  std::size_t next = 0;
  int resets = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IEnumMoniker)) return hand(out, this);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IMoniker** out, ULONG* fetched) override {
    if (count != 1) return E_INVALIDARG;
    if (fetched) *fetched = 0;
    if (next >= monikers.size()) return S_FALSE;
    monikers[next]->QueryInterface(IID_IMoniker, reinterpret_cast<void**>(out));
    ++next;
    if (fetched) *fetched = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reset() override {
    ++resets;
    next = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumMoniker**) override { return E_NOTIMPL; }
};

class FakeDevEnum final : public test::FakeObject<ICreateDevEnum> {
 public:
  FakeEnumMoniker enumerator;
  std::vector<GUID> categories;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, test::kIidCreateDevEnum)) return hand(out, this);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE CreateClassEnumerator(REFCLSID category, IEnumMoniker** out, DWORD flags) override {
    categories.push_back(category);
    *out = nullptr;
    if (flags != 0 || !IsEqualGUID(category, test::kVideoInputCategory)) return E_INVALIDARG;
    if (enumerator.monikers.empty()) return S_FALSE;  // an empty category
    return enumerator.QueryInterface(IID_IEnumMoniker, reinterpret_cast<void**>(out));
  }
};

class DeviceEnumerationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    g_reads = &reads;
  }
  void TearDown() override {
    g_reads = nullptr;
    EXPECT_EQ(devices.references(), 0);
    EXPECT_EQ(devices.enumerator.references(), 0);
    for (const auto* m : {&webcam, &camera, &unnamed})
      EXPECT_EQ(m->references() + m->bag.references(), 0) << "a moniker or its bag was not released";
    EXPECT_EQ(filter.references(), 0);
    CoUninitialize();
  }

  // The list as the system's would be made: the factory hands over one reference.
  platform::windows::WindowsDeviceList makeList() {
    return platform::windows::WindowsDeviceList([this](ComPtr<ICreateDevEnum>& out) {
      return devices.QueryInterface(test::kIidCreateDevEnum, out.putVoid());
    });
  }

  std::vector<std::wstring> reads;
  FakeDevEnum devices;
  FakeMoniker webcam, camera, unnamed;
  test::FakeFilter filter;
};

TEST_F(DeviceEnumerationTest, ListsTheVideoInputCategoryInTheEnumeratorsOrder) {
  webcam.bag.friendly_name = L"Integrated Webcam";
  webcam.bag.device_path = L"\\\\?\\usb#vid_0c45#1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
  camera.bag.friendly_name = L"USB 摄像头";
  camera.bag.device_path = L"\\\\?\\usb#vid_1e4e#2#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
  unnamed.display_name = L"@device:sw:virtual";  // no DevicePath: its moniker's name stands in
  devices.enumerator.monikers = {&webcam, &camera, &unnamed};
  auto list = makeList();
  std::vector<device::DeviceEntry> entries;
  ASSERT_EQ(list.enumerate(entries), 0);
  ASSERT_EQ(devices.categories.size(), 1u);
  EXPECT_TRUE(IsEqualGUID(devices.categories[0], test::kVideoInputCategory));
  EXPECT_EQ(devices.enumerator.resets, 1);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].display_name, "Integrated Webcam");
  EXPECT_EQ(entries[0].id, "\\\\?\\usb#vid_0c45#1#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");
  EXPECT_EQ(entries[1].display_name, "USB \xE6\x91\x84\xE5\x83\x8F\xE5\xA4\xB4");  // UTF-8
  EXPECT_EQ(entries[1].path, entries[1].id);
  EXPECT_EQ(entries[2].id, "@device:sw:virtual");
  EXPECT_EQ(entries[2].path, std::nullopt);
  EXPECT_EQ(entries[2].display_name, std::nullopt);
  EXPECT_EQ(reads, (std::vector<std::wstring>{L"FriendlyName", L"DevicePath", L"FriendlyName", L"DevicePath",
                                              L"FriendlyName", L"DevicePath"}));
}

TEST_F(DeviceEnumerationTest, OpeningBindsThatMonikersCaptureFilter) {
  webcam.bag.device_path = L"\\\\?\\usb#webcam";
  camera.bag.device_path = L"\\\\?\\usb#camera";
  camera.filter = &filter;
  devices.enumerator.monikers = {&webcam, &camera};
  auto list = makeList();
  int error = 0;
  auto opened = list.open({"\\\\?\\usb#camera", {}, {}}, &error);
  ASSERT_NE(opened, nullptr) << error;
  EXPECT_EQ(webcam.binds, 0);
  EXPECT_EQ(camera.binds, 1);
  EXPECT_EQ(filter.references(), 1) << "the device holds the one filter reference";

  EXPECT_EQ(list.open({"\\\\?\\usb#webcam", {}, {}}, &error), nullptr);  // it will not bind
  EXPECT_EQ(error, -EIO);
  EXPECT_EQ(list.open({"\\\\?\\usb#gone", {}, {}}, &error), nullptr);
  EXPECT_EQ(error, -ENODEV);
  EXPECT_NE(list.failureDetail().find("HRESULT 0x8007048F"), std::string::npos) << list.failureDetail();
}

// The ids the code passes to the system are the ones the protocol names
// (the fakes above only answer to those).
TEST(TranscribedIds, AreTheOnesTheCodeUses) {
  EXPECT_TRUE(IsEqualGUID(__uuidof(IKsControl), test::kIidKsControl));
  EXPECT_TRUE(IsEqualGUID(__uuidof(IKsTopologyInfo), test::kIidKsTopologyInfo));
  EXPECT_TRUE(IsEqualGUID(__uuidof(IKsPropertySet), test::kIidKsPropertySet));
  EXPECT_TRUE(IsEqualGUID(KSNODETYPE_DEV_SPECIFIC, test::kNodeTypeDevSpecific));
  EXPECT_TRUE(IsEqualGUID(CLSID_SystemDeviceEnum, test::kClsidSystemDeviceEnum));
  EXPECT_TRUE(IsEqualGUID(__uuidof(ICreateDevEnum), test::kIidCreateDevEnum));
  EXPECT_TRUE(IsEqualGUID(CLSID_VideoInputDeviceCategory, test::kVideoInputCategory));
  EXPECT_TRUE(IsEqualGUID(__uuidof(IPropertyBag), test::kIidPropertyBag));
  EXPECT_TRUE(IsEqualGUID(__uuidof(IBaseFilter), test::kIidBaseFilter));
}

}  // namespace
}  // namespace emberline
