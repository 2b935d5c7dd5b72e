// The process table read from /proc, and the descendants of a process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include "Scratch.h"
#include "exercise/ProcessTree.h"

using vellaro::ProcessEntry;

namespace {

std::vector<pid_t> Pids(const std::vector<ProcessEntry>& entries) {
    std::vector<pid_t> pids;
    for (const ProcessEntry& e : entries)
        pids.push_back(e.pid);
    std::sort(pids.begin(), pids.end());
    return pids;
}

} // namespace

TEST(ProcessTree, StatLinesParseWhateverTheCommandNameHolds) {
    const auto e = vellaro::ParseProcStat("4242 (my (odd) prog) S 17 4242 4000 34816 4242 0 0");
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->pid, 4242);
    EXPECT_EQ(e->state, 'S');
    EXPECT_EQ(e->ppid, 17);
    EXPECT_EQ(e->pgrp, 4242);
    EXPECT_EQ(e->session, 4000);
    EXPECT_EQ(e->name, "my (odd) prog");
    EXPECT_EQ(vellaro::ParseProcStat("7 () Z 1 7 7")->state, 'Z');
    for (const char* bad : {"", "x (a) S 1 2 3", "12 (a) S 1 2", "12 (a)S 1 2 3", "12 a S 1 2 3",
                            "-3 (a) S 1 2 3", "12 (a) S 1x 2 3"})
        EXPECT_FALSE(vellaro::ParseProcStat(bad).has_value()) << bad;
}

TEST(ProcessTree, DescendantsFollowTheChainOfParents) {
    // 10 ─ 11 ─ 12 ─ 13;  10 ─ 14;  20 ─ 21 (not below 10); a loop of reused ids 30 ⇄ 31 below 14.
    std::vector<ProcessEntry> table;
    for (const char* line :
         {"10 (a) S 1 10 10", "11 (a) S 10 11 10", "12 (a) R 11 11 10", "13 (a) Z 12 13 13",
          "14 (a) S 10 14 10", "20 (a) S 1 20 20", "21 (a) S 20 20 20", "30 (a) S 31 30 30",
          "31 (a) S 30 30 30", "32 (a) S 14 32 32"})
        table.push_back(*vellaro::ParseProcStat(line));
    EXPECT_EQ(Pids(vellaro::Descendants(table, 10)), (std::vector<pid_t>{11, 12, 13, 14, 32}));
    EXPECT_EQ(Pids(vellaro::Descendants(table, 12)), (std::vector<pid_t>{13}));
    EXPECT_EQ(Pids(vellaro::Descendants(table, 30)), (std::vector<pid_t>{31}));
    EXPECT_TRUE(vellaro::Descendants(table, 99).empty());
    EXPECT_EQ(vellaro::FindProcess(table, 21)->ppid, 20);
    EXPECT_FALSE(vellaro::FindProcess(table, 99).has_value());
}

TEST(ProcessTree, TheRealTableListsThisProcessWithItsParent) {
    const auto table = vellaro::ReadProcessTable();
    const auto self = vellaro::FindProcess(table, ::getpid());
    ASSERT_TRUE(self.has_value());
    EXPECT_EQ(self->ppid, ::getppid());
    EXPECT_EQ(self->pgrp, ::getpgrp());
    EXPECT_EQ(self->session, ::getsid(0));
    EXPECT_EQ(self->state, 'R');
    EXPECT_EQ(vellaro::ReadProcess(::getpid())->ppid, ::getppid());
    EXPECT_FALSE(vellaro::ReadProcess(0).has_value());
    EXPECT_THAT(Pids(vellaro::Descendants(table, ::getppid())), ::testing::Contains(::getpid()));
}

TEST(ProcessTree, ARunsProcessesAreItsSessionAndWhatCarriesItsMark) {
    using namespace std::string_literals;
    EXPECT_TRUE(vellaro::EnvironmentHolds("A=1\0VELLARO_RUN=ab\0B=2\0"s, "VELLARO_RUN=ab"));
    EXPECT_TRUE(vellaro::EnvironmentHolds("VELLARO_RUN=ab"s, "VELLARO_RUN=ab"));
    for (const std::string& env :
         {"VELLARO_RUN=abc\0"s, "XVELLARO_RUN=ab\0"s, "VELLARO_RUN=a\0"s, ""s})
        EXPECT_FALSE(vellaro::EnvironmentHolds(env, "VELLARO_RUN=ab")) << env;

    // 40 leads the run's session; 41 left it by setsid and kept the mark; 42 holds another
    // run's mark; 43 is a stranger; 44 has ended; 45 (this program) holds the mark.
    vtest::ScratchFolder proc;
    std::vector<ProcessEntry> table;
    for (const auto& [line, env] : std::vector<std::pair<std::string, std::string>>{
             {"40 (sh) S 1 40 40", "VELLARO_RUN=ab\0"s},
             {"46 (java) S 40 46 40", ""},
             {"41 (deaf) S 1 41 41", "PATH=/bin\0VELLARO_RUN=ab\0"s},
             {"42 (other) S 1 42 42", "VELLARO_RUN=cd\0"s},
             {"43 (stranger) S 1 43 43", "HOME=/\0"s},
             {"44 (ended) Z 1 44 40", "VELLARO_RUN=ab\0"s},
             {"45 (self) R 1 45 45", "VELLARO_RUN=ab\0"s}}) {
        table.push_back(*vellaro::ParseProcStat(line));
        std::filesystem::create_directory(proc / std::to_string(table.back().pid));
        vtest::WriteFile(proc / std::to_string(table.back().pid) / "environ", env);
    }
    EXPECT_EQ(Pids(vellaro::RunProcesses(table, 40, "VELLARO_RUN=ab", 45, proc.path())),
              (std::vector<pid_t>{40, 41, 46}));
    EXPECT_EQ(Pids(vellaro::RunProcesses(table, 40, "", 45, proc.path())),
              (std::vector<pid_t>{40, 46}));
    EXPECT_EQ(Pids(vellaro::RunProcesses(table, 0, "VELLARO_RUN=cd", 45, proc.path())),
              (std::vector<pid_t>{42}));
}
