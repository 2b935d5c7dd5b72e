// The program entry: one running copy, the windows created once, then the event loop.
#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QLockFile>
#include <QTranslator>
#include <filesystem>
#include <memory>

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
    // however it ends; a second copy leaves at once, without a word and without a window. Where
    // no lock can be made at all, or the lock file cannot be written, the program still runs:
    // a second copy is less harm than no program.
    const std::filesystem::path lockPath = vellaro::InstanceLockPath();
    std::unique_ptr<QLockFile> mutex;
    if (!lockPath.empty()) {
        mutex = std::make_unique<QLockFile>(vellaro::FromPath(lockPath));
        mutex->setStaleLockTime(0);
        if (!mutex->tryLock(0) && mutex->error() == QLockFile::LockFailedError)
            return 0;
    }

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
