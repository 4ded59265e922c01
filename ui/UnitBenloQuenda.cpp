#include "UnitBenloQuenda.h"

#include "IconArt.h"
#include "NumberText.h"
#include "OrvixVersion.h"
#include "UnitLowerLimit.h"
#include "UnitNormalInputVoltage.h"
#include "UnitUpperLimit.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPainter>
#include <cstdio>

TFormBenloQuenda* FormBenloQuenda = nullptr;

namespace {
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);
const QString Unreadable = QString::fromUtf8(UnreadableText);

QIcon WindowIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    PaintIcon(p, 32);
    return QIcon(pixmap);
}
} // namespace

TFormBenloQuenda::TFormBenloQuenda() {
    SetFixedWindow(this, 488, 348);
    SetAccessibleRole(this, QAccessible::Window);
    setFont(PixelFont(face::SansSerif, 11));
    setWindowIcon(WindowIcon());
    BuildFrame();
    BuildSettings();
    BuildOutletGroup();
    StatusBar1 = new TStatusBar(this, {0, 327, 488, 21}, 60, "設定条件");
    StatusBar1->raise();
    BuildTabOrder();

    Timer1.setInterval(TLinkSequencer::TickMs);
    Timer1.setTimerType(Qt::PreciseTimer); // a coarse timer drifts up to 10 ms a tick
    connect(&Timer1, &QTimer::timeout, this, [this] { Guarded([this] { Timer1Timer(); }); });
    ComPort1.SetBaud(TLinkSequencer::LineBaud);
    ComPort1.SetAutoOpen(false);
    ComPort1.OnTriggerAvail = [this](TApdCustomComPort& cp, std::uint16_t count) {
        ComPort1TriggerAvail(cp, count);
    };
    FormCreate();
}

TFormBenloQuenda::~TFormBenloQuenda() {
    Timer1.stop();
    // The port closes with its component; nothing may reach the sequencer then.
    ComPort1.OnTriggerAvail = nullptr;
}

void TFormBenloQuenda::BuildFrame() {
    Panel1 = new QFrame(this);
    Panel1->setGeometry(0, 0, 489, 505);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setFont(PixelFont(face::PGothic, 9, true));
    SetAccessibleRole(Panel1, QAccessible::Pane); // a panel, not a second window
    SetTextColor(Panel1, Blue);

    LMDSimpleLabel1 = new TShadowLabel(Panel1, "Orvix Sine / Benlo / Quenda", {8, 6, 225, 24},
                                       PixelFont(face::Arial, 19, true), 3);
    SetTextColor(LMDSimpleLabel1, Blue);
    LMDSimpleLabel2 = new TShadowLabel(Panel1, " 特性 v " ORVIX_VERSION, {236, 10, 91, 21},
                                       PixelFont(face::PGothic, 13, true), 3);
    SetTextColor(LMDSimpleLabel2, Blue);
    MakeLine(Panel1, {1, 108 + 17 - 2, 488, 2});
    MakeLine(Panel1, {256, 125, 2, 204});
    MakeLine(Panel1, {0, 320 + 9 - 2, 489, 2});

    RadioGroup1 =
        new TRadioGroup(Panel1, "UPSコミュニケーションポート", {8, 40, 233, 81},
                        PixelFont(face::Gothic, 11), {"COM 1", "COM 2", "COM 3", "COM 4"}, 2);
    SetTextColor(RadioGroup1, Qt::black);
    RadioGroup1->setAccessibleName("UPSコミュニケーションポート");
    struct {
        int n;
        const char* caption;
        QRect at;
        const char* face;
    } buttons[] = {{1, "接続", {252, 44, 106, 33}, face::Gothic},
                   {2, "切断", {252, 76, 106, 33}, face::PGothic},
                   {3, "データの読取", {367, 44, 106, 33}, face::PGothic},
                   {4, "データの登録", {367, 76, 106, 33}, face::PGothic}};
    for (const auto& b : buttons) {
        LMDButton[static_cast<std::size_t>(b.n)] =
            new TLMDButton(Panel1, b.caption, b.at, PixelFont(b.face, 13));
        SetTextColor(LMDButton[static_cast<std::size_t>(b.n)], Qt::black);
    }
}

void TFormBenloQuenda::BuildSettings() {
    const QFont g11 = PixelFont(face::Gothic, 11), g9 = PixelFont(face::Gothic, 9);
    const QFont p11 = PixelFont(face::PGothic, 11), p9 = PixelFont(face::PGothic, 9);
    auto label = [&](int n, const char* caption, QPoint at, const QFont& font) {
        AddLabel(n, caption, at, font, Qt::black);
    };
    auto edit = [&](int n, QRect at, const QFont& font, int labelNo) {
        AddEdit(n, at, font, labelNo, Qt::black);
    };
    auto combo = [&](int n, QRect at, const QFont& font, int labelNo) {
        AddCombo(n, Panel1, at, font, labelNo, Qt::black);
    };

    label(1, "入力電源の上限値(V)", {8, 136}, g11);
    edit(1, {136, 132, 77, 21}, g9, 1);
    LMDButton[6] = new TLMDButton(Panel1, "設定", {212, 132, 37, 22}, g11);
    label(2, "入力電源の下限値(V)", {8, 168}, g11);
    edit(2, {136, 164, 77, 21}, g9, 2);
    LMDButton[7] = new TLMDButton(Panel1, "設定", {212, 164, 37, 22}, g11);
    // The two "設定" buttons told apart by the limit each one sets.
    for (int n : {6, 7}) {
        auto* b = LMDButton[static_cast<std::size_t>(n)];
        const QString limit = Label[static_cast<std::size_t>(n - 5)]->text();
        b->setAccessibleName("設定 " + limit);
        b->setAccessibleDescription(limit + "を表から選ぶ");
    }
    label(3, "UPSシャットダウン遅延時間（分）", {8, 200}, g11);
    edit(3, {192, 198, 46, 21}, g9, 3);
    UpDown[3] = new TUpDown(Panel1, {240, 196, 16, 24}, SpinnerRange(3).Min, SpinnerRange(3).Max);
    UpDown[3]->setAccessibleName(Label[3]->text());
    label(4, "周波数誤差の設定(Hz）", {8, 232}, g11);
    combo(1, {152, 228, 97, 21}, g9, 4);
    label(5, "隔週の自己テスト", {8, 264}, g11);
    combo(2, {152, 260, 97, 21}, g9, 5);
    label(6, "故障アラームの遅延", {8, 296}, p11);
    combo(3, {152, 292, 97, 21}, p9, 6);

    label(7, "バックアップ警報の自動停止", {264, 136}, g11);
    combo(4, {430, 132, 55, 21}, g9, 7);
    label(8, "アラーム音の停止", {264, 168}, g11);
    combo(5, {392, 164, 95, 21}, g9, 8);
    label(9, "バックアップ警報音", {264, 200}, g11);
    combo(6, {392, 198, 95, 21}, g9, 9);
    label(10, "過負荷警報音", {264, 232}, g11);
    combo(7, {392, 228, 95, 21}, g9, 10);
    label(11, "バッテリ低下警報音", {264, 264}, g11);
    combo(8, {392, 260, 95, 21}, g9, 11);
    LMDButton[5] = new TLMDButton(Panel1, "工場出荷時に設定", {264, 290, 221, 29}, g11);
    for (int n = 5; n <= 7; ++n)
        SetTextColor(LMDButton[static_cast<std::size_t>(n)], Qt::black);

    const std::array<void (TFormBenloQuenda::*)(), 8> clicks = {nullptr,
                                                                &TFormBenloQuenda::LMDButton1Click,
                                                                &TFormBenloQuenda::LMDButton2Click,
                                                                &TFormBenloQuenda::LMDButton3Click,
                                                                &TFormBenloQuenda::LMDButton4Click,
                                                                &TFormBenloQuenda::LMDButton5Click,
                                                                &TFormBenloQuenda::LMDButton6Click,
                                                                &TFormBenloQuenda::LMDButton7Click};
    for (std::size_t n = 1; n <= 7; ++n)
        OnClicked(LMDButton[n], [this, click = clicks[n]] { (this->*click)(); });
    ComboBox[5]->OnChange = [this] { ComboBox5Change(); };
    UpDown[3]->OnClick = [this] { UpDown3Click(); };
}

void TFormBenloQuenda::BuildOutletGroup() {
    // Below the visible area: never seen, but read, enabled and saved all the same.
    const QFont p11 = PixelFont(face::PGothic, 11), p11b = PixelFont(face::PGothic, 11, true);
    const QFont p9 = PixelFont(face::PGothic, 9), g11 = PixelFont(face::Gothic, 11);
    const QFont g9 = PixelFont(face::Gothic, 9);
    auto label = [&](int n, const char* caption, QPoint at, const QFont& font, QColor color) {
        AddLabel(n, caption, at, font, color);
    };
    auto combo = [&](int n, QWidget* parent, QRect at, const QFont& font, int labelNo,
                     QColor color) { AddCombo(n, parent, at, font, labelNo, color); };
    label(12, "負荷選択アウトレット管理（KEVO）", {8, 333}, p11b, Qt::black);
    label(13, "インテリジェンチャンネルの制御", {8, 355}, p11, Qt::black);
    combo(9, Panel1, {184, 351, 81, 21}, p9, 13, Blue);
    label(14, "遅延時間の設定（０～4,000秒）", {268, 355}, p11, Blue);
    AddEdit(4, {416, 351, 54, 21}, p9, 14, Blue);
    UpDown[4] = new TUpDown(Panel1, {470, 348, 16, 24}, SpinnerRange(4).Min, SpinnerRange(4).Max);
    UpDown[4]->setAccessibleName(Label[14]->text());
    label(19, "商用電源で運転中", {8, 380}, p11b, Blue);
    label(15, "過負荷時のシャットダウン", {8, 410}, p11, Blue);
    label(21, "過負荷解消後の自動供給", {268, 410}, p11, Blue);
    label(20, "バッテリで運転中", {8, 442}, p11b, Red);
    label(16, "高温異常時のシャットダウン", {268, 442}, p11, Red);
    label(17, "バッテリ低下シャットダウン", {8, 474}, g11, Red);
    label(18, "過負荷時のシャットダウン", {268, 474}, g11, Red);
    combo(10, this, {160, 408, 93, 21}, p9, 15, Blue);
    combo(14, this, {401, 408, 82, 21}, p9, 21, Blue);
    combo(11, this, {401, 440, 82, 21}, p9, 16, Red);
    combo(12, this, {160, 472, 93, 21}, g9, 17, Red);
    combo(13, this, {401, 472, 82, 21}, g9, 18, Red);
    // Two rows share a caption under different headings; the heading tells them apart.
    for (auto [c, heading] : {std::pair{10, 19}, {14, 19}, {11, 20}, {12, 20}, {13, 20}}) {
        auto* box = ComboBox[static_cast<std::size_t>(c)];
        box->SetAccessibleName(box->accessibleName() + "、" +
                               Label[static_cast<std::size_t>(heading)]->text());
    }
    // Nobody can see these controls, so the keyboard must not reach them: a
    // setting changed out of sight would be saved unnoticed.
    for (int c = 9; c <= 14; ++c) {
        ComboBox[static_cast<std::size_t>(c)]->setFocusPolicy(Qt::NoFocus);
        ComboBox[static_cast<std::size_t>(c)]->lineEdit()->setFocusPolicy(Qt::NoFocus);
    }
    MaskEdit[4]->setFocusPolicy(Qt::NoFocus);
    UpDown[4]->setFocusPolicy(Qt::NoFocus);
    ComboBox[10]->setEnabled(false);
    ComboBox[9]->OnChange = [this] { ComboBox9Change(); };
    UpDown[4]->OnClick = [this] { UpDown4Click(); };
}

void TFormBenloQuenda::AddLabel(int n, const char* caption, QPoint at, const QFont& font,
                                QColor color) {
    Label[static_cast<std::size_t>(n)] = MakeLabel(Panel1, caption, at, font, color);
}

// Value controls are named after their label, for screen readers and test tools.
void TFormBenloQuenda::AddEdit(int n, QRect at, const QFont& font, int labelNo, QColor color) {
    auto* e = new TEdit(Panel1, at, font);
    e->SetText(Unreadable);
    e->setAccessibleName(Label[static_cast<std::size_t>(labelNo)]->text());
    SetTextColor(e, color);
    MaskEdit[static_cast<std::size_t>(n)] = e;
}

void TFormBenloQuenda::AddCombo(int n, QWidget* parent, QRect at, const QFont& font, int labelNo,
                                QColor color) {
    QStringList items;
    for (const std::string& item : ComboItems(n))
        items << QString::fromStdString(item);
    auto* c = new TComboBox(parent, at, font, items);
    c->SetText(Unreadable);
    c->SetAccessibleName(Label[static_cast<std::size_t>(labelNo)]->text());
    SetTextColor(c, color);
    KeepNormalArrowColour(c);
    ComboBox[static_cast<std::size_t>(n)] = c;
}

void TFormBenloQuenda::BuildTabOrder() {
    SetTabOrder({RadioGroup1,  LMDButton[1], LMDButton[2], LMDButton[3], LMDButton[4], MaskEdit[1],
                 LMDButton[6], MaskEdit[2],  LMDButton[7], MaskEdit[3],  UpDown[3],    ComboBox[1],
                 ComboBox[2],  ComboBox[3],  ComboBox[4],  ComboBox[5],  ComboBox[6],  ComboBox[7],
                 ComboBox[8],  LMDButton[5], ComboBox[9],  MaskEdit[4],  UpDown[4],    ComboBox[10],
                 ComboBox[11], ComboBox[12], ComboBox[13], ComboBox[14]});
}

void TFormBenloQuenda::FormCreate() {
    Link.InitializeLink();
}

void TFormBenloQuenda::closeEvent(QCloseEvent* event) {
    // Nothing may tick or arrive after the codec is released.
    Timer1.stop();
    Guarded([this] { ComPort1.SetOpen(false); });
    Link.ReleaseLink();
    event->accept();
    FormNormalInputVoltage->close();
}

void TFormBenloQuenda::LMDButton1Click() {
    Link.LMDButton1Click();
}
void TFormBenloQuenda::LMDButton2Click() {
    close();
}
void TFormBenloQuenda::LMDButton3Click() {
    Link.LMDButton3Click();
}
void TFormBenloQuenda::LMDButton4Click() {
    Link.LMDButton4Click();
}

void TFormBenloQuenda::LMDButton5Click() {
    if (!Link.EnterReadingIfConnected()) return;
    const auto changed = ApplyFactoryValues(Link.Settings, FormNormalInputVoltage->RatedVoltage);
    ShowSettings(Link.Settings, changed, TShowCause::Factory);
}

void TFormBenloQuenda::LMDButton6Click() {
    FormUpperLimit->exec();
}
void TFormBenloQuenda::LMDButton7Click() {
    FormLowerLimit->exec();
}

void TFormBenloQuenda::ComboBox5Change() {
    const bool enable = ComboBox[5]->ItemIndex() != 0;
    for (int c = 6; c <= 8; ++c)
        ComboBox[static_cast<std::size_t>(c)]->setEnabled(enable);
}

void TFormBenloQuenda::ComboBox9Change() {
    EnableOutletControls(ComboBox[9]->ItemIndex() == 0);
}

void TFormBenloQuenda::UpDown3Click() {
    MaskEdit[3]->setText(Q(NumberToText(UpDown[3]->Position())));
}
void TFormBenloQuenda::UpDown4Click() {
    MaskEdit[4]->setText(Q(NumberToText(UpDown[4]->Position())));
}

void TFormBenloQuenda::Timer1Timer() {
    Link.Timer1Timer();
}

void TFormBenloQuenda::ComPort1TriggerAvail(TApdCustomComPort&, std::uint16_t count) {
    Link.ComPort1TriggerAvail(count);
}

std::string TFormBenloQuenda::Caption() const {
    return S(windowTitle());
}
void TFormBenloQuenda::SetCaption(const std::string& text) {
    setWindowTitle(Q(text));
}

std::string TFormBenloQuenda::EditText(int edit) const {
    return S(MaskEdit.at(static_cast<std::size_t>(edit))->text());
}
void TFormBenloQuenda::SetEditText(int edit, const std::string& text) {
    MaskEdit.at(static_cast<std::size_t>(edit))->SetText(Q(text));
}
void TFormBenloQuenda::SetEditEnabled(int edit, bool enabled) {
    MaskEdit.at(static_cast<std::size_t>(edit))->setEnabled(enabled);
}
void TFormBenloQuenda::SetUpDownPosition(int upDown, int position) {
    UpDown.at(static_cast<std::size_t>(upDown))->SetPosition(position);
}
void TFormBenloQuenda::SetUpDownEnabled(int upDown, bool enabled) {
    UpDown.at(static_cast<std::size_t>(upDown))->setEnabled(enabled);
}
void TFormBenloQuenda::SetComboText(int combo, const std::string& text) {
    ComboBox.at(static_cast<std::size_t>(combo))->SetText(Q(text));
}
int TFormBenloQuenda::ComboIndexOf(int combo, const std::string& text) const {
    return ComboBox.at(static_cast<std::size_t>(combo))->findText(Q(text), Qt::MatchExactly);
}
int TFormBenloQuenda::ComboItemIndex(int combo) const {
    return ComboBox.at(static_cast<std::size_t>(combo))->ItemIndex();
}
void TFormBenloQuenda::SetComboItemIndex(int combo, int index) {
    ComboBox.at(static_cast<std::size_t>(combo))->SetItemIndex(index);
}
void TFormBenloQuenda::SetComboEnabled(int combo, bool enabled) {
    ComboBox.at(static_cast<std::size_t>(combo))->setEnabled(enabled);
}
int TFormBenloQuenda::PortItemIndex() const {
    return RadioGroup1->ItemIndex();
}

void TFormBenloQuenda::SetTimerEnabled(bool enabled) {
    if (!enabled)
        Timer1.stop();
    else if (!Timer1.isActive())
        Timer1.start();
}

void TFormBenloQuenda::ErrorBox(const std::string& text) {
    ShowErrorBox(this, Q(text));
}
// The box keeps its text; the reason goes below it, and to standard error for
// whoever started the program from a terminal.
void TFormBenloQuenda::DetailedErrorBox(const std::string& text, const std::string& detail) {
    std::fprintf(stderr, "orvix-config: %s: %s\n", text.c_str(), detail.c_str());
    ShowErrorBox(this, Q(text), Q(detail));
}

void TFormBenloQuenda::PlainMessageBox(const std::string& text) {
    ShowPlainBox(this, Q(text));
}

bool TFormBenloQuenda::AskYesNo(const std::string& question) {
    return ::AskYesNo(this, Q(question));
}

void TFormBenloQuenda::LockCommandControls() {
    for (int n = 1; n <= 7; ++n)
        LMDButton[static_cast<std::size_t>(n)]->setEnabled(false);
    RadioGroup1->setEnabled(false);
}

void TFormBenloQuenda::UnlockCommandControls() {
    for (int n = 1; n <= 7; ++n)
        LMDButton[static_cast<std::size_t>(n)]->setEnabled(true);
    RadioGroup1->setEnabled(true);
}

void TFormBenloQuenda::ShowStatus(const std::string& text) {
    StatusBar1->SetPanelText(1, Q(text));
}
