// The windows from the keyboard alone, and as screen readers see them.
#include "UiTestSupport.h"
#include "UnitBenloQuenda.h"
#include "UnitLowerLimit.h"
#include "UnitNormalInputVoltage.h"
#include "UnitUpperLimit.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWindow>
#include <map>
#include <set>

using Access = UiTest;

namespace {
QString Field(int edit) {
    return FormBenloQuenda->MaskEdit[static_cast<std::size_t>(edit)]->text();
}
} // namespace

TEST_F(Access, TheVoltageDialogAnswersTheKeyboard) {
    const struct {
        std::initializer_list<int> keys;
        int rated;
        bool mainShown;
    } cases[] = {
        {{Qt::Key_Space, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Tab, Qt::Key_Return},
         230,
         true},
        {{Qt::Key_Space, Qt::Key_Tab, Qt::Key_Enter}, 100, true},
        {{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return}, 0, false}, // Cancel
        // As on Windows: the arrows choose, wrapping at the ends, and Return
        // on an item presses OK.
        {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}, 220, true},
        {{Qt::Key_Up, Qt::Key_Enter}, 240, true},
        {{Qt::Key_Space, Qt::Key_Up, Qt::Key_Right, Qt::Key_Right, Qt::Key_Return}, 110, true},
    };
    for (const auto& c : cases) {
        Restart();
        FormNormalInputVoltage->show();
        Activate(FormNormalInputVoltage);
        Keys(c.keys);
        EXPECT_EQ(FormNormalInputVoltage->RatedVoltage, c.rated);
        EXPECT_EQ(FormBenloQuenda->isVisible(), c.mainShown);
        EXPECT_EQ(FormNormalInputVoltage->EndRequested, !c.mainShown);
    }
}

TEST_F(Access, LimitDialogsOpenAndChooseFromTheKeyboard) {
    const struct {
        int button; // LMDButton6 or 7 of the main window
        std::initializer_list<int> keys;
        int edit;
        QString field;
        int stillChecked; // -1: none
        int rated = 3;    // item of the voltage dialog: 230 V
    } cases[] = {
        {6, {Qt::Key_Space, Qt::Key_Down, Qt::Key_Tab, Qt::Key_Return}, 1, "276", -1},
        {7, {Qt::Key_Space, Qt::Key_Down, Qt::Key_Down, Qt::Key_Tab, Qt::Key_Enter}, 2, "173", -1},
        // Escape is the close box: nothing copied, the choice kept for the next showing.
        {6, {Qt::Key_Space, Qt::Key_Down, Qt::Key_Escape}, 1, "読取不可", 1},
        {6, {Qt::Key_Space, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return}, 1, "読取不可", -1},
        // The arrows choose without Space; Return on a button is OK.
        {6, {Qt::Key_Down, Qt::Key_Return}, 1, "276", -1},
        {7, {Qt::Key_Up, Qt::Key_Enter}, 2, "161", -1},
        {7, {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Escape}, 2, "読取不可", 1},
        // At 240 V the disabled 312 V is passed over, both ways.
        {6, {Qt::Key_Up, Qt::Key_Return}, 1, "300", -1, 4},
        {6, {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}, 1, "276", -1, 4},
    };
    for (const auto& c : cases) {
        Restart(); // the dialog's focus starts on its first button
        ChooseVoltage(c.rated);
        auto& w = Main();
        Activate(&w);
        QDialog* dialog = c.button == 6 ? static_cast<QDialog*>(FormUpperLimit) : FormLowerLimit;
        ASSERT_TRUE(TabTo(w.LMDButton[static_cast<std::size_t>(c.button)]));
        bool driven = false;
        QTimer::singleShot(0, [&] {
            // A modal dialog activates itself as it shows; under Wine the
            // offscreen platform leaves that to the caller.
            driven = RunUntil([&] { return dialog->isVisible(); });
            if (driven && QApplication::activeWindow() != dialog) Activate(dialog);
            driven = driven && QApplication::activeWindow() == dialog;
            // The Return that opened the dialog goes up before its own keys.
            if (driven) QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Return);
            if (driven) Keys(c.keys);
            if (dialog->isVisible()) dialog->close();
        });
        Key(Qt::Key_Return); // returns when the dialog has closed
        ASSERT_TRUE(driven) << c.button;
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(Field(c.edit), c.field) << c.button;
        auto* limit = static_cast<TLimitDialog*>(dialog);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(limit->RadioButton[static_cast<std::size_t>(i)]->isChecked(),
                      i == c.stillChecked);
    }
}

TEST_F(Access, TheSpinnerStepsWithTheArrowKeysAndShowsItsFocus) {
    ChooseVoltage(3);
    auto& w = Main();
    Activate(&w);
    const QImage unfocused = w.UpDown[3]->grab().toImage();
    ASSERT_TRUE(TabTo(w.UpDown[3]));
    EXPECT_NE(w.UpDown[3]->grab().toImage(), unfocused) << "no focus frame";
    const std::pair<int, const char*> steps[] = {
        {Qt::Key_Up, "2"}, {Qt::Key_Up, "3"}, {Qt::Key_Down, "2"}, {Qt::Key_Down, "1"}};
    for (const auto& [key, text] : steps) {
        Key(key);
        EXPECT_EQ(Field(3), text);
    }
    Key(Qt::Key_Tab);
    EXPECT_EQ(w.UpDown[3]->grab().toImage(), unfocused);
}

TEST_F(Access, WindowsAreDialogsOrFramesAndTheLimitDialogsStayOverTheMainWindow) {
    ChooseVoltage(3);
    const std::pair<QWidget*, QAccessible::Role> windows[] = {
        {FormNormalInputVoltage, QAccessible::Dialog},
        {FormBenloQuenda, QAccessible::Window}, // a frame over AT-SPI
        {FormBenloQuenda->Panel1, QAccessible::Pane},
        {FormBenloQuenda->StatusBar1, QAccessible::StatusBar},
        {FormUpperLimit, QAccessible::Dialog},
        {FormLowerLimit, QAccessible::Dialog}};
    for (const auto& [window, role] : windows)
        EXPECT_EQ(QAccessible::queryAccessibleInterface(window)->role(), role)
            << window->windowTitle().toStdString();
    for (QDialog* dialog :
         {static_cast<QDialog*>(FormUpperLimit), static_cast<QDialog*>(FormLowerLimit)}) {
        dialog->show();
        // X11 writes WM_TRANSIENT_FOR only for a window of the dialog type.
        EXPECT_EQ(dialog->windowType(), Qt::Dialog);
        EXPECT_EQ(dialog->windowHandle()->transientParent(), Main().windowHandle());
        dialog->close();
    }
}

TEST_F(Access, EveryFocusableControlHasANameOfItsOwn) {
    ChooseVoltage(3);
    for (QWidget* window :
         {static_cast<QWidget*>(FormNormalInputVoltage), static_cast<QWidget*>(FormBenloQuenda),
          static_cast<QWidget*>(FormUpperLimit), static_cast<QWidget*>(FormLowerLimit)}) {
        window->show();
        std::map<std::pair<int, QString>, int> seen; // (role, name) -> count
        std::vector<QAccessibleInterface*> todo = {QAccessible::queryAccessibleInterface(window)};
        int focusable = 0;
        while (!todo.empty()) {
            QAccessibleInterface* node = todo.back();
            todo.pop_back();
            for (int i = 0; i < node->childCount(); ++i)
                if (QAccessibleInterface* child = node->child(i)) todo.push_back(child);
            const QAccessible::State state = node->state();
            if (!state.focusable || state.invisible) continue;
            ++focusable;
            const QString name = node->text(QAccessible::Name).trimmed();
            EXPECT_FALSE(name.isEmpty()) << node->object()->metaObject()->className() << " in "
                                         << window->windowTitle().toStdString();
            const std::pair<int, QString> key(node->role(), name);
            EXPECT_EQ(++seen[key], 1)
                << name.toStdString() << " twice in " << window->windowTitle().toStdString();
        }
        EXPECT_GT(focusable, 3);
        window->hide();
    }
}

TEST_F(Access, ControlsAreNamedByTheirSetting) {
    ChooseVoltage(3);
    auto& w = Main();
    FormUpperLimit->show();
    const struct {
        QObject* control;
        QAccessible::Role role;
        QString name;
    } cases[] = {
        {w.ComboBox[5], QAccessible::ComboBox, "アラーム音の停止"},
        {w.ComboBox[5]->lineEdit(), QAccessible::EditableText, "アラーム音の停止"},
        {w.MaskEdit[1], QAccessible::EditableText, "入力電源の上限値(V)"},
        {w.UpDown[3], QAccessible::SpinBox, "UPSシャットダウン遅延時間（分）"},
        {w.LMDButton[6], QAccessible::Button, "設定 入力電源の上限値(V)"},
        {w.LMDButton[7], QAccessible::Button, "設定 入力電源の下限値(V)"},
        // The outlet rows: their caption, then the heading they stand under.
        {w.ComboBox[10], QAccessible::ComboBox, "過負荷時のシャットダウン、商用電源で運転中"},
        {w.ComboBox[14], QAccessible::ComboBox, "過負荷解消後の自動供給、商用電源で運転中"},
        {w.ComboBox[11], QAccessible::ComboBox, "高温異常時のシャットダウン、バッテリで運転中"},
        {w.ComboBox[12], QAccessible::ComboBox, "バッテリ低下シャットダウン、バッテリで運転中"},
        {w.ComboBox[13], QAccessible::ComboBox, "過負荷時のシャットダウン、バッテリで運転中"},
        {FormUpperLimit->RadioButton[2], QAccessible::RadioButton, "25 %, 288 V"},
    };
    for (const auto& c : cases) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(c.control);
        EXPECT_EQ(node->role(), c.role) << c.name.toStdString();
        EXPECT_EQ(node->text(QAccessible::Name).toStdString(), c.name.toStdString());
    }
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(w.LMDButton[7])
                    ->text(QAccessible::Description)
                    .contains("入力電源の下限値(V)"));
    // The spinner offers its value and steps through the reader's actions.
    QAccessibleInterface* spinner = QAccessible::queryAccessibleInterface(w.UpDown[3]);
    ASSERT_NE(spinner->valueInterface(), nullptr);
    EXPECT_EQ(spinner->valueInterface()->maximumValue().toInt(), 600);
    spinner->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    EXPECT_EQ(Field(3), "2");
    EXPECT_EQ(spinner->valueInterface()->currentValue().toInt(), 2);
}

// The outlet controls lie below the visible area: Tab never reaches them, so
// no key can change a setting nobody sees.
TEST_F(Access, TheKeyboardNeverReachesControlsOutOfSight) {
    ChooseVoltage(3);
    auto& w = Main();
    Activate(&w);
    std::vector<QWidget*> hidden = {w.MaskEdit[4], w.UpDown[4]};
    for (int c = 9; c <= 14; ++c) {
        hidden.push_back(w.ComboBox[static_cast<std::size_t>(c)]);
        hidden.push_back(w.ComboBox[static_cast<std::size_t>(c)]->lineEdit());
    }
    std::set<QWidget*> reached;
    for (int i = 0; i < 40; ++i) {
        Key(Qt::Key_Tab);
        reached.insert(QApplication::focusWidget());
    }
    EXPECT_GT(reached.size(), 10u);
    for (QWidget* control : hidden)
        EXPECT_EQ(reached.count(control), 0u) << control->accessibleName().toStdString();
}
