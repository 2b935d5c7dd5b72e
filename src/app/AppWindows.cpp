#include "app/AppWindows.h"

#include "app/frmMain.h"
#include "dialogs/frVer.h"
#include "dialogs/frmFileSelect.h"
#include "exercise/qt/fmDosCall.h"

AppWindows::AppWindows() = default;
AppWindows::AppWindows(AppWindows&&) noexcept = default;
AppWindows& AppWindows::operator=(AppWindows&&) noexcept = default;

AppWindows::~AppWindows() {
    fileSelect.reset();
    shell.reset();
    about.reset();
    main.reset();
}

AppWindows CreateAppWindows() {
    AppWindows w;
    w.main = std::make_unique<TMainCrt>();
    if (w.main->ProgramEnded())
        return w;
    w.about = std::make_unique<TAboutBox>();
    w.shell = std::make_unique<TShellDiasp>();
    w.fileSelect = std::make_unique<TfromFileSelect>();
    w.main->UseWindows(*w.about, *w.shell, *w.fileSelect);
    return w;
}
