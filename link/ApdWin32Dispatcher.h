#pragma once
// The device layer for Windows: the Win32 serial interface with overlapped
// input and output. COM n is "\\.\COMn".
#include "ApdDispatcher.h"

#include <windows.h>

class TApdWin32Dispatcher : public TApdBaseDispatcher {
  public:
    TApdWin32Dispatcher();

  protected:
    ~TApdWin32Dispatcher() override;
    int DeviceOpen(const std::string& device) override;
    void DeviceClose() override;
    bool DeviceIsOpen() const override { return Device != INVALID_HANDLE_VALUE; }
    int DeviceSetQueues(int inSize, int outSize) override;
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
    void WaitForDispatchThreadEnd() override;
    void DeviceDispatchThreadEnding() override;

  private:
    HANDLE Device = INVALID_HANDLE_VALUE;
    // One per overlapped operation, made at each open: reads on the dispatch
    // thread, writes on the output thread, the event wait on the event thread.
    OVERLAPPED ReadOv{}, WriteOv{}, WaitOv{};
    // These live as long as this object, so a close can always signal them.
    const HANDLE WakeEvent;      // a close: ends the event wait, for good
    const HANDLE FlushEvent;     // a flush: ends a write's wait
    const HANDLE DispatchEnding; // the dispatch thread is ending
    WORD InQueue = 4096;         // the XOFF limit follows the driver's receive queue
    // The modem lines as the driver reports them at open and after their events.
    DWORD ModemStatus = 0;
};
