// Window tests run in a real QApplication on the offscreen platform.
#include "Application.h"

#include <QApplication>
#include <gtest/gtest.h>
#ifdef _WIN32
#include "LinkTestSupport.h"
#endif

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
#ifdef _WIN32
    TestHost host(argc, argv); // sockets for the far end of COM1, plain test listings
#endif
    QApplication app(argc, argv);
    InitializeApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
