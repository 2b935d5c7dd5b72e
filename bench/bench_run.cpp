// Compiling through the program against bare javac, and what the run console costs.
//
//   BM_CompileRatio   each iteration compiles the same Hello.java once with javac started
//                     directly (with the program's options) and once as the compile page does
//                     (shell, supervisor, capture file, the nested event loop), with the
//                     compiler's class-data archive made beforehand; counter `ratio` = program /
//                     bare (goal: <= 0.6).
//   BM_CompileFirst   the same, but each compile through the program is the first, which makes
//                     the archive (goal: `ratio` <= 1.5).
//   BM_CompileFirstBackground
//                     the same first compile, asked 5 s after the archive's making in the
//                     background began (as 0.5 s after the window is shown), decided as the
//                     compile page decides on two processors: a making still running is ended
//                     and the compile runs plain (goal: `ratio` <= 0.6); counter `in_time` =
//                     the share of compiles that found the archive made.
//   BM_ConsoleIdle    a console that ran a class and stands at its prompt for 10 s; counter
//                     `cpu_percent` = the program's CPU time over that wall time (goal: < 1).
//   BM_ConsoleFlood   50 MB of output through a console; counters: the longest the window's
//                     event loop went unanswered (`max_stall_ms`) and the lines kept.
//   BM_ConsoleEndless 20 MB of output in one line that never ends (the console keeps its end);
//                     counter `max_stall_ms` as above.
//
// Run from any folder: bench_run --benchmark_filter=... (no display needed).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Scratch.h"
#include "common/Cp932.h"
#include "common/delCommFunc.h"
#include "exercise/Compile.h"
#include "exercise/ExerciseFiles.h"
#include "exercise/JavaComp.h"
#include "exercise/qt/BackgroundArchive.h"
#include "exercise/qt/Process.h"
#include "exercise/qt/PtyConsole.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// One application and one scratch work folder (the current folder) holding a compiled Hello.
struct Bench {
    Bench() {
        if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
            setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "bench_run";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);

        fs::create_directories(root / "work");
        vellaro::FolderSource source;
        source.system = root / "system";
        source.exe = root / "exe";
        source.tempWish = root / "temp" / "vellaro";
        source.tempBase = root / "temp";
        source.cache = root / "cache";
        fs::create_directories(source.tempBase);
        vellaro::SetFolderSource(source);
        fs::current_path(root / "work");
        std::ofstream(root / "work" / "Hello.java", std::ios::binary) << vellaro::JavaFileBytes(
            vellaro::SjisLines(vellaro::MakeJavaSource("Hello", {"?(\"こんにちは、世界\");"})));
        vellaro::RunHiddenAndWait(vellaro::ShellScript("javac -encoding MS932 Hello.java"));
    }
    ~Bench() {
        std::error_code ec;
        fs::current_path("/", ec); // the scratch folder goes after this
    }
    QApplication* app = nullptr;
    vtest::ScratchFolder root{"vellaro-bench"};
};

Bench& Shared() {
    static Bench bench;
    return bench;
}

int SpawnAndWait(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Runs the event loop until `done` holds (looked at every 20 ms) or the time is up.
bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

double CpuSeconds() {
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

vellaro::CompileOutcome CompileThroughProgram(bool mayMakeArchive = true) {
    return vellaro::CompileSource(
        "Hello",
        [](const vellaro::Command& command, std::chrono::milliseconds) {
            return vellaro::CommandResult{vellaro::RunHiddenAndWait(command),
                                          vellaro::CommandEnd::ByItself};
        },
        mayMakeArchive);
}

// Alternates a bare javac and a compile through the program; `beforeEach` runs untimed before
// the program's compile.
void CompareCompiles(
    benchmark::State& state, const std::function<void()>& beforeEach,
    const std::function<vellaro::CompileOutcome()>& compile = [] {
        return CompileThroughProgram();
    }) {
    Shared();
    compile(); // the archive, unless beforeEach removes it again
    double bare = 0;
    double program = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        SpawnAndWait({"javac", "-J-Duser.language=ja", "-J-Dfile.encoding=MS932", "-encoding",
                      "MS932", "Hello.java"});
        auto t1 = std::chrono::steady_clock::now();
        state.PauseTiming();
        beforeEach();
        state.ResumeTiming();
        auto t2 = std::chrono::steady_clock::now();
        const auto outcome = compile();
        auto t3 = std::chrono::steady_clock::now();
        if (outcome.lines != vellaro::Cp932Lines{vellaro::Sjis(vellaro::kCompileCleanText)})
            state.SkipWithError("the compile through the program did not succeed");
        bare += Seconds(t1 - t0);
        program += Seconds(t3 - t2);
    }
    const double n = double(state.iterations());
    state.counters["bare_ms"] = bare / n * 1000;
    state.counters["program_ms"] = program / n * 1000;
    state.counters["ratio"] = program / bare;
}

void BM_CompileRatio(benchmark::State& state) {
    CompareCompiles(state, [] {});
}
BENCHMARK(BM_CompileRatio)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CompileFirst(benchmark::State& state) {
    CompareCompiles(state, [] { fs::remove_all(Shared().root / "cache"); });
}
BENCHMARK(BM_CompileFirst)->Iterations(7)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CompileFirstBackground(benchmark::State& state) {
    vellaro::BackgroundArchive archive;
    int inTime = -1; // the untimed compile before the first iteration finds none running
    CompareCompiles(
        state,
        [&archive] {
            fs::remove_all(Shared().root / "cache");
            archive.start();
            RunUntil([] { return false; }, 5000);
        },
        [&archive, &inTime] {
            if (!archive.running()) {
                ++inTime;
                return CompileThroughProgram();
            }
            archive.stop();
            return CompileThroughProgram(false);
        });
    state.counters["in_time"] = double(inTime) / double(state.iterations());
}
BENCHMARK(BM_CompileFirstBackground)->Iterations(7)->Unit(benchmark::kMillisecond)->UseRealTime();

bool AtPrompt(const vellaro::PtyConsole& console) {
    static const QRegularExpression prompt(QStringLiteral("\n[#$] $"));
    return prompt.match(console.screenText()).hasMatch();
}

void BM_ConsoleIdle(benchmark::State& state) {
    Shared();
    for (auto _ : state) {
        vellaro::PtyConsole console;
        if (!console.start(vellaro::RunClassCommand("Hello").argv)) {
            state.SkipWithError("the console did not start");
            break;
        }
        console.showConsole();
        if (!RunUntil([&] { return AtPrompt(console); }, 60000)) {
            state.SkipWithError("no prompt after the class ran");
            break;
        }
        const double cpu0 = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = CpuSeconds() - cpu0;
        state.counters["cpu_percent"] = cpu / (double(wall.elapsed()) / 1000) * 100;
        state.counters["cpu_ms"] = cpu * 1000;
    }
}
BENCHMARK(BM_ConsoleIdle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Feeds the console what `script` prints, up to a line `endMarker`, and reports how long the
// window's event loop went unanswered meanwhile. False (with the error set) when it failed.
bool FeedConsole(benchmark::State& state, vellaro::PtyConsole& console, const std::string& script,
                 const QString& endMarker) {
    if (!console.start(
            {"/bin/sh", "-c", script + "; echo " + endMarker.toStdString() + "; exec cat"})) {
        state.SkipWithError("the console did not start");
        return false;
    }
    console.showConsole();
    qint64 maxStall = 0;
    QElapsedTimer since;
    since.start();
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout,
                     [&] { maxStall = std::max(maxStall, since.restart()); });
    probe.start(10);
    const bool ended = RunUntil(
        [&] { return console.document()->lastBlock().previous().text() == endMarker; }, 600000);
    probe.stop();
    if (!ended) {
        state.SkipWithError("the output did not arrive");
        return false;
    }
    state.counters["max_stall_ms"] = double(maxStall);
    return true;
}

void BM_ConsoleFlood(benchmark::State& state) {
    Shared();
    for (auto _ : state) {
        vellaro::PtyConsole console;
        // 50 MB in lines of 76 characters.
        if (!FeedConsole(state, console, "head -c 37748736 /dev/zero | base64",
                         QStringLiteral("FLOOD-END")))
            break;
        state.counters["lines_kept"] = console.document()->blockCount();
        rusage usage = {};
        getrusage(RUSAGE_SELF, &usage);
        state.counters["peak_rss_mb"] = double(usage.ru_maxrss) / 1024;
        console.hangUp();
    }
}
BENCHMARK(BM_ConsoleFlood)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConsoleEndless(benchmark::State& state) {
    Shared();
    for (auto _ : state) {
        vellaro::PtyConsole console;
        // 20 MB in one line.
        if (!FeedConsole(state, console, "head -c 15000000 /dev/zero | base64 -w 0; echo",
                         QStringLiteral("ENDLESS-END")))
            break;
        console.hangUp();
    }
}
BENCHMARK(BM_ConsoleEndless)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
