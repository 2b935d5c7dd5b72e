#pragma once
// The event seam of the common functions on Qt: PumpEvents, AppTerminate and ShellOpen.
//
// Ending the program: AppTerminate() marks the program to end and asks the main event loop to stop
// at its next turn. It does not close the windows, so the main window's closing handler does not
// store anything. Called during start-up, before the event loop runs, the mark stays set: main()
// must check TerminateRequested() before exec() and end at once if it is set, and the main window's
// close handler must skip storing the settings when it is set.

#include <string>

#include "common/delCommFunc.h"

namespace vellaro {

class QtEventSeam : public EventSeam {
  public:
    // Handles every pending event, posted ones included, then returns.
    void pumpEvents() override;
    // Marks the program to end; the main event loop stops at its next turn.
    void appTerminate() override;
    // Opens a local path (UTF-8) or an address (scheme:...) with the desktop's viewer; not waited
    // for, its failure is silent.
    void shellOpen(const std::string& target) override;
};

// True once AppTerminate() has run: the program is ending and must store nothing.
bool TerminateRequested();
// Forgets a request to end, so that a test program can check AppTerminate more than once.
void ForgetTerminateRequest();

// Installs the process-wide QtEventSeam (needs the QApplication to exist).
void InstallQtEventSeam();

} // namespace vellaro
