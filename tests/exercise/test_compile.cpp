// The compile and run commands, the capture file and the message pane's lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "../common/CommonTestSupport.h"
#include "TextBytes.h"
#include "common/Cp932.h"
#include "common/delCommFunc.h"
#include "exercise/Compile.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using vellaro::Sjis;
using vtest::Bytes;
using vtest::Cp932Of;

namespace {

using vtest::ReadFile;
using vtest::WriteFile;

// Runs a command as exec gets it, with `bin` first on the search path, no input, and its output
// in `out`; answers its exit status, or -1.
int Exec(const vellaro::Command& command, const fs::path& bin, const fs::path& out) {
    std::vector<char*> argv;
    for (const std::string& word : command.argv)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::string path = "PATH=" + bin.string() + ":/usr/bin:/bin";
    char* envp[] = {path.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Commands, CompileCommandForHello) {
    const vellaro::Command compile =
        vellaro::CompileCommand("Hello", "/run/user/1000/vellaro/Cmp.txt");
    EXPECT_THAT(compile.argv,
                ElementsAre("/bin/sh", "-c",
                            "javac -J-Duser.language=ja -J-Dfile.encoding=MS932 -encoding MS932 "
                            "-g Hello.java 2>  /run/user/1000/vellaro/Cmp.txt"));
    EXPECT_EQ(vellaro::CommandText(compile),
              "/bin/sh -c \"javac -J-Duser.language=ja -J-Dfile.encoding=MS932 -encoding MS932 -g "
              "Hello.java 2>  /run/user/1000/vellaro/Cmp.txt\"");
    EXPECT_TRUE(compile.runClass.empty());
}

TEST(Commands, RunCommandAndItsShellCommandText) {
    const vellaro::Command run = vellaro::RunClassCommand("Hello");
    EXPECT_THAT(
        run.argv,
        ElementsAre("/bin/sh", "-c",
                    "java -Duser.language=ja -Dfile.encoding=UTF-8 -Dstdout.encoding=UTF-8 "
                    "-Dstderr.encoding=UTF-8 Hello; printf '\\033]7734;run-end;%d\\007' $?; "
                    "exec /bin/sh -i"));
    const std::string text = vellaro::RunShellCommand("Hello");
    EXPECT_EQ(text, " -c \"java -Duser.language=ja -Dfile.encoding=UTF-8 -Dstdout.encoding=UTF-8 "
                    "-Dstderr.encoding=UTF-8 Hello; printf '\\\\033]7734;run-end;%d\\\\007' $?; "
                    "exec /bin/sh -i\" ");
    EXPECT_EQ("/bin/sh" + text, vellaro::CommandText(run) + " ");
}

TEST(Commands, TheConsoleIsCaptionedWithTheClassItRuns) {
    for (const std::string& name :
         std::vector<std::string>{"Hello", "クラス1", "it's \"odd\" $x"}) {
        const vellaro::Command run = vellaro::RunClassCommand(name);
        EXPECT_EQ(run.runClass, name);
        EXPECT_EQ(vellaro::ConsoleCaption(run), "実行中: " + name);
    }
    const vellaro::Command other{{"/bin/sh", "-c", "echo hi"}, {}};
    EXPECT_EQ(vellaro::ConsoleCaption(other), "/bin/sh -c \"echo hi\"");
}

TEST(CommandLines, RunEndIsReadFromItsMarkAlone) {
    EXPECT_EQ(vellaro::RunEndStatus("7734;run-end;0"), 0);
    EXPECT_EQ(vellaro::RunEndStatus("7734;run-end;130"), 130);
    for (const char* other : {"", "7734;run-end;", "7734;run-end;1x", "0;title", "7734;run-end"})
        EXPECT_FALSE(vellaro::RunEndStatus(other)) << other;
}

TEST(CompileMessages, LongCandidateListsAreFoldedToTheirFirstLines) {
    const auto pane = [](const std::vector<std::string>& utf8) { return vellaro::SjisLines(utf8); };
    std::vector<std::string> capture = {
        "Hello.java:6: エラー: Scannerに適切なコンストラクタが見つかりません"
        "(引数がありません)",
        "\t\tScanner sc = new Scanner();", "\t\t             ^"};
    for (const char* c : {"Readable,Pattern", "Readable", "InputStream", "File"}) {
        capture.push_back("    コンストラクタ Scanner.Scanner(" + std::string(c) +
                          ")は使用できません");
        capture.push_back("      (実引数リストと仮引数リストの長さが異なります)");
    }
    capture.push_back("エラー1個");
    const auto folded = vellaro::FoldCandidateLists(pane(capture));
    std::vector<std::string> expected(capture.begin(), capture.begin() + 7);
    expected.push_back("    ……（ほかの候補 2 個は省略しました）");
    expected.push_back("エラー1個");
    EXPECT_EQ(folded, pane(expected));
    // Short lists and other lines stay as they are.
    const auto shortList = pane({capture[3], capture[4], capture[5], capture[6], "エラー1個"});
    EXPECT_EQ(vellaro::FoldCandidateLists(shortList), shortList);
}

TEST(Commands, TheTextShowsEveryWordWhole) {
    EXPECT_EQ(vellaro::CommandText({{"a", "b c", "", "x\"y\\z\\n", "tab\there", "日本"}, {}}),
              "a \"b c\" \"\" \"x\\\"y\\\\z\\\\n\" \"tab\there\" 日本");
    EXPECT_EQ(vellaro::CommandText({}), "");
}

TEST(Commands, AwkwardCapturePathIsQuotedForTheShell) {
    const fs::path capture = "/tmp/it's a \"dir\" $HOME `x`\\/Cmp.txt";
    const auto words = vellaro::CompileCommand("Hello", capture).argv;
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[2], "javac -J-Duser.language=ja -J-Dfile.encoding=MS932 -encoding MS932 -g "
                        "Hello.java 2>  '/tmp/it'\\''s a \"dir\" $HOME `x`\\/Cmp.txt'");
    // Paths of ordinary characters, Japanese ones included, stay as they are.
    EXPECT_EQ(vellaro::ShellQuote("/home/学習者/tmp-1/Cmp.txt"), "/home/学習者/tmp-1/Cmp.txt");
    EXPECT_EQ(vellaro::ShellQuote(""), "''");
}

using CommandExec = vellaro::test::FolderTest;

TEST_F(CommandExec, AwkwardNamesReachTheCompilerAndTheLauncherAsOneWordEach) {
    // Stand-ins for javac and java: each argument on a line of its own, in brackets; javac's to
    // its error output (the capture file), java's to its output.
    const fs::path bin = scratch / "bin";
    fs::create_directories(bin);
    for (const auto& [program, to] : {std::pair{"javac", " >&2"}, std::pair{"java", ""}}) {
        WriteFile(bin / program,
                  std::string("#!/bin/sh\nfor a; do printf '[%s]\\n' \"$a\"") + to + "; done\n");
        fs::permissions(bin / program, fs::perms::owner_all);
    }
    const fs::path folder = scratch / "it's a \"dir\" $HOME `x` ; \\";
    fs::create_directories(folder);
    const std::string name = "it's \"odd\" $x `y` ; \\";
    const std::string archive = (folder / "a b.jsa").string();

    const fs::path capture = folder / "Cmp.txt";
    EXPECT_EQ(Exec(vellaro::CompileCommand(name, capture,
                                           {"-J-XX:SharedArchiveFile=" + archive, "-J-Xshare:on"}),
                   bin, scratch / "out.txt"),
              0);
    EXPECT_THAT(Bytes(vellaro::ReadCaptureFile(capture).value_or(vellaro::Cp932Lines{})),
                ElementsAre("[-J-XX:SharedArchiveFile=" + archive + "]", "[-J-Xshare:on]",
                            "[-J-Duser.language=ja]", "[-J-Dfile.encoding=MS932]", "[-encoding]",
                            "[MS932]", "[-g]", "[" + name + ".java]"));

    const fs::path out = folder / "run.txt";
    EXPECT_EQ(Exec(vellaro::RunClassCommand(name), bin, out), 0);
    const std::vector<std::string> lines = Bytes(vellaro::SplitCaptureLines(ReadFile(out)));
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[4], "[" + name + "]");
}

TEST(CaptureLines, EveryKindOfLineBreakEndsALine) {
    using vellaro::SplitCaptureLines;
    EXPECT_TRUE(SplitCaptureLines("").empty());
    EXPECT_THAT(Bytes(SplitCaptureLines("\r\n")), ElementsAre(""));
    EXPECT_THAT(Bytes(SplitCaptureLines("\n")), ElementsAre(""));
    EXPECT_THAT(Bytes(SplitCaptureLines("\r\r\r")), ElementsAre("", "", ""));
    EXPECT_THAT(Bytes(SplitCaptureLines("a\rb\nc\r\nd")), ElementsAre("a", "b", "c", "d"));
    EXPECT_THAT(Bytes(SplitCaptureLines("a\r\n\r\n")), ElementsAre("a", ""));
    EXPECT_THAT(Bytes(SplitCaptureLines("\n\r")), ElementsAre("", ""));
    const std::string japanese = Sjis("エラー: ';'がありません").bytes();
    EXPECT_THAT(Bytes(SplitCaptureLines(japanese + "\r\n" + japanese)),
                ElementsAre(japanese, japanese));
}

TEST(CompileMessages, SuccessOnlyForAnEmptyCaptureOfACleanRun) {
    using vellaro::CompileMessages;
    const std::string clean = Sjis(vellaro::kCompileCleanText).bytes();
    const std::string broken = Sjis(vellaro::kCompileBrokenText).bytes();
    EXPECT_THAT(Bytes(CompileMessages(Cp932Of({}), 0)), ElementsAre(clean));
    EXPECT_THAT(Bytes(CompileMessages(std::nullopt, 0)), ElementsAre(broken));
    // A compiler that died without a word did not succeed.
    EXPECT_THAT(Bytes(CompileMessages(Cp932Of({}), -1)), ElementsAre(broken));
    EXPECT_THAT(Bytes(CompileMessages(Cp932Of({}), 1)), ElementsAre(broken));
    EXPECT_THAT(Bytes(CompileMessages(Cp932Of({""}), 0)), ElementsAre(""));
    // Notes or warnings alone: the class was made, and the pane says so after them.
    EXPECT_THAT(Bytes(CompileMessages(Cp932Of({"note"}), 0)), ElementsAre("note", clean));
    EXPECT_THAT(Bytes(CompileMessages(Cp932Of({"error"}), 1)), ElementsAre("error"));
    EXPECT_THAT(
        Bytes(CompileMessages(Cp932Of({"/bin/sh: 1: javac: not found"}), 127)),
        ElementsAre("/bin/sh: 1: javac: not found", Sjis(vellaro::kCompilerMissingText).bytes()));
}

class CaptureFileTest : public vellaro::test::FolderTest {
  protected:
    fs::path capture() const { return vellaro::CapturePath(); }
};

TEST_F(CaptureFileTest, LivesInThePrivateTemporaryFolder) {
    const fs::path p = capture();
    EXPECT_EQ(p.filename(), "Cmp.txt");
    EXPECT_EQ(p.parent_path(), fs::path(vellaro::TempPath()).parent_path());
    EXPECT_EQ(fs::status(p.parent_path()).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(CaptureFileTest, ReadsOnlyARegularFile) {
    EXPECT_FALSE(vellaro::ReadCaptureFile(capture()));
    WriteFile(capture(), "\r\n");
    EXPECT_THAT(Bytes(*vellaro::ReadCaptureFile(capture())), ElementsAre(""));
    WriteFile(capture(), "");
    EXPECT_TRUE(vellaro::ReadCaptureFile(capture())->empty());

    fs::remove(capture());
    fs::create_directory(capture());
    EXPECT_FALSE(vellaro::ReadCaptureFile(capture()));
    fs::remove(capture());
    WriteFile(scratch / "elsewhere.txt", "planted\r\n");
    fs::create_symlink(scratch / "elsewhere.txt", capture());
    EXPECT_FALSE(vellaro::ReadCaptureFile(capture()));
}

TEST_F(CaptureFileTest, ClearingRemovesAPlantedLinkNotItsTarget) {
    const fs::path victim = scratch / "victim.txt";
    WriteFile(victim, "keep me");
    fs::create_symlink(victim, capture());
    EXPECT_TRUE(vellaro::ClearCaptureFile(capture()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(capture())));
    EXPECT_EQ(ReadFile(victim), "keep me");
    EXPECT_TRUE(vellaro::ClearCaptureFile(capture())); // nothing there is fine too

    fs::create_directories(capture() / "inside");
    EXPECT_FALSE(vellaro::ClearCaptureFile(capture()));
}

TEST_F(CaptureFileTest, EmptyClassNameStartsNothing) {
    vellaro::ShellCommand = "before";
    int runs = 0;
    const auto outcome = vellaro::CompileSource("", [&](const vellaro::Command&) {
        ++runs;
        return 0;
    });
    EXPECT_TRUE(outcome.classNameMissing);
    EXPECT_TRUE(outcome.lines.empty());
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(vellaro::ShellCommand, "before");
}

TEST_F(CaptureFileTest, CaptureOfLineBreaksOnlyIsNoSuccess) {
    for (const std::string& bytes : {std::string("\r\n"), std::string("\r\r")}) {
        vellaro::Command seen;
        const auto outcome = vellaro::CompileSource("Hello", [&](const vellaro::Command& command) {
            seen = command;
            WriteFile(capture(), bytes);
            return 0;
        });
        EXPECT_FALSE(outcome.classNameMissing);
        EXPECT_EQ(seen.argv, vellaro::CompileCommand("Hello", capture()).argv);
        EXPECT_EQ(vellaro::ShellCommand, vellaro::CommandText(seen));
        EXPECT_EQ(outcome.lines,
                  vellaro::Cp932Lines(bytes == "\r\n" ? 1 : 2, vellaro::Cp932Text()));
    }
}

TEST_F(CaptureFileTest, StaleCaptureIsGoneBeforeTheCompilerRuns) {
    WriteFile(capture(), "old messages\r\n");
    bool existed = true;
    const auto outcome = vellaro::CompileSource("Hello", [&](const vellaro::Command&) {
        existed = fs::exists(fs::symlink_status(capture()));
        return -1; // the interpreter could not be started: it wrote nothing
    });
    EXPECT_FALSE(existed);
    // Old messages are never passed off as this compile's.
    EXPECT_THAT(outcome.lines, ElementsAre(Sjis(vellaro::kCompileBrokenText)));
}

TEST_F(CaptureFileTest, CaptureThatCannotBeClearedStartsNothing) {
    fs::create_directories(capture() / "inside");
    int runs = 0;
    const auto outcome = vellaro::CompileSource("Hello", [&](const vellaro::Command&) {
        ++runs;
        return 0;
    });
    EXPECT_EQ(runs, 0);
    EXPECT_THAT(outcome.lines, ElementsAre(Sjis(vellaro::kCompileBrokenText)));
}

} // namespace
