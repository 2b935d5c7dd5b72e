// Every Java example of the lesson text compiles with the JDK's javac, built and compiled as the
// exercise bench builds and compiles the learner's statements; every compiler message the lesson
// quotes is one that javac prints.
#include <gtest/gtest.h>

#include <fstream>

#include "JavacSupport.h"
#include "common/AtomicFile.h"
#include "common/Cp932.h"
#include "common/delCommFunc.h"
#include "exercise/Compile.h"
#include "exercise/ExerciseFiles.h"
#include "exercise/JavaComp.h"
#include "trainer/LessonSource.h"

namespace fs = std::filesystem;

namespace {

// The program's file: a whole file as the lesson shows it, or the learner's statements wrapped as
// the bench wraps them, with the lesson's methods inside that class and its other classes after.
vellaro::Cp932Lines SourceOf(const std::string& name, const vellaro::LessonProgram& p) {
    if (!p.file.empty())
        return vellaro::SjisLines(p.file);
    vellaro::TextLines source = vellaro::MakeJavaSource(name, p.main);
    source.insert(source.end() - 1, p.member.begin(), p.member.end()); // before the class's brace
    source.insert(source.end(), p.top.begin(), p.top.end());
    return vellaro::SjisLines(source);
}

class LessonJavac : public vellaro::test::FolderTest {
  protected:
    void SetUp() override {
        FolderTest::SetUp();
        m_savedCwd = fs::current_path();
    }
    void TearDown() override { fs::current_path(m_savedCwd); }
    fs::path m_savedCwd;
};

TEST_F(LessonJavac, EveryExampleCompilesAndEveryQuotedMessageIsJavacs) {
    std::string text;
    ASSERT_TRUE(vellaro::ReadWholeFile(fs::path(VELLARO_TEST_DATA).parent_path().parent_path() /
                                           "resources" / "lesson" / "lesson.txt",
                                       text));
    const vellaro::LessonSource lesson = vellaro::ParseLessonSource(text);
    ASSERT_EQ(lesson.error, "");
    ASSERT_GE(lesson.programs.size(), 15u);
    // The class chapter builds its Book with the constructor the text adds.
    ASSERT_TRUE(lesson.programs.count("Chapter8"));
    EXPECT_NE(lesson.programs.at("Chapter8").main.at(0).find("new Book(\""), std::string::npos);

    const vellaro::Cp932Text clean = vellaro::Sjis(vellaro::kCompileCleanText);
    for (const auto& [name, program] : lesson.programs) {
        SCOPED_TRACE(name);
        const fs::path folder = scratch / "work" / name;
        fs::create_directories(folder);
        fs::current_path(folder);
        {
            std::ofstream out(folder / (program.fileStem + ".java"), std::ios::binary);
            out << vellaro::JavaFileBytes(SourceOf(name, program));
        }
        const vellaro::CompileOutcome outcome =
            vellaro::CompileSource(program.fileStem, [](const vellaro::Command& command) {
                return vellaro::test::SpawnAndWait(command.argv);
            });
        std::string shown;
        for (const vellaro::Cp932Text& line : outcome.lines)
            shown += vellaro::Cp932ToUtf8Lossy(line) + "\n";
        if (program.javacSays.empty()) {
            EXPECT_EQ(outcome.lines, vellaro::Cp932Lines{clean}) << shown;
            continue;
        }
        for (const std::string& quoted : program.javacSays)
            EXPECT_NE(shown.find(quoted), std::string::npos) << quoted << " is not in:\n" << shown;
    }
}

} // namespace
