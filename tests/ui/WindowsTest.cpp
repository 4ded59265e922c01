#include "IconArt.h"
#include "UiTestSupport.h"
#include "UnitBenloQuenda.h"
#include "UnitLowerLimit.h"
#include "UnitNormalInputVoltage.h"
#include "UnitUpperLimit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <set>

namespace {
QPoint Centre(const QWidget* w) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return {screen.x() + (screen.width() - w->width()) / 2,
            screen.y() + (screen.height() - w->height()) / 2};
}
QString Text(QWidget* w) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    return static_cast<QComboBox*>(w)->currentText();
}
void ClickArrow(TUpDown* upDown, bool up) {
    const auto arrows = upDown->findChildren<QToolButton*>();
    for (auto* a : arrows)
        if ((a->arrowType() == Qt::UpArrow) == up) QTest::mouseClick(a, Qt::LeftButton);
}
} // namespace

using Windows = UiTest;

TEST_F(Windows, StartShowsOnlyTheVoltageDialogCentredWithNothingChosen) {
    FormNormalInputVoltage->show();
    EXPECT_TRUE(FormNormalInputVoltage->isVisible());
    EXPECT_FALSE(FormBenloQuenda->isVisible());
    EXPECT_FALSE(FormUpperLimit->isVisible());
    EXPECT_EQ(FormNormalInputVoltage->windowTitle(), "INPUT VOLTAGE");
    EXPECT_EQ(FormNormalInputVoltage->size(), QSize(186, 155));
    EXPECT_EQ(FormNormalInputVoltage->pos(), Centre(FormNormalInputVoltage));
    EXPECT_EQ(FormNormalInputVoltage->RadioGroup1->geometry(), QRect(0, 0, 185, 153));
    EXPECT_EQ(FormNormalInputVoltage->RadioGroup1->title(), " Please Select ");
    EXPECT_EQ(FormNormalInputVoltage->LMDButton1->geometry(), QRect(100, 24, 75, 25));
    EXPECT_EQ(FormNormalInputVoltage->LMDButton2->geometry(), QRect(100, 64, 75, 25));
    EXPECT_EQ(FormNormalInputVoltage->RadioGroup1->ItemIndex(), -1);
    EXPECT_EQ(FormNormalInputVoltage->RatedVoltage, 0);
    const Qt::WindowFlags flags = FormNormalInputVoltage->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(FormNormalInputVoltage->minimumSize(), FormNormalInputVoltage->maximumSize());
}

TEST_F(Windows, OkRecordsTheVoltageShowsTheMainWindowAndHidesTheDialog) {
    ChooseVoltage(4);
    EXPECT_EQ(FormNormalInputVoltage->RatedVoltage, 240);
    EXPECT_TRUE(FormBenloQuenda->isVisible());
    EXPECT_FALSE(FormNormalInputVoltage->isVisible());
    EXPECT_FALSE(FormNormalInputVoltage->EndRequested); // hiding does not end the program
}

TEST_F(Windows, OkWithoutAChoiceOpensTheMainWindowWithVoltageZero) {
    ChooseVoltage(-1);
    EXPECT_EQ(FormNormalInputVoltage->RatedVoltage, 0);
    EXPECT_TRUE(FormBenloQuenda->isVisible());
}

TEST_F(Windows, CancelEndsTheProgramWithoutShowingAnotherWindow) {
    FormNormalInputVoltage->show();
    QTest::mouseClick(FormNormalInputVoltage->LMDButton2, Qt::LeftButton);
    EXPECT_TRUE(FormNormalInputVoltage->EndRequested);
    EXPECT_FALSE(FormBenloQuenda->isVisible());
    EXPECT_EQ(FormBenloQuenda->ComPort1.PortState(), TPortState::PortClosed);
}

TEST_F(Windows, MainWindowStartsWithEveryValueUnreadAndItsLayout) {
    ChooseVoltage(3);
    auto& w = Main();
    EXPECT_EQ(w.windowTitle().toStdString(),
              "Orvix Sine / Benlo / Quenda 特性 v1.09 (Japanese edition)");
    EXPECT_EQ(w.size(), QSize(488, 348));
    EXPECT_EQ(w.pos(), Centre(&w));
    EXPECT_EQ(w.Panel1->geometry(), QRect(0, 0, 489, 505));
    EXPECT_EQ(w.StatusBar1->geometry(), QRect(0, 327, 488, 21));
    EXPECT_EQ(w.StatusBar1->PanelText(0), "設定条件");
    EXPECT_EQ(w.StatusBar1->PanelText(1), "");
    EXPECT_EQ(w.RadioGroup1->geometry(), QRect(8, 40, 233, 81));
    EXPECT_EQ(w.RadioGroup1->ItemIndex(), -1);
    // Filled column by column: COM 1 over COM 2 on the left.
    EXPECT_LT(w.RadioGroup1->Button(0)->x(), w.RadioGroup1->Button(2)->x());
    EXPECT_EQ(w.RadioGroup1->Button(0)->x(), w.RadioGroup1->Button(1)->x());
    EXPECT_EQ(w.LMDButton[1]->geometry(), QRect(252, 44, 106, 33));
    EXPECT_EQ(w.LMDButton[4]->geometry(), QRect(367, 76, 106, 33));
    EXPECT_EQ(w.LMDButton[5]->geometry(), QRect(264, 290, 221, 29));
    EXPECT_EQ(w.LMDButton[4]->text(), "データの登録");
    EXPECT_EQ(w.MaskEdit[1]->geometry(), QRect(136, 132, 77, 21));
    EXPECT_EQ(w.MaskEdit[3]->geometry(), QRect(192, 198, 46, 21));
    EXPECT_EQ(w.UpDown[3]->geometry(), QRect(240, 196, 16, 24));
    EXPECT_EQ(w.ComboBox[4]->geometry(), QRect(430, 132, 55, 21));
    EXPECT_EQ(w.ComboBox[1]->count(), 10);
    for (int e = 1; e <= 4; ++e)
        EXPECT_EQ(Text(w.MaskEdit[static_cast<std::size_t>(e)]), "読取不可") << e;
    for (int c = 1; c <= 14; ++c) {
        auto* combo = w.ComboBox[static_cast<std::size_t>(c)];
        EXPECT_EQ(combo->currentText(), "読取不可") << c;
        EXPECT_EQ(combo->ItemIndex(), -1) << c;
        EXPECT_EQ(combo->isEnabled(), c != 10) << c;
    }
    // The outlet group exists below the visible area and the window cannot show it.
    EXPECT_EQ(w.ComboBox[10]->parentWidget(), &w);
    EXPECT_EQ(w.ComboBox[9]->parentWidget(), w.Panel1);
    for (QWidget* hidden :
         {static_cast<QWidget*>(w.ComboBox[9]), static_cast<QWidget*>(w.MaskEdit[4]),
          static_cast<QWidget*>(w.UpDown[4]), static_cast<QWidget*>(w.ComboBox[14])}) {
        EXPECT_GE(hidden->mapTo(&w, QPoint(0, 0)).y(), 327);
    }
    EXPECT_EQ(w.Label[12]->pos(), QPoint(8, 333));
    for (auto* title : {w.LMDSimpleLabel1, w.LMDSimpleLabel2}) // the titles fit their boxes
        EXPECT_LE(QFontMetrics(title->font()).horizontalAdvance(title->text()), title->width() - 3);
    w.ComboBox[1]->showPopup(); // the list is built when it drops down, in the box's font
    EXPECT_EQ(w.ComboBox[1]->view()->font(), w.ComboBox[1]->font());
    w.ComboBox[1]->hidePopup();
    for (int l = 1; l <= 21; ++l) // each label as large as its caption
        EXPECT_EQ(w.Label[static_cast<std::size_t>(l)]->size(),
                  w.Label[static_cast<std::size_t>(l)]->sizeHint())
            << l;
    EXPECT_FALSE(w.Timer1.isActive());
    EXPECT_EQ(w.ComPort1.PortState(), TPortState::PortClosed);
    EXPECT_EQ(w.MaskEdit[1]->accessibleName(), "入力電源の上限値(V)");
}

TEST_F(Windows, FactoryValuesNeedALinkAndFollowTheRatedVoltage) {
    ChooseVoltage(3);
    auto& w = Main();
    Press(5);
    EXPECT_EQ(Boxes, std::vector<std::string>{"Error: Connect to the UPS before read config!"});
    EXPECT_EQ(Status(), " Connect COM port first !");
    EXPECT_EQ(Text(w.MaskEdit[1]), "読取不可");

    w.Link.Connected = true;
    w.UpDown[3]->SetPosition(7);
    w.ComboBox[5]->SetItemIndex(0);
    for (int c = 6; c <= 8; ++c)
        w.ComboBox[static_cast<std::size_t>(c)]->setEnabled(false);
    Press(5);
    const std::vector<QString> expected = {"288",  "173",    "2",    "3",    "取り消し", "取り消し",
                                           "実行", "いいえ", "はい", "はい", "はい"};
    std::vector<QString> actual = {Text(w.MaskEdit[1]), Text(w.MaskEdit[2]), Text(w.MaskEdit[3])};
    for (int c = 1; c <= 8; ++c)
        actual.push_back(Text(w.ComboBox[static_cast<std::size_t>(c)]));
    EXPECT_EQ(actual, expected);
    for (int c = 6; c <= 8; ++c)
        EXPECT_TRUE(w.ComboBox[static_cast<std::size_t>(c)]->isEnabled());
    // The spinner kept its position: the next click continues from there.
    ClickArrow(w.UpDown[3], true);
    EXPECT_EQ(Text(w.MaskEdit[3]), "8");
}

TEST_F(Windows, ChangeHandlersRunOnlyOnTheOperatorsActions) {
    ChooseVoltage(3);
    auto& w = Main();
    // Set by the program: no handler runs.
    w.SetComboItemIndex(5, 0);
    EXPECT_TRUE(w.ComboBox[6]->isEnabled());
    // Picked by the operator.
    w.ComboBox[5]->setFocus();
    QTest::keyClick(w.ComboBox[5], Qt::Key_Down); // "いいえ"
    EXPECT_EQ(w.ComboBox[5]->ItemIndex(), 1);
    EXPECT_TRUE(w.ComboBox[7]->isEnabled());
    QTest::keyClick(w.ComboBox[5], Qt::Key_Up); // "はい"
    EXPECT_EQ(w.ComboBox[5]->ItemIndex(), 0);
    for (int c = 6; c <= 8; ++c)
        EXPECT_FALSE(w.ComboBox[static_cast<std::size_t>(c)]->isEnabled());
    QTest::keyClick(w.ComboBox[5], Qt::Key_Down);
    for (int c = 6; c <= 8; ++c)
        EXPECT_TRUE(w.ComboBox[static_cast<std::size_t>(c)]->isEnabled());

    QTest::keyClick(w.ComboBox[9], Qt::Key_Down); // "実行"
    for (int c = 10; c <= 14; ++c)
        EXPECT_TRUE(w.ComboBox[static_cast<std::size_t>(c)]->isEnabled());
    EXPECT_TRUE(w.MaskEdit[4]->isEnabled());
    QTest::keyClick(w.ComboBox[9], Qt::Key_Down); // "取り消し"
    for (int c = 10; c <= 14; ++c)
        EXPECT_FALSE(w.ComboBox[static_cast<std::size_t>(c)]->isEnabled());
    EXPECT_FALSE(w.MaskEdit[4]->isEnabled());
    EXPECT_FALSE(w.UpDown[4]->isEnabled());
}

TEST_F(Windows, SpinnersWriteTheirFieldAndStopAtTheEnds) {
    ChooseVoltage(3);
    auto& w = Main();
    ClickArrow(w.UpDown[3], false); // at position 1 a down-click does nothing
    EXPECT_EQ(Text(w.MaskEdit[3]), "読取不可");
    ClickArrow(w.UpDown[3], true);
    EXPECT_EQ(Text(w.MaskEdit[3]), "2");
    w.MaskEdit[3]->setText("50"); // typing does not move the spinner
    ClickArrow(w.UpDown[3], true);
    EXPECT_EQ(Text(w.MaskEdit[3]), "3");
    w.SetUpDownPosition(3, 600);
    ClickArrow(w.UpDown[3], true);
    EXPECT_EQ(Text(w.MaskEdit[3]), "3");
    w.SetUpDownPosition(4, 3999);
    ClickArrow(w.UpDown[4], true);
    EXPECT_EQ(Text(w.MaskEdit[4]), "4000"); // no thousands separator
    ClickArrow(w.UpDown[4], true);
    EXPECT_EQ(Text(w.MaskEdit[4]), "4000");
}

TEST_F(Windows, LimitDialogsOfferTheRowsOfTheRatedVoltage) {
    const std::vector<std::pair<int, std::pair<std::string, std::string>>> rows = {
        {0, {"  10                           110", "   5                            95"}},
        {1, {"  10                           121", "  10                            99"}},
        {2, {"  15                           253", "  15                           187"}},
        {3, {"  15                           265", "  15                           196"}},
        {4, {"  15                           276", "  15                           204"}}};
    for (const auto& [item, first] : rows) {
        FormNormalInputVoltage->RadioGroup1->SetItemIndex(item);
        FormNormalInputVoltage->LMDButton1Click();
        FormUpperLimit->show();
        FormLowerLimit->show();
        EXPECT_EQ(FormUpperLimit->RadioButton[0]->text().toStdString(), first.first);
        EXPECT_EQ(FormLowerLimit->RadioButton[0]->text().toStdString(), first.second);
        for (auto* b : FormUpperLimit->RadioButton)
            EXPECT_EQ(b->text().size(), 34);
        EXPECT_EQ(FormUpperLimit->RadioButton[3]->isEnabled(), item != 4);
        FormUpperLimit->close();
        FormLowerLimit->close();
    }
    EXPECT_EQ(FormUpperLimit->RadioButton[3]->text().toStdString(),
              "  30                           312");
    EXPECT_EQ(FormUpperLimit->windowTitle(), "入力電源の上限値(V)");
    EXPECT_EQ(FormLowerLimit->windowTitle(), "入力電源の下限値(V)");
    EXPECT_EQ(FormUpperLimit->size(), QSize(205, 192));
    EXPECT_EQ(FormLowerLimit->size(), QSize(205, 184));
    EXPECT_EQ(FormLowerLimit->LMDButton1->geometry(), QRect(20, 152, 75, 25));
    EXPECT_EQ(FormUpperLimit->Label2->geometry(), QRect(116, 16, 63, 20));
}

TEST_F(Windows, LimitDialogOkCopiesTheLastThreeCharacters) {
    ChooseVoltage(0); // 100 V
    auto& w = Main();
    FormLowerLimit->show();
    QTest::mouseClick(FormLowerLimit->RadioButton[0], Qt::LeftButton);
    QTest::mouseClick(FormLowerLimit->LMDButton1, Qt::LeftButton);
    EXPECT_EQ(Text(w.MaskEdit[2]), " 95");
    EXPECT_FALSE(FormLowerLimit->isVisible());
    for (auto* b : FormLowerLimit->RadioButton)
        EXPECT_FALSE(b->isChecked());

    // OK with nothing checked leaves the field.
    FormUpperLimit->show();
    QTest::mouseClick(FormUpperLimit->LMDButton1, Qt::LeftButton);
    EXPECT_EQ(Text(w.MaskEdit[1]), "読取不可");
    // Closed by its close box, a checked button stays checked for the next showing.
    FormUpperLimit->show();
    QTest::mouseClick(FormUpperLimit->RadioButton[3], Qt::LeftButton);
    FormUpperLimit->close();
    FormUpperLimit->show();
    EXPECT_TRUE(FormUpperLimit->RadioButton[3]->isChecked());
    QTest::mouseClick(FormUpperLimit->LMDButton1, Qt::LeftButton);
    EXPECT_EQ(Text(w.MaskEdit[1]), "124");
    // Cancel unchecks and changes nothing.
    FormUpperLimit->show();
    QTest::mouseClick(FormUpperLimit->RadioButton[0], Qt::LeftButton);
    QTest::mouseClick(FormUpperLimit->LMDButton2, Qt::LeftButton);
    EXPECT_EQ(Text(w.MaskEdit[1]), "124");
    EXPECT_FALSE(FormUpperLimit->RadioButton[0]->isChecked());
}

TEST_F(Windows, WithoutARatedVoltageTheLimitDialogsChangeNoField) {
    ChooseVoltage(-1);
    FormUpperLimit->show();
    EXPECT_EQ(FormUpperLimit->RadioButton[0]->text(), "RadioButton1");
    QTest::mouseClick(FormUpperLimit->RadioButton[0], Qt::LeftButton);
    QTest::mouseClick(FormUpperLimit->LMDButton1, Qt::LeftButton);
    EXPECT_EQ(Text(Main().MaskEdit[1]), "読取不可");
    Main().Link.Connected = true;
    Press(5);
    EXPECT_EQ(Text(Main().MaskEdit[1]), "読取不可"); // factory values keep the limits too
    EXPECT_EQ(Text(Main().MaskEdit[3]), "2");
}

TEST_F(Windows, ClosingTheMainWindowEndsTheProgram) {
    ChooseVoltage(3);
    Press(2); // "切断"
    EXPECT_FALSE(FormBenloQuenda->isVisible());
    EXPECT_TRUE(FormNormalInputVoltage->EndRequested);
    EXPECT_FALSE(FormBenloQuenda->Link.HexTool);
}

TEST_F(Windows, ConnectWithoutAPortAsksForOne) {
    ChooseVoltage(3);
    Press(1);
    EXPECT_EQ(Boxes,
              std::vector<std::string>{"Error: Please select comport before connect to the UPS"});
    Press(4);
    EXPECT_EQ(Boxes.back(), "Error: Connect to the UPS before save config!");
    EXPECT_TRUE(Main().LMDButton[1]->isEnabled());
}

// A sequence locks exactly the seven buttons and the port choice, ticks every
// 200 ms, and gives all eight back when it ends (here: a silent line).
TEST_F(Windows, ASequenceLocksTheCommandControlsWhileItsTimerTicks) {
    TestPty line; // nobody answers on it
#ifndef _WIN32
    setenv("ORVIX_COM1", line.Path.c_str(), 1);
#endif
    ChooseVoltage(3);
    auto& w = Main();
    QTest::mouseClick(w.RadioGroup1->Button(0), Qt::LeftButton);
    Press(1);
    EXPECT_TRUE(w.Timer1.isActive());
    EXPECT_EQ(w.Timer1.interval(), 200);
    auto commandControls = [&] {
        std::vector<QWidget*> all(w.LMDButton.begin() + 1, w.LMDButton.end());
        all.push_back(w.RadioGroup1);
        return all;
    };
    for (QWidget* c : commandControls())
        EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
    EXPECT_TRUE(w.MaskEdit[1]->isEnabled()); // values stay editable
    ASSERT_TRUE(RunUntil([&] { return !w.Timer1.isActive(); }));
    EXPECT_EQ(Status(), "Communication error !");
    EXPECT_EQ(line.Receive(12), "V?\r\nV?\r\nV?\r\n");
    for (QWidget* c : commandControls())
        EXPECT_TRUE(c->isEnabled());
#ifndef _WIN32
    unsetenv("ORVIX_COM1");
#endif
}

TEST_F(Windows, TabRunsThroughTheLeftColumnAndTheRightOne) {
    ChooseVoltage(3);
    auto& w = Main();
    QApplication::setActiveWindow(&w);
    const std::vector<QWidget*> order = {
        w.MaskEdit[1], w.LMDButton[6], w.MaskEdit[2], w.LMDButton[7], w.MaskEdit[3],
        w.UpDown[3],   w.ComboBox[1],  w.ComboBox[2], w.ComboBox[3],  w.ComboBox[4],
        w.ComboBox[5], w.ComboBox[6],  w.ComboBox[7], w.ComboBox[8],  w.LMDButton[5]};
    order.front()->setFocus();
    for (std::size_t i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        // A combo box takes the focus through its text field.
        if (focus && focus->parentWidget() && qobject_cast<QComboBox*>(focus->parentWidget()))
            focus = focus->parentWidget();
        EXPECT_EQ(focus, order[i]) << i;
    }
}

TEST_F(Windows, ArrowsKeepTheNormalArrowColourInColouredRows) {
    ChooseVoltage(3);
    auto& w = Main();
    w.ComboBox[11]->setEnabled(true);
    const std::pair<QWidget*, QRect> arrows[] = {
        {w.UpDown[3], w.UpDown[3]->rect()},
        {w.UpDown[4], w.UpDown[4]->rect()},
        {w.ComboBox[9], QRect(w.ComboBox[9]->width() - 16, 0, 16, w.ComboBox[9]->height())},
        {w.ComboBox[11], QRect(w.ComboBox[11]->width() - 16, 0, 16, w.ComboBox[11]->height())}};
    for (const auto& [widget, area] : arrows) {
        const QImage image = widget->grab(area).toImage();
        int coloured = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                coloured += c == QColor(0, 0, 255) || c == QColor(255, 0, 0);
            }
        EXPECT_EQ(coloured, 0) << widget->accessibleName().toStdString();
    }
}

// Typed text selects the item it names, or none: a save sends the item, so
// it must never be another than the field shows.
TEST_F(Windows, TypedComboTextSelectsItsItemOrNone) {
    ChooseVoltage(3);
    for (int c : {1, 4}) {
        auto* box = Main().ComboBox[static_cast<std::size_t>(c)];
        box->SetItemIndex(0);
        for (const auto& [typed, item] :
             std::vector<std::pair<QString, int>>{{"abc", -1},
                                                  {box->itemText(1), 1},
                                                  {"x" + box->itemText(0), -1},
                                                  {box->itemText(0), 0}}) {
            SCOPED_TRACE(typed.toStdString());
            box->lineEdit()->clear();
            for (const QChar ch : typed) // any text, as an input method types it
                QTest::sendKeyEvent(QTest::Click, box->lineEdit(), Qt::Key_unknown, QString(ch),
                                    Qt::NoModifier);
            EXPECT_EQ(box->currentText(), typed);
            EXPECT_EQ(box->ItemIndex(), item);
        }
    }
}

TEST_F(Windows, EveryWindowCarriesTheIconAndTheProgramItsDesktopEntry) {
    EXPECT_EQ(QGuiApplication::desktopFileName(), ORVIX_APP_ID);
    ChooseVoltage(3);
    for (QWidget* window :
         {static_cast<QWidget*>(FormNormalInputVoltage), static_cast<QWidget*>(FormBenloQuenda),
          static_cast<QWidget*>(FormUpperLimit), static_cast<QWidget*>(FormLowerLimit)})
        EXPECT_FALSE(window->windowIcon().isNull()) << window->windowTitle().toStdString();
    const QIcon icon = QApplication::windowIcon();
    for (int size : IconSizes)
        EXPECT_EQ(icon.pixmap(size, size).size(), QSize(size, size)) << size;
    // The 16-pixel icon is drawn pixel by pixel in three colours, not smoothed
    // down from a larger one.
    const QImage small = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    std::set<QRgb> colours;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            if (qAlpha(small.pixel(x, y))) colours.insert(small.pixel(x, y));
    EXPECT_EQ(colours, (std::set<QRgb>{qRgb(0, 0, 0), qRgb(0, 128, 0), qRgb(255, 255, 0)}));
}
