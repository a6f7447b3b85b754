// Test programs of the server link components run in a single-threaded apartment, as the
// program's GUI thread does.
#include <gtest/gtest.h>

#include "Forms.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    Application->Initialize();
    return RUN_ALL_TESTS();
}
