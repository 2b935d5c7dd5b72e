// Stepping real programs with the real JDK: the helper's stops, the values as a beginner reads
// them, stop marks, input through the console, an exception, and that stopping leaves nothing.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <unistd.h>
#include <vector>

#include "common/Cp932.h"
#include "exercise/JavaComp.h"
#include "exercise/ProcessTree.h"
#include "exercise/qt/PtyConsole.h"
#include "exercise/qt/StepSession.h"

using vellaro::StepEvent;
using vellaro::StepEventKind;

namespace {

constexpr int kWaitMs = 30000;

// One stepping of the statements, in a folder of its own, with every event kept.
class Stepping {
  public:
    explicit Stepping(const std::vector<std::string>& statements) : session(&console) {
        QObject::connect(&session, &vellaro::StepSession::event,
                         [this](const StepEvent& e) { events.push_back(e); });
        const std::string source = vellaro::JoinLines(vellaro::MakeJavaSource("Hello", statements));
        QFile file(dir.filePath("Hello.java"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const std::string& sjis = vellaro::Sjis(source).bytes();
        file.write(sjis.data(), static_cast<qint64>(sjis.size()));
        file.close();
        QDir::setCurrent(dir.path());
        std::string failure;
        QVERIFY2(session.start("Hello", statements.size(), &failure), failure.c_str());
    }
    // Waits for the next event and answers it.
    const StepEvent& next() {
        const std::size_t seen = events.size();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(events.size() > seen, kWaitMs); }();
        static const StepEvent none; // an Error: what the caller expected did not come
        return events.size() > seen ? events.at(seen) : none;
    }
    // The statements stopped at, stepping all the way, with the value of `variable` at each.
    std::vector<std::pair<int, std::string>> stepThrough(const std::string& variable) {
        std::vector<std::pair<int, std::string>> out;
        for (const StepEvent* e = &next(); e->kind == StepEventKind::Stop; e = &next()) {
            std::string value = "-";
            for (const auto& v : e->variables)
                if (v.name == variable)
                    value = v.value;
            out.emplace_back(e->statement, value);
            session.next();
        }
        return out;
    }

    QTemporaryDir dir;
    vellaro::PtyConsole console;
    vellaro::StepSession session;
    std::vector<StepEvent> events;
};

std::string ValueOf(const StepEvent& e, const std::string& name) {
    for (const auto& v : e.variables)
        if (v.name == name)
            return v.type + " " + v.value;
    return "(not shown)";
}

} // namespace

class TestStepSession : public QObject {
    Q_OBJECT
  private slots:
    void loopVariableChangesStepByStep() {
        Stepping s({"int sum = 0;", "for (int i = 0; i < 2; i++) {", "\tsum += i;", "}"});
        const std::vector<std::pair<int, std::string>> expected = {{1, "-"}, {2, "-"}, {3, "0"},
                                                                   {2, "0"}, {3, "1"}, {2, "1"}};
        QCOMPARE(s.stepThrough("i"), expected);
        QCOMPARE(s.events.back().kind, StepEventKind::End);
        QCOMPARE(s.events.back().status, 0);
    }

    void valuesAsABeginnerReadsThem() {
        Stepping s({"int n;", "char c = 'あ';", "double d = 0.1 + 0.2;", "boolean b = 3 > 2;",
                    "String t = \"日本\";", "String z = null;", "int[] a = new int[150];",
                    "class P { int x = 1; String n = \"p\"; }", "P p = new P();", "n = 1;"});
        const StepEvent* e = &s.next();
        while (e->kind == StepEventKind::Stop && e->statement < 10) {
            s.session.next();
            e = &s.next();
        }
        QCOMPARE(e->statement, 10);
        QCOMPARE(ValueOf(*e, "n"), std::string("(not shown)")); // declared, not yet assigned
        QCOMPARE(ValueOf(*e, "c"), std::string("char あ"));
        QCOMPARE(ValueOf(*e, "d"), std::string("double 0.30000000000000004"));
        QCOMPARE(ValueOf(*e, "b"), std::string("boolean true"));
        QCOMPARE(ValueOf(*e, "t"), std::string("String \"日本\""));
        QCOMPARE(ValueOf(*e, "z"), std::string("String null（何も指していない）"));
        QCOMPARE(ValueOf(*e, "p"), std::string("P P{x=1, n=\"p\"}"));
        const std::string array = ValueOf(*e, "a");
        QVERIFY2(array.rfind("int[] [0]=0, [1]=0,", 0) == 0, array.c_str());
        QVERIFY2(array.find("[99]=0, …（全 150 個）") != std::string::npos, array.c_str());
        QVERIFY(array.find("[100]") == std::string::npos);
        QCOMPARE(ValueOf(*e, "args"), std::string("(not shown)"));
    }

    void runStopsAtTheNextMark() {
        Stepping s({"int k = 0;", "for (int i = 0; i < 5; i++) {", "\tk += 2;", "}", "k++;"});
        QCOMPARE(s.next().statement, 1);
        s.session.runTo({5});
        const StepEvent& at = s.next();
        QCOMPARE(at.statement, 5);
        QCOMPARE(ValueOf(at, "k"), std::string("int 10"));
        s.session.runTo({});
        QCOMPARE(s.next().kind, StepEventKind::End);
    }

    void scannerReadsWhatTheConsoleTakes() {
        Stepping s({"Scanner sc = new Scanner(System.in);", "String w = sc.next();",
                    "System.out.println(w + \"!\");"});
        QCOMPARE(s.next().statement, 1);
        s.session.next();
        QCOMPARE(s.next().statement, 2);
        s.session.next();
        s.console.sendInput(QByteArray("日本語\n"));
        const StepEvent& read = s.next();
        QCOMPARE(read.statement, 3);
        QCOMPARE(ValueOf(read, "w"), std::string("String \"日本語\""));
        s.session.next();
        QCOMPARE(s.next().kind, StepEventKind::End);
        QTRY_VERIFY_WITH_TIMEOUT(s.console.screenText().contains(QStringLiteral("日本語!")),
                                 kWaitMs);
    }

    void exceptionStopsAtItsStatement() {
        Stepping s({"int z = 0;", "int q = 5 / z;"});
        QCOMPARE(s.next().statement, 1);
        s.session.runTo({});
        const StepEvent& e = s.next();
        QCOMPARE(e.kind, StepEventKind::Exception);
        QCOMPARE(e.statement, 2);
        QCOMPARE(e.exceptionClass, std::string("java.lang.ArithmeticException"));
        QCOMPARE(e.exceptionMessage.value_or(""), std::string("/ by zero"));
        QCOMPARE(ValueOf(e, "z"), std::string("int 0"));
        s.session.next();
        const StepEvent& end = s.next();
        QCOMPARE(end.kind, StepEventKind::End);
        QCOMPARE(end.status, 1);
    }

    void noDebuggerIsSaid() {
        qputenv("JDK_JAVA_OPTIONS", "--limit-modules=java.base");
        Stepping s({"int a = 1;"});
        QCOMPARE(s.next().kind, StepEventKind::NoDebugger);
        qunsetenv("JDK_JAVA_OPTIONS");
    }

    // 中止 in an endless loop, and the console going away mid-step: nothing of the run is left.
    void stopLeavesNoProcess_data() {
        QTest::addColumn<bool>("byDestroying");
        QTest::newRow("中止") << false;
        QTest::newRow("closing") << true;
    }
    void stopLeavesNoProcess() {
        QFETCH(bool, byDestroying);
        auto* s = new Stepping({"long n = 0;", "while (true) { n++; }"});
        QCOMPARE(s->next().statement, 1);
        s->session.runTo({});
        const pid_t leader = s->console.pid();
        QTest::qWait(300);
        QVERIFY(
            !vellaro::RunProcesses(vellaro::ReadProcessTable(), leader, {}, ::getpid()).empty());
        if (byDestroying) {
            delete s;
            s = nullptr;
        } else {
            s->session.stop();
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            vellaro::RunProcesses(vellaro::ReadProcessTable(), leader, {}, ::getpid()).empty(),
            kWaitMs);
        delete s;
    }
};

QTEST_MAIN(TestStepSession)
#include "test_StepSession.moc"
