#include "ApdExceptions.h"
#include "Fakes.h"
#include "LinkSequencer.h"

#include <gtest/gtest.h>

namespace {
struct Sequencer : ::testing::Test {
    FakeWindow W;
    FakePort P;
    TLinkSequencer L{W, P};

    void SetUp() override {
        L.InitializeLink();
        W.PortIndex = 0;
    }
    // One data-available event carrying text.
    void Arrive(const std::string& text) {
        for (char c : text)
            P.Input.push_back(c);
        L.ComPort1TriggerAvail(static_cast<int>(text.size()));
    }
    std::string LastSent() const { return P.Sent.empty() ? "" : P.Sent.back(); }
    // Ticks until a command goes out (at most twelve: a new sequence may wait
    // for replies still due), then answers it.
    void Exchange(const std::string& reply) {
        const auto before = P.Sent.size();
        for (int i = 0; i < 12 && P.Sent.size() == before && W.TimerOn; ++i)
            L.Timer1Timer();
        if (P.Sent.size() > before) Arrive(reply + "\r\n");
    }
    void ConnectAndRead(const char* r34 = "8100") {
        L.LMDButton1Click();
        for (const char* reply :
             {"ORVIX-BQ1l", "0B40", "06C2", "2", "6", "A108", "1AFF", r34, "305A"})
            Exchange(reply);
    }
};
} // namespace

TEST_F(Sequencer, StartsWithTheCaptionAndNeedsAPort) {
    EXPECT_EQ(W.CaptionText, "Orvix Sine / Benlo / Quenda 特性 v1.09 (Japanese edition)");
    W.PortIndex = -1;
    L.LMDButton1Click();
    EXPECT_EQ(W.Boxes.back(), "Error: Please select comport before connect to the UPS");
    EXPECT_FALSE(P.IsOpen);
    EXPECT_FALSE(W.TimerOn);
}

TEST_F(Sequencer, ConnectReadsEverySettingOneStepPerReply) {
    W.PortIndex = 2;
    ConnectAndRead();
    EXPECT_EQ(P.ComNumber, 3);
    const std::vector<std::string> expected = {"V?\r\n",  "R5\r\n",  "R4\r\n",  "TD\r\n", "F%\r\n",
                                               "R31\r\n", "R28\r\n", "R34\r\n", "R42\r\n"};
    EXPECT_EQ(P.Sent, expected);
    EXPECT_EQ(W.Edit[1], "288");
    EXPECT_EQ(W.Edit[2], "173");
    EXPECT_EQ(W.Edit[3], "2");
    EXPECT_EQ(W.ComboIndex[1], 2);
    EXPECT_EQ(W.Edit[4], "90");
    EXPECT_EQ(W.Status, " Reading data from UPS completed");
    EXPECT_FALSE(W.Locked);
    EXPECT_FALSE(W.TimerOn);
    EXPECT_EQ(L.StepIndex, 1);
    EXPECT_TRUE(W.ComboEnabled[10]); // ComboBox9 on "実行"

    // The outlet controls below ComboBox9 follow it once the read is done;
    // a unit without outlet management leaves every outlet value unknown.
    for (auto [r34, enabled, known] : {std::tuple{"8000", false, true}, {"8100", true, true},
                                       {"0100", true, false}}) {
        ConnectAndRead(r34);
        EXPECT_EQ(W.ComboEnabled[12], enabled) << r34;
        EXPECT_EQ(W.EditEnabled[4], enabled) << r34;
        EXPECT_EQ(L.Settings[TSettingId::IntelligentChannelControl].has_value(), known) << r34;
        EXPECT_EQ(L.Settings[TSettingId::OutletDelay].has_value(), known) << r34;
    }
}

TEST_F(Sequencer, ThreeSilentTicksEndTheReadWithACommunicationError) {
    L.LMDButton1Click();
    EXPECT_TRUE(W.Locked);
    L.Timer1Timer();
    L.Timer1Timer();
    EXPECT_TRUE(W.TimerOn);
    L.Timer1Timer();
    EXPECT_EQ(P.Sent, std::vector<std::string>(3, "V?\r\n"));
    EXPECT_EQ(W.Status, "Communication error !");
    EXPECT_FALSE(W.Locked);
    EXPECT_FALSE(W.TimerOn);
    EXPECT_FALSE(L.Connected);
    EXPECT_TRUE(P.IsOpen); // the port stays open
    L.LMDButton3Click();
    EXPECT_EQ(W.Status, " Connect COM port first !");
    EXPECT_EQ(W.Boxes.back(), "Error: Connect to the UPS before read config!");
}

TEST_F(Sequencer, TricklingCharactersKeepTheReadAlive) {
    L.LMDButton1Click();
    for (int i = 0; i < 10; ++i) {
        L.Timer1Timer();
        Arrive("x");
    }
    EXPECT_TRUE(W.TimerOn);
    EXPECT_EQ(W.Status, "");
    Arrive("ABCDEFGHlJ\r\n"); // the line completes the identification
    EXPECT_EQ(L.StepIndex, 1);
}

TEST_F(Sequencer, EveryLineEndsAtItsLfAndAnswersItsOwnCommand) {
    L.LMDButton1Click();
    L.Timer1Timer();
    Arrive("ORVIX-BQ1l\r\n");
    L.Timer1Timer();
    Arrive("04");
    Arrive("D8\r\n"); // one line in two events
    EXPECT_EQ(W.Edit[1], "124");
    L.Timer1Timer();
    Arrive("0320\r\n");
    L.Timer1Timer();
    L.Timer1Timer(); // a silent tick: "TD" goes out again
    EXPECT_EQ(P.Sent, (std::vector<std::string>{"V?\r\n", "R5\r\n", "R4\r\n", "TD\r\n", "TD\r\n"}));
    Arrive("2\r\n2\r\n"); // both answers in one event: two lines, not "22"
    EXPECT_EQ(W.Edit[3], "2");
    EXPECT_EQ(L.StepIndex, 4);
    EXPECT_FALSE(L.AwaitingReplies());
    L.Timer1Timer();
    EXPECT_EQ(LastSent(), "F%\r\n");
}

// A UPS slower than a tick gets the command again; the answer to the repeat
// is dropped, and the next command waits for it, so that no reply is ever
// taken for the next step's.
TEST_F(Sequencer, RepliesToRepeatsAreDroppedAndTheNextCommandWaitsForThem) {
    L.LMDButton1Click();
    L.Timer1Timer();
    L.Timer1Timer(); // 400 ms without a character: "V?" went out twice
    Arrive("ORVIX-BQ1l\r\n");
    EXPECT_EQ(L.StepIndex, 1);
    L.Timer1Timer(); // the second answer is still due: nothing goes out
    EXPECT_EQ(P.Sent, std::vector<std::string>(2, "V?\r\n"));
    Arrive("ORVIX-BQ1l\r\n"); // the repeat's answer is no R5 reply
    EXPECT_EQ(W.Edit[1], "読取不可");
    EXPECT_EQ(L.StepIndex, 1);
    L.Timer1Timer();
    EXPECT_EQ(LastSent(), "R5\r\n");

    // A reply that never comes holds the next command while a step may wait,
    // then ends the read: going on could take it for a later step's reply.
    L.Timer1Timer();
    Arrive("0B40\r\n");
    for (int i = 0; i < L.ReplyWaitTicks - 1; ++i) {
        L.Timer1Timer();
        EXPECT_EQ(LastSent(), "R5\r\n");
    }
    EXPECT_TRUE(W.TimerOn);
    L.Timer1Timer();
    EXPECT_EQ(LastSent(), "R5\r\n");
    EXPECT_FALSE(W.TimerOn);
    EXPECT_EQ(W.Status, "Communication error !");
    EXPECT_FALSE(L.Connected);
    EXPECT_EQ(W.Edit[1], "288");
}

TEST_F(Sequencer, StartingASequenceDropsAHalfLineAndSaysWhatRuns) {
    Arrive("0B"); // the rest of a line from before never comes
    L.LMDButton1Click();
    Exchange("ORVIX-BQ1l");
    EXPECT_EQ(L.StepIndex, 1); // the identification was not "0BORVIX-BQ1l"
    L.LMDButton3Click();
    EXPECT_EQ(W.Status, " Reading data from UPS");
    for (const char* reply :
         {"ORVIX-BQ1l", "0B40", "06C2", "2", "6", "A108", "1AFF", "8100", "305A"})
        Exchange(reply);
    L.LMDButton4Click();
    Exchange("OK");
    L.Timer1Timer();
    EXPECT_EQ(W.Status, " Saving configuration");
}

// A failure inside a tick or a reply ends the sequence like a silent line; it
// is still reported once, by whoever called.
TEST_F(Sequencer, AFailureInATickOrAReplyEndsTheSequence) {
    const struct {
        const char* Name;
        std::function<void()>* Hook;
        std::function<void()> Fail;
        std::string Message;
        bool InReply;
    } cases[] = {
        {"closed port", &P.WriteFailure,
         [] { throw ECommNotOpen(-2007, "ie_NOpen - device not open"); },
         "ie_NOpen - device not open", false},
        {"full send ring", &P.WriteFailure,
         [] { throw EOutputBufferTooSmall(-3006, "Output buffer too small for block"); },
         "Output buffer too small for block", false},
        {"nothing to read", &P.ReadFailure, [] { throw EBufferIsEmpty(-3007, "Buffer is empty"); },
         "Buffer is empty", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        L.LMDButton1Click();
        *c.Hook = c.Fail;
        if (c.InReply)
            EXPECT_THROW(Arrive("ORVIX-BQ1l\r\n"), EAPDException);
        else
            EXPECT_THROW(L.Timer1Timer(), EAPDException);
        *c.Hook = nullptr;
        P.Input.clear();
        EXPECT_EQ(W.Status, "Communication error ! " + c.Message);
        EXPECT_FALSE(W.Locked);
        EXPECT_FALSE(W.TimerOn);
        EXPECT_FALSE(L.Connected);
    }
}

TEST_F(Sequencer, ConnectAlwaysStartsWithIdentification) {
    ConnectAndRead();
    P.Sent.clear();
    L.LMDButton1Click();
    L.Timer1Timer();
    EXPECT_EQ(LastSent(), "V?\r\n");

    // Also after a save left the step at 9.
    ConnectAndRead();
    L.LMDButton4Click();
    for (int i = 0; i < 9; ++i)
        Exchange("OK");
    EXPECT_EQ(L.StepIndex, 9);
    P.Sent.clear();
    L.LMDButton1Click();
    Exchange("ORVIX-BQ1l");
    EXPECT_EQ(P.Sent.front(), "V?\r\n");
    EXPECT_EQ(L.StepIndex, 1);
}

TEST_F(Sequencer, SaveSendsEveryCommandAndReportsCompletion) {
    ConnectAndRead();
    P.Sent.clear();
    W.SetComboItemIndex(3, 1);
    L.LMDButton4Click();
    EXPECT_TRUE(W.Locked);
    for (int i = 0; i < 9; ++i)
        Exchange("OK");
    const std::vector<std::string> expected = {"Xw\r\n",       "R5=0B40\r\n",  "R4=06C2\r\n",
                                               "TD=2\r\n",     "F%=6\r\n",     "R31=A100\r\n",
                                               "R28=1AFF\r\n", "R34=8100\r\n", "R42=305A\r\n"};
    EXPECT_EQ(P.Sent, expected);
    EXPECT_EQ(W.Status, " Saving Complete");
    EXPECT_FALSE(W.Locked);
    EXPECT_FALSE(W.TimerOn);
    EXPECT_EQ(L.StepIndex, 9); // the answer to "R42=" came after the last tick
    Arrive("OK\r\n");          // a line nobody asked for is dropped
    EXPECT_EQ(W.Status, " Saving Complete");
    EXPECT_EQ(L.StepIndex, 9);
}

TEST_F(Sequencer, SaveWithoutOutletManagementEndsWithoutR42) {
    ConnectAndRead();
    W.SetComboItemIndex(9, 1);
    P.Sent.clear();
    L.LMDButton4Click();
    for (int i = 0; i < 9; ++i)
        Exchange("OK");
    EXPECT_EQ(P.Sent.size(), 8u);
    EXPECT_EQ(LastSent(), "R34=8000\r\n");
    EXPECT_EQ(W.Status, " Saving Complete");
}

TEST_F(Sequencer, SaveWithoutRepliesStopsLikeARead) {
    ConnectAndRead();
    L.LMDButton4Click();
    L.Timer1Timer();
    L.Timer1Timer();
    L.Timer1Timer();
    EXPECT_EQ(W.Status, "Communication error !");
    EXPECT_FALSE(W.Locked);
    EXPECT_FALSE(W.TimerOn);
    EXPECT_FALSE(L.Connected);
    L.LMDButton4Click();
    EXPECT_EQ(W.Boxes.back(), "Error: Connect to the UPS before save config!");

    // The unit answers the ended save late, after a new connect: those answers
    // belong to the save and must not pass for the identification.
    const auto sent = P.Sent.size();
    L.LMDButton1Click();
    L.Timer1Timer();
    Arrive("OK\r\nOK\r\nOK\r\n"); // one per command the save sent
    EXPECT_EQ(L.StepIndex, 0);
    L.Timer1Timer(); // characters came: the line was not quiet
    EXPECT_EQ(P.Sent.size(), sent);
    L.Timer1Timer();
    EXPECT_EQ(LastSent(), "V?\r\n");
    Arrive("ORVIX-BQ1l\r\n");
    EXPECT_EQ(L.StepIndex, 1);
}

// Every value is checked before the first command: an invalid one sends
// nothing, so the unit is never left half-written.
TEST_F(Sequencer, AnInvalidValueSendsNothingAndNamesTheField) {
    const struct {
        int Edit;
        const char* Text;
        const char* Status;
    } cases[] = {{1, "abc", " Invalid value: upper limit"},
                 {2, "7000", " Invalid value: lower limit"},
                 {3, "", " Invalid value: shutdown delay"}};
    ConnectAndRead();
    for (const auto& c : cases) {
        W.Edit = {{1, "288"}, {2, "173"}, {3, "2"}, {4, "90"}};
        W.SetEditText(c.Edit, c.Text);
        P.Sent.clear();
        L.LMDButton4Click();
        EXPECT_TRUE(P.Sent.empty()) << c.Text;
        EXPECT_EQ(W.Status, c.Status);
        EXPECT_EQ(W.Outcomes.back(), TOutcomeKind::InvalidValue);
        EXPECT_FALSE(W.Locked);
        EXPECT_FALSE(W.TimerOn);
        EXPECT_TRUE(L.Connected);
    }
}

TEST_F(Sequencer, RejectedCommandsShowInTheCaptionAndTheStatus) {
    ConnectAndRead();
    L.LMDButton4Click();
    Exchange("OK");
    Exchange("OK");
    Exchange("NK"); // R4=
    EXPECT_EQ(W.CaptionText.back(), '3');
    for (int i = 0; i < 6; ++i)
        Exchange("OK");
    EXPECT_EQ(W.Status, " Save failed: UPS rejected R4");
    Arrive("OK\r\n");
    EXPECT_EQ(W.Status, " Save failed: UPS rejected R4");

    // "NK" to the last command, after " Saving Complete" was shown.
    L.LMDButton4Click();
    for (int i = 0; i < 8; ++i)
        Exchange("OK");
    L.Timer1Timer();
    EXPECT_EQ(W.Status, " Saving Complete");
    Arrive("NK\r\n");
    EXPECT_EQ(W.Status, " Save failed: UPS rejected R42");
    EXPECT_EQ(W.Outcomes.back(), TOutcomeKind::SaveRejected);

    // A late "NK" to the last command of one save is no answer to the next.
    L.LMDButton4Click();
    for (int i = 0; i < 8; ++i)
        Exchange("OK");
    L.Timer1Timer();
    L.LMDButton4Click();
    Arrive("NK\r\n");
    for (int i = 0; i < 8; ++i)
        Exchange("OK");
    L.Timer1Timer();
    Arrive("OK\r\n");
    EXPECT_EQ(W.Status, " Saving Complete");
    EXPECT_EQ(W.Outcomes.back(), TOutcomeKind::SaveCompleted);

    // "NK" to a repeat of a command whose first answer was "OK".
    L.LMDButton4Click();
    L.Timer1Timer();
    L.Timer1Timer(); // a slow unit: the first command went out twice
    Arrive("OK\r\nNK\r\n");
    for (int i = 0; i < 8; ++i)
        Exchange("OK");
    EXPECT_EQ(W.Status, " Save failed: UPS rejected Xw");
}

TEST_F(Sequencer, IdentificationFailureEndsTheSequenceWhenItsBoxCloses) {
    L.LMDButton1Click();
    L.Timer1Timer();
    Arrive("SOMETHING ELSE\r\n");
    EXPECT_EQ(W.Boxes.back(), "Message: This program can use only with Morbeck Orvix series");
    EXPECT_FALSE(W.TimerOn);
    EXPECT_FALSE(W.Locked);
    EXPECT_FALSE(L.Connected);
    EXPECT_EQ(L.StepIndex, 1);
    L.LMDButton4Click();
    EXPECT_EQ(W.Boxes.back(), "Error: Connect to the UPS before save config!");
}

TEST_F(Sequencer, IdentificationFailureWithTicksAndDataWhileTheBoxIsOpen) {
    L.LMDButton1Click();
    L.Timer1Timer();
    int boxTicks = 0;
    W.OnBox = [&] {
        // The nested loop: ticks go on, a late line arrives and is dropped.
        W.OnBox = nullptr;
        for (; boxTicks < 3 && W.TimerOn; ++boxTicks)
            L.Timer1Timer();
        Arrive("WRONG UPS\r\n");
    };
    Arrive("WRONG UPS\r\n");
    EXPECT_EQ(boxTicks, 3);
    EXPECT_EQ(W.Boxes.size(), 1u); // the late line opened no second box
    EXPECT_EQ(W.Status, "Communication error !");
    EXPECT_FALSE(W.Locked);
    EXPECT_FALSE(W.TimerOn);
    EXPECT_EQ(L.StepIndex, 1);
}

TEST_F(Sequencer, OpenFailuresOfTheNamedKindsGiveOneErrorBox) {
    P.OpenFailure = [] { throw EBadId(-2001, "ie_BadId - Specified comport doesn't exist"); };
    L.LMDButton1Click();
    EXPECT_EQ(W.Boxes.back(), "Error: Cannot initialize COM port");
    EXPECT_FALSE(L.Connected);
    EXPECT_FALSE(W.Locked);
    W.PortIndex = 2;
    P.OpenFailure = [] { throw EInOutError(13, "Permission denied"); };
    L.LMDButton1Click();
    EXPECT_EQ(W.Boxes.size(), 2u);
    // Each box tells why, as its detail.
    EXPECT_EQ(W.Details, (std::vector<std::string>{
                             "COM1: ie_BadId - Specified comport doesn't exist (no such port)",
                             "COM3: Permission denied (system error)"}));
    EXPECT_EQ(L.OpenError()->Kind, "system error");
    // Any other failure is not swallowed here, and leaves no link behind.
    P.OpenFailure = nullptr;
    L.LMDButton1Click();
    EXPECT_TRUE(L.Connected);
    P.OpenFailure = [] { throw EAPDException(0, "Tesk exception"); };
    P.IsOpen = false;
    EXPECT_THROW(L.LMDButton1Click(), EAPDException);
    EXPECT_FALSE(L.Connected);
}

TEST_F(Sequencer, ReadAfterFactoryRefusalUsesReadingMode) {
    EXPECT_FALSE(L.EnterReadingIfConnected());
    EXPECT_EQ(W.Boxes.back(), "Error: Connect to the UPS before read config!");
    EXPECT_EQ(L.LinkMode, TLinkMode::Reading);
}

// A reply that does not fit its command ends the read with a status naming
// both, changes no field, and asks for a new connect; so does a rejected read.
// A line longer than the reply buffer ends the read at once, as no reply.
TEST_F(Sequencer, AReplyThatDoesNotFitItsCommandEndsTheReadAndChangesNothing) {
    const struct {
        int Step;
        std::string Reply, Status, CaptionEnd;
    } cases[] = {
        {1, "", " Unexpected reply to R5: \"\"", ")"},
        {1, "2", " Unexpected reply to R5: \"2\"", ")"},
        {2, "OK", " Unexpected reply to R4: \"OK\"", ")"},
        {3, "0B40", " Unexpected reply to TD: \"0B40\"", ")"},
        {4, "A108", " Unexpected reply to F%: \"A108\"", ")"},
        {5, "NK", " Read failed: UPS rejected R31", "6"},
        {6, "ORVIX-BQ1l 230V", " Unexpected reply to R28: \"ORVIX-BQ1l 230V\"", ")"},
        {8, "OK", " Unexpected reply to R42: \"OK\"", ")"},
        {1, "0B40" + std::string(60, '0'), "Communication error !", ")"},
    };
    const char* replies[] = {"ORVIX-BQ1l", "0B40", "06C2", "2", "6", "A108", "1AFF", "8100"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Reply);
        W = FakeWindow();
        L.InitializeLink();
        W.PortIndex = 0;
        L.LMDButton1Click();
        for (int step = 0; step < c.Step; ++step)
            Exchange(replies[step]);
        const FakeWindow before = W;
        Exchange(c.Reply);
        EXPECT_EQ(W.Status, c.Status);
        EXPECT_FALSE(W.TimerOn);
        EXPECT_FALSE(W.Locked);
        EXPECT_FALSE(L.Connected);
        EXPECT_EQ(W.Edit, before.Edit);
        EXPECT_EQ(W.ComboIndex, before.ComboIndex);
        EXPECT_EQ(W.CaptionText.back(), c.CaptionEnd.back());
        Arrive("0B40\r\n"); // a late answer to the ended read changes nothing either
        EXPECT_EQ(W.Edit, before.Edit);
        EXPECT_EQ(W.Status, c.Status);
    }
}

// Before its first command a sequence waits for a quiet tick; a line that
// never goes quiet ends it as a silent one does.
TEST_F(Sequencer, ASequenceStartsOnAQuietLineOnly) {
    L.LMDButton1Click();
    for (int i = 0; i < 10; ++i) {
        Arrive("0B40\r\n"); // answers nobody asked for: no command goes out
        L.Timer1Timer();
        EXPECT_TRUE(P.Sent.empty());
    }
    L.Timer1Timer();
    EXPECT_EQ(LastSent(), "V?\r\n");

    W = FakeWindow();
    W.PortIndex = 0;
    P.Sent.clear();
    Arrive("ORVIX-BQ1l\r\n");
    L.LMDButton1Click();
    int ticks = 0;
    for (; W.TimerOn && ticks < 200; ++ticks) {
        Arrive("x");
        L.Timer1Timer();
    }
    EXPECT_EQ(W.Status, "Communication error !");
    EXPECT_LT(ticks, 200);
    EXPECT_TRUE(P.Sent.empty());
    EXPECT_FALSE(L.Connected);
}

// Limits of another voltage class than the upper limit the unit holds are
// saved only after a Yes; No sends nothing. Before any read there is nothing
// to compare with, and after a save the unit holds what was saved.
TEST_F(Sequencer, LimitsOfAnotherVoltageClassAreSavedOnlyAfterAYes) {
    const struct {
        const char *Upper, *Lower;
        bool Yes;
        std::string Question; // empty: none asked
    } cases[] = {
        {"275", "165", false, ""},
        {"124", "80", false,
         "The limits to save (124 V / 80 V) suit a 100–110 V UPS, but this UPS holds the limits "
         "of a 220–240 V UPS. Save anyway?"},
        {"288", "80", false,
         "The limits to save (288 V / 80 V) mix the limits of both kinds of UPS, but this UPS "
         "holds the limits of a 220–240 V UPS. Save anyway?"},
        {"abc", "80", false, ""}, // refused by the save itself, before any question
        {"124", "80", true, "asked"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Upper) + "/" + c.Lower);
        ConnectAndRead(); // the unit holds 288 V
        W.Boxes.clear();
        W.SetEditText(1, c.Upper);
        W.SetEditText(2, c.Lower);
        W.AnswerYes = c.Yes;
        P.Sent.clear();
        L.LMDButton4Click();
        if (c.Question.empty()) {
            EXPECT_TRUE(W.Boxes.empty());
        } else if (!c.Yes) {
            EXPECT_EQ(W.Boxes, std::vector<std::string>{"Question: " + c.Question});
            EXPECT_FALSE(W.TimerOn);
            EXPECT_FALSE(W.Locked);
            EXPECT_EQ(W.Edit[1], c.Upper);
        }
        const bool sends = (c.Question.empty() || c.Yes) && std::string(c.Upper) != "abc";
        EXPECT_EQ(W.TimerOn, sends);
        for (int i = 0; i < 9 && W.TimerOn; ++i)
            Exchange("OK");
        EXPECT_EQ(P.Sent.empty(), !sends);
    }
    // The unit now holds 124 V: 100 V limits go without a question.
    W.Boxes.clear();
    W.SetEditText(1, "136");
    W.SetEditText(2, "88");
    L.LMDButton4Click();
    EXPECT_TRUE(W.Boxes.empty());
    EXPECT_TRUE(W.TimerOn);
}

// A longer wait repeats a command one tick before it runs out, not every two
// ticks: a slow UPS gets each command twice, not four times.
TEST(SequencerWait, ALongerReplyWaitRepeatsLater) {
    for (const auto& [wait, repeatTick, errorTick] :
         std::vector<std::tuple<int, int, int>>{{3, 2, 3}, {5, 4, 5}, {1, 2, 1}}) {
        SCOPED_TRACE(wait);
        FakeWindow w;
        FakePort p;
        TLinkSequencer l{w, p};
        l.InitializeLink();
        w.PortIndex = 0;
        l.ReplyWaitTicks = wait;
        l.LMDButton1Click();
        int tick = 0;
        std::vector<int> sentAt;
        while (w.TimerOn && tick < 20) {
            const auto before = p.Sent.size();
            l.Timer1Timer();
            ++tick;
            if (p.Sent.size() > before) sentAt.push_back(tick);
        }
        EXPECT_EQ(tick, errorTick);
        EXPECT_EQ(w.Status, "Communication error !");
        EXPECT_EQ(sentAt.front(), 1);
        if (errorTick >= repeatTick) {
            EXPECT_EQ(sentAt.at(1), repeatTick);
        }
    }
}
