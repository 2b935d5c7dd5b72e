#pragma once
// The console window of a run: a window of the program's own that shows a pseudo-terminal
// session (PtySession) and sends it what the learner types. Every line of output shows as it
// comes; the console ends when its command ends or when the learner closes it. The window keeps
// the terminal's last row as the line being written: carriage returns, backspaces and tabs move
// in it, escape sequences are skipped. A line breaks only where the program broke it; the window
// wraps a long one on the screen without putting a break into the text. An input method's
// text being composed shows at the write position as in the editor, and is not the console's
// text until it is committed (then it goes to the terminal).

#include <QByteArray>
#include <QPlainTextEdit>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QTextLayout>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

class QMenu;
class QTimer;

namespace vellaro {

class PtySession;

class PtyConsole : public QPlainTextEdit {
    Q_OBJECT
  public:
    // Lines kept for scrolling back; older ones are dropped, so endless output costs no more.
    static constexpr int kMaxLines = 5000;
    // Of a line longer than this, only its last kMaxLineLength characters are kept (as a
    // terminal scrolls the start of an endless line away), so a program that never ends a line
    // stays cheap. No break is put into the line.
    static constexpr int kMaxLineLength = 16384;
    static constexpr int kColumns = 80;
    static constexpr int kRows = 25;
    // Output waits this long to be shown together with what follows it.
    static constexpr int kRenderDelayMs = 15;

    explicit PtyConsole(QWidget* parent = nullptr);
    ~PtyConsole() override;

    // Runs the command in the console's session, on a terminal of kColumns by kRows (see
    // PtySession::start): closing the console, the command's end and the end of this program end
    // everything the command started. Without the supervisor the console says so first, and runs
    // the command all the same. False when nothing could be started.
    bool start(const std::vector<std::string>& argv);
    bool isRunning() const;
    // The command's exit status once it has ended; -1 unless it ended normally.
    int exitStatus() const;
    // The process id of the session leader, 0 when none runs.
    pid_t pid() const;

    // Sized for 80 columns by 25 rows of its font, centred on the active window, shown modal to
    // the whole application (so the main window takes no input) and given the keyboard.
    void showConsole();

    // What the console shows: its lines joined with '\n'.
    QString screenText() const;
    // A line of the program's own, shown in the console before the command's output.
    void notice(const QString& line);
    // The context menu: "コピー(C)" (Ctrl+Shift+C) and "貼り付け(P)" (Ctrl+Shift+V), as the keys
    // do; Ctrl+C interrupts. The caller owns it.
    QMenu* createConsoleMenu();
    // Ctrl+Shift+V: the clipboard's text to the terminal, line breaks as the Enter key.
    void pasteClipboard();

    // What the learner types, as bytes for the terminal.
    void sendInput(const QByteArray& bytes);
    // Ctrl+C: interrupts what runs in the foreground.
    void interrupt();
    // The close box: hangs up the command and everything it started.
    void hangUp();

    // Called once, when the run's class has ended (the run command's printf, see RunEndStatus),
    // with its exit status and what the console shows; the lines it answers are shown there,
    // below the class's output and before the shell's prompt, in a colour of their own.
    using RunEndHook = std::function<QStringList(int status, const QString& screenText)>;
    void setRunEndHook(RunEndHook hook) { m_runEndHook = std::move(hook); }

  signals:
    // The console has ended: its command ended or the learner closed it.
    void finished();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void feed(const QByteArray& bytes);
    void feedText(const QString& text);
    // A control character (one that is not printed) at the write position.
    void control(char16_t c);
    void render();
    void commitLine();
    void put(const QChar* run, qsizetype length);
    void end();
    void updateWindowSize();
    // Puts the text being composed into the last line's layout, or takes it out.
    void placePreedit(bool shown);
    // Where the caret of the text being composed stands, in the viewport; null when none.
    QRectF preeditCaret() const;
    void osCommand(const QString& text);
    void showRunEnd(const QStringList& lines);

    PtySession* m_session = nullptr;
    bool m_ended = false;
    QTimer* m_renderTimer = nullptr;
    QStringList m_pending;             // completed lines not shown yet
    bool m_pendingReplacesAll = false; // more than kMaxLines came: replace what is shown
    QStringDecoder m_decoder{QStringDecoder::Utf8};

    // The line being written (the terminal's last row) and the write position in it.
    QString m_line;
    qsizetype m_column = 0;
    int m_escape = 0; // where an escape sequence being skipped stands (0: none)
    // The input method's text being composed: its formats (underline, the segment being
    // converted) relative to its start, and its caret.
    QString m_preedit;
    QList<QTextLayout::FormatRange> m_preeditFormats;
    int m_preeditCaret = 0;
    bool m_preeditCaretShown = true;
    int m_caretWidth = 1; // the ordinary caret's, hidden while text is being composed
    QString m_osCommand;  // the text of an operating system command being read
    RunEndHook m_runEndHook;
};

} // namespace vellaro
