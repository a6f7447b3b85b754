// The master base: it connects with its transport's channel and goes with it, sends its
// settings on connection, hands replies to the clients of their request id, and is handed the
// channel id under its lock.
#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "SrvTestSupport.h"
#include "TestInstrument.h"

using namespace srvtest;
using tovik::testing::TestInstrument;

namespace {

class MasterTest : public SrvTest {
protected:
    void SetUp() override
    {
        SrvTest::SetUp();
        Owner = std::make_unique<TComponent>(nullptr);
        T = new TTestTransport(Owner.get());
        M = new TTestMaster(Owner.get());
    }
    void Open()
    {
        Inst = std::make_unique<TestInstrument>();
        ASSERT_TRUE(Inst->Ok()) << Inst->Error();
        T->Port = Inst->PortName();
        T->SetLiveChannel(true);
        ASSERT_TRUE(PumpUntil([&] { return T->LiveChannel(); }));
    }
    std::unique_ptr<TestInstrument> Inst;
    std::unique_ptr<TComponent> Owner;
    TTestTransport* T = nullptr;
    TTestMaster* M = nullptr;
};

TEST_F(MasterTest, AttachedToAnOpenChannelConnectsSendsSettingsAndGetsReplies)
{
    Open();
    M->Address = 7;
    M->SetTransport(T);
    ASSERT_NE(M->Proxy(), nullptr);
    EXPECT_EQ(M->ChannelID(), T->ChannelID());
    std::string id = std::to_string(T->ChannelID());
    std::vector<std::string> calls = Calls('M');
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(calls.begin() + 2, calls.begin() + 5),
              (std::vector<std::string>{"RegisterClient " + Pid(),
                                        "SetSettings [i4 0, i4 7, i4 0, i4 0, i4 1, bool true, bool false]",
                                        "SetChannel " + id}));
    ASSERT_EQ(Srv("fault <pid> result 5"), "OK");
    M->Query(12);
    ASSERT_TRUE(PumpUntil([&] { return !M->Replies.empty(); }));
    std::vector<OleVariant> reply = M->Replies[0].Elements();
    ASSERT_EQ(reply.size(), 6u);
    EXPECT_EQ(reply[1].AsInteger(), 12);
    EXPECT_EQ(M->LastResult(), 5);
}

TEST_F(MasterTest, ReadsRegistersThroughTheChannel)
{
    Inst = std::make_unique<TestInstrument>("--reg i:4=321");
    ASSERT_TRUE(Inst->Ok()) << Inst->Error();
    T->Port = Inst->PortName();
    M->SetTransport(T);
    T->SetLiveChannel(true);
    ASSERT_TRUE(PumpUntil([&] { return M->Proxy() != nullptr; }));
    M->Proxy()->SendQuery(OleVariant::Array({4, 1000, 0, 4, 18, 1}));
    ASSERT_TRUE(PumpUntil([&] { return !M->Replies.empty(); }));
    std::vector<OleVariant> reply = M->Replies[0].Elements();
    EXPECT_EQ(reply[1].AsInteger(), 1000);
    EXPECT_EQ(reply[2].AsInteger(), 1);
    EXPECT_EQ(reply[3].AsInteger(), 4);
    EXPECT_EQ(reply[4].AsInteger(), 321);
    EXPECT_EQ(reply[5].AsInteger(), 0);
}

TEST_F(MasterTest, SameIdOrNoProxyMakeNoServerCall)
{
    M->SetChannelID(-1);  // its id already
    T->SetChannelID(-1);
    M->SetTransport(T);
    EXPECT_EQ(M->Proxy(), nullptr);
    EXPECT_TRUE(Log().empty());
}

// A transport whose server is out of reach hands over an id: the master keeps the id, has no
// proxy, and its settings still go through ApplySettings (which sends nothing then).
TEST_F(MasterTest, UnreachableServerKeepsTheIdWithoutProxy)
{
    T->SetRemoteMachineName("NO-SUCH-MACHINE-HERE");
    T->SetUseDCOM(true);
    M->SetTransport(T);
    int applied = M->ApplyCalls;
    T->SetChannelID(42);
    EXPECT_EQ(M->ChannelID(), 42);
    EXPECT_EQ(M->Proxy(), nullptr);
    EXPECT_EQ(M->ApplyCalls, applied + 1);
    M->EndUpdate();  // without BeginUpdate it still applies
    EXPECT_EQ(M->ApplyCalls, applied + 2);
}

TEST_F(MasterTest, TransportHoldsTheMasterLockWhileHandingOverTheId)
{
    M->SetTransport(T);
    std::atomic<bool> taken{false}, takenDuringHandOver{true};
    std::thread other;
    M->OnApply = [&] {
        if (other.joinable()) return;
        other = std::thread([&] {
            M->LockMaster();
            taken = true;
            M->UnlockMaster();
        });
        Sleep(100);
        takenDuringHandOver = taken.load();
    };
    Open();
    other.join();
    EXPECT_FALSE(takenDuringHandOver);
    EXPECT_TRUE(taken);
}

TEST_F(MasterTest, TransportDestroyedUnderItsMaster)
{
    M->SetTransport(T);
    Open();
    ASSERT_NE(M->Proxy(), nullptr);
    delete T;
    T = nullptr;
    EXPECT_EQ(M->Transport(), nullptr);
    EXPECT_EQ(M->ChannelID(), -1);
    EXPECT_EQ(M->Proxy(), nullptr);
    std::vector<std::string> calls = Calls('M');
    auto at = std::find(calls.begin(), calls.end(), "SetChannel -1");
    ASSERT_NE(at, calls.end());
    ASSERT_NE(at + 1, calls.end());
    EXPECT_EQ(at[1], "UnregisterClient " + Pid());
}

TEST_F(MasterTest, DesignModeNeverAttaches)
{
    TComponent designer(nullptr);
    designer.SetDesigning(true);
    auto* m = new TTestMaster(&designer);
    m->SetTransport(T);
    EXPECT_EQ(m->Transport(), T);
    EXPECT_EQ(T->MasterCount(), 0);
}

// A client registered with the master gets the replies of its request id; others go nowhere.
class RecordingClient : public IAnyMasterClient {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
    void STDMETHODCALLTYPE Exchange(TObject*, int QID, int, int, const OleVariant&, int Result) override
    {
        Got.push_back(QID * 100 + Result);
        if (Throws) throw Exception("client failure");
    }
    ULONG Refs = 1;
    bool Throws = false;
    std::vector<int> Got;
};

TEST_F(MasterTest, RepliesGoToTheClientOfTheirRequestId)
{
    RecordingClient a, b;
    b.Throws = true;
    M->AddClient(&a);
    M->AddClient(&b);
    struct Case {
        int qid, result;
    };
    for (Case c : std::vector<Case>{{0, 3}, {1, 4}, {2, 5}, {-1, 6}}) {
        OleVariant reply = OleVariant::Array({9, c.qid, 1, 65, OleVariant(), c.result});
        EXPECT_NO_THROW(M->DoServerExchange(M, reply));
        EXPECT_EQ(M->LastResult(), c.result);
    }
    EXPECT_EQ(a.Got, std::vector<int>{3});
    EXPECT_EQ(b.Got, std::vector<int>{104});
    delete M;
    M = nullptr;
    EXPECT_EQ(a.Refs, 1u) << "the master lets go of its clients";
}

}  // namespace
