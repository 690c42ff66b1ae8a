#pragma once

// The interface and class ids of DirectShow and kernel streaming that the
// camera's protocol names, transcribed here by hand so that the fakes answer
// only to the real ids: a wrong id in the code or in a system header then
// fails the tests instead of matching itself.

#include <windows.h>

namespace emberline::test {

// IKsControl {28F54685-06FD-11D2-B27A-00A0C9223196}
inline constexpr GUID kIidKsControl = {0x28F54685, 0x06FD, 0x11D2, {0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
// IKsTopologyInfo {720D4AC0-7533-11D0-A5D6-28DB04C10000}
inline constexpr GUID kIidKsTopologyInfo = {0x720D4AC0, 0x7533, 0x11D0, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
// IKsPropertySet {31EFAC30-515C-11D0-A9AA-00AA0061BE93}
inline constexpr GUID kIidKsPropertySet = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};
// KSNODETYPE_DEV_SPECIFIC {941C7AC0-C559-11D0-8A2B-00A0C9255AC1}
inline constexpr GUID kNodeTypeDevSpecific = {0x941C7AC0, 0xC559, 0x11D0, {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1}};
// The system device enumerator {62BE5D10-60EB-11D0-BD3B-00A0C911CE86}
inline constexpr GUID kClsidSystemDeviceEnum = {0x62BE5D10, 0x60EB, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// ICreateDevEnum {29840822-5B84-11D0-BD3B-00A0C911CE86}
inline constexpr GUID kIidCreateDevEnum = {0x29840822, 0x5B84, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// The video-input device category {860BB310-5D01-11D0-BD3B-00A0C911CE86}
inline constexpr GUID kVideoInputCategory = {0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// IPropertyBag {55272A00-42CB-11CE-8135-00AA004BB851}
inline constexpr GUID kIidPropertyBag = {0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
// IBaseFilter {56A86895-0AD4-11CE-B03A-0020AF0BA770}
inline constexpr GUID kIidBaseFilter = {0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

}  // namespace emberline::test
