#include "exercise/qt/Process.h"

#include <QEventLoop>
#include <QPointer>
#include <QProcess>
#include <QStringList>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "exercise/Compile.h"
#include "exercise/qt/PtyConsole.h"

namespace vellaro {

namespace {

QtProcesses g_realProcesses;
ProcessSeam* g_processes = &g_realProcesses;
QFont g_consoleFont;
bool g_consoleFontSet = false;

} // namespace

void PrepareChildBeforeExec() noexcept {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction deflt = {};
    deflt.sa_handler = SIG_DFL;
    sigemptyset(&deflt.sa_mask);
    for (int sig :
         {SIGPIPE, SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGCHLD, SIGTSTP, SIGTTIN, SIGTTOU}) {
        sigaction(sig, &deflt, nullptr);
    }
    // Every descriptor above the standard three closes when the command starts, so the child
    // holds none of the program's files (the single-instance lock among them).
    if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < 4096; ++fd) {
            fcntl(fd, F_SETFD, FD_CLOEXEC);
        }
    }
}

int QtProcesses::runHiddenAndWait(const std::string& commandLine) {
    const std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) {
        return -1;
    }
    QStringList args;
    for (std::size_t i = 1; i < words.size(); ++i) {
        args << QString::fromStdString(words[i]);
    }

    QProcess process;
    // No console, no input: the child reads end-of-file at once, and what it writes to the
    // standard channels that the command line does not redirect goes nowhere.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setChildProcessModifier([] { PrepareChildBeforeExec(); });

    int status = -1;
    bool ended = false;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop,
                     [&](int exitCode, QProcess::ExitStatus exitStatus) {
                         status = exitStatus == QProcess::NormalExit ? exitCode : -1;
                         ended = true;
                         loop.quit();
                     });
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            ended = true;
            loop.quit();
        }
    });
    process.start(QString::fromStdString(words.front()), args, QIODevice::ReadOnly);
    if (!ended) {
        // Events go on being handled here (the window repaints) until the process's end is
        // signalled; nothing polls.
        loop.exec();
    }
    return status;
}

int QtProcesses::runAndWait(const std::string& commandLine) {
    const std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) {
        return -1;
    }
    QPointer<PtyConsole> console = new PtyConsole;
    console->setAttribute(Qt::WA_DeleteOnClose, false);
    console->setWindowTitle(QString::fromStdString(commandLine).trimmed());
    console->setFont(ConsoleFont());
    if (!console->start(words)) {
        delete console.data();
        return -1;
    }
    console->showConsole();
    QEventLoop loop;
    QObject::connect(console.data(), &PtyConsole::finished, &loop, &QEventLoop::quit);
    if (console->isRunning()) {
        loop.exec();
    }
    int status = -1;
    if (console) {
        status = console->exitStatus();
        delete console.data();
    }
    return status;
}

ProcessSeam& Processes() {
    return *g_processes;
}

void SetProcesses(ProcessSeam* seam) {
    g_processes = seam ? seam : &g_realProcesses;
}

int RunHiddenAndWait(const std::string& commandLine) {
    return Processes().runHiddenAndWait(commandLine);
}

int RunAndWait(const std::string& commandLine) {
    return Processes().runAndWait(commandLine);
}

void SetConsoleFont(const QFont& font) {
    g_consoleFont = font;
    g_consoleFontSet = true;
}

QFont ConsoleFont() {
    if (g_consoleFontSet) {
        return g_consoleFont;
    }
    QFont font("IPAGothic");
    font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace vellaro
