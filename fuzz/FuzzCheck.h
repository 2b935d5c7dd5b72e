#pragma once
// A property that fails stops the fuzzer with the message, so the input is kept as a crash.
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__);      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// The plain definition of a whole-text match with "*" (the explanation data's patterns): tried
// at every split, against which the readers' own matching is checked.
inline bool GlobReference(std::string_view p, std::string_view t) {
    std::vector<std::vector<char>> m(p.size() + 1, std::vector<char>(t.size() + 1, 0));
    m[p.size()][t.size()] = 1;
    for (std::size_t i = p.size(); i-- > 0;)
        for (std::size_t j = t.size() + 1; j-- > 0;)
            m[i][j] = p[i] == '*' ? (m[i + 1][j] || (j < t.size() && m[i][j + 1]))
                                  : (j < t.size() && p[i] == t[j] && m[i + 1][j + 1]);
    return m[0][0];
}
