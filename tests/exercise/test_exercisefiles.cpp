// Exercise files and Java source files: contents, round trips, refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "Scratch.h"
#include "TextBytes.h"
#include "common/Cp932.h"
#include "exercise/ExerciseFiles.h"

namespace fs = std::filesystem;
using vellaro::ExerciseEncoding;
using vellaro::ExerciseReadStatus;
using namespace vellaro::cp932_literals;

namespace {

using vtest::ReadFile;
using vtest::WriteFile;

class ExerciseFilesTest : public ::testing::Test {
  protected:
    const fs::path& dir() const { return m_dir.path(); }

  private:
    vtest::ScratchFolder m_dir;
};

} // namespace

TEST(ExerciseFileContents, LineBreaksBecomeCrLfAndOnlyAFinalBreakEndsTheFile) {
    EXPECT_EQ(vellaro::ExerciseFileBytes(""), "");
    EXPECT_EQ(vellaro::ExerciseFileBytes("a"), "a");
    EXPECT_EQ(vellaro::ExerciseFileBytes("a\nb"), "a\r\nb");
    EXPECT_EQ(vellaro::ExerciseFileBytes("a\n\n"), "a\r\n\r\n");
    EXPECT_EQ(vellaro::ExerciseFileBytes("a\r\nb\rc"), "a\r\nb\r\nc");

    // Lone CR and lone LF in a file read are line breaks as well.
    EXPECT_EQ(vellaro::ExerciseTextFromFileBytes("a\r\nb\nc\rd\r\n"), "a\nb\nc\nd\n");
    EXPECT_EQ(vellaro::ExerciseTextFromFileBytes("\r\r\n"), "\n\n");
}

TEST(ExerciseFileContents, JavaLinesEachEndInCrLf) {
    EXPECT_EQ(vellaro::JavaFileBytes({}), "");
    EXPECT_EQ(vellaro::JavaFileBytes(vtest::Cp932Of({"a", "", "}"})), "a\r\n\r\n}\r\n");
}

TEST_F(ExerciseFilesTest, ExerciseRoundTripIsByteForByte) {
    const vellaro::Cp932Text text = vellaro::Sjis("int a = 3;\n\t?(\"表示～①髙\");\n\n?(a);\n");
    const fs::path file = dir() / "Hello.sja";
    ASSERT_TRUE(vellaro::WriteExerciseFile(file, text));
    const std::string onDisk = ReadFile(file);
    EXPECT_EQ(onDisk, vellaro::ExerciseFileBytes(text.bytes()));
    EXPECT_NE(onDisk.find("\r\n\t?("), std::string::npos);

    const vellaro::ExerciseRead read = vellaro::ReadExerciseFile(file);
    ASSERT_EQ(read.status, ExerciseReadStatus::Ok);
    EXPECT_EQ(read.text, text);

    const fs::path again = dir() / "Again.sja";
    ASSERT_TRUE(vellaro::WriteExerciseFile(again, read.text));
    EXPECT_EQ(ReadFile(again), onDisk);
}

TEST_F(ExerciseFilesTest, AnEmptyFileIsAnExerciseWithoutStatements) {
    WriteFile(dir() / "Empty.sja", "");
    const vellaro::ExerciseRead read = vellaro::ReadExerciseFile(dir() / "Empty.sja");
    EXPECT_EQ(read.status, ExerciseReadStatus::Ok);
    EXPECT_TRUE(read.text.empty());
}

TEST_F(ExerciseFilesTest, WritingReplacesTheWholeFileAndJavaHasNoOtherBytes) {
    const fs::path file = dir() / "Hello.java";
    WriteFile(file, std::string(5000, 'z'));
    const vellaro::Cp932Lines source =
        vellaro::SjisLines(vellaro::MakeJavaSource("Hello", vellaro::SplitStatementLines("?(1);")));
    ASSERT_TRUE(vellaro::WriteJavaFile(file, source));
    const std::string bytes = ReadFile(file);
    EXPECT_EQ(bytes.rfind("import java.io.*;\r\n", 0), 0u); // no byte-order mark
    EXPECT_EQ(bytes.substr(bytes.size() - 3), "}\r\n");     // no end-of-file mark
    EXPECT_EQ(bytes, vellaro::JavaFileBytes(source));

    ASSERT_TRUE(vellaro::WriteJavaFile(file, {}));
    EXPECT_EQ(fs::file_size(file), 0u);
}

TEST_F(ExerciseFilesTest, AJavaFileMatchesOnlyTheBytesTheWriterWouldWrite) {
    const fs::path file = dir() / "Hello.java";
    const vellaro::Cp932Lines source =
        vellaro::SjisLines(vellaro::MakeJavaSource("Hello", vellaro::SplitStatementLines("?(1);")));
    EXPECT_FALSE(vellaro::JavaFileMatches(file, source)); // missing
    ASSERT_TRUE(vellaro::WriteJavaFile(file, source));
    EXPECT_TRUE(vellaro::JavaFileMatches(file, source));
    const std::string written = vellaro::JavaFileBytes(source);
    // LF line ends, a byte more, a byte less, another statement: each differs.
    std::string lf = written;
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    for (const std::string& other : {lf, written + "\r\n", written.substr(0, written.size() - 1),
                                     vellaro::JavaFileBytes(vellaro::SjisLines(
                                         vellaro::MakeJavaSource("Hello", {"?(2);"})))}) {
        WriteFile(file, other);
        EXPECT_FALSE(vellaro::JavaFileMatches(file, source));
    }
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_FALSE(vellaro::JavaFileMatches(file, source));
    EXPECT_EQ(vellaro::UnwrittenSourceQuestion("Hello"),
              "表示中のソースは Hello.java にまだ書き出されていません。"
              "書き出してからコンパイルしますか？");
}

TEST_F(ExerciseFilesTest, AFailedWriteReportsAndLeavesNothingBehind) {
    const fs::path blocker = dir() / "plain";
    WriteFile(blocker, "keep");
    std::string reason;
    EXPECT_FALSE(vellaro::WriteExerciseFile(blocker / "Hello.sja", "x"_cp932, &reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(vellaro::WriteJavaFile("/proc/vellaro-no/Hello.java", {"x"_cp932}));
    EXPECT_EQ(ReadFile(blocker), "keep");

    // A folder in the way of the target is not replaced.
    fs::create_directory(dir() / "Taken.sja");
    EXPECT_FALSE(vellaro::WriteExerciseFile(dir() / "Taken.sja", "x"_cp932));
    EXPECT_TRUE(fs::is_directory(dir() / "Taken.sja"));
    for (const auto& entry : fs::directory_iterator(dir()))
        EXPECT_NE(entry.path().filename().string().front(), '.') << "left behind: " << entry.path();
}

TEST_F(ExerciseFilesTest, ReadFailuresSayWhy) {
    vellaro::ExerciseRead read = vellaro::ReadExerciseFile(dir() / "missing.sja");
    EXPECT_EQ(read.status, ExerciseReadStatus::CannotRead);
    EXPECT_EQ(vellaro::ReadFailureMessage(read), "Javaプログラムソースの読込みができません");

    EXPECT_EQ(vellaro::ReadExerciseFile(dir()).status, ExerciseReadStatus::CannotRead);

    WriteFile(dir() / "bin.sja", std::string("ok\r\nab\0cd", 10));
    read = vellaro::ReadExerciseFile(dir() / "bin.sja");
    EXPECT_EQ(read.status, ExerciseReadStatus::Binary);
    EXPECT_EQ(read.line, 2u);
    EXPECT_NE(vellaro::ReadFailureMessage(read).find("2 行目"), std::string::npos);

    WriteFile(dir() / "utf8.sja", "ok\r\nfine\r\n\x80\r\n");
    read = vellaro::ReadExerciseFile(dir() / "utf8.sja");
    EXPECT_EQ(read.status, ExerciseReadStatus::NotCp932);
    EXPECT_EQ(read.line, 3u);
    EXPECT_EQ(
        vellaro::ReadFailureMessage(read).rfind("Javaプログラムソースの読込みができません\n", 0),
        0u);

    // A huge file is refused from its size, without reading it.
    const fs::path huge = dir() / "huge.sja";
    WriteFile(huge, "");
    fs::resize_file(huge, vellaro::kMaxExerciseFileBytes + 1);
    read = vellaro::ReadExerciseFile(huge);
    EXPECT_EQ(read.status, ExerciseReadStatus::TooLarge);
    EXPECT_NE(vellaro::ReadFailureMessage(read).find("16 MB"), std::string::npos);
}

TEST(ExerciseFileEncoding, KatakanaPairsStayCp932AndLongUtf8CharactersMeanUtf8) {
    // Half-width katakana whose byte pairs are also two-byte UTF-8 characters: CP932.
    const vellaro::Cp932Text katakana = vellaro::Sjis("?(\"ﾃｽﾈｺﾊｲﾑｼ\");\n");
    ASSERT_EQ(katakana.bytes().substr(3, 8), "\xC3\xBD\xC8\xBA\xCA\xB2\xD1\xBC");
    vellaro::ExerciseRead read =
        vellaro::ReadExerciseBytes(vellaro::ExerciseFileBytes(katakana.bytes()));
    ASSERT_EQ(read.status, ExerciseReadStatus::Ok);
    EXPECT_EQ(read.encoding, ExerciseEncoding::Cp932);
    EXPECT_EQ(read.text, katakana);
    // Real CP932 Japanese is no UTF-8 at all.
    read = vellaro::ReadExerciseBytes("?(\"\x82\xb1\x82\xf1\");\r\n");
    EXPECT_EQ(read.encoding, ExerciseEncoding::Cp932);

    // Japanese saved as UTF-8 by another editor, with its byte-order mark: UTF-8 only.
    read = vellaro::ReadExerciseBytes("\xEF\xBB\xBFint a = 1;\r\n?(\"こんにちは\");\r\n");
    ASSERT_EQ(read.status, ExerciseReadStatus::Ok);
    EXPECT_EQ(read.encoding, ExerciseEncoding::Utf8);
    EXPECT_EQ(read.utf8Text, "int a = 1;\n?(\"こんにちは\");\n");
    // UTF-8 that CP932 refuses is UTF-8, whatever the length of its characters.
    read = vellaro::ReadExerciseBytes("?(\"\xC3\xA0\");"); // à
    EXPECT_EQ(read.encoding, ExerciseEncoding::Utf8);
    EXPECT_EQ(read.utf8Text, "?(\"à\");");

    // Valid both ways with a three-byte character ("㒃A" in UTF-8, "纈ア" in CP932): both.
    read = vellaro::ReadExerciseBytes("\xE3\x92\x83\x41");
    ASSERT_EQ(read.status, ExerciseReadStatus::Ok);
    EXPECT_EQ(read.encoding, ExerciseEncoding::Either);
    EXPECT_EQ(read.utf8Text, "㒃A");
    EXPECT_EQ(read.text, vellaro::Sjis("纈ア"));

    // Not UTF-8 (an overlong form, a surrogate) and not CP932 either: refused.
    for (const char* bytes : {"\xC0\xAF\x80", "\xED\xA0\x80\x80"}) {
        EXPECT_FALSE(vellaro::InspectUtf8(bytes).valid) << bytes;
        EXPECT_EQ(vellaro::ReadExerciseBytes(bytes).status, ExerciseReadStatus::NotCp932);
    }
    EXPECT_TRUE(vellaro::InspectUtf8("\xF4\x8F\xBF\xBF").longSequence);
    EXPECT_FALSE(vellaro::InspectUtf8("\xF4\x90\x80\x80").valid);
}

TEST(Cp932ForWriting, TextCp932CannotHoldIsRefusedNamingTheLine) {
    vellaro::UnencodableChar failure;
    EXPECT_EQ(vellaro::EncodeTextCp932("a\n\xEF\xBD\x9E\xE2\x91\xA0\xE9\xAB\x99", &failure),
              "a\n"_cp932 + vellaro::Sjis("～①髙")); // the vendor characters of CP932 are fine

    EXPECT_FALSE(vellaro::EncodeTextCp932("a\nb\nc \xF0\x9F\x98\x80;", &failure)); // an emoji
    EXPECT_EQ(failure.line, 3u);
    EXPECT_EQ(failure.codePoint, U'\U0001F600');
    const std::string message = vellaro::UnencodableMessage(failure);
    EXPECT_EQ(message.rfind("3 行目に", 0), 0u) << message;
    EXPECT_NE(message.find("「\xF0\x9F\x98\x80」"), std::string::npos);
    EXPECT_NE(message.find("U+1F600"), std::string::npos);

    // An invisible character is named by its code point only.
    EXPECT_FALSE(vellaro::EncodeTextCp932("x\xC2\xA0y", &failure)); // no-break space
    EXPECT_EQ(failure.line, 1u);
    EXPECT_NE(vellaro::UnencodableMessage(failure).find("U+00A0"), std::string::npos);
    EXPECT_EQ(vellaro::UnencodableMessage(failure).find("「"), std::string::npos);
}
