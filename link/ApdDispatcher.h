#pragma once
// The port dispatcher: rings, locks, worker threads and the rules by which
// received data is announced. The device itself is reached only through the
// virtual operations of a device layer: TApdPosixDispatcher on Linux,
// TApdWin32Dispatcher on Windows.
#include "ApdDispatcherFactory.h"
#include "ApdNotice.h"
#include "ApdSignals.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TApdDispatcherThread;

struct TLineSettings {
    int Baud = 0;
    int Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int DataBits = 8; // 5 to 8
    int StopBits = 1; // 1, 2, or 15 for one and a half
    bool operator==(const TLineSettings&) const = default;
};

// Device events the event wait reports.
enum : std::uint32_t { EvRxChar = 1u << 0, EvError = 1u << 1, EvWake = 1u << 2 };

class TApdBaseDispatcher {
  public:
    static constexpr int ReceiveRingSize = 8192;
    static constexpr int ThreadReadyWaitMs = 3000;
    static constexpr int NoticeWaitMs = 3000;
    static constexpr int DispatchPeriodMs = 50;

    TApdBaseDispatcher();
    TApdBaseDispatcher(const TApdBaseDispatcher&) = delete;
    TApdBaseDispatcher& operator=(const TApdBaseDispatcher&) = delete;

    // --- operations offered to the port component (user-interface thread) ---
    int OpenCom(const std::string& device, int baud, bool rts, bool dtr, std::uint16_t outSize,
                std::uint16_t inSize, int stopBits, int dataBits, int parity);
    int SetLine(int baud, int parity, int stopBits, int dataBits);
    int SetDTR(bool raised);
    int SetRTS(bool raised);
    void SetAvailThreshold(std::uint16_t threshold);
    std::uint16_t AvailThreshold() const { return Threshold.load(); }
    void SetHandlerFlags(bool handlerAssigned);
    void RegisterNoticeWindow(INoticeTarget* window);
    void DeregisterNoticeWindow(INoticeTarget* window);
    int GetChar(char& c);
    int PutBlock(const char* data, std::size_t length);
    // Returns true when a notice is being delivered: the rest of the close is
    // then left to the dispatch thread.
    bool CloseCom();
    bool NoticeActive();
    // User-interface thread, around the handler of a data-available notice:
    // the count to announce, or -1 when the notice expired and must be dropped.
    int BeginNotice(const std::shared_ptr<TNoticeTicket>& ticket);
    void EndNotice(const std::shared_ptr<TNoticeTicket>& ticket);
    bool ThreadsActive() const { return ThreadsRunning.load() > 0; }
    // Ends the threads now, also while a notice is being delivered.
    void ForceStop();

    int InBuffUsed();
    int OutBuffUsed();

    static TApdBaseDispatcher* Find(int handle);

  protected:
    // Only through TDispatcherDeleter, which ends the threads first.
    virtual ~TApdBaseDispatcher();
    friend struct TDispatcherDeleter;

    // --- device layer ---
    // User-interface thread, from the open: opens the device; a result code.
    virtual int DeviceOpen(const std::string& device) = 0;
    // Closes the device: on the user-interface thread before the threads
    // started or after they ended, or on the dispatch thread finishing a
    // deferred close once the other two ended.
    virtual void DeviceClose() = 0;
    // User-interface thread.
    virtual bool DeviceIsOpen() const = 0;
    // User-interface thread, at the open: the driver's queue sizes.
    virtual int DeviceSetQueues(int inSize, int outSize) = 0;
    // User-interface thread, under LineLock: read and write the line settings;
    // a write also lets DTR and RTS follow dtr and rts.
    virtual int DeviceGetLine(TLineSettings& line) = 0;
    virtual int DeviceSetLine(const TLineSettings& line, bool dtr, bool rts) = 0;
    // User-interface thread, under LineLock: raise or drop DTR and RTS.
    virtual void DeviceSetModemLines(bool dtr, bool rts) = 0;
    // Dispatch thread, under ReceiveLock: bytes read at once, 0 when none (or
    // on failure); never waits for more.
    virtual int DeviceRead(char* buffer, int size) = 0;
    enum { WriteFlushed = -1, WriteFailed = -2 };
    // Output thread: bytes written (waiting for room as needed), WriteFlushed
    // when a flush ended the wait, WriteFailed when the device refused the run.
    virtual int DeviceWrite(const char* data, int length) = 0;
    // Output thread: forget a flush that was seen.
    virtual void DeviceDrainWriteWake() = 0;
    // Closing (user-interface thread, or the dispatch thread finishing a
    // deferred close): ends a write's wait for room.
    virtual void DeviceWakeWrite() = 0;
    // Event thread: waits for a device event or a wake-up; false when the
    // wait itself failed (the thread then ends).
    virtual bool DeviceWaitEvent(std::uint32_t& events) = 0;
    // Closing (user-interface thread, or the dispatch thread finishing a
    // deferred close): ends the event wait, now and from now on.
    virtual void DeviceWakeEvent() = 0;
    // User-interface thread (closing): discard what the driver holds.
    virtual void DeviceFlush(bool output, bool input) = 0;
    // User-interface thread (closing): waits until the dispatch thread has
    // ended (its end flag set). A layer whose notices travel through this
    // thread's own message queue keeps serving them meanwhile.
    virtual void WaitForDispatchThreadEnd();
    // Dispatch thread, as it ends, just before its end flag is set.
    virtual void DeviceDispatchThreadEnding() {}
    bool DispatchThreadEnded() { return Signals.IsSet(TApdSignals::DispEnded); }

  private:
    friend class TComThread;
    friend class TDispThread;
    friend class TOutThread;
    friend class TApdDispatcherThread;

    int ReceiveUnread() const; // under ReceiveLock
    int SendQueued() const;    // under SendLock
    void ReadInput();
    void DispatchCycle(bool event);
    bool NoticeCheck();
    bool DeliverNotice(int count);
    void RemoveNoticeReads(); // under ReceiveLock
    void DiscardOutput();
    void StopThreads(bool callerIsDispatchThread);

    int HandleSlot = -1;

    std::mutex LineLock, SendLock, ReceiveLock;
    TApdSignals Signals;

    std::vector<char> ReceiveRing;
    int ReceiveHead = 0, ReceiveTail = 0;
    bool ReceiveFull = false;
    std::vector<char> SendRing;
    int SendHead = 0, SendTail = 0;
    bool SendFull = false;
    int OutSize = 0;

    TLineSettings Line;
    bool DtrState = true, RtsState = true;
    int LastBaud = 115200;

    std::atomic<std::uint16_t> Threshold{0};
    // Data arrived since the last notice. Comparing heads alone misses exactly
    // one ring's worth of new data, which leaves the head where it was.
    bool NewSinceNotice = false; // under ReceiveLock
    // The last notice expired before its handler started: what it announced
    // is announced again, new data or not (a full ring takes no new data).
    bool AnnounceAgain = false;  // under ReceiveLock
    bool NoticeIsActive = false; // under LineLock
    bool DataNoticeMode = false; // under ReceiveLock
    int NoticeReadCount = 0;     // under ReceiveLock
    // Under ReceiveLock: the notice whose handler is taking characters.
    std::shared_ptr<TNoticeTicket> ReadingTicket;
    bool HandlerAssigned = false; // under LineLock
    // Under LineLock; a receiver is destroyed only after the threads ended.
    std::vector<INoticeTarget*> NoticeWindows;
    std::shared_ptr<TNoticeTicket> CurrentTicket; // under LineLock

    std::atomic<bool> StopThreadsFlag{false}, DisposePending{false};
    std::atomic<int> ThreadsRunning{0};
    bool DoneOwed = false; // dispatch thread only
    std::unique_ptr<TApdDispatcherThread> ComThread, DispThread, OutThread;
};
