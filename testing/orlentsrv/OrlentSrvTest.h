// The stand-in server's control class for tests: one text command in, one text reply out.
// Commands (pid = the client's process id, as it registers with RegisterClient):
//   reset PID                 forget the faults and the call log of that client
//   fault PID refuse-register RegisterClient fails
//   fault PID fail-unregister UnregisterClient fails
//   fault PID events posted|inside|delay MS|held   how the client's objects deliver events
//                             (posted: after the call on the server's side, which the client may
//                             still see inside its call; held: kept until "release PID")
//   fault PID result CODE     every request of the client is answered with CODE, no line traffic
//   fault PID count N         requests answered without the line: register reads give N, archive
//                             record i is [1767225600 + 600 * i, 3, i]
//   fault PID refuse-open     SetChannelOpen(-1) reports the channel closed (0, -1) inside the call
//   fault PID fail-open       SetChannelOpen(-1) fails (an error, no event)
//   fault PID refuse-settings SetSettings of the client's objects fails
//   fault PID gone            every call of the client's objects is logged and then fails with
//                             RPC_E_DISCONNECTED, as one to a server that has gone away
//   fault PID event-in METHOD each object raises its event inside METHOD (SetSettings, RegisterClient,
//                             UnregisterClient), once: a transport's channel closes (state 0, id -1),
//                             a master answers request 1 with record 0
//   fault PID die-at QID      the request with that id ends the server: its class objects are
//                             revoked, then its process ends (a serving one starts a successor)
//   fault PID no-error-info   the objects give no error information (no ISupportErrorInfo, no
//                             description)
//   lose PID                  the client's open channels are lost (port closed, state 1 -> 0, id -1)
//   state PID NEW             the client's transports raise a state event (current, NEW, current id)
//   event PID DISPID          the client's objects raise an event with another dispatch id
//   release PID               the client's held events are posted
//   log PID                   the calls of the client's objects, one line each, "\n" between
//   next no-events|no-default|no-registry|run   for the next object created only (tests that
//                             use it run alone); run = registered as the running object
//   last                      id of the last object created ("T3", "M4")
//   objects                   number of live objects
// A reply starts with "OK" or "ERR".
#pragma once
#include "OrlentSrvIntf.h"

#include <oleauto.h>

namespace orlent {

inline constexpr GUID CLSID_OrlentSrvControl = {0x20217688, 0xF9FC, 0x4133, {0x8A, 0xF6, 0xB5, 0xE0, 0xF3, 0xCB, 0x19, 0xE6}};
inline constexpr GUID IID_IOrlentSrvControl = {0xB187086F, 0xE4F0, 0x4F0E, {0xBE, 0xA1, 0x9B, 0xAF, 0x2A, 0x5D, 0xB7, 0xD4}};

struct IOrlentSrvControl : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Command(BSTR Line, BSTR* Reply) = 0;
};

// The control object of the stand-in that serves the test run, found as the running object it
// registers (a counted reference), or null. Never asked of COM by class: with no stand-in serving,
// COM would start one for the asking test program, and that one, holding the program's output
// open and kept alive by its objects, would keep the test from ending.
inline IOrlentSrvControl* RunningControl()
{
    IUnknown* unk = nullptr;
    if (FAILED(GetActiveObject(CLSID_OrlentSrvControl, nullptr, &unk)) || !unk) return nullptr;
    IOrlentSrvControl* control = nullptr;
    if (FAILED(unk->QueryInterface(IID_IOrlentSrvControl, reinterpret_cast<void**>(&control)))) control = nullptr;
    unk->Release();
    return control;
}

}  // namespace orlent
