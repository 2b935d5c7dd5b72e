#include "exercise/qt/Process.h"

#include <QEventLoop>
#include <QFont>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/prctl.h>
#include <unistd.h>

#include "common/qt/QtText.h"
#include "exercise/Compile.h"
#include "exercise/qt/PtyConsole.h"
#include "exercise/qt/RunExplain.h"

namespace vellaro {

namespace {

QtProcesses g_realProcesses;
ProcessSeam* g_processes = &g_realProcesses;
std::string g_supervisorOverride;

// The command that runHiddenAndWait waits for, and whether the supervisor runs it.
QProcess* g_hidden = nullptr;
bool g_hiddenSupervised = false;

// The background command, while it runs.
QProcess* g_background = nullptr;

// The supervisor gives what it ends two seconds before it kills it; a wait for it at the end of
// the program is bounded a little above that.
constexpr int kSupervisorEndMs = 5000;

} // namespace

void TieChildToParent(pid_t parent) noexcept {
    prctl(PR_SET_PDEATHSIG, SIGHUP);
    if (getppid() != parent) {
        _exit(127);
    }
}

std::string SupervisorProgram() {
    std::string path = g_supervisorOverride;
    if (path.empty()) {
        std::error_code ec;
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (ec) {
            return {};
        }
        path = (exe.parent_path() / kSupervisorName).string();
    }
    return ::access(path.c_str(), X_OK) == 0 ? path : std::string();
}

void SetSupervisorProgram(const std::string& path) {
    g_supervisorOverride = path;
}

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

int QtProcesses::runHiddenAndWait(const Command& command) {
    const std::vector<std::string>& words = command.argv;
    if (words.empty()) {
        return -1;
    }
    // Under the supervisor the whole command (the compiler and whatever it started) ends when it
    // is stopped and when this program ends, SIGKILL included. Without it, the command gets a
    // process group of its own, which a stop ends, and its shell at least ends with the program.
    const std::string supervisor = SupervisorProgram();
    const bool supervised = !supervisor.empty();
    // A command that cannot be started is not started, under the supervisor or not.
    const QString executable = FromUtf8(words.front());
    if (supervised && (executable.contains(QLatin1Char('/'))
                           ? ::access(words.front().c_str(), X_OK) != 0
                           : QStandardPaths::findExecutable(executable).isEmpty())) {
        return -1;
    }
    const QString program = supervised ? FromUtf8(supervisor) : executable;
    QStringList args;
    for (std::size_t i = supervised ? 0 : 1; i < words.size(); ++i) {
        args << FromUtf8(words[i]);
    }

    QProcess process;
    // No console, no input: the child reads end-of-file at once, and what it writes to the
    // standard channels that the command does not redirect goes nowhere.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const pid_t self = ::getpid();
    process.setChildProcessModifier([self, supervised] {
        PrepareChildBeforeExec();
        if (supervised) {
            TieChildToParent(self);
        } else {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != self) {
                _exit(127);
            }
        }
    });

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
    QProcess* const outer = g_hidden;
    const bool outerSupervised = g_hiddenSupervised;
    g_hidden = &process;
    g_hiddenSupervised = supervised;
    process.start(program, args, QIODevice::ReadOnly);
    if (!ended) {
        // Events go on being handled here (the window repaints) until the process's end is
        // signalled; nothing polls.
        loop.exec();
    }
    if (!ended) {
        // The event loop was left while the command still runs: the program is ending. The
        // command ends with it; the supervisor is given the time to end what it started.
        stopHidden();
        process.waitForFinished(kSupervisorEndMs);
    }
    g_hidden = outer;
    g_hiddenSupervised = outerSupervised;
    return status;
}

void QtProcesses::stopHidden() {
    if (!g_hidden || g_hidden->state() == QProcess::NotRunning) {
        return;
    }
    const pid_t pid = static_cast<pid_t>(g_hidden->processId());
    if (pid <= 0) {
        return;
    }
    if (g_hiddenSupervised) {
        ::kill(pid, SIGHUP);
    } else {
        ::kill(-pid, SIGKILL);
    }
}

bool QtProcesses::startBackground(const Command& command, std::function<void(int)> ended) {
    const std::vector<std::string>& words = command.argv;
    const std::string supervisor = SupervisorProgram();
    if (words.empty() || supervisor.empty() || g_background)
        return false;
    QStringList args{QStringLiteral("--idle")};
    for (const std::string& word : words)
        args << FromUtf8(word);
    auto* process = new QProcess;
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    const pid_t self = ::getpid();
    process->setChildProcessModifier([self] {
        PrepareChildBeforeExec();
        TieChildToParent(self);
    });
    QObject::connect(process, &QProcess::finished, process,
                     [process, ended](int exitCode, QProcess::ExitStatus exitStatus) {
                         if (g_background != process)
                             return;
                         g_background = nullptr;
                         process->deleteLater();
                         ended(exitStatus == QProcess::NormalExit ? exitCode : -1);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, ended](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart || g_background != process)
                             return;
                         g_background = nullptr;
                         process->deleteLater();
                         ended(-1);
                     });
    g_background = process;
    process->start(FromUtf8(supervisor), args, QIODevice::ReadOnly);
    return true;
}

void QtProcesses::stopBackground() {
    QProcess* const process = g_background;
    if (!process)
        return;
    g_background = nullptr;
    // Its end is not reported: it was asked for.
    process->disconnect();
    const pid_t pid = static_cast<pid_t>(process->processId());
    if (pid > 0 && process->state() != QProcess::NotRunning) {
        ::kill(pid, SIGHUP);
        process->waitForFinished(kSupervisorEndMs);
    }
    delete process;
}

int QtProcesses::runAndWait(const Command& command, const QFont& consoleFont) {
    if (command.argv.empty()) {
        return -1;
    }
    QPointer<PtyConsole> console = new PtyConsole;
    console->setAttribute(Qt::WA_DeleteOnClose, false);
    // Captioned with the class it runs; the whole command shows when the mouse rests on it.
    console->setWindowTitle(FromUtf8(ConsoleCaption(command)));
    console->setToolTip(FromUtf8(CommandText(command)));
    console->setFont(consoleFont);
    console->setRunEndHook(ExplainRunEnd);
    if (!console->start(command.argv)) {
        delete console.data();
        return -1;
    }
    if (!command.runClass.empty() &&
        QStandardPaths::findExecutable(FromUtf8(kLauncherProgram)).isEmpty()) {
        console->notice(FromUtf8(kLauncherMissingText));
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

int RunHiddenAndWait(const Command& command) {
    return Processes().runHiddenAndWait(command);
}

int RunAndWait(const Command& command, const QFont& consoleFont) {
    return Processes().runAndWait(command, consoleFont);
}

} // namespace vellaro
