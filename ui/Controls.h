#pragma once
// A small control layer that gives Qt widgets the behaviour the windows rely
// on: positions in pixels, change handlers only on the operator's actions,
// combo boxes whose selected item can be none while their field shows a text.
#include <QAccessible>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <functional>
#include <string>
#include <vector>

// Runs an entry from the event loop; an exception goes to the application's
// error display and the program goes on.
void Guarded(const std::function<void()>& entry);

// Face names as the windows give them; they are mapped to installed fonts at start.
namespace face {
inline const char* const Gothic = "ＭＳ ゴシック";
inline const char* const PGothic = "ＭＳ Ｐゴシック";
inline const char* const SansSerif = "MS Sans Serif";
inline const char* const Arial = "Arial";
} // namespace face

QFont PixelFont(const char* family, int pixelHeight, bool bold = false);
void SetTextColor(QWidget* widget, const QColor& color);
// Arrows are drawn in the button text colour: a control in a coloured row
// keeps them in the normal one.
void KeepNormalArrowColour(QWidget* widget);
void InstallFontSubstitutions();

// Places a window of the given client size centred on the screen, with a fixed
// border and only the system menu and the close box in its title bar.
void SetFixedWindow(QWidget* window, int clientWidth, int clientHeight);

QString Q(const std::string& utf8);
std::string S(const QString& text);

class TLMDButton : public QPushButton {
  public:
    TLMDButton(QWidget* parent, const QString& caption, QRect geometry, const QFont& font);

  protected:
    // The caption is drawn with a raised effect: a light copy below and right.
    void paintEvent(QPaintEvent* event) override;
    // Return and Enter press the focused button, as Space does.
    void keyPressEvent(QKeyEvent* event) override;
};

class TShadowLabel : public QLabel {
  public:
    TShadowLabel(QWidget* parent, const QString& caption, QRect geometry, const QFont& font,
                 int depth);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    int Depth;
};

class TEdit : public QLineEdit {
  public:
    TEdit(QWidget* parent, QRect geometry, const QFont& font);
    void SetText(const QString& text); // shows the start of a long text
};

class TComboBox : public QComboBox {
  public:
    TComboBox(QWidget* parent, QRect geometry, const QFont& font, const QStringList& items);
    // -1 when no item is selected.
    int ItemIndex() const { return currentIndex(); }
    // -1 selects nothing and keeps the text in the field.
    void SetItemIndex(int index);
    void SetText(const QString& text);
    // Names the box and its text field, which is what takes the focus.
    void SetAccessibleName(const QString& name);
    // Runs when the operator picks an item or edits the text.
    std::function<void()> OnChange;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void SelectItemOfText(const QString& text);
    bool Constructed = false;
};

// A vertical pair of arrows beside an edit field, not bound to it.
class TUpDown : public QWidget {
  public:
    TUpDown(QWidget* parent, QRect geometry, int min, int max);
    int Position() const { return FPosition; }
    void SetPosition(int position); // clamped to the range, as the spinner would
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    void Click(bool up); // one operator step
    // Runs after an operator step moved the position.
    std::function<void()> OnClick;

  protected:
    // Up and Down step it when it has the focus.
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    QToolButton* Up;
    QToolButton* Down;
    int FMin, FMax, FPosition = 1;
};

// A radio button that reacts to a click anywhere in its box, not only on its text.
class TRadioButton : public QRadioButton {
  public:
    using QRadioButton::QRadioButton;

  protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// A captioned frame of radio buttons, filled column by column.
class TRadioGroup : public QGroupBox {
  public:
    TRadioGroup(QWidget* parent, const QString& caption, QRect geometry, const QFont& font,
                const QStringList& items, int columns);
    int ItemIndex() const;
    void SetItemIndex(int index);
    QRadioButton* Button(int index) const { return Buttons[static_cast<std::size_t>(index)]; }

  private:
    std::vector<QRadioButton*> Buttons;
};

// A status bar of a fixed first panel and a second one filling the rest.
class TStatusBar : public QFrame {
  public:
    TStatusBar(QWidget* parent, QRect geometry, int firstWidth, const QString& firstText);
    QString PanelText(int panel) const;
    void SetPanelText(int panel, const QString& text);

  private:
    QLabel* Panels[2];
};

// A click runs handler through Guarded.
void OnClicked(QAbstractButton* button, std::function<void()> handler);
// The keyboard order of the widgets, first to last.
void SetTabOrder(const std::vector<QWidget*>& order);

// The role screen readers get for a window (dialog or frame) or a plain widget.
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);
// Spinners as spin boxes and windows with their roles, for screen readers.
void InstallAccessibility();

QLabel* MakeLabel(QWidget* parent, const QString& caption, QPoint at, const QFont& font,
                  const QColor& color = Qt::black);
QFrame* MakeLine(QWidget* parent, QRect geometry);

// The two modal boxes: an error box captioned "Error", and a plain box
// captioned with the application's title.
void ShowErrorBox(QWidget* parent, const QString& text, const QString& detail = {});
void ShowPlainBox(QWidget* parent, const QString& text);
// Yes/No with No as the default: Return and Escape answer No.
bool AskYesNo(QWidget* parent, const QString& question);
void InstallErrorDisplay();
