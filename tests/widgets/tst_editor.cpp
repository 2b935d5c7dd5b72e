// The exercise editor's help with Java in the real window: colours in the editor and the listing,
// statement marks after a real compile and after edits, indentation, brackets, and the guard
// against full-width symbols with its command.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <filesystem>

#include "TestSupport.h"
#include "app/ExerciseEditor.h"
#include "app/JavaHighlighter.h"
#include "app/frmMain.h"
#include "exercise/CompileMessages.h"

namespace fs = std::filesystem;
using vellaro::TokenKind;

namespace {

// The colours the colouring gave a character of a block (none: the default).
QTextCharFormat FormatAt(const QTextBlock& block, int column) {
    QTextCharFormat f;
    for (const QTextLayout::FormatRange& r : block.layout()->formats())
        if (column >= r.start && column < r.start + r.length)
            f.merge(r.format);
    return f;
}

// The colour the colouring gave a character (an invalid colour for none).
QColor ColourAt(const QPlainTextEdit* edit, int line, int column) {
    const QBrush b = FormatAt(edit->document()->findBlockByNumber(line), column).foreground();
    return b.style() == Qt::NoBrush ? QColor() : b.color();
}

} // namespace

class TstEditor : public QObject, private vtest::ProgramFixture {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup() { dialogs().checkAllUsed(); }
    void cleanupTestCase() { stopProgram(); }

    void colourRulesInTheEditorAndTheListing();
    void copyingGivesPlainText();
    void compileMarksTheWrongStatementUntilItIsEdited();
    void enterKeepsTheIndentationAndABraceTakesALevelOff();
    void bracketAtTheCaretShowsItsPartnerOrThatItHasNone();
    void fullWidthSymbolsAreMarkedCountedAndReplacedAsOneStep();
    void preeditIsNeitherColouredNorMarked();

  private:
    vellaro::ExerciseEditor* editor() const { return ui().SecEdit; }
    QColor colour(TokenKind kind) const {
        return editor()->highlighter()->kindFormat(kind).foreground().color();
    }
    void type(const QString& text) { QTest::keyClicks(ui().SecEdit, text); }
};

void TstEditor::initTestCase() {
    QVERIFY(startProgram());
    QVERIFY(vtest::Activated(&w()));
    ui().SrcClassName->setText(QStringLiteral("Hello"));
}

void TstEditor::init() {
    vtest::ClickTab(ui().PageControl1, 0);
    ui().SecEdit->clear();
    ui().SecEdit->setFocus();
}

void TstEditor::colourRulesInTheEditorAndTheListing() {
    ui().SecEdit->setPlainText(QStringLiteral("int n = 10; // if\ns = \"for ?(x)\"; ?(n);"));
    const QPlainTextEdit* e = ui().SecEdit;
    QCOMPARE(ColourAt(e, 0, 0), colour(TokenKind::Type));      // int
    QCOMPARE(ColourAt(e, 0, 8), colour(TokenKind::Number));    // 10
    QCOMPARE(ColourAt(e, 0, 16), colour(TokenKind::Comment));  // "if" in a comment
    QCOMPARE(ColourAt(e, 1, 5), colour(TokenKind::String));    // "for" in a string
    QCOMPARE(ColourAt(e, 1, 9), colour(TokenKind::Shorthand)); // the first "?(" is expanded
    QCOMPARE(ColourAt(e, 1, 16), QColor());                    // the second one is not
    QCOMPARE(ColourAt(e, 1, 4), colour(TokenKind::String));
    QCOMPARE(ColourAt(e, 0, 4), QColor()); // a name
    // Every colour keeps its contrast on the editor's background.
    const QColor base = e->palette().color(QPalette::Base);
    for (std::size_t k = 0; k < vellaro::kTokenKindCount; ++k) {
        const QColor c = colour(TokenKind(k));
        QVERIFY(vellaro::ContrastRatio({c.red(), c.green(), c.blue()},
                                       {base.red(), base.green(), base.blue()}) >= 4.5);
    }
    // The listing: the text unchanged, "?(" expanded there and coloured as the shorthand.
    vtest::ClickTab(ui().PageControl1, 1);
    const QPlainTextEdit* l = ui().compList;
    const QString line7 = l->document()->findBlockByNumber(6).text();
    QCOMPARE(line7, QStringLiteral("  7 :  \t\ts = \"for System.out.println (x)\"; ?(n);"));
    const int expansion = int(line7.indexOf(QStringLiteral("System")));
    QCOMPARE(ColourAt(l, 6, expansion), colour(TokenKind::Shorthand));
    QCOMPARE(ColourAt(l, 6, expansion + 19), colour(TokenKind::Shorthand));
    QCOMPARE(ColourAt(l, 6, expansion + 20), colour(TokenKind::String));
    QCOMPARE(ColourAt(l, 6, int(line7.lastIndexOf(QStringLiteral("?(")))), QColor());
    QCOMPARE(ColourAt(l, 3, 7), colour(TokenKind::Keyword)); // public
    QCOMPARE(ColourAt(l, 3, 0), QColor());                   // the line number
}

void TstEditor::copyingGivesPlainText() {
    ui().SecEdit->setPlainText(QStringLiteral("int a = 1; // 注"));
    ui().SecEdit->selectAll();
    ui().SecEdit->copy();
    const QMimeData* copied = QApplication::clipboard()->mimeData();
    QVERIFY(copied);
    QCOMPARE(copied->formats(), QStringList{QStringLiteral("text/plain")});
    QCOMPARE(copied->text(), QStringLiteral("int a = 1; // 注"));
}

void TstEditor::compileMarksTheWrongStatementUntilItIsEdited() {
    std::error_code ec;
    fs::remove(fs::current_path() / "Hello.java", ec);
    const auto compile = [this](const QString& text, bool ask) {
        vtest::ClickTab(ui().PageControl1, 0);
        ui().SecEdit->setPlainText(text);
        vtest::ClickTab(ui().PageControl1, 1);
        if (ask)
            dialogs().answerMessage(vellaro::MbYes);
        ui().CompButton->trigger();
        vtest::ClickTab(ui().PageControl1, 0);
    };
    compile(QStringLiteral("int a = 3;\nint b = a + c;\n?(b);"), true);
    QList<vellaro::ExerciseEditor::ErrorMark> marks = editor()->errorMarks();
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks[0].statement, 1);
    QCOMPARE(marks[0].column, 12); // the "c" the compiler points at
    // The mark explains it as the explanations do the compiler's message for an unknown name.
    const auto& entries = vellaro::BuiltInExplanations();
    const auto entry = std::find_if(entries.begin(), entries.end(),
                                    [](const auto& e) { return e.id == "variable-not-found"; });
    QVERIFY(entry != entries.end() && !entry->summary.empty());
    const QString summary = QString::fromStdString(entry->summary);
    QCOMPARE(marks[0].summary, summary);
    // The wavy line lies under that character; hovering it or the margin's mark explains it.
    const QTextBlock line = ui().SecEdit->document()->findBlockByNumber(1);
    bool wavy = false;
    for (const QTextEdit::ExtraSelection& s : ui().SecEdit->extraSelections())
        wavy |= s.format.underlineStyle() == QTextCharFormat::WaveUnderline &&
                s.cursor.selectionStart() == line.position() + 12 &&
                s.cursor.selectionEnd() == line.position() + 13;
    QVERIFY(wavy);
    QTextCursor at(line);
    at.setPosition(line.position() + 12);
    const QRect c = ui().SecEdit->cursorRect(at);
    QCOMPARE(editor()->toolTipAt(QPoint(c.left() + 2, c.center().y())), summary);
    QCOMPARE(editor()->marginToolTipAt(QPoint(4, c.center().y())), summary);
    QVERIFY(ui().SecEdit->accessibleDescription().contains(QStringLiteral("文 2 にエラー")));

    // A line put in above moves the mark along; an edit of the marked line takes it away.
    QTextCursor top(ui().SecEdit->document());
    top.insertText(QStringLiteral("int z = 0;\n"));
    marks = editor()->errorMarks();
    QCOMPARE(marks.size(), 1);
    QCOMPARE(marks[0].statement, 2);
    QTextCursor edit(ui().SecEdit->document()->findBlockByNumber(2));
    edit.movePosition(QTextCursor::EndOfBlock);
    edit.insertText(QStringLiteral(" "));
    QVERIFY(editor()->errorMarks().isEmpty());
    QVERIFY(ui().SecEdit->accessibleDescription().isEmpty());

    // The next compile replaces the marks: a clean one leaves none.
    compile(QStringLiteral("int a = 3;\nint c = 1;\n?(a + c);"), true);
    QVERIFY(editor()->errorMarks().isEmpty());
    compile(QStringLiteral("int a = \"x\";\nint b = c;"), true);
    marks = editor()->errorMarks();
    QCOMPARE(marks.size(), 2);
    QCOMPARE(marks[0].statement, 0);
    QCOMPARE(marks[1].statement, 1);
}

void TstEditor::enterKeepsTheIndentationAndABraceTakesALevelOff() {
    QPlainTextEdit* e = ui().SecEdit;
    type(QStringLiteral("\tif (a) {"));
    QTest::keyClick(e, Qt::Key_Return);
    QCOMPARE(e->toPlainText(), QStringLiteral("\tif (a) {\n\t\t"));
    // Undo takes back the break with its indentation, as one step.
    e->undo();
    QCOMPARE(e->toPlainText(), QStringLiteral("\tif (a) {"));
    e->redo();
    type(QStringLiteral("x = 1; // {")); // a brace in a comment opens nothing
    QTest::keyClick(e, Qt::Key_Return);
    QCOMPARE(e->toPlainText(), QStringLiteral("\tif (a) {\n\t\tx = 1; // {\n\t\t"));
    type(QStringLiteral("}"));
    QCOMPARE(e->toPlainText(), QStringLiteral("\tif (a) {\n\t\tx = 1; // {\n\t}"));
    e->undo(); // the brace with the level it took off
    QCOMPARE(e->toPlainText(), QStringLiteral("\tif (a) {\n\t\tx = 1; // {\n\t\t"));
    e->redo();
    type(QStringLiteral("}")); // not first in its line: typed as it is
    QCOMPARE(e->toPlainText(), QStringLiteral("\tif (a) {\n\t\tx = 1; // {\n\t}}"));
    // Tab still inserts a tab, and the focus stays.
    QTest::keyClick(e, Qt::Key_Tab);
    QVERIFY(e->toPlainText().endsWith(QStringLiteral("}}\t")));
    QCOMPARE(QApplication::focusWidget(), e);
}

void TstEditor::bracketAtTheCaretShowsItsPartnerOrThatItHasNone() {
    ui().SecEdit->setPlainText(QStringLiteral("f(a[1], \")\");\n{\n  (\n}"));
    const auto marked = [this] {
        QList<QPair<int, bool>> out; // position, matched
        for (const QTextEdit::ExtraSelection& s : ui().SecEdit->extraSelections())
            if (s.format.hasProperty(QTextFormat::UserProperty))
                out << qMakePair(s.cursor.selectionStart(),
                                 s.format.property(QTextFormat::UserProperty).toBool());
        std::sort(out.begin(), out.end());
        return out;
    };
    const auto caretAt = [this](int position) {
        QTextCursor c(ui().SecEdit->document());
        c.setPosition(position);
        ui().SecEdit->setTextCursor(c);
    };
    caretAt(1); // before "(": its partner is the ")" after the string
    QCOMPARE(marked(), (QList<QPair<int, bool>>{{1, true}, {11, true}}));
    caretAt(4); // after "[", which closes before the ","
    QCOMPARE(marked(), (QList<QPair<int, bool>>{{3, true}, {5, true}}));
    caretAt(14); // before "{": closed by the "}" two lines down
    QCOMPARE(marked(), (QList<QPair<int, bool>>{{14, true}, {20, true}}));
    caretAt(19); // after the "(" that nothing closes
    QCOMPARE(marked(), (QList<QPair<int, bool>>{{18, false}}));
    caretAt(8); // in the string: no bracket of the code
    QVERIFY(marked().isEmpty());
}

void TstEditor::fullWidthSymbolsAreMarkedCountedAndReplacedAsOneStep() {
    const QString text = QStringLiteral("int　a＝1；\ns = \"全角；\"; // ；");
    ui().SecEdit->setPlainText(text);
    QTRY_COMPARE(ui().StatusFullWidth->text(), QStringLiteral("全角の記号が 3 個あります"));
    QVERIFY(ui().SecEdit->accessibleDescription().contains(ui().StatusFullWidth->text()));
    const QTextBlock first = ui().SecEdit->document()->firstBlock();
    const QTextCharFormat mark = editor()->highlighter()->fullWidthFormat();
    QCOMPARE(FormatAt(first, 7).background(), mark.background());
    QVERIFY(FormatAt(ui().SecEdit->document()->findBlockByNumber(1), 7).background() !=
            mark.background());
    QTextCursor at(first);
    at.setPosition(7);
    const QRect r = ui().SecEdit->cursorRect(at);
    QCOMPARE(
        editor()->toolTipAt(QPoint(r.left() + 2, r.center().y())),
        QStringLiteral("全角の「；」です。Java の記号は半角で書きます。\n半角では「;」です。"));

    // The pop-up's entry, then undo, then the key of the menu's entry.
    ui().HalfWidth1->trigger();
    const QString fixed = QStringLiteral("int a=1;\ns = \"全角；\"; // ；");
    QCOMPARE(ui().SecEdit->toPlainText(), fixed);
    QTRY_COMPARE(ui().StatusFullWidth->text(), QString());
    ui().SecEdit->undo();
    QCOMPARE(ui().SecEdit->toPlainText(), text);
    QTRY_VERIFY(!ui().StatusFullWidth->text().isEmpty());
    QTest::keyClick(ui().SecEdit, Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(ui().SecEdit->toPlainText(), fixed);
    QCOMPARE(ui().HalfWidth2->text(), QStringLiteral("全角記号を半角に直す\tCtrl+Shift+H"));
    QCOMPARE(ui().HalfWidth1->text(), ui().HalfWidth2->text());

    // Not on the compile page, whose menu "編集" is off.
    ui().SecEdit->setPlainText(text);
    vtest::ClickTab(ui().PageControl1, 1);
    ui().HalfWidth2->trigger();
    vtest::ClickTab(ui().PageControl1, 0);
    QCOMPARE(ui().SecEdit->toPlainText(), text);
}

void TstEditor::preeditIsNeitherColouredNorMarked() {
    ui().SecEdit->setPlainText(QStringLiteral("if(\"ab\")"));
    QTRY_COMPARE(ui().StatusFullWidth->text(), QString());
    QTextCursor c(ui().SecEdit->document());
    c.setPosition(2); // after the keyword, before the bracket
    ui().SecEdit->setTextCursor(c);
    QCOMPARE(ui().SecEdit->extraSelections().size(), 2); // "(" and its partner
    QInputMethodEvent preedit(QStringLiteral("；（"), {});
    QApplication::sendEvent(ui().SecEdit, &preedit);
    const QTextBlock block = ui().SecEdit->document()->firstBlock();
    QCOMPARE(block.layout()->preeditAreaText(), QStringLiteral("；（"));
    // Layout positions: the preedit takes 2 and 3.
    for (const int p : {2, 3}) {
        const QTextCharFormat f = FormatAt(block, p);
        QCOMPARE(f.foreground().style(), Qt::NoBrush);
        QCOMPARE(f.background().style(), Qt::NoBrush);
    }
    QCOMPARE(FormatAt(block, 0).foreground().color(), colour(TokenKind::Keyword));
    QVERIFY(ui().SecEdit->extraSelections().isEmpty());
    QTest::qWait(0);
    QCOMPARE(ui().StatusFullWidth->text(), QString());
    // Committed outside the string, the symbols are the code's and are marked.
    QInputMethodEvent cancel;
    QApplication::sendEvent(ui().SecEdit, &cancel);
    QCOMPARE(ui().SecEdit->extraSelections().size(), 2);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("；"));
    QApplication::sendEvent(ui().SecEdit, &commit);
    QTRY_COMPARE(ui().StatusFullWidth->text(), QStringLiteral("全角の記号が 1 個あります"));
}

QTEST_MAIN(TstEditor)
#include "tst_editor.moc"
