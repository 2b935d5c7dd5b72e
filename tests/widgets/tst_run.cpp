// Compiling from the compile page and running the class in the program's own console.
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <unistd.h>

#include "TestSupport.h"
#include "app/frmMain.h"
#include "common/Cp932.h"
#include "common/delCommFunc.h"
#include "exercise/Compile.h"
#include "exercise/ExerciseFiles.h"
#include "exercise/JavaComp.h"
#include "exercise/ProcessTree.h"
#include "exercise/qt/BackgroundArchive.h"
#include "exercise/qt/Process.h"
#include "exercise/qt/PtyConsole.h"
#include "exercise/qt/fmDosCall.h"

namespace fs = std::filesystem;
using vellaro::PtyConsole;

namespace {

PtyConsole* OpenConsole() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* c = qobject_cast<PtyConsole*>(w); c && c->isVisible())
            return c;
    return nullptr;
}

// The real processes, with a hook that runs inside the console's wait, once the console is up.
// What was started is kept as the learner sees it (ShellCommand's text).
class WatchedProcesses : public vellaro::ProcessSeam {
  public:
    int runHiddenAndWait(const vellaro::Command& command) override {
        hidden << QString::fromStdString(vellaro::CommandText(command));
        return m_real.runHiddenAndWait(command);
    }
    int runAndWait(const vellaro::Command& command, const QFont& consoleFont) override {
        consoles << QString::fromStdString(vellaro::CommandText(command));
        timerActiveAtStart = shell && shell->Timer1->isActive();
        if (fake)
            return fake();
        if (scenario) {
            QTimer::singleShot(0, qApp, [this] {
                scenario();
                // A failed check leaves the console up: close it, or the run never ends.
                if (QTest::currentTestFailed())
                    if (PtyConsole* c = OpenConsole())
                        c->close();
            });
        }
        return m_real.runAndWait(command, consoleFont);
    }
    void stopHidden() override { m_real.stopHidden(); }
    bool startBackground(const vellaro::Command& command, std::function<void(int)> ended) override {
        return background && m_real.startBackground(command, std::move(ended));
    }
    void stopBackground() override { m_real.stopBackground(); }
    bool background = false; // background commands run (the real ones) only when a test asks
    QStringList hidden;
    QStringList consoles;
    bool timerActiveAtStart = true;
    TShellDiasp* shell = nullptr;   // the program's run window
    std::function<void()> scenario; // runs once the real console stands
    std::function<int()> fake;      // replaces the console altogether
    vellaro::QtProcesses m_real;
};

QString LastLine(const PtyConsole* c) {
    return c->screenText().section(QLatin1Char('\n'), -1);
}

// The interactive shell's prompt alone on the last line: no escape sequence, nothing else.
bool AtPrompt(const PtyConsole* c) {
    static const QRegularExpression prompt(QStringLiteral("^[#$] $"));
    return prompt.match(LastLine(c)).hasMatch();
}

void TypeLine(QWidget* w, const QString& text) {
    QTest::keyClicks(w, text);
    QTest::keyClick(w, Qt::Key_Return);
}

bool ProcessGone(pid_t pid) {
    return ::kill(pid, 0) != 0;
}

// How many live processes named `name` belong to the session `sid`.
int CountInSession(pid_t sid, const std::string& name) {
    const std::vector<vellaro::ProcessEntry> table = vellaro::ReadProcessTable();
    return static_cast<int>(std::count_if(table.begin(), table.end(), [&](const auto& p) {
        return p.session == sid && p.name == name && p.state != 'Z';
    }));
}

} // namespace

class TestRun : public QObject, private vtest::ProgramFixture {
    Q_OBJECT
  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase() {
        vellaro::SetProcesses(nullptr);
        stopProgram();
    }

    void compileShowsMessagesInThePane();
    void compileWithoutClassNameWarnsAndStartsNothing();
    void runWithoutClassNameStartsNothing();
    void runWaitsForTheTimerAndKeepsTheCommandText();
    void consoleRunsJapaneseDialogue();
    void ctrlCEndsTheProgramAndLeavesThePrompt();
    void hiddenRunInheritsFolderAndEnvironmentButNoFiles();
    void consoleEditsLinesAndKeepsOutputBounded();
    void consoleNeverBreaksALineTheProgramDidNotBreak();
    void consoleMenuNamesItsKeysAndPastes();
    void consoleShowsComposingTextAsTheEditorDoes();
    void runWithoutTheLauncherSaysSoInTheConsole();
    void compileWaitTakesNoInputAndEndsWithItsCompiler();
    void escOnACompileHungOnItsArchiveDropsItAndCompilesPlain();
    void compilesDuringTheArchivesMakingInTheBackgroundGiveTheirResult();
    void standardClassNamesAreRefusedAndTheirFilesNamed();
    void runOfAChangedExerciseAsksToCompileFirst();
    void uncaughtExceptionIsExplainedInTheConsoleThenInThePane();

  private:
    QWidget* toolButton(QAction* action) const;
    // Clicks a tool button through the window system, as the learner's mouse does.
    void clickThroughWindow(QAction* action) const;
    void setClassName(const QString& name) const { ui().SrcClassName->setText(name); }
    void writeSource(const std::string& name, const std::vector<std::string>& statements) const;
    // The learner types the exercise and comes back to the compile page, which generates it.
    void typeExercise(const QString& name, const QString& statements) const;
    // Presses "実行" with the console replaced by one that ends at once.
    void runAtOnce() const;

    WatchedProcesses m_processes;
};

void TestRun::initTestCase() {
    QVERIFY(startProgram());
    vellaro::SetProcesses(&m_processes);
    m_processes.shell = &m_app.dialogs->shell();
    // The learner goes to the page to compile and run.
    vtest::ClickTab(ui().PageControl1, 1);
    QCOMPARE(ui().PageControl1->currentWidget(), ui().TabSheet2);
    QTRY_VERIFY(toolButton(ui().CompButton)->isVisible());

    writeSource("Greet", {"Scanner sc = new Scanner(System.in);", "?(\"こんにちは、世界\");",
                          "?(\"名前を入力してください:\");", "String name = sc.nextLine();",
                          "?(\"入力: \" + name);"});
    writeSource("Endless", {"int i = 0;", "while (true) {", "  ?(\"tick \" + i++);",
                            "  try { Thread.sleep(50); } catch (InterruptedException e) {}", "}"});
    QCOMPARE(vellaro::RunHiddenAndWait(
                 vellaro::ShellScript("javac -encoding MS932 Greet.java Endless.java")),
             0);
}

void TestRun::init() {
    m_processes.hidden.clear();
    m_processes.consoles.clear();
    m_processes.scenario = nullptr;
    m_processes.fake = nullptr;
    dialogs().clear();
}

void TestRun::cleanup() {
    dialogs().checkAllUsed();
    // A failed scenario must not leave the run window up for the next test.
    if (PtyConsole* c = OpenConsole())
        c->close();
    if (TShellDiasp* shell = m_app.dialogs->shellIfMade(); shell && shell->isVisible()) {
        shell->Timer1->stop();
        shell->close();
    }
}

QWidget* TestRun::toolButton(QAction* action) const {
    for (QToolBar* bar : w().findChildren<QToolBar*>())
        if (QWidget* button = bar->widgetForAction(action))
            return button;
    return nullptr;
}

void TestRun::clickThroughWindow(QAction* action) const {
    QWidget* button = toolButton(action);
    QVERIFY(button);
    const QPoint at = button->mapTo(&w(), button->rect().center());
    QTest::mouseClick(w().windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
}

void TestRun::typeExercise(const QString& name, const QString& statements) const {
    vtest::ClickTab(ui().PageControl1, 0);
    setClassName(name);
    ui().SecEdit->setPlainText(statements);
    vtest::ClickTab(ui().PageControl1, 1);
}

void TestRun::runAtOnce() const {
    // The test is the clock once the run is armed; otherwise its 500 ms pass as they do.
    QTimer::singleShot(0, this, [this] {
        if (m_app.dialogs->shell().isVisible() && m_app.dialogs->shell().Timer1->isActive())
            QMetaObject::invokeMethod(m_app.dialogs->shell().Timer1, "timeout");
    });
    ui().RunButton->trigger();
}

void TestRun::writeSource(const std::string& name,
                          const std::vector<std::string>& statements) const {
    std::ofstream out(fs::current_path() / (name + ".java"), std::ios::binary);
    out << vellaro::JavaFileBytes(vellaro::SjisLines(vellaro::MakeJavaSource(name, statements)));
}

void TestRun::compileShowsMessagesInThePane() {
    QPlainTextEdit* memo = ui().Memo1;
    writeSource("Hello", {"?(\"Hello\");"});
    setClassName("Hello");
    memo->setPlainText("old");
    clickThroughWindow(ui().CompButton);
    QTRY_COMPARE(memo->toPlainText(), QString::fromUtf8(vellaro::kCompileCleanText.data()));
    QCOMPARE(m_processes.hidden, QStringList{QString::fromStdString(vellaro::ShellCommand)});

    // The menu entry "コンパイル" compiles. The compiler's Japanese shows ungarbled.
    writeSource("Bad", {"?(\"日本語\")"});
    setClassName("Bad");
    ui().N6->trigger();
    QCOMPARE(memo->toPlainText().section('\n', 0, 0),
             QStringLiteral("Bad.java:6: エラー: ';'がありません"));
    QVERIFY(memo->toPlainText().contains(QStringLiteral("System.out.println (\"日本語\")")));
    QVERIFY(dialogs().messages.isEmpty());
}

void TestRun::compileWithoutClassNameWarnsAndStartsNothing() {
    setClassName("");
    ui().Memo1->setPlainText("old");
    dialogs().answerMessage(vellaro::MbYes);
    ui().CompButton->trigger();
    QCOMPARE(dialogs().messages.size(), 1);
    QCOMPARE(dialogs().messages[0].kind, vellaro::MsgKind::Warning);
    QCOMPARE(dialogs().messages[0].text, QStringLiteral("クラス名を入力して下さい"));
    QCOMPARE(dialogs().messages[0].buttons, int(vellaro::MbYes));
    QCOMPARE(ui().Memo1->toPlainText(), QString());
    QVERIFY(m_processes.hidden.isEmpty());
}

void TestRun::runWithoutClassNameStartsNothing() {
    setClassName("");
    dialogs().answerMessage(vellaro::MbYes);
    m_processes.fake = [] { return 0; };
    ui().RunButton->trigger();
    QCOMPARE(dialogs().messageTexts(), QStringList{QStringLiteral("クラス名を入力して下さい")});
    QVERIFY(m_processes.consoles.isEmpty());
    QVERIFY(!m_app.dialogs->shell().isVisible());
    QVERIFY(!m_app.dialogs->shell().Timer1->isActive());
}

void TestRun::runWaitsForTheTimerAndKeepsTheCommandText() {
    TShellDiasp* shell = &m_app.dialogs->shell();
    QCOMPARE(shell->Timer1->objectName(), QStringLiteral("Timer1"));
    QCOMPARE(shell->Timer1->interval(), 500);
    QVERIFY(shell->Timer1->isSingleShot());
    QVERIFY(!shell->Timer1->isActive());

    setClassName("Hello");
    bool armedChecked = false;
    bool blocked = false;
    // The test is the clock: it looks at the armed window, then lets the 500 ms pass at once.
    QTimer::singleShot(0, this, [&] {
        auto end = qScopeGuard([&] { QMetaObject::invokeMethod(shell->Timer1, "timeout"); });
        QVERIFY(shell->isVisible());
        QVERIFY(shell->Timer1->isActive());
        QVERIFY(shell->Timer1->remainingTime() > 0);
        QVERIFY(m_processes.consoles.isEmpty()); // nothing has started yet
        // Never seen: no frame, fully transparent, its shape empty and outside every screen.
        QVERIFY(shell->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(shell->windowOpacity(), 0.0);
        QVERIFY(!shell->mask().intersects(shell->rect()));
        for (QScreen* screen : QGuiApplication::screens())
            QVERIFY(!screen->geometry().intersects(shell->frameGeometry()));
        QCOMPARE(QApplication::activeModalWidget(), shell);
        armedChecked = true;
    });
    m_processes.fake = [&] {
        // While the run lasts, a click on the main window's compile button does nothing.
        ui().Memo1->setPlainText("untouched");
        clickThroughWindow(ui().CompButton);
        QApplication::processEvents();
        blocked = ui().Memo1->toPlainText() == "untouched" && m_processes.hidden.isEmpty();
        return 0;
    };
    ui().RunButton->trigger();
    QVERIFY(armedChecked);
    QVERIFY(blocked);
    QVERIFY(!m_processes.timerActiveAtStart); // one tick per run
    QVERIFY(!shell->isVisible());
    const QString command = QStringLiteral(
        " -c \"java -Duser.language=ja -Dfile.encoding=UTF-8 -Dstdout.encoding=UTF-8 "
        "-Dstderr.encoding=UTF-8 Hello; printf '\\\\033]7734;run-end;%d\\\\007' $?; exec "
        "/bin/sh -i\" ");
    QCOMPARE(QString::fromStdString(vellaro::ShellCommand), command);
    QCOMPARE(m_processes.consoles, QStringList{"/bin/sh" + command.chopped(1)});
    // The menu entry "実行" runs.
    m_processes.consoles.clear();
    QTimer::singleShot(0, this, [&] { QMetaObject::invokeMethod(shell->Timer1, "timeout"); });
    ui().N7->trigger();
    QCOMPARE(m_processes.consoles.size(), 1);
}

void TestRun::consoleRunsJapaneseDialogue() {
    setClassName("Greet");
    QPointer<PtyConsole> console;
    pid_t shellPid = 0;
    bool done = false;
    m_processes.scenario = [&] {
        console = OpenConsole();
        QVERIFY(console);
        shellPid = console->pid();
        QCOMPARE(QApplication::activeModalWidget(), console.data());
        QCOMPARE(console->font().family(), ui().SecEdit->font().family());
        // Captioned with the class; the command line stays at hand.
        QCOMPARE(console->windowTitle(), QStringLiteral("実行中: Greet"));
        QVERIFY(console->toolTip().contains("-Dstderr.encoding=UTF-8 Greet;"));
        QTRY_VERIFY(console->screenText().contains(QStringLiteral("こんにちは、世界")));
        QTRY_VERIFY(console->screenText().contains(QStringLiteral("名前を入力してください:")));

        // The main window takes no input but still repaints.
        ui().Memo1->setPlainText("untouched");
        clickThroughWindow(ui().CompButton);
        QApplication::processEvents();
        QCOMPARE(ui().Memo1->toPlainText(), QStringLiteral("untouched"));
        QVERIFY(m_processes.hidden.isEmpty());

        // Typed letters, then Japanese through the input method.
        QTest::keyClicks(console, "Taro ");
        QInputMethodEvent preedit(QStringLiteral("やまだ"), {});
        QApplication::sendEvent(console, &preedit);
        QCOMPARE(console->document()->lastBlock().layout()->preeditAreaText(),
                 QStringLiteral("やまだ"));
        QVERIFY(!console->screenText().contains(QStringLiteral("やまだ")));
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("山田"));
        QApplication::sendEvent(console, &commit);
        QTest::keyClick(console, Qt::Key_Return);
        QTRY_VERIFY(console->screenText().contains(QStringLiteral("入力: Taro 山田")));
        QVERIFY(!console->screenText().contains(QStringLiteral("やまだ")));

        // The program has ended; the console stays, at a clean prompt, until `exit`.
        QTRY_VERIFY(AtPrompt(console));
        QVERIFY(console->isRunning());
        QVERIFY(console->isVisible());
        TypeLine(console, "exit");
        done = true;
    };
    ui().RunButton->trigger();
    QVERIFY(done);
    QVERIFY(!console); // gone with the run
    QVERIFY(!m_app.dialogs->shell().isVisible());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QTRY_VERIFY(ProcessGone(shellPid));
}

void TestRun::ctrlCEndsTheProgramAndLeavesThePrompt() {
    setClassName("Endless");
    pid_t shellPid = 0;
    bool done = false;
    m_processes.scenario = [&] {
        PtyConsole* console = OpenConsole();
        QVERIFY(console);
        shellPid = console->pid();
        QTRY_VERIFY(console->screenText().contains(QStringLiteral("tick 3")));
        QCOMPARE(CountInSession(shellPid, "java"), 1);
        QTest::keyClick(console, Qt::Key_C, Qt::ControlModifier);
        QTRY_VERIFY(AtPrompt(console));
        // The program ended and the shell survived the interrupt.
        QTRY_COMPARE(CountInSession(shellPid, "java"), 0);
        TypeLine(console, "echo $((6*7))");
        QTRY_VERIFY(console->screenText().contains(QStringLiteral("\n42\n")));
        // Ctrl+C at the prompt reaches the interactive shell, which stays. (What is typed
        // before it has answered is discarded, as in any terminal.)
        const qsizetype interrupts = console->screenText().count(QStringLiteral("^C"));
        QTest::keyClick(console, Qt::Key_C, Qt::ControlModifier);
        QTRY_VERIFY(console->screenText().count(QStringLiteral("^C")) > interrupts &&
                    AtPrompt(console));
        TypeLine(console, "echo still-here");
        QTRY_VERIFY(console->screenText().contains(QStringLiteral("\nstill-here\n")));
        done = true;
        console->close(); // the close box
    };
    ui().RunButton->trigger();
    QVERIFY(done);
    // Closing returned control to the main window at once: a click compiles again.
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    clickThroughWindow(ui().CompButton);
    QTRY_COMPARE(m_processes.hidden.size(), 1);
    QTRY_VERIFY(ProcessGone(shellPid));
}

void TestRun::hiddenRunInheritsFolderAndEnvironmentButNoFiles() {
    // An open descriptor of the program that is not marked close-on-exec.
    const int leaked = ::open("/dev/null", O_RDONLY);
    QVERIFY(leaked > 2);
    auto closeLeaked = qScopeGuard([&] { ::close(leaked); });
    qputenv("VELLARO_RUN_MARK", "mark-1");
    vellaro::Command words =
        vellaro::ShellScript("echo $VELLARO_RUN_MARK $(pwd); ls /proc/$$/fd; cat; exit 7");
    words.argv.insert(words.argv.end(), {">", "out.txt"});
    QCOMPARE(vellaro::RunHiddenAndWait(words), 7);
    // The command's own words go to the program; the redirection above is not the shell's.
    QVERIFY(!fs::exists("out.txt"));
    QCOMPARE(vellaro::RunHiddenAndWait(vellaro::ShellScript(
                 "(echo $VELLARO_RUN_MARK $(pwd); ls /proc/$$/fd; cat) > out.txt")),
             0);
    std::ifstream in("out.txt");
    std::string first;
    std::getline(in, first);
    QCOMPARE(QString::fromStdString(first),
             QStringLiteral("mark-1 ") + QString::fromStdString(fs::current_path().string()));
    std::string fd;
    QStringList fds;
    while (std::getline(in, fd))
        fds << QString::fromStdString(fd);
    QVERIFY(!fds.contains(QString::number(leaked)));
    QCOMPARE(vellaro::RunHiddenAndWait({{"/nonexistent/program"}, {}}), -1);

    // While a child runs, the window's timers go on ticking: the wait is the event loop.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(10);
    QCOMPARE(vellaro::RunHiddenAndWait(vellaro::ShellScript("sleep 0.3")), 0);
    QVERIFY(ticks > 3);
}

void TestRun::consoleEditsLinesAndKeepsOutputBounded() {
    PtyConsole console;
    QVERIFY(console.start({"/bin/sh", "-c",
                           "echo \"term=$TERM\"; read a; echo \"got:$a\"; cat; echo EOF-SEEN; "
                           "seq 1 20000; exit 3"}));
    console.show();
    QSignalSpy finished(&console, &PtyConsole::finished);
    QTRY_VERIFY(console.screenText().contains("term=dumb"));
    // Backspace erases a whole Japanese character, as the terminal reads UTF-8.
    QTest::keyClicks(&console, "abc");
    QTest::keyClick(&console, Qt::Key_Backspace);
    QInputMethodEvent commit;
    // The wave dash an input method types for "から" reaches the program as ～.
    commit.setCommitString(QStringLiteral("〜日本"));
    QApplication::sendEvent(&console, &commit);
    QTest::keyClick(&console, Qt::Key_Backspace);
    QTest::keyClick(&console, Qt::Key_Return);
    QTRY_VERIFY(console.screenText().contains(QStringLiteral("got:ab～日\n")));
    // The echo of the erased characters is gone from the screen line too.
    QVERIFY(console.screenText().contains(QStringLiteral("\nab～日 \n")) ||
            console.screenText().contains(QStringLiteral("\nab～日\n")));
    QTest::keyClick(&console, Qt::Key_D, Qt::ControlModifier);
    // cat ended at Ctrl+D, so the script went on to its end.
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(console.exitStatus(), 3);
    QVERIFY(!console.isRunning());
    // Only the newest lines are kept.
    QVERIFY(console.document()->blockCount() <= PtyConsole::kMaxLines);
    QVERIFY(console.screenText().endsWith("\n19999\n20000\n"));
    QVERIFY(!console.screenText().contains("term=dumb"));
}

void TestRun::consoleNeverBreaksALineTheProgramDidNotBreak() {
    PtyConsole console;
    const int endless = PtyConsole::kMaxLineLength + 5000;
    QVERIFY(console.start({"/bin/sh", "-c",
                           "printf 'a%.0s' $(seq 3000); echo; printf 'b%.0s' $(seq " +
                               std::to_string(endless) + "); echo; echo END; exec cat"}));
    console.show();
    QTRY_VERIFY(console.screenText().contains("\nEND\n"));
    const QString whole =
        QString(3000, 'a') + '\n' + QString(PtyConsole::kMaxLineLength, 'b') + "\nEND\n";
    QCOMPARE(console.screenText(), whole); // of the endless line, its end
    // What is copied and what a screen reader reads hold the lines as they were printed.
    console.selectAll();
    QMenu* menu = console.createConsoleMenu();
    const auto deleteMenu = qScopeGuard([&] { delete menu; });
    QVERIFY(menu->actions().at(0)->isEnabled());
    menu->actions().at(0)->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), whole);
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(&console);
    QVERIFY(reader && reader->textInterface());
    QCOMPARE(reader->textInterface()->text(0, reader->textInterface()->characterCount()), whole);
    console.hangUp();
}

void TestRun::consoleMenuNamesItsKeysAndPastes() {
    PtyConsole console;
    QVERIFY(console.start({"/bin/sh", "-c", "read a; echo \"got:$a\"; exec cat"}));
    console.show();
    QGuiApplication::clipboard()->setText(QStringLiteral("貼った〜\n"));
    QMenu* menu = console.createConsoleMenu();
    const auto deleteMenu = qScopeGuard([&] { delete menu; });
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << action->text();
    QCOMPARE(texts, (QStringList{QStringLiteral("コピー(&C)\tCtrl+Shift+C"),
                                 QStringLiteral("貼り付け(&P)\tCtrl+Shift+V")}));
    QVERIFY(!menu->actions().at(0)->isEnabled()); // nothing selected
    QVERIFY(menu->actions().at(1)->isEnabled());
    menu->actions().at(1)->trigger();
    QTRY_VERIFY(console.screenText().contains(QStringLiteral("got:貼った～\n")));
    console.hangUp();
    // Nothing pastes into a console whose program has ended.
    QMenu* ended = console.createConsoleMenu();
    QVERIFY(!ended->actions().at(1)->isEnabled());
    delete ended;
}

void TestRun::consoleShowsComposingTextAsTheEditorDoes() {
    PtyConsole console;
    QVERIFY(console.start({"/bin/sh", "-c", "printf 'name: '; exec cat"}));
    console.show();
    console.setFocus();
    QTRY_COMPARE(console.screenText(), QStringLiteral("name: "));
    // The input method underlines its text and highlights the segment being converted (日本),
    // with its caret after that segment.
    QTextCharFormat underline;
    underline.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    QTextCharFormat converting = underline;
    converting.setBackground(Qt::darkBlue);
    const auto compose = [&](int caret) {
        QInputMethodEvent e(QStringLiteral("日本ご"),
                            {{QInputMethodEvent::TextFormat, 0, 2, converting},
                             {QInputMethodEvent::TextFormat, 2, 1, underline},
                             {QInputMethodEvent::Cursor, caret, 1, {}}});
        QApplication::sendEvent(&console, &e);
        return static_cast<QWidget&>(console).inputMethodQuery(Qt::ImCursorRectangle).toRectF();
    };
    const QRectF atStart = compose(0);
    const QRectF afterSegment = compose(2);
    const QTextLayout* layout = console.document()->lastBlock().layout();
    QCOMPARE(layout->preeditAreaText(), QStringLiteral("日本ご"));
    QCOMPARE(layout->preeditAreaPosition(), 6); // at the write position, after "name: "
    const QList<QTextLayout::FormatRange> formats = layout->formats();
    QCOMPARE(formats.size(), 2);
    QCOMPARE(formats[0].start, 6);
    QCOMPARE(formats[0].length, 2);
    QCOMPARE(formats[0].format.background().color(), QColor(Qt::darkBlue));
    QVERIFY(formats[1].format.fontUnderline());
    // The caret stands where the input method puts it, and the candidates follow it.
    QVERIFY(afterSegment.left() > atStart.left());
    QCOMPARE(console.cursorWidth(), 0); // the ordinary caret stands aside
    // Nothing of it is the console's text, not even when output comes meanwhile.
    QCOMPARE(console.screenText(), QStringLiteral("name: "));
    console.sendInput("x");
    QTRY_COMPARE(console.screenText(), QStringLiteral("name: x"));
    QCOMPARE(console.document()->lastBlock().layout()->preeditAreaPosition(), 7);
    // Committed, it goes to the program and the composing text is gone.
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("日本語"));
    QApplication::sendEvent(&console, &commit);
    QTRY_COMPARE(console.screenText(), QStringLiteral("name: x日本語"));
    QVERIFY(console.document()->lastBlock().layout()->preeditAreaText().isEmpty());
    QVERIFY(console.document()->lastBlock().layout()->formats().isEmpty());
    QVERIFY(console.cursorWidth() > 0);
    console.hangUp();
}

void TestRun::runWithoutTheLauncherSaysSoInTheConsole() {
    const fs::path empty = m_folders->root() / "nojdk";
    fs::create_directories(empty);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray(empty.c_str()));
    const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });
    setClassName("Hello");
    bool done = false;
    m_processes.scenario = [&] {
        PtyConsole* console = OpenConsole();
        QVERIFY(console);
        QCOMPARE(console->windowTitle(), QStringLiteral("実行中: Hello"));
        QTRY_VERIFY(AtPrompt(console));
        QVERIFY2(console->screenText().startsWith(
                     QStringLiteral("java が見つかりません。JDK をインストールして下さい。\n")),
                 qPrintable(console->screenText()));
        TypeLine(console, "exit");
        done = true;
    };
    ui().RunButton->trigger();
    QVERIFY(done);
}

void TestRun::compileWaitTakesNoInputAndEndsWithItsCompiler() {
    // A stand-in compiler that hangs, deaf to the hang-up, found first on the search path.
    const fs::path bin = m_folders->root() / "slowbin";
    const fs::path pidFile = bin / "javac.pid";
    fs::create_directories(bin);
    std::ofstream(bin / "javac") << "#!/bin/sh\ntrap '' HUP\necho $$ > '" << pidFile.string()
                                 << "'\nwhile :; do sleep 1; done\n";
    fs::permissions(bin / "javac", fs::perms::owner_all);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray(bin.c_str()) + ":" + path);
    const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });
    const auto compilerStarted = [&] {
        std::ifstream in(pidFile);
        pid_t pid = 0;
        return (in >> pid) ? pid : 0;
    };
    setClassName("Hello");
    QPlainTextEdit* memo = ui().Memo1;
    m_processes.fake = [] { return 0; }; // a run that got through would be seen, and end

    pid_t compiler = 0;
    bool checked = false;
    QTimer::singleShot(0, this, [&] {
        // A failed check must not leave the compile waiting for ever.
        const auto end = qScopeGuard([&] { QTest::keyClick(w().windowHandle(), Qt::Key_Escape); });
        QTRY_VERIFY((compiler = compilerStarted()) > 0);
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        // A click on "実行" and typing reach nothing; Esc ends the compiler.
        clickThroughWindow(ui().RunButton);
        QTest::keyClick(w().windowHandle(), Qt::Key_R, Qt::AltModifier);
        QApplication::processEvents();
        QVERIFY(m_processes.consoles.isEmpty());
        QVERIFY(!m_app.dialogs->shell().isVisible());
        QTest::keyClick(w().windowHandle(), Qt::Key_Escape);
        checked = true;
    });
    ui().CompButton->trigger();
    QVERIFY(checked);
    QCOMPARE(memo->toPlainText(), QStringLiteral("コンパイルを中止しました。"));
    QVERIFY(ProcessGone(compiler));
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    // The close box ends the compiler, and the window goes on closing.
    fs::remove(pidFile);
    checked = false;
    QTimer::singleShot(0, this, [&] {
        const auto end = qScopeGuard([&] { QTest::keyClick(w().windowHandle(), Qt::Key_Escape); });
        QTRY_VERIFY((compiler = compilerStarted()) > 0);
        QVERIFY(w().close());
        checked = true;
    });
    ui().CompButton->trigger();
    QVERIFY(checked);
    QVERIFY(!w().isVisible());
    QVERIFY(ProcessGone(compiler));
    w().show();
}

void TestRun::escOnACompileHungOnItsArchiveDropsItAndCompilesPlain() {
    // A JDK whose compiler hangs whenever it maps an archive and hands the rest to the real one.
    const fs::path jdk = m_folders->root() / "hungjdk";
    const fs::path pidFile = jdk / "javac.pid";
    fs::create_directories(jdk / "bin");
    std::ofstream(jdk / "release") << "JAVA_RUNTIME_VERSION=\"17.0.97+1-hung\"\n";
    const QByteArray path = qgetenv("PATH");
    std::ofstream(jdk / "bin" / "javac")
        << "#!/bin/sh\ncase \"$*\" in *SharedArchiveFile*) echo $$ > '" << pidFile.string()
        << "'; exec sleep 600;; esac\nPATH='" << path.constData() << "' exec javac \"$@\"\n";
    fs::permissions(jdk / "bin" / "javac", fs::perms::owner_all);
    qputenv("PATH", QByteArray((jdk / "bin").c_str()) + ":" + path);
    vellaro::FolderSource folders = vellaro::CurrentFolderSource();
    const vellaro::FolderSource saved = folders;
    folders.cache = m_folders->root() / "cache";
    vellaro::SetFolderSource(folders);
    const auto restore = qScopeGuard([&] {
        qputenv("PATH", path);
        vellaro::SetFolderSource(saved);
    });
    const fs::path archive = folders.cache / "javac-17.0.97+1-hung.jsa";
    const QString clean = QString::fromUtf8(vellaro::kCompileCleanText.data());
    writeSource("Hello", {"?(\"Hello\");"});
    setClassName("Hello");
    ui().CompButton->trigger(); // makes the archive
    QCOMPARE(ui().Memo1->toPlainText(), clean);
    QVERIFY(fs::exists(archive));

    bool checked = false;
    QTimer::singleShot(0, this, [&] {
        const auto end = qScopeGuard([&] { QTest::keyClick(w().windowHandle(), Qt::Key_Escape); });
        QTRY_VERIFY(fs::exists(pidFile));
        QCOMPARE(ui().StatusMessage->text(),
                 QStringLiteral("コンパイル中です（Esc で中止できます）"));
        QTest::keyClick(w().windowHandle(), Qt::Key_Escape);
        checked = true;
    });
    ui().CompButton->trigger();
    QVERIFY(checked);
    // The plain compile's result alone, and the next compile makes the archive anew.
    QCOMPARE(ui().Memo1->toPlainText(), clean);
    QVERIFY(!QString::fromStdString(vellaro::ShellCommand).contains(QStringLiteral("-XX:")));
    QVERIFY(!fs::exists(archive));
    QVERIFY(ui().StatusMessage->text().isEmpty());
}

void TestRun::compilesDuringTheArchivesMakingInTheBackgroundGiveTheirResult() {
    // A JDK whose making of the archive takes two seconds more than the real one's.
    const fs::path jdk = m_folders->root() / "slowjdk";
    fs::create_directories(jdk / "bin");
    std::ofstream(jdk / "release") << "JAVA_RUNTIME_VERSION=\"17.0.96+1-slow\"\n";
    const QByteArray path = qgetenv("PATH");
    std::ofstream(jdk / "bin" / "javac")
        << "#!/bin/sh\ncase \"$*\" in *ArchiveClassesAtExit*) sleep 2;; esac\nPATH='"
        << path.constData() << "' exec javac \"$@\"\n";
    fs::permissions(jdk / "bin" / "javac", fs::perms::owner_all);
    qputenv("PATH", QByteArray((jdk / "bin").c_str()) + ":" + path);
    vellaro::FolderSource folders = vellaro::CurrentFolderSource();
    const vellaro::FolderSource saved = folders;
    folders.cache = m_folders->root() / "slowcache";
    vellaro::SetFolderSource(folders);
    m_processes.background = true;
    const auto restore = qScopeGuard([&] {
        ui().ArchiveInBackground->stop();
        m_processes.background = false;
        qputenv("PATH", path);
        vellaro::SetFolderSource(saved);
    });
    const fs::path archive = folders.cache / "javac-17.0.96+1-slow.jsa";
    const QString clean = QString::fromUtf8(vellaro::kCompileCleanText.data());
    writeSource("Hello", {"?(\"Hello\");"});
    setClassName("Hello");

    // Asked at once, the compile does not wait for the making: it runs without the archive.
    ui().ArchiveInBackground->start();
    QVERIFY(ui().ArchiveInBackground->running());
    ui().CompButton->trigger();
    QCOMPARE(ui().Memo1->toPlainText(), clean);
    QVERIFY(!QString::fromStdString(vellaro::ShellCommand).contains(QStringLiteral("-XX:")));
    QVERIFY(ui().ArchiveInBackground->running()); // and the making starts over

    // Asked late in the making, it may wait for it or not: either way its result is right.
    QTRY_VERIFY_WITH_TIMEOUT(ui().ArchiveInBackground->waitChoice().wait, 30000);
    ui().Memo1->clear();
    ui().CompButton->trigger();
    QCOMPARE(ui().Memo1->toPlainText(), clean);
    QTRY_VERIFY_WITH_TIMEOUT(!ui().ArchiveInBackground->running(), 60000);
    if (!fs::exists(archive)) { // ended for a plain compile: made again
        ui().ArchiveInBackground->start();
        QTRY_VERIFY_WITH_TIMEOUT(fs::exists(archive), 60000);
    }

    // Once made, the next compile maps it.
    ui().Memo1->clear();
    ui().CompButton->trigger();
    QCOMPARE(ui().Memo1->toPlainText(), clean);
    QVERIFY(QString::fromStdString(vellaro::ShellCommand)
                .contains(QStringLiteral("SharedArchiveFile")));
}

void TestRun::standardClassNamesAreRefusedAndTheirFilesNamed() {
    auto clearEditor = qScopeGuard([this] { ui().SecEdit->clear(); });
    m_processes.fake = [] { return 0; };
    const QString warning =
        QStringLiteral("「Scanner」は Java の標準クラスの名前です。別のクラス名を付けて下さい");
    typeExercise("Scanner", "?(1);");
    // Writing, "Ｊａｖａソース書出し", compiling and running each refuse the name before any
    // dialog or process.
    for (QAction* command : {ui().ToolButton11, ui().CompButton, ui().RunButton}) {
        dialogs().answerMessage(vellaro::MbYes);
        command->trigger();
    }
    vtest::ClickTab(ui().PageControl1, 0);
    dialogs().answerMessage(vellaro::MbYes);
    ui().ToolButton3->trigger();
    QCOMPARE(dialogs().messageTexts(), QStringList(4, warning));
    QCOMPARE(dialogs().messages[0].kind, vellaro::MsgKind::Warning);
    QVERIFY(dialogs().saveRequests.isEmpty());
    QVERIFY(m_processes.hidden.isEmpty());
    QVERIFY(m_processes.consoles.isEmpty());
    QVERIFY(!fs::exists("Scanner.java"));

    // Files an earlier version let through are named by every compile and run.
    vtest::WriteFile(fs::current_path() / "String.class", "");
    vtest::WriteFile(fs::current_path() / "String.java", "");
    auto removePlanted = qScopeGuard([] {
        fs::remove("String.class");
        fs::remove("String.java");
    });
    const QString named = QStringLiteral(
        "作業フォルダの String.class、String.java は Java の標準クラスを隠しています。");
    writeSource("Hello", {"?(1);"});
    ui().SecEdit->clear();
    setClassName("Hello");
    ui().CompButton->trigger();
    // The planted class already breaks the compile; the last line says why.
    QVERIFY2(ui().Memo1->toPlainText().section('\n', -1).startsWith(named),
             qPrintable(ui().Memo1->toPlainText()));
    ui().Memo1->clear();
    runAtOnce();
    QCOMPARE(m_processes.consoles.size(), 1);
    QVERIFY(ui().Memo1->toPlainText().startsWith(named));
    // What the pane held stays above it, also a character CP932 cannot hold (shown as "?").
    ui().Memo1->setPlainText(QString::fromUtf8("壊れた行 \xEF\xBF\xBD"));
    runAtOnce();
    QCOMPARE(m_processes.consoles.size(), 2);
    QCOMPARE(ui().Memo1->toPlainText().section('\n', 0, 0), QString::fromUtf8("壊れた行 ?"));
    QVERIFY(ui().Memo1->toPlainText().section('\n', 1).startsWith(named));
}

void TestRun::runOfAChangedExerciseAsksToCompileFirst() {
    auto clearEditor = qScopeGuard([this] { ui().SecEdit->clear(); });
    m_processes.fake = [] { return 0; };
    const QString question =
        QStringLiteral("表示中のプログラムはまだコンパイルされていません。書き出してコンパイルして"
                       "から実行しますか？"
                       "\n（「いいえ」は前にコンパイルした Fresh を実行します）");
    struct Step {
        QString statements;
        std::optional<vellaro::MsgButton> answer; // nullopt: no question comes
        int compiles, runs;
    };
    const Step steps[] = {
        {"?(1);", vellaro::MbCancel, 0, 0}, // never compiled: asked; Cancel does nothing
        {"?(1);", vellaro::MbYes, 1, 1},    // written, compiled, run
        {"?(1);", std::nullopt, 0, 1},      // what was compiled is on screen
        {"?(2);", vellaro::MbNo, 0, 1},     // changed: No runs the old class
        {"?(2)", vellaro::MbYes, 1, 0},     // a compile that fails runs nothing
        {"?(2);", vellaro::MbYes, 1, 1},
    };
    for (const Step& step : steps) {
        typeExercise("Fresh", step.statements);
        m_processes.hidden.clear();
        m_processes.consoles.clear();
        dialogs().clear();
        if (step.answer)
            dialogs().answerMessage(*step.answer);
        runAtOnce();
        QCOMPARE(dialogs().messageTexts(), step.answer ? QStringList{question} : QStringList());
        QCOMPARE(m_processes.hidden.size(), step.compiles);
        QCOMPARE(m_processes.consoles.size(), step.runs);
        if (step.answer == vellaro::MbYes)
            QCOMPARE(vtest::ReadFile(fs::current_path() / "Fresh.java"),
                     vellaro::JavaFileBytes(vellaro::SjisLines(
                         vellaro::MakeJavaSource("Fresh", {step.statements.toStdString()}))));
    }
    // Another class name is another program.
    typeExercise("Fresh2", "?(2);");
    dialogs().clear();
    dialogs().answerMessage(vellaro::MbCancel);
    runAtOnce();
    QCOMPARE(dialogs().messageTexts(), QStringList{QString(question).replace("Fresh", "Fresh2")});
}

void TestRun::uncaughtExceptionIsExplainedInTheConsoleThenInThePane() {
    // Typed into the editor and compiled from the compile page, as the learner does.
    const QStringList statements = {QStringLiteral("ArrayList<Integer> list = new ArrayList<>();"),
                                    QStringLiteral("list.add(1);"),
                                    QStringLiteral("int v = list.get(2);")};
    vtest::ClickTab(ui().PageControl1, 0);
    ui().SecEdit->setPlainText(statements.join('\n'));
    setClassName("Hello");
    vtest::ClickTab(ui().PageControl1, 1);
    dialogs().answerMessage(vellaro::MbYes); // the source is written first
    ui().CompButton->trigger();
    QCOMPARE(ui().Memo1->toPlainText(), QString::fromUtf8(vellaro::kCompileCleanText.data()));

    const QString head = QStringLiteral("実行時エラー: リストの範囲の外の番号を使いました。");
    const QString where = QStringLiteral("3 行目の文（リストの 8 行目）: int v = list.get(2);");
    bool done = false;
    m_processes.scenario = [&] {
        PtyConsole* console = OpenConsole();
        QVERIFY(console);
        QTRY_VERIFY(AtPrompt(console));
        const QString text = console->screenText();
        // Below the trace, whose JDK frames stand above the learner's, and before the prompt.
        const qsizetype trace = text.indexOf(QStringLiteral("Exception in thread \"main\" "
                                                            "java.lang.IndexOutOfBoundsException"));
        const qsizetype frame = text.indexOf(QStringLiteral("at Hello.main(Hello.java:8)"));
        const qsizetype block = text.indexOf('\n' + head + '\n' + where + '\n');
        QVERIFY2(trace >= 0 && trace < frame && frame < block, qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("番号 2 の要素はありません")));
        QVERIFY(text.section('\n', -2, -2).startsWith(QStringLiteral("直し方: ")));
        // In a colour of its own; the prompt after it is ordinary text again.
        const QTextBlock first =
            console->document()->findBlockByNumber(int(text.left(block + 1).count('\n')));
        QCOMPARE(first.text(), head);
        const QColor plain = console->document()->lastBlock().charFormat().foreground().color();
        QVERIFY(first.begin().fragment().charFormat().foreground().color() != plain);
        TypeLine(console, "exit");
        done = true;
    };
    ui().RunButton->trigger();
    QVERIFY(done);

    // The pane holds the failure as one message that leads to the statement.
    QPlainTextEdit* memo = ui().Memo1;
    QCOMPARE(memo->document()->firstBlock().text(), head);
    QCOMPARE(memo->document()->findBlockByNumber(1).text(), where);
    QCOMPARE(
        memo->document()->findBlockByNumber(2).text(),
        QStringLiteral("java.lang.IndexOutOfBoundsException: Index 2 out of bounds for length 1"));
    const auto paneLine = [memo](int line) {
        const QTextBlock block = memo->document()->findBlockByNumber(line);
        return memo->cursorRect(QTextCursor(block)).center() + QPoint(4, 0);
    };
    QTest::mouseClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, paneLine(2));
    QCOMPARE(ui().StatusMessage->text(), QStringLiteral("リストの範囲の外の番号を使いました。"));
    QCOMPARE(ui().compList->textCursor().blockNumber(), 7);
    QCOMPARE(memo->accessibleDescription(), memo->toPlainText());
    QTest::keyClick(memo, Qt::Key_Return);
    QCOMPARE(ui().PageControl1->currentWidget(), ui().TabSheet1);
    QCOMPARE(ui().SecEdit->textCursor().blockNumber(), 2);

    // Entering the compile page empties the pane, as after a compile; a double click leads from
    // the next failure's line to its statement too.
    vtest::ClickTab(ui().PageControl1, 1);
    ui().SecEdit->setTextCursor(QTextCursor(ui().SecEdit->document()));
    m_processes.scenario = [&] {
        PtyConsole* console = OpenConsole();
        QVERIFY(console);
        QTRY_VERIFY(AtPrompt(console));
        TypeLine(console, "exit");
    };
    ui().RunButton->trigger();
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, paneLine(0));
    QCOMPARE(ui().PageControl1->currentWidget(), ui().TabSheet1);
    QCOMPARE(ui().SecEdit->textCursor().blockNumber(), 2);

    // A run that ends normally leaves the pane as it was; the next compile replaces it.
    vtest::ClickTab(ui().PageControl1, 1);
    ui().RunButton->trigger();
    setClassName("Greet");
    m_processes.scenario = [&] {
        PtyConsole* console = OpenConsole();
        QVERIFY(console);
        TypeLine(console, "Taro");
        QTRY_VERIFY(AtPrompt(console));
        QVERIFY(!console->screenText().contains(QStringLiteral("実行時エラー")));
        TypeLine(console, "exit");
    };
    // The editor still shows Hello's statements: the class Greet is run as it was compiled.
    dialogs().answerMessage(vellaro::MbNo);
    ui().RunButton->trigger();
    QCOMPARE(memo->document()->firstBlock().text(), head);
    setClassName("Hello");
    ui().CompButton->trigger();
    QCOMPARE(memo->toPlainText(), QString::fromUtf8(vellaro::kCompileCleanText.data()));
    // The run's failure is no message any more: F4 finds none to select.
    QTest::keyClick(w().windowHandle(), Qt::Key_F4);
    QVERIFY(ui().StatusMessage->text().isEmpty());
}

QTEST_MAIN(TestRun)
#include "tst_run.moc"
