#include "common/Cp932.h"

#include <gtest/gtest.h>
#include <stdexcept>

using vellaro::CodecFailure;
using vellaro::Cp932Text;
using vellaro::Cp932ToUtf8;
using vellaro::Cp932ToUtf8Lossy;
using vellaro::Sjis;
using vellaro::Utf8ToCp932;
using namespace vellaro::cp932_literals;

namespace {

void ExpectRoundTrip(const std::string& utf8, std::string_view cp932Bytes) {
    SCOPED_TRACE(utf8);
    const Cp932Text cp932(cp932Bytes);
    const auto encoded = Utf8ToCp932(utf8);
    ASSERT_TRUE(encoded.has_value());
    EXPECT_EQ(*encoded, cp932);
    const auto decoded = Cp932ToUtf8(cp932);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, utf8);
}

void ExpectEncodeRefused(const std::string& utf8, std::size_t offset) {
    SCOPED_TRACE(utf8);
    CodecFailure failure;
    failure.offset = 999;
    EXPECT_FALSE(Utf8ToCp932(utf8, &failure).has_value());
    EXPECT_EQ(failure.offset, offset);
}

void ExpectDecodeRefused(std::string_view cp932Bytes, std::size_t offset) {
    CodecFailure failure;
    failure.offset = 999;
    EXPECT_FALSE(Cp932ToUtf8(Cp932Text(cp932Bytes), &failure).has_value());
    EXPECT_EQ(failure.offset, offset);
}

} // namespace

TEST(Cp932, RoundTripsVendorCharactersKanaAndAscii) {
    // Characters that strict Shift-JIS refuses but the code page holds.
    ExpectRoundTrip("～", "\x81\x60");
    ExpectRoundTrip("①", "\x87\x40");
    ExpectRoundTrip("髙", "\xFB\xFC");
    ExpectRoundTrip("ＭＳ ゴシック", "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E");
    // Half-width katakana are single bytes.
    ExpectRoundTrip("ｱｲｳﾞ", "\xB1\xB2\xB3\xDE");
    // Backslash and tilde stay ASCII, so paths and Java sources keep them.
    ExpectRoundTrip("C:\\a~b", "C:\\a~b");
    ExpectRoundTrip("", "");
}

TEST(Cp932, EncodingRefusesWhatHasNoFormWithItsOffset) {
    ExpectEncodeRefused("ab😀c", 2);
    ExpectEncodeRefused("é", 0);
    // Invalid UTF-8: a stray byte, a truncated sequence, an encoded surrogate, an overlong form.
    ExpectEncodeRefused("ab\xFF", 2);
    ExpectEncodeRefused("a\xE3\x81", 1);
    ExpectEncodeRefused("\xED\xA0\x80", 0);
    ExpectEncodeRefused("x\xC0\xAF", 1);
    // The table would turn these into "\" and "~", which read back as other characters.
    ExpectEncodeRefused("ア¥", 3);
    ExpectEncodeRefused("a‾", 1);
}

TEST(Cp932, LookAlikesOfTheTableAreRefusedNotReplaced) {
    // The table would write these as ～ － ― ∥ ￠ ￡ ￢: another character than the text holds.
    ExpectEncodeRefused("1〜3", 1);
    ExpectEncodeRefused("x = 1 − 2", 6);
    for (const char* c : {"—", "‖", "¢", "£", "¬"})
        ExpectEncodeRefused(c, 0);
    // Their look-alikes themselves are CP932 characters.
    ExpectRoundTrip("～－―∥￠￡￢", "\x81\x60\x81\x7C\x81\x5C\x81\x61\x81\x91\x81\x92\x81\xCA");
}

// Every character of the Basic Multilingual Plane either comes back from CP932 as itself or is
// refused. (The wave dash is among the refused ones; the editor and the console turn it into the
// full-width tilde before any text reaches the codec.)
TEST(Cp932, EveryBmpCharacterRoundTripsOrIsRefused) {
    std::size_t held = 0;
    for (char32_t cp = 0; cp <= 0xFFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        std::string utf8;
        if (cp < 0x80) {
            utf8 += static_cast<char>(cp);
        } else if (cp < 0x800) {
            utf8 += static_cast<char>(0xC0 | (cp >> 6));
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | (cp >> 12));
            utf8 += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (cp & 0x3F));
        }
        const auto encoded = Utf8ToCp932(utf8);
        if (!encoded)
            continue;
        ++held;
        const auto decoded = Cp932ToUtf8(*encoded);
        ASSERT_TRUE(decoded.has_value()) << std::hex << static_cast<unsigned>(cp);
        ASSERT_EQ(*decoded, utf8) << std::hex << static_cast<unsigned>(cp);
    }
    EXPECT_FALSE(Utf8ToCp932("〜").has_value());
    EXPECT_EQ(Utf8ToCp932("～"), "\x81\x60"_cp932);
    // ASCII, the kana, the kanji of JIS X 0208, the vendor rows and the user area (about 9400).
    EXPECT_GT(held, 9000u);
}

TEST(Cp932, DecodingRefusesInvalidBytesWithTheirOffset) {
    ExpectDecodeRefused("a\x82", 1); // lone lead byte at the end
    ExpectDecodeRefused("ab\x80", 2);
    ExpectDecodeRefused("\x88\x9F\xFF", 2);
    ExpectDecodeRefused("\x81\x20", 0); // lead byte followed by a byte that is no trail byte
}

TEST(Cp932, LossyDecodingReplacesOnlyTheDamagedBytes) {
    EXPECT_EQ(Cp932ToUtf8Lossy("x\xFFy\x88\x9F"_cp932), "x\xEF\xBF\xBDy亜");
    EXPECT_EQ(Cp932ToUtf8Lossy("ok\x82"_cp932), "ok\xEF\xBF\xBD");
    // A damaged lead byte must not swallow the character after it.
    EXPECT_EQ(Cp932ToUtf8Lossy("\x81 A"_cp932), "\xEF\xBF\xBD A");
    EXPECT_EQ(Cp932ToUtf8Lossy("\x83\x41"_cp932), "ア");
}

TEST(Cp932, SjisConvertsFixedTextsAndRejectsImpossibleOnes) {
    EXPECT_EQ(Sjis("登　録"), "\x93\x6F\x81\x40\x98\x5E"_cp932);
    EXPECT_THROW(Sjis("😀"), std::invalid_argument);
}
