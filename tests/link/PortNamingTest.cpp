// COM port names and the devices behind them.
#include "PortNaming.h"

#include <cstdlib>
#include <gtest/gtest.h>

TEST(PortNaming, NamesAndDevicesOfComPorts) {
    const std::pair<const char*, std::optional<int>> names[] = {{"COM3", 3},
                                                                {"com12", 12},
                                                                {"\\\\.\\COM2", 2},
                                                                {"COM0", std::nullopt},
                                                                {"COM01", std::nullopt},
                                                                {"COM", std::nullopt},
                                                                {"COMx", std::nullopt},
                                                                {"/dev/ttyS0", std::nullopt},
                                                                {"COM1234", std::nullopt}};
    for (const auto& [name, number] : names)
        EXPECT_EQ(ComPortNumber(name), number) << name;
#ifdef _WIN32
    EXPECT_EQ(DeviceOfComPort(12), "\\\\.\\COM12");
    EXPECT_EQ(ComPortVariableSet(1), "");
#else
    unsetenv("ORVIX_COM2");
    EXPECT_EQ(DeviceOfComPort(2), "/dev/ttyS1");
    EXPECT_EQ(ComPortVariableSet(2), "");
    setenv("ORVIX_COM2", "/dev/ttyUSB0", 1);
    EXPECT_EQ(DeviceOfComPort(2), "/dev/ttyUSB0");
    EXPECT_EQ(ComPortVariableSet(2), "ORVIX_COM2");
    unsetenv("ORVIX_COM2");
#endif
}
