// Shared fixtures of the server link tests: the stand-in server's control object (faults and the
// call log of this test process), a message pump, and concrete transport and master classes
// that send fixed settings arrays.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Forms.h"
#include "OrlentServerDefs.h"
#include "OrlentSrvTest.h"

namespace srvtest {

inline orlent::IOrlentSrvControl*& ControlSlot()
{
    static orlent::IOrlentSrvControl* control = nullptr;
    return control;
}

inline orlent::IOrlentSrvControl* Control()
{
    orlent::IOrlentSrvControl*& control = ControlSlot();
    if (!control) control = orlent::RunningControl();
    return control;
}

inline std::string Pid() { return std::to_string(GetCurrentProcessId()); }

// One control command; "<pid>" in it stands for this process's id.
inline std::string Srv(std::string line)
{
    for (size_t at; (at = line.find("<pid>")) != std::string::npos;) line.replace(at, 5, Pid());
    orlent::IOrlentSrvControl* c = Control();
    if (!c) return "ERR no stand-in server";
    std::wstring w(line.begin(), line.end());
    BSTR in = SysAllocString(w.c_str()), out = nullptr;
    HRESULT hr = c->Command(in, &out);
    SysFreeString(in);
    std::string reply;
    for (UINT i = 0; out && i < SysStringLen(out); ++i) reply += char(out[i]);
    SysFreeString(out);
    return SUCCEEDED(hr) ? reply : "ERR call failed";
}

// The calls the server's objects of this process received, "T1 SetChannelOpen -1" and so on.
inline std::vector<std::string> Log()
{
    std::string r = Srv("log <pid>");
    std::vector<std::string> lines;
    size_t pos = r.find('\n');
    while (pos != std::string::npos) {
        size_t next = r.find('\n', pos + 1);
        lines.push_back(r.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1));
        pos = next;
    }
    return lines;
}

// The calls of the transports ('T') or masters ('M') without the object names.
inline std::vector<std::string> Calls(char kind)
{
    std::vector<std::string> out;
    for (const std::string& l : Log())
        if (!l.empty() && l[0] == kind) out.push_back(l.substr(l.find(' ') + 1));
    return out;
}

// A variant as the stand-in's log shows it: "[ui1 0, str "COM1", i4 500]".
inline std::string VarText(const OleVariant& v)
{
    if (v.IsArray()) {
        std::string s = "[";
        std::vector<OleVariant> e = v.Elements();
        for (size_t i = 0; i < e.size(); ++i) s += (i ? ", " : "") + VarText(e[i]);
        return s + "]";
    }
    const VARIANT& r = v.Raw();
    switch (r.vt) {
    case VT_EMPTY: return "empty";
    case VT_UI1: return "ui1 " + std::to_string(r.bVal);
    case VT_I2: return "i2 " + std::to_string(r.iVal);
    case VT_I4: return "i4 " + std::to_string(r.lVal);
    case VT_UI4: return "ui4 " + std::to_string(r.ulVal);
    case VT_BOOL: return std::string("bool ") + (r.boolVal ? "true" : "false");
    case VT_BSTR: return "str \"" + v.AsString() + "\"";
    default: return "vt" + std::to_string(r.vt);
    }
}

inline void PumpOnce()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Processes messages (server events arrive that way) until done() holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms = 30000)
{
    DWORD t0 = GetTickCount();
    for (;;) {
        PumpOnce();
        if (done()) return true;
        if (GetTickCount() - t0 > ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// Processes messages for a while, for checks that something does not happen.
inline void Pump(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

// After the shared stand-in ended itself (fault die-at), the successor it started, once that
// serves.
inline bool AwaitSuccessor(DWORD ms = 30000)
{
    orlent::IOrlentSrvControl*& control = ControlSlot();
    control = nullptr;  // the old one's proxy is left as it is: releasing it would call the dead server
    return PumpUntil(
        [&] {
            control = orlent::RunningControl();
            if (!control) return false;
            if (Srv("objects").rfind("OK", 0) == 0) return true;
            control = nullptr;
            return false;
        },
        ms);
}

class TTestTransport : public TAnyTransportCustom {
public:
    using TAnyTransportCustom::TAnyTransportCustom;
    std::string Port = "COM1";
    int Applied = 0;
    void ApplySettings() override
    {
        if (Designing() || !Proxy() || UpdateLocked()) return;
        ++Applied;
        Proxy()->SetSettings(OleVariant::Array({0, Port, 4, 0, 200, 10, 1}));
    }
    OleVariant GetProps() override { return OleVariant(); }
    void SetProps(const OleVariant&) override {}
    TBasePropsFrame* CreatePropsFrame() override { return nullptr; }
};

class TTestMaster : public TAnyMasterCustom {
public:
    using TAnyMasterCustom::TAnyMasterCustom;
    int Address = 1;
    int ApplyCalls = 0;
    std::function<void()> OnApply;
    std::vector<OleVariant> Replies;
    TQueryType GetQueryType() const override { return FQueryType; }
    void SetQueryType(TQueryType Value) override { FQueryType = Value; }
    OleVariant GetProps() override { return OleVariant(); }
    void SetProps(const OleVariant&) override {}
    TBasePropsFrame* CreatePropsFrame() override { return nullptr; }
    void ApplySettings() override
    {
        ++ApplyCalls;
        if (OnApply) OnApply();
        if (Designing() || !Proxy() || UpdateLocked()) return;
        Proxy()->SetSettings(OleVariant::Array({0, Address, 0, 0, 1, true, false}));
    }
    void DoServerExchange(TObject*, OleVariant& AExchValue) override
    {
        Replies.push_back(AExchValue);
        std::vector<OleVariant> e = AExchValue.Elements();
        SetLastResult(e.at(5).AsInteger());
        DispatchReply(this, e[1].AsInteger(), e[2].AsInteger(), e[3].AsInteger(), e[4], e[5].AsInteger());
    }
    void Query(int qid)
    {
        if (Proxy()) Proxy()->SendQuery(OleVariant::Array({4, qid, 0, 0, 18, 1}));
    }
};

// Every test starts with a clean slate at the stand-in for this process; an exception that
// reaches the general handler is kept for the test to look at.
class SrvTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(Srv("reset <pid>"), "OK") << "no stand-in server serves this prefix";
        Application->OnException = [this](TObject*, const std::exception& e) { Escaped.push_back(e.what()); };
    }
    // The faults go with the test: a later program that gets this process id must not meet them.
    void TearDown() override
    {
        Application->OnException = nullptr;
        Srv("reset <pid>");
    }
    std::vector<std::string> Escaped;
};

}  // namespace srvtest
