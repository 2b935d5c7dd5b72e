#pragma once
// Small widgets with the behaviour the window's logic relies on.
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QValidator>

class QPlainTextEdit;

namespace vellaro {

// A page control that tells the learner's tab choices (mouse, keyboard, wheel on the tab bar,
// Ctrl+Tab) apart from pages the program sets: only the former raise learnerChanged.
class PageControl : public QTabWidget {
    Q_OBJECT
  public:
    explicit PageControl(QWidget* parent = nullptr);

  signals:
    // The learner made the page with this index current (it is current already).
    void learnerChanged(int index);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    friend class LearnerTabBar;
    void onCurrentChanged(int index);
    int m_learnerActing = 0;
};

// A spin edit that clamps: a value set is clamped into the range (QSpinBox does that), a typed
// value is clamped when the field loses the focus, and text that is not a number reads as the
// minimum. Keys other than digits and a sign are refused.
class ClampSpinBox : public QSpinBox {
    Q_OBJECT
  public:
    explicit ClampSpinBox(QWidget* parent = nullptr);

  protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    void fixup(QString& input) const override;
};

// A line edit that limits what the learner types or pastes to a number of characters, while a
// longer text that the program sets stays whole until the learner changes it (deleting is always
// allowed; an insertion never makes the field longer than the limit, or than what it kept).
// Characters beyond the limit are cut from what was just inserted, as a length-limited edit of
// the desktop does, before anything that watches the text sees them.
class TypedLimitEdit : public QLineEdit {
    Q_OBJECT
  public:
    TypedLimitEdit(int typedLimit, QWidget* parent = nullptr);
    int typedLimit() const { return m_limit; }

  protected:
    bool event(QEvent* event) override;

  private:
    class Limiter;
    friend class Limiter;
    int m_limit;
    int m_learnerDepth = 0; // > 0 while an input event of the learner is being handled
    int m_kept = 0;         // characters an input event keeps: the text less its selection
};

// Keeps a plain-text editor's tab stops at eight blanks of its current font, as a text box
// of the desktop does; Qt's fixed 80 pixels push a listing's tabbed lines far to the right.
void KeepTabStopsAtEightBlanks(QPlainTextEdit* edit);

// Turns every U+301C WAVE DASH that enters the editor (typed, pasted, dropped, read, set by the
// program) into U+FF5E FULLWIDTH TILDE at once, so that the text, the listing and the file agree.
void TakeWaveDashAsTilde(QPlainTextEdit* edit);

} // namespace vellaro
