#include "settings/TEnvSettings.h"

#include <gtest/gtest.h>

#include "SampleSettings.h"
#include "Scratch.h"
#include "common/VellaroError.h"
#include "settings/IniFile.h"
#include <algorithm>

namespace fs = std::filesystem;
using namespace vellaro;

namespace {

class EnvSettingsTest : public ::testing::Test {
  protected:
    vtest::ScratchFolder m_dir;
    fs::path File() const { return m_dir / "noprg.ini"; }
};

using vtest::StoredDefaults;

// "ＭＳ ゴシック" in CP932.
const std::string kMsGothic = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";

} // namespace

TEST_F(EnvSettingsTest, SaveSettingsOfTheDefaultsWritesTheKnownFile) {
    IniFile ini(File());
    SaveSettings(ini, StoredDefaults());
    EXPECT_EQ(vtest::ReadFile(File()), "[Bas]\r\n"
                                       "spFontSize=12\r\n"
                                       "spFontName=" +
                                           kMsGothic +
                                           "\r\n"
                                           "FontName=" +
                                           kMsGothic +
                                           "\r\n"
                                           "FontSize=10\r\n"
                                           "FontColor=-2147483640\r\n"
                                           "PathSrc=/opt/vellaro/java source\r\n"
                                           "YokoSize=595\r\n"
                                           "TateSize=520\r\n"
                                           "YokoPos=254\r\n"
                                           "TatePos=122\r\n"
                                           "Level=1\r\n"
                                           "LevelTextBas=1\r\n"
                                           "LevelTextJava=1\r\n"
                                           "JavaReadCount=1\r\n"
                                           "BasreadCount=1\r\n"
                                           "SwSpeedRead=1\r\n"
                                           "SwSpeedText=1\r\n"
                                           "SpeedDisp=1\r\n");
}

TEST_F(EnvSettingsTest, FileFirstWrittenByTheCountersKeepsThemFirst) {
    IniFile ini(File());
    TEnvSettings s = StoredDefaults();
    s.Level = 3;
    s.JavaReadCount = 0;
    s.BasreadCount = 42;
    SaveCounters(ini, s);
    EXPECT_EQ(vtest::ReadFile(File()),
              "[Bas]\r\nLevel=3\r\nJavaReadCount=0\r\nBasreadCount=42\r\n");

    SaveSettings(ini, s);
    const std::string bytes = vtest::ReadFile(File());
    EXPECT_EQ(bytes.rfind("[Bas]\r\nLevel=3\r\nJavaReadCount=0\r\nBasreadCount=42\r\n"
                          "spFontSize=12\r\n",
                          0),
              0u);
    EXPECT_TRUE(bytes.ends_with("SwSpeedText=1\r\nSpeedDisp=1\r\n"));
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 19);
}

TEST_F(EnvSettingsTest, LoadReadsBackWhatSaveWrote) {
    const TEnvSettings s = vtest::SampleSettings();
    IniFile ini(File());
    SaveSettings(ini, s);
    // The folder is stored in CP932 ("学習者" is 8A 77 8F 4B 8E D2).
    EXPECT_NE(
        vtest::ReadFile(File()).find("PathSrc=/home/\x8A\x77\x8F\x4B\x8E\xD2/java source\r\n"),
        std::string::npos);

    TEnvSettings loaded;
    LoadSettings(ini, loaded);
    EXPECT_EQ(loaded, s);
}

TEST_F(EnvSettingsTest, LoadKeepsFieldsWhoseKeysAreMissingOrUnreadable) {
    vtest::WriteFile(File(), "[Bas]\r\nLevel=0x1F\r\nJavaReadCount=abc\r\nBasreadCount=$10\r\n"
                             "FontSize=0x\r\nSwSpeedRead=no\r\nPathSrc=/bad\x82\r\n");
    TEnvSettings s = StoredDefaults();
    s.FontSize = 9;
    s.JavaReadCount = 5;
    const TEnvSettings before = s;
    IniFile ini(File());
    LoadSettings(ini, s);

    TEnvSettings expected = before;
    expected.Level = 31;
    expected.BasreadCount = 16;
    EXPECT_EQ(s, expected);
}

TEST_F(EnvSettingsTest, FolderThatCp932CannotHoldIsRefusedBeforeAnyWrite) {
    TEnvSettings s = StoredDefaults();
    s.PathSrc = "/home/user/📁 java";
    IniFile ini(File());
    try {
        SaveSettings(ini, s);
        FAIL() << "no error";
    } catch (const VellaroError& e) {
        EXPECT_NE(std::string(e.what()).find("/home/user/📁 java"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(File()));
}

TEST_F(EnvSettingsTest, KeysWrittenBeforeARefusedWriteStay) {
    TEnvSettings s = StoredDefaults();
    s.FontName = Cp932Text("bad\r\nname"); // the third key
    IniFile ini(File());
    try {
        SaveSettings(ini, s);
        FAIL() << "no error";
    } catch (const VellaroError& e) {
        EXPECT_EQ(std::string(e.what()), File().string() + " に書き込めません");
    }
    EXPECT_EQ(vtest::ReadFile(File()),
              "[Bas]\r\nspFontSize=12\r\nspFontName=" + kMsGothic + "\r\n");
}
