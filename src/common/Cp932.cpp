#include "common/Cp932.h"

#include <algorithm>
#include <ostream>
#include <stdexcept>
#include <utility>

#include "common/Platform.h"

namespace vellaro {

namespace {

// The table maps nine characters onto codes that decode to other characters: U+00A5 YEN SIGN
// and U+203E OVERLINE onto "\" and "~", and seven onto their full-width look-alikes (U+301C WAVE
// DASH onto ～, U+2212 MINUS SIGN onto －, U+2014 EM DASH onto ―, U+2016 onto ∥, ¢ £ ¬ onto ￠ ￡
// ￢). The file would then hold another character than the text shows, so a character counts as
// having a CP932 form only if its code decodes to it again. Returns the offset of the first
// character that does not.
std::size_t FindChangedCharacter(std::string_view utf8) {
    std::string one;
    std::string back;
    std::size_t dummy = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t len =
            std::min(Utf8SequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        const std::string_view ch = utf8.substr(i, len);
        if (len > 1 && (!platform::SystemUtf8ToCp932(ch, one, dummy) ||
                        !platform::SystemCp932ToUtf8(one, back, dummy) || back != ch))
            return i;
        i += len;
    }
    return 0;
}

} // namespace

std::ostream& operator<<(std::ostream& out, const Cp932Text& text) {
    return out << text.bytes();
}

std::optional<std::string> Cp932ToUtf8(const Cp932Text& cp932, CodecFailure* failure) {
    std::string out;
    std::size_t failedAt = 0;
    if (!platform::SystemCp932ToUtf8(cp932.bytes(), out, failedAt)) {
        if (failure)
            failure->offset = failedAt;
        return std::nullopt;
    }
    return out;
}

std::optional<Cp932Text> Utf8ToCp932(std::string_view utf8, CodecFailure* failure) {
    std::string out;
    std::size_t failedAt = 0;
    if (!platform::SystemUtf8ToCp932(utf8, out, failedAt)) {
        if (failure)
            failure->offset = failedAt;
        return std::nullopt;
    }
    std::string back;
    if (!platform::SystemCp932ToUtf8(out, back, failedAt) || back != utf8) {
        if (failure)
            failure->offset = FindChangedCharacter(utf8);
        return std::nullopt;
    }
    return Cp932Text(std::move(out));
}

std::string Cp932ToUtf8Lossy(const Cp932Text& text) {
    std::string_view cp932 = text.bytes();
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD
    std::string result;
    std::string part;
    while (!cp932.empty()) {
        std::size_t failedAt = 0;
        if (platform::SystemCp932ToUtf8(cp932, part, failedAt)) {
            result += part;
            break;
        }
        // Keep what decoded before the bad byte, replace that one byte and go on after it, so
        // that a damaged lead byte does not swallow the character that follows it.
        result += part;
        result += kReplacement;
        cp932.remove_prefix(failedAt + 1);
    }
    return result;
}

Cp932Text Sjis(std::string_view utf8) {
    auto out = Utf8ToCp932(utf8);
    if (!out)
        throw std::invalid_argument("fixed text without a CP932 form: " + std::string(utf8));
    return *out;
}

Cp932Lines SjisLines(const std::vector<std::string>& utf8) {
    Cp932Lines lines;
    lines.reserve(utf8.size());
    for (const std::string& line : utf8)
        lines.push_back(Sjis(line));
    return lines;
}

std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

} // namespace vellaro
