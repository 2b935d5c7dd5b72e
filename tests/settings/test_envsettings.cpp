#include "settings/TEnvSettings.h"

#include "TempDir.h"
#include "common/VellaroError.h"
#include "settings/IniFile.h"
#include <algorithm>

namespace fs = std::filesystem;
using namespace vellaro;

namespace {

class EnvSettingsTest : public vellaro::testing::TempDirTest {
  protected:
    fs::path File() const { return m_dir / "noprg.ini"; }

    static TEnvSettings Defaults() {
        TEnvSettings s = DefaultEnvSettings("/opt/vellaro/java source");
        s.YokoPos = 254;
        s.TatePos = 122;
        return s;
    }
};

// "ＭＳ ゴシック" in CP932.
const std::string kMsGothic = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";

} // namespace

TEST_F(EnvSettingsTest, SaveSettingsOfTheDefaultsWritesTheKnownFile) {
    IniFile ini(File());
    SaveSettings(ini, Defaults());
    EXPECT_EQ(ReadBytes(File()), "[Bas]\r\n"
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
    TEnvSettings s = Defaults();
    s.Level = 3;
    s.JavaReadCount = 0;
    s.BasreadCount = 42;
    SaveCounters(ini, s);
    EXPECT_EQ(ReadBytes(File()), "[Bas]\r\nLevel=3\r\nJavaReadCount=0\r\nBasreadCount=42\r\n");

    SaveSettings(ini, s);
    const std::string bytes = ReadBytes(File());
    EXPECT_EQ(bytes.rfind("[Bas]\r\nLevel=3\r\nJavaReadCount=0\r\nBasreadCount=42\r\n"
                          "spFontSize=12\r\n",
                          0),
              0u);
    EXPECT_TRUE(bytes.ends_with("SwSpeedText=1\r\nSpeedDisp=1\r\n"));
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 19);
}

TEST_F(EnvSettingsTest, LoadReadsBackWhatSaveWrote) {
    TEnvSettings s = Defaults();
    s.FontName = "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E"; // ＭＳ Ｐゴシック
    s.FontSize = 14;
    s.FontColor = 255;
    s.spFontName = "IPAGothic";
    s.spFontSize = 20;
    s.PathSrc = "/home/学習者/java source";
    s.YokoSize = 800;
    s.TateSize = 600;
    s.YokoPos = -10;
    s.TatePos = 5;
    s.Level = 10;
    s.LevelTextBas = 2;
    s.LevelTextJava = 3;
    s.JavaReadCount = 77;
    s.BasreadCount = 0;
    s.SwSpeedRead = false;
    s.SwSpeedText = false;
    s.SpeedDisp = false;
    IniFile ini(File());
    SaveSettings(ini, s);
    // The folder is stored in CP932 ("学習者" is 8A 77 8F 4B 8E D2).
    EXPECT_NE(ReadBytes(File()).find("PathSrc=/home/\x8A\x77\x8F\x4B\x8E\xD2/java source\r\n"),
              std::string::npos);

    TEnvSettings loaded;
    LoadSettings(ini, loaded);
    EXPECT_EQ(loaded, s);
}

TEST_F(EnvSettingsTest, LoadKeepsFieldsWhoseKeysAreMissingOrUnreadable) {
    WriteBytes(File(), "[Bas]\r\nLevel=0x1F\r\nJavaReadCount=abc\r\nBasreadCount=$10\r\n"
                       "FontSize=0x\r\nSwSpeedRead=no\r\nPathSrc=/bad\x82\r\n");
    TEnvSettings s = Defaults();
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
    TEnvSettings s = Defaults();
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
    TEnvSettings s = Defaults();
    s.FontName = "bad\r\nname"; // the third key
    IniFile ini(File());
    try {
        SaveSettings(ini, s);
        FAIL() << "no error";
    } catch (const VellaroError& e) {
        EXPECT_EQ(std::string(e.what()), File().string() + " に書き込めません");
    }
    EXPECT_EQ(ReadBytes(File()), "[Bas]\r\nspFontSize=12\r\nspFontName=" + kMsGothic + "\r\n");
}
