// The COM contract of the OrlentSrv automation server: identifiers, the default interfaces of
// its two classes, the client registry and the event dispatch id. Win32 headers only, so that
// both the client components and the stand-in server build on it.
#pragma once
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

namespace orlent {

inline constexpr GUID LIBID_OrlentSrv = {0xA235CCEB, 0xE121, 0x456C, {0xA6, 0x67, 0x28, 0x5F, 0x72, 0xB9, 0xFD, 0x71}};
inline constexpr WORD LibMajor = 1, LibMinor = 0;

inline constexpr GUID CLSID_AnyMaster = {0x1822BBA5, 0x400D, 0x4D9F, {0xA4, 0x0A, 0x51, 0x55, 0x8C, 0xCA, 0x57, 0x9B}};
inline constexpr GUID IID_IAnyMaster = {0xB6CC5256, 0xD2D0, 0x4ADA, {0xA9, 0xA7, 0xE3, 0xB3, 0xF0, 0x55, 0x58, 0xAE}};
inline constexpr GUID DIID_IAnyMasterEvents = {0x10141B77, 0xA3E5, 0x459A, {0x92, 0xE9, 0x1B, 0xD0, 0x98, 0x74, 0x28, 0xB9}};

inline constexpr GUID CLSID_AnyTransport = {0x2CB01CCC, 0x62E2, 0x43F5, {0x8F, 0x92, 0xFD, 0x05, 0x9A, 0x69, 0xBF, 0x98}};
inline constexpr GUID IID_IAnyTransport = {0x5909ACE1, 0xB040, 0x4A06, {0x87, 0xEB, 0x5F, 0x8C, 0x6D, 0x3A, 0x2C, 0xBF}};
inline constexpr GUID DIID_IAnyTransportEvents = {0xC1778017, 0x5563, 0x42B8, {0x8A, 0x6C, 0xF7, 0x10, 0xBA, 0xF5, 0x67, 0xCA}};

inline constexpr GUID IID_IAnyClientRegistry = {0x6B096CC2, 0xCD8C, 0x466F, {0xA0, 0x25, 0xA3, 0x1D, 0xF3, 0xB2, 0x6E, 0x98}};

// Both event interfaces carry their one event under this dispatch id.
inline constexpr DISPID EventDispId = 1;

// Channel states of the transport event; only 0 and 1 carry a channel id.
inline constexpr LONG StateClosed = 0, StateOpen = 1;
inline constexpr LONG NoChannel = -1;

// Dual interfaces: the methods follow IDispatch's seven entries in this order.
struct IAnyMaster : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE SendQuery(VARIANT Query) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSettings(VARIANT Settings) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetChannel(LONG ChannelID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSettings(VARIANT* Settings) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChannel(LONG* ChannelID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPending(LONG* Count) = 0;
};

struct IAnyTransport : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE SetSettings(VARIANT Settings) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSettings(VARIANT* Settings) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetChannelOpen(VARIANT_BOOL Open) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChannelOpen(VARIANT_BOOL* Open) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChannelID(LONG* ChannelID) = 0;
};

struct IAnyClientRegistry : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE RegisterClient(LONG ProcessID) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterClient(LONG ProcessID) = 0;
};

}  // namespace orlent
