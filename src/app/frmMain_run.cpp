// Compile and run handlers of the main window.
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringList>

#include "app/frmMain.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtText.h"
#include "exercise/Compile.h"
#include "exercise/qt/Process.h"
#include "exercise/qt/fmDosCall.h"

namespace {

// A compile waits for the compiler while the window goes on handling events; a second press of
// the compile command meanwhile would start a second compiler writing the same capture file.
bool g_compiling = false;

void WarnNoClassName(QWidget* parent) {
    vellaro::Dialogs().message(
        parent, vellaro::MsgKind::Warning,
        QString::fromUtf8(vellaro::kNoClassNameText.data(),
                          static_cast<qsizetype>(vellaro::kNoClassNameText.size())),
        vellaro::MbYes);
}

} // namespace

void TMainCrt::CompButtonClick() {
    if (g_compiling) {
        return;
    }
    Memo1->clear();
    const std::string className = SaveclassName->text().toStdString();
    g_compiling = true;
    vellaro::CompileOutcome outcome;
    try {
        outcome = vellaro::CompileSource(className, [](const std::string& commandLine) {
            return vellaro::RunHiddenAndWait(commandLine);
        });
    } catch (...) {
        g_compiling = false;
        throw;
    }
    g_compiling = false;
    if (outcome.classNameMissing) {
        WarnNoClassName(this);
        return;
    }
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(outcome.lines.size()));
    for (const std::string& line : outcome.lines) {
        lines << vellaro::FromSjis(line);
    }
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}

void TMainCrt::RunButtonClick() {
    const std::string className = SaveclassName->text().toStdString();
    if (className.empty()) {
        WarnNoClassName(this);
        return;
    }
    vellaro::ShellCommand = vellaro::RunShellCommand(className);
    if (!ShellDiasp) {
        return;
    }
    vellaro::SetConsoleFont(SecEdit->font());
    ShellDiasp->ExecuteRun();
}
