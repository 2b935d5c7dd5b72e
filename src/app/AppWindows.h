#pragma once
// The program's windows, created once each in their fixed order. main() and the widget tests
// both build the windows through CreateAppWindows, so a test drives exactly what the learner gets.
#include <memory>

class TMainCrt;
class TAboutBox;
class TShellDiasp;
class TfromFileSelect;

struct AppWindows {
    AppWindows();
    AppWindows(AppWindows&&) noexcept;
    AppWindows& operator=(AppWindows&&) noexcept;
    ~AppWindows(); // destroys the dialogs first, the main window last

    std::unique_ptr<TMainCrt> main;
    std::unique_ptr<TAboutBox> about;
    std::unique_ptr<TShellDiasp> shell;
    std::unique_ptr<TfromFileSelect> fileSelect;
};

// The main window first (its start-up sequence runs while it is created, before any other window
// exists); then the version dialog, the run console and the folder selection dialog, which the
// main window is then given (TMainCrt::UseWindows). When the start-up sequence ended the program
// (the work folder could not be made), only the main window is created and the caller must end
// without showing anything.
AppWindows CreateAppWindows();
