#pragma once
// The program's windows. main() and the widget tests both build them through CreateAppWindows,
// so a test drives exactly what the learner gets.
#include <memory>

class TMainCrt;
class TAboutBox;
class TShellDiasp;
class TfromFileSelect;

// The version dialog ("バージョン情報"), the run's window ("実行") and the folder choice
// ("参　照"), each made when it is first asked for and kept until the program ends. A window
// never shown has no place in the accessibility tree and its making reads and writes nothing, so
// nobody can tell when it was made; start-up is spared making windows that are seldom opened.
class AppDialogs {
  public:
    AppDialogs();
    AppDialogs(const AppDialogs&) = delete;
    AppDialogs& operator=(const AppDialogs&) = delete;
    ~AppDialogs(); // the folder choice first, the version dialog last

    TAboutBox& about();
    TShellDiasp& shell();
    TfromFileSelect& fileSelect();

    // The window if it has been made, else null; makes nothing.
    TAboutBox* aboutIfMade() const { return m_about.get(); }
    TShellDiasp* shellIfMade() const { return m_shell.get(); }
    TfromFileSelect* fileSelectIfMade() const { return m_fileSelect.get(); }

  private:
    std::unique_ptr<TAboutBox> m_about;
    std::unique_ptr<TShellDiasp> m_shell;
    std::unique_ptr<TfromFileSelect> m_fileSelect;
};

struct AppWindows {
    AppWindows();
    AppWindows(AppWindows&&) noexcept;
    AppWindows& operator=(AppWindows&&) noexcept;
    ~AppWindows(); // the main window lets go of the dialogs; they go first, the main window last

    std::unique_ptr<TMainCrt> main;
    std::unique_ptr<AppDialogs> dialogs;
};

// The main window first (its start-up sequence runs while it is created, before any other window
// exists); then the dialogs, which the main window is given (TMainCrt::UseWindows) and which are
// made on first use. When the start-up sequence ended the program (the work folder could not be
// made), there are no dialogs and the caller must end without showing anything.
AppWindows CreateAppWindows();
