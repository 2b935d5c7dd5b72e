// Compiling real sources with the JDK's javac through the real shell, as the compile page does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "JavacSupport.h"
#include "common/delCommFunc.h"
#include "exercise/ClassName.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using vellaro::Sjis;

namespace {

class JavacTest : public vellaro::test::JavacFolderTest {
  protected:
    static std::string Utf8(const vellaro::Cp932Text& cp932) {
        return vellaro::Cp932ToUtf8(cp932).value_or("<not CP932>");
    }
};

const vellaro::Cp932Text kClean = Sjis(vellaro::kCompileCleanText);

TEST_F(JavacTest, CleanHelloAndJapaneseLiteralsCompileUnderAnyLocale) {
    WriteSource("Hello", {"?(\"Hello\");"});
    EXPECT_THAT(Compile("Hello"), ElementsAre(kClean));
    EXPECT_TRUE(fs::exists(scratch / "work" / "Hello.class"));
    EXPECT_EQ(vellaro::ShellCommand,
              "/bin/sh -c \"javac -J-Duser.language=ja -J-Dfile.encoding=MS932 -encoding MS932 -g "
              "Hello.java 2>  " +
                  vellaro::CapturePath().string() + "\"");

    WriteSource("Nihongo", {"String s = \"日本語の文字列　～①髙\";", "?(s);"});
    EXPECT_THAT(Compile("Nihongo", {"LC_ALL=C", "LANG=", "LANGUAGE="}), ElementsAre(kClean));
    EXPECT_THAT(Compile("Nihongo", {"LC_ALL=C.UTF-8"}), ElementsAre(kClean));
}

TEST_F(JavacTest, MissingSemicolonIsReportedInJapaneseAtListingLine6) {
    WriteSource("Bad", {"?(\"あいう\")", "int x = 1;"});
    const auto listing = vellaro::MakeSourceListing(vellaro::MakeJavaSource("Bad", {"?(\"a\")"}));
    ASSERT_THAT(listing[5], HasSubstr("System.out.println"));

    const auto lines = Compile("Bad", {"LC_ALL=C", "LANG="});
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(Utf8(lines[0]), "Bad.java:6: エラー: ';'がありません");
    EXPECT_THAT(Utf8(lines[1]), HasSubstr("System.out.println (\"あいう\")"));
    EXPECT_THAT(lines, ::testing::Not(::testing::Contains(kClean)));
}

TEST_F(JavacTest, WarningsAndNotesAloneAreShownThenTheSuccessLine) {
    WriteSource("Warn", {"Integer i = new Integer(5);", "?(i);"});
    auto lines = Compile("Warn");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_THAT(Utf8(lines[0]), HasSubstr("Warn.java:6: 警告:"));
    EXPECT_EQ(lines.back(), kClean);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kClean), 1);
    EXPECT_TRUE(fs::exists(scratch / "work" / "Warn.class")); // it did compile

    WriteSource("Raw", {"ArrayList a = new ArrayList();", "a.add(1);"});
    lines = Compile("Raw");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_THAT(Utf8(lines[0]), HasSubstr("ノート:"));
    EXPECT_EQ(lines.back(), kClean);

    // With an error beside the warning, no success line.
    WriteSource("Both", {"Integer i = new Integer(5);", "?(i)"});
    lines = Compile("Both");
    EXPECT_THAT(lines, ::testing::Not(::testing::Contains(kClean)));
}

TEST_F(JavacTest, MissingSourceFileShowsTheCompilersComplaint) {
    const auto lines = Compile("Hello");
    ASSERT_FALSE(lines.empty());
    EXPECT_THAT(Utf8(lines[0]), HasSubstr("Hello.java"));
    EXPECT_THAT(Utf8(lines[0]), HasSubstr("見つかりません"));
    EXPECT_THAT(lines, ::testing::Not(::testing::Contains(kClean)));
}

TEST_F(JavacTest, MissingCompilerIsExplainedInJapanese) {
    WriteSource("Hello", {"?(\"Hello\");"});
    fs::create_directories(scratch / "nojdk");
    const auto lines = Compile("Hello", {"PATH=" + (scratch / "nojdk").string()});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0].bytes(), HasSubstr("javac"));
    EXPECT_EQ(Utf8(lines[1]), "javac が見つかりません。JDK をインストールして下さい。");
}

TEST_F(JavacTest, RunCommandGivesTheLaunchersMessagesInJapaneseUnderAnyLocale) {
    // The run's script up to the prompt it leaves the learner at, with its errors kept.
    const std::vector<std::string> words = vellaro::RunClassCommand("Missing").argv;
    ASSERT_EQ(words.size(), 3u);
    const std::string script = words[2].substr(0, words[2].find("; exec"));
    ASSERT_EQ(vellaro::test::SpawnAndWait(
                  {words[0], words[1], "{ " + script + "; } 2> err.txt > out.txt"},
                  {"LC_ALL=C", "LANG="}),
              0);
    std::ifstream in(scratch / "work" / "err.txt");
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "エラー: メイン・クラスMissingを検出およびロードできませんでした");
    // Then the console learns that the class ended, and with which status.
    std::ifstream out(scratch / "work" / "out.txt", std::ios::binary);
    const std::string mark{std::istreambuf_iterator<char>(out), {}};
    EXPECT_EQ(mark, "\x1b]7734;run-end;1\x07");
    EXPECT_EQ(vellaro::RunEndStatus(mark.substr(2, mark.size() - 3)), 1);
}

TEST_F(JavacTest, PlantedCaptureLinkIsNotWrittenThrough) {
    WriteSource("Bad", {"?(\"x\")"});
    const fs::path victim = scratch / "victim.txt";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, vellaro::CapturePath());
    const auto lines = Compile("Bad");
    ASSERT_FALSE(lines.empty());
    EXPECT_THAT(Utf8(lines[0]), HasSubstr("Bad.java:6:"));
    std::ifstream in(victim);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(vellaro::CapturePath())));
}

TEST_F(JavacTest, TemporaryFolderWithShellCharactersStillCaptures) {
    const fs::path odd = scratch / "base" / "it's a \"temp\" $HOME `x` folder";
    source.tempWish = odd;
    vellaro::SetFolderSource(source);
    ASSERT_EQ(vellaro::CapturePath().parent_path(), odd);
    WriteSource("Bad", {"?(\"x\")"});
    const auto lines = Compile("Bad");
    ASSERT_FALSE(lines.empty());
    EXPECT_THAT(Utf8(lines[0]), HasSubstr("Bad.java:6:"));
    EXPECT_TRUE(fs::is_regular_file(odd / "Cmp.txt"));
}

} // namespace

// The table of standard names against the installed JDK: every public class and interface of
// the three imported packages is refused as a class name.
TEST_F(JavacTest, EveryStandardClassOfTheInstalledJdkIsKnown) {
    const fs::path lister = fs::path(VELLARO_TEST_DATA) / "../../tools/java/ListPublicTypes.java";
    ASSERT_EQ(vellaro::test::SpawnAndWait({"/bin/sh", "-c",
                                           "javac -d . '" + lister.string() +
                                               "' && java -cp . ListPublicTypes java.lang "
                                               "java.util java.io > names.txt"}),
              0);
    std::ifstream names("names.txt");
    int count = 0;
    for (std::string name; std::getline(names, name); ++count)
        EXPECT_TRUE(vellaro::IsJavaStandardClassName(name)) << name;
    EXPECT_GT(count, 250);
}
