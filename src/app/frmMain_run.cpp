// Compile and run handlers of the main window.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QStringList>
#include <QWindow>

#include "app/frmMain.h"
#include "common/Cp932.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtText.h"
#include "exercise/ClassName.h"
#include "exercise/Compile.h"
#include "exercise/qt/Process.h"
#include "exercise/qt/RunExplain.h"
#include "exercise/qt/fmDosCall.h"

namespace {

bool IsLearnerInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

} // namespace

// While the compiler runs, the main window takes no input (a "実行" pressed meanwhile would run
// the old class) and shows the busy cursor, as during a run. It still repaints, and Esc and the
// close box reach it: both end the compiler, so that a hung one never traps the learner. Other
// windows (a message box the close box brings up) take their input as usual.
class CompileWait : public QObject {
  public:
    explicit CompileWait(TMainCrt* window) : m_window(window) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        qApp->installEventFilter(this);
    }
    ~CompileWait() override {
        qApp->removeEventFilter(this);
        restoreCursor();
    }
    CompileWait(const CompileWait&) = delete;
    CompileWait& operator=(const CompileWait&) = delete;

    bool stopped() const { return m_stopped; }
    void stop() {
        if (!m_stopped) {
            m_stopped = true;
            vellaro::Processes().stopHidden();
        }
        restoreCursor();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!IsLearnerInput(event->type()) || !inMainWindow(watched))
            return false;
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept(); // claimed, so that no shortcut of the window fires either
            return true;
        }
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            stop();
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
    bool m_stopped = false;
    bool m_cursorSet = true;
};

namespace {

void WarnNoClassName(QWidget* parent) {
    vellaro::Dialogs().message(parent, vellaro::MsgKind::Warning,
                               vellaro::FromUtf8(vellaro::kMsgEnterClassName), vellaro::MbYes);
}

} // namespace

void TMainCrt::CompButtonClick() {
    if (m_compileWait)
        return;
    Memo1->clear();
    ClearStatus();
    const std::string className = vellaro::ToUtf8(SaveclassName->text());
    // The compiler reads the file, not the screen: what it is to compile is settled first (the
    // class-name check stays with the compile).
    if (!className.empty() && !WriteSourceBeforeCompile())
        return;
    bool stopped = false;
    vellaro::CompileOutcome outcome =
        vellaro::CompileSource(className, [this, &stopped](const std::string& commandLine) {
            CompileWait wait(this);
            const QScopedValueRollback running(m_compileWait, &wait);
            const int status = vellaro::RunHiddenAndWait(commandLine);
            stopped = wait.stopped();
            return status;
        });
    if (outcome.classNameMissing) {
        WarnNoClassName(this);
        return;
    }
    if (stopped) {
        // What the compiler left behind is not its verdict.
        outcome.lines = {vellaro::Sjis(vellaro::kCompileStoppedText)};
    }
    ShowCompileMessages(outcome.lines, className);
}

void TMainCrt::StopCompile() {
    if (m_compileWait)
        m_compileWait->stop();
}

void TMainCrt::RunButtonClick() {
    const std::string className = vellaro::ToUtf8(SaveclassName->text());
    if (className.empty()) {
        WarnNoClassName(this);
        return;
    }
    vellaro::ShellCommand = vellaro::RunShellCommand(className);
    if (!ShellDiasp) {
        return;
    }
    vellaro::BeginRun(className);
    ShellDiasp->ExecuteRun(SecEdit->font());
    if (const auto& failure = vellaro::LastRunFailure())
        ShowRunFailure(*failure);
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
