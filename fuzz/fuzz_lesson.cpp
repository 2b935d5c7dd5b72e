// The lesson decoder gives one entry per stored line up to the first damaged one, and the
// encoder is its exact inverse on what it accepted.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "trainer/LessonText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> stored = vellaro::SplitLessonLines(bytes);
    for (const auto& line : stored)
        FUZZ_CHECK(line.find('\n') == std::string::npos && line.find('\r') == std::string::npos);

    vellaro::Cp932Lines lines;
    const vellaro::LessonDecodeResult r = vellaro::DecodeLessonText(stored, lines);
    if (r.damaged) {
        FUZZ_CHECK(r.damagedLine < stored.size());
        FUZZ_CHECK(lines.size() == r.damagedLine);
    } else {
        FUZZ_CHECK(lines.size() == stored.size());
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        FUZZ_CHECK(vellaro::LessonLineAcceptable(lines[i]));
        FUZZ_CHECK(vellaro::DecodeLessonLine(vellaro::EncodeLessonLine(lines[i], i), i) ==
                   lines[i]);
    }
    vellaro::Cp932Lines again;
    const auto r2 = vellaro::DecodeLessonText(
        vellaro::SplitLessonLines(vellaro::EncodeLessonText(lines)), again);
    FUZZ_CHECK(!r2.damaged && again == lines);
    return 0;
}
