#pragma once
// Starting a command and waiting for its end while the window goes on handling its events.
// main() uses the real processes; tests install their own seam.

#include <functional>
#include <string>
#include <sys/types.h>

#include "exercise/Compile.h"

class QFont;

namespace vellaro {

class ProcessSeam {
  public:
    virtual ~ProcessSeam() = default;
    // Runs the command without a window. Answers the exit status, or -1 when the process could
    // not be started or did not end normally.
    virtual int runHiddenAndWait(const Command& command) = 0;
    // Runs the command in a console window of its own, in the font given; returns when the
    // console has ended (the learner closed it, or its program ended). Same answer as above.
    virtual int runAndWait(const Command& command, const QFont& consoleFont) = 0;
    // Ends the command that runHiddenAndWait waits for, and everything it started; the wait then
    // returns. Nothing when none runs.
    virtual void stopHidden() {}
    // Starts a command without a window, at idle CPU and I/O priority, and returns at once:
    // it runs beside the program and ends with it. `ended` gets its answer (as above) when it
    // ends by itself, never after stopBackground. One at a time. False when it was not started
    // (this seam runs nothing in the background).
    virtual bool startBackground(const Command& command, std::function<void(int)> ended) {
        (void)command;
        (void)ended;
        return false;
    }
    // Ends the background command and everything it started, and returns once they are gone.
    // Nothing when none runs.
    virtual void stopBackground() {}
};

// The real processes: the command's first word is the program, the others are its arguments,
// each as it is. The child inherits the environment and the current folder
// and none of the program's open files. Each wait runs a nested event loop, so the window
// repaints and no time is spent polling.
//
// Both run under the supervisor (SupervisorProgram), which ends everything the command started
// when the command ends, when it is stopped or closed, and when this program ends in any way.
class QtProcesses : public ProcessSeam {
  public:
    int runHiddenAndWait(const Command& command) override;
    int runAndWait(const Command& command, const QFont& consoleFont) override;
    void stopHidden() override;
    // Only under the supervisor, which alone can promise that nothing of it outlives the program.
    bool startBackground(const Command& command, std::function<void(int)> ended) override;
    void stopBackground() override;
};

// The seam in use (never null: QtProcesses until replaced). Not owned.
ProcessSeam& Processes();
void SetProcesses(ProcessSeam* seam);

int RunHiddenAndWait(const Command& command);
int RunAndWait(const Command& command, const QFont& consoleFont);

// Called in a freshly forked child just before it runs the command: no signal stays blocked or
// ignored because the program blocked or ignored it, and no open file of the program survives
// into the command. Only async-signal-safe calls.
void PrepareChildBeforeExec() noexcept;
// Called in a freshly forked child after PrepareChildBeforeExec: the child gets SIGHUP when the
// program (parent, its process id taken before the fork) ends, however it ends; a child whose
// parent is already gone ends at once. Only async-signal-safe calls.
void TieChildToParent(pid_t parent) noexcept;

// The name of the supervisor, which stands beside the program's real executable.
inline constexpr const char* kSupervisorName = "vellaro-supervisor";
// The supervisor's path; empty when it is missing or cannot be run.
std::string SupervisorProgram();
// For tests: the supervisor's path instead of the one beside the executable (empty: that one).
void SetSupervisorProgram(const std::string& path);

} // namespace vellaro
