#pragma once
// CP932 lines set beside byte fixtures: the tests write what a file or the compiler holds as
// byte strings, and compare the program's lines by their bytes.
#include <string>
#include <vector>

#include "common/Cp932Text.h"

namespace vtest {

inline std::vector<std::string> Bytes(const vellaro::Cp932Lines& lines) {
    std::vector<std::string> bytes;
    bytes.reserve(lines.size());
    for (const vellaro::Cp932Text& line : lines)
        bytes.push_back(line.bytes());
    return bytes;
}

inline vellaro::Cp932Lines Cp932Of(const std::vector<std::string>& bytes) {
    return vellaro::Cp932Lines(bytes.begin(), bytes.end());
}

} // namespace vtest
