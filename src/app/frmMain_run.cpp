// Compile and run handlers of the main window.
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include "app/AppWindows.h"
#include "app/StepWindow.h"
#include "app/frmMain.h"
#include "common/Cp932.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtText.h"

using vellaro::FromUtf8;
#include "exercise/ClassName.h"
#include "exercise/Compile.h"
#include "exercise/ExerciseFiles.h"
#include "exercise/qt/BackgroundArchive.h"
#include "exercise/qt/Process.h"
#include "exercise/qt/RunExplain.h"
#include "exercise/qt/fmDosCall.h"

// While the compiler runs, the main window takes no input (a "実行" pressed meanwhile would run
// the old class) and shows the busy cursor, as during a run. It still repaints, and Esc and the
// close box reach it: both end the compiler, so that a hung one never traps the learner, and the
// status bar says so. A limit (the archive's watchdog) ends the compiler the same way. Other
// windows (a message box the close box brings up) take their input as usual. The same wait
// covers a compile waiting for the compiler's archive being made, which a stop only leaves.
class CompileWait : public QObject {
  public:
    CompileWait(
        TMainCrt* window, std::chrono::milliseconds limit,
        std::function<void()> onStop = [] { vellaro::Processes().stopHidden(); })
        : m_window(window), m_onStop(std::move(onStop)) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        qApp->installEventFilter(this);
        if (limit.count() > 0) {
            m_watchdog.setSingleShot(true);
            QObject::connect(&m_watchdog, &QTimer::timeout, this,
                             [this] { stop(vellaro::CommandEnd::Overran); });
            m_watchdog.start(limit);
        }
    }
    ~CompileWait() override {
        qApp->removeEventFilter(this);
        restoreCursor();
    }
    CompileWait(const CompileWait&) = delete;
    CompileWait& operator=(const CompileWait&) = delete;

    vellaro::CommandEnd end() const { return m_end; }
    void stop(vellaro::CommandEnd why) {
        m_watchdog.stop();
        if (m_end == vellaro::CommandEnd::ByItself) {
            m_end = why;
            m_onStop();
        }
        restoreCursor();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!vellaro::IsLearnerInput(event->type()) || !inMainWindow(watched))
            return false;
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept(); // claimed, so that no shortcut of the window fires either
            return true;
        }
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            stop(vellaro::CommandEnd::Stopped);
        return true;
    }

  private:
    bool inMainWindow(QObject* watched) const {
        if (auto* widget = qobject_cast<QWidget*>(watched))
            return widget->window() == m_window;
        if (auto* window = qobject_cast<QWindow*>(watched))
            return window == m_window->windowHandle();
        return false;
    }
    void restoreCursor() {
        if (m_cursorSet) {
            m_cursorSet = false;
            QApplication::restoreOverrideCursor();
        }
    }

    TMainCrt* m_window;
    std::function<void()> m_onStop;
    QTimer m_watchdog;
    vellaro::CommandEnd m_end = vellaro::CommandEnd::ByItself;
    bool m_cursorSet = true;
};

void TMainCrt::CompButtonClick() {
    if (m_compileWait)
        return;
    CompileExercise(true);
}

bool TMainCrt::CompileExercise(bool askBeforeWriting) {
    Memo1->clear();
    ClearStatus();
    const QString name = SaveclassName->text();
    if (RefuseClassName(name))
        return false;
    const std::string className = vellaro::ToUtf8(name);
    // The compiler reads the file, not the screen: what it is to compile is settled first.
    const QString onScreen = ExerciseOnScreen();
    const SourceOnDisk source = WriteSourceBeforeCompile(askBeforeWriting);
    if (source == SourceOnDisk::Cancelled)
        return false;
    // The archive being made in the background is waited for when it will be ready sooner than
    // a compile without it would end; otherwise, or when it is late, the compile runs without
    // it, and on a machine of two processors or fewer it runs alone: the making starts over
    // afterwards.
    bool mayMakeArchive = true;
    bool restartArchive = false;
    if (m_archive->running()) {
        if (const vellaro::ArchiveWait choice = m_archive->waitChoice(); choice.wait) {
            QEventLoop loop;
            CompileWait wait(this, choice.limit, [&loop] { loop.quit(); });
            const QScopedValueRollback running(m_compileWait, &wait);
            StatusMessage->setText(vellaro::FromUtf8(vellaro::kCompileRunningText));
            connect(m_archive.get(), &vellaro::BackgroundArchive::ended, &loop, &QEventLoop::quit);
            loop.exec();
            StatusMessage->clear();
            if (wait.end() == vellaro::CommandEnd::Stopped ||
                wait.end() == vellaro::CommandEnd::Closing) {
                ShowCompileMessages({vellaro::Sjis(vellaro::kCompileStoppedText)}, className);
                return false;
            }
        }
        if (m_archive->running()) {
            mayMakeArchive = false;
            constexpr int kCoresForBoth = 3;
            if (QThread::idealThreadCount() < kCoresForBoth) {
                m_archive->stop();
                restartArchive = true;
            }
        }
    }
    vellaro::CompileOutcome outcome = vellaro::CompileSource(
        className,
        [this](const vellaro::Command& command, std::chrono::milliseconds limit) {
            CompileWait wait(this, limit);
            const QScopedValueRollback running(m_compileWait, &wait);
            StatusMessage->setText(vellaro::FromUtf8(vellaro::kCompileRunningText));
            const int status = vellaro::RunHiddenAndWait(command);
            StatusMessage->clear();
            return vellaro::CommandResult{status, wait.end()};
        },
        mayMakeArchive);
    if (restartArchive)
        StartArchiveInBackground();
    if (const std::string shadowing = ShadowingFilesHere(); !shadowing.empty())
        outcome.lines.push_back(vellaro::Sjis(shadowing));
    ShowCompileMessages(outcome.lines, className);
    MarkStatementErrors(!outcome.stopped && source == SourceOnDisk::Screen);
    const bool compiled = !outcome.stopped && outcome.exitStatus == 0;
    // A failed compile leaves the class of the last good one; a file compiled as it was on disk
    // is not what the screen shows.
    if (compiled)
        m_compiled = source == SourceOnDisk::Screen
                         ? std::optional<CompiledExercise>({name, onScreen})
                         : std::nullopt;
    return compiled;
}

std::string TMainCrt::ShadowingFilesHere() {
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    return ec ? std::string() : vellaro::ShadowingFilesMessage(vellaro::ShadowingFiles(here));
}

void TMainCrt::StartArchiveInBackground() {
    if (!ProgramEnded())
        m_archive->start();
}

void TMainCrt::StopCompile() {
    if (m_compileWait)
        m_compileWait->stop(vellaro::CommandEnd::Closing);
}

void TMainCrt::RunButtonClick() {
    const QString name = SaveclassName->text();
    if (!ReadyToRun(name))
        return;
    const std::string className = vellaro::ToUtf8(name);
    vellaro::ShellCommand = vellaro::RunShellCommand(className);
    if (!m_dialogs)
        return;
    vellaro::BeginRun(className);
    m_dialogs->shell().ExecuteRun(vellaro::RunClassCommand(className), SecEdit->font());
    if (const auto& failure = vellaro::LastRunFailure())
        ShowRunFailure(*failure);
}

void TMainCrt::StepButtonClick() {
    const QString name = SaveclassName->text();
    if (!ReadyToRun(name))
        return;
    QStringList statements = SecEdit->toPlainText().split(QLatin1Char('\n'));
    if (!statements.isEmpty() && statements.back().isEmpty())
        statements.removeLast();
    auto* window = new StepWindow(name, statements, SecEdit->font(), this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!window->start()) {
        window->close();
        return;
    }
    window->show();
    window->activateWindow();
}

bool TMainCrt::ReadyToRun(const QString& name) {
    if (RefuseClassName(name))
        return false;
    // The class in the folder is what the last compile made: a run of a changed exercise asks
    // first, so that the learner never watches an old program and takes it for the new one.
    const bool current = StatementCount() == 0 || (m_compiled && m_compiled->className == name &&
                                                   m_compiled->text == ExerciseOnScreen());
    if (!current) {
        switch (vellaro::Dialogs().message(
            this, vellaro::MsgKind::Confirmation,
            FromUtf8(vellaro::UncompiledRunQuestion(vellaro::ToUtf8(name))),
            vellaro::MbYes | vellaro::MbNo | vellaro::MbCancel)) {
        case vellaro::MbYes:
            if (!CompileExercise(false))
                return false;
            break;
        case vellaro::MbNo:
            break;
        default:
            return false;
        }
    }
    // Said once in the pane, below what the compiler said, which keeps its links.
    if (const std::string shadowing = ShadowingFilesHere();
        !shadowing.empty() && !Memo1->toPlainText().contains(FromUtf8(shadowing))) {
        vellaro::Cp932Lines lines;
        const QString pane = Memo1->toPlainText();
        if (!pane.isEmpty())
            for (const QString& line : pane.split(QLatin1Char('\n')))
                lines.push_back(vellaro::ToSjisReplacing(line));
        lines.push_back(vellaro::Sjis(shadowing));
        ShowCompileMessages(lines, vellaro::ToUtf8(name));
    }
    return true;
}

void TMainCrt::ShowRunFailure(const vellaro::RunFailure& failure) {
    QStringList text;
    for (const std::string& line : vellaro::RunFailurePaneLines(failure))
        text << vellaro::FromUtf8(line);
    Memo1->setPlainText(text.join(QLatin1Char('\n'))); // forgets the compiler's messages
    m_compileReport = vellaro::RunFailureReport(failure);
    ShowMessageMarks();
    ClearStatus();
}
