#pragma once
// The console window of a run: a window of the program's own, backed by a pseudo-terminal.
// The command gets the terminal as its controlling terminal, so the learner's input reaches the
// Java program (and Ctrl+C interrupts it) as in a terminal; every line of output shows as it
// comes. The console ends when its command ends or when the learner closes it.

#include <QByteArray>
#include <QPlainTextEdit>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace vellaro {

class PtyConsole : public QPlainTextEdit {
    Q_OBJECT
  public:
    // Lines kept for scrolling back; older ones are dropped, so endless output costs no more.
    static constexpr int kMaxLines = 5000;
    // A line longer than this is broken, so a program that never ends a line stays cheap.
    static constexpr int kMaxLineLength = 1024;
    static constexpr int kColumns = 80;
    static constexpr int kRows = 25;
    // Output waits this long to be shown together with what follows it.
    static constexpr int kRenderDelayMs = 15;
    // Read at most this much at a time, so that the window answers between two reads.
    static constexpr int kReadChunk = 256 * 1024;

    explicit PtyConsole(QWidget* parent = nullptr);
    ~PtyConsole() override;

    // Runs argv[0] with the other words as arguments on a new pseudo-terminal, in the current
    // folder, with the program's environment and TERM=dumb, under the supervisor (Process.h):
    // closing the console, the command's end and the end of this program end everything the
    // command started. Without the supervisor the console says so first, and runs the command
    // all the same. False when nothing could be started.
    bool start(const std::vector<std::string>& argv);
    bool isRunning() const { return m_pid > 0; }
    // The command's exit status once it has ended; -1 unless it ended normally.
    int exitStatus() const { return m_exitStatus; }
    // The process id of the session leader (the supervisor, or the command when it runs without
    // one), 0 when none runs.
    pid_t pid() const { return m_pid; }

    // Sized for 80 columns by 25 rows of its font, centred on the active window, shown modal to
    // the whole application (so the main window takes no input) and given the keyboard.
    void showConsole();

    // What the console shows: its lines joined with '\n'.
    QString screenText() const;

    // What the learner types, as bytes for the terminal.
    void sendInput(const QByteArray& bytes);
    // Ctrl+C: interrupts what runs in the foreground.
    void interrupt();
    // The close box: hangs up the command and everything it started.
    void hangUp();

  signals:
    // The console has ended: its command ended or the learner closed it.
    void finished();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void readOutput();
    void childChanged();
    // Reads what the terminal holds; false once the terminal has no writer left.
    bool drain(int maxBytes);
    void feed(const QByteArray& bytes);
    void feedText(const QString& text);
    void render();
    void commitLine();
    void put(const QChar* run, qsizetype length);
    void reap();
    void end();
    void closeMaster();
    void updateWindowSize();

    int m_master = -1;
    pid_t m_pid = 0;
    int m_pidfd = -1;
    int m_exitStatus = -1;
    bool m_ended = false;
    bool m_supervised = false;
    QSocketNotifier* m_outputNotifier = nullptr;
    QSocketNotifier* m_childNotifier = nullptr;
    QTimer* m_childPoll = nullptr; // only where the kernel offers no process descriptor
    QTimer* m_renderTimer = nullptr;
    QStringList m_pending;             // completed lines not shown yet
    bool m_pendingReplacesAll = false; // more than kMaxLines came: replace what is shown
    QStringDecoder m_decoder{QStringDecoder::Utf8};

    // The line being written (the terminal's last row) and the write position in it.
    QString m_line;
    qsizetype m_column = 0;
    int m_escape = 0; // state of an escape sequence being skipped
    QString m_preedit;
};

} // namespace vellaro
