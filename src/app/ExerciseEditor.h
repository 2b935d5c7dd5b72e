#pragma once
// The exercise editor SecEdit and the listing compList: plain-text editors that colour their
// Java, and copy plain text.
//
// The editor adds what a beginner needs before compiling: each statement's number in a margin,
// the statements the last compile found wrong (a mark in the margin and a wavy line under the
// column the compiler means, its explanation on hover), the bracket at the caret with its
// partner, Enter that keeps the indentation, and the full-width symbols an input method left on
// marked where the code cannot take them. None of it changes the text, except the command that
// replaces those symbols.
#include <QList>
#include <QPlainTextEdit>
#include <QString>
#include <QTextCursor>
#include <QTimer>
#include <functional>
#include <vector>

namespace vellaro {

class JavaHighlighter;

class ExerciseEditor : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit ExerciseEditor(QWidget* parent = nullptr);

    struct ErrorMark {
        int statement = 0; // the statement line, counted from 0 (its block)
        int column = -1;   // the column the compiler means; -1: the whole line
        QString summary;   // the explanation's summary, for the tooltip
    };
    // Replaces every mark (a compile's verdict); marks on lines beyond the text are dropped.
    void setErrorMarks(const QList<ErrorMark>& marks);
    // The marks as they stand now: lines that were edited have lost theirs, lines moved by an
    // edit above them carry theirs along.
    QList<ErrorMark> errorMarks() const;

    // The full-width symbols marked in the code, and the command that replaces them all with
    // their half-width forms as one step of undo (the number replaced).
    int fullWidthCount() const { return m_fullWidthCount; }
    int replaceFullWidthSymbols();

    // The margin with the statement numbers and the error marks, beside the viewport.
    QWidget* statementMargin() const;
    // The tooltip at a point of the viewport or of the margin: an error's summary, or what a
    // full-width symbol is; empty for none.
    QString toolTipAt(const QPoint& viewportPoint) const;
    QString marginToolTipAt(const QPoint& marginPoint) const;

    JavaHighlighter* highlighter() const { return m_highlighter; }

  signals:
    void fullWidthCountChanged(int count);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

  private:
    class Margin;
    friend class Margin;
    struct Mark {
        QTextCursor line; // at the start of its block, so that it moves with the text
        int column = -1;
        QString summary;
        bool dead = false; // its line was edited; it goes once the edit is over
    };

    int marginWidth() const;
    void paintMargin(QPaintEvent* event);
    void contentsChanged(int from, int removed, int added);
    void updateMarks();
    void updateDescription();
    void countFullWidth();
    bool insertBreakWithIndent();
    bool typeClosingBrace();
    const Mark* markOfBlock(int block) const;
    // Colours lines again without that counting as an edit of them.
    void rehighlight(const std::function<void()>& colour);

    JavaHighlighter* m_highlighter;
    Margin* m_margin;
    QList<Mark> m_marks;
    int m_fullWidthCount = 0;
    bool m_preedit = false;
    bool m_ownRehighlight = false;
    QTimer m_recount; // coalesces the counting of full-width symbols after edits
};

// The read-only listing: coloured as the editor, the shorthand's expansion in its own colour.
class ListingView : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit ListingView(QWidget* parent = nullptr);
    // Per listing line (counted from 0), the column of its source text where "?(" was expanded,
    // or -1.
    void setShorthandColumns(std::vector<int> columns);
    JavaHighlighter* highlighter() const { return m_highlighter; }

  protected:
    void changeEvent(QEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

  private:
    JavaHighlighter* m_highlighter;
};

} // namespace vellaro
