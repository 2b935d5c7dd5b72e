// Nothing a run or a compile starts outlives it: what a console's programs start ends when the
// console closes, when its shell ends, and when the program that owns the console is killed; a
// compile's whole command ends with its owner too. Checked in the real process table.
#include <QApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

#include "exercise/ProcessTree.h"
#include "exercise/qt/Process.h"
#include "exercise/qt/PtyConsole.h"

namespace fs = std::filesystem;
using vellaro::PtyConsole;

namespace {

// Ending processes takes the supervisor's grace period (two seconds) and a little more.
constexpr int kEndMs = 15000;

bool Alive(pid_t pid) {
    const auto entry = vellaro::ReadProcess(pid);
    return entry && entry->state != 'Z';
}

// Small programs of the kind a learner's program starts, each writing its process id to
// <name>.pid: one that sleeps, one deaf to the hang-up, and one that leaves a deaf one behind
// and ends (started with setsid, that is a double fork out of the session).
class Programs {
  public:
    Programs() {
        write("sleeper.sh", "echo $$ > \"" + dir() + "/$1.pid\"\nexec sleep 1000\n");
        write("deaf.sh",
              "trap '' HUP\necho $$ > \"" + dir() + "/$1.pid\"\nwhile :; do sleep 1; done\n");
        write("leaver.sh", "sh \"" + dir() + "/deaf.sh\" \"$1\" &\n");
    }
    std::string dir() const { return m_dir.path().toStdString(); }
    std::string run(const std::string& script, const std::string& name) const {
        return "sh " + dir() + "/" + script + " " + name;
    }
    bool started(const std::vector<std::string>& names) {
        std::vector<pid_t> pids;
        for (const std::string& name : names) {
            std::ifstream in(dir() + "/" + name + ".pid");
            pid_t pid = 0;
            if (!(in >> pid))
                return false;
            pids.push_back(pid);
        }
        m_pids = pids;
        return true;
    }
    // The processes that have not ended, of those that reported.
    std::vector<pid_t> left() const {
        std::vector<pid_t> alive;
        for (pid_t pid : m_pids)
            if (Alive(pid))
                alive.push_back(pid);
        return alive;
    }

  private:
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(dir() + "/" + name) << text;
    }
    QTemporaryDir m_dir;
    std::vector<pid_t> m_pids;
};

QString Ids(const std::vector<pid_t>& pids) {
    QStringList out;
    for (pid_t pid : pids)
        out << QString::number(pid);
    return out.join(' ');
}

// The program that owns a console and a compile, for the test that kills it:
//   test_Supervision --own <console script> <compile script>
int OwnConsoleAndCompile(const char* script, const char* compile) {
    PtyConsole console;
    if (!console.start(vellaro::ShellScript(script).argv))
        return 2;
    console.show();
    vellaro::RunHiddenAndWait(vellaro::ShellScript(compile)); // waits until this program is killed
    return 3;
}

// The program that owns a background command, for the test that kills it:
//   test_Supervision --own-background <script>
int OwnBackground(const char* script) {
    vellaro::QtProcesses processes;
    if (!processes.startBackground(vellaro::ShellScript(script),
                                   [](int) { QCoreApplication::exit(4); }))
        return 2;
    return QCoreApplication::exec();
}

} // namespace

class TestSupervision : public QObject {
    Q_OBJECT
  private slots:
    void closingTheConsoleEndsEverythingItStarted();
    void theShellsEndEndsItsJobs();
    void killingTheOwnerEndsTheConsolesAndTheCompilesProcesses();
    void killingTheSupervisorFromBelowLeavesNothingOfTheRun();
    void withoutTheSupervisorTheConsoleSaysSoAndStillRuns();
    void aBackgroundCommandRunsIdleAndEndsWhenStoppedOrWithItsOwner();
};

void TestSupervision::closingTheConsoleEndsEverythingItStarted() {
    Programs programs;
    PtyConsole console;
    QVERIFY(console.start({"/bin/sh", "-c", "exec /bin/sh -i"}));
    console.show();
    // At the prompt: a job out of reach of the hang-up, one that left the session by a double
    // fork, and in the foreground a program deaf to the hang-up.
    console.sendInput(QByteArray::fromStdString(
        "nohup " + programs.run("sleeper.sh", "nohup") + " > /dev/null 2>&1 &\r" + "setsid " +
        programs.run("leaver.sh", "setsid") + " &\r" + programs.run("deaf.sh", "deaf") + "\r"));
    QTRY_VERIFY_WITH_TIMEOUT(programs.started({"nohup", "setsid", "deaf"}), kEndMs);
    const pid_t session = console.pid();

    QSignalSpy finished(&console, &PtyConsole::finished);
    console.close(); // the close box
    QCOMPARE(finished.size(), 1);
    QTRY_VERIFY2_WITH_TIMEOUT(programs.left().empty(), qPrintable(Ids(programs.left())), kEndMs);
    QTRY_VERIFY_WITH_TIMEOUT(!Alive(session), kEndMs);
    // The program itself never takes over orphans: what it opens on the desktop stays its own.
    int subreaper = -1;
    QCOMPARE(::prctl(PR_GET_CHILD_SUBREAPER, &subreaper), 0);
    QCOMPARE(subreaper, 0);
}

void TestSupervision::theShellsEndEndsItsJobs() {
    Programs programs;
    PtyConsole console;
    QVERIFY(console.start({"/bin/sh", "-c", "exec /bin/sh -i"}));
    console.show();
    QSignalSpy finished(&console, &PtyConsole::finished);
    console.sendInput(QByteArray::fromStdString(
        programs.run("sleeper.sh", "job") + " &\r" + programs.run("deaf.sh", "deaf") + " &\r" +
        "setsid " + programs.run("leaver.sh", "setsid") + " &\r"));
    QTRY_VERIFY_WITH_TIMEOUT(programs.started({"job", "deaf", "setsid"}), kEndMs);
    console.sendInput("exit\r");
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kEndMs);
    QCOMPARE(console.exitStatus(), 0);
    QVERIFY2(programs.left().empty(), qPrintable(Ids(programs.left())));
}

void TestSupervision::killingTheOwnerEndsTheConsolesAndTheCompilesProcesses() {
    Programs programs;
    const std::string script = programs.run("sleeper.sh", "c1") + " & setsid " +
                               programs.run("leaver.sh", "c2") + " & " +
                               programs.run("deaf.sh", "c3");
    const std::string compile =
        programs.run("deaf.sh", "h1") + " & " + programs.run("sleeper.sh", "h2");
    QProcess owner;
    owner.start(QCoreApplication::applicationFilePath(),
                {"--own", QString::fromStdString(script), QString::fromStdString(compile)});
    QVERIFY(owner.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(programs.started({"c1", "c2", "c3", "h1", "h2"}), kEndMs);
    QCOMPARE(owner.state(), QProcess::Running);
    ::kill(static_cast<pid_t>(owner.processId()), SIGKILL);
    QVERIFY(owner.waitForFinished());
    QTRY_VERIFY2_WITH_TIMEOUT(programs.left().empty(), qPrintable(Ids(programs.left())), kEndMs);
}

void TestSupervision::killingTheSupervisorFromBelowLeavesNothingOfTheRun() {
    Programs programs;
    // Started outside the run, deaf to the hang-up: it must not be touched.
    QProcess bystander;
    bystander.start("/bin/sh", {QString::fromStdString(programs.dir() + "/deaf.sh"), "outside"});
    QVERIFY(bystander.waitForStarted());
    const auto endBystander = qScopeGuard([&] {
        bystander.kill();
        bystander.waitForFinished();
    });
    // The command (deaf to the hang-up) starts a deaf child, one that leaves the session, and one
    // that clears its environment, then kills the supervisor above it.
    const std::string d = programs.dir();
    const std::string script =
        "trap '' HUP; echo $$ > " + d + "/main.pid; " + programs.run("deaf.sh", "child") +
        " & setsid " + programs.run("deaf.sh", "setsid") + " & env -i " +
        programs.run("deaf.sh", "noenv") + " & while [ ! -s " + d + "/child.pid ] || [ ! -s " + d +
        "/setsid.pid ] || [ ! -s " + d + "/noenv.pid ]; do sleep 0.05; done; " +
        "kill -KILL $PPID; while :; do sleep 1; done";
    PtyConsole console;
    QSignalSpy finished(&console, &PtyConsole::finished);
    QVERIFY(console.start({"/bin/sh", "-c", script}));
    QVERIFY(console.isRunning());
    QTRY_VERIFY_WITH_TIMEOUT(programs.started({"outside", "main", "child", "setsid", "noenv"}),
                             kEndMs);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kEndMs);
    QCOMPARE(console.exitStatus(), -1); // the supervisor died of its signal
    QTRY_VERIFY2_WITH_TIMEOUT(programs.left().size() == 1, qPrintable(Ids(programs.left())),
                              kEndMs);
    QCOMPARE(programs.left().front(), static_cast<pid_t>(bystander.processId()));
}

void TestSupervision::withoutTheSupervisorTheConsoleSaysSoAndStillRuns() {
    QVERIFY(!vellaro::SupervisorProgram().empty()); // it stands beside this program
    vellaro::SetSupervisorProgram("/nonexistent/vellaro-supervisor");
    struct Restore {
        ~Restore() { vellaro::SetSupervisorProgram({}); }
    } restore;
    QVERIFY(vellaro::SupervisorProgram().empty());
    PtyConsole console;
    QSignalSpy finished(&console, &PtyConsole::finished);
    QVERIFY(console.start({"/bin/sh", "-c", "echo hello; exit 4"}));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kEndMs);
    QCOMPARE(console.exitStatus(), 4);
    const QString screen = console.screenText();
    QVERIFY2(screen.startsWith(QStringLiteral("（注意）vellaro-supervisor が見つかりません。")),
             qPrintable(screen));
    QVERIFY(screen.contains(QStringLiteral("\nhello\n")));
    // Compiles run all the same.
    QCOMPARE(vellaro::RunHiddenAndWait(vellaro::ShellScript("exit 3")), 3);
    QCOMPARE(vellaro::RunHiddenAndWait({{"/nonexistent/program"}, {}}), -1);
}

void TestSupervision::aBackgroundCommandRunsIdleAndEndsWhenStoppedOrWithItsOwner() {
    Programs programs;
    vellaro::QtProcesses processes;
    // Its CPU priority (nice, scheduling policy) and I/O class, then a program deaf to the
    // hang-up.
    const std::string prio = programs.dir() + "/prio";
    const vellaro::Command command =
        vellaro::ShellScript("cut -d' ' -f19,41 /proc/self/stat > " + prio + "; ionice >> " + prio +
                             "; " + programs.run("deaf.sh", "b1"));
    int ended = -2;
    QVERIFY(processes.startBackground(command, [&](int status) { ended = status; }));
    QVERIFY(!processes.startBackground(command, [](int) {})); // one at a time
    QTRY_VERIFY_WITH_TIMEOUT(programs.started({"b1"}), kEndMs);
    std::ifstream in(prio);
    std::string nice, policy, ioClass;
    in >> nice >> policy >> ioClass;
    QCOMPARE(nice, std::string("19"));
    QCOMPARE(policy, std::string("5")); // SCHED_IDLE
    QCOMPARE(ioClass, std::string("idle"));
    processes.stopBackground();
    QVERIFY2(programs.left().empty(), qPrintable(Ids(programs.left())));
    QCoreApplication::processEvents();
    QCOMPARE(ended, -2); // a stop is not an end of its own

    QVERIFY(processes.startBackground(vellaro::ShellScript("exit 3"),
                                      [&](int status) { ended = status; }));
    QTRY_COMPARE_WITH_TIMEOUT(ended, 3, kEndMs);

    QProcess owner;
    owner.start(QCoreApplication::applicationFilePath(),
                {"--own-background", QString::fromStdString(programs.run("deaf.sh", "b2"))});
    QVERIFY(owner.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(programs.started({"b2"}), kEndMs);
    ::kill(static_cast<pid_t>(owner.processId()), SIGKILL);
    QVERIFY(owner.waitForFinished());
    QTRY_VERIFY2_WITH_TIMEOUT(programs.left().empty(), qPrintable(Ids(programs.left())), kEndMs);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--own-background")
        return OwnBackground(argv[2]);
    if (argc == 4 && std::string(argv[1]) == "--own")
        return OwnConsoleAndCompile(argv[2], argv[3]);
    TestSupervision test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_Supervision.moc"
