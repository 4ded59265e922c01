// The link tests run on the main thread with its real event loop: Qt's on
// Linux, the thread's message loop on Windows.
#include "LinkTestSupport.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    TestHost host(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
