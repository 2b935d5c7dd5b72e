#include "trainer/LessonText.h"

#include <array>
#include <utility>

#include "common/AtomicFile.h"

namespace vellaro {

namespace {

// 1-based position of needle in hay, 0 when it does not occur (or is empty).
std::size_t Position(std::string_view needle, std::string_view hay) {
    if (needle.empty())
        return 0;
    const std::size_t at = hay.find(needle);
    return at == std::string_view::npos ? 0 : at + 1;
}

// The digit value of every byte, built from CharToHexDigit and HexPairToByte themselves so that
// the fast decoder cannot drift from the rule.
std::array<std::int8_t, 256> MakeDigitTable() {
    std::array<std::int8_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        const char ch = static_cast<char>(b);
        // HexPairToByte("0", d) is exactly the value of digit d.
        table[static_cast<std::size_t>(b)] =
            static_cast<std::int8_t>(HexPairToByte("0", CharToHexDigit(std::string_view(&ch, 1))));
    }
    return table;
}

const std::array<std::int8_t, 256>& DigitTable() {
    static const std::array<std::int8_t, 256> table = MakeDigitTable();
    return table;
}

} // namespace

std::string CharToHexDigit(std::string_view ch) {
    std::size_t p = Position(ch, kLessonAlphabet);
    if (p > kHexDigits.size())
        return {}; // the 17th character: no digit
    if (p < 1)
        p = 1; // empty, or not in the alphabet: the first digit
    return std::string(1, kHexDigits[p - 1]);
}

std::int32_t HexPairToByte(std::string_view hi, std::string_view lo) {
    const auto h = static_cast<std::int32_t>(Position(hi, kHexDigits));
    const auto l = static_cast<std::int32_t>(Position(lo, kHexDigits));
    return (h - 1) * 16 + (l - 1);
}

std::uint8_t LessonLineKey(std::size_t lineIndex) {
    return static_cast<std::uint8_t>((lineIndex + 1) % 32);
}

Cp932Text DecodeLessonLine(std::string_view encoded, std::size_t lineIndex) {
    const auto& digit = DigitTable();
    const unsigned key = LessonLineKey(lineIndex);
    const std::size_t n = encoded.size();
    std::string out((n + 1) / 2, '\0');
    std::size_t k = 0;
    for (std::size_t q = 0; q < n; q += 2, ++k) {
        const int hi = digit[static_cast<unsigned char>(encoded[q])];
        const int lo = q + 1 < n ? digit[static_cast<unsigned char>(encoded[q + 1])] : 0;
        // v may be negative (a -1 digit); only its low 8 bits reach the byte.
        const unsigned v = static_cast<unsigned>(hi * 16 + lo);
        const unsigned pair = static_cast<unsigned>((k + 1) & 0xFF);
        out[k] = static_cast<char>((v ^ pair ^ key) & 0xFFu);
    }
    return Cp932Text(std::move(out));
}

std::string EncodeLessonLine(const Cp932Text& text, std::size_t lineIndex) {
    const std::string_view decoded = text.bytes();
    const unsigned key = LessonLineKey(lineIndex);
    std::string out;
    out.resize(decoded.size() * 2);
    for (std::size_t k = 0; k < decoded.size(); ++k) {
        const unsigned b = static_cast<unsigned char>(decoded[k]);
        const unsigned v = (b ^ static_cast<unsigned>((k + 1) & 0xFF) ^ key) & 0xFFu;
        out[2 * k] = kLessonAlphabet[v >> 4];
        out[2 * k + 1] = kLessonAlphabet[v & 0x0Fu];
    }
    return out;
}

bool LessonLineAcceptable(const Cp932Text& decoded) {
    return decoded.bytes().find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

LessonDecodeResult DecodeLessonText(const std::vector<std::string>& encoded, Cp932Lines& lines) {
    lines.clear();
    lines.reserve(encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        Cp932Text line = DecodeLessonLine(encoded[i], i);
        if (!LessonLineAcceptable(line))
            return {true, i};
        lines.push_back(std::move(line));
    }
    return {};
}

std::vector<std::string> SplitLessonLines(std::string_view content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    const std::size_t n = content.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = content[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.emplace_back(content.substr(start, i - start));
        if (c == '\r' && i + 1 < n && content[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.emplace_back(content.substr(start));
    return lines;
}

LessonReadStatus ReadLessonFile(const std::filesystem::path& file,
                                std::vector<std::string>& buffer) {
    buffer.clear();
    std::string bytes;
    bool tooLarge = false;
    if (!ReadWholeFile(file, bytes, kMaxLessonFileBytes, &tooLarge))
        return tooLarge ? LessonReadStatus::TooLarge : LessonReadStatus::Unreadable;
    buffer = SplitLessonLines(bytes);
    return LessonReadStatus::Ok;
}

std::string EncodeLessonText(const Cp932Lines& lines) {
    std::string out;
    std::size_t total = 0;
    for (const auto& line : lines)
        total += line.size() * 2 + 2;
    out.reserve(total);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += EncodeLessonLine(lines[i], i);
        out += "\r\n";
    }
    return out;
}

} // namespace vellaro
