// Reading the compiler's messages: broken beginner programs compiled with the real javac.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "JavacSupport.h"
#include "common/Cp932.h"
#include "exercise/CompileMessages.h"

using ::testing::HasSubstr;
using vellaro::CompileReport;
using vellaro::Sjis;

namespace {

struct BrokenProgram {
    const char* entry;                   // the explanation the first message must get
    std::vector<std::string> statements; // as the learner types them into the bench
    std::size_t statement;               // the statement the first message names; 0: the wrapper
};

// Friendlier test names than the index: the entry's id.
std::string CaseName(const ::testing::TestParamInfo<BrokenProgram>& info) {
    std::string name = std::to_string(info.index) + "_" + info.param.entry;
    for (char& c : name)
        if (c == '-')
            c = '_';
    return name;
}

class BrokenProgramTest : public vellaro::test::JavacFolderTest,
                          public ::testing::WithParamInterface<BrokenProgram> {};

TEST_P(BrokenProgramTest, FirstMessageIsExplainedAndLeadsToItsStatement) {
    const BrokenProgram& p = GetParam();
    WriteSource("Hello", p.statements);
    const std::vector<std::string> pane = Compile("Hello");
    const CompileReport report = vellaro::ReadCompileMessages(pane, "Hello");

    ASSERT_FALSE(report.messages.empty()) << vellaro::Cp932ToUtf8Lossy(pane.front());
    const vellaro::CompilerMessage& first = report.messages.front();
    EXPECT_EQ(first.paneLine, 0u);
    EXPECT_TRUE(first.inSource);
    ASSERT_NE(first.explanation, nullptr) << first.text;
    EXPECT_EQ(first.explanation->id, p.entry) << first.text;

    // The listing line it names is the source line that holds the intended statement.
    const vellaro::TextLines source = vellaro::MakeJavaSource("Hello", {});
    const std::size_t n = p.statements.size();
    ASSERT_GE(first.line, 1u);
    ASSERT_LE(first.line, n + source.size());
    EXPECT_EQ(vellaro::StatementOfSourceLine(first.line, n), p.statement) << first.text;

    // The count the status bar shows is the count of the errors the pane holds.
    std::size_t errors = 0;
    for (const auto& m : report.messages)
        errors += m.kind == vellaro::MessageKind::Error;
    EXPECT_EQ(report.errorCount.value_or(0), errors);
}

// Each program is what a beginner types; its first message is the one the entry is written for.
const BrokenProgram kBrokenPrograms[] = {
    {"missing-semicolon", {"int x = 10", "?(x);"}, 1},
    {"missing-close-paren", {"int a = 1;", "?(\"合計: \" + (a + 1);"}, 2},
    {"missing-close-brace", {"int[] a = {1, 2;"}, 1},
    {"end-of-file", {"for (int i = 0; i < 3; i++) {", "?(i);"}, 0},
    {"variable-not-found", {"int count = 1;", "?(cont);"}, 2},
    {"method-not-found", {"System.out.prinln(\"a\");"}, 1},
    {"class-not-found", {"Scanner sc = new Scaner(System.in);"}, 1},
    {"system-lower-case", {"system.out.println(\"a\");"}, 1},
    {"class-name-lower-case", {"string s = \"a\";"}, 1},
    {"class-in-java-time", {"LocalDate d = LocalDate.now();"}, 1},
    {"class-in-java-math", {"int x = 1;", "?(BigInteger.ONE.add(BigInteger.TWO));"}, 2},
    {"class-in-java-regex", {"Pattern p = Pattern.compile(\"[0-9]+\");"}, 1},
    {"string-to-number", {"int n = \"123\";"}, 1},
    {"possible-lossy-conversion", {"int x = Math.sqrt(9);"}, 1},
    {"condition-not-boolean", {"int x = 1;", "if (x = 1) {", "?(x);", "}"}, 2},
    {"variable-already-defined", {"int x = 1;", "int x = 2;"}, 2},
    {"variable-not-initialised", {"int sum;", "sum = sum + 1;"}, 2},
    {"unreachable-statement", {"return;", "?(\"終わり\");"}, 2},
    {"unexpected-return-value", {"?(1);", "return 0;"}, 2},
    {"missing-return-value", {"?(twice(2));", "}", "static int twice(int x) {", "return;"}, 4},
    {"missing-return-statement",
     {"?(twice(2));", "}", "static int twice(int x) {", "int y = x;"},
     0},
    {"not-a-statement", {"int x = 1;", "x + 1;"}, 2},
    {"illegal-start-of-expression", {"int x = ;"}, 1},
    {"class-expected", {"int x = 1;", "if (x > 0) ?(x); }"}, 0},
    {"public-class-in-other-file",
     {"?(1);", "}", "}", "public class Dog {", "int age;", "void bark() {"},
     4},
    {"unclosed-string-literal", {"String s = \"こんにちは;"}, 1},
    {"illegal-char-ideographic-space", {"int　x = 1;"}, 1},
    {"illegal-char-fullwidth", {"int x = 1；"}, 1},
    {"illegal-char-curly-quote", {"String s = “abc”;"}, 1},
    {"unreported-ioexception",
     {"BufferedReader br = new BufferedReader(new InputStreamReader(System.in));",
      "String s = br.readLine();"},
     2},
    {"deprecated-api", {"Integer i = new Integer(5);", "?(i);"}, 1},
};

INSTANTIATE_TEST_SUITE_P(Javac, BrokenProgramTest, ::testing::ValuesIn(kBrokenPrograms), CaseName);

} // namespace
