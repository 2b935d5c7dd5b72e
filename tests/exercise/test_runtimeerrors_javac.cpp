// Explaining uncaught exceptions: beginner programs compiled as the bench compiles them, run with
// the real java, and their traces read and explained.
#include <gtest/gtest.h>

#include <fstream>

#include "JavacSupport.h"
#include "common/AtomicFile.h"
#include "exercise/JavaComp.h"
#include "exercise/RuntimeErrors.h"

namespace {

struct FailingProgram {
    const char* entry;
    std::vector<std::string> statements;
    const char* input;               // what the learner types into the console
    std::size_t statement;           // where the explanation must point
    std::vector<std::string> values; // texts of the JVM's message, put into the explanation
};

const FailingProgram kFailingPrograms[] = {
    {"divide-by-zero", {"int a = 5;", "int b = 0;", "?(a / b);"}, "", 3, {}},
    {"array-index", {"int[] a = new int[3];", "int x = a[3];"}, "", 2, {"長さは 3", "番号 3 の"}},
    // The JDK's own frames stand above the learner's in these.
    {"string-index", {"String s = \"abc\";", "char c = s.charAt(5);"}, "", 2, {"位置 5 を"}},
    {"string-range",
     {"String s = \"abc\";", "String t = s.substring(5);"},
     "",
     2,
     {"位置 5 から位置 3", "長さは 3"}},
    {"list-index",
     {"ArrayList<Integer> list = new ArrayList<>();", "list.add(1);", "int v = list.get(2);"},
     "",
     3,
     {"要素が 1 個", "番号 2 の"}},
    {"negative-array-size", {"int n = -2;", "int[] a = new int[n];"}, "", 2, {"長さが -2"}},
    {"null-invoke",
     {"String name = null;", "?(name.length());"},
     "",
     2,
     {"変数 name は", "String.length()"}},
    {"null-variable", {"int[] a = null;", "a[0] = 1;"}, "", 2, {"変数 a は"}},
    {"number-empty",
     {"Scanner sc = new Scanner(System.in);", "String s = sc.nextLine();",
      "int n = Integer.parseInt(s);"},
     "\n",
     3,
     {}},
    {"number-text",
     {"Scanner sc = new Scanner(System.in);", "int n = Integer.parseInt(sc.nextLine());"},
     "abc\n",
     2,
     {"「abc」"}},
    {"number-decimal",
     {"Scanner sc = new Scanner(System.in);", "int n = Integer.parseInt(sc.nextLine());"},
     "3.5\n",
     2,
     {"「3.5」"}},
    {"number-blank",
     {"Scanner sc = new Scanner(System.in);", "int n = Integer.parseInt(sc.nextLine());"},
     " 12\n",
     2,
     {"「 12」"}},
    {"input-mismatch",
     {"Scanner sc = new Scanner(System.in);", "int n = sc.nextInt();"},
     "abc\n",
     2,
     {}},
    {"no-element", {"Scanner sc = new Scanner(System.in);", "int n = sc.nextInt();"}, "", 2, {}},
    {"no-line", {"Scanner sc = new Scanner(System.in);", "String s = sc.nextLine();"}, "", 2, {}},
    {"class-cast",
     {"Object o = \"s\";", "Integer i = (Integer) o;"},
     "",
     2,
     {"中身が java.lang.String の値", "java.lang.Integer として"}},
    {"array-store",
     {"Object[] s = new String[1];", "s[0] = 1;"},
     "",
     2,
     {"java.lang.Integer の値"}},
    {"illegal-argument",
     {"ArrayList<Integer> a = new ArrayList<>(-1);"},
     "",
     1,
     {"Illegal Capacity: -1"}},
    {"illegal-state",
     {"ArrayList<Integer> a = new ArrayList<>();", "Iterator<Integer> it = a.iterator();",
      "it.remove();"},
     "",
     3,
     {}},
    {"unsupported", {"List<Integer> a = List.of(1, 2);", "a.add(3);"}, "", 2, {}},
    {"concurrent-modification",
     {"ArrayList<Integer> a = new ArrayList<>(List.of(1, 2, 3));", "for (int x : a) {",
      "a.remove(0);", "}"},
     "",
     2,
     {}},
    {"out-of-memory", {"long[] big = new long[Integer.MAX_VALUE - 8];"}, "", 1, {}},
    // Thrown in a local class and in a lambda: the first frame in the learner's file is theirs.
    {"stack-overflow",
     {"class R { int f(int n) { return f(n + 1) + 1; } }", "?(new R().f(0));"},
     "",
     1,
     {}},
    {"stack-overflow",
     {"java.util.function.IntUnaryOperator[] f = new java.util.function.IntUnaryOperator[1];",
      "f[0] = n -> f[0].applyAsInt(n + 1);", "?(f[0].applyAsInt(0));"},
     "",
     2,
     {}},
    {"other",
     {"int x = 1;", "throw new RuntimeException(\"失敗\");"},
     "",
     2,
     {"RuntimeException", "失敗"}},
    {"other-error", {"throw new AssertionError(\"x\");"}, "", 1, {"AssertionError"}},
};

std::string CaseName(const ::testing::TestParamInfo<FailingProgram>& info) {
    std::string name = std::to_string(info.index) + "_" + info.param.entry;
    for (char& c : name)
        if (c == '-')
            c = '_';
    return name;
}

class FailingProgramTest : public vellaro::test::JavacFolderTest,
                           public ::testing::WithParamInterface<FailingProgram> {
  protected:
    // Runs the class as the console does, with the learner's input, and answers what it wrote.
    std::string Run(const std::string& name, const std::string& input) {
        {
            std::ofstream in(scratch / "work" / "in.txt", std::ios::binary);
            in << input;
        }
        const std::string script = "java -Duser.language=ja -Dfile.encoding=UTF-8 "
                                   "-Dstdout.encoding=UTF-8 -Dstderr.encoding=UTF-8 " +
                                   name + " < in.txt > out.txt 2>&1";
        EXPECT_NE(vellaro::test::SpawnAndWait({"/bin/sh", "-c", script}), 0);
        std::string output;
        EXPECT_TRUE(vellaro::ReadWholeFile(scratch / "work" / "out.txt", output));
        return output;
    }
};

TEST_P(FailingProgramTest, ExplainedAtItsStatementWithTheValuesOfItsMessage) {
    const FailingProgram& p = GetParam();
    WriteSource("Hello", p.statements);
    const vellaro::Cp932Lines pane = Compile("Hello");
    ASSERT_EQ(pane.size(), 1u) << vellaro::Cp932ToUtf8Lossy(pane.front());
    const std::string output = Run("Hello", p.input);

    std::vector<std::string> source;
    for (const std::string& line : vellaro::MakeJavaSource("Hello", p.statements))
        source.push_back(line);
    const auto failure = vellaro::ExplainRunOutput(output, "Hello", source);
    ASSERT_TRUE(failure) << output;
    ASSERT_NE(failure->entry, nullptr);
    EXPECT_EQ(failure->entry->id, p.entry) << output;
    EXPECT_EQ(failure->statement, p.statement) << output;

    const std::string statement = vellaro::ExpandPrintShorthand(p.statements[p.statement - 1]);
    EXPECT_EQ(vellaro::RunFailureWhere(*failure),
              std::to_string(p.statement) + " 行目の文（リストの " +
                  std::to_string(p.statement + vellaro::kSourceLinesBeforeStatements) +
                  " 行目）: " + statement);
    std::string text;
    for (const std::string& line : vellaro::RunFailureLines(*failure))
        text += line + "\n";
    // Every value was put in: no "{name}" is left.
    for (std::size_t at = text.find('{'); at != std::string::npos; at = text.find('{', at + 1)) {
        std::size_t end = at + 1;
        while (end < text.size() && ((text[end] >= 'a' && text[end] <= 'z') || text[end] == '_'))
            ++end;
        EXPECT_FALSE(end > at + 1 && end < text.size() && text[end] == '}') << text;
    }
    for (const std::string& value : p.values)
        EXPECT_NE(text.find(value), std::string::npos) << value << "\n" << text;
}

INSTANTIATE_TEST_SUITE_P(Java, FailingProgramTest, ::testing::ValuesIn(kFailingPrograms), CaseName);

} // namespace
