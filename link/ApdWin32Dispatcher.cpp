#include "ApdWin32Dispatcher.h"

#include "ApdResultCodes.h"

#include <algorithm>

namespace {

// Received character, CTS, DSR, carrier detect, break, error and ring.
constexpr DWORD EventMask = EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_BREAK | EV_ERR | EV_RING;
static_assert(EventMask == 0x1F9);

int LastError() {
    return -static_cast<int>(GetLastError());
}

HANDLE ManualEvent() {
    return CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

} // namespace

TDispatcherPtr CreatePlatformDispatcher() {
    return TDispatcherPtr(new TApdWin32Dispatcher);
}

TApdWin32Dispatcher::TApdWin32Dispatcher()
    : WakeEvent(ManualEvent()), FlushEvent(ManualEvent()), DispatchEnding(ManualEvent()) {}

TApdWin32Dispatcher::~TApdWin32Dispatcher() {
    if (WakeEvent) CloseHandle(WakeEvent);
    if (FlushEvent) CloseHandle(FlushEvent);
    if (DispatchEnding) CloseHandle(DispatchEnding);
}

int TApdWin32Dispatcher::DeviceOpen(const std::string& device) {
    if (!WakeEvent || !FlushEvent || !DispatchEnding) return ecode::OutOfMemory;
    const HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastError();
    const HANDLE read = ManualEvent(), write = ManualEvent(), wait = ManualEvent();
    if (!read || !write || !wait) {
        for (HANDLE e : {read, write, wait})
            if (e) CloseHandle(e);
        CloseHandle(h);
        return ecode::OutOfMemory;
    }
    Device = h;
    ReadOv = OVERLAPPED{};
    ReadOv.hEvent = read;
    WriteOv = OVERLAPPED{};
    WriteOv.hEvent = write;
    WaitOv = OVERLAPPED{};
    WaitOv.hEvent = wait;
    ResetEvent(WakeEvent);
    ResetEvent(FlushEvent);
    ResetEvent(DispatchEnding);

    // A read returns at once with what the driver holds; writes never time out.
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    if (!SetCommTimeouts(h, &timeouts) || !SetCommMask(h, EventMask)) {
        const int rc = LastError();
        DeviceClose();
        return rc;
    }
    GetCommModemStatus(h, &ModemStatus);
    // Errors from before the open must not hold up the first read.
    ClearCommError(h, nullptr, nullptr);
    return 0;
}

void TApdWin32Dispatcher::DeviceClose() {
    if (Device == INVALID_HANDLE_VALUE) return;
    for (OVERLAPPED* ov : {&ReadOv, &WriteOv, &WaitOv}) {
        CloseHandle(ov->hEvent);
        ov->hEvent = nullptr;
    }
    CloseHandle(Device);
    Device = INVALID_HANDLE_VALUE;
}

int TApdWin32Dispatcher::DeviceSetQueues(int inSize, int outSize) {
    if (!SetupComm(Device, static_cast<DWORD>(inSize), static_cast<DWORD>(outSize)))
        return LastError();
    InQueue = static_cast<WORD>(inSize);
    return 0;
}

int TApdWin32Dispatcher::DeviceGetLine(TLineSettings& line) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(Device, &dcb)) return LastError();
    line.Baud = static_cast<int>(dcb.BaudRate);
    line.Parity = dcb.Parity;
    line.DataBits = dcb.ByteSize;
    line.StopBits = dcb.StopBits == ONESTOPBIT ? 1 : dcb.StopBits == ONE5STOPBITS ? 15 : 2;
    return 0;
}

int TApdWin32Dispatcher::DeviceSetLine(const TLineSettings& line, bool dtr, bool rts) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(Device, &dcb)) return LastError();
    dcb.BaudRate = static_cast<DWORD>(line.Baud);
    dcb.Parity = static_cast<BYTE>(line.Parity);
    dcb.ByteSize = static_cast<BYTE>(line.DataBits);
    dcb.StopBits = line.StopBits == 1    ? ONESTOPBIT
                   : line.StopBits == 15 ? ONE5STOPBITS
                                         : TWOSTOPBITS;
    // Transparent 8-bit transfer: no parity checking, NUL bytes kept, DSR
    // ignored, sending goes on after XOFF.
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fNull = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    // No flow control of either kind: DTR and RTS simply follow their states.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    dcb.XonLim = 0;
    dcb.XoffLim = InQueue;
    if (!SetCommState(Device, &dcb)) return LastError();
    return 0;
}

void TApdWin32Dispatcher::DeviceSetModemLines(bool dtr, bool rts) {
    // Raising or dropping a line never fails as far as the port is concerned.
    EscapeCommFunction(Device, dtr ? SETDTR : CLRDTR);
    EscapeCommFunction(Device, rts ? SETRTS : CLRRTS);
}

int TApdWin32Dispatcher::DeviceRead(char* buffer, int size) {
    DWORD errors = 0; // a line error is no reason to stop reading
    COMSTAT status{};
    if (size <= 0 || !ClearCommError(Device, &errors, &status)) return 0;
    // An overlapped read with nothing waiting may stay pending instead of
    // returning nothing: ask only for what the driver holds.
    const DWORD want = std::min(static_cast<DWORD>(size), status.cbInQue);
    if (want == 0) return 0;
    DWORD n = 0;
    if (!ReadFile(Device, buffer, want, nullptr, &ReadOv) && GetLastError() != ERROR_IO_PENDING)
        return 0;
    if (!GetOverlappedResult(Device, &ReadOv, &n, TRUE)) return 0;
    return static_cast<int>(n);
}

int TApdWin32Dispatcher::DeviceWrite(const char* data, int length) {
    if (!WriteFile(Device, data, static_cast<DWORD>(length), nullptr, &WriteOv) &&
        GetLastError() != ERROR_IO_PENDING)
        return WriteFailed;
    const HANDLE waits[2] = {WriteOv.hEvent, FlushEvent};
    DWORD n = 0;
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        // A flush: the write is given up, and reaped before WriteOv is used again.
        CancelIoEx(Device, &WriteOv);
        GetOverlappedResult(Device, &WriteOv, &n, TRUE);
        return WriteFlushed;
    }
    if (!GetOverlappedResult(Device, &WriteOv, &n, FALSE)) return WriteFailed;
    return static_cast<int>(n);
}

void TApdWin32Dispatcher::DeviceDrainWriteWake() {
    ResetEvent(FlushEvent);
}

void TApdWin32Dispatcher::DeviceWakeWrite() {
    SetEvent(FlushEvent);
}

bool TApdWin32Dispatcher::DeviceWaitEvent(std::uint32_t& events) {
    events = 0;
    if (WaitForSingleObject(WakeEvent, 0) == WAIT_OBJECT_0) {
        events = EvWake;
        return true;
    }
    DWORD mask = 0, n = 0;
    if (!WaitCommEvent(Device, &mask, &WaitOv)) {
        if (GetLastError() != ERROR_IO_PENDING) return false;
        const HANDLE waits[2] = {WaitOv.hEvent, WakeEvent};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            // The close set the mask to 0 to end the wait, but that may have
            // come before this wait began, and a wait under an empty mask may
            // never end (Wine's does not): empty it again, now that the wait
            // is pending, and reap the wait.
            SetCommMask(Device, 0);
            CancelIoEx(Device, &WaitOv);
            GetOverlappedResult(Device, &WaitOv, &n, TRUE);
            events = EvWake;
            return true;
        }
        if (!GetOverlappedResult(Device, &WaitOv, &n, FALSE)) return false;
    }
    if (mask & EV_RXCHAR) events |= EvRxChar;
    if (mask & (EV_ERR | EV_BREAK)) events |= EvError;
    if (mask & (EV_CTS | EV_DSR | EV_RLSD | EV_RING)) GetCommModemStatus(Device, &ModemStatus);
    return true;
}

void TApdWin32Dispatcher::DeviceWakeEvent() {
    SetEvent(WakeEvent);
    if (Device != INVALID_HANDLE_VALUE) SetCommMask(Device, 0);
}

void TApdWin32Dispatcher::DeviceFlush(bool output, bool input) {
    if (Device == INVALID_HANDLE_VALUE) return;
    DWORD flags = 0;
    if (output) flags |= PURGE_TXABORT | PURGE_TXCLEAR;
    if (input) flags |= PURGE_RXABORT | PURGE_RXCLEAR;
    if (flags) PurgeComm(Device, flags);
}

void TApdWin32Dispatcher::DeviceDispatchThreadEnding() {
    SetEvent(DispatchEnding);
}

void TApdWin32Dispatcher::WaitForDispatchThreadEnd() {
    // A notice on its way is a message sent to this thread: serve sent messages
    // while waiting, so that it is dropped at once instead of holding the
    // dispatch thread for its whole wait.
    while (!DispatchThreadEnded() && MsgWaitForMultipleObjects(1, &DispatchEnding, FALSE, INFINITE,
                                                               QS_SENDMESSAGE) != WAIT_OBJECT_0) {
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    // The end flag follows at once, with no more notices.
    TApdBaseDispatcher::WaitForDispatchThreadEnd();
}
