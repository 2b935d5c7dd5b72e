// The settings file, exercise files and Java files survive a kill at any moment of a write:
// afterwards each is a whole file as some complete write left it, never a torn one, and a
// settings store is never seen half done.
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>

#include "KillLoop.h"
#include "SampleSettings.h"
#include "Scratch.h"
#include "common/AtomicFile.h"
#include "common/Cp932.h"
#include "exercise/ExerciseFiles.h"
#include "settings/IniFile.h"
#include "settings/TEnvSettings.h"

namespace fs = std::filesystem;
using namespace vellaro;

namespace {

std::string Contents(const fs::path& file) {
    std::string bytes;
    return ReadWholeFile(file, bytes) ? bytes : "<unreadable>";
}

class CrashSafety : public ::testing::Test {
  protected:
    vtest::ScratchFolder m_dir;
};

} // namespace

TEST_F(CrashSafety, SettingsFileIsWholeAfterEveryKill) {
    const TEnvSettings a = vtest::StoredDefaults();
    const TEnvSettings b = vtest::SampleSettings();
    // The three whole states the loop below can leave: each store is one replacement.
    const auto stateAfter = [&](const std::function<void(IniFile&)>& stores) {
        const fs::path scratch = m_dir / "state.ini";
        fs::remove(scratch);
        IniFile ini(scratch);
        SaveSettings(ini, a);
        stores(ini);
        return Contents(scratch);
    };
    const std::string stateA = stateAfter([](IniFile&) {});
    const std::string stateB = stateAfter([&](IniFile& ini) { SaveSettings(ini, b); });
    const std::string stateBWithCountersOfA = stateAfter([&](IniFile& ini) {
        SaveSettings(ini, b);
        SaveCounters(ini, a);
    });
    ASSERT_NE(stateB, stateBWithCountersOfA);
    const fs::path file = m_dir / "noprg.ini";
    {
        IniFile ini(file);
        SaveSettings(ini, a);
    }

    const int landed = vellaro::testing::KillWhileWriting(
        1000, 25000,
        [&] {
            IniFile ini(file);
            for (;;) {
                SaveSettings(ini, b);
                SaveCounters(ini, a);
            }
        },
        [&](int round) {
            const std::string now = Contents(file);
            ASSERT_TRUE(now == stateA || now == stateB || now == stateBWithCountersOfA)
                << "round " << round << ": a state no whole store leaves:\n"
                << now;
        });
    EXPECT_GE(landed, 990);
    // A kill half-way leaves at most the one temporary file of the target.
    EXPECT_LE(std::distance(fs::directory_iterator(m_dir.path()), {}), 4);
}

TEST_F(CrashSafety, ExerciseAndJavaFilesAreWholeAfterEveryKill) {
    const Cp932Text oldText = Sjis("int a = 1;\n?(\"こんにちは\" + a);\n");
    std::string newAscii;
    for (int i = 0; i < 2000; ++i)
        newAscii += "System.out.println(" + std::to_string(i) + ");\n";
    const Cp932Text newText(newAscii);
    const Cp932Lines oldJava = SjisLines({"import java.io.*;", "", "class A {}"});
    const Cp932Lines newJava(3000, Cp932Text(std::string(60, 'x')));

    const fs::path sja = m_dir / "Hello.sja";
    const fs::path java = m_dir / "Hello.java";
    ASSERT_TRUE(WriteExerciseFile(sja, oldText));
    ASSERT_TRUE(WriteJavaFile(java, oldJava));
    const std::string sjaOld = ExerciseFileBytes(oldText.bytes()),
                      sjaNew = ExerciseFileBytes(newText.bytes());
    const std::string javaOld = JavaFileBytes(oldJava), javaNew = JavaFileBytes(newJava);

    const int landed = vellaro::testing::KillWhileWriting(
        1000, 8000,
        [&] {
            for (;;) {
                WriteExerciseFile(sja, newText);
                WriteJavaFile(java, newJava);
                WriteExerciseFile(sja, oldText);
                WriteJavaFile(java, oldJava);
            }
        },
        [&](int round) {
            std::string bytes;
            ASSERT_TRUE(ReadWholeFile(sja, bytes)) << "round " << round;
            ASSERT_TRUE(bytes == sjaOld || bytes == sjaNew) << "round " << round;
            ASSERT_TRUE(ReadWholeFile(java, bytes)) << "round " << round;
            ASSERT_TRUE(bytes == javaOld || bytes == javaNew) << "round " << round;
        });
    EXPECT_GE(landed, 990);
}
