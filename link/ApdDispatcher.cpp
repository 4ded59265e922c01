#include "ApdDispatcher.h"

#include "ApdDispatcherThreads.h"
#include "ApdResultCodes.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {
// Live dispatchers by handle; notices carry the handle, not a pointer.
std::mutex RegistryLock;
std::vector<TApdBaseDispatcher*> DispatcherRegistry;
} // namespace

void TDispatcherDeleter::operator()(TApdBaseDispatcher* dispatcher) const {
    dispatcher->ForceStop();
    delete dispatcher;
}

TApdBaseDispatcher::TApdBaseDispatcher() {
    std::lock_guard lock(RegistryLock);
    auto empty = std::find(DispatcherRegistry.begin(), DispatcherRegistry.end(), nullptr);
    if (empty == DispatcherRegistry.end()) {
        DispatcherRegistry.push_back(this);
        HandleSlot = static_cast<int>(DispatcherRegistry.size()) - 1;
    } else {
        *empty = this;
        HandleSlot = static_cast<int>(empty - DispatcherRegistry.begin());
    }
}

TApdBaseDispatcher::~TApdBaseDispatcher() {
    // TDispatcherDeleter has closed the device and ended the threads.
    ComThread.reset();
    DispThread.reset();
    OutThread.reset();
    std::lock_guard lock(RegistryLock);
    DispatcherRegistry[static_cast<std::size_t>(HandleSlot)] = nullptr;
    while (!DispatcherRegistry.empty() && DispatcherRegistry.back() == nullptr)
        DispatcherRegistry.pop_back();
}

TApdBaseDispatcher* TApdBaseDispatcher::Find(int handle) {
    std::lock_guard lock(RegistryLock);
    if (handle < 0 || handle >= static_cast<int>(DispatcherRegistry.size())) return nullptr;
    return DispatcherRegistry[static_cast<std::size_t>(handle)];
}

int TApdBaseDispatcher::OpenCom(const std::string& device, int baud, bool rts, bool dtr,
                                std::uint16_t outSize, std::uint16_t inSize, int stopBits,
                                int dataBits, int parity) {
    StopThreadsFlag = false;
    DisposePending = false;
    int rc = DeviceOpen(device);
    if (rc != 0) return rc;
    // The receive ring keeps its own size; the driver's queues follow the sizes.
    rc = DeviceSetQueues(inSize, outSize);
    if (rc != 0) {
        DeviceClose();
        return rc;
    }

    {
        std::scoped_lock lock(ReceiveLock, SendLock);
        ReceiveRing.assign(ReceiveRingSize, 0);
        ReceiveHead = ReceiveTail = 0;
        ReceiveFull = false;
        NewSinceNotice = false;
        AnnounceAgain = false;
        OutSize = outSize;
        SendRing.assign(outSize, 0);
        SendHead = SendTail = 0;
        SendFull = false;
    }
    {
        std::lock_guard lock(LineLock);
        DeviceGetLine(Line);
        DtrState = dtr;
        RtsState = rts;
        DeviceSetModemLines(DtrState, RtsState);
    }
    Threshold = 0;
    LastBaud = 115200;
    rc = SetLine(baud, parity, stopBits, dataBits);
    if (rc != 0) {
        DeviceClose();
        return rc;
    }

    ThreadsRunning = 3;
    ComThread = std::make_unique<TComThread>(*this);
    DispThread = std::make_unique<TDispThread>(*this);
    OutThread = std::make_unique<TOutThread>(*this);
    for (auto* t : {ComThread.get(), DispThread.get(), OutThread.get()}) {
        t->Start();
        Signals.Wait(TApdSignals::ThreadReady, ThreadReadyWaitMs);
    }
    return 0;
}

int TApdBaseDispatcher::SetLine(int baud, int parity, int stopBits, int dataBits) {
    TLineSettings wanted;
    {
        std::lock_guard lock(LineLock);
        if (const int rc = DeviceGetLine(Line); rc != 0) return rc;
        wanted = Line;
    }
    if (stopBits == 0) stopBits = 1;
    if (stopBits > 2 && stopBits != 3) stopBits = 2;
    if (baud != 0) wanted.Baud = baud;
    if (parity != 5) wanted.Parity = parity;
    if (dataBits != 9) wanted.DataBits = dataBits;
    if (stopBits != 3) wanted.StopBits = stopBits;
    if (wanted.DataBits == 5) wanted.StopBits = 15;
    if (wanted == Line) return 0;

    // Let queued output leave at the old speed before the line changes.
    for (int polls = 0; polls < 5000 && OutBuffUsed() > 0; ++polls)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const int bits =
        wanted.DataBits + 2 + (wanted.Parity != 0 ? 1 : 0) + (wanted.StopBits > 1 ? 1 : 0);
    long t = static_cast<long>(10'000'000 / std::max(LastBaud, 1)) * bits * 18; // 0.1 us units
    if (t < 10'000) t *= 2;
    std::this_thread::sleep_for(std::chrono::milliseconds((t + 9'999) / 10'000));

    std::lock_guard lock(LineLock);
    const int rc = DeviceSetLine(wanted, DtrState, RtsState);
    if (rc != 0) return rc;
    Line = wanted;
    LastBaud = wanted.Baud;
    DeviceSetModemLines(DtrState, RtsState);
    return 0;
}

int TApdBaseDispatcher::SetDTR(bool raised) {
    std::lock_guard lock(LineLock);
    DtrState = raised;
    DeviceSetModemLines(DtrState, RtsState);
    return 0;
}

int TApdBaseDispatcher::SetRTS(bool raised) {
    std::lock_guard lock(LineLock);
    RtsState = raised;
    DeviceSetModemLines(DtrState, RtsState);
    return 0;
}

void TApdBaseDispatcher::SetAvailThreshold(std::uint16_t threshold) {
    Threshold = threshold;
}

void TApdBaseDispatcher::SetHandlerFlags(bool handlerAssigned) {
    std::lock_guard lock(LineLock);
    HandlerAssigned = handlerAssigned;
}

void TApdBaseDispatcher::RegisterNoticeWindow(INoticeTarget* window) {
    std::lock_guard lock(LineLock);
    NoticeWindows.push_back(window);
}

void TApdBaseDispatcher::DeregisterNoticeWindow(INoticeTarget* window) {
    std::lock_guard lock(LineLock);
    std::erase(NoticeWindows, window);
}

bool TApdBaseDispatcher::NoticeActive() {
    std::lock_guard lock(LineLock);
    return NoticeIsActive;
}

int TApdBaseDispatcher::ReceiveUnread() const {
    if (ReceiveHead != ReceiveTail)
        return (ReceiveHead - ReceiveTail + ReceiveRingSize) % ReceiveRingSize;
    return ReceiveFull ? ReceiveRingSize : 0;
}

int TApdBaseDispatcher::SendQueued() const {
    if (SendHead != SendTail) return (SendHead - SendTail + OutSize) % OutSize;
    return SendFull ? OutSize : 0;
}

int TApdBaseDispatcher::InBuffUsed() {
    std::lock_guard lock(ReceiveLock);
    return ReceiveUnread();
}

int TApdBaseDispatcher::OutBuffUsed() {
    std::lock_guard lock(SendLock);
    return OutSize > 0 ? SendQueued() : 0;
}

int TApdBaseDispatcher::GetChar(char& c) {
    std::lock_guard lock(ReceiveLock);
    if (DataNoticeMode) {
        // Inside a notice nothing is removed yet: the delivery removes what
        // the handler took once it returns.
        ++NoticeReadCount;
        if (ReceiveUnread() < NoticeReadCount) {
            --NoticeReadCount;
            return ecode::BufferIsEmpty;
        }
        c = ReceiveRing[static_cast<std::size_t>((ReceiveTail + NoticeReadCount - 1) %
                                                 ReceiveRingSize)];
        return 0;
    }
    if (ReceiveUnread() == 0) return ecode::BufferIsEmpty;
    c = ReceiveRing[static_cast<std::size_t>(ReceiveTail)];
    ReceiveTail = (ReceiveTail + 1) % ReceiveRingSize;
    ReceiveFull = false;
    return 0;
}

int TApdBaseDispatcher::PutBlock(const char* data, std::size_t length) {
    if (length == 0) return 0;
    {
        std::lock_guard lock(SendLock);
        if (OutSize == 0) return ecode::PutBlockFail;
        const int free = OutSize - SendQueued();
        if (length > static_cast<std::size_t>(free)) return ecode::OutputBufferTooSmall;
        const int n = static_cast<int>(length);
        const int first = std::min(n, OutSize - SendHead);
        std::memcpy(SendRing.data() + SendHead, data, static_cast<std::size_t>(first));
        std::memcpy(SendRing.data(), data + first, static_cast<std::size_t>(n - first));
        SendHead = (SendHead + n) % OutSize;
        if (n == free) SendFull = true;
    }
    Signals.Set(TApdSignals::SendQueued);
    return 0;
}

void TApdBaseDispatcher::ReadInput() {
    std::lock_guard lock(ReceiveLock);
    if (ReceiveFull || ReceiveRing.empty()) return;
    for (int pass = 0; pass < 2 && !ReceiveFull; ++pass) {
        const int end = ReceiveTail > ReceiveHead ? ReceiveTail : ReceiveRingSize;
        const int room = end - ReceiveHead;
        const int n = DeviceRead(ReceiveRing.data() + ReceiveHead, room);
        if (n <= 0) break;
        NewSinceNotice = true;
        ReceiveHead = (ReceiveHead + n) % ReceiveRingSize;
        if (ReceiveHead == ReceiveTail) ReceiveFull = true;
        if (n < room) break; // the driver had no more
    }
}

void TApdBaseDispatcher::DispatchCycle(bool event) {
    ReadInput();
    bool active;
    {
        std::lock_guard lock(LineLock);
        active = NoticeIsActive;
    }
    if (!active)
        while (NoticeCheck() && !DisposePending && !StopThreadsFlag) {
        }

    // A full ring leaves data in the driver, so the event wait would return at
    // once; hold it back until there is room again.
    bool full;
    {
        std::lock_guard lock(ReceiveLock);
        full = ReceiveFull;
    }
    if (event) DoneOwed = true;
    if (DoneOwed && !full) {
        DoneOwed = false;
        Signals.Set(TApdSignals::ComEventDone);
    }
}

bool TApdBaseDispatcher::NoticeCheck() {
    int unread;
    {
        std::lock_guard lock(ReceiveLock);
        unread = ReceiveUnread();
        const std::uint16_t threshold = Threshold;
        if (threshold == 0 || !(NewSinceNotice || AnnounceAgain) || unread < threshold)
            return false;
        NewSinceNotice = false;
        AnnounceAgain = false;
    }
    return DeliverNotice(unread);
}

int TApdBaseDispatcher::BeginNotice(const std::shared_ptr<TNoticeTicket>& ticket) {
    std::lock_guard lock(ReceiveLock);
    if (!ticket->Begin()) return -1;
    ReadingTicket = ticket;
    DataNoticeMode = true;
    NoticeReadCount = 0;
    // A handler that outlived an earlier notice's wait may have taken some of
    // these characters directly meanwhile: announce only what is still there.
    return std::min<int>(ticket->Count, ReceiveUnread());
}

void TApdBaseDispatcher::EndNotice(const std::shared_ptr<TNoticeTicket>& ticket) {
    {
        std::lock_guard lock(ReceiveLock);
        if (ReadingTicket == ticket) RemoveNoticeReads();
    }
    ticket->Finish();
}

// What the handler took leaves the ring once, whether it returns in time or
// the dispatch thread stops waiting for it; after that its reads take
// characters directly.
void TApdBaseDispatcher::RemoveNoticeReads() {
    ReceiveTail = (ReceiveTail + NoticeReadCount) % ReceiveRingSize;
    if (NoticeReadCount > 0) ReceiveFull = false;
    ReadingTicket->Consumed = NoticeReadCount;
    ReadingTicket.reset();
    DataNoticeMode = false;
    NoticeReadCount = 0;
}

bool TApdBaseDispatcher::DeliverNotice(int count) {
    std::vector<INoticeTarget*> windows;
    {
        std::lock_guard lock(LineLock);
        if (!HandlerAssigned) return true;
        // Checked together with the close's look at NoticeIsActive, so a close
        // either waits for this notice or this notice is never delivered.
        if (StopThreadsFlag || DisposePending) return false;
        NoticeIsActive = true;
        windows = NoticeWindows;
    }
    bool aborted = false;
    int consumed = 0;
    for (INoticeTarget* window : windows) {
        auto ticket =
            std::make_shared<TNoticeTicket>(HandleSlot, static_cast<std::uint16_t>(count));
        {
            std::lock_guard lock(LineLock);
            if (StopThreadsFlag || DisposePending) {
                aborted = true;
                break;
            }
            CurrentTicket = ticket;
        }
        window->HandNotice(ticket, NoticeWaitMs);
        {
            std::lock_guard lock(ReceiveLock);
            if (ticket->ExpireIfPending()) AnnounceAgain = true;
            if (ReadingTicket == ticket) RemoveNoticeReads();
            consumed = std::max(consumed, ticket->Consumed);
        }
        {
            std::lock_guard lock(LineLock);
            CurrentTicket.reset();
        }
        if (DisposePending || StopThreadsFlag) {
            aborted = true;
            break;
        }
    }
    if (aborted) {
        std::lock_guard lock(ReceiveLock);
        ReceiveTail = ReceiveHead;
        ReceiveFull = false;
    }
    std::lock_guard lock(LineLock);
    NoticeIsActive = false;
    return !aborted && consumed == count;
}

void TApdBaseDispatcher::DiscardOutput() {
    if (ThreadsActive() && !Signals.IsSet(TApdSignals::OutEnded)) {
        Signals.Reset(TApdSignals::ThreadReady);
        DeviceWakeWrite();
        Signals.Set(TApdSignals::SendFlush);
        Signals.Wait(TApdSignals::ThreadReady | TApdSignals::OutEnded, ThreadReadyWaitMs);
    }
    {
        std::lock_guard lock(SendLock);
        SendHead = SendTail = 0;
        SendFull = false;
    }
    DeviceFlush(true, false);
}

bool TApdBaseDispatcher::CloseCom() {
    if (DeviceIsOpen()) {
        DiscardOutput();
        DeviceFlush(false, true);
        {
            std::lock_guard lock(ReceiveLock);
            if (DataNoticeMode) {
                NoticeReadCount = ReceiveUnread(); // all counted as taken by the notice
            } else {
                ReceiveTail = ReceiveHead;
                ReceiveFull = false;
            }
        }
    }
    {
        std::lock_guard lock(LineLock);
        StopThreadsFlag = true;
        // A notice whose handler has not started is dropped: no handler runs
        // after a close. Only a running handler makes the close wait for it.
        if (NoticeIsActive && !(CurrentTicket && CurrentTicket->DropUnlessRunning()))
            DisposePending = true;
    }
    DeviceWakeEvent();
    Signals.Set(TApdSignals::ComEventDone);
    if (DisposePending) return true;
    StopThreads(false);
    return false;
}

void TApdBaseDispatcher::StopThreads(bool callerIsDispatchThread) {
    StopThreadsFlag = true;
    if (OutThread) {
        DeviceWakeWrite();
        Signals.Set(TApdSignals::SendFlush | TApdSignals::SendQueued);
        Signals.Wait(TApdSignals::OutEnded, TApdSignals::Infinite);
    }
    if (ComThread) {
        DeviceWakeEvent();
        Signals.Set(TApdSignals::ComEventDone);
        Signals.Wait(TApdSignals::ComEnded, TApdSignals::Infinite);
    }
    if (DispThread && !callerIsDispatchThread) {
        Signals.Set(TApdSignals::ComEventReady);
        WaitForDispatchThreadEnd();
    }
    DeviceClose();
    std::scoped_lock lock(ReceiveLock, SendLock);
    ReceiveRing.clear();
    ReceiveRing.shrink_to_fit();
    SendRing.clear();
    SendRing.shrink_to_fit();
    OutSize = 0;
}

void TApdBaseDispatcher::WaitForDispatchThreadEnd() {
    Signals.Wait(TApdSignals::DispEnded, TApdSignals::Infinite);
}

void TApdBaseDispatcher::ForceStop() {
    std::vector<INoticeTarget*> windows;
    {
        std::lock_guard lock(LineLock);
        StopThreadsFlag = true;
        // Only a delivery under way holds the dispatch thread.
        if (CurrentTicket) {
            CurrentTicket->Abandon();
            windows = NoticeWindows;
        }
    }
    for (INoticeTarget* window : windows)
        window->ReleaseDispatchThread();
    if (DispThread && !Signals.IsSet(TApdSignals::DispEnded)) {
        DeviceWakeEvent();
        Signals.Set(TApdSignals::ComEventDone | TApdSignals::ComEventReady);
        WaitForDispatchThreadEnd();
    }
    if (ThreadsActive() || DeviceIsOpen()) StopThreads(false);
}
