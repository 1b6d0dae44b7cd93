// The entry of the suites that drive the orvela executable from outside: a
// private home first; the accessibility bus is left out of their runs.
#include "tests/integration/Harness.h"

#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    orvela::testing::Harness::prepareEnvironment();
    ::setenv("NO_AT_BRIDGE", "1", 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
