#include "exercise/qt/StepSession.h"

#include <QLocalServer>
#include <QLocalSocket>

#include "common/delCommFunc.h"
#include "exercise/qt/PtyConsole.h"

namespace vellaro {

StepSession::StepSession(PtyConsole* console, QObject* parent)
    : QObject(parent), m_console(console) {
    connect(m_console, &PtyConsole::finished, this, [this] {
        // What the helper said last may still wait in the socket.
        if (m_socket)
            readLines();
        m_atStop = false;
        emit finished();
    });
}

StepSession::~StepSession() {
    stop();
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
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString socketPath = m_dir.filePath(QStringLiteral("step"));
    if (!m_dir.isValid() || !m_server->listen(socketPath)) {
        *failure = std::string(kStepErrorText) + m_server->errorString().toStdString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &StepSession::accept);
    if (!m_console->start(
            StepperCommand(helper, socketPath.toStdString(), className, statements))) {
        *failure = std::string(kStepErrorText) + "java";
        return false;
    }
    return true;
}

bool StepSession::isRunning() const {
    return m_console->isRunning();
}

void StepSession::accept() {
    QLocalSocket* socket = m_server->nextPendingConnection();
    if (!socket)
        return;
    if (m_socket) { // one helper, one channel
        socket->deleteLater();
        return;
    }
    m_socket = socket;
    m_server->close();
    connect(m_socket, &QLocalSocket::readyRead, this, &StepSession::readLines);
    readLines();
}

void StepSession::readLines() {
    m_buffer += m_socket->readAll();
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
    if (!m_socket || !m_atStop)
        return;
    m_atStop = false;
    m_socket->write(command.data(), static_cast<qint64>(command.size()));
    m_socket->flush();
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
