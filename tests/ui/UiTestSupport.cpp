#include "UiTestSupport.h"

#include "Application.h"
#include "UnitBenloQuenda.h"
#include "UnitNormalInputVoltage.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>

void UiTest::SetUp() {
    CreateForms();
    BoxCloser.setInterval(5);
    QObject::connect(&BoxCloser, &QTimer::timeout, [this] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            Boxes.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
            box->close();
        }
    });
    BoxCloser.start();
}

void UiTest::TearDown() {
    BoxCloser.stop();
    DestroyForms();
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
