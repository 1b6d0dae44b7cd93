// The entry of the test suites that open windows: a private home first, then GTK.
#include "tests/integration/Harness.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

int main(int argc, char** argv) {
    orvela::testing::Harness::prepareEnvironment();
    gtk_init(&argc, &argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
