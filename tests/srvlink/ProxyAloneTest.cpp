// Proxy cases that need the stand-in to treat the next object it makes differently, or that
// use the machine-wide table of running objects: this program's tests run alone.
#include <algorithm>

#include "SrvTestSupport.h"

using namespace srvtest;

namespace {

int LiveObjects() { return atoi(Srv("objects").c_str() + 3); }

TEST_F(SrvTest, RunningObjectIsAttachedInsteadOfANewOne)
{
    ASSERT_EQ(Srv("next run"), "OK");
    IUnknown* running = nullptr;
    ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(orlent::CLSID_AnyTransport, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                              reinterpret_cast<void**>(&running)));
    std::string name = Srv("last").substr(3);
    int live = LiveObjects();
    {
        TAnyTransport proxy(nullptr);
        proxy.Connect();
        EXPECT_EQ(LiveObjects(), live);
        EXPECT_EQ(Srv("last").substr(3), name);
        orlent::IAnyTransport* intf = proxy.DefaultInterface();
        IUnknown* a = nullptr;
        IUnknown* b = nullptr;
        intf->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
        running->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
        EXPECT_EQ(a, b) << "one object, one identity";
        a->Release();
        b->Release();
        intf->Release();
    }
    running->Release();
    // Gone from the running table with its last client: the next proxy makes a new object.
    TAnyTransport next(nullptr);
    next.Connect();
    EXPECT_NE(Srv("last").substr(3), name);
}

TEST_F(SrvTest, ObjectWithoutEventPointIsUsedWithoutEvents)
{
    ASSERT_EQ(Srv("next no-events"), "OK");
    TComponent owner(nullptr);
    auto* t = new TTestTransport(&owner);
    int changes = 0;
    t->OnChangeConnected = [&](TObject*, bool) { ++changes; };
    t->SetLiveChannel(true);  // COM1 of the prefix: the server answers with a state event
    ASSERT_NE(t->Proxy(), nullptr);
    Pump(500);
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(t->LiveChannel());
    std::vector<std::string> calls = Calls('T');
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "advise"), 0);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "SetChannelOpen -1"), 1);
}

TEST_F(SrvTest, ObjectWithoutDefaultInterfaceFailsConnect)
{
    ASSERT_EQ(Srv("next no-default"), "OK");
    int live = LiveObjects();
    TAnyMaster m(nullptr);
    EXPECT_THROW(m.Connect(), EOleSysError);
    EXPECT_TRUE(PumpUntil([&] { return LiveObjects() == live; })) << "the object is let go";
    TComponent owner(nullptr);
    auto* master = new TTestMaster(&owner);
    ASSERT_EQ(Srv("next no-default"), "OK");
    master->SetChannelID(3);
    EXPECT_EQ(master->Proxy(), nullptr);
    EXPECT_EQ(master->ChannelID(), 3);
}

}  // namespace
