// Inner parts of the stand-in server: the type library, the objects, the channels and the
// per-client state that tests steer.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "OrlentSrvTest.h"

namespace orlent {

// ---- type library (built with CreateTypeLib2 at registration, loaded at start) ---------------
HRESULT BuildTypeLib(const std::wstring& path);
HRESULT LoadServerTypeLib(const std::wstring& path);
ITypeInfo* ServerTypeInfo(REFGUID guid);  // borrowed; null when the library is not loaded

// ---- process -------------------------------------------------------------------------------
void ObjectCreated();
void ObjectDestroyed();
// Ends the server as a crash would, but with its class objects revoked first (a server killed
// outright keeps them registered under Wine); a serving instance leaves a successor behind.
void Die();
// Runs f on the server's thread later (posted), or after ms milliseconds.
void Post(std::function<void()> f, int ms = 0);

// ---- clients: faults and call logs by process id ------------------------------------------
enum class Delivery { Posted, Inside, Delayed, Held };
struct ClientState {
    bool refuseRegister = false;
    bool failUnregister = false;
    Delivery delivery = Delivery::Posted;
    int delayMs = 0;
    int forcedResult = -1;
    bool refuseOpen = false;            // SetChannelOpen(-1) reports the channel closed, inside the call
    bool failOpen = false;              // SetChannelOpen(-1) fails
    bool refuseSettings = false;        // SetSettings fails
    bool gone = false;                  // every call fails as one to a server that has gone away
    std::set<std::string> eventIn;      // methods inside which each object raises its event once
    int dieAt = -1;                     // the request id on which the server ends itself
    int count = -1;                     // >= 0: requests answered without the line (count, made-up records)
    bool omitErrorInfo = false;         // objects give no error information
    std::vector<std::string> log;
    std::vector<std::function<void(bool fire)>> held;  // events kept back until released (or dropped)
};
ClientState& Client(LONG pid);

// Faults for the next object created.
struct NextFaults {
    bool noEvents = false, noDefault = false, noRegistry = false, run = false;
};
NextFaults TakeNextFaults();
void SetNextFault(const std::string& name);

// ---- objects ---------------------------------------------------------------------------------
HRESULT CreateTransport(REFIID riid, void** out);
HRESULT CreateMaster(REFIID riid, void** out);
HRESULT CreateControl(REFIID riid, void** out);
std::string LastObjectName();
int LiveObjects();

// Variants as the log shows them: "[ui1 0, str "COM1", i4 500]".
std::string VariantText(const VARIANT& v);

}  // namespace orlent
