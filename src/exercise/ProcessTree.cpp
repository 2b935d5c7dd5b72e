#include "exercise/ProcessTree.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

namespace vellaro {

namespace {

// Reads the next blank-separated decimal number (a leading minus allowed) from the text.
bool NextNumber(std::string_view& text, long& value) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || (ptr != end && *ptr != ' '))
        return false;
    text.remove_prefix(static_cast<std::size_t>(ptr - text.data()));
    return true;
}

} // namespace

std::optional<ProcessEntry> ParseProcStat(std::string_view line) {
    // pid (comm) state ppid pgrp session ...
    const std::size_t open = line.find(" (");
    const std::size_t close = line.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;
    std::string_view head = line.substr(0, open);
    long pid = 0;
    if (!NextNumber(head, pid) || !head.empty() || pid <= 0)
        return std::nullopt;
    std::string_view rest = line.substr(close + 1);
    if (rest.size() < 3 || rest[0] != ' ' || rest[2] != ' ')
        return std::nullopt;
    ProcessEntry entry;
    entry.pid = static_cast<pid_t>(pid);
    entry.name = line.substr(open + 2, close - open - 2);
    entry.state = rest[1];
    rest.remove_prefix(2);
    long ppid = 0;
    long pgrp = 0;
    long session = 0;
    if (!NextNumber(rest, ppid) || !NextNumber(rest, pgrp) || !NextNumber(rest, session))
        return std::nullopt;
    entry.ppid = static_cast<pid_t>(ppid);
    entry.pgrp = static_cast<pid_t>(pgrp);
    entry.session = static_cast<pid_t>(session);
    return entry;
}

namespace {

std::optional<ProcessEntry> ReadStatFile(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    return ParseProcStat(line);
}

} // namespace

std::optional<ProcessEntry> ReadProcess(pid_t pid, const std::filesystem::path& procRoot) {
    return ReadStatFile(procRoot / std::to_string(pid) / "stat");
}

std::vector<ProcessEntry> ReadProcessTable(const std::filesystem::path& procRoot) {
    std::vector<ProcessEntry> table;
    std::error_code ec;
    for (const auto& dir : std::filesystem::directory_iterator(procRoot, ec)) {
        const std::string name = dir.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        if (const auto entry = ReadStatFile(dir.path() / "stat"))
            table.push_back(*entry);
    }
    return table;
}

std::vector<ProcessEntry> Descendants(const std::vector<ProcessEntry>& table, pid_t root) {
    std::unordered_multimap<pid_t, const ProcessEntry*> children;
    for (const ProcessEntry& e : table)
        if (e.pid != e.ppid)
            children.emplace(e.ppid, &e);
    std::vector<ProcessEntry> found;
    // A table read while processes come and go may, with reused ids, hold a loop.
    std::unordered_set<pid_t> seen{root};
    std::vector<pid_t> parents{root};
    while (!parents.empty()) {
        const pid_t parent = parents.back();
        parents.pop_back();
        const auto [first, last] = children.equal_range(parent);
        for (auto it = first; it != last; ++it) {
            if (!seen.insert(it->second->pid).second)
                continue;
            found.push_back(*it->second);
            parents.push_back(it->second->pid);
        }
    }
    return found;
}

std::optional<ProcessEntry> FindProcess(const std::vector<ProcessEntry>& table, pid_t pid) {
    for (const ProcessEntry& e : table)
        if (e.pid == pid)
            return e;
    return std::nullopt;
}

bool EnvironmentHolds(std::string_view environment, std::string_view entry) {
    while (!environment.empty()) {
        const std::size_t end = environment.find('\0');
        if (environment.substr(0, end) == entry)
            return true;
        if (end == std::string_view::npos)
            break;
        environment.remove_prefix(end + 1);
    }
    return false;
}

std::vector<ProcessEntry> RunProcesses(const std::vector<ProcessEntry>& table, pid_t session,
                                       std::string_view mark, pid_t self,
                                       const std::filesystem::path& procRoot) {
    std::vector<ProcessEntry> found;
    for (const ProcessEntry& e : table) {
        if (e.pid == self || e.state == 'Z')
            continue;
        bool member = session > 0 && e.session == session;
        if (!member && !mark.empty()) {
            // Another user's environment cannot be read: a run never holds such a process.
            std::ifstream in(procRoot / std::to_string(e.pid) / "environ", std::ios::binary);
            const std::string environment{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
            member = EnvironmentHolds(environment, mark);
        }
        if (member)
            found.push_back(e);
    }
    return found;
}

} // namespace vellaro
