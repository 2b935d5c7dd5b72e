#include "app/AppWindows.h"

#include "app/frmMain.h"
#include "dialogs/frVer.h"
#include "dialogs/frmFileSelect.h"
#include "exercise/qt/fmDosCall.h"

AppDialogs::AppDialogs() = default;

AppDialogs::~AppDialogs() {
    m_fileSelect.reset();
    m_shell.reset();
    m_about.reset();
}

TAboutBox& AppDialogs::about() {
    if (!m_about)
        m_about = std::make_unique<TAboutBox>();
    return *m_about;
}

TShellDiasp& AppDialogs::shell() {
    if (!m_shell)
        m_shell = std::make_unique<TShellDiasp>();
    return *m_shell;
}

TfromFileSelect& AppDialogs::fileSelect() {
    if (!m_fileSelect)
        m_fileSelect = std::make_unique<TfromFileSelect>();
    return *m_fileSelect;
}

AppWindows::AppWindows() = default;
AppWindows::AppWindows(AppWindows&&) noexcept = default;

// Ours go in the order of the destructor: the dialogs first, the main window last.
AppWindows& AppWindows::operator=(AppWindows&& other) noexcept {
    if (this != &other) {
        if (main)
            main->UseWindows(nullptr);
        dialogs = std::move(other.dialogs);
        main = std::move(other.main);
    }
    return *this;
}

AppWindows::~AppWindows() {
    if (main)
        main->UseWindows(nullptr);
    dialogs.reset();
    main.reset();
}

AppWindows CreateAppWindows() {
    AppWindows w;
    w.main = std::make_unique<TMainCrt>();
    if (w.main->ProgramEnded())
        return w;
    w.dialogs = std::make_unique<AppDialogs>();
    w.main->UseWindows(w.dialogs.get());
    return w;
}
