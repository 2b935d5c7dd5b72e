#pragma once
// The enciphered lesson text Java.txt: its stored form, decoding, and the encoder that produces it.
//
// Every byte of a decoded line is stored as two characters of a private 17-character alphabet
// (high nibble first). Before that, the byte is combined by exclusive-or with its 1-based pair
// number k in the line (low 8 bits only) and with the line key (i + 1) mod 32 of the 0-based
// line number i.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/Cp932Text.h"

namespace vellaro {

// Position p (1-based) of a character stands for the hex digit p - 1; the 17th stands for none.
inline constexpr std::string_view kLessonAlphabet = "7KWQBRT925e.c-x+u";
inline constexpr std::string_view kHexDigits = "0123456789ABCDEF";
inline constexpr const char* kLessonFileName = "Java.txt";
// The shipped lesson is about 30 KB. A file beyond this limit (4 MB of text, some hundred
// thousand lines) is not read at all, so that a stray huge or binary file next to the program
// can neither exhaust memory nor stall start-up for seconds while it is decoded and held.
inline constexpr std::size_t kMaxLessonFileBytes = std::size_t(8) << 20;

// The hex digit that one character of the alphabet stands for: "0".."F" for positions 1 to 16,
// "0" for an empty string or a character outside the alphabet, the empty string for the 17th.
std::string CharToHexDigit(std::string_view ch);
// (position of hi in "0123456789ABCDEF" - 1) * 16 + (position of lo - 1), a position being 0
// for a string that does not occur there (the empty string included): so -1 for a missing digit.
std::int32_t HexPairToByte(std::string_view hi, std::string_view lo);

// The key of 0-based line i: (i + 1) mod 32. It advances over empty lines too.
std::uint8_t LessonLineKey(std::size_t lineIndex);

// One stored line to its bytes, with the line key of lineIndex. An odd-length line's missing
// last character counts as digit 0.
Cp932Text DecodeLessonLine(std::string_view encoded, std::size_t lineIndex);
// The inverse: the stored characters for line lineIndex (twice as long).
std::string EncodeLessonLine(const Cp932Text& decoded, std::size_t lineIndex);

// Whether the lesson line list takes a decoded line unchanged. A 0x00 byte would cut the line
// short, and a CR or LF byte would split it into two entries where the lesson counts on exactly
// one per stored line: either marks a damaged or wrongly enciphered file.
bool LessonLineAcceptable(const Cp932Text& decoded);

struct LessonDecodeResult {
    bool damaged = false;
    std::size_t damagedLine = 0; // 0-based index of the refused line when damaged
};

// Clears lines and fills it with one decoded line per stored line, in order. Stops at the first
// line the list refuses; the lines before it stay.
LessonDecodeResult DecodeLessonText(const std::vector<std::string>& encoded, Cp932Lines& lines);

// Splits file contents into lines. CR LF, a lone LF and a lone CR each end a line; a line end
// after the last line does not start a further, empty line.
std::vector<std::string> SplitLessonLines(std::string_view content);

enum class LessonReadStatus {
    Ok,
    Unreadable, // missing, not a regular file, or a read error
    TooLarge,   // larger than kMaxLessonFileBytes
};
// Reads the stored lines of a lesson file into buffer (cleared first; empty on failure).
LessonReadStatus ReadLessonFile(const std::filesystem::path& file,
                                std::vector<std::string>& buffer);

// Whole stored text for decoded lines: each line enciphered with its key and followed by CR LF.
std::string EncodeLessonText(const Cp932Lines& lines);

} // namespace vellaro
