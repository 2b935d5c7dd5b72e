// vellaro-supervisor: runs one command (the run console's shell, or the compiler's shell) and
// makes sure that nothing the command starts outlives it.
//
//   vellaro-supervisor [--idle] PROGRAM [ARGUMENT...]
//
// With --idle the command runs at idle CPU and I/O priority (work done in the background that
// must never slow the program or anything the learner starts); the supervisor itself keeps its
// own, so that ending the command is never delayed.
//
// It is a child subreaper, so whatever the command starts comes back to it when its parent ends,
// also after setsid or a double fork, and it reaps what ends. It ends everything that descends
// from it when
//  - the command ends (the learner typed `exit` at the console's prompt),
//  - it is hung up or told to end (SIGHUP, SIGTERM: the console was closed, a compile stopped),
//  - Vellaro ends in any way (Vellaro gives it SIGHUP as its parent-death signal before exec).
// Ending is SIGHUP and SIGCONT to every descendant; after a grace period SIGKILL to each one
// still left, again and again until none is left. It then leaves with the command's exit status,
// or dies of the command's signal, so that to Vellaro it stands for the command.
//
// On a terminal the command gets a process group of its own in the foreground, so that Ctrl+C
// reaches the command and its jobs but never this program.
//
// A program of its own, without Qt: Vellaro starts it right after fork(), where a multithreaded
// program may call nothing but async-signal-safe functions.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "exercise/ProcessTree.h"

namespace {

// How long a hung-up process may take to end before it is killed.
constexpr long kGraceMs = 2000;
// How often the table is looked at while processes are being ended.
constexpr long kPollMs = 20;

long NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

struct Left {
    int alive = 0;     // descendants that have not ended
    int signalled = 0; // of them, the ones a signal reached
};

// Sends the signal to every descendant that has not ended yet.
Left SignalDescendants(int sig) {
    Left left;
    for (const vellaro::ProcessEntry& p :
         vellaro::Descendants(vellaro::ReadProcessTable(), getpid())) {
        if (p.state == 'Z')
            continue;
        ++left.alive;
        if (sig == 0 || kill(p.pid, sig) == 0)
            ++left.signalled;
    }
    return left;
}

bool AnyDescendant() {
    return !vellaro::Descendants(vellaro::ReadProcessTable(), getpid()).empty();
}

// Puts the command's process group in the terminal's foreground. The command and this program
// both do it, as either may run first. SIGTTOU is ignored for it: a process outside the
// foreground that hands the terminal over would otherwise be stopped.
void TakeForeground(pid_t group) {
    signal(SIGTTOU, SIG_IGN);
    tcsetpgrp(STDIN_FILENO, group);
}

// Idle CPU and I/O priority for the calling process: it gets the processor and the disc only
// when nothing else wants them. Each step is best effort; a system that refuses one still runs
// the command.
void BecomeIdle() {
    sched_param none{};
    sched_setscheduler(0, SCHED_IDLE, &none);
    setpriority(PRIO_PROCESS, 0, 19);
    // ioprio_set has no wrapper in the C library: who = the process itself, class idle.
    constexpr int kIoprioWhoProcess = 1;
    constexpr int kIoprioClassIdle = 3;
    constexpr int kIoprioClassShift = 13;
    syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, kIoprioClassIdle << kIoprioClassShift);
}

// Starts the command in a process group of its own (in the terminal's foreground on a terminal),
// with the signal mask this program was started with. Its process id, or -1.
pid_t StartCommand(char** argv, bool terminal, bool idle, const sigset_t& original) {
    const pid_t command = fork();
    if (command != 0) {
        return command;
    }
    setpgid(0, 0);
    if (idle)
        BecomeIdle();
    if (terminal) {
        TakeForeground(getpid());
        signal(SIGTTOU, SIG_DFL);
    }
    sigprocmask(SIG_SETMASK, &original, nullptr);
    execvp(argv[0], argv);
    const int error = errno;
    std::fprintf(stderr, "vellaro-supervisor: %s: %s\n", argv[0], std::strerror(error));
    _exit(error == ENOENT ? 127 : 126);
}

// Watches the command and whatever it starts, and ends them all when their time has come.
class Supervision {
  public:
    explicit Supervision(pid_t command) : m_command(command) {}

    // Runs until the command has ended and no descendant is left (or none left can be reached);
    // the command's wait status.
    int run(const sigset_t& watched) {
        for (;;) {
            reapEnded();
            if (m_commandEnded)
                beginEnding();
            if (m_ending && doneEnding())
                return m_status;
            siginfo_t info{};
            int sig = 0;
            if (m_ending) {
                const timespec poll{0, kPollMs * 1000000};
                sig = sigtimedwait(&watched, &info, &poll);
            } else {
                sig = sigwaitinfo(&watched, &info);
            }
            if (sig == SIGHUP || sig == SIGTERM)
                beginEnding();
        }
    }

  private:
    // Reaps whatever has ended: the command, and orphans that came to this subreaper.
    void reapEnded() {
        int childStatus = 0;
        pid_t ended = 0;
        while ((ended = waitpid(-1, &childStatus, WNOHANG)) > 0) {
            if (ended == m_command) {
                m_status = childStatus;
                m_commandEnded = true;
            }
        }
        // Every descendant is a child or below one, orphans included (they come to this
        // subreaper): with no child left, none is left at all, and the process table need not
        // be read.
        m_childrenLeft = !(ended < 0 && errno == ECHILD);
    }

    void beginEnding() {
        if (m_ending)
            return;
        m_ending = true;
        m_endingSince = NowMs();
        if (!m_childrenLeft)
            return;
        SignalDescendants(SIGHUP);
        SignalDescendants(SIGCONT);
    }

    // True when nothing is left to wait for; after the grace period, kills what is left.
    bool doneEnding() const {
        if (!m_childrenLeft || !AnyDescendant())
            return true;
        if (NowMs() - m_endingSince < kGraceMs)
            return false;
        const Left left = SignalDescendants(SIGKILL);
        // What no signal can reach (a program that changed its user) cannot be ended from here;
        // waiting for it would never end.
        return left.alive > 0 && left.signalled == 0 && m_commandEnded;
    }

    const pid_t m_command;
    int m_status = 0;
    bool m_commandEnded = false;
    bool m_childrenLeft = true;
    bool m_ending = false;
    long m_endingSince = 0;
};

// Leaves as the command left: with its exit status, or by its signal.
int ExitAs(int status) {
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        signal(sig, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, sig);
        sigprocmask(SIG_UNBLOCK, &only, nullptr);
        prctl(PR_SET_DUMPABLE, 0); // no core file of this program for the command's crash
        raise(sig);
        return 128 + sig;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main(int argc, char** argv) {
    const bool idle = argc > 1 && std::strcmp(argv[1], "--idle") == 0;
    if (idle) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fputs("usage: vellaro-supervisor [--idle] PROGRAM [ARGUMENT...]\n", stderr);
        return 2;
    }
    prctl(PR_SET_CHILD_SUBREAPER, 1);

    // The signals are taken one at a time from the supervision loop, never by a handler.
    sigset_t watched;
    sigemptyset(&watched);
    for (int sig : {SIGCHLD, SIGHUP, SIGTERM, SIGINT, SIGQUIT})
        sigaddset(&watched, sig);
    sigset_t original;
    sigprocmask(SIG_BLOCK, &watched, &original);
    const bool terminal = isatty(STDIN_FILENO) == 1;

    const pid_t command = StartCommand(argv + 1, terminal, idle, original);
    if (command < 0) {
        std::perror("vellaro-supervisor: fork");
        return 126;
    }
    setpgid(command, command);
    if (terminal)
        TakeForeground(command);
    return ExitAs(Supervision(command).run(watched));
}
