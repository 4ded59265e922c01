#include "LimitDialog.h"

#include "RadioKeys.h"
#include "UnitBenloQuenda.h"
#include "UnitNormalInputVoltage.h"

#include <QButtonGroup>

TLimitDialog::TLimitDialog(QWidget* owner, int clientHeight, int buttonTop, const char* caption,
                           int targetEdit, const std::array<TLimitRow, 5>& table)
    : QDialog(owner), CaptionText(caption), TargetEdit(targetEdit), Table(table) {
    SetFixedWindow(this, 205, clientHeight);
    setModal(true);
    setFont(PixelFont(face::SansSerif, 11));
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setGeometry(0, 0, 205, clientHeight);
    const QFont heading = PixelFont(face::SansSerif, 16, true);
    Label1 = MakeLabel(GroupBox1, "%", {40, 16}, heading);
    Label1->setGeometry(40, 16, 16, 20);
    Label2 = MakeLabel(GroupBox1, "Voltage", {116, 16}, heading);
    Label2->setGeometry(116, 16, 63, 20);
    for (int i = 0; i < 4; ++i) {
        auto* b = new TRadioButton(QString("RadioButton%1").arg(i + 1), GroupBox1);
        b->setGeometry(16, 40 + 28 * i, 177, 17);
        b->setFont(font());
        RadioButton[static_cast<std::size_t>(i)] = b;
    }
    LMDButton1 = new TLMDButton(GroupBox1, "OK", {20, buttonTop, 75, 25}, font());
    LMDButton2 = new TLMDButton(GroupBox1, "Cancel", {112, buttonTop, 75, 25}, font());
    SetTabOrder(
        {RadioButton[0], RadioButton[1], RadioButton[2], RadioButton[3], LMDButton1, LMDButton2});
    ChooseWithArrows({RadioButton.begin(), RadioButton.end()}, LMDButton1);
    OnClicked(LMDButton1, [this] { LMDButton1Click(); });
    OnClicked(LMDButton2, [this] { LMDButton2Click(); });
    FormCreate();
}

void TLimitDialog::FormCreate() {
    setWindowTitle(QString::fromUtf8(CaptionText));
}

void TLimitDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Guarded([this] { FormShow(); });
}

void TLimitDialog::FormShow() {
    PutCaptions(FormNormalInputVoltage->RatedVoltage);
}

void TLimitDialog::PutCaptions(int ratedVoltage) {
    for (const auto& row : Table) {
        if (row.Rated != ratedVoltage) continue;
        for (std::size_t i = 0; i < 4; ++i) {
            const QString caption = row.Captions[i];
            RadioButton[i]->setText(caption);
            // Read out as "15 %, 265 V" rather than the blanks of the column layout.
            RadioButton[i]->setAccessibleName(
                QString("%1 %, %2 V").arg(caption.left(4).trimmed(), caption.right(3).trimmed()));
        }
    }
}

void TLimitDialog::UncheckAll() {
    for (auto* b : RadioButton) {
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
    }
}

void TLimitDialog::LMDButton1Click() {
    // Without a rated voltage the buttons keep their placeholder captions,
    // which are no voltage: the field stays as it is.
    if (FormNormalInputVoltage->RatedVoltage != 0) {
        for (auto* b : RadioButton) {
            if (!b->isChecked()) continue;
            const QString caption = b->text();
            FormBenloQuenda->SetEditText(TargetEdit, S(caption.right(3)));
            break;
        }
    }
    UncheckAll();
    close();
}

void TLimitDialog::LMDButton2Click() {
    UncheckAll();
    close();
}
