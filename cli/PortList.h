#pragma once
// The serial devices a UPS could be on, and what stands in the way of each.
// On Linux nothing here opens a device that another program holds, and real
// serial hardware is opened only when sysfs cannot say whether a ttyS has a
// UART (an open toggles its DTR and RTS lines). Windows tells a busy port
// only by refusing an open, so there each port is opened and closed.
#include "PortHolder.h"

#include <optional>
#include <string>
#include <vector>

struct TPortInfo {
    std::string Com;               // "COM1".."COM4" (on Windows any COMn); empty for other devices
    std::string Path;              // the device
    std::string MappedBy;          // "ORVIX_COM1" when that variable chose Path
    std::vector<std::string> ById; // its /dev/serial/by-id names
    bool Exists = false;
    bool Hardware = false;     // false for a missing device or a phantom ttyS
    std::string Driver, UsbId; // "ftdi_sio", "0403:6001"
    std::string AccessProblem; // empty when this user may open it
    std::optional<TPortHolder> Holder;
    std::optional<bool> Exclusive; // known only where looking was harmless
};

// COM1..COM4 first, then every other candidate device.
std::vector<TPortInfo> ListPorts();

// Running programs known to grab USB serial adapters ("ModemManager (pid 812)").
std::vector<std::string> SerialGrabbers();

std::string PortsTable(const std::vector<TPortInfo>& ports);
std::string PortsJson(const std::vector<TPortInfo>& ports);
