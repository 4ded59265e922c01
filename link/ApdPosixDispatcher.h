#pragma once
// The device layer for POSIX terminals (termios and poll), standing in for the
// Windows one. COM n is /dev/ttyS{n-1}, or the path in ORVIX_COMn.
#include "ApdDispatcher.h"

#include <atomic>

class TApdPosixDispatcher : public TApdBaseDispatcher {
  public:
    using TApdBaseDispatcher::TApdBaseDispatcher;
    ~TApdPosixDispatcher() override;

    // "COM3" becomes its device path; anything else is taken as a path.
    static std::string DevicePath(const std::string& device);
    // Opens a terminal exclusively; a descriptor, or a negative result code.
    static int OpenExclusive(const std::string& path);

  protected:
    int DeviceOpen(const std::string& device) override;
    void DeviceClose() override;
    bool DeviceIsOpen() const override { return Fd >= 0; }
    int DeviceGetLine(TLineSettings& line) override;
    int DeviceSetLine(const TLineSettings& line) override;
    void DeviceSetModemLines(bool dtr, bool rts) override;
    int DeviceRead(char* buffer, int size) override;
    int DeviceWrite(const char* data, int length) override;
    void DeviceDrainWriteWake() override;
    void DeviceWakeWrite() override;
    bool DeviceWaitEvent(std::uint32_t& events) override;
    void DeviceWakeEvent() override;
    void DeviceFlush(bool output, bool input) override;

  private:
    std::atomic<int> Fd{-1};
    std::atomic<int> EventWake{-1}; // ends the event wait (a close)
    std::atomic<int> WriteWake{-1}; // ends a wait for room to write (a flush)
    // Set once the device hung up: it is no longer polled, so a vanished
    // device cannot keep the event wait returning.
    std::atomic<bool> HungUp{false};
};
