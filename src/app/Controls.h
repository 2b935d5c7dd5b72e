#pragma once
// Small widgets with the behaviour the window's logic relies on.
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QValidator>

class QAbstractButton;

namespace vellaro {

// Whether an event is one of the learner's own (mouse, key, wheel, touch, pen, input method,
// drag and drop, context menu, shortcut), as opposed to one the program or the system sends.
bool IsLearnerInput(QEvent::Type type);

// A page control whose every change of the current page is the learner's, however it came
// (mouse, keyboard, wheel, a screen reader pressing a tab), except the changes the program makes
// itself while a ProgramChange guard is alive.
class PageControl : public QTabWidget {
    Q_OBJECT
  public:
    explicit PageControl(QWidget* parent = nullptr);

    // While one lives, changes of the current page are the program's and raise nothing.
    class ProgramChange {
      public:
        explicit ProgramChange(PageControl* pages);
        ~ProgramChange();
        ProgramChange(const ProgramChange&) = delete;
        ProgramChange& operator=(const ProgramChange&) = delete;

      private:
        PageControl* m_pages;
    };

    // The page that was current before the last change.
    int previousIndex() const { return m_previous; }

  signals:
    // The learner made the page with this index current (it is current already).
    void learnerChanged(int index);

  private:
    void onCurrentChanged(int index);
    int m_programDepth = 0;
    int m_current = -1;
    int m_previous = -1;
};

// A spin edit that clamps: a value set is clamped into the range (QSpinBox does that), a typed
// value is clamped when the field loses the focus, and text that is not a number reads as the
// minimum. It takes digits, a sign and the decimal separator; any other key is refused with a
// beep.
class ClampSpinBox : public QSpinBox {
    Q_OBJECT
  public:
    explicit ClampSpinBox(QWidget* parent = nullptr);

  signals:
    void keyRefused(); // a typed character was refused (and the beep sounded)

  protected:
    QValidator::State validate(QString& input, int& pos) const override;
    int valueFromText(const QString& text) const override;
    void fixup(QString& input) const override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool takes(QChar c) const;
};

// A line edit that limits what the learner types or pastes to a number of characters, while a
// longer text that the program sets stays whole until the learner changes it (deleting is always
// allowed; an insertion never makes the field longer than the limit, or than what it kept).
// Characters beyond the limit are cut from what was just inserted, as a length-limited edit of
// the desktop does, before anything that watches the text sees them.
//
// Only the program's own texts, set with setProgramText, pass whole: a text set from outside (a
// screen reader or another assistive tool setting or inserting text through the accessibility
// interface) is held to the limit as typing is, or to the length the field had, when longer.
class TypedLimitEdit : public QLineEdit {
    Q_OBJECT
  public:
    TypedLimitEdit(int typedLimit, QWidget* parent = nullptr);
    int typedLimit() const { return m_limit; }
    void setProgramText(const QString& text);

  protected:
    bool event(QEvent* event) override;

  private:
    class Limiter;
    friend class Limiter;
    int m_limit;
    int m_learnerDepth = 0; // > 0 while an input event of the learner is being handled
    int m_programDepth = 0; // > 0 while the program sets the text
    int m_kept = 0;         // characters an input event keeps: the text less its selection
    int m_length = 0;       // the text's length after the last change
};

// A one-line label that asks for no width of its own and shows what does not fit cut off with
// "…"; its text stays whole for a screen reader. A long sentence in the status bar must not
// widen the window.
class ElidedLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// The compiler's message pane. The compiler marks the character it means with a "^" on the line
// below the quoted source, counting every character as one column; the pane draws a full-width
// character (and a proportional font any character) wider than a blank. So the pane draws each
// marker itself, under the character of the line above, and hides the one in the text; the text,
// which is copied and read out, stays as the compiler wrote it.
class MessagePane : public QPlainTextEdit {
    Q_OBJECT
  public:
    struct CaretMark {
        int line = 0;   // the pane line of the "^" marker; the source line is the one above
        int column = 0; // characters before the "^" (and before the character meant)
    };
    explicit MessagePane(QWidget* parent = nullptr);
    void setCaretMarks(const QList<CaretMark>& marks);
    const QList<CaretMark>& caretMarks() const { return m_marks; }
    // The marks that hide the text's own "^" characters, to add to the pane's extra selections.
    QList<QTextEdit::ExtraSelection> hiddenCarets() const;
    // Where the marker of a mark is drawn, in viewport coordinates: the width of the character
    // meant (at least the marker's), the height of the marker's line. Empty when not laid out.
    QRectF caretRect(const CaretMark& mark) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QList<CaretMark> m_marks;
};

// Makes a tool button reachable by the Tab key and pressed by Space, Enter or Return, while a
// mouse click still leaves the focus where it is.
void MakeKeyboardToolButton(QAbstractButton* button);

// Keeps a plain-text editor's tab stops at eight blanks of its current font, as a text box
// of the desktop does; Qt's fixed 80 pixels push a listing's tabbed lines far to the right.
void KeepTabStopsAtEightBlanks(QPlainTextEdit* edit);

// Turns every U+301C WAVE DASH that enters the editor (typed, pasted, dropped, read, set by the
// program) into U+FF5E FULLWIDTH TILDE at once, so that the text, the listing and the file agree.
void TakeWaveDashAsTilde(QPlainTextEdit* edit);

} // namespace vellaro
