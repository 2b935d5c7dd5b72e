#pragma once
// Kills a writer process at random moments and checks what it left on disk after each kill.
#include <csignal>
#include <functional>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace vellaro::testing {

// Forks `kills` times; each child runs `writeForever` (it never returns) and is killed with
// SIGKILL after a random delay of up to maxDelayUs, then `check` judges the files. Returns the
// number of kills that landed while the child was still running.
inline int KillWhileWriting(int kills, unsigned maxDelayUs,
                            const std::function<void()>& writeForever,
                            const std::function<void(int round)>& check) {
    std::mt19937 rng(20261208);
    int landed = 0;
    for (int i = 0; i < kills; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            writeForever();
            ::_exit(0);
        }
        if (pid < 0)
            return landed;
        // The delay is where the kill lands, not a wait for a result.
        ::usleep(rng() % maxDelayUs);
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            ++landed;
        check(i);
    }
    return landed;
}

} // namespace vellaro::testing
