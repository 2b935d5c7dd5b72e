// Decoding of the enciphered lesson text. The literal fixtures below were worked out by hand from
// the alphabet "7KWQBRT925e.c-x+u" (7=0, K=1, W=2, Q=3, B=4, R=5, ..., x=E, +=F, u=no digit),
// so an encoder and decoder sharing one mistake cannot pass them together.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h> // mkfifo
#endif

#include "Scratch.h"
#include "TextBytes.h"
#include "common/AtomicFile.h"
#include "common/Cp932.h"
#include "trainer/LessonSource.h"
#include "trainer/LessonText.h"

namespace fs = std::filesystem;
using namespace vellaro;

namespace {

using vtest::Bytes;
using vtest::Cp932Of;

// The decoded lines' bytes.
std::vector<std::string> Decode(const std::vector<std::string>& encoded,
                                LessonDecodeResult* result = nullptr) {
    Cp932Lines lines{Cp932Text("left over from an earlier load")};
    const LessonDecodeResult r = DecodeLessonText(encoded, lines);
    if (result)
        *result = r;
    return Bytes(lines);
}

// The decoding steps exactly as stated, one character string at a time: the fast decoder must
// agree with it for any input.
std::string ReferenceDecodeLine(const std::string& line, std::size_t i) {
    const int c = static_cast<int>((i + 1) % 32);
    std::string out;
    int k = 0;
    std::size_t q = 1;
    do {
        const std::string hi = CharToHexDigit(line.substr(q - 1, 1));
        const std::string lo = CharToHexDigit(q < line.size() ? line.substr(q, 1) : "");
        q += 2;
        ++k;
        const int v = HexPairToByte(hi, lo);
        out += static_cast<char>((v ^ (k & 0xFF) ^ c) & 0xFF);
    } while (q <= line.size());
    return out;
}

// Writes a file of the scratch folder, and names it.
fs::path Written(const vtest::ScratchFolder& dir, const std::string& name,
                 const std::string& bytes) {
    vtest::WriteFile(dir / name, bytes);
    return dir / name;
}

// Lines worked out by hand, both ways: the first line has key 1, so the pair for 4,1 gives 0x41
// as pair 1 and 0x42 as pair 2; line 30 uses key 31 (0x5F ^ 1 ^ 0x1F), line 31 key 0
// (0x40 ^ 1 ^ 0), line 32 key 1 again (0x41 ^ 1 ^ 1).
struct HandWorked {
    const char* decoded;
    std::size_t line;
    const char* encoded;
};
constexpr HandWorked kHandWorked[] = {
    {"AA", 0, "BKBW"}, {"AB", 0, "BKBK"}, {"A", 30, "R+"}, {"A", 31, "B7"}, {"A", 32, "BK"}};

} // namespace

TEST(CharToHexDigit, MapsAlphabetPositionsToDigits) {
    // The 17th character stands for no digit; foreign and missing characters for the first.
    const char* const digits[][2] = {{"7", "0"}, {"K", "1"}, {"B", "4"}, {"5", "9"}, {"e", "A"},
                                     {"+", "F"}, {"u", ""},  {"Z", "0"}, {"0", "0"}, {"", "0"}};
    for (const auto& [character, digit] : digits)
        EXPECT_EQ(CharToHexDigit(character), digit) << character;
    EXPECT_EQ(CharToHexDigit(std::string(1, '\0')), "0");
}

TEST(HexPairToByte, CountsAMissingDigitAsMinusOne) {
    EXPECT_EQ(HexPairToByte("4", "1"), 0x41);
    EXPECT_EQ(HexPairToByte("F", "F"), 0xFF);
    EXPECT_EQ(HexPairToByte("4", ""), 0x3F);
    EXPECT_EQ(HexPairToByte("", "1"), -15);
    EXPECT_EQ(HexPairToByte("", ""), -17);
    EXPECT_EQ(HexPairToByte("G", "0"), -16);
}

TEST(DecodeLessonLine, HandWorkedFixtures) {
    for (const HandWorked& h : kHandWorked)
        EXPECT_EQ(DecodeLessonLine(h.encoded, h.line).bytes(), h.decoded) << h.encoded;
    // On the first line: odd length, the last pair "B" + missing low digit = 0x40, ^ 2 ^ 1 =
    // 0x43; characters outside the alphabet count as digit 0 (0x40 ^ 1 ^ 1); the 17th character
    // counts as -1 (4*16-1 = 0x3F; -16+1 = -15 -> 0xF1; -17 -> 0xEF).
    const char* const firstLine[][2] = {{"BKB", "AC"}, {"B3", "@"},    {"BZ", "@"},
                                        {"Bu", "?"},   {"uK", "\xF1"}, {"uu", "\xEF"}};
    for (const auto& [encoded, decoded] : firstLine)
        EXPECT_EQ(DecodeLessonLine(encoded, 0).bytes(), decoded) << encoded;
    EXPECT_EQ(DecodeLessonLine("", 5).bytes(), "");
}

TEST(DecodeLessonLine, OnlyTheLowEightBitsOfThePairNumberTakePart) {
    std::string line;
    for (int k = 1; k <= 257; ++k)
        line += "BK"; // 0x41 in every pair
    const std::string out = DecodeLessonLine(line, 0).bytes();
    ASSERT_EQ(out.size(), 257u);
    EXPECT_EQ(out[0], 'A'); // 0x41 ^ 1 ^ 1
    EXPECT_EQ(out[1], 'B'); // 0x41 ^ 2 ^ 1
    EXPECT_EQ(static_cast<unsigned char>(out[254]), 0x41u ^ 255u ^ 1u);
    EXPECT_EQ(out[255], '@'); // pair 256 combines with 0
    EXPECT_EQ(out[256], 'A'); // pair 257 with 1
}

TEST(EncodeLessonLine, HandWorkedFixtures) {
    for (const HandWorked& h : kHandWorked)
        EXPECT_EQ(EncodeLessonLine(Cp932Text(h.decoded), h.line), h.encoded) << h.decoded;
    EXPECT_EQ(EncodeLessonText(Cp932Of({"AA", "", "A"})),
              "BKBW\r\n\r\nBQ\r\n"); // line 2: 0x41^1^3 = 0x43
}

TEST(DecodeLessonLine, AgreesWithTheStepByStepRuleOnAnyInput) {
    std::mt19937 rng(20240601);
    const std::string pool = std::string(kLessonAlphabet) + "Z3a \t~";
    for (int round = 0; round < 2000; ++round) {
        const std::size_t len = 1 + rng() % 40;
        std::string line;
        for (std::size_t j = 0; j < len; ++j)
            line += pool[rng() % pool.size()];
        const std::size_t i = rng() % 70;
        ASSERT_EQ(DecodeLessonLine(line, i).bytes(), ReferenceDecodeLine(line, i))
            << line << " @" << i;
    }
}

TEST(DecodeLessonText, KeyAdvancesOverEmptyLinesAndCyclesAt32) {
    std::vector<std::string> encoded(30); // lines 0..29 empty
    encoded.push_back("R+");              // line 30, key 31
    encoded.push_back("B7");              // line 31, key 0
    encoded.push_back("BK");              // line 32, key 1
    LessonDecodeResult r;
    const auto lines = Decode(encoded, &r);
    EXPECT_FALSE(r.damaged);
    ASSERT_EQ(lines.size(), 33u);
    for (std::size_t i = 0; i < 30; ++i)
        EXPECT_EQ(lines[i], "");
    EXPECT_EQ(lines[30], "A");
    EXPECT_EQ(lines[31], "A");
    EXPECT_EQ(lines[32], "A");
}

TEST(DecodeLessonText, RefusesNulCrAndLfAndKeepsTheLinesBefore) {
    LessonDecodeResult r;
    // Line 1 (key 2): 0x03 ^ 1 ^ 2 = 0x00. Decoding stops there.
    auto lines = Decode({"BK", "7Q", "BK"}, &r);
    EXPECT_TRUE(r.damaged);
    EXPECT_EQ(r.damagedLine, 1u);
    EXPECT_EQ(lines, std::vector<std::string>{"A"});

    // A NUL in the middle of a line refuses the line rather than shortening it:
    // pair 2 of line 0 is 0x03 ^ 2 ^ 1 = 0x00.
    lines = Decode({"BK7Q"}, &r);
    EXPECT_TRUE(r.damaged);
    EXPECT_TRUE(lines.empty());

    // CR (line 0: 0x0D ^ 1 ^ 1) and LF (line 1: 0x09 ^ 1 ^ 2) would break the rule of one
    // list entry per stored line.
    lines = Decode({"7-"}, &r);
    EXPECT_TRUE(r.damaged);
    EXPECT_EQ(r.damagedLine, 0u);
    lines = Decode({"BKBW", "75"}, &r);
    EXPECT_TRUE(r.damaged);
    EXPECT_EQ(r.damagedLine, 1u);
    EXPECT_EQ(lines, std::vector<std::string>{"AA"});

    // Other control bytes are text like any other: line 1 0x0B ^ 1 ^ 2 = 0x08; the pair that
    // was LF on line 1 is VT on line 2 (0x09 ^ 1 ^ 3 = 0x0B).
    lines = Decode({"BKBW", "7.", "75"}, &r);
    EXPECT_FALSE(r.damaged);
    EXPECT_EQ(lines, (std::vector<std::string>{"AA", "\x08", "\x0B"}));
}

TEST(DecodeLessonText, EmptyBufferGivesEmptyList) {
    LessonDecodeResult r;
    EXPECT_TRUE(Decode({}, &r).empty());
    EXPECT_FALSE(r.damaged);
}

TEST(LessonCodec, EncoderAndDecoderAreExactInversesOverRandomCp932Text) {
    std::mt19937 rng(77);
    auto randomChar = [&](std::string& s) {
        switch (rng() % 5) {
        case 0: // ASCII (TAB included, no CR/LF/NUL)
            s += static_cast<char>(rng() % 2 ? '\t' : 0x20 + rng() % 0x5F);
            break;
        case 1: // half-width katakana
            s += static_cast<char>(0xA1 + rng() % (0xDF - 0xA1 + 1));
            break;
        default: { // double-byte: lead 81-9F / E0-FC, trail 40-7E / 80-FC
            const unsigned lead = rng() % 2 ? 0x81 + rng() % 0x1F : 0xE0 + rng() % 0x1D;
            const unsigned t = rng() % (0x3F + 0x7D);
            const unsigned trail = t < 0x3F ? 0x40 + t : 0x80 + (t - 0x3F);
            s += static_cast<char>(lead);
            s += static_cast<char>(trail);
        }
        }
    };
    std::vector<std::string> lines;
    for (int i = 0; i < 300; ++i) {
        std::string line;
        const int n = rng() % 7 == 0 ? 0 : static_cast<int>(rng() % 300);
        for (int j = 0; j < n; ++j)
            randomChar(line);
        lines.push_back(line);
    }
    const std::string file = EncodeLessonText(Cp932Of(lines));
    LessonDecodeResult r;
    EXPECT_EQ(Decode(SplitLessonLines(file), &r), lines);
    EXPECT_FALSE(r.damaged);

    // Every byte value at every pair position and key survives the round trip line by line.
    std::string all;
    for (int b = 0; b < 256 * 2; ++b)
        all += static_cast<char>(b & 0xFF);
    for (std::size_t i = 0; i < 64; ++i)
        ASSERT_EQ(DecodeLessonLine(EncodeLessonLine(Cp932Text(all), i), i).bytes(), all) << i;
}

TEST(SplitLessonLines, LineEnds) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitLessonLines(""), V{});
    EXPECT_EQ(SplitLessonLines("a\r\nb"), (V{"a", "b"}));
    EXPECT_EQ(SplitLessonLines("a\r\nb\r\n"), (V{"a", "b"}));
    EXPECT_EQ(SplitLessonLines("a\r\n\r\nb"), (V{"a", "", "b"}));
    EXPECT_EQ(SplitLessonLines("a\nb\rc"), (V{"a", "b", "c"}));
    EXPECT_EQ(SplitLessonLines("\r\n"), (V{""}));
}

TEST(ReadLessonFile, ReadsLinesAndReportsFailures) {
    vtest::ScratchFolder dir;
    std::vector<std::string> buffer{"stale"};

    EXPECT_EQ(ReadLessonFile(Written(dir, "a.txt", "BKBW\r\n\r\nBK"), buffer),
              LessonReadStatus::Ok);
    EXPECT_EQ(buffer, (std::vector<std::string>{"BKBW", "", "BK"}));
    EXPECT_EQ(Decode(buffer), (std::vector<std::string>{"AA", "", "C"})); // line 2: 0x41 ^ 1 ^ 3

    EXPECT_EQ(ReadLessonFile(Written(dir, "empty.txt", ""), buffer), LessonReadStatus::Ok);
    EXPECT_TRUE(buffer.empty());

    buffer = {"stale"};
    EXPECT_EQ(ReadLessonFile(dir.path() / "missing.txt", buffer), LessonReadStatus::Unreadable);
    EXPECT_TRUE(buffer.empty());

    fs::create_directory(dir.path() / "folder.txt");
    EXPECT_EQ(ReadLessonFile(dir.path() / "folder.txt", buffer), LessonReadStatus::Unreadable);

#ifndef _WIN32
    // A FIFO must not block the read.
    const fs::path fifo = dir.path() / "fifo.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadLessonFile(fifo, buffer), LessonReadStatus::Unreadable);
#endif

    // A huge file is not read at all (sparse, so the test stays cheap).
    const fs::path huge = Written(dir, "huge.txt", "");
    fs::resize_file(huge, kMaxLessonFileBytes + 1);
    buffer = {"stale"};
    EXPECT_EQ(ReadLessonFile(huge, buffer), LessonReadStatus::TooLarge);
    EXPECT_TRUE(buffer.empty());
}

TEST(ReadLessonFile, BinaryGarbageIsRefusedAsDamaged) {
    vtest::ScratchFolder dir;
    std::string garbage;
    std::mt19937 rng(5);
    for (int i = 0; i < 100000; ++i)
        garbage += static_cast<char>(rng() & 0xFF);
    std::vector<std::string> buffer;
    ASSERT_EQ(ReadLessonFile(Written(dir, "bin.txt", garbage), buffer), LessonReadStatus::Ok);
    Cp932Lines lines;
    EXPECT_TRUE(DecodeLessonText(buffer, lines).damaged);
}

TEST(ShippedLesson, JavaTxtDecodesToTheLessonSource) {
    const fs::path shipped = fs::path(VELLARO_BUILD_DIR) / kLessonFileName;
    std::vector<std::string> encoded;
    ASSERT_EQ(ReadLessonFile(shipped, encoded), LessonReadStatus::Ok)
        << shipped << " is built by the lesson_text target";
    Cp932Lines lines;
    ASSERT_FALSE(DecodeLessonText(encoded, lines).damaged);
    EXPECT_GE(lines.size(), 300u);

    std::string source;
    ASSERT_TRUE(ReadWholeFile(fs::path(VELLARO_TEST_DATA).parent_path().parent_path() /
                                  "resources" / "lesson" / "lesson.txt",
                              source));
    const std::vector<std::string> utf8 = LessonLinesOf(source); // the marks left out
    ASSERT_EQ(utf8.size(), lines.size());
    std::size_t tabLines = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(Utf8ToCp932(utf8[i]).value_or(Cp932Text("?")), lines[i]) << "line " << i + 1;
        tabLines += !lines[i].empty() && lines[i].bytes()[0] == '\t';
    }
    EXPECT_GT(tabLines, 10u);
}

#ifndef _WIN32 // runs the build's own tool through the shell
TEST(LessonEncoderTool, EncodesUtf8SourceAndRefusesWhatCp932CannotHold) {
    const fs::path tool = fs::path(VELLARO_BUILD_DIR) / "tools" / "lessonenc";
    ASSERT_TRUE(fs::exists(tool)) << tool << " is built by the lessonenc target";
    vtest::ScratchFolder dir;
    auto run = [&](const std::string& args) {
        return std::system((tool.string() + " " + args + " 2>/dev/null").c_str());
    };

    // A byte-order mark is dropped; LF or CR LF line ends; a TAB line; full-width and ～ ① 髙.
    const fs::path good = Written(dir, "good.txt",
                                  "\xEF\xBB\xBF"
                                  "AA\n\t変数\r\n\nＪａｖａ～①髙\n");
    ASSERT_EQ(run(good.string() + " " + (dir.path() / "Java.txt").string()), 0);
    std::string stored;
    ASSERT_TRUE(ReadWholeFile(dir.path() / "Java.txt", stored));
    EXPECT_TRUE(stored.starts_with("BKBW\r\n")); // the hand-worked first line
    EXPECT_TRUE(stored.ends_with("\r\n"));
    Cp932Lines lines;
    EXPECT_FALSE(DecodeLessonText(SplitLessonLines(stored), lines).damaged);
    EXPECT_EQ(lines, (Cp932Lines{Cp932Text("AA"), *Utf8ToCp932("\t変数"), Cp932Text(),
                                 *Utf8ToCp932("Ｊａｖａ～①髙")}));

    // A character without a CP932 form, or a NUL, fails the build of the lesson; nothing is
    // written.
    const fs::path out = dir.path() / "bad.txt";
    EXPECT_NE(
        run(Written(dir, "emoji.txt", "ok\n\xF0\x9F\x98\x80\n").string() + " " + out.string()), 0);
    EXPECT_NE(run(Written(dir, "nul.txt", std::string("a\0b\n", 4)).string() + " " + out.string()),
              0);
    EXPECT_FALSE(fs::exists(out));

    // The decoding direction gives the source text back.
    ASSERT_EQ(run("--decode " + (dir.path() / "Java.txt").string() + " " +
                  (dir.path() / "back.txt").string()),
              0);
    std::string back;
    ASSERT_TRUE(ReadWholeFile(dir.path() / "back.txt", back));
    EXPECT_EQ(back, "AA\n\t変数\n\nＪａｖａ～①髙\n");
}
#endif
