// File-name stems, the class-name rule and number texts: small parsers of what the learner types.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "common/delCommFunc.h"
#include "exercise/ClassName.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // The stem is a leading part of the file name, without folders and dots.
    const std::filesystem::path p(text);
    const std::string stem = vellaro::ExtractNameStem(p);
    const std::string name = p.filename().string();
    FUZZ_CHECK(stem.find('/') == std::string::npos && stem.find('.') == std::string::npos);
    FUZZ_CHECK(name.compare(0, stem.size(), stem) == 0);

    // The accepted class name only ever holds allowed characters, and is the field's text
    // exactly when that text is allowed.
    std::string accepted = "Hello";
    const bool ok = vellaro::ApplyClassNameRule(text, accepted);
    FUZZ_CHECK(vellaro::IsAllowedClassName(accepted));
    FUZZ_CHECK(ok == vellaro::IsAllowedClassName(text));
    FUZZ_CHECK(ok ? accepted == text : accepted == "Hello");

    // TextToInt answers 0 or a value whose decimal text reads back as the same value.
    const std::int32_t v = vellaro::TextToInt(text);
    FUZZ_CHECK(vellaro::TextToInt(vellaro::IntToText(v)) == v);
    const std::string dec = vellaro::IntToText(v);
    FUZZ_CHECK(std::strtoll(dec.c_str(), nullptr, 10) == v);
    return 0;
}
