// Whatever the INI reader accepts, writing it back and reading it again gives the same values.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "settings/IniFile.h"

namespace {
const char* const kKeys[] = {
    "spFontSize",    "spFontName",    "FontName",     "FontSize",    "FontColor",   "PathSrc",
    "YokoSize",      "TateSize",      "YokoPos",      "TatePos",     "Level",       "LevelTextBas",
    "LevelTextJava", "JavaReadCount", "BasreadCount", "SwSpeedRead", "SwSpeedText", "SpeedDisp"};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::optional<vellaro::Cp932Text>> first;
    for (const char* k : kKeys) {
        auto v = vellaro::IniLookup(bytes, "Bas", k);
        if (v) {
            const std::string& value = v->bytes();
            FUZZ_CHECK(value.size() <= 2047);
            FUZZ_CHECK(value.find('\n') == std::string::npos &&
                       value.find('\r') == std::string::npos);
        }
        first.push_back(std::move(v));
    }

    // Written into the same bytes (in place) and into a fresh file, every value reads back.
    std::string inPlace(bytes);
    std::string fresh;
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (!first[i])
            continue;
        auto a = vellaro::IniWithValue(inPlace, "Bas", kKeys[i], *first[i]);
        auto b = vellaro::IniWithValue(fresh, "Bas", kKeys[i], *first[i]);
        if (first[i]->bytes().find('\0') != std::string::npos) {
            FUZZ_CHECK(!a && !b); // refused, never written torn
            continue;
        }
        FUZZ_CHECK(a && b);
        inPlace = *a;
        fresh = *b;
    }
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (!first[i] || first[i]->bytes().find('\0') != std::string::npos)
            continue;
        FUZZ_CHECK(vellaro::IniLookup(fresh, "Bas", kKeys[i]) == first[i]);
        FUZZ_CHECK(vellaro::IniLookup(inPlace, "Bas", kKeys[i]) == first[i]);
        const auto n = vellaro::IniParseInteger(first[i]->bytes());
        if (n) {
            const auto back = vellaro::IniParseInteger(std::to_string(*n));
            FUZZ_CHECK(back && *back == *n);
        }
    }
    return 0;
}
