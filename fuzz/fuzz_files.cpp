// Readers of files written by other programs: exercise files and the compiler's capture file.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "common/Cp932.h"
#include "exercise/Compile.h"
#include "exercise/ExerciseFiles.h"

namespace {

// Any text that CP932 holds, written as the exercise writer writes it, reads back as the same
// text (line ends aside, which become LF), taking the CP932 reading where the reader asks.
// Text with NUL is no text: the reader refuses it as binary.
void CheckWrittenTextReadsBack(std::string_view utf8) {
    if (utf8.find('\0') != std::string_view::npos)
        return;
    vellaro::UnencodableChar failure;
    const auto cp932 = vellaro::EncodeTextCp932(utf8, &failure);
    if (!cp932)
        return;
    const vellaro::ExerciseRead read =
        vellaro::ReadExerciseBytes(vellaro::ExerciseFileBytes(cp932->bytes()));
    FUZZ_CHECK(read.status == vellaro::ExerciseReadStatus::Ok);
    FUZZ_CHECK(read.encoding != vellaro::ExerciseEncoding::Utf8);
    FUZZ_CHECK(vellaro::Cp932ToUtf8(read.text) == vellaro::ExerciseTextFromFileBytes(utf8));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The input as the learner's text, and the text of the input read as CP932.
    CheckWrittenTextReadsBack(bytes);
    if (const auto text = vellaro::Cp932ToUtf8(vellaro::Cp932Text(bytes)))
        CheckWrittenTextReadsBack(*text);

    // Reading an exercise file and writing the text again is stable after one round.
    const std::string text = vellaro::ExerciseTextFromFileBytes(bytes);
    FUZZ_CHECK(text.find('\r') == std::string::npos);
    const std::string file = vellaro::ExerciseFileBytes(text);
    FUZZ_CHECK(vellaro::ExerciseTextFromFileBytes(file) == text);
    FUZZ_CHECK(vellaro::ExerciseFileBytes(vellaro::ExerciseTextFromFileBytes(file)) == file);

    // What the exercise reader accepts as CP932 decodes to text that encodes back to CP932 and
    // then decodes to the same text (CP932 has a few duplicate codes, so the bytes may differ).
    if (const auto utf8 = vellaro::Cp932ToUtf8(vellaro::Cp932Text(bytes))) {
        const auto again = vellaro::Utf8ToCp932(*utf8);
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(vellaro::Cp932ToUtf8(*again) == utf8);
    }

    // Capture lines hold no line-end characters and lose no other byte.
    const auto lines = vellaro::SplitCaptureLines(bytes);
    std::size_t kept = 0;
    for (const vellaro::Cp932Text& line : lines) {
        const std::string& l = line.bytes();
        FUZZ_CHECK(l.find('\r') == std::string::npos && l.find('\n') == std::string::npos);
        kept += l.size();
    }
    std::size_t breaks = 0;
    for (char c : bytes)
        breaks += (c == '\r' || c == '\n');
    FUZZ_CHECK(kept + breaks == bytes.size());
    return 0;
}
