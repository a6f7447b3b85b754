// The mouse pointer is one for every program on the display, and the skin's hot looks follow it.
// The skin tests run one at a time (a ctest resource lock), on a display and a Wine desktop of
// their own (scripts/test, scripts/prefix-setup), and each starts and ends with the pointer parked
// in the screen's far corner, away from every test window.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

class ParkedPointer : public ::testing::Environment {
public:
    void SetUp() override { Park(); }
    void TearDown() override { Park(); }

private:
    static void Park() { SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1); }
};

const auto* const kParked = ::testing::AddGlobalTestEnvironment(new ParkedPointer);

}  // namespace
