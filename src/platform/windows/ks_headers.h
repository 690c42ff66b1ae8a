#pragma once

// The DirectShow and kernel-streaming declarations the transport uses, in one
// place: the SDK headers in the right order, plus what mingw-w64 lacks.

#include <windows.h>
// windows.h first; the rest in this order.
#include <dshow.h>
#include <ks.h>
#include <ksmedia.h>
#include <strmif.h>
#include <uuids.h>
// ksproxy.h brings IKsControl, but also an older IKsPropertySet that would
// clash with strmif.h's.
#ifndef _IKsPropertySet_
#define _IKsPropertySet_
#endif
#include <ksproxy.h>

// IKsControl has no __uuidof declaration in ksproxy.h.
__CRT_UUID_DECL(IKsControl, 0x28F54685, 0x06FD, 0x11D2, 0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31,
                0x96)

// COM interfaces have no virtual destructor: objects end through Release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
// The topology of a kernel-streaming filter (the SDK declares it in vidcap.h,
// which mingw-w64 does not have). Methods in vtable order, each with the COM
// calling convention: on 32-bit Windows a missing one corrupts the stack.
struct IKsTopologyInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_NumCategories(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Category(DWORD index, GUID* category) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumConnections(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionInfo(DWORD index, KSTOPOLOGY_CONNECTION* info) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NodeName(DWORD node, WCHAR* name, DWORD size,
                                                 DWORD* needed) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NumNodes(DWORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_NodeType(DWORD node, GUID* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateNodeInstance(DWORD node, REFIID iid, void** object) = 0;
};
#pragma GCC diagnostic pop
__CRT_UUID_DECL(IKsTopologyInfo, 0x720D4AC0, 0x7533, 0x11D0, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1,
                0x00, 0x00)

static_assert(sizeof(KSP_NODE) == 8 + sizeof(KSPROPERTY), "KSP_NODE: property, node id, reserved");
