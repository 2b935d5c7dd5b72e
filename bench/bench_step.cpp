// Stepping with the real JDK: from the start to the first statement highlighted (the helper's
// start, its compile with variable tables, the program's start under the debugger), and one
// "次の文へ" to the variables of the next stop (the goal: well under 100 ms, so that a learner
// holding F8 sees every statement).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "Scratch.h"
#include "common/Cp932.h"
#include "exercise/ExerciseFiles.h"
#include "exercise/JavaComp.h"
#include "exercise/qt/PtyConsole.h"
#include "exercise/qt/StepSession.h"

namespace fs = std::filesystem;

namespace {

struct Bench {
    Bench() {
        if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
            setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "bench_step";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
        fs::current_path(root.path());
        std::ofstream(root.path() / "Loop.java", std::ios::binary)
            << vellaro::JavaFileBytes(vellaro::SjisLines(vellaro::MakeJavaSource(
                   "Loop", {"int[] a = new int[10];", "String s = \"\";",
                            "for (int i = 0; i < 1000000; i++) {", "\ta[i % 10] += i;",
                            "\ts = \"i=\" + i;", "}"})));
    }
    ~Bench() {
        std::error_code ec;
        fs::current_path("/", ec);
    }
    QApplication* app = nullptr;
    vtest::ScratchFolder root{"vellaro-bench-step"};
};

Bench& Shared() {
    static Bench bench;
    return bench;
}

// A stepping of Loop, with the number of stops seen.
struct Stepping {
    Stepping() : session(&console) {
        QObject::connect(&session, &vellaro::StepSession::event, [this](const auto& e) {
            if (e.kind == vellaro::StepEventKind::Stop)
                ++stops;
        });
        std::string failure;
        if (!session.start("Loop", 6, &failure))
            std::abort();
    }
    void waitFor(int count) {
        while (stops < count)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    vellaro::PtyConsole console;
    vellaro::StepSession session;
    int stops = 0;
};

void BM_StepToFirstStatement(benchmark::State& state) {
    Shared();
    for (auto _ : state) {
        auto s = std::make_unique<Stepping>();
        s->waitFor(1);
        state.PauseTiming();
        s.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StepToFirstStatement)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_StepNext(benchmark::State& state) {
    Shared();
    Stepping s;
    s.waitFor(1);
    for (auto _ : state) {
        const int seen = s.stops;
        s.session.next();
        s.waitFor(seen + 1);
    }
}
BENCHMARK(BM_StepNext)->Iterations(300)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
