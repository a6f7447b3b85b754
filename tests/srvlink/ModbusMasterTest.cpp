// The Modbus master and the RS-232 transport over the stand-in server and the simulated
// instrument: the settings arrays with their element types, requests, and replies unpacked.
#include <memory>

#include "Dialogs.h"
#include "OrlentComTransports.h"
#include "OrlentModbusMaster.h"
#include "SrvTestSupport.h"
#include "TestInstrument.h"

using namespace srvtest;
using tovik::testing::TestInstrument;

namespace {

struct Reply {
    TObject* sender;
    int qid, addr, fun;
    std::string value;
    int result, lastResult;
};

class ModbusMasterTest : public SrvTest {
protected:
    void SetUp() override
    {
        SrvTest::SetUp();
        Owner = std::make_unique<TComponent>(nullptr);
        RS232 = new TRS232Transport(Owner.get());
        MBM = new TModbusMaster(Owner.get());
        MBM->SetTransport(RS232);
        MBM->OnExchange = [this](TObject* s, int q, int a, int f, OleVariant v, int r) {
            Replies.push_back({s, q, a, f, VarText(v), r, MBM->LastResult()});
        };
    }
    void Open(const std::string& options = "")
    {
        Inst = std::make_unique<TestInstrument>(options);
        ASSERT_TRUE(Inst->Ok()) << Inst->Error();
        RS232->SetPort(Inst->PortName());
        RS232->SetLiveChannel(true);
        ASSERT_TRUE(PumpUntil([&] { return MBM->Proxy() != nullptr; }));
    }
    std::vector<std::string> Settings(char kind)
    {
        std::vector<std::string> out;
        for (const std::string& c : Calls(kind))
            if (c.rfind("SetSettings ", 0) == 0) out.push_back(c.substr(12));
        return out;
    }
    std::vector<std::string> Queries()
    {
        std::vector<std::string> out;
        for (const std::string& c : Calls('M'))
            if (c.rfind("SendQuery ", 0) == 0) out.push_back(c.substr(10));
        return out;
    }
    std::unique_ptr<TestInstrument> Inst;
    std::unique_ptr<TComponent> Owner;
    TRS232Transport* RS232 = nullptr;
    TModbusMaster* MBM = nullptr;
    std::vector<Reply> Replies;
};

TEST_F(ModbusMasterTest, NewComponentsSendTheirFirstSettings)
{
    Open();
    EXPECT_EQ(Settings('T'), std::vector<std::string>{"[ui1 0, str \"" + Inst->PortName() +
                                                      "\", ui4 4, ui4 0, i4 500, i4 10, i4 10]"});
    EXPECT_EQ(Settings('M'), std::vector<std::string>{"[ui1 0, i4 1, ui1 0, ui1 0, i4 10, bool true, bool false]"});
}

TEST_F(ModbusMasterTest, SettersSendEveryTimePropsOnce)
{
    MBM->SetDeviceAddress(9);  // no proxy yet: only stored
    Open();
    ASSERT_EQ(Settings('M').size(), 1u);
    EXPECT_EQ(Settings('M')[0], "[ui1 0, i4 9, ui1 0, ui1 0, i4 10, bool true, bool false]");
    MBM->SetDeviceAddress(9);
    MBM->SetDeviceAddress(9);
    EXPECT_EQ(Settings('M').size(), 3u) << "the same value is sent again";
    MBM->SetProps(OleVariant::Array({5, 1, 2}));
    ASSERT_EQ(Settings('M').size(), 4u);
    EXPECT_EQ(Settings('M')[3], "[ui1 0, i4 5, ui1 1, ui1 2, i4 10, bool true, bool false]");
    EXPECT_EQ(VarText(MBM->GetProps()), "[i4 5, ui1 1, ui1 2]");
    EXPECT_THROW(MBM->SetProps(OleVariant::Array({"x", 0, 0})), EOleSysError);
    EXPECT_EQ(Settings('M').size(), 5u) << "the lock is released after a failed conversion";

    RS232->SetSpeed(cts600);
    RS232->SetSpeed(cts115200);
    std::vector<std::string> t = Settings('T');
    ASSERT_EQ(t.size(), 3u);
    EXPECT_NE(t[1].find("ui4 8, "), std::string::npos) << t[1];
    EXPECT_NE(t[2].find("ui4 7, "), std::string::npos) << t[2];
}

TEST_F(ModbusMasterTest, RequestsReachTheInstrumentAndRepliesAreUnpacked)
{
    Open("--device " + TestInstrument::Source("config/rs20.ini") + " --records " +
         TestInstrument::Source("config/rs20-records.txt") + " --reg i:17=4242");
    MBM->QueryInput(1000, 0, 17, OleVariant(18), 1, 0);
    MBM->QueryArchive(2, 1, 1, 1, OleVariant::Array({19, 18, 19}), 77);
    MBM->QueryHolding(3, 0, 0, OleVariant(18), 1, 0);
    ASSERT_TRUE(PumpUntil([&] { return Replies.size() == 3; }));
    EXPECT_EQ(Queries(), (std::vector<std::string>{"[ui1 4, i4 1000, i4 0, i4 17, i4 18, i4 1]",
                                                    "[ui1 9, i4 2, i4 1, i4 1, i4 1, [i4 19, i4 18, i4 19]]",
                                                    "[ui1 2, i4 3, i4 0, i4 0, i4 18, i4 1]"}));
    EXPECT_EQ(Replies[0].sender, MBM);
    EXPECT_EQ(Replies[0].qid, 1000);
    EXPECT_EQ(Replies[0].addr, 1);
    EXPECT_EQ(Replies[0].fun, 4);
    EXPECT_EQ(Replies[0].value, "i4 4242");
    EXPECT_EQ(Replies[0].result, 0);
    // Record index 1 of archive 1: 2026-01-01 00:10 UTC, parameter 2, value -1.
    EXPECT_EQ(Replies[1].value, "[i4 1767226200, i4 2, i4 -1]");
    EXPECT_EQ(Replies[1].fun, 0x41);
    EXPECT_EQ(Replies[2].result, 0);
}

TEST_F(ModbusMasterTest, FailedRequestsComeBackWithTheirCode)
{
    Open();  // a device with no archives: the archive request gets an exception reply
    MBM->QueryArchive(4, 1, 1, 0, OleVariant::Array({19, 18, 19}), 0);
    ASSERT_TRUE(PumpUntil([&] { return Replies.size() == 1; }));
    EXPECT_EQ(Replies[0].qid, 4);
    EXPECT_EQ(Replies[0].result, 12);
    EXPECT_EQ(Replies[0].lastResult, 12) << "LastResult is stored before OnExchange";
    MBM->SetDeviceAddress(33);  // nobody answers there
    MBM->QueryInput(5, 0, 0, OleVariant(18), 1, 0);
    ASSERT_TRUE(PumpUntil([&] { return Replies.size() == 2; }, 20000));
    EXPECT_EQ(Replies[1].result, 1);
}

TEST_F(ModbusMasterTest, NothingIsSentBeforeTheChannelIsOpen)
{
    MBM->QueryInput(1, 0, 0, OleVariant(18), 1, 0);
    MBM->QueryArchive(1, 1, 1, 0, OleVariant(), 0);
    Pump(200);
    EXPECT_TRUE(Replies.empty());
    EXPECT_TRUE(Log().empty());
}

TEST_F(ModbusMasterTest, ReplyArrayIsUnpackedWhateverItsFirstElement)
{
    OleVariant reply = OleVariant::Array({"anything", 7, 1, 3, OleVariant::Array({1, 2}), 0});
    MBM->DoServerExchange(MBM, reply);
    ASSERT_EQ(Replies.size(), 1u);
    EXPECT_EQ(Replies[0].sender, MBM);
    EXPECT_EQ(Replies[0].qid, 7);
    EXPECT_EQ(Replies[0].addr, 1);
    EXPECT_EQ(Replies[0].fun, 3);
    EXPECT_EQ(Replies[0].value, "[i4 1, i4 2]");
    EXPECT_EQ(Replies[0].lastResult, 0);
}

// ---- the serial transports ------------------------------------------------------------------

TEST(ComTransportTest, PortNamesAcceptedAndRefused)
{
    TDialogScript dialogs;
    TRS232Transport t(nullptr);
    struct Case {
        const char* name;
        bool accepted;
    };
    for (Case c : std::vector<Case>{{"com7", true}, {"COM255", true}, {"COM0", false}, {"COM256", false},
                                    {"COM", false}, {"CO", false}, {"LPT1", false}, {"COMx", false}}) {
        SCOPED_TRACE(c.name);
        std::string before = t.Port();
        size_t shown = dialogs.Texts().size();
        t.SetPort(c.name);
        EXPECT_EQ(t.Port(), c.accepted ? std::string(c.name) : before);
        EXPECT_EQ(dialogs.Texts().size(), shown + (c.accepted ? 0 : 1));
    }
    ASSERT_FALSE(dialogs.Texts().empty());
    EXPECT_EQ(dialogs.Texts().back(), "Неверно задан параметр!");
}

TEST(ComTransportTest, NewTransportPropsAndSetPropsWithoutChecks)
{
    TDialogScript dialogs;
    TRS232Transport t(nullptr);
    EXPECT_EQ(t.DisplayName(), "RS232");
    EXPECT_EQ(VarText(t.GetProps()), "[ui1 0, str \"COM1\", ui1 4, ui1 0, i4 500, i4 10, i4 10, str \"\", bool false]");
    t.SetProps(OleVariant::Array({0, "XYZ", 8, 1, 700, 20, 3, "HOST", true}));
    EXPECT_TRUE(dialogs.Texts().empty());
    EXPECT_EQ(VarText(t.GetProps()), "[ui1 0, str \"XYZ\", ui1 8, ui1 1, i4 700, i4 20, i4 3, str \"HOST\", bool true]");
    EXPECT_EQ(t.ConnectKind(), ckRemote);
}

TEST(ComTransportTest, StoredFormLeavesOutDefaultsAndAnswerDelay1000ReadsBackAs500)
{
    TDialogScript dialogs;
    TRS232Transport t(nullptr);
    t.SetAnswerDelay(1000);
    t.SetSpeed(cts600);
    t.SetPort("COM3");
    std::string stored = t.StoreProperties();
    EXPECT_EQ(stored, "Port=COM3\r\nSpeed=8\r\n");
    TRS232Transport back(nullptr);
    back.LoadProperties(stored);
    EXPECT_EQ(back.AnswerDelay(), 500);
    EXPECT_EQ(back.Speed(), cts600);
    EXPECT_EQ(back.Port(), "COM3");
    back.LoadProperties("Port=LPT1\r\n");
    EXPECT_EQ(back.Port(), "COM3");
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Неверно задан параметр!"});
}

}  // namespace
