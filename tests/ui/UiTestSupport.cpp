#include "UiTestSupport.h"

#include "Application.h"
#include "UnitBenloQuenda.h"
#include "UnitNormalInputVoltage.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTest>

void UiTest::SetUp() {
    CreateForms();
    BoxCloser.setInterval(5);
    QObject::connect(&BoxCloser, &QTimer::timeout, [this] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (box->property("answered").toBool()) return;
            Boxes.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
            if (!box->detailedText().isEmpty())
                BoxDetails.push_back(box->detailedText().toStdString());
            box->setProperty("answered", true);
            if (BoxKey)
                QTest::keyClick(box, static_cast<Qt::Key>(BoxKey));
            else
                box->close();
        }
    });
    BoxCloser.start();
}

void UiTest::TearDown() {
    BoxCloser.stop();
    DestroyForms();
}

void UiTest::Restart() {
    DestroyForms();
    CreateForms();
    Boxes.clear();
}

void UiTest::ChooseVoltage(int item) {
    FormNormalInputVoltage->show();
    if (item >= 0)
        QTest::mouseClick(FormNormalInputVoltage->RadioGroup1->Button(item), Qt::LeftButton);
    QTest::mouseClick(FormNormalInputVoltage->LMDButton1, Qt::LeftButton);
}

void UiTest::Press(int button) {
    QTest::mouseClick(Main().LMDButton[static_cast<std::size_t>(button)], Qt::LeftButton);
}

TFormBenloQuenda& UiTest::Main() {
    return *FormBenloQuenda;
}

std::string UiTest::Status() {
    return FormBenloQuenda->StatusBar1->PanelText(1).toStdString();
}

void UiTest::Activate(QWidget* window) {
    QCoreApplication::processEvents(); // what the platform still has queued comes first
    QApplication::setActiveWindow(window);
    RunUntil([window] {
        return QApplication::focusWidget() && QApplication::focusWidget()->window() == window;
    });
}

void UiTest::Key(int key, Qt::KeyboardModifiers modifiers) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "no widget has the focus for key " << key;
    QTest::keyClick(focus, Qt::Key(key), modifiers);
}

void UiTest::Keys(std::initializer_list<int> keys) {
    for (int key : keys)
        Key(key);
}

bool UiTest::TabTo(QWidget* target) {
    for (int i = 0; i < 60; ++i) {
        const QWidget* focus = QApplication::focusWidget();
        if (focus == target || (focus && focus->focusProxy() == target) ||
            (focus && focus->parentWidget() == target && qobject_cast<QComboBox*>(target)))
            return true;
        Key(Qt::Key_Tab);
    }
    return false;
}
