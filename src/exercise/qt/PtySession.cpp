#include "exercise/qt/PtySession.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QString>
#include <QTimer>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <random>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "exercise/ProcessTree.h"
#include "exercise/qt/Process.h"

extern char** environ;

namespace vellaro {

namespace {

// How often a child is looked at where the kernel gives no process descriptor to wait on.
constexpr int kChildPollMs = 200;
// How long a hung-up command that runs without the supervisor may take to end before it is
// killed. (The supervisor has a grace period of its own, and ends what the command started.)
constexpr int kHangUpGraceMs = 3000;
// How often the run's processes are looked for again while they are being killed, and the pause
// between two looks: a process may start another between the table's reading and its kill.
constexpr int kSweepRounds = 50;
constexpr useconds_t kSweepPauseUs = 2000;

// The mark that every process of a run inherits, "VELLARO_RUN=<token>", with a token of its own
// for each run, so that no other process carries it by chance.
std::string NewRunMark() {
    std::random_device device;
    std::string mark(kRunMarkName);
    mark += '=';
    static const char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 8; ++i) {
        const unsigned int bits = device();
        for (int shift = 0; shift < 32; shift += 8) {
            mark += kHex[(bits >> (shift + 4)) & 0xf];
            mark += kHex[(bits >> shift) & 0xf];
        }
    }
    return mark;
}

// The second line of defence, for when the supervisor is gone (killed by the learner's own
// program, say): kills whatever is left of the run, found by its session or by its mark, until
// nothing of it is left. Nothing else is touched: a process outside the session without the
// mark (what this program opened on the desktop) goes on.
void KillRunRemains(pid_t session, const std::string& mark) {
    for (int round = 0; round < kSweepRounds; ++round) {
        const std::vector<ProcessEntry> left =
            RunProcesses(ReadProcessTable(), session, mark, ::getpid());
        if (left.empty()) {
            return;
        }
        for (const ProcessEntry& p : left) {
            ::kill(p.pid, SIGKILL);
        }
        ::usleep(kSweepPauseUs);
    }
}

// A terminal as a fresh login gets it, with UTF-8 erasing and without the keys that would stop
// the learner's program together with the shell that waits for it (Ctrl+Z, Ctrl+\) or freeze
// the output (Ctrl+S).
termios ConsoleTermios() {
    termios t = {};
    t.c_iflag = ICRNL | IUTF8;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS8 | CREAD | HUPCL;
    t.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHOCTL | ECHOKE | IEXTEN;
    t.c_cc[VINTR] = 0x03;
    t.c_cc[VQUIT] = _POSIX_VDISABLE;
    t.c_cc[VERASE] = 0x7f;
    t.c_cc[VKILL] = 0x15;
    t.c_cc[VEOF] = 0x04;
    t.c_cc[VTIME] = 0;
    t.c_cc[VMIN] = 1;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    t.c_cc[VSUSP] = _POSIX_VDISABLE;
    t.c_cc[VREPRINT] = 0x12;
    t.c_cc[VWERASE] = 0x17;
    t.c_cc[VLNEXT] = 0x16;
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    return t;
}

winsize WindowSize(int columns, int rows) {
    winsize size = {};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    return size;
}

// Calls back whenever the child may have ended: when the kernel signals it through the process
// descriptor (nothing polls while the console stands idle), or, where the kernel offers none,
// every kChildPollMs. The watcher is a child of owner; deleting it stops the calls.
QObject* WatchChild(int pidfd, QObject* owner, const std::function<void()>& changed) {
    if (pidfd >= 0) {
        auto* notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, owner);
        QObject::connect(notifier, &QSocketNotifier::activated, owner, changed);
        return notifier;
    }
    auto* poll = new QTimer(owner);
    QObject::connect(poll, &QTimer::timeout, owner, changed);
    poll->start(kChildPollMs);
    return poll;
}

// Waits for a hung-up command after its session has gone: reaps it when it ends. A command that
// runs without the supervisor is killed if it will not end; the supervisor ends by itself once
// it has ended what it supervises.
class ChildReaper : public QObject {
  public:
    ChildReaper(pid_t pid, int pidfd, bool killAfterGrace, std::string mark)
        : QObject(QCoreApplication::instance()), m_pid(pid), m_session(pid), m_pidfd(pidfd),
          m_mark(std::move(mark)) {
        WatchChild(pidfd, this, [this] { check(); });
        if (killAfterGrace) {
            QTimer::singleShot(kHangUpGraceMs, this, [this] {
                if (m_pid > 0) {
                    ::kill(-m_pid, SIGKILL);
                    ::kill(m_pid, SIGKILL);
                }
            });
        }
        check();
    }
    ~ChildReaper() override {
        if (m_pidfd >= 0) {
            ::close(m_pidfd);
        }
    }

  private:
    void check() {
        int status = 0;
        if (m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) != 0) {
            m_pid = 0;
            KillRunRemains(m_session, m_mark);
            deleteLater();
        }
    }

    pid_t m_pid;
    const pid_t m_session; // the session the hung-up command led
    int m_pidfd;
    const std::string m_mark;
};

// The program's path: a word without '/' is looked for on the search path. Empty when none is
// found.
std::string ResolveProgram(const std::string& word) {
    if (word.find('/') != std::string::npos) {
        return word;
    }
    return QStandardPaths::findExecutable(QString::fromLocal8Bit(word.c_str()))
        .toLocal8Bit()
        .toStdString();
}

// Everything the child needs, made before the fork: after it, only async-signal-safe calls are
// allowed.
struct ChildLaunch {
    std::string executable;
    std::vector<std::string> words; // the arguments, argv[0] first
    std::vector<char*> argv;        // pointing into words
    std::string mark;               // the run's mark, VELLARO_RUN=<token>
    std::vector<char*> envp;        // the program's environment, TERM=dumb, the mark
    pid_t parent = 0;
    bool supervised = false;
};

std::vector<char*> ConsoleEnvironment(std::string& mark) {
    static const char kTerm[] = "TERM=dumb"; // no escape sequences in the prompt
    const std::string markPrefix = std::string(kRunMarkName) + "=";
    std::vector<char*> env;
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, "TERM=", 5) != 0 &&
            std::strncmp(*e, markPrefix.c_str(), markPrefix.size()) != 0) {
            env.push_back(*e);
        }
    }
    env.push_back(const_cast<char*>(kTerm));
    env.push_back(mark.data());
    env.push_back(nullptr);
    return env;
}

// The command runs under the supervisor, which ends whatever it starts when the session is hung
// up or this program ends; without one, the command runs by itself.
ChildLaunch PlanLaunch(const std::vector<std::string>& argv, const std::string& program) {
    ChildLaunch launch;
    const std::string supervisor = SupervisorProgram();
    launch.supervised = !supervisor.empty();
    launch.executable = launch.supervised ? supervisor : program;
    launch.words = launch.supervised ? std::vector<std::string>{supervisor, program}
                                     : std::vector<std::string>{argv.front()};
    launch.words.insert(launch.words.end(), argv.begin() + 1, argv.end());
    for (std::string& word : launch.words) {
        launch.argv.push_back(word.data());
    }
    launch.argv.push_back(nullptr);
    launch.mark = NewRunMark();
    launch.envp = ConsoleEnvironment(launch.mark);
    launch.parent = ::getpid();
    return launch;
}

// Forks the child onto a new pseudo-terminal, whose controlling terminal it becomes in a new
// session, and runs the command there. The child's process id, or -1.
pid_t ForkOnTerminal(const ChildLaunch& launch, const winsize& size, int& master) {
    termios tio = ConsoleTermios();
    winsize initial = size;
    const pid_t pid = ::forkpty(&master, nullptr, &tio, &initial);
    if (pid == 0) {
        PrepareChildBeforeExec();
        if (launch.supervised) {
            TieChildToParent(launch.parent);
        }
        ::execve(launch.executable.c_str(), launch.argv.data(), launch.envp.data());
        _exit(127);
    }
    return pid;
}

int StatusOf(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

} // namespace

PtySession::PtySession(QObject* parent) : QObject(parent) {}

PtySession::~PtySession() {
    m_ended = true; // no signal from a session being destroyed
    if (m_pid > 0) {
        hangUp();
    }
    closeMaster();
    if (m_pidfd >= 0) {
        ::close(m_pidfd);
    }
}

bool PtySession::start(const std::vector<std::string>& argv, int columns, int rows) {
    if (argv.empty() || m_pid > 0 || m_ended) {
        return false;
    }
    const std::string program = ResolveProgram(argv.front());
    if (program.empty()) {
        return false;
    }
    ChildLaunch launch = PlanLaunch(argv, program);
    int master = -1;
    const pid_t pid = ForkOnTerminal(launch, WindowSize(columns, rows), master);
    if (pid < 0) {
        return false;
    }
    m_supervised = launch.supervised;
    m_pid = pid;
    m_mark = launch.mark;
    watchOutput(master);
    m_pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    m_childWatch = WatchChild(m_pidfd, this, [this] { reap(); });
    return true;
}

void PtySession::watchOutput(int master) {
    m_master = master;
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_outputNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_outputNotifier, &QSocketNotifier::activated, this, &PtySession::readOutput);
}

void PtySession::sendInput(const QByteArray& bytes) {
    if (m_master < 0 || bytes.isEmpty()) {
        return;
    }
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_master, data, static_cast<std::size_t>(left));
        if (n > 0) {
            data += n;
            left -= n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break; // the terminal's input is full (or gone): like a terminal, drop the rest
        }
    }
}

bool PtySession::interrupt() {
    if (m_master < 0) {
        return false;
    }
    // While the command line's own shell waits for the Java program, the two share one process
    // group; a Ctrl+C through the terminal would end the shell too, and with it the prompt the
    // learner should get back. So the program (and what it started) is interrupted, the shell
    // is not. Otherwise the terminal delivers Ctrl+C as usual (to the interactive shell, or to
    // the job it runs in the foreground). The shell is the session's command, or the
    // supervisor's one child.
    const pid_t foreground = ::tcgetpgrp(m_master);
    if (m_pid > 0 && foreground > 0) {
        const std::vector<ProcessEntry> table = ReadProcessTable();
        const auto leader = FindProcess(table, foreground);
        if (leader && (leader->pid == m_pid || leader->ppid == m_pid)) {
            bool sent = false;
            for (const ProcessEntry& member : table) {
                if (member.pgrp == foreground && member.pid != foreground && member.state != 'Z') {
                    // A program that stopped itself takes the interrupt once it goes on.
                    if (::kill(member.pid, SIGINT) == 0) {
                        ::kill(member.pid, SIGCONT);
                        sent = true;
                    }
                }
            }
            if (sent) {
                return true;
            }
        }
    }
    sendInput(QByteArray(1, '\x03'));
    if (foreground > 0 && foreground != m_pid) {
        ::kill(-foreground, SIGCONT); // as above, for a stopped job in the foreground
    }
    return false;
}

void PtySession::hangUp() {
    if (m_pid > 0) {
        const pid_t foreground = m_master >= 0 ? ::tcgetpgrp(m_master) : -1;
        ::kill(-m_pid, SIGHUP);
        ::kill(-m_pid, SIGCONT);
        if (foreground > 0 && foreground != m_pid) {
            ::kill(-foreground, SIGHUP);
            ::kill(-foreground, SIGCONT);
        }
        // Closing the terminal hangs up whatever else still holds it.
        closeMaster();
        stopWatchingChild();
        new ChildReaper(m_pid, m_pidfd, !m_supervised, m_mark); // takes the process descriptor
        m_pidfd = -1;
        m_pid = 0;
    }
    end();
}

void PtySession::setWindowSize(int columns, int rows) {
    if (m_master >= 0) {
        const winsize size = WindowSize(columns, rows);
        ::ioctl(m_master, TIOCSWINSZ, &size);
    }
}

void PtySession::readOutput() {
    if (!drain(kReadChunk)) {
        // No writer is left on the terminal; the end of the command follows (or has come).
        if (m_outputNotifier) {
            m_outputNotifier->setEnabled(false);
        }
        if (m_pid > 0) {
            reap();
        }
    }
}

bool PtySession::drain(int maxBytes) {
    if (m_master < 0) {
        return false;
    }
    std::array<char, 65536> buffer;
    int total = 0;
    bool open = true;
    QByteArray bytes;
    while (total < maxBytes) {
        const ssize_t n = ::read(m_master, buffer.data(), buffer.size());
        if (n > 0) {
            bytes.append(buffer.data(), n);
            total += static_cast<int>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            open = n < 0 && errno == EAGAIN;
            break;
        }
    }
    if (!bytes.isEmpty()) {
        emit output(bytes);
    }
    return open;
}

void PtySession::reap() {
    if (m_pid <= 0) {
        return;
    }
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid) {
        return;
    }
    m_exitStatus = StatusOf(status);
    // The supervisor leaves nothing behind when it ends by itself; when it was killed, what it
    // supervised is ended here.
    KillRunRemains(m_pid, m_mark);
    m_pid = 0;
    stopWatchingChild();
    if (m_pidfd >= 0) {
        ::close(m_pidfd);
        m_pidfd = -1;
    }
    // The command has ended: pass on what it still wrote, then let go of the terminal.
    while (drain(1 << 20)) {
        pollfd ready = {m_master, POLLIN, 0};
        if (::poll(&ready, 1, 0) <= 0) {
            break;
        }
    }
    closeMaster();
    end();
}

void PtySession::stopWatchingChild() {
    delete m_childWatch;
    m_childWatch = nullptr;
}

void PtySession::end() {
    if (!m_ended) {
        m_ended = true;
        emit finished();
    }
}

void PtySession::closeMaster() {
    delete m_outputNotifier;
    m_outputNotifier = nullptr;
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

} // namespace vellaro
