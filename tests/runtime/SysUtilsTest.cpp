#include <gtest/gtest.h>

#include "Classes.h"
#include "SysUtils.h"

TEST(StrictIntegerConversion, AcceptsSignDigitsAndDollarHex)
{
    int32_t v = 0;
    EXPECT_TRUE(TryStrToInt("12", v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(TryStrToInt("-7", v));
    EXPECT_EQ(v, -7);
    EXPECT_TRUE(TryStrToInt("+7", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(TryStrToInt("$1F", v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(TryStrToInt("$FFFFFFFF", v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(TryStrToInt("2147483647", v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_TRUE(TryStrToInt("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
}

TEST(StrictIntegerConversion, RefusesAnythingElse)
{
    int32_t v = 99;
    for (const char* s : {"", "12a", "a12", "1 2", "12 ", "-", "$", "$G", "2147483648", "1.5",
                          "\xA0" "5", "5\xA0", "$100000000"}) {
        EXPECT_FALSE(TryStrToInt(s, v)) << s;
        EXPECT_EQ(v, 99) << s;
    }
    EXPECT_EQ(StrToIntDef("x", 5), 5);
    try {
        StrToInt("12a");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'12a' is not a valid integer value");
    }
}

namespace {
struct Probe : TComponent {
    using TComponent::TComponent;
    std::vector<TComponent*> removed;
    int* deaths = nullptr;
    ~Probe() override
    {
        if (deaths) ++*deaths;
    }
    void Notification(TComponent* c, TOperation op) override
    {
        TComponent::Notification(c, op);
        if (op == opRemove) removed.push_back(c);
    }
};
}  // namespace

TEST(Component, OwnerFreesWhatItOwnsAndNoticesReachHolders)
{
    int deaths = 0;
    auto* owner = new Probe(nullptr);
    auto* a = new Probe(owner);
    auto* b = new Probe(owner);
    a->deaths = b->deaths = &deaths;
    a->SetName("Alpha");
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(owner->FindComponent("ALPHA"), a);

    Probe holder(nullptr);
    holder.FreeNotification(b);
    delete b;
    ASSERT_EQ(holder.removed.size(), 1u);
    EXPECT_EQ(holder.removed[0], b);
    EXPECT_EQ(owner->ComponentCount(), 1);
    delete owner;
    EXPECT_EQ(deaths, 2);
}

TEST(StringList, NameValuePairsAndText)
{
    TStringList l;
    l.SetText("a=1\r\nB=two\nplain\r");
    ASSERT_EQ(l.Count(), 3);
    EXPECT_EQ(l.Values("b"), "two");
    EXPECT_EQ(l.Names(2), "");
    EXPECT_EQ(l.IndexOf("PLAIN"), 2);
    EXPECT_EQ(l.Text(), "a=1\r\nB=two\r\nplain\r\n");
}
