#pragma once
// The process table as /proc shows it, and the processes that descend from one of them: what the
// run console's supervisor must end, and where the console finds the learner's shell.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace vellaro {

// A process as its line of /proc/<pid>/stat shows it.
struct ProcessEntry {
    pid_t pid = 0, ppid = 0, pgrp = 0, session = 0;
    char state = 0;   // 'R', 'S', 'D', 'T', ...; 'Z' for one that has ended and awaits its reaping
    std::string name; // the command name, as the kernel keeps it (at most 15 bytes)
};

// One line of /proc/<pid>/stat; nullopt when it is not one. The command name between the
// parentheses may itself hold blanks and parentheses. The one reader of these lines: the
// supervisor, the console and their tests all go through it.
std::optional<ProcessEntry> ParseProcStat(std::string_view line);
// One process of the table; nullopt when it is not there (or no longer).
std::optional<ProcessEntry> ReadProcess(pid_t pid, const std::filesystem::path& procRoot = "/proc");
// Every process the table lists. A process that ends while the table is read is left out.
std::vector<ProcessEntry> ReadProcessTable(const std::filesystem::path& procRoot = "/proc");
// The processes whose chain of parents leads to root (root itself not included).
std::vector<ProcessEntry> Descendants(const std::vector<ProcessEntry>& table, pid_t root);
// The entry of one process; nullopt when the table does not list it.
std::optional<ProcessEntry> FindProcess(const std::vector<ProcessEntry>& table, pid_t pid);

// The name of the mark every process of a run inherits in its environment (NAME=<token>), by
// which the run's processes are still found once the supervisor is gone and they have left the
// run's session.
inline constexpr std::string_view kRunMarkName = "VELLARO_RUN";
// Whether an environment as /proc/<pid>/environ holds it (entries ended by NUL) has the entry.
bool EnvironmentHolds(std::string_view environment, std::string_view entry);
// The processes of a run that have not ended: those of its session (the session leader's
// process id) and those whose environment holds the run's mark entry ("VELLARO_RUN=<token>"),
// wherever they went. `self` is never one of them. An empty mark finds by the session alone.
std::vector<ProcessEntry> RunProcesses(const std::vector<ProcessEntry>& table, pid_t session,
                                       std::string_view mark, pid_t self,
                                       const std::filesystem::path& procRoot = "/proc");

} // namespace vellaro
