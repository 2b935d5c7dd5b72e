#pragma once
// Counts the calls to fsync and fdatasync that the program makes: the benchmark defines them, so
// the project's code (linked statically into the benchmark) calls these, which count and pass on
// to the C library's own.
#include <atomic>
#include <dlfcn.h>

namespace vellaro::bench {
inline std::atomic<long> g_syncCalls{0};
} // namespace vellaro::bench

extern "C" int fsync(int fd) {
    using Fn = int (*)(int);
    static const Fn real = reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, "fsync"));
    ++vellaro::bench::g_syncCalls;
    return real(fd);
}

extern "C" int fdatasync(int fd) {
    using Fn = int (*)(int);
    static const Fn real = reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, "fdatasync"));
    ++vellaro::bench::g_syncCalls;
    return real(fd);
}
