// lessonenc: builds the enciphered lesson text Java.txt from its readable source.
//
//   lessonenc SOURCE OUTPUT            UTF-8 text -> CP932 -> enciphered lines, CR LF after each
//                                      (the source's marks, lines beginning with "#", are left out)
//   lessonenc --decode JAVA_TXT OUTPUT enciphered file -> the UTF-8 text it holds
//
// Every source line must have a CP932 form and must not hold a byte that the program's decoder
// refuses (0x00); the tool names the first offending line and fails rather than ship a lesson
// that the program would reject as damaged.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Cp932.h"
#include "trainer/LessonSource.h"
#include "trainer/LessonText.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "lessonenc: %s\n", message.c_str());
    return 1;
}

int Encode(const std::string& source, const std::string& output) {
    std::string text;
    if (!vellaro::ReadWholeFile(source, text))
        return Fail("cannot read " + source);
    const vellaro::LessonSource parsed = vellaro::ParseLessonSource(text);
    if (!parsed.error.empty())
        return Fail(source + ": " + parsed.error);
    const std::vector<std::string>& utf8 = parsed.lines;
    vellaro::Cp932Lines lines;
    lines.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const std::string where = source + ": lesson line " + std::to_string(i + 1) + ": ";
        vellaro::CodecFailure failure;
        auto cp932 = vellaro::Utf8ToCp932(utf8[i], &failure);
        if (!cp932)
            return Fail(where + "no CP932 form for the character at byte " +
                        std::to_string(failure.offset + 1));
        if (!vellaro::LessonLineAcceptable(*cp932))
            return Fail(where + "holds a byte that marks a damaged lesson (NUL)");
        lines.push_back(std::move(*cp932));
    }
    std::string error;
    if (!vellaro::AtomicWriteFile(output, vellaro::EncodeLessonText(lines), &error))
        return Fail("cannot write " + output + ": " + error);
    return 0;
}

int Decode(const std::string& input, const std::string& output) {
    std::vector<std::string> encoded;
    if (vellaro::ReadLessonFile(input, encoded) != vellaro::LessonReadStatus::Ok)
        return Fail("cannot read " + input);
    vellaro::Cp932Lines lines;
    const auto result = vellaro::DecodeLessonText(encoded, lines);
    std::string text;
    for (const auto& line : lines) {
        text += vellaro::Cp932ToUtf8Lossy(line);
        text += '\n';
    }
    std::string error;
    if (!vellaro::AtomicWriteFile(output, text, &error))
        return Fail("cannot write " + output + ": " + error);
    if (result.damaged)
        return Fail(input + ":" + std::to_string(result.damagedLine + 1) + ": damaged line");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 2 && !args[0].starts_with("-"))
        return Encode(std::string(args[0]), std::string(args[1]));
    if (args.size() == 3 && args[0] == "--decode")
        return Decode(std::string(args[1]), std::string(args[2]));
    std::fprintf(stderr, "usage: lessonenc SOURCE OUTPUT\n"
                         "       lessonenc --decode JAVA_TXT OUTPUT\n");
    return 2;
}
