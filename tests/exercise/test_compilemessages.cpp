// Reading the compiler's messages: the reader on odd captures, and the explanations' data.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/Cp932.h"
#include "exercise/CompileMessages.h"

using ::testing::HasSubstr;
using vellaro::CompileReport;
using vellaro::Sjis;

namespace {

// ---- The reader on captures written by hand ----

vellaro::Cp932Lines Pane(const std::vector<std::string>& utf8Lines) {
    return vellaro::SjisLines(utf8Lines);
}

TEST(CompileMessages, NothingToReadGivesNoMessagesAndNoCount) {
    EXPECT_TRUE(vellaro::ReadCompileMessages({}, "Hello").messages.empty());
    const auto clean = vellaro::ReadCompileMessages(
        Pane({"コンパイルが終了しました　（エラーは有りません）"}), "Hello");
    EXPECT_TRUE(clean.messages.empty());
    EXPECT_FALSE(clean.errorCount);
    // Lines that only look like part of a message.
    const auto odd = vellaro::ReadCompileMessages(
        Pane({"Hello.java:x: エラー: a", "Hello.java:7 エラー: a", ".java:", ":7: エラー: a",
              "Hello.java:7: 注意: a", "エラー", "エラー個", "エラー1個 です"}),
        "Hello");
    EXPECT_TRUE(odd.messages.empty());
    EXPECT_FALSE(odd.errorCount);
}

TEST(CompileMessages, WarningsAloneGiveNoErrorCount) {
    const auto report = vellaro::ReadCompileMessages(
        Pane({"Warn.java:6: 警告:[removal] IntegerのInteger(int)は推奨されておらず、"
              "削除用にマークされています",
              "\t\tInteger i = new Integer(5);", "\t\t            ^", "警告1個"}),
        "Warn");
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0].kind, vellaro::MessageKind::Warning);
    EXPECT_EQ(report.messages[0].line, 6u);
    EXPECT_EQ(report.messages[0].endLine, 3u);
    EXPECT_FALSE(report.errorCount);
}

TEST(CompileMessages, WarningSaysAClassWasMadeOnlyWhenNoErrorStandsBesideIt) {
    const std::string warning =
        "Warn.java:6: 警告:[removal] IntegerのInteger(int)は推奨されておらず、"
        "削除用にマークされています";
    // Alone, the compile made its class and its pane ends with the success line.
    auto report = vellaro::ReadCompileMessages(
        Pane({warning, "\t\tInteger i = new Integer(5);", "\t\t            ^", "警告1個",
              "コンパイルが終了しました　（エラーは有りません）"}),
        "Warn");
    ASSERT_EQ(report.messages.size(), 1u);
    EXPECT_EQ(report.messages[0].endLine, 3u);
    ASSERT_NE(report.messages[0].explanation, nullptr);
    EXPECT_EQ(report.messages[0].explanation->id, "deprecated-api");
    EXPECT_THAT(report.messages[0].explanation->meaning, HasSubstr("クラスファイルはできていて"));
    // Beside an error, it says the errors come first.
    report = vellaro::ReadCompileMessages(
        Pane({warning, "Warn.java:7: エラー: ';'がありません", "エラー1個", "警告1個"}), "Warn");
    ASSERT_EQ(report.messages.size(), 2u);
    ASSERT_NE(report.messages[0].explanation, nullptr);
    EXPECT_EQ(report.messages[0].explanation->id, "deprecated-api-with-errors");
    EXPECT_THAT(report.messages[0].explanation->fix, HasSubstr("まずエラーを直して"));
    // Whether errors stand beside it is asked only when known.
    EXPECT_EQ(vellaro::FindExplanation(vellaro::BuiltInExplanations(), "[removal] x", {}), nullptr);
}

TEST(CompileMessages, StrayBraceIsTheFirstThatClosesMoreThanWasOpened) {
    struct Case {
        std::vector<std::string> statements;
        std::size_t stray;
    };
    const Case cases[] = {
        {{"int x = 1;", "}", "?(x);"}, 2},
        {{"if (x > 0) {", "x = 1;", "}", "}", "}"}, 4},
        {{"?(\"}\");", "char c = '}';", "// }", "String s = \"\\\"}\";"}, 0},
        {{"for (;;) {", "}"}, 0},
        {{}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vellaro::StatementWithStrayBrace(c.statements), c.stray) << c.statements.size();
}

TEST(CompileMessages, CountIsTheTotalTheCompilerCountedEvenPastItsLimit) {
    auto pane = Pane({"Hello.java:6: エラー: 文ではありません",
                      "ノート:一部のメッセージは簡略化されています。", "エラー2個", "警告1個"});
    auto report = vellaro::ReadCompileMessages(pane, "Hello");
    EXPECT_EQ(report.errorCount, 2u);
    EXPECT_EQ(report.messages[0].endLine, 1u); // the note belongs to no message
    pane = Pane({"Hello.java:6: エラー: 文ではありません", "エラー100個",
                 "合計150個のうち、最初の100個のエラーのみ表示しています。さらに表示する場合は、"
                 "-Xmaxerrsを使用してください"});
    EXPECT_EQ(vellaro::ReadCompileMessages(pane, "Hello").errorCount, 150u);
    EXPECT_EQ(vellaro::ErrorCountText(150), "エラー 150 個");
}

TEST(CompileMessages, MessagesOfOtherFilesAreExplainedButNotLinkedOrSteppedTo) {
    const auto report = vellaro::ReadCompileMessages(
        Pane({"./Dog.java:2: エラー: 不適合な型: Stringをintに変換できません:", "  int x = \"a\";",
              "          ^", "Hello.java:7: エラー: シンボルを見つけられません", "\t\tDog d;",
              "  シンボル:   クラス Dog", "  場所: クラス Hello",
              "Hello.java:9: エラー: 文ではありません",
              "エラー: ファイルが見つかりません: Other.java", "エラー3個"}),
        "Hello");
    ASSERT_EQ(report.messages.size(), 4u);
    const auto& other = report.messages[0];
    EXPECT_EQ(other.file, "./Dog.java");
    EXPECT_EQ(other.line, 2u);
    EXPECT_FALSE(other.inSource);
    ASSERT_NE(other.explanation, nullptr);
    EXPECT_EQ(other.explanation->id, "string-to-number");
    EXPECT_EQ(report.messages[1].explanation->id, "class-not-found");
    EXPECT_EQ(report.messages[1].endLine, 7u);
    const auto& noLine = report.messages[3];
    EXPECT_EQ(noLine.line, 0u);
    EXPECT_FALSE(noLine.inSource);
    EXPECT_EQ(noLine.explanation->id, "source-file-not-found");

    EXPECT_EQ(vellaro::MessageStartingAt(report, 3), &report.messages[1]);
    EXPECT_EQ(vellaro::MessageStartingAt(report, 4), nullptr);
    // The lines below a message belong to it; the closing count to none.
    EXPECT_EQ(vellaro::MessageOfLine(report, 6), &report.messages[1]);
    EXPECT_EQ(vellaro::MessageOfLine(report, 7), &report.messages[2]);
    EXPECT_EQ(vellaro::MessageOfLine(report, 9), nullptr);
    using vellaro::NextSourceMessageLine;
    EXPECT_EQ(NextSourceMessageLine(report, std::nullopt, true), 3u);
    EXPECT_EQ(NextSourceMessageLine(report, 3u, true), 7u);
    EXPECT_EQ(NextSourceMessageLine(report, 7u, true), std::nullopt);
    EXPECT_EQ(NextSourceMessageLine(report, std::nullopt, false), 7u);
    EXPECT_EQ(NextSourceMessageLine(report, 5u, false), 3u);
    EXPECT_EQ(NextSourceMessageLine(report, 3u, false), std::nullopt);
}

TEST(CompileMessages, HugeLinesAndBytesThatAreNotCp932AreReadWithoutLoss) {
    const std::string huge(1 << 20, 'x');
    const std::string garbage(1 << 20, '\xFF');
    const vellaro::Cp932Lines pane = {
        Sjis("Hello.java:6: エラー: ") + vellaro::Cp932Text(huge),
        vellaro::Cp932Text(garbage),
        Sjis("Hello.java:7: エラー: ") + vellaro::Cp932Text("\x81\x20") + Sjis("文ではありません"),
        vellaro::Cp932Text("\x85\x40.java:3: ") + Sjis("エラー: 文ではありません"),
        Sjis("Hello.java:99999999999999999999999: エラー: 文ではありません"),
        Sjis("エラー3個"),
    };
    const auto report = vellaro::ReadCompileMessages(pane, "Hello");
    ASSERT_EQ(report.messages.size(), 3u);
    EXPECT_EQ(report.messages[0].text.size(), huge.size());
    EXPECT_EQ(report.messages[0].explanation, nullptr);
    EXPECT_EQ(report.messages[0].endLine, 2u);
    EXPECT_THAT(report.messages[1].text, HasSubstr("\xEF\xBF\xBD")); // shown as replaced
    EXPECT_TRUE(report.messages[1].inSource);
    EXPECT_FALSE(report.messages[2].inSource); // a file name that is not ours
    EXPECT_EQ(report.messages[2].line, 3u);
    EXPECT_EQ(report.errorCount, 3u);
}

// ---- The explanation data ----

TEST(Explanations, BuiltInDataIsReadAndEveryTextHasACp932Form) {
    const auto data = vellaro::ParseExplanations(vellaro::BuiltInExplanationsText());
    ASSERT_EQ(data.error, "") << "line " << data.errorLine;
    EXPECT_EQ(vellaro::BuiltInExplanations().size(), data.entries.size());
    for (const auto& e : data.entries) {
        EXPECT_TRUE(vellaro::Utf8ToCp932(vellaro::FullExplanation(e) + e.summary + e.title))
            << e.id;
        EXPECT_EQ(e.summary.find('\n'), std::string::npos);
    }
}

TEST(Explanations, LabelledLinesChooseAmongEntriesForTheSameMessage) {
    const auto data = vellaro::ParseExplanations("[class]\n"
                                                 "title: t\nmessage: not found\n"
                                                 "symbol: クラス *\nlocation: * Hello\n"
                                                 "summary: s\nmeaning: m\ncause: c\nfix: f\n"
                                                 "example: e\n"
                                                 "[any]\n"
                                                 "title: t\nmessage:   not  *\n"
                                                 "summary: s\nmeaning: m\ncause: c\nfix: f\n"
                                                 "example: e\n");
    ASSERT_EQ(data.error, "");
    const auto find = [&](std::vector<std::string> below) {
        const auto* e = vellaro::FindExplanation(data.entries, "  not   found ", below);
        return e ? e->id : "";
    };
    EXPECT_EQ(find({"  シンボル:   クラス Foo", "  場所: クラス Hello"}), "class");
    EXPECT_EQ(find({"  シンボル:   変数 Foo", "  場所: クラス Hello"}), "any");
    EXPECT_EQ(find({"  シンボル:   クラス Foo"}), "any"); // no location to match
    EXPECT_EQ(vellaro::FindExplanation(data.entries, "found", {}), nullptr);
}

TEST(Explanations, FaultsInTheDataAreNamedWithTheirLine) {
    const std::string whole = "title: t\nmessage: m\nsummary: s\nmeaning: m\ncause: c\nfix: f\n"
                              "example: e\n";
    const struct {
        std::string text;
        std::size_t line;
    } cases[] = {
        {"", 1},
        {"title: t\n", 1},
        {"# note\n[Bad_Id]\n", 2},
        {"[a]\n" + whole + "[a]\n" + whole, 9},
        {"[a]\ntitle: t\n[b]\n" + whole, 1},
        {"[a]\n" + whole + "colour: red\n", 9},
        {"[a]\n" + whole + "title: again\n", 9},
        {"[a]\n" + whole + "no colon\n", 9},
        {"[a]\n" + whole + "symbol:\n", 9},
        {"[a]\n" + whole.substr(whole.find("summary")), 1},
    };
    for (const auto& c : cases) {
        const auto data = vellaro::ParseExplanations(c.text);
        EXPECT_NE(data.error, "") << c.text;
        EXPECT_EQ(data.errorLine, c.line) << c.text << data.error;
        EXPECT_TRUE(data.entries.empty());
    }
}

} // namespace
