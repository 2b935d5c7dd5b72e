// vellaro-supervisor: runs one command (the run console's shell, or the compiler's shell) and
// makes sure that nothing the command starts outlives it.
//
//   vellaro-supervisor PROGRAM [ARGUMENT...]
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
#include <sys/prctl.h>
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

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: vellaro-supervisor PROGRAM [ARGUMENT...]\n", stderr);
        return 2;
    }
    prctl(PR_SET_CHILD_SUBREAPER, 1);

    // The signals are taken one at a time from the loop below, never by a handler.
    sigset_t watched;
    sigemptyset(&watched);
    for (int sig : {SIGCHLD, SIGHUP, SIGTERM, SIGINT, SIGQUIT})
        sigaddset(&watched, sig);
    sigset_t original;
    sigprocmask(SIG_BLOCK, &watched, &original);
    const bool terminal = isatty(STDIN_FILENO) == 1;

    const pid_t command = fork();
    if (command < 0) {
        std::perror("vellaro-supervisor: fork");
        return 126;
    }
    if (command == 0) {
        setpgid(0, 0);
        if (terminal) {
            signal(SIGTTOU, SIG_IGN);
            tcsetpgrp(STDIN_FILENO, getpid());
            signal(SIGTTOU, SIG_DFL);
        }
        sigprocmask(SIG_SETMASK, &original, nullptr);
        execvp(argv[1], argv + 1);
        const int error = errno;
        std::fprintf(stderr, "vellaro-supervisor: %s: %s\n", argv[1], std::strerror(error));
        _exit(error == ENOENT ? 127 : 126);
    }
    // Either side may run first; both put the command into its group and the foreground.
    setpgid(command, command);
    if (terminal) {
        signal(SIGTTOU, SIG_IGN);
        tcsetpgrp(STDIN_FILENO, command);
    }

    int status = 0;
    bool commandEnded = false;
    bool ending = false;
    long endingSince = 0;
    for (;;) {
        int childStatus = 0;
        pid_t ended = 0;
        while ((ended = waitpid(-1, &childStatus, WNOHANG)) > 0) {
            if (ended == command) {
                status = childStatus;
                commandEnded = true;
            }
        }
        if (commandEnded && !ending) {
            ending = true;
            endingSince = NowMs();
            SignalDescendants(SIGHUP);
            SignalDescendants(SIGCONT);
        }
        if (ending) {
            if (!AnyDescendant())
                break;
            if (NowMs() - endingSince >= kGraceMs) {
                const Left left = SignalDescendants(SIGKILL);
                // What no signal can reach (a program that changed its user) cannot be ended
                // from here; waiting for it would never end.
                if (left.alive > 0 && left.signalled == 0 && commandEnded)
                    break;
            }
        }

        siginfo_t info{};
        int sig = 0;
        if (ending) {
            const timespec poll{0, kPollMs * 1000000};
            sig = sigtimedwait(&watched, &info, &poll);
        } else {
            sig = sigwaitinfo(&watched, &info);
        }
        if ((sig == SIGHUP || sig == SIGTERM) && !ending) {
            ending = true;
            endingSince = NowMs();
            SignalDescendants(SIGHUP);
            SignalDescendants(SIGCONT);
        }
    }

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
