#pragma once
// The serial port component: one COM port as an object. It opens the port by
// number, queues text for sending and tells the user-interface thread through
// OnTriggerAvail how many received characters wait; ReadChar takes them.
#include "ApdDispatcherFactory.h"
#include "IComPort.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TApdBaseDispatcher;
class TApdNoticeWindow;

enum class TPortState { PortClosed, PortClosing, PortOpen };
enum class TParity { pNone, pOdd, pEven, pMark, pSpace };
enum class TDeviceLayer { dlWin16, dlFossil, dlWin32, dlWinsock };

// Stands for the toolkit's component base: an owner and nothing else we need.
class TApdBaseComponent {
  public:
    virtual ~TApdBaseComponent() = default;
};

class TApdCustomComPort : public TApdBaseComponent, public IComPort {
  public:
    using TTriggerAvailEvent = std::function<void(TApdCustomComPort& cp, std::uint16_t count)>;

    TApdCustomComPort();
    ~TApdCustomComPort() override;
    TApdCustomComPort(const TApdCustomComPort&) = delete;
    TApdCustomComPort& operator=(const TApdCustomComPort&) = delete;

    std::uint16_t ComNumber() const { return FComNumber; }
    void SetComNumber(int number) override;
    // A device to open in place of COM n's own (a path, or "\\.\COM12");
    // empty for COM n's. Taken at the next open.
    const std::string& DevicePath() const { return FDevicePath; }
    void SetDevicePath(const std::string& path) { FDevicePath = path; }
    std::int32_t Baud() const { return FBaud; }
    void SetBaud(std::int32_t baud);
    TParity Parity() const { return FParity; }
    void SetParity(TParity parity);
    std::uint16_t DataBits() const { return FDataBits; }
    void SetDataBits(std::uint16_t bits);
    std::uint16_t StopBits() const { return FStopBits; }
    void SetStopBits(std::uint16_t bits);
    std::uint16_t InSize() const { return FInSize; }
    void SetInSize(std::uint16_t size) { FInSize = size; }
    std::uint16_t OutSize() const { return FOutSize; }
    void SetOutSize(std::uint16_t size) { FOutSize = size; }
    bool AutoOpen() const { return FAutoOpen; }
    void SetAutoOpen(bool autoOpen) { FAutoOpen = autoOpen; }
    bool PromptForPort() const { return FPromptForPort; }
    void SetPromptForPort(bool prompt) { FPromptForPort = prompt; }
    bool DTR() const { return FDTR; }
    void SetDTR(bool raised);
    bool RTS() const { return FRTS; }
    void SetRTS(bool raised);
    TDeviceLayer DeviceLayer() const { return FDeviceLayer; }
    void SetDeviceLayer(TDeviceLayer layer) { FDeviceLayer = layer; }

    bool Open() const { return FOpen; }
    void SetOpen(bool open) override;

    void WriteString(const std::string& text) override;
    char ReadChar() override;

    TTriggerAvailEvent OnTriggerAvail;

    TPortState PortState() const { return FPortState; }
    bool OpenPending() const { return FOpenPending; }
    TApdBaseDispatcher* Dispatcher() const { return FDispatcher.get(); }

  protected:
    friend class TApdNoticeWindow;
    // CloseComplete, from the notice window on the user-interface thread.
    void HandleCloseComplete();

    virtual TDispatcherPtr CreateDispatcher();
    virtual void InitPort();
    virtual void DonePort();
    virtual void TriggerAvail(std::uint16_t count);

  private:
    void ApplyLine();
    void EnsureDispatcher();
    void FinishClose();

    std::uint16_t FComNumber = 0;
    std::string FDevicePath;
    std::int32_t FBaud = 19200;
    TParity FParity = TParity::pNone;
    std::uint16_t FDataBits = 8;
    std::uint16_t FStopBits = 1;
    std::uint16_t FInSize = 4096;
    std::uint16_t FOutSize = 4096;
    bool FAutoOpen = true;
    bool FPromptForPort = true;
    bool FDTR = true;
    bool FRTS = true;
    TDeviceLayer FDeviceLayer = TDeviceLayer::dlWin32;

    bool FOpen = false;
    TPortState FPortState = TPortState::PortClosed;
    bool FOpenPending = false;
    TDispatcherPtr FDispatcher;
    std::unique_ptr<TApdNoticeWindow> FNoticeWindow;
    std::uint16_t FAvailThreshold = 1;
    // The trigger settings kept across a close and the next open.
    bool FTriggersSaved = false;
    std::uint16_t FSavedThreshold = 0;
};

class TApdComPort : public TApdCustomComPort {
  public:
    using TApdCustomComPort::TApdCustomComPort;
};
