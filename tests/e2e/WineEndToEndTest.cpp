// orvix-config.exe's windows against orvix-ups-sim on COM1, under Wine on the
// platform plugin the program uses on Windows. The simulator is a Linux
// program: sim-control (tests/e2e/wine) starts it on COM1's terminal and reads
// its registers and its log for the test.
#include "Application.h"
#include "UiTestSupport.h"
#include "UnitBenloQuenda.h"
#include "UnitUpperLimit.h"
#include "WineSimControl.h"

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <sstream>

namespace {

class WineEndToEnd : public UiTest {
  protected:
    void Start(const std::string& simArgs) {
        ASSERT_EQ(SimControl("start " + simArgs), "ok");
        ChooseVoltage(3); // 230 V
        QTest::mouseClick(Main().RadioGroup1->Button(0), Qt::LeftButton);
        Press(1);
    }
    void TearDown() override {
        UiTest::TearDown();
        SimControl("stop");
    }
    bool WaitStatus(const std::string& status) {
        return RunUntil([&] { return Status() == status; }, 15000);
    }
    std::string Field(int edit) { return Main().EditText(edit); }
    std::vector<std::string> Commands() {
        std::istringstream in(SimControl("log"));
        std::vector<std::string> out;
        std::string ms, dir, text;
        while (in >> ms >> dir && std::getline(in, text))
            if (dir == "<") out.push_back(text.substr(1));
        return out;
    }
    // A save ends with the last reply; the registers as the UPS holds them then.
    // A second save starts from the first one's status, which it changes first.
    std::string SavedState() {
        EXPECT_TRUE(RunUntil([&] { return Status() != " Saving Complete"; }, 15000));
        EXPECT_TRUE(WaitStatus(" Saving Complete"));
        EXPECT_TRUE(RunUntil([&] { return !Main().Link.AwaitingReplies(); }));
        return SimControl("state");
    }
    // The factory values at 230 V once saved: the simulator's power-on registers
    // but for R31, whose flags are the factory's (8101, not A108).
    static constexpr const char* Factory230 =
        "R5 0B40\nR4 06C2\nTD 2\nF% 6\nR31 8101\nR28 1AFF\nR34 8100\nR42 305A\n";
};

} // namespace

TEST_F(WineEndToEnd, ConnectReadsEverySetting) {
    Start("");
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed"));
    EXPECT_EQ(std::vector<std::string>({Field(1), Field(2), Field(3), Field(4)}),
              std::vector<std::string>({"288", "173", "2", "90"}));
    EXPECT_EQ(Main().ComboBox[1]->currentText().toStdString(), "3");
    EXPECT_EQ(Commands(),
              (std::vector<std::string>{"V?", "R5", "R4", "TD", "F%", "R31", "R28", "R34", "R42"}));
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(WineEndToEnd, ASaveReachesTheUpsAndReadsBack) {
    Start("");
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed"));
    FormUpperLimit->show();
    QTest::mouseClick(FormUpperLimit->RadioButton[1], Qt::LeftButton);
    QTest::mouseClick(FormUpperLimit->LMDButton1, Qt::LeftButton);
    Main().MaskEdit[3]->setText("5");
    Main().ComboBox[3]->SetItemIndex(1);
    Press(4);
    EXPECT_EQ(SavedState(),
              "R5 0AC8\nR4 06C2\nTD 5\nF% 6\nR31 A100\nR28 1AFF\nR34 8100\nR42 305A\n");
    Press(3);
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed"));
    EXPECT_EQ(Field(1), "276");
    EXPECT_EQ(Field(3), "5");
    EXPECT_EQ(Main().ComboBox[3]->currentText().toStdString(), "取り消し");
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(WineEndToEnd, FactoryValuesSavedReachTheUps) {
    Start("");
    ASSERT_TRUE(WaitStatus(" Reading data from UPS completed"));
    Main().MaskEdit[1]->setText("276");
    Main().MaskEdit[3]->setText("7");
    Press(4);
    ASSERT_NE(SavedState(), Factory230);
    Press(5);
    EXPECT_EQ(std::vector<std::string>({Field(1), Field(2), Field(3)}),
              std::vector<std::string>({"288", "173", "2"}));
    Press(4);
    EXPECT_EQ(SavedState(), Factory230);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(WineEndToEnd, ASilentUpsEndsWithACommunicationError) {
    Start("--silent");
    ASSERT_TRUE(WaitStatus("Communication error !"));
    EXPECT_TRUE(Main().LMDButton[1]->isEnabled());
    ASSERT_TRUE(RunUntil([&] { return Commands().size() >= 3; }));
    EXPECT_EQ(Commands(), std::vector<std::string>(3, "V?"));
}

int main(int argc, char** argv) {
    // The platform plugin comes from the environment: "windows" under Xvfb.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    TestHost host(argc, argv);
    QApplication app(argc, argv);
    InitializeApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
