#pragma once
// Compiling real sources with the JDK's javac through the real shell, as the compile page does:
// a folder test with its own current folder, and a runner that starts the command.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "../common/CommonTestSupport.h"
#include "common/Cp932.h"
#include "exercise/Compile.h"
#include "exercise/ExerciseFiles.h"
#include "exercise/JavaComp.h"

extern char** environ;

namespace vellaro::test {

// Starts a command's words as the program does (the first the program, the rest its arguments)
// with the test's environment changed by `overrides` ("NAME=value"; "NAME=" alone unsets).
// With a limit (0: none), a command still running after it is killed with its process group and
// the answer is -1; *overran (when given) tells so.
inline int SpawnAndWait(const std::vector<std::string>& words,
                        const std::vector<std::string>& overrides = {},
                        std::chrono::milliseconds limit = {}, bool* overran = nullptr) {
    std::vector<char*> argv;
    for (const std::string& w : words)
        argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& o : overrides)
            replaced = replaced || entry.compare(0, o.find('=') + 1, o, 0, o.find('=') + 1) == 0;
        if (!replaced)
            env.push_back(entry);
    }
    for (const std::string& o : overrides)
        if (o.back() != '=')
            env.push_back(o);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    const int spawned =
        ::posix_spawnp(&pid, argv[0], nullptr, &attributes, argv.data(), envp.data());
    ::posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return -1;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (limit.count() > 0 && ::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            if (overran)
                *overran = true;
            return -1;
        }
        ::usleep(5000);
    }
    if (limit.count() <= 0 && ::waitpid(pid, &status, 0) != pid)
        return -1;
    // As the program's runner reports it: a command killed by a signal ends with 128 + signal.
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class JavacFolderTest : public FolderTest {
  protected:
    void SetUp() override {
        FolderTest::SetUp();
        m_savedCwd = fs::current_path();
        fs::create_directories(scratch / "work");
        fs::current_path(scratch / "work");
    }
    void TearDown() override { fs::current_path(m_savedCwd); }

    // Writes <name>.java from the learner's statements (UTF-8 here, CP932 in the file).
    void WriteSource(const std::string& name, const std::vector<std::string>& statements) {
        std::ofstream out(scratch / "work" / (name + ".java"), std::ios::binary);
        out << vellaro::JavaFileBytes(
            vellaro::SjisLines(vellaro::MakeJavaSource(name, statements)));
    }

    // Compiles as the compile page does, the archive's watchdog included.
    vellaro::Cp932Lines Compile(const std::string& name, const std::vector<std::string>& env = {}) {
        const auto outcome = vellaro::CompileSource(
            name, [&](const vellaro::Command& command, std::chrono::milliseconds limit) {
                bool overran = false;
                const int status = SpawnAndWait(command.argv, env, limit, &overran);
                return vellaro::CommandResult{status, overran ? vellaro::CommandEnd::Overran
                                                              : vellaro::CommandEnd::ByItself};
            });
        EXPECT_FALSE(outcome.classNameMissing);
        return outcome.lines;
    }

    fs::path m_savedCwd;
};

} // namespace vellaro::test
