// Reading traces of uncaught exceptions and the data that explains them.
#include <gtest/gtest.h>

#include "common/Cp932.h"
#include "exercise/RuntimeErrors.h"

namespace {

using vellaro::ExplainRunOutput;
using vellaro::ParseRuntimeExplanations;
using vellaro::ReadUncaughtException;

TEST(RuntimeData, BuiltInDataIsReadAndEndsWithAnEntryForAnyException) {
    const auto data = ParseRuntimeExplanations(vellaro::BuiltInRuntimeExplanationsText());
    ASSERT_EQ(data.error, "") << "runtime.txt:" << data.errorLine;
    ASSERT_FALSE(data.entries.empty());
    EXPECT_EQ(data.entries.back().exceptions, std::vector<std::string>{"*"});
    EXPECT_TRUE(data.entries.back().messages.empty());
    for (const auto& e : data.entries) // the help file is CP932
        EXPECT_TRUE(vellaro::Utf8ToCp932(e.title + e.summary + e.meaning + e.fix + e.example))
            << e.id;
}

TEST(RuntimeData, FaultsAreNamedWithTheirLine) {
    struct Case {
        const char* text;
        std::size_t line;
        const char* error;
    };
    const std::string ok = "summary: s\nmeaning: m\nfix: f\n";
    const Case cases[] = {
        {"[a]\ntitle: t\nsummary: s\nmeaning: m\nfix: f\n", 1, "entry [a] has no exception"},
        {"[a]\ntitle: t\nexception: *\nmessage: {x\n", 4, "a \"{\" in a pattern opens no"},
        {"[a]\ntitle: t\nexception: *\nsummary: {v}\nmeaning: m\nfix: f\n", 1,
         "entry [a]: {v} is not captured by every message"},
        {"[a]\ntitle: t\nexception: *\nmessage: x {v}\nmessage: y\nsummary: {v}\nmeaning: m\n"
         "fix: f\n",
         1, "entry [a]: {v} is not captured by every message"},
        {"[a]\ntitle: t\nexception: *\nsummary: s\nmeaning: m\nfix: f\n[a]\n", 7,
         "the id [a] is taken"},
        {"[a]\ntitle: t\nexception: *\nsummary: s\nsummary: s\n", 5,
         "the field summary is given twice"},
    };
    for (const Case& c : cases) {
        const auto data = ParseRuntimeExplanations(c.text);
        EXPECT_EQ(data.error.substr(0, std::string(c.error).size()), c.error) << c.text;
        EXPECT_EQ(data.errorLine, c.line) << c.text;
        EXPECT_TRUE(data.entries.empty());
    }
    // Values captured by every message, and the built-in ones, may be used.
    const auto data = ParseRuntimeExplanations(
        "[a]\ntitle: t\nexception: *\nmessage: x {v}\nmessage: {v:1*} y\nsummary: {v} {name}\n"
        "meaning: {type}\nfix: {message}\n");
    EXPECT_EQ(data.error, "");
}

TEST(RuntimePatterns, NamedPartsCaptureWhatTheyStandFor) {
    using Values = std::map<std::string, std::string>;
    EXPECT_EQ(vellaro::MatchRuntimePattern("Index {i} out of bounds for length {n}",
                                           "Index 3 out of bounds for length 3"),
              (Values{{"i", "3"}, {"n", "3"}}));
    EXPECT_EQ(
        vellaro::MatchRuntimePattern("For input string: \"{t:*.*}\"", "For input string: \"3.5\""),
        (Values{{"t", "3.5"}}));
    EXPECT_FALSE(
        vellaro::MatchRuntimePattern("For input string: \"{t:*.*}\"", "For input string: \"35\""));
    EXPECT_EQ(vellaro::MatchRuntimePattern("* because \"{v}\" is null",
                                           "Cannot load from int array because \"a\" is null"),
              (Values{{"v", "a"}}));
    EXPECT_FALSE(vellaro::MatchRuntimePattern("/ by zero", "/ by zero!"));
}

// The console expands the JVM's tabs into blanks, and the program's own output may stand
// before the trace on its line.
constexpr std::string_view kTrace =
    "数を入力: Exception in thread \"main\" "
    "java.util.NoSuchElementException: No line found\r\n"
    "        at java.base/java.util.Scanner.nextLine(Scanner.java:1651)\n"
    "\tat Hello.main(Hello.java:7)\n"
    "$ ";

TEST(RuntimeTrace, HeaderAndFramesAreRead) {
    const auto e = ReadUncaughtException("出力\n" + std::string(kTrace));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->thread, "main");
    EXPECT_EQ(e->type, "java.util.NoSuchElementException");
    EXPECT_EQ(e->message, "No line found");
    ASSERT_EQ(e->frames.size(), 2u);
    EXPECT_EQ(e->frames[0].method, "java.base/java.util.Scanner.nextLine");
    EXPECT_EQ(e->frames[0].file, "Scanner.java");
    EXPECT_EQ(e->frames[1].line, 7u);
    EXPECT_EQ(e->firstLine, 1u);
    EXPECT_EQ(e->endLine, 4u);
}

TEST(RuntimeTrace, LastTraceCountsAndOtherTextIsNoTrace) {
    const auto e = ReadUncaughtException(
        "Exception in thread \"Thread-0\" java.lang.IllegalStateException\n\tat Hello.lambda$main$0"
        "(Hello.java:6)\n\tat java.base/java.lang.Thread.run(Thread.java:840)\n"
        "Exception in thread \"main\" java.lang.StackOverflowError\n\tat Hello$1R.f(Hello.java:6)\n"
        "\t... 1024 more\nCaused by: java.lang.Error\n\tat X.y(Native Method)\n");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->type, "java.lang.StackOverflowError");
    EXPECT_EQ(e->message, "");
    EXPECT_EQ(e->frames.size(), 1u);
    for (const char* text :
         {"", "Exception in thread \"main\" ", "Exception in thread \"main\" 1x",
          "Exception in thread \"main\" java.lang.Error!",
          "java.lang.ArithmeticException: / by zero\n\tat Hello.main(Hello.java:6)"})
        EXPECT_FALSE(ReadUncaughtException(text)) << text;
}

TEST(RuntimeExplain, WhereFollowsTheFirstFrameInTheLearnersFile) {
    const std::vector<std::string> source = {"import java.util.*;",
                                             "import java.io.*;",
                                             "",
                                             "public class Hello {",
                                             "\tpublic static void main(String[] args) {",
                                             "\t\tScanner sc = new Scanner(System.in);",
                                             "\t\tString s = sc.nextLine();",
                                             "\t}",
                                             "}"};
    const auto f = ExplainRunOutput(kTrace, "Hello", source);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->entry->id, "no-line");
    EXPECT_EQ(vellaro::RunFailureWhere(*f),
              "2 行目の文（リストの 7 行目）: String s = sc.nextLine();");
    const auto lines = vellaro::RunFailureLines(*f);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "実行時エラー: 入力が終わっているのに、次の行を読もうとしました。");
    EXPECT_EQ(lines[2].substr(0, 8), "意味: ");
    EXPECT_EQ(lines[3].substr(0, 11), "直し方: ");

    // No source to read: the number still leads to the statement.
    EXPECT_EQ(vellaro::RunFailureWhere(*ExplainRunOutput(kTrace, "Hello", {})),
              "2 行目の文（リストの 7 行目）");
    // Another class's file: no frame is the learner's.
    EXPECT_EQ(
        vellaro::RunFailureWhere(*ExplainRunOutput(kTrace, "Other", source)),
        "入力した文のどこで起きたかは分かりません（トレースに Other.java の行がありません）。");
    // A wrapper line.
    EXPECT_EQ(vellaro::RunFailureWhere(*ExplainRunOutput(
                  "Exception in thread \"main\" java.lang.Error\n\tat Hello.main(Hello.java:5)",
                  "Hello", source)),
              "リストの 5 行目（入力した文の外）");
}

} // namespace
