// The dialog link keeps the transports that name it, across manager changes and removals.
#include <memory>

#include "SrvTestSupport.h"

using namespace srvtest;

namespace {

TEST(DlgManagerTest, ListFollowsManagerChangesAndRemovals)
{
    TComponent owner(nullptr);
    auto* first = new TDlgManager(&owner);
    auto* second = new TDlgManager(&owner);
    auto* master = new TTestMaster(&owner);
    auto* a = new TTestTransport(&owner);
    auto* b = new TTestTransport(&owner);
    first->SetMaster(master);
    first->SetMaster(master);
    a->SetDlgManager(first);
    b->SetDlgManager(first);
    ASSERT_EQ(first->TransportCount(), 2);
    a->SetDlgManager(second);
    EXPECT_EQ(first->TransportCount(), 1);
    EXPECT_EQ(first->Transports(0), b);
    ASSERT_EQ(second->TransportCount(), 1);
    EXPECT_EQ(second->Transports(0), a);
    delete b;
    EXPECT_EQ(first->TransportCount(), 0);
    delete master;
    EXPECT_EQ(first->Master(), nullptr);
    delete second;
    EXPECT_EQ(a->DlgManager(), nullptr);
    a->SetDlgManager(first);
    EXPECT_EQ(first->TransportCount(), 1);
}

TEST(DlgManagerTest, DesignModeKeepsTheListEmpty)
{
    TComponent designer(nullptr);
    designer.SetDesigning(true);
    auto* dlg = new TDlgManager(&designer);
    TComponent owner(nullptr);
    auto* t = new TTestTransport(&owner);
    dlg->AddTransport(t);
    EXPECT_EQ(dlg->TransportCount(), 0);
}

}  // namespace
