// The program entry: one running copy, the windows created once, then the event loop.
#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/AppStyle.h"
#include "app/AppWindows.h"
#include "app/frmMain.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtEvents.h"
#include "common/qt/QtText.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    vellaro::SetFolderSource(vellaro::SystemFolders());

    // One running copy per learner: a second copy leaves at once, without a word and without a
    // window. The lock is held only by a running copy, so nothing a crash or an earlier version
    // left behind keeps the program from starting. Where no lock can be made at all, the program
    // still runs: a second copy is less harm than no program.
    const vellaro::InstanceLock mutex(vellaro::InstanceLockPath());
    if (mutex.state() == vellaro::InstanceLock::State::TakenByAnother)
        return 0;

    QApplication::setApplicationName(QStringLiteral("Vellaro"));

    // Qt's own texts (the standard dialogs and their buttons) in Japanese.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    vellaro::InstallFaceSubstitutions();
    vellaro::InstallAppStyle();

    vellaro::InstallQtEventSeam();

    AppWindows windows = CreateAppWindows();
    if (windows.main->ProgramEnded())
        return 0;
    windows.main->show();
    const int code = QApplication::exec();
    return code;
}
