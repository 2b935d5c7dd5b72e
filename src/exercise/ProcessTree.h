#pragma once
// The process table as /proc shows it, and the processes that descend from one of them: what the
// run console's supervisor must end, and where the console finds the learner's shell.

#include <filesystem>
#include <optional>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace vellaro {

struct ProcessEntry {
    pid_t pid = 0;
    pid_t ppid = 0;
    pid_t pgrp = 0;
    pid_t session = 0;
    char state = 0; // 'R', 'S', 'D', 'T', ...; 'Z' for one that has ended and awaits its reaping
};

// One line of /proc/<pid>/stat; nullopt when it is not one. The command name between the
// parentheses may itself hold blanks and parentheses.
std::optional<ProcessEntry> ParseProcStat(std::string_view line);
// Every process the table lists. A process that ends while the table is read is left out.
std::vector<ProcessEntry> ReadProcessTable(const std::filesystem::path& procRoot = "/proc");
// The processes whose chain of parents leads to root (root itself not included).
std::vector<ProcessEntry> Descendants(const std::vector<ProcessEntry>& table, pid_t root);
// The entry of one process; nullopt when the table does not list it.
std::optional<ProcessEntry> FindProcess(const std::vector<ProcessEntry>& table, pid_t pid);

} // namespace vellaro
