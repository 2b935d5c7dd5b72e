// The process table read from /proc, and the descendants of a process.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

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
