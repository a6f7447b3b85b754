// The automation proxies against the stand-in server in its own process: connecting, events by
// connection point (also inside an outgoing call, also freeing the proxy), wrappers, failures.
#include <memory>

#include "SrvTestSupport.h"
#include "TestInstrument.h"

using namespace srvtest;
using tovik::testing::TestInstrument;

namespace {

// Registers this process with the proxy's object, so that the stand-in logs its calls for us.
template <class P> void Enrol(P& proxy)
{
    IUnknown* intf = proxy.DefaultInterface();
    orlent::IAnyClientRegistry* reg = nullptr;
    ASSERT_HRESULT_SUCCEEDED(intf->QueryInterface(orlent::IID_IAnyClientRegistry, reinterpret_cast<void**>(&reg)));
    reg->RegisterClient(LONG(GetCurrentProcessId()));
    reg->Release();
    intf->Release();
}

struct StateEvent {
    int oldState, newState, id;
    DWORD thread;
};

class ProxyTest : public SrvTest {
protected:
    // A transport proxy whose state events are recorded.
    std::unique_ptr<TAnyTransport> NewTransport()
    {
        auto t = std::make_unique<TAnyTransport>(nullptr);
        t->OnStateChanged = [this](TObject*, int o, int n, int id) { Events.push_back({o, n, id, GetCurrentThreadId()}); };
        return t;
    }
    void Open(TAnyTransport& t, const std::string& port)
    {
        t.SetSettings(OleVariant::Array({0, port, 4, 0, 200, 10, 1}));
        t.SetChannelOpen(VARIANT_TRUE);
    }
    std::vector<StateEvent> Events;
};

TEST_F(ProxyTest, NewObjectDeliversStateEventsInDeclaredOrderOnTheGuiThread)
{
    TestInstrument inst;
    ASSERT_TRUE(inst.Ok()) << inst.Error();
    auto t = NewTransport();
    t->Connect();
    t->Connect();  // connected already: no second object, no second hook
    Enrol(*t);
    Open(*t, inst.PortName());
    ASSERT_TRUE(PumpUntil([&] { return !Events.empty(); }));
    EXPECT_EQ(Events[0].oldState, 0);
    EXPECT_EQ(Events[0].newState, 1);
    EXPECT_GT(Events[0].id, 0);
    EXPECT_EQ(Events[0].thread, GetCurrentThreadId());
    t.reset();
    ASSERT_TRUE(PumpUntil([] { return !Calls('T').empty() && Calls('T').back() == "destroy"; }));
    EXPECT_EQ(Calls('T'), (std::vector<std::string>{"create", "advise", "RegisterClient " + Pid(),
                                                     "SetSettings [i4 0, str \"" + inst.PortName() +
                                                         "\", i4 4, i4 0, i4 200, i4 10, i4 1]",
                                                     "SetChannelOpen -1", "event 0 1 " + std::to_string(Events[0].id),
                                                     "unadvise", "destroy"}));
}

TEST_F(ProxyTest, UnreachableServerFailsConnectAndEveryWrapper)
{
    TAnyTransport t(nullptr);
    t.SetRemoteMachineName("NO-SUCH-MACHINE-HERE");  // a name makes the connection remote
    EXPECT_THROW(t.Connect(), EOleSysError);
    EXPECT_THROW(t.SetChannelOpen(VARIANT_TRUE), EOleSysError);
    TAnyMaster m(nullptr);
    m.SetConnectKind(ckRemote);
    m.SetRemoteMachineName("NO-SUCH-MACHINE-HERE");
    EXPECT_THROW(m.SendQuery(OleVariant::Array({4, 1, 0, 0, 18, 1})), EOleSysError);
    EXPECT_THROW(m.DefaultInterface(), EOleSysError);
}

TEST_F(ProxyTest, OwnComputerNameConnectsRemoteKindLocally)
{
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &n));
    TAnyMaster m(nullptr);
    m.SetConnectKind(ckRemote);
    m.SetRemoteMachineName(LowerCase(std::string(name, n)));
    EXPECT_NO_THROW(m.Connect());
}

TEST_F(ProxyTest, EventsOfOtherDispatchIdsOrWithoutHandlerChangeNothing)
{
    auto t = NewTransport();
    TAnyMaster m(nullptr);
    int exchanges = 0;
    m.OnExchange = [&](TObject*, OleVariant&) { ++exchanges; };
    t->Connect();
    m.Connect();
    Enrol(*t);
    Enrol(m);
    // Delivered inside the control call, so each command's events are in when it returns.
    ASSERT_EQ(Srv("fault <pid> events inside"), "OK");
    ASSERT_EQ(Srv("event <pid> 7"), "OK");
    EXPECT_TRUE(Events.empty());
    EXPECT_EQ(exchanges, 0);
    t->OnStateChanged = nullptr;
    m.OnExchange = nullptr;
    ASSERT_EQ(Srv("event <pid> 1"), "OK");
    m.OnExchange = [&](TObject*, OleVariant&) { ++exchanges; };
    ASSERT_EQ(Srv("event <pid> 1"), "OK");
    EXPECT_EQ(exchanges, 1) << "the event with id 1 does arrive";
    EXPECT_TRUE(Escaped.empty());
}

// The reply array comes by reference; a handler may free the proxy that delivers it, also while
// that proxy's own call is still out (events delivered inside the call). A posted event may still
// reach the client inside its call, so the case outside the call holds it back until the call is
// over.
TEST_F(ProxyTest, HandlerMayFreeTheProxyDeliveringItsEvent)
{
    for (const char* delivery : {"held", "inside"}) {
        SCOPED_TRACE(delivery);
        ASSERT_EQ(Srv("reset <pid>"), "OK");
        ASSERT_EQ(Srv(std::string("fault <pid> events ") + delivery), "OK");
        TAnyMaster* m = new TAnyMaster(nullptr);
        std::vector<std::string> seen;
        bool inCall = false, deliveredInCall = false;
        m->OnExchange = [&](TObject* sender, OleVariant& v) {
            std::vector<OleVariant> e = v.Elements();
            seen.push_back(std::to_string(e[1].AsInteger()) + " " + std::to_string(e[5].AsInteger()));
            deliveredInCall = inCall;
            delete static_cast<TAnyMaster*>(sender);
            m = nullptr;
        };
        Enrol(*m);
        inCall = true;
        m->SendQuery(OleVariant::Array({4, 77, 0, 0, 18, 1}));  // no channel: answered at once, code 3
        inCall = false;
        ASSERT_EQ(Srv("release <pid>"), "OK");
        ASSERT_TRUE(PumpUntil([&] { return !seen.empty(); }));
        EXPECT_EQ(seen, std::vector<std::string>{"77 3"});
        EXPECT_EQ(deliveredInCall, std::string(delivery) == "inside");
        EXPECT_EQ(m, nullptr);
        EXPECT_TRUE(PumpUntil([] { return Calls('M').size() >= 1 && Calls('M').back() == "destroy"; }));
    }
}

TEST_F(ProxyTest, FailureStatusOfTheServerIsRaised)
{
    TAnyMaster m(nullptr);
    try {
        m.SendQuery(OleVariant::Array({4, 1}));  // too short for a request
        FAIL() << "no error";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode, E_INVALIDARG);
    }
}

// A failure carries the description of its own server, or none: never one left by an earlier,
// unrelated failure. (This Wine does not carry error objects between processes, so the test puts
// on this thread what the channel would deliver; the object's answer to ISupportErrorInfo is real.)
TEST_F(ProxyTest, FailureCarriesOnlyItsOwnServersDescription)
{
    auto failure = [&](const wchar_t* leftOnThread) {
        TAnyTransport t(nullptr);  // an object answers QueryInterface alike all its life: a new one each
        Enrol(t);
        ICreateErrorInfo* c = nullptr;
        IErrorInfo* e = nullptr;
        if (SUCCEEDED(CreateErrorInfo(&c))) {
            c->SetDescription(const_cast<LPOLESTR>(leftOnThread));
            c->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&e));
            c->Release();
        }
        SetErrorInfo(0, e);
        if (e) e->Release();
        try {
            t.SetSettings(OleVariant::Array({0, 1}));  // too short
        } catch (const EOleSysError& x) {
            EXPECT_EQ(x.ErrorCode, E_INVALIDARG);
            return std::string(x.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(failure(L"transport settings: 7 elements expected"), "transport settings: 7 elements expected");
    ASSERT_EQ(Srv("fault <pid> no-error-info"), "OK");
    std::string second = failure(L"left by another call");
    EXPECT_EQ(second.find("left by"), std::string::npos) << second;
    EXPECT_NE(second, "no error");
    IErrorInfo* rest = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &rest), S_FALSE) << "the error object was left for a later failure";
    if (rest) rest->Release();
}

}  // namespace
