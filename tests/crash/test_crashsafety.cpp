// The settings file, exercise files and Java files survive a kill at any moment of a write:
// afterwards each is a whole file as some complete write left it, never a torn one.
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>

#include "KillLoop.h"
#include "common/AtomicFile.h"
#include "common/Cp932.h"
#include "exercise/ExerciseFiles.h"
#include "settings/IniFile.h"
#include "settings/TEnvSettings.h"

namespace fs = std::filesystem;
using namespace vellaro;

namespace {

const char* const kKeys[] = {
    "spFontSize",    "spFontName",    "FontName",     "FontSize",    "FontColor",   "PathSrc",
    "YokoSize",      "TateSize",      "YokoPos",      "TatePos",     "Level",       "LevelTextBas",
    "LevelTextJava", "JavaReadCount", "BasreadCount", "SwSpeedRead", "SwSpeedText", "SpeedDisp"};

class CrashSafety : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "vellaro-crash-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        m_dir = tmpl;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Every key's text as SaveSettings writes the record.
    std::map<std::string, std::string> KeyTexts(const TEnvSettings& s, const char* name) {
        IniFile ini(m_dir / name);
        SaveSettings(ini, s);
        std::map<std::string, std::string> texts;
        for (const char* k : kKeys)
            texts[k] = ini.ReadRaw("Bas", k).value_or("<missing>");
        return texts;
    }

    fs::path m_dir;
};

} // namespace

TEST_F(CrashSafety, SettingsFileIsWholeAfterEveryKill) {
    TEnvSettings a = DefaultEnvSettings("/opt/vellaro/java source");
    a.YokoPos = 254;
    a.TatePos = 122;
    TEnvSettings b = a;
    b.FontName = Sjis("IPAゴシック");
    b.spFontName = Sjis("ＭＳ Ｐゴシック");
    b.FontSize = 14;
    b.spFontSize = 20;
    b.PathSrc = "/home/learner/練習 java";
    b.YokoSize = 800;
    b.TateSize = 600;
    b.YokoPos = -10;
    b.TatePos = 3000;
    b.Level = 9;
    b.LevelTextBas = 7;
    b.LevelTextJava = 5;
    b.JavaReadCount = 123;
    b.BasreadCount = 456;
    b.SwSpeedRead = false;
    b.SwSpeedText = false;
    b.SpeedDisp = false;
    const auto textA = KeyTexts(a, "a.ini");
    const auto textB = KeyTexts(b, "b.ini");

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
                SaveSettings(ini, a);
            }
        },
        [&](int round) {
            // Each key is written on its own, so a kill between two keys leaves a mix of the
            // two records; what must never happen is a key missing or a value cut short.
            IniFile ini(file);
            for (const char* k : kKeys) {
                const auto v = ini.ReadRaw("Bas", k);
                ASSERT_TRUE(v.has_value()) << "round " << round << ": " << k << " missing";
                ASSERT_TRUE(*v == textA.at(k) || *v == textB.at(k))
                    << "round " << round << ": " << k << "=" << *v;
            }
        });
    EXPECT_GE(landed, 990);
    // A kill half-way leaves at most the one temporary file of the target.
    EXPECT_LE(std::distance(fs::directory_iterator(m_dir), {}), 4);
}

TEST_F(CrashSafety, ExerciseAndJavaFilesAreWholeAfterEveryKill) {
    const std::string oldText = Sjis("int a = 1;\n?(\"こんにちは\" + a);\n");
    std::string newText;
    for (int i = 0; i < 2000; ++i)
        newText += "System.out.println(" + std::to_string(i) + ");\n";
    const TextLines oldJava = {"import java.io.*;", "", "class A {}"};
    TextLines newJava(3000, std::string(60, 'x'));

    const fs::path sja = m_dir / "Hello.sja";
    const fs::path java = m_dir / "Hello.java";
    ASSERT_TRUE(WriteExerciseFile(sja, oldText));
    ASSERT_TRUE(WriteJavaFile(java, oldJava));
    const std::string sjaOld = ExerciseFileBytes(oldText), sjaNew = ExerciseFileBytes(newText);
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
