// Java source generation and its listing.
#include <gtest/gtest.h>

#include "common/Cp932.h"
#include "exercise/JavaComp.h"

using vellaro::ExpandPrintShorthand;
using vellaro::MakeJavaSource;
using vellaro::MakeSourceListing;
using vellaro::SplitStatementLines;
using vellaro::TextLines;

namespace {

TextLines Generate(std::string_view className, std::string_view editorText) {
    return MakeJavaSource(className, SplitStatementLines(editorText));
}

} // namespace

TEST(JavaSource, HelloWithOneShorthandStatementGivesTheWholeTable) {
    const TextLines source = Generate("Hello", "?(1);");
    const TextLines expected = {
        "import java.io.*;",
        "import java.util.*;",
        "",
        "public class Hello {",
        "\tpublic static void main(String[] args) {",
        "\t\tSystem.out.println (1);",
        "\t}",
        "}",
    };
    EXPECT_EQ(source, expected); // n + 7 lines for n = 1

    const TextLines listing = {"  1 :  import java.io.*;",
                               "  2 :  import java.util.*;",
                               "  3 :  ",
                               "  4 :  public class Hello {",
                               "  5 :  \tpublic static void main(String[] args) {",
                               "  6 :  \t\tSystem.out.println (1);",
                               "  7 :  \t}",
                               "  8 :  }"};
    EXPECT_EQ(MakeSourceListing(source), listing);
}

TEST(JavaSource, EmptyClassNameLeavesTwoBlanksBeforeTheBrace) {
    EXPECT_EQ(Generate("", "int a;")[3], "public class  {");
}

TEST(JavaSource, StatementLinesKeepTheirOwnIndentAndNothingIsAdded) {
    const TextLines source = Generate("T", "\tint a = 3\n\n  ?(a)\n// note");
    ASSERT_EQ(source.size(), 4u + 7u);
    EXPECT_EQ(source[5], "\t\t\tint a = 3"); // a leading tab gives three tabs, no semicolon added
    EXPECT_EQ(source[6], "\t\t");            // an empty line between statements
    EXPECT_EQ(source[7], "\t\t  System.out.println (a)");
    EXPECT_EQ(source[8], "\t\t// note");
    EXPECT_EQ(source[9], "\t}");
}

TEST(JavaSource, JapaneseStatementsPassThroughByteForByte) {
    // "表" and "ソ" end in 0x5C ("\") in CP932; nothing may treat those bytes as characters, so
    // CP932 bytes come through the rules as UTF-8 does.
    const std::string statement = vellaro::Sjis("?(\"表示とソース\");").bytes();
    const TextLines source = Generate("J", statement);
    EXPECT_EQ(source[5],
              "\t\tSystem.out.println (" + statement.substr(2)); // rest unchanged, byte for byte
}

TEST(StatementLines, LineBreaksSplitAndAFinalBreakStartsNoLine) {
    EXPECT_TRUE(SplitStatementLines("").empty());
    EXPECT_EQ(SplitStatementLines("\n"), TextLines{""}); // one line break is one empty line
    EXPECT_EQ(SplitStatementLines("a\n"), TextLines{"a"});
    EXPECT_EQ(SplitStatementLines("a\n\n"), (TextLines{"a", ""}));
    EXPECT_EQ(SplitStatementLines("a\r\nb\rc\nd"), (TextLines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitStatementLines(" \t"), TextLines{" \t"}); // blanks and tabs are a line

    // One line break gives eight source lines, the statement line being just two tabs.
    const TextLines source = Generate("E", "\n");
    ASSERT_EQ(source.size(), 8u);
    EXPECT_EQ(source[5], "\t\t");
}

TEST(StatementLines, AVeryLongLineIsNotCut) {
    const std::string longLine(100000, 'x');
    const TextLines lines = SplitStatementLines(longLine + "\n?(1);");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], longLine);
    EXPECT_EQ(Generate("L", longLine)[5], "\t\t" + longLine);
}

TEST(PrintShorthand, OnlyTheFirstOccurrenceIsExpanded) {
    // Java syntax is not looked at: a conditional operator right before "(" is expanded too, in
    // a string as well. Both characters must stand directly together; "??(" is no trigraph.
    const char* const expansions[][2] = {{"?(x + 1);", "System.out.println (x + 1);"},
                                         {"int a = 3;", "int a = 3;"},
                                         {"?(a); ?(b);", "System.out.println (a); ?(b);"},
                                         {"y = c ?(a) : b;", "y = c System.out.println (a) : b;"},
                                         {"s = \"?(\";", "s = \"System.out.println (\";"},
                                         {"y = c ? (a) : b;", "y = c ? (a) : b;"},
                                         {"(?", "(?"},
                                         {"?\x3F(", "?System.out.println ("},
                                         {"", ""}};
    for (const auto& [statement, expanded] : expansions)
        EXPECT_EQ(ExpandPrintShorthand(statement), expanded) << statement;
}

TEST(SourceListing, NumbersWidenFromLineOneThousand) {
    TextLines statements(998, "?(i);");
    const TextLines source = MakeJavaSource("Big", statements);
    ASSERT_EQ(source.size(), 1005u);
    EXPECT_EQ(source[1003], "\t}");

    const TextLines listing = MakeSourceListing(source);
    ASSERT_EQ(listing.size(), 1005u);
    EXPECT_EQ(listing[8], "  9 :  \t\tSystem.out.println (i);");
    EXPECT_EQ(listing[9], " 10 :  \t\tSystem.out.println (i);");
    EXPECT_EQ(listing[998], "999 :  \t\tSystem.out.println (i);");
    EXPECT_EQ(listing[999], "1000 :  \t\tSystem.out.println (i);");
    EXPECT_EQ(listing[1004], "1005 :  }");
    EXPECT_EQ(vellaro::ListingLine(123456, "x"), "123456 :  x");
    EXPECT_TRUE(MakeSourceListing({}).empty());
}

TEST(SourceListing, JoinLinesPutsBreaksOnlyBetweenLines) {
    EXPECT_EQ(vellaro::JoinLines({}), "");
    EXPECT_EQ(vellaro::JoinLines({""}), "");
    EXPECT_EQ(vellaro::JoinLines({"a", "", "b"}), "a\n\nb");
}

TEST(JavaSource, OnlyStatementLinesMapBackToTheirStatement) {
    const vellaro::TextLines statements = {"int a = 1;", "?(a);", ""};
    const vellaro::TextLines source = vellaro::MakeJavaSource("Hello", statements);
    for (std::size_t line = 0; line <= source.size() + 1; ++line) {
        const std::size_t statement = vellaro::StatementOfSourceLine(line, statements.size());
        if (line >= 6 && line <= 8) {
            ASSERT_EQ(statement, line - 5);
            EXPECT_EQ(source[line - 1],
                      "\t\t" + vellaro::ExpandPrintShorthand(statements[statement - 1]));
        } else {
            EXPECT_EQ(statement, 0u) << line;
        }
    }
}
