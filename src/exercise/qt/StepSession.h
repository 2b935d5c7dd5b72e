#pragma once
// One stepping of the learner's class: the stepping helper (src/exercise/stepper) runs in the
// given console's pseudo-terminal session, under the supervisor, and starts the class there, so
// that the program's input and output are the console's. The helper reports its stops on a
// Unix socket of this session's own (in a private folder; a plain socket watched by the event
// loop, so that no network library is loaded at every start for it); this session turns each
// line into a StepEvent and sends the commands. Stopping, or destroying the session or its console,
// hangs up the terminal: the helper, the program and everything they started end.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <filesystem>
#include <vector>

#include "exercise/StepProtocol.h"

class QSocketNotifier;

namespace vellaro {

class PtyConsole;

class StepSession : public QObject {
    Q_OBJECT
  public:
    StepSession(PtyConsole* console, QObject* parent = nullptr);
    ~StepSession() override;

    // The helper's classes beside the program.
    static std::filesystem::path HelperFolder();

    // Starts stepping the compiled class in the current folder, with `statements` statements.
    // False (and `failure` says why, for the learner) when nothing could be started.
    bool start(const std::string& className, std::size_t statements, std::string* failure);
    // Whether the program stands at a statement, waiting for a command.
    bool atStop() const { return m_atStop; }
    bool isRunning() const;
    // On to the next statement.
    void next();
    // On to the next of these statements (1-based), or to the end.
    void runTo(const std::vector<int>& stopStatements);
    // Ends the helper, the program and everything they started, at once.
    void stop();

  signals:
    void event(const vellaro::StepEvent& event);
    // The helper's session has ended (after its last event).
    void finished();

  private:
    void accept();
    void readLines();
    void send(const std::string& command);
    void closeChannel();

    PtyConsole* m_console;
    QTemporaryDir m_dir;
    int m_listenFd = -1;
    int m_fd = -1; // the helper's end, once it connected
    QSocketNotifier* m_listenNotifier = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_buffer;
    bool m_atStop = false;
};

} // namespace vellaro
