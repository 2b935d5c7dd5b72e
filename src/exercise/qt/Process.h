#pragma once
// Starting a command line and waiting for its end while the window goes on handling its events.
// main() uses the real processes; tests install their own seam.

#include <QFont>
#include <string>

namespace vellaro {

class ProcessSeam {
  public:
    virtual ~ProcessSeam() = default;
    // Runs the command line without a window. Answers the exit status, or -1 when the process
    // could not be started or did not end normally.
    virtual int runHiddenAndWait(const std::string& commandLine) = 0;
    // Runs the command line in a console window of its own; returns when the console has ended
    // (the learner closed it, or its program ended). Same answer as above.
    virtual int runAndWait(const std::string& commandLine) = 0;
};

// The real processes: the first word of the command line is the program, the others are its
// arguments (see SplitCommandLine). The child inherits the environment and the current folder
// and none of the program's open files. Each wait runs a nested event loop, so the window
// repaints and no time is spent polling.
class QtProcesses : public ProcessSeam {
  public:
    int runHiddenAndWait(const std::string& commandLine) override;
    int runAndWait(const std::string& commandLine) override;
};

// The seam in use (never null: QtProcesses until replaced). Not owned.
ProcessSeam& Processes();
void SetProcesses(ProcessSeam* seam);

int RunHiddenAndWait(const std::string& commandLine);
int RunAndWait(const std::string& commandLine);

// Called in a freshly forked child just before it runs the command: no signal stays blocked or
// ignored because the program blocked or ignored it, and no open file of the program survives
// into the command. Only async-signal-safe calls.
void PrepareChildBeforeExec() noexcept;

// The font of the console window (the editor font); set before a run.
void SetConsoleFont(const QFont& font);
QFont ConsoleFont();

} // namespace vellaro
