#include "ApdComPort.h"

#include "ApdDispatcher.h"
#include "ApdExceptions.h"
#include "ApdNoticeWindow.h"
#include "ErrorDisplay.h"

TApdCustomComPort::TApdCustomComPort() = default;

TApdCustomComPort::~TApdCustomComPort() {
    if (FPortState == TPortState::PortOpen) DonePort();
    // A close still waiting for a notice is completed here: the threads end
    // and the notice window goes before the component does.
    if (FDispatcher) {
        FDispatcher->ForceStop();
        FinishClose();
    }
}

TDispatcherPtr TApdCustomComPort::CreateDispatcher() {
    // dlWin32 names the platform's own device layer, whichever the build has.
    if (FDeviceLayer != TDeviceLayer::dlWin32) CheckResult(ecode::NullApi);
    return CreatePlatformDispatcher();
}

void TApdCustomComPort::SetComNumber(int number) {
    const auto n = static_cast<std::uint16_t>(number);
    if (FPortState == TPortState::PortOpen && n != FComNumber) {
        DonePort();
        FComNumber = n;
        SetOpen(true); // waits for the close to complete if a notice holds it
        return;
    }
    FComNumber = n;
}

void TApdCustomComPort::ApplyLine() {
    if (FPortState != TPortState::PortOpen || !FDispatcher) return;
    CheckResult(FDispatcher->SetLine(FBaud, static_cast<int>(FParity), FStopBits, FDataBits));
}

void TApdCustomComPort::SetBaud(std::int32_t baud) {
    FBaud = baud;
    ApplyLine();
}

void TApdCustomComPort::SetParity(TParity parity) {
    FParity = parity;
    ApplyLine();
}

void TApdCustomComPort::SetDataBits(std::uint16_t bits) {
    FDataBits = bits;
    ApplyLine();
}

void TApdCustomComPort::SetStopBits(std::uint16_t bits) {
    FStopBits = bits;
    ApplyLine();
}

void TApdCustomComPort::SetDTR(bool raised) {
    FDTR = raised;
    if (FPortState == TPortState::PortOpen) CheckResult(FDispatcher->SetDTR(raised));
}

void TApdCustomComPort::SetRTS(bool raised) {
    FRTS = raised;
    if (FPortState == TPortState::PortOpen) CheckResult(FDispatcher->SetRTS(raised));
}

void TApdCustomComPort::SetOpen(bool open) {
    if (open == FOpen) return;
    if (!open) {
        DonePort();
        return;
    }
    if (FPortState == TPortState::PortClosing) {
        FOpenPending = true;
        return;
    }
    InitPort();
}

void TApdCustomComPort::InitPort() {
    // No port-select dialog in this program: a port must be chosen first.
    if (FComNumber == 0) CheckResult(ecode::NoPortSelected);
    FDispatcher = CreateDispatcher();
    try {
        const std::string device =
            FDevicePath.empty() ? "\\\\.\\COM" + std::to_string(FComNumber) : FDevicePath;
        int rc = FDispatcher->OpenCom(device, FBaud, FRTS, FDTR, FOutSize, FInSize, FStopBits,
                                      FDataBits, static_cast<int>(FParity));
        if (rc == ecode::AccessDenied) rc = ecode::AlreadyOpen;
        if (rc == ecode::FileNotFound || rc == ecode::PathNotFound) rc = ecode::BadId;
        CheckResult(rc);
        FPortState = TPortState::PortOpen;
        FDispatcher->SetHandlerFlags(static_cast<bool>(OnTriggerAvail));
        FDispatcher->SetAvailThreshold(FAvailThreshold);
        CheckResult(FDispatcher->SetDTR(FDTR));
        CheckResult(FDispatcher->SetRTS(FRTS));
        FOpen = true;
        FNoticeWindow = TApdNoticeWindow::Create(*this);
        FDispatcher->RegisterNoticeWindow(FNoticeWindow.get());
        if (FTriggersSaved) FDispatcher->SetAvailThreshold(FSavedThreshold);
    } catch (...) {
        FinishClose(); // closes the device and ends its threads
        FOpen = false;
        throw;
    }
}

void TApdCustomComPort::DonePort() {
    FOpen = false;
    if (FPortState != TPortState::PortOpen) return;
    FPortState = TPortState::PortClosing;
    FSavedThreshold = FDispatcher->AvailThreshold();
    FTriggersSaved = true;
    if (FDispatcher->CloseCom()) {
        // A notice is being delivered: the dispatch thread finishes the close
        // after the handler returns, and CloseComplete completes it here.
        FNoticeWindow->PostCloseComplete();
        return;
    }
    FinishClose();
}

void TApdCustomComPort::FinishClose() {
    if (FDispatcher && FNoticeWindow) FDispatcher->DeregisterNoticeWindow(FNoticeWindow.get());
    // A handler of this port may still be on the stack: the notice window
    // then keeps itself and the dispatcher until it has returned.
    TApdNoticeWindow::Dispose(std::move(FNoticeWindow), std::move(FDispatcher));
    FPortState = TPortState::PortClosed;
}

void TApdCustomComPort::HandleCloseComplete() {
    if (FPortState != TPortState::PortClosing || !FDispatcher) return;
    if (FDispatcher->ThreadsActive()) {
        FNoticeWindow->PostCloseComplete(5);
        return;
    }
    // The close completes when the outermost delivery has returned.
    if (FNoticeWindow->Delivering()) {
        FNoticeWindow->PostCloseCompleteWhenIdle();
        return;
    }
    FinishClose();
    if (FOpenPending) {
        FOpenPending = false;
        try {
            InitPort();
        } catch (const std::exception& e) {
            ShowApplicationError(e.what());
        }
    }
}

void TApdCustomComPort::EnsureDispatcher() {
    if (!FDispatcher && FAutoOpen) SetOpen(true);
    if (!FDispatcher) CheckResult(ecode::CommNotOpen);
}

void TApdCustomComPort::WriteString(const std::string& text) {
    if (FPortState == TPortState::PortClosing) return;
    EnsureDispatcher();
    CheckResult(FDispatcher->PutBlock(text.data(), text.size()));
}

char TApdCustomComPort::ReadChar() {
    if (FPortState == TPortState::PortClosing) return '\0';
    EnsureDispatcher();
    char c = '\0';
    CheckResult(FDispatcher->GetChar(c));
    return c;
}

void TApdCustomComPort::TriggerAvail(std::uint16_t count) {
    if (OnTriggerAvail) OnTriggerAvail(*this, count);
}
