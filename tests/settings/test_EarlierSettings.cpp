// Taking over the settings of the earlier machine-wide layout into the learner's own folder.
#include "settings/EarlierSettings.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "Scratch.h"
#include "common/Cp932.h"
#include "common/ValueStore.h"

namespace fs = std::filesystem;
using vellaro::Sjis;
using vellaro::TakeOverEarlierSettings;

namespace {

class EarlierSettingsTest : public ::testing::Test {
  protected:
    vtest::ScratchFolder m_dir;
    void SetUp() override {
        earlier = m_dir / "var" / "vellaro";
        earlierWork = m_dir / "opt" / "java source";
        system = m_dir / "home" / ".config" / "vellaro";
        fs::create_directories(earlier);
        fs::create_directories(earlierWork);
        fs::create_directories(m_dir / "作業");
        kStored = "[Bas]\r\nLevel=4\r\nPathSrc=" + Sjis((m_dir / "作業").string()).bytes() +
                  "\r\nSpeedDisp=0\r\n";
        vtest::WriteFile(earlier / "noprg.ini", kStored);
        vtest::WriteFile(vellaro::MachineValuesFile(earlier), kValues);
    }
    bool TakeOver() { return TakeOverEarlierSettings(earlier, earlierWork, system); }
    // The earlier folder must come out as it went in.
    void ExpectEarlierUntouched() {
        EXPECT_EQ(vtest::ReadFile(earlier / "noprg.ini"), kStored);
        EXPECT_EQ(vtest::ReadFile(vellaro::MachineValuesFile(earlier)), kValues);
    }

    std::string kStored; // names a work folder of the learner's choice, which exists
    const std::string kValues = "[Vellaro]\r\nGuidanceDismissed=sz:Dismissed\r\n";
    fs::path earlier;
    fs::path earlierWork;
    fs::path system;
};

TEST_F(EarlierSettingsTest, CopiesTheSettingsAndStoredValuesOnce) {
    ASSERT_TRUE(TakeOver());
    EXPECT_EQ(fs::status(system).permissions(), fs::perms::owner_all);
    EXPECT_EQ(vtest::ReadFile(system / "noprg.ini"), kStored);
    EXPECT_EQ(vtest::ReadFile(vellaro::MachineValuesFile(system)), kValues);
    ExpectEarlierUntouched();

    // Once: the learner's own settings are never replaced again.
    vtest::WriteFile(system / "noprg.ini", "[Bas]\r\nLevel=9\r\n");
    EXPECT_FALSE(TakeOver());
    EXPECT_EQ(vtest::ReadFile(system / "noprg.ini"), "[Bas]\r\nLevel=9\r\n");
}

TEST_F(EarlierSettingsTest, AWorkFolderTheEarlierProgramUsedStaysTheWorkFolder) {
    const std::string work = Sjis(earlierWork.string()).bytes();
    // Stored: the earlier default work folder, which exists.
    vtest::WriteFile(earlier / "noprg.ini", "[Bas]\r\nPathSrc=" + work + "\r\nLevel=2\r\n");
    ASSERT_TRUE(TakeOver());
    EXPECT_EQ(vtest::ReadFile(system / "noprg.ini"),
              "[Bas]\r\nPathSrc=" + work + "\r\nLevel=2\r\n");

    // Not stored (only the counters were) or naming a folder that is gone: the earlier program
    // worked in its default folder, and so does this one.
    for (const std::string before :
         {"[Bas]\r\nLevel=2\r\n", "[Bas]\r\nPathSrc=/gone\r\nLevel=2\r\n"}) {
        fs::remove(system / "noprg.ini");
        vtest::WriteFile(earlier / "noprg.ini", before);
        ASSERT_TRUE(TakeOver());
        const std::string copied = vtest::ReadFile(system / "noprg.ini");
        EXPECT_NE(copied.find("PathSrc=" + work + "\r\n"), std::string::npos) << copied;
        EXPECT_NE(copied.find("Level=2\r\n"), std::string::npos) << copied;
        EXPECT_EQ(vtest::ReadFile(earlier / "noprg.ini"), before);
    }

    // When the earlier default folder is gone too, the copy is left as it was.
    fs::remove(system / "noprg.ini");
    fs::remove(earlierWork);
    vtest::WriteFile(earlier / "noprg.ini", "[Bas]\r\nLevel=2\r\n");
    ASSERT_TRUE(TakeOver());
    EXPECT_EQ(vtest::ReadFile(system / "noprg.ini"), "[Bas]\r\nLevel=2\r\n");
}

TEST_F(EarlierSettingsTest, TheLearnersOwnStoredValuesWin) {
    fs::create_directories(system);
    vtest::WriteFile(vellaro::MachineValuesFile(system), "[Vellaro]\r\nOther=sz:mine\r\n");
    ASSERT_TRUE(TakeOver());
    EXPECT_EQ(vtest::ReadFile(vellaro::MachineValuesFile(system)),
              "[Vellaro]\r\nOther=sz:mine\r\n");
    EXPECT_TRUE(fs::exists(system / "noprg.ini"));
}

TEST_F(EarlierSettingsTest, NothingToTakeOverStartsFresh) {
    // No earlier layout at all.
    EXPECT_FALSE(TakeOverEarlierSettings({}, earlierWork, system));
    EXPECT_FALSE(TakeOverEarlierSettings(m_dir / "none", earlierWork, system));
    // An earlier folder without settings (the values alone are not taken over).
    fs::rename(earlier / "noprg.ini", m_dir / "saved.ini");
    EXPECT_FALSE(TakeOver());
    // A settings file that cannot be read (a folder in its place).
    fs::create_directory(earlier / "noprg.ini");
    EXPECT_FALSE(TakeOver());
    EXPECT_FALSE(fs::exists(system));
    // A link to the earlier folder is not the folder the set-up gave the learner.
    fs::remove(earlier / "noprg.ini");
    fs::rename(m_dir / "saved.ini", earlier / "noprg.ini");
    fs::create_directory_symlink(earlier, m_dir / "link");
    EXPECT_FALSE(TakeOverEarlierSettings(m_dir / "link", earlierWork, system));
    EXPECT_FALSE(fs::exists(system));
    ExpectEarlierUntouched();
}

TEST_F(EarlierSettingsTest, AnotherAccountsFolderIsLeftAlone) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a folder to another account needs root";
    ASSERT_EQ(::chown(earlier.c_str(), 12345, 12345), 0);
    EXPECT_FALSE(TakeOver());
    EXPECT_FALSE(fs::exists(system));
    ExpectEarlierUntouched();
}

TEST_F(EarlierSettingsTest, ASystemFolderThatCannotBeMadeTakesNothing) {
    vtest::WriteFile(m_dir / "home", "a file where the home folder should be");
    EXPECT_FALSE(TakeOver());
    ExpectEarlierUntouched();
}

} // namespace
