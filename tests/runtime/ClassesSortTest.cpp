#include <gtest/gtest.h>
#include <windows.h>

#include "Classes.h"

// The program's environment (CMakeLists.txt) gives it a system code page other than 1251: the
// names must still sort as Russian, letter case ignored, ё beside е.
TEST(StringList, SortPutsRussianNamesInRussianOrderUnderAnotherCodePage)
{
    ASSERT_NE(GetACP(), 1251u) << "this test needs a system code page other than 1251";
    TStringList names;
    for (const char* n : {"Яковлев", "ёршов", "Жуков", "абрамов", "Ёлкин", "Щукин", "Авдеев", "елисеев", "шилов",
                          "Ежов", "Эдуардов", "юрьев", "Егоров", "Борисов", "ВАСИЛЬЕВ", "буров"})
        names.Add(n);
    names.Sort();
    std::vector<std::string> order;
    for (int i = 0; i < names.Count(); ++i) order.push_back(names.Strings(i));
    EXPECT_EQ(order, (std::vector<std::string>{"абрамов", "Авдеев", "Борисов", "буров", "ВАСИЛЬЕВ", "Егоров", "Ежов",
                                               "елисеев", "Ёлкин", "ёршов", "Жуков", "шилов", "Щукин", "Эдуардов",
                                               "юрьев", "Яковлев"}));
}
