#pragma once
// The pseudo-terminal session behind a run console, without any widget: the command gets a
// terminal of its own as its controlling terminal, in a session of its own, under the supervisor
// (Process.h), so that the learner's input reaches the Java program (and Ctrl+C interrupts it) as
// in a terminal. What the terminal writes comes out as bytes; what the learner types goes in as
// bytes. The console window (PtyConsole) shows the one and sends the other.

#include <QByteArray>
#include <QObject>
#include <string>
#include <sys/types.h>
#include <vector>

class QSocketNotifier;

namespace vellaro {

class PtySession : public QObject {
    Q_OBJECT
  public:
    // Read at most this much at a time, so that the window answers between two reads.
    static constexpr int kReadChunk = 256 * 1024;

    explicit PtySession(QObject* parent = nullptr);
    // Hangs up a command that still runs, without a signal.
    ~PtySession() override;

    // Runs argv[0] with the other words as arguments on a new pseudo-terminal of the given size
    // in characters, in the current folder, with the program's environment and TERM=dumb, under
    // the supervisor: hanging up, the command's end and the end of this program end everything
    // the command started. Every process of the run inherits a mark of the run in its
    // environment (ProcessTree.h); once the supervisor has ended, however it ended, whatever
    // still carries the mark or stays in the run's session is killed. Without the supervisor the
    // command runs all the same (supervised() says so). False when nothing could be started; a
    // session runs one command only.
    bool start(const std::vector<std::string>& argv, int columns, int rows);
    bool isRunning() const { return m_pid > 0; }
    // False when the command runs without the supervisor, which could not be found.
    bool supervised() const { return m_supervised; }
    // The command's exit status once it has ended; -1 unless it ended normally.
    int exitStatus() const { return m_exitStatus; }
    // The process id of the session leader (the supervisor, or the command when it runs without
    // one), 0 when none runs.
    pid_t pid() const { return m_pid; }

    // What the learner types, as bytes for the terminal. What the terminal cannot take at once is
    // dropped, as a terminal drops it.
    void sendInput(const QByteArray& bytes);
    // Ctrl+C: interrupts what runs in the foreground, and lets a program that stopped itself go
    // on, so that the interrupt reaches it. True when the program that the shell waits
    // for was interrupted directly, past the terminal, which then echoes nothing: the caller
    // shows the interrupt. False when the terminal's own interrupt character was sent.
    bool interrupt();
    // Hangs up the command and everything it started; finished follows at once.
    void hangUp();
    // Tells the command the terminal's new size in characters.
    void setWindowSize(int columns, int rows);

  signals:
    // What the terminal wrote, as it came.
    void output(const QByteArray& bytes);
    // The session has ended: its command ended (after the last of its output) or it was hung
    // up. Once.
    void finished();

  private:
    void watchOutput(int master);
    void readOutput();
    // Reads what the terminal holds; false once the terminal has no writer left.
    bool drain(int maxBytes);
    void reap();
    void stopWatchingChild();
    void end();
    void closeMaster();

    int m_master = -1;
    pid_t m_pid = 0;
    int m_pidfd = -1;
    int m_exitStatus = -1;
    bool m_ended = false;
    bool m_supervised = false;
    std::string m_mark; // VELLARO_RUN=<token>, in the environment of every process of the run
    QSocketNotifier* m_outputNotifier = nullptr;
    QObject* m_childWatch = nullptr; // what tells that the command may have ended
};

} // namespace vellaro
