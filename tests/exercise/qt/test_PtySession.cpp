// The run console's pseudo-terminal session on its own, without a widget: the bytes it passes
// each way, the terminal it gives the command, and how it ends.
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

#include "exercise/ProcessTree.h"
#include "exercise/qt/PtySession.h"

using vellaro::PtySession;

namespace {

constexpr int kEndMs = 15000;

// Collects what a session writes.
struct Screen {
    explicit Screen(PtySession& session) {
        QObject::connect(&session, &PtySession::output,
                         [this](const QByteArray& bytes) { text += bytes; });
    }
    QByteArray text;
};

bool Alive(pid_t pid) {
    const auto entry = vellaro::ReadProcess(pid);
    return entry && entry->state != 'Z';
}

// Whether a process of that name runs below the session.
bool RunsBelow(pid_t root, const std::string& name) {
    const auto below = vellaro::Descendants(vellaro::ReadProcessTable(), root);
    return std::any_of(below.begin(), below.end(), [&](const auto& p) { return p.name == name; });
}

} // namespace

class TestPtySession : public QObject {
    Q_OBJECT
  private slots:
    void passesBytesBothWaysOnATerminalOfItsOwn();
    void interruptReachesTheProgramTheShellWaitsFor();
    void interruptWithNothingBelowTheShellGoesThroughTheTerminal();
    void interruptEndsAProgramThatStoppedItself();
    void hangingUpEndsAtOnceAndASessionRunsOnce();
};

void TestPtySession::passesBytesBothWaysOnATerminalOfItsOwn() {
    PtySession session;
    Screen screen(session);
    QSignalSpy finished(&session, &PtySession::finished);
    QVERIFY(session.start({"sh", "-c",
                           "echo \"term=$TERM $(stty size)\"; read a; "
                           "echo \"got:$a $(stty size)\"; exit 5"},
                          90, 30));
    QVERIFY(session.supervised());
    QVERIFY(session.isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(screen.text.contains("term=dumb 30 90\r\n"), kEndMs);
    session.setWindowSize(100, 40);
    session.sendInput("日本\r");
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kEndMs);
    QVERIFY2(screen.text.contains("got:日本 40 100\r\n"), screen.text.constData());
    QCOMPARE(session.exitStatus(), 5);
    QVERIFY(!session.isRunning());
    QCOMPARE(session.pid(), 0);
}

void TestPtySession::interruptReachesTheProgramTheShellWaitsFor() {
    PtySession session;
    Screen screen(session);
    QSignalSpy finished(&session, &PtySession::finished);
    QVERIFY(session.start({"/bin/sh", "-c", "sleep 1000; echo \"after=$?\""}, 80, 25));
    QTRY_VERIFY_WITH_TIMEOUT(RunsBelow(session.pid(), "sleep"), kEndMs);
    QVERIFY(session.interrupt()); // past the terminal: the shell goes on
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kEndMs);
    QVERIFY2(screen.text.contains("after=130"), screen.text.constData());
    QCOMPARE(session.exitStatus(), 0);
}

void TestPtySession::interruptWithNothingBelowTheShellGoesThroughTheTerminal() {
    PtySession session;
    Screen screen(session);
    QSignalSpy finished(&session, &PtySession::finished);
    QVERIFY(session.start({"/bin/sh", "-c", "trap 'echo caught; exit 9' INT; echo ready; read a"},
                          80, 25));
    QTRY_VERIFY_WITH_TIMEOUT(screen.text.contains("ready"), kEndMs);
    QVERIFY(!session.interrupt());
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kEndMs);
    QVERIFY2(screen.text.contains("^Ccaught"), screen.text.constData()); // the terminal's echo
    QCOMPARE(session.exitStatus(), 9);
}

void TestPtySession::interruptEndsAProgramThatStoppedItself() {
    PtySession session;
    Screen screen(session);
    QSignalSpy finished(&session, &PtySession::finished);
    QVERIFY(session.start(
        {"/bin/sh", "-c", "sh -c 'kill -STOP $$; echo resumed'; echo \"after=$?\""}, 80, 25));
    const auto stopped = [&] {
        const auto below = vellaro::Descendants(vellaro::ReadProcessTable(), session.pid());
        return std::any_of(below.begin(), below.end(),
                           [](const auto& p) { return p.state == 'T'; });
    };
    QTRY_VERIFY_WITH_TIMEOUT(stopped(), kEndMs);
    QVERIFY(session.interrupt());
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kEndMs);
    QVERIFY2(screen.text.contains("after=130"), screen.text.constData());
    QVERIFY(!screen.text.contains("resumed"));
}

void TestPtySession::hangingUpEndsAtOnceAndASessionRunsOnce() {
    PtySession session;
    QSignalSpy finished(&session, &PtySession::finished);
    QVERIFY(!session.start({}, 80, 25));
    QVERIFY(!session.start({"no-such-program-anywhere"}, 80, 25));
    QVERIFY(session.start({"/bin/sh", "-c", "exec sleep 1000"}, 80, 25));
    const pid_t leader = session.pid();
    session.hangUp();
    QCOMPARE(finished.size(), 1);
    QVERIFY(!session.isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!Alive(leader), kEndMs);
    QVERIFY(!session.start({"/bin/sh", "-c", "exit 0"}, 80, 25));
    session.hangUp();
    QCOMPARE(finished.size(), 1);
}

QTEST_GUILESS_MAIN(TestPtySession)
#include "test_PtySession.moc"
