#include "ApdDispatcherThreads.h"

#include "ApdDispatcher.h"
#include "ErrorDisplay.h"

#include <algorithm>
#include <exception>

TApdDispatcherThread::~TApdDispatcherThread() {
    if (Thread.joinable()) Thread.join();
}

void TApdDispatcherThread::Start() {
    Thread = std::thread([this] { Run(); });
}

void TApdDispatcherThread::Run() {
    try {
        Execute();
    } catch (const std::exception& e) {
        ShowApplicationError(e.what());
    } catch (...) {
        ShowApplicationError("Unexpected failure in a serial port thread");
    }
    // An ended thread always counts as ended, so that a close never waits for
    // it; the count first, so that whoever saw the signal also sees the count.
    --D.ThreadsRunning;
    if (EndedSignal() == TApdSignals::DispEnded) D.DeviceDispatchThreadEnding();
    D.Signals.Set(EndedSignal());
}

unsigned TComThread::EndedSignal() const {
    return TApdSignals::ComEnded;
}
unsigned TDispThread::EndedSignal() const {
    return TApdSignals::DispEnded;
}
unsigned TOutThread::EndedSignal() const {
    return TApdSignals::OutEnded;
}

// Waits for device events and hands each to the dispatch thread, then waits
// until that cycle has read the input.
void TComThread::Execute() {
    D.Signals.Set(TApdSignals::ThreadReady);
    for (;;) {
        std::uint32_t events = 0;
        if (!D.DeviceWaitEvent(events)) {
            D.Signals.Set(TApdSignals::ThreadReady);
            return;
        }
        if (D.StopThreadsFlag) return;
        if ((events & ~EvWake) == 0) continue;
        D.Signals.Set(TApdSignals::ComEventReady);
        D.Signals.Wait(TApdSignals::ComEventDone, TApdSignals::Infinite);
    }
}

// Reads input and delivers notices on every device event, and at least every 50 ms.
void TDispThread::Execute() {
    D.Signals.Set(TApdSignals::ThreadReady);
    while (!D.StopThreadsFlag && !D.DisposePending) {
        const auto seen =
            D.Signals.Wait(TApdSignals::ComEventReady, TApdBaseDispatcher::DispatchPeriodMs);
        if (D.StopThreadsFlag) break;
        D.DispatchCycle(seen != 0);
    }
    // A close that came during a notice left the rest of its work to this thread.
    if (D.DisposePending) D.StopThreads(true);
}

// The only thread that writes to the device.
void TOutThread::Execute() {
    D.Signals.Set(TApdSignals::ThreadReady);
    while (!D.StopThreadsFlag && !D.DisposePending) {
        const auto seen =
            D.Signals.Wait(TApdSignals::SendQueued | TApdSignals::SendFlush, TApdSignals::Infinite);
        if (seen & TApdSignals::SendFlush) {
            D.DeviceDrainWriteWake();
            D.Signals.Set(TApdSignals::ThreadReady);
            continue;
        }
        if (D.StopThreadsFlag) return;

        for (;;) {
            const char* run = nullptr;
            int length = 0;
            {
                std::lock_guard lock(D.SendLock);
                if (!D.SendFull && D.SendHead == D.SendTail) break;
                if (D.SendTail < D.SendHead) {
                    length = D.SendHead - D.SendTail;
                } else if (D.SendHead == 0) {
                    length = D.OutSize - D.SendTail;
                } else {
                    // The queued bytes pass the ring's end: move them to its start
                    // so that they go out in one write.
                    const int queued = D.SendQueued();
                    std::rotate(D.SendRing.begin(), D.SendRing.begin() + D.SendTail,
                                D.SendRing.end());
                    D.SendTail = 0;
                    D.SendHead = queued % D.OutSize;
                    length = queued;
                }
                run = D.SendRing.data() + D.SendTail;
            }
            int written = D.DeviceWrite(run, length);
            if (written == TApdBaseDispatcher::WriteFlushed) {
                D.Signals.Reset(TApdSignals::SendFlush);
                D.DeviceDrainWriteWake();
                D.Signals.Set(TApdSignals::ThreadReady);
                break;
            }
            if (written == TApdBaseDispatcher::WriteFailed) written = length; // the run is dropped
            std::lock_guard lock(D.SendLock);
            D.SendTail += written;
            if (D.SendTail >= D.OutSize) D.SendTail = 0;
            if (D.SendTail == D.SendHead) D.SendTail = D.SendHead = 0;
            D.SendFull = false;
        }
    }
}
