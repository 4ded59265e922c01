// The serial port component on a real far end and a real event loop; the
// same tests on Linux and on Windows.
#include "ApdDispatcher.h"
#include "ApdExceptions.h"
#include "ComPortFixture.h"

#include <chrono>
#include <ostream>
#include <thread>

TEST(ErrorMapping, CodesBecomeTheirClassesAndTexts) {
    EXPECT_EQ(MessageOf<EBadId>([] { CheckResult(-2001); }),
              "ie_BadId - Specified comport doesn't exist");
    EXPECT_EQ(MessageOf<EAlreadyOpen>([] { CheckResult(-2008); }), "ie_Open - device already open");
    EXPECT_EQ(MessageOf<EBufferIsEmpty>([] { CheckResult(-3007); }), "Buffer is empty");
    EXPECT_EQ(MessageOf<EOutputBufferTooSmall>([] { CheckResult(-3006); }),
              "Output buffer too small for block");
    EXPECT_EQ(MessageOf<EOutOfMemory>([] { CheckResult(ecode::OutOfMemory); }), "Out of memory");
    EXPECT_EQ(MessageOf<EInOutError>([] { CheckResult(-103); }), "File/device not open");
    EXPECT_EQ(MessageOf<EInOutError>([] { CheckResult(ecode::AccessDenied); }),
              "File access denied");
    EXPECT_EQ(MessageOf<EAPDException>([] { CheckResult(-99999); }), "Tesk exception");
    EXPECT_EQ(MessageOf<ENoPortSelected>([] { CheckResult(-2011); }),
              "The ComNumber property of the TApdComPort has not been set");
    EXPECT_EQ(CheckResult(5), 5);
    try {
        CheckResult(-2005);
    } catch (const EOpenComm& e) { // the group catches its leaves
        EXPECT_EQ(e.ResultCode(), -2005);
    }
    EXPECT_EQ(CleanSystemText("Bad thing\r\n"), "Bad thing ");
    EXPECT_EQ(CleanSystemText("a \t\t b"), "a b");
}

TEST_F(ComPort, OpensAt4800EightNoneOneWithDtrAndRtsRaisedAndPassesBytesBothWays) {
    std::string received;
    auto port = OpenPort(received);
    EXPECT_EQ(port->PortState(), TPortState::PortOpen);
    EXPECT_TRUE(port->Open());
    const TLineView line = ViewLine(Pty);
    EXPECT_EQ(line.Baud, 4800);
    EXPECT_EQ(line.DataBits, 8);
    EXPECT_EQ(line.Parity, 0);
    EXPECT_EQ(line.StopBits, 1);
    EXPECT_EQ(line.Dtr.value_or(true), true);
    EXPECT_EQ(line.Rts.value_or(true), true);

    port->WriteString("V?\r\n");
    EXPECT_EQ(Pty.Receive(4), "V?\r\n");
    Pty.Send("ORVIX\r\n");
    ASSERT_TRUE(RunUntil([&] { return received.size() == 7; }));
    EXPECT_EQ(received, "ORVIX\r\n");
    EXPECT_EQ(Pty.Receive(1, 100), ""); // nothing echoed back
    port->WriteString("");
    port->SetOpen(false);
    EXPECT_EQ(port->PortState(), TPortState::PortClosed);
    port->SetOpen(false); // a second close does nothing
    EXPECT_THROW(port->WriteString("x"), ECommNotOpen);
    EXPECT_THROW(port->ReadChar(), ECommNotOpen);
}

// A write that ends exactly at the send ring's end leaves the ring empty and
// at its start: a whole ring's worth after it goes out too, in order.
TEST_F(ComPort, AWholeRingAfterAWriteEndingAtTheSendRingsEndArrivesInOrder) {
    std::string received;
    auto port = OpenPort(received);
    const std::size_t ring = port->OutSize();
    for (int round = 0; round < 3; ++round) {
        std::string block;
        for (int i = 0; block.size() < ring; ++i)
            block += "<" + std::to_string(round) + "." + std::to_string(i) + ">";
        block.resize(ring);
        port->WriteString(block);
        // All of it is out before the next one: this one ends the ring.
        const std::string got = Pty.Receive(ring, 15000);
        ASSERT_TRUE(got == block) << got.size() << " of " << ring << " bytes in round " << round;
        ASSERT_TRUE(RunUntil([&] { return port->Dispatcher()->OutBuffUsed() == 0; })) << round;
    }
    EXPECT_TRUE(Errors.empty());
}

TEST_F(ComPort, MissingDeviceRaisesBadIdAndLeavesNothingBehind) {
    WarmUp();
    const int handles = OpenHandleCount(), threads = ThreadCount();
    TApdComPort port;
    port.SetComNumber(MissingComNumber());
    EXPECT_EQ(MessageOf<EBadId>([&] { port.SetOpen(true); }),
              "ie_BadId - Specified comport doesn't exist");
    EXPECT_EQ(port.PortState(), TPortState::PortClosed);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.Dispatcher(), nullptr);
    EXPECT_EQ(OpenHandleCount(), handles);
    EXPECT_EQ(ThreadCount(), threads);
    // A later open tries again from the start.
    port.SetComNumber(1);
    port.SetOpen(true);
    EXPECT_EQ(port.PortState(), TPortState::PortOpen);
    TApdComPort none;
    EXPECT_THROW(none.SetOpen(true), ENoPortSelected);
}

TEST_F(ComPort, ABusyDeviceRaisesAlreadyOpenAndLeavesTheOwnerUndisturbed) {
    if (RunningUnderWine()) GTEST_SKIP() << "Wine opens a COM port a second time";
    std::string received;
    auto owner = OpenPort(received);
    TApdComPort second;
    second.SetComNumber(1);
    EXPECT_EQ(MessageOf<EAlreadyOpen>([&] { second.SetOpen(true); }),
              "ie_Open - device already open");
    EXPECT_EQ(second.PortState(), TPortState::PortClosed);
    Pty.Send("still here\n");
    ASSERT_TRUE(RunUntil([&] { return received == "still here\n"; }));
    owner->WriteString("ok");
    EXPECT_EQ(Pty.Receive(2), "ok");
}

TEST_F(ComPort, AHandlerBlockedPastTheWaitLosesNothingAndGetsNothingTwice) {
    std::string received;
    bool blocked = false;
    auto port = OpenPort(received);
    port->OnTriggerAvail = [&](TApdCustomComPort& cp, std::uint16_t count) {
        if (!blocked) {
            blocked = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(3600));
        }
        for (int i = 0; i < count; ++i)
            received.push_back(cp.ReadChar());
    };
    std::string sent;
    std::thread peer([&] {
        for (int i = 0; i < 40; ++i) {
            const std::string chunk = "<" + std::to_string(i) + ">";
            Pty.Send(chunk);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    for (int i = 0; i < 40; ++i)
        sent += "<" + std::to_string(i) + ">";
    const bool done = RunUntil([&] { return received.size() >= sent.size(); }, 15000);
    peer.join();
    RunFor(200);
    EXPECT_TRUE(done);
    EXPECT_EQ(received, sent);
    EXPECT_TRUE(Errors.empty());
}

TEST_F(ComPort, AStalledEventLoopWithAFullRingLosesNothingAndGetsNothingTwice) {
    std::string received;
    auto port = OpenPort(received);
    std::string sent;
    for (int i = 0; sent.size() < 20000; ++i)
        sent += "<" + std::to_string(i) + ">";
    std::thread peer([&] { Pty.Send(sent); }); // waits while nobody reads
    // No event loop for 10 s: the terminal passes about 4 KB a cycle, so the
    // ring is full after the second expired notice, and a third expires on it.
    std::this_thread::sleep_for(std::chrono::milliseconds(10000));
    const bool done = RunUntil([&] { return received.size() >= sent.size(); }, 20000);
    peer.join();
    EXPECT_TRUE(done);
    EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes";
    EXPECT_TRUE(Errors.empty());
}

// A handler that closes or destroys its own port, at once, after outliving the
// notice wait, or before a nested event loop longer than that wait: nothing is
// used after it was freed (the sanitizer runs see to that), nothing is left
// behind, and a closed port opens again.
struct LettingGo {
    const char* Name;
    bool Destroy;
    int BlockMs, NestedLoopMs;
};
void PrintTo(const LettingGo& c, std::ostream* os) {
    *os << c.Name;
}
class HandlerLetsGo : public ComPort, public ::testing::WithParamInterface<LettingGo> {};

TEST_P(HandlerLetsGo, OfItsOwnPortSafely) {
    const LettingGo c = GetParam();
    std::string received;
    OpenPort(received).reset(); // threads the runtime starts once are not the port's
    const int handles = OpenHandleCount(), threads = ThreadCount();
    auto port = OpenPort(received);
    int calls = 0;
    double letGoMs = 0;
    port->OnTriggerAvail = [&, c](TApdCustomComPort& cp, std::uint16_t count) {
        for (int i = 0; i < count; ++i)
            received.push_back(cp.ReadChar());
        if (++calls > 1) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(c.BlockMs));
        // From here on the closure itself may be gone: only locals are used.
        auto* owner = &port;
        auto* spent = &letGoMs;
        const int nested = c.NestedLoopMs;
        const auto start = std::chrono::steady_clock::now();
        if (c.Destroy)
            owner->reset();
        else
            cp.SetOpen(false);
        *spent = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count();
        if (nested > 0) RunFor(nested);
    };
    Pty.Send("abc");
    ASSERT_TRUE(RunUntil(
        [&] { return calls >= 1 && (!port || port->PortState() == TPortState::PortClosed); },
        15000));
    // What was handed over is freed, and the port's threads end, once the
    // delivery returned: wait for that, not for a time that suits one machine.
    RunUntil([&] { return ThreadCount() <= threads && (port || OpenHandleCount() <= handles); },
             10000);
    EXPECT_EQ(received, "abc");
    EXPECT_TRUE(Errors.empty());
    // Letting go never sits out the dispatch thread's wait for this handler.
    EXPECT_LT(letGoMs, 2000.0);
    EXPECT_EQ(ThreadCount(), threads);
    if (!port) {
        EXPECT_EQ(OpenHandleCount(), handles);
        return;
    }
    port->SetOpen(true);
    Pty.Send("d");
    ASSERT_TRUE(RunUntil([&] { return received == "abcd"; }));
    port.reset();
    EXPECT_EQ(OpenHandleCount(), handles);
}

INSTANTIATE_TEST_SUITE_P(Link, HandlerLetsGo,
                         ::testing::Values(LettingGo{"CloseAtOnce", false, 0, 0},
                                           LettingGo{"DestroyAtOnce", true, 0, 0},
                                           LettingGo{"CloseAfterTheWait", false, 3300, 0},
                                           LettingGo{"DestroyAfterTheWait", true, 3300, 0},
                                           LettingGo{"CloseThenALongNestedLoop", false, 0, 3500},
                                           LettingGo{"DestroyThenALongNestedLoop", true, 0, 3500}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ComPort, CloseDuringANoticeFinishesAfterTheHandlerAndAPendingOpenFollows) {
    std::string received;
    auto port = OpenPort(received);
    int calls = 0;
    port->OnTriggerAvail = [&](TApdCustomComPort& cp, std::uint16_t count) {
        ++calls;
        for (int i = 0; i < count; ++i)
            received.push_back(cp.ReadChar());
        if (calls == 1) {
            cp.SetOpen(false);
            EXPECT_EQ(cp.PortState(), TPortState::PortClosing);
            EXPECT_EQ(cp.ReadChar(), '\0'); // nothing while closing
            cp.WriteString("ignored");
            cp.SetOpen(true);  // opens once the close completed
            cp.SetOpen(false); // does not cancel the pending open
            EXPECT_TRUE(static_cast<TApdComPort&>(cp).OpenPending());
        }
    };
    Pty.Send("first");
    ASSERT_TRUE(RunUntil([&] {
        return calls == 1 && port->PortState() == TPortState::PortOpen && !port->OpenPending();
    }));
    EXPECT_EQ(received, "first");
    EXPECT_FALSE(port->OpenPending());
    Pty.Send("second");
    ASSERT_TRUE(RunUntil([&] { return received == "firstsecond"; }));
    EXPECT_EQ(Pty.Receive(7, 200), "");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(ComPort, CloseFromTheHandlerAndReopenDoesNotDeadlock) {
    std::string received;
    auto port = OpenPort(received);
    port->OnTriggerAvail = [&](TApdCustomComPort& cp, std::uint16_t count) {
        for (int i = 0; i < count; ++i)
            received.push_back(cp.ReadChar());
        cp.SetOpen(false);
    };
    for (int round = 0; round < 5; ++round) {
        Pty.Send("x");
        ASSERT_TRUE(RunUntil([&] { return port->PortState() == TPortState::PortClosed; })) << round;
        port->SetOpen(true);
        ASSERT_EQ(port->PortState(), TPortState::PortOpen);
    }
    EXPECT_EQ(received, "xxxxx");
}

TEST_F(ComPort, ClosingWithQueuedOutputAndAFullPeerReturnsPromptly) {
    std::string received;
    auto port = OpenPort(received);
    // The peer never reads: the kernel buffer fills, the writer waits for room.
    const std::string block(4000, 'z');
    const auto start = std::chrono::steady_clock::now();
    int refused = 0;
    for (int i = 0; i < 1000 && refused < 3; ++i) {
        try {
            port->WriteString(block);
        } catch (const EOutputBufferTooSmall&) {
            ++refused;
            RunFor(5);
        }
    }
    const double writeMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(refused, 0);       // it refused instead of waiting
    EXPECT_LT(writeMs, 10000.0); // never blocked on the device (that would be for ever)
    const double cpuBefore = CpuMs();
    RunFor(500);
    EXPECT_LT(CpuMs() - cpuBefore, 300.0); // the writer waits in poll, not spinning
    int notices = 0;
    port->OnTriggerAvail = [&](TApdCustomComPort&, std::uint16_t) { ++notices; };
    Pty.Send("late");
    // The notice is on its way, but the event loop has not taken it up yet.
    for (int i = 0; i < 2000 && !port->Dispatcher()->NoticeActive(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(port->Dispatcher()->NoticeActive());
    const auto closing = std::chrono::steady_clock::now();
    port->SetOpen(false);
    const double closeMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - closing)
            .count();
    EXPECT_LT(closeMs, TApdBaseDispatcher::NoticeWaitMs * 0.8); // it never sits out the notice wait
    EXPECT_EQ(port->PortState(), TPortState::PortClosed);
    RunFor(100);
    EXPECT_EQ(notices, 0); // no handler runs after the close
}

TEST_F(ComPort, ChangingComNumberOnAnOpenPortReopensOnTheNewOne) {
    TestPty second(2);
    std::string received;
    auto port = OpenPort(received);
    port->SetComNumber(2);
    EXPECT_EQ(port->PortState(), TPortState::PortOpen);
    EXPECT_EQ(port->ComNumber(), 2);
    port->WriteString("two");
    EXPECT_EQ(second.Receive(3), "two");
    second.Send("back");
    ASSERT_TRUE(RunUntil([&] { return received == "back"; }));
    // The sequencer's way: Open false, ComNumber, Open true.
    port->SetOpen(false);
    port->SetComNumber(1);
    port->SetOpen(true);
    port->WriteString("one");
    EXPECT_EQ(Pty.Receive(3), "one");
}

TEST_F(ComPort, ExceptionsFromTheHandlerGoToTheErrorDisplay) {
    std::string received;
    auto port = OpenPort(received);
    port->OnTriggerAvail = [&](TApdCustomComPort& cp, std::uint16_t count) {
        for (int i = 0; i <= count; ++i)
            received.push_back(cp.ReadChar()); // one too many
    };
    Pty.Send("0123456789");
    ASSERT_TRUE(RunUntil([&] { return !Errors.empty(); }));
    EXPECT_EQ(Errors.front(), "Buffer is empty");
    EXPECT_EQ(received, "0123456789");
    EXPECT_EQ(port->Dispatcher()->InBuffUsed(), 0);
}

TEST_F(ComPort, OpenCloseCyclesLeaveNoHandleOrThread) {
    const int cycles = RunningUnderWine() ? 200 : 1000;
    TApdComPort port;
    port.SetComNumber(1);
    port.OnTriggerAvail = [](TApdCustomComPort&, std::uint16_t) {};
    port.SetOpen(true);
    port.SetOpen(false);
    const int handles = OpenHandleCount(), threads = ThreadCount();
    for (int i = 0; i < cycles; ++i) {
        port.SetOpen(true);
        ASSERT_EQ(port.PortState(), TPortState::PortOpen);
        port.SetOpen(false);
    }
    EXPECT_EQ(OpenHandleCount(), handles);
    EXPECT_EQ(ThreadCount(), threads);
}

// A close that comes just as the event thread turns from one event to its
// next wait must end that wait too, even when the wait starts only after the
// close has told the device to stop waiting.
TEST_F(ComPort, ACloseRightAfterAReceptionEndsTheNextEventWait) {
    constexpr std::size_t cycles = 150;
    std::string received;
    auto port = OpenPort(received);
    for (std::size_t i = 1; i <= cycles; ++i) {
        Pty.Send("x");
        ASSERT_TRUE(RunUntil([&] { return received.size() == i; })) << i;
        port->SetOpen(false); // hung here when the wait outlived the close
        port->SetOpen(true);
    }
    EXPECT_EQ(port->PortState(), TPortState::PortOpen);
}

// The event thread sits in its wait for a device event; a close ends that wait
// at once instead of leaving the close to hang on it.
TEST_F(ComPort, ACloseEndsThePendingEventWaitAtOnce) {
    WarmUp();
    const int threads = ThreadCount();
    std::string received;
    auto port = OpenPort(received);
    RunFor(300); // nothing arrives: every worker thread is waiting
    const auto start = std::chrono::steady_clock::now();
    port->SetOpen(false);
    const double closeMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(port->PortState(), TPortState::PortClosed);
    EXPECT_LT(closeMs, 1000.0); // the wait itself would last for ever
    EXPECT_TRUE(RunUntil([&] { return ThreadCount() == threads; }));
}
