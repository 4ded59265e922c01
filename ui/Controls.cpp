#include "Controls.h"

#include "ErrorDisplay.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QThread>
#include <exception>

void Guarded(const std::function<void()>& entry) {
    try {
        entry();
    } catch (const std::exception& e) {
        ShowApplicationError(e.what());
    }
}

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}
std::string S(const QString& text) {
    return text.toStdString();
}

QFont PixelFont(const char* family, int pixelHeight, bool bold) {
    QFont font(QString::fromUtf8(family));
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

void SetTextColor(QWidget* widget, const QColor& color) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Text, color);
    p.setColor(QPalette::ButtonText, color);
    widget->setPalette(p);
}

void KeepNormalArrowColour(QWidget* widget) {
    QPalette p = widget->palette();
    const QPalette normal = QApplication::palette(widget);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::ButtonText, normal.color(group, QPalette::ButtonText));
    widget->setPalette(p);
}

void InstallFontSubstitutions() {
    QFont::insertSubstitutions(QString::fromUtf8(face::Gothic), {"IPAGothic", "IPAexGothic"});
    QFont::insertSubstitutions(QString::fromUtf8(face::PGothic), {"IPAPGothic", "IPAexGothic"});
    QFont::insertSubstitutions(face::SansSerif, {"Liberation Sans"});
    QFont::insertSubstitutions(face::Arial, {"Liberation Sans"});
}

void SetFixedWindow(QWidget* window, int clientWidth, int clientHeight) {
    // A dialog stays a dialog: X11 marks only dialogs transient for their owner.
    const Qt::WindowType type = window->windowType() == Qt::Dialog ? Qt::Dialog : Qt::Window;
    window->setWindowFlags(type | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint);
    window->setFixedSize(clientWidth, clientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        window->move(area.x() + (area.width() - clientWidth) / 2,
                     area.y() + (area.height() - clientHeight) / 2);
    }
}

TLMDButton::TLMDButton(QWidget* parent, const QString& caption, QRect geometry, const QFont& font)
    : QPushButton(caption, parent) {
    setGeometry(geometry);
    setFont(font);
}

void TLMDButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return QPushButton::keyPressEvent(event);
    if (!event->isAutoRepeat()) click();
}

void TLMDButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    style()->drawControl(QStyle::CE_PushButton, &option, &painter, this);
    QRect area = rect();
    if (isDown()) area.translate(1, 1);
    painter.setFont(font());
    if (isEnabled()) {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(area.translated(1, 1), Qt::AlignCenter, caption);
    }
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(area, Qt::AlignCenter, caption);
}

TShadowLabel::TShadowLabel(QWidget* parent, const QString& caption, QRect geometry,
                           const QFont& font, int depth)
    : QLabel(caption, parent), Depth(depth) {
    setGeometry(geometry);
    setFont(font);
}

bool TShadowLabel::event(QEvent* event) {
    // The caption and its shadow stay inside the label's box. Fitted when the
    // window is first shown: each size tried loads a font of its own.
    if (event->type() == QEvent::Polish) {
        QFont fitted = font();
        while (fitted.pixelSize() > 8 &&
               QFontMetrics(fitted).horizontalAdvance(text()) > width() - Depth)
            fitted.setPixelSize(fitted.pixelSize() - 1);
        setFont(fitted);
    }
    return QLabel::event(event);
}

void TShadowLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    const QRect area = rect().adjusted(0, 0, -Depth, -Depth);
    painter.setPen(QColor(128, 128, 128));
    painter.drawText(area.translated(Depth, Depth), Qt::AlignLeft | Qt::AlignTop, text());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop, text());
}

TEdit::TEdit(QWidget* parent, QRect geometry, const QFont& font) : QLineEdit(parent) {
    setGeometry(geometry);
    setFont(font);
}

void TEdit::SetText(const QString& text) {
    setText(text);
    setCursorPosition(0);
}

TComboBox::TComboBox(QWidget* parent, QRect geometry, const QFont& font, const QStringList& items)
    : QComboBox(parent) {
    // Editable through its own field; unlike setEditable(true) this does not
    // build the drop-down list before it is needed.
    setLineEdit(new QLineEdit(this));
    setInsertPolicy(QComboBox::NoInsert);
    addItems(items);
    setGeometry(geometry);
    setFont(font);
    Constructed = true;
    setCurrentIndex(-1);
    // Only the operator's actions run the change handler.
    connect(this, &QComboBox::activated, this, [this](int) {
        if (OnChange) Guarded(OnChange);
    });
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        SelectItemOfText(text);
        if (OnChange) Guarded(OnChange);
    });
}

void TComboBox::SetItemIndex(int index) {
    if (index >= 0 && index < count()) {
        setCurrentIndex(index);
        lineEdit()->setCursorPosition(0);
        return;
    }
    const QString text = currentText();
    setCurrentIndex(-1);
    SetText(text);
}

// Typed text selects the item it names, or none: the item behind the field
// must never be another than the text shows, since a save sends the item.
void TComboBox::SelectItemOfText(const QString& text) {
    const int item = findText(text, Qt::MatchExactly);
    if (item == currentIndex()) return;
    const int cursor = lineEdit()->cursorPosition();
    setCurrentIndex(item);
    if (item < 0) setEditText(text);
    lineEdit()->setCursorPosition(cursor);
}

void TComboBox::SetText(const QString& text) {
    setEditText(text);
    lineEdit()->setCursorPosition(0); // show the start of a text wider than the field
}

void TComboBox::changeEvent(QEvent* event) {
    // Qt builds the drop-down list to hand it a new font. The font given at
    // construction needs no such thing: the list takes the box's font when it
    // is built on its first drop-down, and start-up is shorter.
    if (event->type() == QEvent::FontChange && !Constructed) return QWidget::changeEvent(event);
    QComboBox::changeEvent(event);
}

void TComboBox::SetAccessibleName(const QString& name) {
    setAccessibleName(name);
    lineEdit()->setAccessibleName(name);
}

namespace {
// One arrow of a spinner; while the spinner has the focus the two arrows
// together show one focus frame around it.
class TArrowButton : public QToolButton {
  public:
    using QToolButton::QToolButton;

  protected:
    void paintEvent(QPaintEvent* event) override {
        QToolButton::paintEvent(event);
        if (!parentWidget()->hasFocus()) return;
        QPainter painter(this);
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        frame.rect = parentWidget()->rect().adjusted(2, 2, -2, -2).translated(-pos());
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
    }
};
} // namespace

TUpDown::TUpDown(QWidget* parent, QRect geometry, int min, int max)
    : QWidget(parent), FMin(min), FMax(max) {
    setGeometry(geometry);
    KeepNormalArrowColour(this); // inside a coloured panel
    Up = new TArrowButton(this);
    Down = new TArrowButton(this);
    Up->setAccessibleName("増やす");
    Down->setAccessibleName("減らす");
    Up->setArrowType(Qt::UpArrow);
    Down->setArrowType(Qt::DownArrow);
    const int half = geometry.height() / 2;
    Up->setGeometry(0, 0, geometry.width(), half);
    Down->setGeometry(0, half, geometry.width(), geometry.height() - half);
    Up->setFocusPolicy(Qt::NoFocus);
    Down->setFocusPolicy(Qt::NoFocus);
    Up->setAutoRepeat(true);
    Down->setAutoRepeat(true);
    connect(Up, &QToolButton::clicked, this, [this] { Click(true); });
    connect(Down, &QToolButton::clicked, this, [this] { Click(false); });
    setFocusPolicy(Qt::TabFocus);
    FPosition = std::clamp(1, FMin, FMax);
}

void TUpDown::SetPosition(int position) {
    // The position is a signed 16-bit value within the range.
    FPosition = std::clamp(static_cast<int>(static_cast<std::int16_t>(position)), FMin, FMax);
}

void TUpDown::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)
        Click(event->key() == Qt::Key_Up);
    else
        QWidget::keyPressEvent(event);
}

void TUpDown::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    Up->update();
    Down->update();
}

void TUpDown::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    Up->update();
    Down->update();
}

void TUpDown::Click(bool up) {
    const int next = FPosition + (up ? 1 : -1);
    if (next < FMin || next > FMax) return; // no wrap-around, no step past the end
    FPosition = next;
    if (OnClick) Guarded(OnClick);
}

TRadioGroup::TRadioGroup(QWidget* parent, const QString& caption, QRect geometry, const QFont& font,
                         const QStringList& items, int columns)
    : QGroupBox(caption, parent) {
    setGeometry(geometry);
    setFont(font);
    const int count = static_cast<int>(items.size());
    const int rows = (count + columns - 1) / columns;
    const int top = QFontMetrics(font).height();
    const int rowHeight = (geometry.height() - top - 4) / std::max(rows, 1);
    const int columnWidth = (geometry.width() - 16) / columns;
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < count; ++i) {
        auto* b = new TRadioButton(items[i], this);
        b->setFont(font);
        const int column = i / rows, row = i % rows;
        const int h = std::max(b->sizeHint().height(), 17);
        b->setGeometry(8 + column * columnWidth, top + row * rowHeight + (rowHeight - h) / 2,
                       columnWidth - 2, h);
        group->addButton(b, i);
        Buttons.push_back(b);
    }
}

int TRadioGroup::ItemIndex() const {
    for (std::size_t i = 0; i < Buttons.size(); ++i)
        if (Buttons[i]->isChecked()) return static_cast<int>(i);
    return -1;
}

void TRadioGroup::SetItemIndex(int index) {
    if (index >= 0 && index < static_cast<int>(Buttons.size()))
        Buttons[static_cast<std::size_t>(index)]->setChecked(true);
}

TStatusBar::TStatusBar(QWidget* parent, QRect geometry, int firstWidth, const QString& firstText)
    : QFrame(parent) {
    setGeometry(geometry);
    setAutoFillBackground(true);
    setFont(QApplication::font("QStatusBar"));
    SetAccessibleRole(this, QAccessible::StatusBar);
    const int h = geometry.height() - 2;
    for (int i = 0; i < 2; ++i) {
        Panels[i] = new QLabel(this);
        Panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        Panels[i]->setLineWidth(1);
    }
    Panels[0]->setGeometry(0, 2, firstWidth - 2, h);
    Panels[0]->setAlignment(Qt::AlignCenter);
    Panels[0]->setText(firstText);
    Panels[1]->setGeometry(firstWidth, 2, geometry.width() - firstWidth, h);
    Panels[1]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Panels[1]->setIndent(2);
}

QString TStatusBar::PanelText(int panel) const {
    return Panels[panel]->text();
}
void TStatusBar::SetPanelText(int panel, const QString& text) {
    Panels[panel]->setText(text);
}

void OnClicked(QAbstractButton* button, std::function<void()> handler) {
    QObject::connect(button, &QAbstractButton::clicked, button,
                     [handler = std::move(handler)] { Guarded(handler); });
}

void SetTabOrder(const std::vector<QWidget*>& order) {
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

namespace {
// A spinner is a spin box for screen readers: its value, its range, and
// increase and decrease actions that step it as the arrows do.
class TUpDownAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit TUpDownAccessible(TUpDown* upDown) : QAccessibleWidget(upDown, QAccessible::SpinBox) {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return UpDown()->Position(); }
    void setCurrentValue(const QVariant&) override {} // only steps move it, as with the mouse
    QVariant maximumValue() const override { return UpDown()->Max(); }
    QVariant minimumValue() const override { return UpDown()->Min(); }
    QVariant minimumStepSize() const override { return 1; }
    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << increaseAction() << decreaseAction();
    }
    void doAction(const QString& name) override {
        if (name == increaseAction() || name == decreaseAction())
            UpDown()->Click(name == increaseAction());
        else
            QAccessibleWidget::doAction(name);
    }

  private:
    TUpDown* UpDown() const { return static_cast<TUpDown*>(widget()); }
};

// On Linux Qt names a combo box by its current text ("読取不可", "はい"); ours
// is named by its setting and carries the text as its value.
class TComboBoxAccessible : public QAccessibleWidget {
  public:
    explicit TComboBoxAccessible(TComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return Box()->currentText();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = true;
        s.expandable = true;
        return s;
    }
    QStringList actionNames() const override {
        return QStringList(showMenuAction()) << QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name == showMenuAction())
            Box()->showPopup();
        else
            QAccessibleWidget::doAction(name);
    }

  private:
    TComboBox* Box() const { return static_cast<TComboBox*>(widget()); }
};

const char* const RoleProperty = "orvixAccessibleRole";

QAccessibleInterface* AccessibleFactory(const QString&, QObject* object) {
    if (auto* upDown = dynamic_cast<TUpDown*>(object)) return new TUpDownAccessible(upDown);
    if (auto* box = dynamic_cast<TComboBox*>(object)) return new TComboBoxAccessible(box);
    auto* widget = qobject_cast<QWidget*>(object);
    const QVariant role = widget ? widget->property(RoleProperty) : QVariant();
    if (role.isValid()) return new QAccessibleWidget(widget, QAccessible::Role(role.toInt()));
    return nullptr;
}
} // namespace

void SetAccessibleRole(QWidget* widget, QAccessible::Role role) {
    widget->setProperty(RoleProperty, static_cast<int>(role));
}

void InstallAccessibility() {
    QAccessible::installFactory(AccessibleFactory);
}

QLabel* MakeLabel(QWidget* parent, const QString& caption, QPoint at, const QFont& font,
                  const QColor& color) {
    auto* label = new QLabel(caption, parent);
    label->setFont(font);
    SetTextColor(label, color);
    // Not resized here: Qt sizes a widget that was never resized to its text
    // when it is first shown, which spares laying out every caption at start.
    label->move(at);
    return label;
}

QFrame* MakeLine(QWidget* parent, QRect geometry) {
    auto* line = new QFrame(parent);
    line->setFrameStyle((geometry.width() > geometry.height() ? QFrame::HLine : QFrame::VLine) |
                        QFrame::Sunken);
    line->setGeometry(geometry);
    return line;
}

namespace {
void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
             const QString& detail = {}) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    if (!detail.isEmpty()) box.setDetailedText(detail);
    box.exec();
}
} // namespace

void ShowErrorBox(QWidget* parent, const QString& text, const QString& detail) {
    ShowBox(parent, QMessageBox::Critical, "Error", text, detail);
}

void ShowPlainBox(QWidget* parent, const QString& text) {
    ShowBox(parent, QMessageBox::NoIcon, QApplication::applicationName(), text);
}

bool AskYesNo(QWidget* parent, const QString& question) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), question,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void InstallErrorDisplay() {
    SetApplicationErrorDisplay([](const std::string& message) {
        auto show = [text = Q(message)] {
            ShowBox(QApplication::activeWindow(), QMessageBox::Critical,
                    QApplication::applicationName(), text);
        };
        if (QThread::currentThread() == qApp->thread())
            show();
        else
            QMetaObject::invokeMethod(qApp, show, Qt::QueuedConnection);
    });
}
