// The dispatcher's rings and notice rules, over a scripted device layer and a
// notice receiver that runs its handler at once on the dispatch thread.
#include "ApdDispatcher.h"
#include "ApdResultCodes.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

class ScriptedDispatcher : public TApdBaseDispatcher {
  public:
    void Feed(const std::string& bytes) {
        std::lock_guard lock(M);
        Input += bytes;
        Cv.notify_all();
    }
    void AllowWrites(bool allow) {
        std::lock_guard lock(M);
        WritesAllowed = allow;
        Cv.notify_all();
    }
    std::string Output() {
        std::lock_guard lock(M);
        return Written;
    }
    bool WaitOutput(std::size_t n) {
        std::unique_lock lock(M);
        return Cv.wait_for(lock, std::chrono::seconds(5), [&] { return Written.size() >= n; });
    }
    bool WaitInputTaken() {
        std::unique_lock lock(M);
        return Cv.wait_for(lock, std::chrono::seconds(5), [&] { return Input.empty(); });
    }
    int LineWrites = 0;
    TLineSettings DeviceLine{19200, 0, 8, 1};

  protected:
    int DeviceOpen(const std::string&) override {
        IsOpen = true;
        return 0;
    }
    void DeviceClose() override { IsOpen = false; }
    bool DeviceIsOpen() const override { return IsOpen; }
    int DeviceSetQueues(int, int) override { return 0; }
    int DeviceGetLine(TLineSettings& line) override {
        line = DeviceLine;
        return 0;
    }
    int DeviceSetLine(const TLineSettings& line, bool, bool) override {
        DeviceLine = line;
        ++LineWrites;
        return 0;
    }
    void DeviceSetModemLines(bool, bool) override {}
    int DeviceRead(char* buffer, int size) override {
        std::lock_guard lock(M);
        const int n = std::min(size, static_cast<int>(Input.size()));
        Input.copy(buffer, static_cast<std::size_t>(n));
        Input.erase(0, static_cast<std::size_t>(n));
        Cv.notify_all();
        return n;
    }
    int DeviceWrite(const char* data, int length) override {
        std::unique_lock lock(M);
        Cv.wait(lock, [&] { return WritesAllowed || WriteWake; });
        if (WriteWake) return WriteFlushed;
        Written.append(data, static_cast<std::size_t>(length));
        Cv.notify_all();
        return length;
    }
    void DeviceDrainWriteWake() override {
        std::lock_guard lock(M);
        WriteWake = false;
    }
    void DeviceWakeWrite() override {
        std::lock_guard lock(M);
        WriteWake = true;
        Cv.notify_all();
    }
    bool DeviceWaitEvent(std::uint32_t& events) override {
        std::unique_lock lock(M);
        Cv.wait(lock, [&] { return (!Input.empty() && !Reported) || EventWake; });
        events = EventWake ? EvWake : EvRxChar;
        Reported = !EventWake;
        EventWake = false;
        return true;
    }
    void DeviceWakeEvent() override {
        std::lock_guard lock(M);
        EventWake = true;
        Cv.notify_all();
    }
    void DeviceFlush(bool output, bool input) override {
        std::lock_guard lock(M);
        if (input) Input.clear();
        (void)output;
    }

  private:
    std::mutex M;
    std::condition_variable Cv;
    std::string Input, Written;
    bool IsOpen = false, WritesAllowed = true, WriteWake = false, EventWake = false;
    bool Reported = false;

  public:
    // The device reports an event per arrival of data; the dispatch cycle's
    // read clears it, like a level-triggered wait would.
    void ClearReported() {
        std::lock_guard lock(M);
        Reported = false;
    }
};

// Runs each notice's handler at once, on the dispatch thread.
class ImmediateTarget : public INoticeTarget {
  public:
    explicit ImmediateTarget(TApdBaseDispatcher& d) : D(d) {}
    std::function<void(int count)> Handler;
    std::vector<int> Counts;
    std::mutex M;
    std::condition_variable Cv;

    void HandNotice(const std::shared_ptr<TNoticeTicket>& ticket, int) override {
        const int count = D.BeginNotice(ticket);
        ASSERT_GE(count, 0);
        if (Handler) Handler(count);
        D.EndNotice(ticket);
        std::lock_guard lock(M);
        Counts.push_back(ticket->Count);
        Cv.notify_all();
    }
    bool WaitNotices(std::size_t n) {
        std::unique_lock lock(M);
        return Cv.wait_for(lock, std::chrono::seconds(5), [&] { return Counts.size() >= n; });
    }
    std::vector<int> Seen() {
        std::lock_guard lock(M);
        return Counts;
    }
    std::string Take(int n, int* failures = nullptr) {
        std::string s;
        for (int i = 0; i < n; ++i) {
            char c;
            if (D.GetChar(c) == 0)
                s.push_back(c);
            else if (failures)
                ++*failures;
        }
        return s;
    }

  private:
    TApdBaseDispatcher& D;
};

struct Dispatcher : ::testing::Test {
    TDispatcherPtr Owned{new ScriptedDispatcher};
    ScriptedDispatcher& D = static_cast<ScriptedDispatcher&>(*Owned);
    ImmediateTarget Target{D};
    void SetUp() override {
        ASSERT_EQ(D.OpenCom("scripted", 4800, true, true, 4096, 4096, 1, 8, 0), 0);
        D.SetAvailThreshold(1);
        D.SetHandlerFlags(true);
        D.RegisterNoticeWindow(&Target);
    }
    // The threads end before the receiver they deliver to goes.
    void TearDown() override { D.ForceStop(); }
    void Arrive(const std::string& bytes) {
        D.ClearReported();
        D.Feed(bytes);
        ASSERT_TRUE(D.WaitInputTaken());
    }
};

} // namespace

TEST_F(Dispatcher, TenCharactersGiveOneNoticeAndOnlyNewDataRaisesAnother) {
    std::string taken;
    Target.Handler = [&](int count) { taken += Target.Take(count); };
    Arrive("0123456789");
    ASSERT_TRUE(Target.WaitNotices(1));
    EXPECT_EQ(Target.Seen(), std::vector<int>{10});
    EXPECT_EQ(taken, "0123456789");
    EXPECT_EQ(D.InBuffUsed(), 0);
    Arrive("abc");
    ASSERT_TRUE(Target.WaitNotices(2));
    EXPECT_EQ(Target.Seen(), (std::vector<int>{10, 3}));
    EXPECT_EQ(taken, "0123456789abc");
}

TEST_F(Dispatcher, CharactersLeftUnreadAreCountedAgainInTheNextNotice) {
    std::string taken;
    Target.Handler = [&](int) { taken += Target.Take(4); };
    Arrive("0123456789");
    ASSERT_TRUE(Target.WaitNotices(1));
    EXPECT_EQ(taken, "0123");
    EXPECT_EQ(D.InBuffUsed(), 6);
    Arrive("abc");
    ASSERT_TRUE(Target.WaitNotices(2));
    EXPECT_EQ(Target.Seen(), (std::vector<int>{10, 9}));
    EXPECT_EQ(taken, "01234567"); // the second notice starts at the 5th character
}

TEST_F(Dispatcher, AskingBeyondTheCountFailsAndWhatWasTakenIsStillRemoved) {
    int failures = 0;
    std::string taken;
    Target.Handler = [&](int count) { taken = Target.Take(count + 1, &failures); };
    Arrive("0123456789");
    ASSERT_TRUE(Target.WaitNotices(1));
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(taken, "0123456789");
    EXPECT_EQ(D.InBuffUsed(), 0);
    char c;
    EXPECT_EQ(D.GetChar(c), ecode::BufferIsEmpty); // outside a notice, nothing unread
}

TEST_F(Dispatcher, AFullReceiveRingCounts8192AndReceptionResumesWhenRoomAppears) {
    D.SetHandlerFlags(false); // nobody takes anything
    std::string data;
    for (int i = 0; i < 9000; ++i)
        data.push_back(static_cast<char>('A' + i % 26));
    D.ClearReported();
    D.Feed(data);
    for (int i = 0; i < 500 && D.InBuffUsed() < 8192; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(D.InBuffUsed(), 8192);
    std::string taken;
    for (int i = 0; i < 9000; ++i) {
        char c;
        for (int wait = 0; wait < 500 && D.GetChar(c) != 0; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        taken.push_back(c);
    }
    EXPECT_EQ(taken, data); // wrapped around the ring, in order
}

TEST_F(Dispatcher, AHandlerThatEmptiesAFullRingResumesReception) {
    std::mutex m;
    std::string taken;
    Target.Handler = [&](int count) {
        const std::string got = Target.Take(count);
        std::lock_guard lock(m);
        taken += got;
    };
    std::string data;
    for (int i = 0; i < 20000; ++i)
        data.push_back(static_cast<char>('a' + i % 23));
    D.ClearReported();
    D.Feed(data);
    auto takenSize = [&] {
        std::lock_guard lock(m);
        return taken.size();
    };
    for (int i = 0; i < 1000 && takenSize() < data.size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(Target.Seen().front(), TApdBaseDispatcher::ReceiveRingSize);
    std::lock_guard lock(m);
    EXPECT_EQ(taken, data);
}

TEST_F(Dispatcher, SendRingFillsExactlyAndRefusesWhatDoesNotFit) {
    D.AllowWrites(false);
    const std::string block(4096, 'x');
    EXPECT_EQ(D.PutBlock(block.data(), block.size()), 0);
    EXPECT_EQ(D.OutBuffUsed(), 4096);
    EXPECT_EQ(D.PutBlock("y", 1), ecode::OutputBufferTooSmall);
    EXPECT_EQ(D.OutBuffUsed(), 4096);
    EXPECT_EQ(D.PutBlock("", 0), 0);
    D.AllowWrites(true);
    ASSERT_TRUE(D.WaitOutput(4096));
    EXPECT_EQ(D.Output(), block);
    // The ring drained up to its very end: the next block starts again at 0,
    // so a whole ring of it fits and goes out.
    for (int i = 0; i < 500 && D.OutBuffUsed() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const std::string ring(4096, 'z');
    EXPECT_EQ(D.PutBlock(ring.data(), ring.size()), 0);
    ASSERT_TRUE(D.WaitOutput(8192));
    std::string expected = block + ring;

    // Blocks that pass the ring's end go out in their order.
    for (int i = 0; i < 60; ++i) {
        const std::string piece(static_cast<std::size_t>(97 + i * 13),
                                static_cast<char>('a' + i % 26));
        while (D.PutBlock(piece.data(), piece.size()) != 0)
            std::this_thread::yield();
        expected += piece;
    }
    ASSERT_TRUE(D.WaitOutput(expected.size()));
    EXPECT_EQ(D.Output(), expected);
}

TEST_F(Dispatcher, CloseDiscardsUnsentOutputAndUnreadInput) {
    D.SetHandlerFlags(false);
    Arrive("unread");
    D.AllowWrites(false);
    EXPECT_EQ(D.PutBlock("unsent", 6), 0);
    EXPECT_FALSE(D.CloseCom());
    EXPECT_FALSE(D.ThreadsActive());
    EXPECT_EQ(D.InBuffUsed(), 0);
    EXPECT_EQ(D.OutBuffUsed(), 0);
    EXPECT_EQ(D.Output(), "");
}

TEST_F(Dispatcher, LineSettingsAreWrittenOnlyWhenTheyChange) {
    EXPECT_EQ(D.LineWrites, 1); // 19200 became 4800 at open
    EXPECT_EQ(D.DeviceLine, (TLineSettings{4800, 0, 8, 1}));
    EXPECT_EQ(D.SetLine(4800, 0, 1, 8), 0);
    EXPECT_EQ(D.LineWrites, 1);
    EXPECT_EQ(D.SetLine(0, 5, 3, 9), 0); // "keep the device's value" everywhere
    EXPECT_EQ(D.LineWrites, 1);
    EXPECT_EQ(D.SetLine(9600, 2, 2, 7), 0);
    EXPECT_EQ(D.DeviceLine, (TLineSettings{9600, 2, 7, 2}));
    EXPECT_EQ(D.SetLine(9600, 0, 1, 5), 0);
    EXPECT_EQ(D.DeviceLine.StopBits, 15); // five data bits: one and a half
}

TEST_F(Dispatcher, ExactlyOneRingOfNewDataIsStillAnnounced) {
    // While the first handler runs, a whole ring's worth arrives: after the
    // read the head is back where the first notice left it.
    const std::string ring(TApdBaseDispatcher::ReceiveRingSize, 'r');
    std::size_t taken = 0;
    bool fed = false;
    Target.Handler = [&](int count) {
        taken += Target.Take(count).size();
        if (!fed) {
            fed = true;
            D.ClearReported();
            D.Feed(ring);
        }
    };
    Arrive("0123456789");
    ASSERT_TRUE(Target.WaitNotices(2));
    EXPECT_EQ(Target.Seen(), (std::vector<int>{10, TApdBaseDispatcher::ReceiveRingSize}));
    EXPECT_EQ(taken, 10u + ring.size());
}
