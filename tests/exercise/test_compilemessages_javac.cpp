// Reading the compiler's messages: broken beginner programs compiled with the real javac.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BrokenPrograms.h"
#include "JavacSupport.h"
#include "common/Cp932.h"
#include "exercise/CompileMessages.h"

using vellaro::CompileReport;
using vellaro::test::BrokenProgram;
using vellaro::test::kBrokenPrograms;

namespace {

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
    const vellaro::Cp932Lines pane = Compile("Hello");
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
    EXPECT_EQ(vellaro::MessageStatement(first, p.statements), p.statement) << first.text;

    // The count the status bar shows is the count of the errors the pane holds.
    std::size_t errors = 0;
    for (const auto& m : report.messages)
        errors += m.kind == vellaro::MessageKind::Error;
    EXPECT_EQ(report.errorCount.value_or(0), errors);
}

INSTANTIATE_TEST_SUITE_P(Javac, BrokenProgramTest, ::testing::ValuesIn(kBrokenPrograms), CaseName);

} // namespace
