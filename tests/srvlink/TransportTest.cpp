// The transport base against the stand-in server: the channel follows the server's state events
// only, the masters get the channel id, the proxy comes and goes with the channel.
#include <functional>
#include <memory>

#include "SrvTestSupport.h"
#include "TestInstrument.h"

using namespace srvtest;
using tovik::testing::TestInstrument;

namespace {

class TransportTest : public SrvTest {
protected:
    void SetUp() override
    {
        SrvTest::SetUp();
        Owner = std::make_unique<TComponent>(nullptr);
        T = new TTestTransport(Owner.get());
        T->OnChangeConnected = [this](TObject*, bool on) { Connected.push_back(on); };
        T->OnStateChanged = [this](TObject*, int o, int n, const std::string& msg) {
            States.push_back(std::to_string(o) + ">" + std::to_string(n) + (msg.empty() ? "" : " " + msg));
        };
        M = new TTestMaster(Owner.get());
        M->SetTransport(T);
    }
    // Opens the channel on the instrument's port and waits for the server's answer.
    void Open()
    {
        if (!Inst) Inst = std::make_unique<TestInstrument>();
        ASSERT_TRUE(Inst->Ok()) << Inst->Error();
        T->Port = Inst->PortName();
        T->SetLiveChannel(true);
        ASSERT_TRUE(PumpUntil([&] { return T->LiveChannel(); }));
        ASSERT_TRUE(PumpUntil([&] { return M->Proxy() != nullptr && !Calls('M').empty(); }));
    }
    int Count(char kind, const std::string& call)
    {
        int n = 0;
        for (const std::string& c : Calls(kind)) n += c.rfind(call, 0) == 0;
        return n;
    }
    std::unique_ptr<TestInstrument> Inst;
    std::unique_ptr<TComponent> Owner;
    TTestTransport* T = nullptr;
    TTestMaster* M = nullptr;
    std::vector<bool> Connected;
    std::vector<std::string> States;
};

TEST_F(TransportTest, OpenAndCloseFollowTheStateEvents)
{
    Open();
    int id = T->ChannelID();
    EXPECT_NE(id, -1);
    EXPECT_EQ(M->ChannelID(), id);
    EXPECT_EQ(Connected, std::vector<bool>{true});
    EXPECT_EQ(States, std::vector<std::string>{"0>1"});
    T->SetLiveChannel(false);
    ASSERT_TRUE(PumpUntil([&] { return Connected.size() == 2; }));
    EXPECT_FALSE(Connected[1]);
    EXPECT_FALSE(T->LiveChannel());
    EXPECT_EQ(T->Proxy(), nullptr);
    EXPECT_EQ(M->ChannelID(), -1);
    EXPECT_EQ(M->Proxy(), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return Count('T', "destroy") == 1 && Count('M', "destroy") == 1; }));
    std::string pid = Pid();
    EXPECT_EQ(Calls('T'), (std::vector<std::string>{
                              "create", "advise", "RegisterClient " + pid,
                              "SetSettings [i4 0, str \"" + T->Port + "\", i4 4, i4 0, i4 200, i4 10, i4 1]",
                              "SetChannelOpen -1", "event 0 1 " + std::to_string(id), "SetChannelOpen 0",
                              "event 1 0 -1", "UnregisterClient " + pid, "unadvise", "destroy"}));
    EXPECT_EQ(Calls('M'), (std::vector<std::string>{"create", "advise", "RegisterClient " + pid,
                                                     "SetSettings [i4 0, i4 1, i4 0, i4 0, i4 1, bool true, bool false]",
                                                     "SetChannel " + std::to_string(id), "SetChannel -1",
                                                     "UnregisterClient " + pid, "unadvise", "destroy"}));
}

TEST_F(TransportTest, CurrentValueOrNoServerChangeNothing)
{
    T->SetLiveChannel(false);  // its value already
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(T->Proxy(), nullptr);

    // A server that cannot be reached, and one that refuses the registration.
    T->SetRemoteMachineName("NO-SUCH-MACHINE-HERE");
    T->SetUseDCOM(true);
    EXPECT_NO_THROW(T->SetLiveChannel(true));
    T->SetUseDCOM(false);
    T->SetRemoteMachineName("");
    ASSERT_EQ(Srv("fault <pid> refuse-register"), "OK");
    EXPECT_NO_THROW(T->SetLiveChannel(true));
    Pump(300);
    EXPECT_FALSE(T->LiveChannel());
    EXPECT_EQ(T->Proxy(), nullptr);
    EXPECT_TRUE(Connected.empty());
    EXPECT_TRUE(States.empty());
    EXPECT_EQ(Count('T', "RegisterClient"), 1);
    EXPECT_EQ(Count('T', "SetSettings"), 0);
}

TEST_F(TransportTest, OtherStatesOnlyRaiseTheStateEvent)
{
    Open();
    int id = T->ChannelID();
    ASSERT_EQ(Srv("state <pid> 5"), "OK");
    ASSERT_TRUE(PumpUntil([&] { return States.size() == 2; }));
    EXPECT_EQ(States[1], "1>5") << "no text for a state in this system";
    EXPECT_EQ(T->ChannelID(), id);
    EXPECT_TRUE(T->LiveChannel());
    EXPECT_EQ(Connected.size(), 1u);
    EXPECT_EQ(M->ChannelID(), id);
}

TEST_F(TransportTest, SameIdTwiceCallsTheMastersOnceButReportsTwice)
{
    Open();
    ASSERT_EQ(Srv("state <pid> 1"), "OK");  // state 1 again with the same id
    ASSERT_TRUE(PumpUntil([&] { return Connected.size() == 2; }));
    EXPECT_EQ(Connected, (std::vector<bool>{true, true}));
    EXPECT_EQ(Count('M', "SetChannel"), 1);
}

// The server loses the channel: masters to -1, OnChangeConnected(False); the proxy goes unless
// KeepAliveOnDisconnect, and then opening again needs no new connection.
TEST_F(TransportTest, LostChannelWithAndWithoutKeepAlive)
{
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "keep alive" : "no keep alive");
        ASSERT_EQ(Srv("reset <pid>"), "OK");
        Connected.clear();
        T->SetKeepAliveOnDisconnect(keep);
        Open();
        ASSERT_EQ(Srv("lose <pid>"), "OK");
        ASSERT_TRUE(PumpUntil([&] { return Connected.size() == 2; }));
        EXPECT_FALSE(Connected[1]);
        EXPECT_FALSE(T->LiveChannel());
        EXPECT_EQ(T->ChannelID(), -1);
        EXPECT_EQ(M->ChannelID(), -1);
        EXPECT_EQ(M->Proxy(), nullptr);
        EXPECT_EQ(T->Proxy() != nullptr, keep);
        if (keep) {
            int applied = T->Applied;
            T->SetLiveChannel(true);  // linked: settings and open at once, no new registration
            ASSERT_TRUE(PumpUntil([&] { return T->LiveChannel(); }));
            EXPECT_EQ(T->Applied, applied + 1);
            EXPECT_EQ(Count('T', "RegisterClient"), 1);
            EXPECT_EQ(Count('T', "create"), 1);
            T->SetKeepAliveOnDisconnect(false);
            T->SetLiveChannel(false);
            ASSERT_TRUE(PumpUntil([&] { return T->Proxy() == nullptr; }));
        }
    }
}

// Delivered inside SetChannelOpen, the closing event frees the proxy whose call is still out.
TEST_F(TransportTest, EventsInsideTheOutgoingCall)
{
    ASSERT_EQ(Srv("fault <pid> events inside"), "OK");
    Inst = std::make_unique<TestInstrument>();
    ASSERT_TRUE(Inst->Ok()) << Inst->Error();
    T->Port = Inst->PortName();
    T->SetLiveChannel(true);
    EXPECT_TRUE(T->LiveChannel()) << "the open event arrived inside the call";
    EXPECT_NE(M->ChannelID(), -1);
    T->SetLiveChannel(false);
    EXPECT_FALSE(T->LiveChannel());
    EXPECT_EQ(T->Proxy(), nullptr);
    EXPECT_EQ(Connected, (std::vector<bool>{true, false}));
    EXPECT_TRUE(Escaped.empty());
}

// The channel closes inside the settings or the registration, which frees the proxy before
// SetLiveChannel goes on: it then asks for no channel.
TEST_F(TransportTest, ChannelClosedInsideTheSettingsOrTheRegistration)
{
    for (const char* method : {"SetSettings", "RegisterClient"}) {
        SCOPED_TRACE(method);
        ASSERT_EQ(Srv("reset <pid>"), "OK");
        ASSERT_EQ(Srv(std::string("fault <pid> event-in ") + method), "OK");
        Connected.clear();
        T->SetLiveChannel(true);
        EXPECT_FALSE(T->LiveChannel());
        EXPECT_EQ(T->Proxy(), nullptr);
        EXPECT_EQ(Connected, std::vector<bool>{false});
        EXPECT_EQ(Count('T', "SetChannelOpen"), 0);
        EXPECT_EQ(Count('T', "UnregisterClient"), 1);
    }
    EXPECT_TRUE(Escaped.empty());
}

// Once a call finds the server gone, the transport's and the masters' objects are let go without
// another call, whichever of them learns it first: the masters get -1 and the channel is closed.
TEST_F(TransportTest, LostServerGetsNoFurtherCall)
{
    struct Case {
        const char* first;
        std::function<void()> call;
        std::vector<std::string> transportCalls, masterCalls;
    };
    for (const Case& c : std::vector<Case>{
             {"transport", [&] { T->SetLiveChannel(false); }, {"SetChannelOpen 0"}, {}},
             {"master", [&] { M->Query(1); }, {}, {"SendQuery [i4 4, i4 1, i4 0, i4 0, i4 18, i4 1]"}}}) {
        SCOPED_TRACE(c.first);
        ASSERT_EQ(Srv("reset <pid>"), "OK");
        Connected.clear();
        Open();
        size_t t0 = Calls('T').size(), m0 = Calls('M').size();
        ASSERT_EQ(Srv("fault <pid> gone"), "OK");
        EXPECT_THROW(c.call(), EOleSysError);
        EXPECT_EQ(T->Proxy(), nullptr);
        EXPECT_EQ(M->Proxy(), nullptr);
        EXPECT_EQ(M->ChannelID(), -1);
        EXPECT_FALSE(T->LiveChannel());
        EXPECT_EQ(Connected, (std::vector<bool>{true, false}));
        // Letting go of a proxy frees its object without a call of the object's own.
        ASSERT_TRUE(PumpUntil([&] { return Count('T', "destroy") == 1 && Count('M', "destroy") == 1; }));
        std::vector<std::string> t = Calls('T'), m = Calls('M');
        t.assign(t.begin() + long(t0), t.end() - 1);
        m.assign(m.begin() + long(m0), m.end() - 1);
        EXPECT_EQ(t, c.transportCalls);
        EXPECT_EQ(m, c.masterCalls);
    }
}

TEST_F(TransportTest, UseDComReachesAttachedMastersNotTheLiveProxy)
{
    Open();
    TAnyTransport* proxy = T->Proxy();
    T->SetRemoteMachineName("ELSEWHERE");
    T->SetUseDCOM(true);
    EXPECT_EQ(M->ConnectKind(), ckRemote);
    EXPECT_EQ(M->RemoteMachineName(), "ELSEWHERE");
    EXPECT_EQ(T->Proxy(), proxy);
    EXPECT_EQ(proxy->ConnectKind(), ckRunningOrNew);
    T->SetUseDCOM(false);
    EXPECT_EQ(M->ConnectKind(), ckRunningOrNew);
}

TEST_F(TransportTest, EndUpdateAppliesOnlyWhenLocked)
{
    Open();
    int applied = T->Applied;
    T->EndUpdate();
    EXPECT_EQ(T->Applied, applied);
    T->BeginUpdate();
    T->ApplySettings();
    EXPECT_EQ(T->Applied, applied);
    T->EndUpdate();
    EXPECT_EQ(T->Applied, applied + 1);
}

TEST_F(TransportTest, DesignModeNeverContactsTheServer)
{
    TComponent designer(nullptr);
    designer.SetDesigning(true);
    auto* t = new TTestTransport(&designer);
    auto* m = new TTestMaster(Owner.get());
    auto* dlg = new TDlgManager(Owner.get());
    t->SetDlgManager(dlg);
    t->AttachMaster(m);
    t->SetLiveChannel(true);
    Pump(200);
    EXPECT_EQ(t->DlgManager(), dlg);
    EXPECT_EQ(dlg->TransportCount(), 0);
    EXPECT_EQ(t->MasterCount(), 0);
    EXPECT_EQ(t->Proxy(), nullptr);
    EXPECT_TRUE(Log().empty());
}

}  // namespace
