// The program entry: one running copy, the windows created once, then the event loop.
#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QLockFile>
#include <QTranslator>

#include "app/AppWindows.h"
#include "app/frmMain.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtEvents.h"
#include "common/qt/QtText.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    vellaro::SetFolderSource(vellaro::SystemFolders());

    // One running copy per learner. The lock is freed by the system when the process ends,
    // however it ends; a second copy leaves at once, without a word and without a window.
    QLockFile mutex(vellaro::FromPath(vellaro::TempPath() / "EX_Mutex"));
    mutex.setStaleLockTime(0);
    if (!mutex.tryLock(0))
        return 0;

    QApplication::setApplicationName(QStringLiteral("Vellaro"));

    // Qt's own texts (the standard dialogs and their buttons) in Japanese.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    vellaro::InstallFaceSubstitutions();

    vellaro::InstallQtEventSeam();

    AppWindows windows = CreateAppWindows();
    if (windows.main->ProgramEnded() || vellaro::TerminateRequested())
        return 0;
    windows.main->show();
    const int code = QApplication::exec();
    return code;
}
