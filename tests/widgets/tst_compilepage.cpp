// The compile page with the real javac: the question before compiling a source that is not on
// disk yet, and the way from a compiler message to its listing line and statement, by mouse and
// by keyboard, with the explanation in the status bar, the tooltip and the accessible description.
#include <QAccessible>
#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QToolTip>
#include <QWindow>
#include <filesystem>
#include <memory>

#include "../exercise/BrokenPrograms.h"
#include "TestSupport.h"
#include "app/frmMain.h"
#include "common/Cp932.h"
#include "common/qt/QtText.h"
#include "exercise/Compile.h"
#include "exercise/CompileMessages.h"
#include "exercise/ExerciseFiles.h"
#include "exercise/JavaComp.h"

namespace fs = std::filesystem;

namespace {

QString U(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

const vellaro::Explanation& Entry(const char* id) {
    for (const vellaro::Explanation& e : vellaro::BuiltInExplanations())
        if (e.id == id)
            return e;
    qFatal("no explanation %s", id);
}

// The bytes "Ｊａｖａソース書出し" writes for these statements (UTF-8 here).
std::string SourceBytes(const std::vector<std::string>& statements) {
    return vellaro::JavaFileBytes(vellaro::SjisLines(vellaro::MakeJavaSource("Hello", statements)));
}

QString Joined(const std::vector<std::string>& statements) {
    QStringList lines;
    for (const std::string& s : statements)
        lines << U(s);
    return lines.join('\n');
}

} // namespace

class TstCompilePage : public QObject, private vtest::ProgramFixture {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup() { dialogs().checkAllUsed(); }
    void cleanupTestCase() { stopProgram(); }

    void brokenProgramLeadsFromItsMessageToItsStatement_data();
    void brokenProgramLeadsFromItsMessageToItsStatement();
    void compileAsksToWriteASourceThatIsNotOnDisk_data();
    void compileAsksToWriteASourceThatIsNotOnDisk();
    void keysStepThroughTheLinkedMessagesAndExplainThem();
    void messageBeyondTheListingSelectsNoListingLine();
    void paneShowsTheCompilersTextInTheSourceFont();
    void markerStandsUnderTheCharacterTheCompilerMeans();

  private:
    fs::path javaFile() const { return fs::current_path() / "Hello.java"; }
    // Types the statements, enters the compile page (which generates the source) and compiles,
    // answering the question to write the source with `answer` when it comes.
    void compile(const std::vector<std::string>& statements,
                 std::optional<vellaro::MsgButton> answer = vellaro::MbYes);
    QPoint paneLine(int line) const;
    QString statusText() const { return ui().StatusMessage->text(); }
};

void TstCompilePage::initTestCase() {
    QVERIFY(startProgram());
    w().activateWindow();
    ui().SrcClassName->setText(QStringLiteral("Hello"));
}

void TstCompilePage::init() {
    vtest::ClickTab(ui().PageControl1, 0);
    std::error_code ec;
    fs::remove_all(javaFile(), ec);
}

void TstCompilePage::compile(const std::vector<std::string>& statements,
                             std::optional<vellaro::MsgButton> answer) {
    vtest::ClickTab(ui().PageControl1, 0);
    ui().SecEdit->setPlainText(Joined(statements));
    vtest::ClickTab(ui().PageControl1, 1);
    QCOMPARE(ui().PageControl1->currentWidget(), ui().TabSheet2);
    if (answer)
        dialogs().answerMessage(*answer);
    ui().CompButton->trigger();
}

QPoint TstCompilePage::paneLine(int line) const {
    const QTextBlock block = ui().Memo1->document()->findBlockByNumber(line);
    return ui().Memo1->cursorRect(QTextCursor(block)).center() + QPoint(4, 0);
}

// ---- from a message to its line ---------------------------------------------------------------

void TstCompilePage::brokenProgramLeadsFromItsMessageToItsStatement_data() {
    QTest::addColumn<int>("index");
    int i = 0;
    for (const auto& p : vellaro::test::kBrokenPrograms) {
        QTest::addRow("%s", p.entry) << i;
        ++i;
    }
}

void TstCompilePage::brokenProgramLeadsFromItsMessageToItsStatement() {
    QFETCH(int, index);
    const vellaro::test::BrokenProgram& p = vellaro::test::kBrokenPrograms[index];
    compile(p.statements);

    // The first line names the listing line, as the compiler wrote it.
    static const QRegularExpression header(QStringLiteral("^Hello\\.java:(\\d+): "));
    const auto match = header.match(ui().Memo1->document()->firstBlock().text());
    QVERIFY2(match.hasMatch(), qPrintable(ui().Memo1->toPlainText()));
    const int line = match.captured(1).toInt();

    QTest::mouseClick(ui().Memo1->viewport(), Qt::LeftButton, Qt::NoModifier, paneLine(0));
    QCOMPARE(statusText(), U(Entry(p.entry).summary));
    const QTextCursor listing = ui().compList->textCursor();
    QCOMPARE(listing.blockNumber(), line - 1);
    QCOMPARE(listing.positionInBlock(), 0);
    QCOMPARE(listing.selectedText(), listing.block().text());
    QVERIFY(!listing.selectedText().isEmpty());

    QTest::mouseDClick(ui().Memo1->viewport(), Qt::LeftButton, Qt::NoModifier, paneLine(0));
    if (p.statement == 0) {
        // A line of the wrapper: the listing selection is all.
        QCOMPARE(ui().PageControl1->currentWidget(), ui().TabSheet2);
        return;
    }
    QCOMPARE(ui().PageControl1->currentWidget(), ui().TabSheet1);
    QCOMPARE(w().CurPage(), 0);
    const QTextCursor caret = ui().SecEdit->textCursor();
    QCOMPARE(caret.blockNumber(), int(p.statement) - 1);
    QCOMPARE(caret.positionInBlock(), 0);
    QVERIFY(!caret.hasSelection());
    QCOMPARE(QApplication::focusWidget(), ui().SecEdit);
    QCOMPARE(statusText(), QString()); // a page switch empties the status bar
}

// ---- the question before compiling -------------------------------------------------------------

void TstCompilePage::compileAsksToWriteASourceThatIsNotOnDisk_data() {
    QTest::addColumn<int>("answer");     // -1: no question expected
    QTest::addColumn<QString>("onDisk"); // "old", "current", "none" or "folder"
    QTest::addColumn<bool>("writes");
    QTest::addColumn<bool>("compiles");
    QTest::addColumn<QString>("warning"); // the box after "はい", if any
    QTest::addRow("yes writes, then compiles")
        << int(vellaro::MbYes) << "old" << true << true << "";
    QTest::addRow("yes writes a missing file")
        << int(vellaro::MbYes) << "none" << true << true << "";
    QTest::addRow("no compiles the file as it is")
        << int(vellaro::MbNo) << "old" << false << true << "";
    QTest::addRow("cancel does nothing") << int(vellaro::MbCancel) << "old" << false << false << "";
    QTest::addRow("an unchanged file asks nothing") << -1 << "current" << false << true << "";
    QTest::addRow("a failed write compiles nothing")
        << int(vellaro::MbYes) << "folder" << false << false
        << "Javaプログラムソースの書き出しができません";
}

void TstCompilePage::compileAsksToWriteASourceThatIsNotOnDisk() {
    QFETCH(int, answer);
    QFETCH(QString, onDisk);
    QFETCH(bool, writes);
    QFETCH(bool, compiles);
    QFETCH(QString, warning);
    const std::vector<std::string> old = {"?(1);"};
    const std::vector<std::string> shown = {"?(\"表示中\")"}; // a ';' is missing
    if (onDisk == "old")
        vtest::WriteFile(javaFile(), SourceBytes(old));
    else if (onDisk == "current")
        vtest::WriteFile(javaFile(), SourceBytes(shown));
    else if (onDisk == "folder")
        fs::create_directory(javaFile());
    const std::string before = onDisk == "folder" ? std::string() : vtest::ReadFile(javaFile());
    if (!warning.isEmpty())
        dialogs().answerMessage(vellaro::MbYes);

    compile(shown, answer < 0 ? std::nullopt : std::optional(vellaro::MsgButton(answer)));

    const QStringList asked = dialogs().messageTexts();
    if (answer >= 0) {
        QVERIFY(!asked.isEmpty());
        QCOMPARE(asked[0], QStringLiteral("表示中のソースは Hello.java にまだ書き出されていません。"
                                          "書き出してからコンパイルしますか？"));
        QCOMPARE(dialogs().messages[0].kind, vellaro::MsgKind::Confirmation);
        QCOMPARE(dialogs().messages[0].buttons,
                 int(vellaro::MbYes | vellaro::MbNo | vellaro::MbCancel));
    }
    QCOMPARE(asked.mid(answer >= 0 ? 1 : 0),
             warning.isEmpty() ? QStringList() : QStringList{warning});
    if (onDisk != "folder")
        QCOMPARE(vtest::ReadFile(javaFile()), writes ? SourceBytes(shown) : before);
    const QString pane = ui().Memo1->toPlainText();
    if (!compiles)
        QCOMPARE(pane, QString());
    else if (writes || onDisk == "current")
        QVERIFY2(pane.startsWith(QStringLiteral("Hello.java:6: エラー: ';'がありません")),
                 qPrintable(pane));
    else
        QCOMPARE(pane, U(vellaro::kCompileCleanText));
}

// ---- the keyboard, the explanation -------------------------------------------------------------

void TstCompilePage::keysStepThroughTheLinkedMessagesAndExplainThem() {
    // Three errors the compiler finds in one pass.
    compile({"int a = \"1\";", "?(cont);", "String s = 5;"});
    QCOMPARE(ui().StatusErrorCount->text(), QStringLiteral("エラー 3 個"));
    QWindow* window = w().windowHandle();
    auto selectedListingLine = [this] { return ui().compList->textCursor().blockNumber() + 1; };

    // F4 steps forward from the first message, Shift+F4 back; at either end it stays.
    QTest::keyClick(window, Qt::Key_F4);
    QCOMPARE(QApplication::focusWidget(), ui().Memo1);
    QCOMPARE(selectedListingLine(), 6);
    QCOMPARE(statusText(), U(Entry("string-to-number").summary));
    QTest::keyClick(window, Qt::Key_F4);
    QCOMPARE(selectedListingLine(), 7);
    QTest::keyClick(window, Qt::Key_F4);
    QCOMPARE(selectedListingLine(), 8);
    QTest::keyClick(window, Qt::Key_F4);
    QCOMPARE(selectedListingLine(), 8);
    QTest::keyClick(window, Qt::Key_F4, Qt::ShiftModifier);
    QCOMPARE(selectedListingLine(), 7);
    QCOMPARE(statusText(), U(Entry("variable-not-found").summary));

    // The whole explanation: the pane's accessible description and the line's tooltip.
    const vellaro::Explanation& entry = Entry("variable-not-found");
    QCOMPARE(QAccessible::queryAccessibleInterface(ui().Memo1)->text(QAccessible::Description),
             U(vellaro::FullExplanation(entry)));
    const int selected = ui().Memo1->textCursor().blockNumber(); // the pane's caret is on it
    QHelpEvent tip(QEvent::ToolTip, paneLine(selected),
                   ui().Memo1->viewport()->mapToGlobal(paneLine(selected)));
    QApplication::sendEvent(ui().Memo1->viewport(), &tip);
    QTRY_VERIFY(QToolTip::isVisible());
    QVERIFY(QToolTip::text().contains(U(entry.meaning).toHtmlEscaped()));
    QToolTip::hideText();

    // Enter goes to the statement, as a double click does; the status bar empties.
    QTest::keyClick(window, Qt::Key_Return);
    QCOMPARE(ui().PageControl1->currentWidget(), ui().TabSheet1);
    QCOMPARE(ui().SecEdit->textCursor().blockNumber(), 1);
    QCOMPARE(statusText(), QString());
    QCOMPARE(ui().StatusErrorCount->text(), QString());
    // Off the compile page F4 selects nothing.
    QTest::keyClick(window, Qt::Key_F4);
    QCOMPARE(ui().PageControl1->currentWidget(), ui().TabSheet1);
    QCOMPARE(QApplication::focusWidget(), ui().SecEdit);
}

void TstCompilePage::messageBeyondTheListingSelectsNoListingLine() {
    // The file on disk is longer than the listing, and the learner compiles it as it is.
    std::vector<std::string> onDisk(12, "?(1);");
    onDisk.back() = "int b = \"1\";";
    vtest::WriteFile(javaFile(), SourceBytes(onDisk));
    compile({"?(1);"}, vellaro::MbNo);
    QVERIFY(ui().Memo1->toPlainText().startsWith(QStringLiteral("Hello.java:17: ")));
    QTest::mouseClick(ui().Memo1->viewport(), Qt::LeftButton, Qt::NoModifier, paneLine(0));
    QCOMPARE(statusText(), U(Entry("string-to-number").summary));
    QVERIFY(!ui().compList->textCursor().hasSelection());
    QTest::mouseDClick(ui().Memo1->viewport(), Qt::LeftButton, Qt::NoModifier, paneLine(0));
    QCOMPARE(ui().PageControl1->currentWidget(), ui().TabSheet2);
}

// ---- the pane ----------------------------------------------------------------------------------

void TstCompilePage::paneShowsTheCompilersTextInTheSourceFont() {
    QPlainTextEdit* memo = ui().Memo1;
    QCOMPARE(memo->font(), ui().compList->font());
    QCOMPARE(memo->tabStopDistance(), ui().compList->tabStopDistance());
    QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY(!(memo->focusPolicy() & Qt::TabFocus));

    // Many errors: the pane scrolls; its text is the capture file's, unchanged.
    std::vector<std::string> statements;
    for (int i = 0; i < 12; ++i)
        statements.push_back("int v" + std::to_string(i) + " = \"" + std::to_string(i) + "\";");
    statements.push_back("?(\"この行は長いので、メッセージ欄には横のスクロールバーが出ます。"
                         "ソースの文字で表示されるので、^ の印は指す文字の下に立ちます。\" + "
                         "undefined);");
    compile(statements);
    QTRY_VERIFY(memo->verticalScrollBar()->isVisible());
    QVERIFY(memo->horizontalScrollBar()->isVisible());
    const auto capture = vellaro::ReadCaptureFile(vellaro::CapturePath());
    QVERIFY(capture);
    QStringList captured;
    for (const vellaro::Cp932Text& line : *capture)
        captured << vellaro::FromSjis(line);
    QCOMPARE(memo->toPlainText(), captured.join('\n'));
    QCOMPARE(ui().StatusErrorCount->text(), QStringLiteral("エラー 13 個"));

    // Each message naming a line of the source is underlined in the link colour.
    int links = 0;
    for (const QTextEdit::ExtraSelection& mark : memo->extraSelections()) {
        // The compiler's own "^" is hidden: the pane draws its marker under the character meant.
        if (mark.format.foreground().color() == Qt::transparent) {
            QCOMPARE(mark.cursor.selectedText(), QStringLiteral("^"));
            continue;
        }
        QVERIFY(mark.format.fontUnderline());
        QCOMPARE(mark.format.foreground().color(), memo->palette().color(QPalette::Link));
        QVERIFY(mark.cursor.block().text().startsWith(QStringLiteral("Hello.java:")));
        ++links;
    }
    QCOMPARE(links, 13);

    // The settings' source font reaches the pane.
    ui().sDisp_FontSize->setText(QStringLiteral("14"));
    ui().TourokuButton->click();
    QCOMPARE(memo->font().pointSize(), 14);
    QCOMPARE(memo->font(), ui().compList->font());
}

void TstCompilePage::markerStandsUnderTheCharacterTheCompilerMeans() {
    // A tab, then full-width characters, each one column to the compiler and two to the eye.
    compile({"\tString s = \"あいう、えお\" + missing;"});
    vellaro::MessagePane* memo = ui().Memo1;
    QCOMPARE(memo->caretMarks().size(), 1);
    const vellaro::MessagePane::CaretMark mark = memo->caretMarks()[0];
    const QTextBlock source = memo->document()->findBlockByNumber(mark.line - 1);
    const QTextBlock marker = source.next();
    QCOMPARE(source.text().mid(mark.column, 7), QStringLiteral("missing"));
    // The text stays the compiler's; its own "^" is hidden, at the column it counted.
    QCOMPARE(marker.text().trimmed(), QStringLiteral("^"));
    QCOMPARE(marker.text().indexOf('^'), mark.column);
    QTextCursor meant(source);
    meant.setPosition(source.position() + mark.column);
    QTextCursor counted(marker);
    counted.setPosition(marker.position() + mark.column);
    const QRectF drawn = memo->caretRect(mark);
    QCOMPARE(drawn.left(), qreal(memo->cursorRect(meant).left()));
    QVERIFY(memo->cursorRect(counted).left() < drawn.left());
    QCOMPARE(drawn.top(), qreal(memo->cursorRect(counted).top()));
}

QTEST_MAIN(TstCompilePage)
#include "tst_compilepage.moc"
