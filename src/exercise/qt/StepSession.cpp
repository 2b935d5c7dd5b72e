#include "exercise/qt/StepSession.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "common/delCommFunc.h"
#include "exercise/qt/PtyConsole.h"

namespace vellaro {

StepSession::StepSession(PtyConsole* console, QObject* parent)
    : QObject(parent), m_console(console) {
    connect(m_console, &PtyConsole::finished, this, [this] {
        // What the helper said last may still wait in the socket.
        if (m_fd >= 0)
            readLines();
        m_atStop = false;
        emit finished();
    });
}

StepSession::~StepSession() {
    stop();
    closeChannel();
}

void StepSession::closeChannel() {
    delete m_listenNotifier;
    m_listenNotifier = nullptr;
    delete m_notifier;
    m_notifier = nullptr;
    for (int* fd : {&m_listenFd, &m_fd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

std::filesystem::path StepSession::HelperFolder() {
    return ExePath() / std::string(kStepperFolderName);
}

bool StepSession::start(const std::string& className, std::size_t statements,
                        std::string* failure) {
    std::error_code ec;
    const std::filesystem::path helper = HelperFolder();
    if (!std::filesystem::exists(helper / "VellaroStepper.class", ec)) {
        *failure = std::string(kStepperMissingText);
        return false;
    }
    closeChannel();
    // The folder is the learner's alone (0700), so the socket in it is too.
    const std::string socketPath = m_dir.filePath(QStringLiteral("step")).toStdString();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (!m_dir.isValid() || socketPath.size() >= sizeof(address.sun_path)) {
        *failure = std::string(kStepErrorText) + socketPath;
        return false;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    m_listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listenFd < 0 ||
        ::bind(m_listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(m_listenFd, 1) != 0) {
        *failure = std::string(kStepErrorText) + std::strerror(errno);
        closeChannel();
        return false;
    }
    m_listenNotifier = new QSocketNotifier(m_listenFd, QSocketNotifier::Read, this);
    connect(m_listenNotifier, &QSocketNotifier::activated, this, &StepSession::accept);
    if (!m_console->start(StepperCommand(helper, socketPath, className, statements))) {
        *failure = std::string(kStepErrorText) + "java";
        return false;
    }
    return true;
}

bool StepSession::isRunning() const {
    return m_console->isRunning();
}

void StepSession::accept() {
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    // One helper, one channel: nobody else is listened for.
    m_fd = fd;
    m_listenNotifier->setEnabled(false);
    m_listenNotifier->deleteLater();
    m_listenNotifier = nullptr;
    ::close(m_listenFd);
    m_listenFd = -1;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StepSession::readLines);
    readLines();
}

void StepSession::readLines() {
    if (m_fd < 0)
        return;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(m_fd, chunk, sizeof chunk);
        if (got > 0) {
            m_buffer.append(chunk, got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0 && m_notifier) // the helper hung up: nothing more will come
            m_notifier->setEnabled(false);
        break;
    }
    qsizetype end;
    while ((end = m_buffer.indexOf('\n')) >= 0) {
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        auto parsed = ParseStepEvent(std::string_view(line.constData(), line.size()));
        if (!parsed)
            continue;
        m_atStop = parsed->kind == StepEventKind::Stop || parsed->kind == StepEventKind::Exception;
        emit event(*parsed);
    }
}

void StepSession::send(const std::string& command) {
    if (m_fd < 0 || !m_atStop)
        return;
    m_atStop = false;
    // A command is a short line; the helper waits for it, so the socket has room for it.
    std::size_t sent = 0;
    while (sent < command.size()) {
        const ssize_t n = ::send(m_fd, command.data() + sent, command.size() - sent, MSG_NOSIGNAL);
        if (n > 0)
            sent += std::size_t(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && errno == EAGAIN)
            ::usleep(1000);
        else
            break; // the helper has gone; its end comes as the console's
    }
}

void StepSession::next() {
    send(StepNextCommand());
}

void StepSession::runTo(const std::vector<int>& stopStatements) {
    send(StepRunCommand(stopStatements));
}

void StepSession::stop() {
    m_atStop = false;
    if (m_console->isRunning())
        m_console->hangUp();
}

} // namespace vellaro
