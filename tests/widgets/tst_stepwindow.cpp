// "ステップ実行" from the main window with the real JDK: the same question as "実行", the window's
// statements, variables and buttons, going back and forth, a stop mark, and closing.
#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>

#include <filesystem>
#include <unistd.h>

#include "TestSupport.h"
#include "app/StepWindow.h"
#include "app/frmMain.h"
#include "exercise/ProcessTree.h"
#include "exercise/qt/PtyConsole.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 30000;

StepWindow* OpenStepWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<StepWindow*>(w); s && s->isVisible())
            return s;
    return nullptr;
}

QStringList Column(QTableWidget* table, int column) {
    QStringList out;
    for (int r = 0; r < table->rowCount(); ++r)
        out << table->item(r, column)->text();
    return out;
}

} // namespace

class TestStepWindow : public QObject, private vtest::ProgramFixture {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY(startProgram());
        // The helper's classes stand beside the program.
        fs::copy(fs::path(VELLARO_BUILD_DIR) / "stepper", m_folders->exe() / "stepper",
                 fs::copy_options::recursive);
    }
    void cleanupTestCase() { stopProgram(); }

    void stepsBackAndForthAndStopsAtAMark() {
        vtest::ClickTab(ui().PageControl1, 0);
        ui().SrcClassName->setText(QStringLiteral("Loop"));
        ui().SecEdit->setPlainText(QStringLiteral(
            "int sum = 0;\nfor (int i = 0; i < 3; i++) {\n\tsum += i;\n}\n?(\"合計 \" + sum);\n"));
        vtest::ClickTab(ui().PageControl1, 1);
        QCOMPARE(ui().NStep->text(), QStringLiteral("ステップ実行"));
        QCOMPARE(ui().StepButton->toolTip(), QStringLiteral("ステップ実行"));
        // Not compiled yet: the question of "実行", answered "はい", compiles first.
        dialogs().answerMessage(vellaro::MbYes);
        QVERIFY(vtest::Activated(&w()));
        QTest::keyClick(&w(), Qt::Key_F7);
        StepWindow* step = OpenStepWindow();
        QVERIFY(step);
        QVERIFY(vtest::Activated(step));
        QCOMPARE(dialogs().messages.size(), 1);
        QCOMPARE(step->windowTitle(), QStringLiteral("ステップ実行"));

        auto* table = step->findChild<QTableWidget*>(QStringLiteral("StepVariables"));
        auto* statements = step->findChild<StepStatements*>(QStringLiteral("StepStatements"));
        QCOMPARE(QAccessible::queryAccessibleInterface(table)->text(QAccessible::Name),
                 QStringLiteral("変数"));
        QStringList headers;
        for (int c = 0; c < 3; ++c)
            headers << table->horizontalHeaderItem(c)->text();
        QCOMPARE(headers, (QStringList{"名前", "型", "値"}));
        QVERIFY(statements->isReadOnly());
        auto highlighted = [&] {
            const auto sel = statements->extraSelections();
            return sel.isEmpty() ? 0 : sel.first().cursor.blockNumber() + 1;
        };
        auto* console = step->findChild<vellaro::PtyConsole*>();
        QTRY_VERIFY2_WITH_TIMEOUT(step->stopsSeen() == 1, qPrintable(console->screenText()),
                                  kWaitMs);
        QCOMPARE(highlighted(), 1);
        QCOMPARE(table->rowCount(), 0);

        // F8 four times: statements 2, 3, 2 (before i++), 3.
        for (int seen = 2; seen <= 5; ++seen) {
            QTest::keyClick(step, Qt::Key_F8);
            QTRY_COMPARE_WITH_TIMEOUT(step->stopsSeen(), seen, kWaitMs);
        }
        QCOMPARE(highlighted(), 3);
        QCOMPARE(Column(table, 0), (QStringList{"sum", "i"}));
        QCOMPARE(Column(table, 2), (QStringList{"0", "1"}));
        QVERIFY(table->item(1, 2)->font().bold());  // i changed in the last step
        QVERIFY(!table->item(0, 2)->font().bold()); // sum did not

        // A picture of the window mid-loop, for the record, when asked for.
        if (const QString shots = qEnvironmentVariable("VELLARO_SHOTS"); !shots.isEmpty())
            QVERIFY(step->grab().save(shots + QStringLiteral("/step-mid-loop.png")));

        // Back through what was recorded, and forth again: the program does not move.
        auto* previous = step->findChild<QPushButton*>(QStringLiteral("StepPrevious"));
        auto* later = step->findChild<QPushButton*>(QStringLiteral("StepLater"));
        QTest::mouseClick(previous, Qt::LeftButton);
        QCOMPARE(highlighted(), 2);
        QCOMPARE(Column(table, 2), (QStringList{"0", "0"}));
        QTest::mouseClick(later, Qt::LeftButton);
        QCOMPARE(highlighted(), 3);
        QVERIFY(!later->isEnabled());

        // A click in the margin beside statement 5 sets a mark; F5 runs on to it.
        QWidget* margin = step->findChild<QWidget*>(QStringLiteral("StepMargin"));
        const QRect line5 =
            statements->cursorRect(QTextCursor(statements->document()->findBlockByNumber(4)));
        QTest::mouseClick(margin, Qt::LeftButton, {}, QPoint(4, line5.center().y()));
        QCOMPARE(statements->marks(), (std::set<int>{5}));
        QTest::keyClick(step, Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(step->stopsSeen(), 6, kWaitMs);
        QCOMPARE(highlighted(), 5);
        QCOMPARE(Column(table, 2), (QStringList{"3"}));

        // Closing the window ends the program and the helper.
        const pid_t leader = console->pid();
        QVERIFY(leader > 0);
        step->close();
        QTRY_VERIFY_WITH_TIMEOUT(
            vellaro::RunProcesses(vellaro::ReadProcessTable(), leader, {}, ::getpid()).empty(),
            kWaitMs);
        QVERIFY(!OpenStepWindow());
    }
};

QTEST_MAIN(TestStepWindow)
#include "tst_stepwindow.moc"
