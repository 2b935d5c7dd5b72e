#include "exercise/qt/PtyConsole.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "common/qt/QtText.h"
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

// Said first in a console whose command runs without the supervisor.
const char* const kNoSupervisorNotice =
    "（注意）vellaro-supervisor が見つかりません。このコンソールを閉じても、ここで起動した"
    "プログラムが動き続けることがあります。Vellaro をインストールし直して下さい。\n";

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

int StatusOf(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
}

// Waits for a hung-up command after its console has gone: reaps it when it ends. A command that
// runs without the supervisor is killed if it will not end; the supervisor ends by itself once
// it has ended what it supervises.
class ChildReaper : public QObject {
  public:
    ChildReaper(pid_t pid, int pidfd, bool killAfterGrace)
        : QObject(QCoreApplication::instance()), m_pid(pid) {
        if (pidfd >= 0) {
            m_pidfd = pidfd;
            auto* notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, this);
            connect(notifier, &QSocketNotifier::activated, this, &ChildReaper::check);
        } else {
            auto* poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, &ChildReaper::check);
            poll->start(kChildPollMs);
        }
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
            deleteLater();
        }
    }

    pid_t m_pid;
    int m_pidfd = -1;
};

} // namespace

PtyConsole::PtyConsole(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName("PtyConsole");
    setWindowFlag(Qt::Window);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Typed text (an input method's included) goes to the terminal, not into the document.
    setAttribute(Qt::WA_InputMethodEnabled, true);
    setFocusPolicy(Qt::StrongFocus);
    setUndoRedoEnabled(false);
    setMaximumBlockCount(kMaxLines);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    m_renderTimer = new QTimer(this);
    m_renderTimer->setSingleShot(true);
    m_renderTimer->setInterval(kRenderDelayMs);
    connect(m_renderTimer, &QTimer::timeout, this, &PtyConsole::render);
}

PtyConsole::~PtyConsole() {
    m_ended = true; // no signal from a console being destroyed
    if (m_pid > 0) {
        hangUp();
    }
    closeMaster();
    if (m_pidfd >= 0) {
        ::close(m_pidfd);
    }
}

bool PtyConsole::start(const std::vector<std::string>& argv) {
    if (argv.empty() || m_pid > 0 || m_ended) {
        return false;
    }
    // Everything the child needs is made before the fork: after it, only async-signal-safe
    // calls are allowed.
    std::string program = argv.front();
    if (program.find('/') == std::string::npos) {
        program = QStandardPaths::findExecutable(QString::fromLocal8Bit(program.c_str()))
                      .toLocal8Bit()
                      .toStdString();
        if (program.empty()) {
            return false;
        }
    }
    // The command runs under the supervisor, which ends whatever it starts when the console
    // closes or this program ends. Without one the console still works, and says what is amiss.
    const std::string supervisor = SupervisorProgram();
    m_supervised = !supervisor.empty();
    std::vector<char*> args;
    if (m_supervised) {
        args.push_back(const_cast<char*>(supervisor.c_str()));
        args.push_back(program.data());
    } else {
        args.push_back(const_cast<char*>(argv.front().c_str()));
    }
    for (std::size_t i = 1; i < argv.size(); ++i) {
        args.push_back(const_cast<char*>(argv[i].c_str()));
    }
    args.push_back(nullptr);
    const std::string& executable = m_supervised ? supervisor : program;
    const pid_t self = ::getpid();
    const bool supervised = m_supervised;
    static const char kTerm[] = "TERM=dumb"; // no escape sequences in the prompt
    std::vector<char*> env;
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, "TERM=", 5) != 0) {
            env.push_back(*e);
        }
    }
    env.push_back(const_cast<char*>(kTerm));
    env.push_back(nullptr);

    termios tio = ConsoleTermios();
    winsize size = {};
    size.ws_col = kColumns;
    size.ws_row = kRows;
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, &tio, &size);
    if (pid < 0) {
        return false;
    }
    if (pid == 0) {
        // The child: a new session whose controlling terminal is the console.
        PrepareChildBeforeExec();
        if (supervised) {
            TieChildToParent(self);
        }
        ::execve(executable.c_str(), args.data(), env.data());
        _exit(127);
    }

    m_master = master;
    m_pid = pid;
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_outputNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_outputNotifier, &QSocketNotifier::activated, this, &PtyConsole::readOutput);

    // The end of the command is signalled by the kernel through a process descriptor; nothing
    // polls while the console stands idle.
    m_pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (m_pidfd >= 0) {
        m_childNotifier = new QSocketNotifier(m_pidfd, QSocketNotifier::Read, this);
        connect(m_childNotifier, &QSocketNotifier::activated, this, &PtyConsole::childChanged);
    } else {
        m_childPoll = new QTimer(this);
        connect(m_childPoll, &QTimer::timeout, this, &PtyConsole::childChanged);
        m_childPoll->start(kChildPollMs);
    }
    if (!m_supervised) {
        feedText(QString::fromUtf8(kNoSupervisorNotice));
    }
    return true;
}

void PtyConsole::showConsole() {
    const QFontMetrics fm(font());
    const int margins = 2 * (frameWidth() + static_cast<int>(document()->documentMargin()) + 2);
    resize(fm.horizontalAdvance(QLatin1Char('0')) * kColumns + margins +
               verticalScrollBar()->sizeHint().width(),
           fm.lineSpacing() * kRows + margins);
    // Centred on the program's biggest window on the desktop (the main window: the run window
    // that is active now sits off every screen), and kept on that screen.
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect();
    QRect best;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == this || !w->isVisible()) {
            continue;
        }
        const QRect frame = w->frameGeometry();
        QScreen* on = QGuiApplication::screenAt(frame.center());
        if (on && frame.width() * frame.height() > best.width() * best.height()) {
            best = frame;
            area = on->availableGeometry();
        }
    }
    if (area.isValid()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(best.isValid() ? best.center() : area.center());
        frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() - width())));
        frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() - height())));
        move(frame.topLeft());
    }
    // Modal to the application: the main window (and the invisible run window) take no input,
    // while the console, the newest modal window, does.
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
}

QString PtyConsole::screenText() const {
    return document()->toPlainText();
}

void PtyConsole::sendInput(const QByteArray& bytes) {
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

void PtyConsole::interrupt() {
    if (m_master < 0) {
        return;
    }
    // While the command line's own shell waits for the Java program, the two share one process
    // group; a Ctrl+C through the terminal would end the shell too, and with it the prompt the
    // learner should get back. So the program (and what it started) is interrupted, the shell
    // is not. Otherwise the terminal delivers Ctrl+C as usual (to the interactive shell, or to
    // the job it runs in the foreground). The shell is the console's command, or the
    // supervisor's one child.
    const pid_t foreground = ::tcgetpgrp(m_master);
    if (m_pid > 0 && foreground > 0) {
        const std::vector<ProcessEntry> table = ReadProcessTable();
        const auto leader = FindProcess(table, foreground);
        if (leader && (leader->pid == m_pid || leader->ppid == m_pid)) {
            bool sent = false;
            for (const ProcessEntry& member : table) {
                if (member.pgrp == foreground && member.pid != foreground && member.state != 'Z') {
                    sent = ::kill(member.pid, SIGINT) == 0 || sent;
                }
            }
            if (sent) {
                feedText(QStringLiteral("^C\n"));
                return;
            }
        }
    }
    sendInput(QByteArray(1, '\x03'));
}

void PtyConsole::hangUp() {
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
        delete m_childNotifier;
        m_childNotifier = nullptr;
        delete m_childPoll;
        m_childPoll = nullptr;
        new ChildReaper(m_pid, m_pidfd, !m_supervised); // takes the process descriptor
        m_pidfd = -1;
        m_pid = 0;
    }
    end();
}

void PtyConsole::readOutput() {
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

bool PtyConsole::drain(int maxBytes) {
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
    feed(bytes);
    return open;
}

void PtyConsole::childChanged() {
    reap();
}

void PtyConsole::reap() {
    if (m_pid <= 0) {
        return;
    }
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid) {
        return;
    }
    m_exitStatus = StatusOf(status);
    m_pid = 0;
    delete m_childNotifier;
    m_childNotifier = nullptr;
    delete m_childPoll;
    m_childPoll = nullptr;
    if (m_pidfd >= 0) {
        ::close(m_pidfd);
        m_pidfd = -1;
    }
    // The shell has ended: show what it still wrote, then let go of the terminal.
    while (drain(1 << 20)) {
        pollfd ready = {m_master, POLLIN, 0};
        if (::poll(&ready, 1, 0) <= 0) {
            break;
        }
    }
    closeMaster();
    end();
}

void PtyConsole::end() {
    if (m_ended) {
        return;
    }
    render();
    m_ended = true;
    emit finished();
}

void PtyConsole::closeMaster() {
    delete m_outputNotifier;
    m_outputNotifier = nullptr;
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PtyConsole::feed(const QByteArray& bytes) {
    if (!bytes.isEmpty()) {
        feedText(m_decoder.decode(bytes));
    }
}

void PtyConsole::commitLine() {
    m_pending << m_line;
    m_line.clear();
    m_column = 0;
    if (m_pending.size() > kMaxLines) {
        // More lines came than the console keeps: what is shown now goes as a whole.
        m_pending.removeFirst();
        m_pendingReplacesAll = true;
    }
}

void PtyConsole::put(const QChar* run, qsizetype length) {
    while (length > 0) {
        qsizetype take = 0;
        if (m_column < m_line.size()) {
            // Written over what the line holds (after a carriage return or a backspace).
            take = std::min(length, m_line.size() - m_column);
            m_line.replace(m_column, take, run, take);
        } else {
            take = std::min(length, kMaxLineLength - m_line.size());
            m_line.append(run, take);
        }
        m_column += take;
        run += take;
        length -= take;
        if (m_line.size() >= kMaxLineLength && m_column >= m_line.size()) {
            commitLine();
        }
    }
}

void PtyConsole::feedText(const QString& text) {
    const QChar* data = text.constData();
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        const char16_t c = data[i].unicode();
        if (m_escape != 0) {
            switch (m_escape) {
            case 1: // after ESC
                m_escape = c == u'[' ? 2 : c == u']' ? 3 : 0;
                break;
            case 2: // control sequence: up to its final character
                m_escape = c >= 0x40 && c <= 0x7e ? 0 : 2;
                break;
            case 3: // operating system command: up to BEL or ESC backslash
                m_escape = c == 0x07 ? 0 : c == 0x1b ? 4 : 3;
                break;
            default:
                m_escape = 0;
                break;
            }
            ++i;
            continue;
        }
        if (c >= 0x20 && c != 0x7f) {
            // A run of ordinary characters goes in at once.
            qsizetype end = i + 1;
            while (end < size) {
                const char16_t d = data[end].unicode();
                if (d < 0x20 || d == 0x7f) {
                    break;
                }
                ++end;
            }
            put(data + i, end - i);
            i = end;
            continue;
        }
        switch (c) {
        case 0x1b:
            m_escape = 1;
            break;
        case u'\n':
            commitLine();
            break;
        case u'\r':
            m_column = 0;
            break;
        case u'\b':
            if (m_column > 0) {
                --m_column;
            }
            break;
        case u'\t': {
            static const QString spaces(8, QLatin1Char(' '));
            put(spaces.constData(), 8 - m_column % 8);
            break;
        }
        default:
            break; // other control characters (the bell among them) show nothing
        }
        ++i;
    }
    // Output is shown a moment later in one piece: a program that pours out lines costs one
    // update of the window per moment, not one per read.
    if (!m_renderTimer->isActive()) {
        m_renderTimer->start();
    }
}

void PtyConsole::render() {
    m_renderTimer->stop();
    QScrollBar* bar = verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    // The document's last block is the terminal's current line: it is replaced by the lines
    // completed since, followed by the new current line.
    QString text;
    for (const QString& line : std::as_const(m_pending)) {
        text += line;
        text += QLatin1Char('\n');
    }
    text += m_line;
    text += m_preedit;
    if (m_pendingReplacesAll) {
        setPlainText(text);
    } else {
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(text);
    }
    m_pending.clear();
    m_pendingReplacesAll = false;
    if (!textCursor().hasSelection()) {
        moveCursor(QTextCursor::End);
    }
    if (atBottom) {
        bar->setValue(bar->maximum());
    }
}

void PtyConsole::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    const int key = event->key();
    const bool ctrl = mods.testFlag(Qt::ControlModifier) && !mods.testFlag(Qt::AltModifier);
    if (ctrl && mods.testFlag(Qt::ShiftModifier)) {
        if (key == Qt::Key_C) {
            copy();
        } else if (key == Qt::Key_V) {
            QString text = WithFullwidthTilde(QGuiApplication::clipboard()->text());
            text.replace(QLatin1String("\r\n"), QLatin1String("\r"));
            text.replace(QLatin1Char('\n'), QLatin1Char('\r'));
            sendInput(text.toUtf8());
        }
        return;
    }
    if (ctrl) {
        if (key == Qt::Key_C) {
            interrupt();
        } else if (key >= Qt::Key_A && key <= Qt::Key_Z) {
            sendInput(QByteArray(1, static_cast<char>(key - Qt::Key_A + 1)));
        }
        return;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        sendInput("\r");
        return;
    case Qt::Key_Backspace:
        sendInput("\x7f");
        return;
    case Qt::Key_Tab:
        sendInput("\t");
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        QPlainTextEdit::keyPressEvent(event); // scrolling back through the output
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.front() >= QLatin1Char(' ') && text.front() != QChar(0x7f)) {
        sendInput(WithFullwidthTilde(text).toUtf8());
    }
}

void PtyConsole::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty()) {
        // The wave dash an input method types for "から" is the full-width tilde here, as it is in
        // the editor, so that what the learner types matches the program's own text.
        sendInput(WithFullwidthTilde(event->commitString()).toUtf8());
    }
    if (event->preeditString() != m_preedit) {
        m_preedit = event->preeditString();
        render();
    }
    event->accept();
}

QVariant PtyConsole::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints:
        return static_cast<int>(Qt::ImhNoPredictiveText);
    default:
        return QPlainTextEdit::inputMethodQuery(query);
    }
}

void PtyConsole::closeEvent(QCloseEvent* event) {
    hangUp();
    event->accept();
}

void PtyConsole::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    updateWindowSize();
}

void PtyConsole::updateWindowSize() {
    if (m_master < 0) {
        return;
    }
    const QFontMetrics fm(font());
    const int cellWidth = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
    const int cellHeight = std::max(1, fm.lineSpacing());
    winsize size = {};
    size.ws_col = static_cast<unsigned short>(std::max(20, viewport()->width() / cellWidth));
    size.ws_row = static_cast<unsigned short>(std::max(5, viewport()->height() / cellHeight));
    ::ioctl(m_master, TIOCSWINSZ, &size);
}

} // namespace vellaro
