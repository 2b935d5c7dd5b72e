// The exercise bench in the real main window: the class-name rule, the editor and its commands,
// generation on entering the compile page, and the file commands through scripted dialogs.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "TestSupport.h"
#include "app/frmMain.h"
#include "common/ComData.h"
#include "common/Cp932.h"
#include "common/qt/QtText.h"
#include "exercise/ExerciseFiles.h"
#include "exercise/JavaComp.h"

namespace fs = std::filesystem;
using vellaro::MsgKind;

namespace {

using vtest::ReadFile;
using vtest::WriteFile;

QString Path(const fs::path& p) {
    return vellaro::FromPath(p);
}

const QString kCannotRead = QStringLiteral("Javaプログラムソースの読込みができません");
const QString kCannotWrite = QStringLiteral("Javaプログラムソースの書き出しができません");
const QString kEnterClassName = QStringLiteral("クラス名を入力して下さい");
const QString kChanged = QStringLiteral("プログラムが変更されています。保存しますか？");

} // namespace

class TstExercise : public QObject, private vtest::ProgramFixture {
    Q_OBJECT

  private slots:
    void init();
    void cleanup() { stopProgram(); }

    void typingRefusesAWholeChangeBackToTheAcceptedName();
    void pastingAndJapaneseTextAreJudgedAsAWhole();
    void eleventhTypedCharacterIsRefusedButAProgramSetStemIsNot();
    void newExerciseAskedFirst();
    void editorTextSurvivesPageSwitchesAndTheCompilePageGenerates();
    void compilePageKeepsTheOldListingWhenTheEditorIsEmpty();
    void editorTakesTabsAndTheFocusChainPassesOverIt();
    void editingCommandsActOnTheEditorOfTheCurrentPage();
    void exerciseFileRoundTripThroughTheDialogs();
    void readingTakesTheClassNameFromTheFileName();
    void failedReadsKeepTheLearnersText();
    void writingNeedsAClassNameAndAWritableFolder();
    void javaSourceIsWrittenAsItStands();
    void textCp932CannotHoldIsRefusedBeforeAnyDialog();
    void katakanaAndUtf8FilesReadBack();
    void waveDashBecomesTheFullWidthTilde();
    void unsavedTextIsOfferedForSavingBeforeReading();
    void unsavedTextIsOfferedForSavingBeforeClosing();

  private:
    fs::path work() const { return m_folders->defaultWorkFolder(); }
    void setClassName(const QString& typed);
    void gotoPage(int index);
    // `count` save dialogs have been asked for; the last one in the work folder for the class
    // name "Hello", with the filter and default suffix of its kind of file.
    void expectSaveRequests(qsizetype count, const QString& filter, const QString& suffix);
};

void TstExercise::init() {
    QVERIFY(startProgram());
    QCOMPARE(w().CurPage(), 0);
    QVERIFY(fs::is_directory(work()));
    w().activateWindow();
}

void TstExercise::setClassName(const QString& typed) {
    ui().SrcClassName->setFocus();
    ui().SrcClassName->selectAll();
    QTest::keyClick(ui().SrcClassName, Qt::Key_Delete);
    QTest::keyClicks(ui().SrcClassName, typed);
}

void TstExercise::expectSaveRequests(qsizetype count, const QString& filter,
                                     const QString& suffix) {
    QCOMPARE(dialogs().saveRequests.size(), count);
    const vellaro::FileDialogRequest& request = dialogs().saveRequests.back();
    QCOMPARE(vellaro::ToPath(request.folder), w().EnvSettings().PathSrc);
    QCOMPARE(request.fileName, QStringLiteral("Hello"));
    QCOMPARE(request.filter, filter);
    QCOMPARE(request.defaultSuffix, suffix);
}

void TstExercise::gotoPage(int index) {
    vtest::ClickTab(ui().PageControl1, index);
    QTRY_COMPARE(ui().PageControl1->currentIndex(), index);
}

// ---- class name ---------------------------------------------------------------------------------

void TstExercise::typingRefusesAWholeChangeBackToTheAcceptedName() {
    QLineEdit* field = ui().SrcClassName;
    setClassName("Abc");
    QCOMPARE(field->text(), QString("Abc"));
    QCOMPARE(ui().SaveclassName->text(), QString("Abc"));

    for (const char* key : {" ", "-", "$", "."}) {
        QTest::keyClicks(field, key);
        QCOMPARE(field->text(), QString("Abc"));
        QCOMPARE(field->cursorPosition(), 3);
        QCOMPARE(ui().SaveclassName->text(), QString("Abc"));
        QCOMPARE(vellaro::AcceptedClassName, std::string("Abc"));
    }
    // Typed in the middle, a refused character still leaves the caret at the end.
    field->setCursorPosition(1);
    QTest::keyClicks(field, "-");
    QCOMPARE(field->text(), QString("Abc"));
    QCOMPARE(field->cursorPosition(), 3);

    setClassName("1st");
    QCOMPARE(ui().SaveclassName->text(), QString("1st"));
    setClassName("_");
    QCOMPARE(ui().SaveclassName->text(), QString("_"));
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(ui().SaveclassName->text(), QString());
    QCOMPARE(vellaro::AcceptedClassName, std::string());
}

void TstExercise::pastingAndJapaneseTextAreJudgedAsAWhole() {
    QLineEdit* field = ui().SrcClassName;
    field->setFocus();
    QApplication::clipboard()->setText("a b");
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(field->text(), QString());
    QCOMPARE(ui().SaveclassName->text(), QString());

    QApplication::clipboard()->setText("X1");
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(field->text(), QString("X1"));
    gotoPage(1);
    QCOMPARE(ui().SaveclassName->text(), QString("X1"));
    gotoPage(0);

    // Japanese text, whether pasted or committed by an input method, is refused the same way.
    QApplication::clipboard()->setText(QStringLiteral("クラス"));
    field->setFocus();
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(field->text(), QString("X1"));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("名前"));
    QApplication::sendEvent(field, &commit);
    QCOMPARE(field->text(), QString("X1"));
    QCOMPARE(ui().SaveclassName->text(), QString("X1"));
    QCOMPARE(field->cursorPosition(), 2);
}

void TstExercise::eleventhTypedCharacterIsRefusedButAProgramSetStemIsNot() {
    QLineEdit* field = ui().SrcClassName;
    setClassName("ABCDEFGHIJ");
    QTest::keyClicks(field, "K");
    QCOMPARE(field->text(), QString("ABCDEFGHIJ"));
    QCOMPARE(ui().SaveclassName->text(), QString("ABCDEFGHIJ"));

    // Reading an exercise sets a longer name from the file's name; the rule accepts it whole.
    const fs::path file = work() / "TwentyCharClassName1.sja";
    WriteFile(file, "?(1);\r\n");
    dialogs().answerOpenFile(Path(file));
    ui().ToolButton2->trigger();
    QCOMPARE(field->text(), QString("TwentyCharClassName1"));
    QCOMPARE(ui().SaveclassName->text(), QString("TwentyCharClassName1"));
    // The learner may shorten it, but not make it longer again.
    field->setFocus();
    field->end(false);
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(field->text(), QString("TwentyCharClassName"));
    QTest::keyClicks(field, "Z");
    QCOMPARE(field->text(), QString("TwentyCharClassName"));
    field->setCursorPosition(6);
    QTest::keyClicks(field, "Z"); // nor in the middle
    QCOMPARE(field->text(), QString("TwentyCharClassName"));
    // What replaces a selection is cut to the limit, whatever the field held before.
    field->setSelection(0, 6);
    QApplication::clipboard()->setText("Short");
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(field->text(), QString("CharClassName")); // 13 kept: no room for more
    field->selectAll();
    QApplication::clipboard()->setText("FifteenCharName");
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(field->text(), QString("FifteenCha"));
    QCOMPARE(ui().SaveclassName->text(), QString("FifteenCha"));
}

// ---- editor and new exercise --------------------------------------------------------------------

void TstExercise::newExerciseAskedFirst() {
    setClassName("Hello");
    ui().SecEdit->setPlainText("?(1);");
    gotoPage(1);
    gotoPage(0);
    const QString listing = ui().compList->toPlainText();

    dialogs().answerMessage(vellaro::MbNo);
    ui().ToolButton1->trigger();
    QCOMPARE(dialogs().messages.size(), 1);
    QCOMPARE(dialogs().messages[0].kind, MsgKind::Confirmation);
    QCOMPARE(dialogs().messages[0].text, QStringLiteral("新規作成を行いますか？"));
    QCOMPARE(dialogs().messages[0].buttons, vellaro::MbYes | vellaro::MbNo);
    QCOMPARE(ui().SecEdit->toPlainText(), QString("?(1);"));
    QCOMPARE(ui().SrcClassName->text(), QString("Hello"));
    QCOMPARE(ui().SaveclassName->text(), QString("Hello"));

    dialogs().answerMessage(vellaro::MbYes);
    ui().N10->trigger(); // the menu entry does the same
    QCOMPARE(ui().SecEdit->toPlainText(), QString());
    QCOMPARE(ui().SrcClassName->text(), QString());
    QCOMPARE(ui().SaveclassName->text(), QString());
    QCOMPARE(vellaro::AcceptedClassName, std::string());
    QTRY_VERIFY(ui().SrcClassName->hasFocus());
    QCOMPARE(ui().compList->toPlainText(), listing); // the compile page is not touched
}

void TstExercise::editorTextSurvivesPageSwitchesAndTheCompilePageGenerates() {
    setClassName("Hello");
    ui().SecEdit->setFocus();
    QTest::keyClicks(ui().SecEdit, "int a = 3;");
    QTest::keyClick(ui().SecEdit, Qt::Key_Return);
    QTest::keyClicks(ui().SecEdit, "?(a);");
    const QString typed = ui().SecEdit->toPlainText();
    QCOMPARE(typed, QString("int a = 3;\n?(a);"));

    gotoPage(1);
    const QStringList source = ui().SrcList->toPlainText().split('\n');
    QCOMPARE(source.size(), 9);
    QCOMPARE(source[3], QString("public class Hello {"));
    QCOMPARE(source[6], QString("\t\tSystem.out.println (a);"));
    const QStringList listing = ui().compList->toPlainText().split('\n');
    QCOMPARE(listing.size(), 9);
    QCOMPARE(listing[0], QString("  1 :  import java.io.*;"));
    QCOMPARE(listing[8], QString("  9 :  }"));

    gotoPage(3);
    gotoPage(0);
    QCOMPARE(ui().SecEdit->toPlainText(), typed);
    gotoPage(1);
    QCOMPARE(ui().SecEdit->toPlainText(), typed);
    QCOMPARE(ui().compList->toPlainText().split('\n'), listing);
}

void TstExercise::compilePageKeepsTheOldListingWhenTheEditorIsEmpty() {
    setClassName("Old");
    ui().SecEdit->setPlainText("?(1);\n");
    gotoPage(1);
    const QString source = ui().SrcList->toPlainText();
    const QString listing = ui().compList->toPlainText();
    QCOMPARE(listing.split('\n').size(), 8); // a final line break adds no statement
    gotoPage(0);

    dialogs().answerMessage(vellaro::MbYes);
    ui().ToolButton1->trigger();
    gotoPage(1);
    QCOMPARE(ui().SaveclassName->text(), QString());
    QCOMPARE(ui().SrcList->toPlainText(), source);
    QCOMPARE(ui().compList->toPlainText(), listing);

    // A text that is one line break is one empty statement: generation runs.
    gotoPage(0);
    ui().SecEdit->setPlainText("\n");
    gotoPage(1);
    const QStringList lines = ui().SrcList->toPlainText().split('\n');
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines[3], QString("public class  {"));
    QCOMPARE(lines[5], QString("\t\t"));
}

void TstExercise::editorTakesTabsAndTheFocusChainPassesOverIt() {
    QPlainTextEdit* editor = ui().SecEdit;
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_Tab);
    QTest::keyClicks(editor, "?(1);");
    QVERIFY(editor->hasFocus());
    QCOMPARE(editor->toPlainText(), QString("\t?(1);"));
    gotoPage(1);
    QCOMPARE(ui().SrcList->toPlainText().split('\n')[5], QString("\t\t\tSystem.out.println (1);"));
    gotoPage(0);

    // Moving the focus with the Tab key never lands in the editor.
    ui().SrcClassName->setFocus();
    for (int i = 0; i < 20; ++i) {
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused);
        QTest::keyClick(focused, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != editor);
    }

    // A long line scrolls rather than wrapping.
    editor->setPlainText(QString(500, 'x'));
    QApplication::processEvents();
    QCOMPARE(editor->document()->lineCount(), 1);
    QVERIFY(editor->horizontalScrollBar()->maximum() > 0);
}

void TstExercise::editingCommandsActOnTheEditorOfTheCurrentPage() {
    QPlainTextEdit* editor = ui().SecEdit;
    editor->setPlainText("int a;");
    ui().SrcClassName->setFocus();

    // The menu entry first gives the editor the focus.
    ui().N4->trigger();
    QTRY_VERIFY(editor->hasFocus());
    QCOMPARE(editor->textCursor().selectedText(), QString("int a;"));
    ui().Copy2->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString("int a;"));

    // Tool buttons and pop-up entries leave the focus where it is.
    ui().SrcClassName->setFocus();
    QTRY_VERIFY(ui().SrcClassName->hasFocus());
    ui().ToolButton4->trigger(); // cut
    QCOMPARE(editor->toPlainText(), QString());
    QVERIFY(ui().SrcClassName->hasFocus());
    ui().ToolButton6->trigger(); // paste
    ui().Paste1->trigger();
    QCOMPARE(editor->toPlainText(), QString("int a;int a;"));
    QVERIFY(ui().SrcClassName->hasFocus());
    ui().N2->trigger(); // select all
    ui().Copy1->trigger();
    ui().Cut1->trigger();
    QCOMPARE(editor->toPlainText(), QString());
    QCOMPARE(QApplication::clipboard()->text(), QString("int a;int a;"));
    QVERIFY(ui().SrcClassName->hasFocus());

    // On the settings page there is no editor to act on.
    editor->setPlainText("keep");
    editor->selectAll();
    gotoPage(3);
    QCOMPARE(w().CurPage(), 3);
    ui().Cut1->trigger();
    ui().Paste1->trigger();
    QCOMPARE(editor->toPlainText(), QString("keep"));
}

// ---- files --------------------------------------------------------------------------------------

void TstExercise::exerciseFileRoundTripThroughTheDialogs() {
    setClassName("Hello");
    const QString text = QStringLiteral("int a = 3;\n\t?(\"表示～\");\n\n?(a);\n");
    ui().SecEdit->setPlainText(text);

    const fs::path file = work() / "Hello.sja";
    WriteFile(file, "an older exercise"); // replaced without a question
    dialogs().answerSaveFile(Path(file));
    ui().ToolButton3->trigger();
    QVERIFY2(dialogs().messages.isEmpty(), qPrintable(dialogs().messageTexts().join('\n')));
    expectSaveRequests(1, QStringLiteral("ソースファイル (*.sja)"), "sja");
    const std::string bytes = ReadFile(file);
    QCOMPARE(bytes, vellaro::Sjis("int a = 3;\r\n\t?(\"表示～\");\r\n\r\n?(a);\r\n").bytes());

    // Read back into a fresh exercise: the same text, the class name from the file's name.
    dialogs().answerMessage(vellaro::MbYes);
    ui().ToolButton1->trigger();
    dialogs().answerOpenFile(Path(file));
    ui().N11->trigger();
    QCOMPARE(dialogs().openRequests.size(), 1);
    QCOMPARE(vellaro::ToPath(dialogs().openRequests[0].folder), w().EnvSettings().PathSrc);
    QCOMPARE(dialogs().openRequests[0].filter, QStringLiteral("ソースファイル (*.sja)"));
    QCOMPARE(ui().SecEdit->toPlainText(), text);
    QCOMPARE(ui().SrcClassName->text(), QString("Hello"));
    QCOMPARE(ui().SaveclassName->text(), QString("Hello"));

    // Written again from the menu, into another folder: byte for byte the same, and that
    // folder becomes the current folder (the compiler runs there).
    const fs::path other = m_folders->root() / "other";
    fs::create_directory(other);
    dialogs().answerSaveFile(Path(other / "Hello.sja"));
    ui().N12->trigger();
    QCOMPARE(ReadFile(other / "Hello.sja"), bytes);
    QCOMPARE(fs::current_path(), other);
}

void TstExercise::readingTakesTheClassNameFromTheFileName() {
    WriteFile(work() / "My.Test.sja", "?(1);");
    WriteFile(work() / "my prog.sja", "?(2);");
    WriteFile(work() / ".sja", "?(3);");

    dialogs().answerOpenFile(Path(work() / "My.Test.sja"));
    ui().ToolButton2->trigger();
    QCOMPARE(ui().SrcClassName->text(), QString("My"));

    dialogs().answerOpenFile(Path(work() / "my prog.sja"));
    ui().ToolButton2->trigger();
    QCOMPARE(ui().SecEdit->toPlainText(), QString("?(2);")); // the text is loaded
    QCOMPARE(ui().SrcClassName->text(), QString("My"));      // the name with a blank is not
    QCOMPARE(ui().SaveclassName->text(), QString("My"));

    dialogs().answerOpenFile(Path(work() / ".sja"));
    ui().ToolButton2->trigger();
    QCOMPARE(ui().SecEdit->toPlainText(), QString("?(3);"));
    QCOMPARE(ui().SrcClassName->text(), QString());
    QVERIFY(dialogs().messages.isEmpty());
}

void TstExercise::failedReadsKeepTheLearnersText() {
    setClassName("Mine");
    ui().SecEdit->setPlainText("unsaved work");

    // Each read first asks about the unsaved text; "いいえ" goes on without saving.
    dialogs().answerMessage(vellaro::MbNo);
    dialogs().answerOpenFile(Path(work() / "missing.sja"));
    dialogs().answerMessage(vellaro::MbYes);
    ui().ToolButton2->trigger();
    QCOMPARE(dialogs().messages.size(), 2);
    QCOMPARE(dialogs().messages[0].text, kChanged);
    QCOMPARE(dialogs().messages[1].kind, MsgKind::Error);
    QCOMPARE(dialogs().messages[1].text, kCannotRead);
    QCOMPARE(dialogs().messages[1].buttons, int(vellaro::MbYes));
    QCOMPARE(ui().SecEdit->toPlainText(), QString("unsaved work"));
    QCOMPARE(ui().SrcClassName->text(), QString("Mine"));

    // A file that is not text is refused with its reason, also leaving the editor alone.
    WriteFile(work() / "Binary.sja", std::string("\x7f"
                                                 "ELF\0\0\0",
                                                 7));
    dialogs().answerMessage(vellaro::MbNo);
    dialogs().answerOpenFile(Path(work() / "Binary.sja"));
    dialogs().answerMessage(vellaro::MbYes);
    ui().ToolButton2->trigger();
    QCOMPARE(dialogs().messages.size(), 4);
    QVERIFY(dialogs().messages[3].text.startsWith(kCannotRead + "\n"));
    QCOMPARE(ui().SecEdit->toPlainText(), QString("unsaved work"));
    QCOMPARE(ui().SrcClassName->text(), QString("Mine"));

    // Cancelling the dialog changes nothing and shows nothing more.
    dialogs().answerMessage(vellaro::MbNo);
    dialogs().answerOpenFile(QString());
    ui().ToolButton2->trigger();
    QCOMPARE(dialogs().messages.size(), 5);
    QCOMPARE(ui().SecEdit->toPlainText(), QString("unsaved work"));
}

void TstExercise::writingNeedsAClassNameAndAWritableFolder() {
    dialogs().answerAllMessages(vellaro::MbYes); // each box has the one button
    ui().SecEdit->setPlainText("?(1);");
    ui().ToolButton3->trigger();
    QCOMPARE(dialogs().messageTexts(), QStringList{kEnterClassName});
    QCOMPARE(dialogs().messages[0].kind, MsgKind::Warning);
    QVERIFY(dialogs().saveRequests.isEmpty());

    gotoPage(1);
    ui().ToolButton11->trigger();
    QCOMPARE(dialogs().messageTexts(), (QStringList{kEnterClassName, kEnterClassName}));
    QVERIFY(dialogs().saveRequests.isEmpty());
    gotoPage(0);

    // Running as root, permissions cannot stop a write: a regular file stands where the folder
    // should be, and /proc takes no new files.
    setClassName("Hello");
    const fs::path blocker = m_folders->root() / "plain";
    WriteFile(blocker, "not a folder");
    dialogs().answerSaveFile(Path(blocker / "Hello.sja"));
    ui().ToolButton3->trigger();
    dialogs().answerSaveFile(QStringLiteral("/proc/Hello.sja"));
    ui().ToolButton3->trigger();
    QCOMPARE(dialogs().messageTexts().mid(2), (QStringList{kCannotWrite, kCannotWrite}));
    QCOMPARE(dialogs().messages.back().kind, MsgKind::Error);
    QCOMPARE(ReadFile(blocker), std::string("not a folder"));
    QCOMPARE(ui().SecEdit->toPlainText(), QString("?(1);"));
    QCOMPARE(ui().SrcClassName->text(), QString("Hello"));

    gotoPage(1);
    dialogs().answerSaveFile(Path(blocker / "Hello.java"));
    ui().ToolButton11->trigger();
    QCOMPARE(dialogs().messageTexts().back(), kCannotWrite);

    // Cancelling the dialog writes nothing and says nothing.
    const auto shown = dialogs().messages.size();
    dialogs().answerSaveFile(QString());
    ui().ToolButton11->trigger();
    QCOMPARE(dialogs().messages.size(), shown);
}

void TstExercise::javaSourceIsWrittenAsItStands() {
    // Before any generation the source is empty, and so is the file.
    setClassName("Hello");
    gotoPage(1);
    const fs::path early = work() / "Early.java";
    dialogs().answerSaveFile(Path(early));
    ui().ToolButton11->trigger();
    QVERIFY(fs::exists(early));
    QCOMPARE(fs::file_size(early), std::uintmax_t(0));

    gotoPage(0);
    ui().SecEdit->setPlainText("?(1);");
    gotoPage(1);
    const fs::path file = work() / "Hello.java";
    dialogs().answerSaveFile(Path(file));
    ui().ToolButton11->trigger();
    expectSaveRequests(2, QStringLiteral("Javaソース (*.java)"), "java");
    const std::string expected = vellaro::JavaFileBytes(vellaro::SjisLines(
        vellaro::MakeJavaSource("Hello", vellaro::SplitStatementLines("?(1);"))));
    QCOMPARE(ReadFile(file), expected);
    QVERIFY(dialogs().messages.isEmpty());
}

void TstExercise::textCp932CannotHoldIsRefusedBeforeAnyDialog() {
    dialogs().answerAllMessages(vellaro::MbYes);
    setClassName("Emoji");
    ui().SecEdit->setPlainText(QStringLiteral("int a;\n?(\"\U0001F600\");"));
    ui().ToolButton3->trigger();
    QCOMPARE(dialogs().messages.size(), 1);
    QVERIFY2(dialogs().messages[0].text.startsWith(QStringLiteral("2 行目に")),
             qPrintable(dialogs().messages[0].text));
    QVERIFY(dialogs().messages[0].text.contains(QStringLiteral("U+1F600")));
    QVERIFY(dialogs().saveRequests.isEmpty());

    // The listing shows the line as typed; writing the Java source names its source line.
    gotoPage(1);
    QVERIFY(ui().compList->toPlainText().contains(QStringLiteral("\U0001F600")));
    ui().ToolButton11->trigger();
    QCOMPARE(dialogs().messages.size(), 2);
    QVERIFY2(dialogs().messages[1].text.startsWith(QStringLiteral("7 行目に")),
             qPrintable(dialogs().messages[1].text));
    QVERIFY(dialogs().saveRequests.isEmpty());
    for (const auto& entry : fs::directory_iterator(work()))
        QFAIL(qPrintable("written: " + Path(entry.path())));
}

void TstExercise::katakanaAndUtf8FilesReadBack() {
    // Half-width katakana whose CP932 byte pairs also form UTF-8 characters, written by the
    // program itself, read back without a question.
    const QString katakana = QStringLiteral("?(\"ﾃｽﾄ\");\n?(\"ﾈｺ ﾊｲ ﾑｼ\");\n");
    setClassName("Kana");
    ui().SecEdit->setPlainText(katakana);
    dialogs().answerSaveFile(Path(work() / "Kana.sja"));
    ui().ToolButton3->trigger();
    dialogs().answerOpenFile(Path(work() / "Kana.sja"));
    ui().ToolButton2->trigger();
    QVERIFY2(dialogs().messages.isEmpty(), qPrintable(dialogs().messageTexts().join('\n')));
    QCOMPARE(ui().SecEdit->toPlainText(), katakana);

    // UTF-8 from another editor, with a byte-order mark and a character CP932 cannot hold: read
    // as UTF-8 without a question; the character stays, and writing names its line.
    WriteFile(work() / "Utf.sja", "\xEF\xBB\xBF?(\"こんにちは\");\r\n?(\"caf\xC3\xA9\");\r\n");
    dialogs().answerOpenFile(Path(work() / "Utf.sja"));
    ui().ToolButton2->trigger();
    QVERIFY(dialogs().messages.isEmpty());
    QCOMPARE(ui().SecEdit->toPlainText(), QStringLiteral("?(\"こんにちは\");\n?(\"café\");\n"));
    QCOMPARE(ui().SrcClassName->text(), QString("Utf"));
    dialogs().answerMessage(vellaro::MbYes);
    ui().ToolButton3->trigger();
    QVERIFY(dialogs().messages[0].text.startsWith(QStringLiteral("2 行目に")));
    QVERIFY(dialogs().saveRequests.size() == 1); // only the katakana file's

    // Valid both ways ("㒃A" in UTF-8, "纈ア" in CP932): the learner is asked.
    WriteFile(work() / "Both.sja", "\xE3\x92\x83\x41");
    dialogs().clear();
    dialogs().answerOpenFile(Path(work() / "Both.sja"));
    dialogs().answerMessage(vellaro::MbCancel);
    ui().ToolButton2->trigger();
    QCOMPARE(dialogs().messages.size(), 1);
    QCOMPARE(dialogs().messages[0].kind, MsgKind::Confirmation);
    QCOMPARE(dialogs().messages[0].text,
             QStringLiteral("このファイルは UTF-8 で書かれているようです。UTF-8 として読み込み"
                            "ますか？（「いいえ」は Shift-JIS として読み込みます）"));
    QCOMPARE(dialogs().messages[0].buttons, vellaro::MbYes | vellaro::MbNo | vellaro::MbCancel);
    QCOMPARE(ui().SecEdit->toPlainText(), QStringLiteral("?(\"こんにちは\");\n?(\"café\");\n"));
    QCOMPARE(ui().SrcClassName->text(), QString("Utf"));
    for (const auto& [answer, text] : {std::pair{vellaro::MbYes, QStringLiteral("㒃A")},
                                       std::pair{vellaro::MbNo, QStringLiteral("纈ア")}}) {
        dialogs().answerOpenFile(Path(work() / "Both.sja"));
        dialogs().answerMessage(answer);
        ui().ToolButton2->trigger();
        QCOMPARE(ui().SecEdit->toPlainText(), text);
        QCOMPARE(ui().SrcClassName->text(), QString("Both"));
    }

    // Writing what was read as UTF-8 writes Shift-JIS, and says so; a Shift-JIS file does not.
    WriteFile(work() / "Hi.sja", "\xEF\xBB\xBF?(\"\xE3\x81\x93\xE3\x82\x93\");");
    for (const char* name : {"Hi.sja", "Kana.sja"}) {
        const bool utf8 = name == std::string("Hi.sja");
        dialogs().answerOpenFile(Path(work() / name));
        ui().ToolButton2->trigger();
        ui().StatusMessage->clear();
        dialogs().answerSaveFile(Path(work() / name));
        ui().ToolButton3->trigger();
        if (utf8)
            QCOMPARE(ReadFile(work() / name), vellaro::Sjis("?(\"こん\");").bytes());
        QCOMPARE(ui().StatusMessage->text(),
                 utf8 ? QStringLiteral("Shift-JIS で保存しました") : QString());
    }
}

void TstExercise::waveDashBecomesTheFullWidthTilde() {
    // Typed (key by key, and through an input method), pasted and read: ～ each time.
    QPlainTextEdit* editor = ui().SecEdit;
    editor->setFocus();
    QTest::keyClicks(editor, "?(\"1");
    QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QStringLiteral("〜"),
                        Qt::NoModifier);
    QTest::keyClicks(editor, "3");
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("、4〜6"));
    QApplication::sendEvent(editor, &commit);
    QApplication::clipboard()->setText(QStringLiteral("、7〜9\");"));
    ui().ToolButton6->trigger();
    QCOMPARE(editor->toPlainText(), QStringLiteral("?(\"1～3、4～6、7～9\");"));
    // Undo takes the paste back as a whole, never showing the wave dash again.
    editor->undo();
    QCOMPARE(editor->toPlainText(), QStringLiteral("?(\"1～3、4～6"));
    editor->redo();

    // The listing and the file say what the editor says.
    setClassName("Wave");
    gotoPage(1);
    QVERIFY(ui().compList->toPlainText().contains(QStringLiteral("1～3、4～6、7～9")));
    gotoPage(0);
    dialogs().answerSaveFile(Path(work() / "Wave.sja"));
    ui().ToolButton3->trigger();
    QVERIFY(dialogs().messages.isEmpty());
    QCOMPARE(ReadFile(work() / "Wave.sja"), vellaro::Sjis("?(\"1～3、4～6、7～9\");").bytes());

    WriteFile(work() / "Read.sja", "?(\"1\xE3\x80\x9C"
                                   "3\");"); // UTF-8 with the wave dash
    dialogs().answerOpenFile(Path(work() / "Read.sja"));
    ui().ToolButton2->trigger();
    QCOMPARE(editor->toPlainText(), QStringLiteral("?(\"1～3\");"));
    // Unchanged since it was read: reading another file asks nothing about saving this one.
    const qsizetype asked = dialogs().messages.size();
    dialogs().answerOpenFile(QString()); // the learner then cancels the file dialog
    ui().ToolButton2->trigger();
    QVERIFY(dialogs().messages.size() == asked);
}

void TstExercise::unsavedTextIsOfferedForSavingBeforeReading() {
    WriteFile(work() / "Other.sja", "?(2);");
    QPlainTextEdit* editor = ui().SecEdit;
    const auto read = [&] {
        dialogs().answerOpenFile(Path(work() / "Other.sja"));
        ui().ToolButton2->trigger();
        editor->moveCursor(QTextCursor::End);
    };
    // Typing and taking it back again leaves nothing to ask about.
    editor->setFocus();
    QTest::keyClicks(editor, "x");
    QTest::keyClick(editor, Qt::Key_Backspace);
    read();
    QVERIFY(dialogs().messages.isEmpty());
    QCOMPARE(editor->toPlainText(), QString("?(2);"));

    // "キャンセル" stops before the open dialog.
    dialogs().clear();
    QTest::keyClicks(editor, " // mine");
    dialogs().answerMessage(vellaro::MbCancel);
    ui().ToolButton2->trigger();
    QCOMPARE(dialogs().messages.size(), 1);
    QCOMPARE(dialogs().messages[0].kind, MsgKind::Confirmation);
    QCOMPARE(dialogs().messages[0].text, kChanged);
    QCOMPARE(dialogs().messages[0].buttons, vellaro::MbYes | vellaro::MbNo | vellaro::MbCancel);
    QVERIFY(dialogs().openRequests.isEmpty());
    QCOMPARE(editor->toPlainText(), QString("?(2); // mine"));
    QCOMPARE(ui().SrcClassName->text(), QString("Other"));

    // "はい" saves first; a save that does not write (the dialog cancelled) stops the read.
    dialogs().answerMessage(vellaro::MbYes);
    dialogs().answerSaveFile(QString());
    ui().ToolButton2->trigger();
    QVERIFY(dialogs().openRequests.isEmpty());
    dialogs().answerMessage(vellaro::MbYes);
    dialogs().answerSaveFile(Path(work() / "Other2.sja"));
    read();
    QCOMPARE(ReadFile(work() / "Other2.sja"), std::string("?(2); // mine"));
    QCOMPARE(editor->toPlainText(), QString("?(2);"));

    // "いいえ" reads without saving; a written text counts as unchanged, and so does an emptied.
    QTest::keyClicks(editor, " // lost");
    dialogs().answerMessage(vellaro::MbNo);
    read();
    QCOMPARE(editor->toPlainText(), QString("?(2);"));
    QTest::keyClicks(editor, " // kept");
    setClassName("Kept");
    dialogs().answerSaveFile(Path(work() / "Kept.sja"));
    ui().ToolButton3->trigger();
    read();
    QTest::keyClicks(editor, "x");
    dialogs().answerMessage(vellaro::MbYes);
    ui().ToolButton1->trigger(); // "新規作成" asks its own question only
    read();
    QCOMPARE(dialogs().messageTexts().size(), 5);
    QCOMPARE(dialogs().messageTexts().back(), QStringLiteral("新規作成を行いますか？"));
    QCOMPARE(editor->toPlainText(), QString("?(2);"));
}

void TstExercise::unsavedTextIsOfferedForSavingBeforeClosing() {
    QPlainTextEdit* editor = ui().SecEdit;
    editor->setFocus();
    QTest::keyClicks(editor, "?(1);");
    // "キャンセル", and "はい" with a save that fails: the window stays open, nothing stored.
    dialogs().answerMessage(vellaro::MbCancel);
    QVERIFY(!w().close());
    QVERIFY(w().isVisible());
    setClassName("Closing");
    WriteFile(m_folders->root() / "plain", "not a folder");
    dialogs().answerMessage(vellaro::MbYes);
    dialogs().answerSaveFile(Path(m_folders->root() / "plain" / "Closing.sja"));
    dialogs().answerMessage(vellaro::MbYes); // the write error
    QVERIFY(!w().close());
    QVERIFY(w().isVisible());
    QCOMPARE(dialogs().messageTexts(), (QStringList{kChanged, kChanged, kCannotWrite}));
    QVERIFY(!fs::exists(m_folders->settingsFile()));

    // "はい" with a save that writes closes, storing the settings as always.
    dialogs().answerMessage(vellaro::MbYes);
    dialogs().answerSaveFile(Path(work() / "Closing.sja"));
    QVERIFY(w().close());
    QCOMPARE(ReadFile(work() / "Closing.sja"), std::string("?(1);"));
    QVERIFY(fs::exists(m_folders->settingsFile()));

    // Unchanged text asks nothing; "いいえ" closes without saving.
    w().show();
    QVERIFY(w().close());
    w().show();
    QTest::keyClicks(editor, "x");
    dialogs().answerMessage(vellaro::MbNo);
    QVERIFY(w().close());
    QCOMPARE(dialogs().messages.size(), 5);
    QCOMPARE(dialogs().messages.back().text, kChanged);
    QCOMPARE(ReadFile(work() / "Closing.sja"), std::string("?(1);"));
}

QTEST_MAIN(TstExercise)
#include "tst_exercise.moc"
