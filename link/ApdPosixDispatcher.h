#pragma once
// The device layer for POSIX terminals (termios and poll). COM n is the
// device PortNaming gives it.
#include "ApdDispatcher.h"
#include "PosixPortHolder.h"

#include <atomic>

class TApdPosixDispatcher : public TApdBaseDispatcher {
  public:
    TApdPosixDispatcher();

    // "COM3", or "\\.\COM3" as the port component names it, becomes its
    // device path; anything else is taken as a path.
    static std::string DevicePath(const std::string& device);

  protected:
    ~TApdPosixDispatcher() override;
    int DeviceOpen(const std::string& device) override;
    void DeviceClose() override;
    bool DeviceIsOpen() const override { return Fd >= 0; }
    int DeviceSetQueues(int, int) override { return 0; } // a terminal's queues are fixed
    int DeviceGetLine(TLineSettings& line) override;
    int DeviceSetLine(const TLineSettings& line, bool dtr, bool rts) override;
    void DeviceSetModemLines(bool dtr, bool rts) override;
    int DeviceRead(char* buffer, int size) override;
    int DeviceWrite(const char* data, int length) override;
    void DeviceDrainWriteWake() override;
    void DeviceWakeWrite() override;
    bool DeviceWaitEvent(std::uint32_t& events) override;
    void DeviceWakeEvent() override;
    void DeviceFlush(bool output, bool input) override;

  private:
    // Refuses a device that another process holds; a descriptor, or a
    // negative result code.
    int OpenExclusive(const std::string& path);

    std::atomic<int> Fd{-1};
    // Both live as long as this object, so a close can always signal them.
    const int EventWake; // ends the event wait (a close)
    const int WriteWake; // ends a wait for room to write (a flush)
    TUucpLock Lock;
    bool OwnExclusive = false; // we set the terminal's exclusive mode
    // Set once the device hung up: it is no longer polled, so a vanished
    // device cannot keep the event wait returning.
    std::atomic<bool> HungUp{false};
};
