// The program's windows against orvix-ups-sim on a pseudo-terminal, on COM1.
#include "SimProcess.h"
#include "UiTestSupport.h"
#include "UnitBenloQuenda.h"
#include "UnitNormalInputVoltage.h"
#include "UnitUpperLimit.h"

#include <QApplication>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <sstream>

namespace {

class EndToEnd : public UiTest {
  protected:
    std::unique_ptr<SimProcess> Sim;
    std::string StateFile = TempPath("state"), LogFile = TempPath("log");

    void StartSim(std::vector<std::string> args) {
        args.insert(args.end(), {"--state", StateFile, "--log", LogFile});
        Sim = std::make_unique<SimProcess>(args);
        setenv("ORVIX_COM1", Sim->Path().c_str(), 1);
    }
    void Start(std::vector<std::string> args) {
        StartSim(std::move(args));
        ChooseVoltage(3); // 230 V
        QTest::mouseClick(Main().RadioGroup1->Button(0), Qt::LeftButton);
    }
    void TearDown() override {
        UiTest::TearDown();
        if (Sim) Sim->Stop();
        std::remove(StateFile.c_str());
        std::remove(LogFile.c_str());
        unsetenv("ORVIX_COM1");
    }
    bool WaitStatus(const std::string& status, int timeoutMs = 8000) {
        return RunUntil([&] { return Status() == status; }, timeoutMs);
    }
    bool Unlocked() { return Main().LMDButton[1]->isEnabled() && Main().RadioGroup1->isEnabled(); }
    std::string Field(int edit) { return Main().EditText(edit); }
    std::string Combo(int c) {
        return Main().ComboBox[static_cast<std::size_t>(c)]->currentText().toStdString();
    }
    // The commands the simulator received, in order.
    std::vector<std::string> Commands() {
        std::istringstream in(ReadFile(LogFile));
        std::vector<std::string> out;
        std::string ms, dir, text;
        while (in >> ms >> dir && std::getline(in, text))
            if (dir == "<") out.push_back(text.substr(1));
        return out;
    }
    std::string State() {
        kill(Sim->Pid(), SIGUSR1);
        RunFor(200);
        return ReadFile(StateFile);
    }
    void ExpectSimulatorDefaults() {
        EXPECT_EQ(Field(1), "288");
        EXPECT_EQ(Field(2), "173");
        EXPECT_EQ(Field(3), "2");
        EXPECT_EQ(Combo(1), "3");
        const std::vector<std::string> flags = {"実行", "実行", "取り消し", "いいえ",
                                                "はい", "はい", "はい",     "実行"};
        for (int c = 2; c <= 9; ++c)
            EXPECT_EQ(Combo(c), flags[static_cast<std::size_t>(c - 2)]) << c;
        EXPECT_EQ(Field(4), "90");
    }
};

} // namespace

TEST_F(EndToEnd, ConnectReadsEverySettingThenASaveReachesTheUps) {
    Start({});
    Press(1);
    EXPECT_FALSE(Unlocked());
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed"));
    EXPECT_TRUE(Unlocked());
    ExpectSimulatorDefaults();
    EXPECT_EQ(Commands(),
              (std::vector<std::string>{"V?", "R5", "R4", "TD", "F%", "R31", "R28", "R34", "R42"}));

    // Edit: upper limit from the dialog, a flag, the delay; then save.
    FormUpperLimit->show();
    QTest::mouseClick(FormUpperLimit->RadioButton[1], Qt::LeftButton);
    QTest::mouseClick(FormUpperLimit->LMDButton1, Qt::LeftButton);
    EXPECT_EQ(Field(1), "276");
    Main().MaskEdit[3]->setText("5");
    Main().ComboBox[3]->SetItemIndex(1);
    Press(4);
    ASSERT_TRUE(WaitStatus(" Saving Complete"));
    RunFor(300); // the answer to the last command
    const std::string state = State();
    EXPECT_NE(state.find("R5 0AC8\n"), std::string::npos) << state;
    EXPECT_NE(state.find("TD 5\n"), std::string::npos) << state;
    EXPECT_NE(state.find("R31 A100\n"), std::string::npos) << state;
    EXPECT_NE(state.find("R42 305A\n"), std::string::npos) << state;

    // Reading back shows what was saved.
    Press(3);
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed"));
    EXPECT_EQ(Field(1), "276");
    EXPECT_EQ(Combo(3), "取り消し");
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(EndToEnd, LineNoiseAndSplitRepliesStillReadEveryValue) {
    Start({"--noise", "4", "--split"});
    Press(1);
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed", 12000));
    ExpectSimulatorDefaults();
}

TEST_F(EndToEnd, ASilentLineEndsWithACommunicationError) {
    Start({"--silent"});
    Press(1);
    ASSERT_TRUE(WaitStatus("Communication error !"));
    EXPECT_TRUE(Unlocked());
    RunUntil([&] { return Commands().size() >= 3; }, 2000); // the last one is still on the line
    RunFor(300);
    EXPECT_EQ(Commands(), std::vector<std::string>(3, "V?"));
    Press(3);
    EXPECT_EQ(Status(), " Connect COM port first !");
}

TEST_F(EndToEnd, AWrongUpsFailsIdentificationAndLeavesTheWindowUsable) {
    Start({"--wrong-id"});
    Press(1);
    ASSERT_TRUE(RunUntil([&] { return !Boxes.empty(); }));
    EXPECT_EQ(Boxes.front(), "orvix-config: This program can use only with Morbeck Orvix series");
    ASSERT_TRUE(RunUntil([&] { return Unlocked() && !Main().Timer1.isActive(); }));
    EXPECT_FALSE(Main().Link.Connected);
    Press(4);
    EXPECT_EQ(Boxes.back(), "Error: Connect to the UPS before save config!");
    EXPECT_EQ(Field(1), "読取不可");
}

TEST_F(EndToEnd, GarbageBeforeRepliesIsCaughtByTheIdentification) {
    Start({"--garbage", "12"});
    Press(1);
    ASSERT_TRUE(
        RunUntil([&] { return !Boxes.empty() && Unlocked() && !Main().Timer1.isActive(); }));
    EXPECT_FALSE(Main().Link.Connected);
}

TEST_F(EndToEnd, ACablePulledMidReadEndsWithACommunicationError) {
    Start({"--hangup-after", "3"});
    Press(1);
    ASSERT_TRUE(WaitStatus("Communication error !"));
    EXPECT_TRUE(Unlocked());
    EXPECT_EQ(Field(1), "288"); // what came before the line went dead
    // Connecting again reopens the port; the dead line stays silent.
    Press(1);
    ASSERT_TRUE(WaitStatus("Communication error !"));
    EXPECT_TRUE(Boxes.empty() || Boxes.back() == "Error: Cannot initialize COM port");
}

TEST_F(EndToEnd, ASaveTheUpsRejectsSaysSo) {
    Start({"--nk", "R4="});
    Press(1);
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed"));
    Press(4);
    ASSERT_TRUE(WaitStatus(" Save failed: UPS rejected R4"));
    EXPECT_EQ(Main().windowTitle().right(1), "3");
    EXPECT_TRUE(Unlocked());
}

// Limits of another voltage class than the unit's reach it only after a Yes;
// No, the default (Return, Escape), sends nothing and keeps the fields.
TEST_F(EndToEnd, LimitsOfAnotherVoltageClassNeedAYes) {
    Start({});
    Press(1);
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed"));
    FormNormalInputVoltage->RatedVoltage = 100;
    Press(5); // a 100 V unit's factory values into a 230 V unit
    const std::size_t sent = Commands().size();
    const std::string question =
        "orvix-config: The limits to save (124 V / 80 V) suit a 100–110 V UPS, but this UPS "
        "holds the limits of a 220–240 V UPS. Save anyway?";
    for (int key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Y}) {
        SCOPED_TRACE(key);
        Boxes.clear();
        BoxKey = key;
        Press(4);
        ASSERT_TRUE(RunUntil([&] { return !Boxes.empty(); }));
        EXPECT_EQ(Boxes, std::vector<std::string>{question});
        if (key != Qt::Key_Y) {
            RunFor(300);
            EXPECT_EQ(Commands().size(), sent);
            EXPECT_EQ(Field(1), "124");
            EXPECT_EQ(Field(2), "80");
            EXPECT_TRUE(Unlocked());
        }
    }
    ASSERT_TRUE(WaitStatus(" Saving Complete"));
    EXPECT_NE(State().find("R5 04D8\nR4 0320\n"), std::string::npos);
}

TEST_F(EndToEnd, AMissingPortCannotBeInitialized) {
    Start({});
    setenv("ORVIX_COM1", "/dev/orvix-missing", 1);
    Press(1);
    EXPECT_EQ(Boxes, std::vector<std::string>{"Error: Cannot initialize COM port"});
    // The box says why below its text.
    EXPECT_EQ(BoxDetails, std::vector<std::string>{"COM1: " + Main().Link.OpenError()->Reason +
                                                   " (no such port)"});
    EXPECT_TRUE(Unlocked());
}

TEST_F(EndToEnd, ClosingDuringASaveEndsAtOnceAndSendsNothingMore) {
    Start({});
    Press(1);
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed"));
    Press(4);
    ASSERT_TRUE(RunUntil([&] { return Commands().size() >= 11; })); // "Xw" and "R5=" are out
    EXPECT_FALSE(Main().LMDButton[2]->isEnabled()); // "切断" is locked, the close box is not
    Main().close();
    EXPECT_TRUE(FormNormalInputVoltage->EndRequested);
    EXPECT_FALSE(Main().Timer1.isActive());
    EXPECT_EQ(Main().ComPort1.PortState(), TPortState::PortClosed);
    const std::size_t sent = Commands().size();
    RunFor(600);
    EXPECT_LE(Commands().size(), sent + 1); // at most the one already on the line
    EXPECT_TRUE(Boxes.empty());
}

// A UPS that answers later than a tick, or with a jitter, gets each command
// more than once: still every value lands in its own field, and a save
// writes exactly what the window shows.
class SlowUps : public EndToEnd, public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(SlowUps, ReadsAndSavesEveryValueInItsOwnPlace) {
    Start(GetParam());
    Press(1);
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed", 30000));
    ExpectSimulatorDefaults();

    Main().MaskEdit[1]->setText("276");
    Main().MaskEdit[2]->setText("180");
    Main().MaskEdit[3]->setText("5");
    Main().MaskEdit[4]->setText("120");
    Main().ComboBox[1]->SetItemIndex(4);
    Main().ComboBox[3]->SetItemIndex(1);
    Main().ComboBox[5]->SetItemIndex(0);
    Press(4);
    ASSERT_TRUE(WaitStatus(" Saving Complete", 30000));
    ASSERT_TRUE(RunUntil([&] { return !Main().Link.AwaitingReplies(); }, 5000));
    EXPECT_EQ(State(), "R5 0AC8\nR4 0708\nTD 5\nF% 10\nR31 A100\nR28 00FF\nR34 8100\nR42 3078\n");
    EXPECT_TRUE(Boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(E2E, SlowUps,
                         ::testing::Values(std::vector<std::string>{"--reply-delay", "250"},
                                           std::vector<std::string>{"--reply-delay", "100",
                                                                    "--reply-jitter", "200"}));

TEST_F(EndToEnd, TheKeyboardAloneConnectsChoosesALimitSavesAndDisconnects) {
    StartSim({});
    FormNormalInputVoltage->show();
    Activate(FormNormalInputVoltage);
    Keys({Qt::Key_Space, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Tab, Qt::Key_Return});
    ASSERT_EQ(FormNormalInputVoltage->RatedVoltage, 230);
    auto& w = Main();
    Activate(&w);
    Keys({Qt::Key_Space, Qt::Key_Tab, Qt::Key_Return}); // COM 1, "接続"
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed"));

    ASSERT_TRUE(TabTo(w.LMDButton[6]));
    QTimer::singleShot(0, [&] {
        if (RunUntil([&] { return QApplication::activeWindow() == FormUpperLimit; }))
            Keys({Qt::Key_Space, Qt::Key_Down, Qt::Key_Down, Qt::Key_Tab, Qt::Key_Return});
        FormUpperLimit->close();
    });
    Key(Qt::Key_Return);
    EXPECT_EQ(Field(1), "288");

    Activate(&w);
    ASSERT_TRUE(TabTo(w.LMDButton[4])); // "データの登録"
    Key(Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_TRUE(WaitStatus(" Saving Complete"));
    ASSERT_TRUE(TabTo(w.LMDButton[2])); // "切断"
    Key(Qt::Key_Return);
    EXPECT_TRUE(FormNormalInputVoltage->EndRequested);
    EXPECT_EQ(w.ComPort1.PortState(), TPortState::PortClosed);
    EXPECT_TRUE(Boxes.empty());
}

// The rated voltage answered from the keyboard (Space, Down x3, Tab, Return),
// then the mouse: the limit dialog a click opens stays open and takes its choice.
TEST_F(EndToEnd, AKeyboardStartLeavesTheLimitDialogOpenForTheMouse) {
    StartSim({});
    FormNormalInputVoltage->show();
    Activate(FormNormalInputVoltage);
    Keys({Qt::Key_Space, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Tab, Qt::Key_Return});
    ASSERT_EQ(FormNormalInputVoltage->RatedVoltage, 230);
    auto& w = Main();
    QTest::mouseClick(w.RadioGroup1->Button(0), Qt::LeftButton);
    Press(1);
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed"));
    bool stayed = false;
    QTimer::singleShot(0, [&] {
        RunFor(300); // what the window system still delivers after the click
        stayed = FormUpperLimit->isVisible();
        if (stayed) {
            QTest::mouseClick(FormUpperLimit->RadioButton[1], Qt::LeftButton);
            QTest::mouseClick(FormUpperLimit->LMDButton1, Qt::LeftButton);
        }
        if (FormUpperLimit->isVisible()) FormUpperLimit->close();
    });
    Press(6);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(Field(1), "276");
}
