#include "settings/IniFile.h"

#include <gtest/gtest.h>

#include "Scratch.h"
#include "common/VellaroError.h"

#include <climits>

namespace fs = std::filesystem;
using vellaro::Cp932Text;
using vellaro::IniFile;
using namespace vellaro::cp932_literals;
using vellaro::IniValueReadsBack;
using vellaro::VellaroError;

namespace {

class IniFileTest : public ::testing::Test {
  protected:
    vtest::ScratchFolder m_dir;
    fs::path File() const { return m_dir / "noprg.ini"; }
    IniFile WithContent(const std::string& bytes) {
        vtest::WriteFile(File(), bytes);
        return IniFile(File());
    }
};

// The error text of a refused write, or "" when nothing was thrown.
template <class F> std::string RefusalText(F&& write) {
    try {
        write();
    } catch (const VellaroError& e) {
        return e.what();
    }
    return {};
}

} // namespace

TEST_F(IniFileTest, MissingFileSectionOrKeyKeepsTheDefault) {
    IniFile missing(m_dir / "none.ini");
    EXPECT_EQ(missing.ReadInteger("Bas", "Level", 7), 7);
    EXPECT_EQ(missing.ReadString("Bas", "FontName", "x"_cp932), "x"_cp932);
    EXPECT_FALSE(missing.ReadRaw("Bas", "Level").has_value());

    IniFile ini = WithContent("[Other]\r\nLevel=3\r\n[Bas]\r\nFontSize=4\r\nNoValue\r\n");
    EXPECT_EQ(ini.ReadInteger("Bas", "Level", 7), 7);
    EXPECT_EQ(ini.ReadInteger("Bas", "NoValue", 5), 5);
    EXPECT_EQ(ini.ReadInteger("Bas", "FontSize", 0), 4);
}

TEST_F(IniFileTest, IntegersReadDecimalHexOrKeepTheDefault) {
    IniFile ini = WithContent("[Bas]\r\n"
                              "a=0x1F\r\nb=$1f\r\nc=0X80000008\r\nd= -12 \r\ne=+5\r\n"
                              "f=-2147483648\r\ng=-$1F\r\n"
                              "h=0x\r\ni=abc\r\nj=\r\nk=2147483648\r\nl=$100000000\r\nm=12x\r\n"
                              "n=1 2\r\no=$\r\np=-\r\n");
    EXPECT_EQ(ini.ReadInteger("Bas", "a", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Bas", "b", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Bas", "c", 0), -2147483640);
    EXPECT_EQ(ini.ReadInteger("Bas", "d", 0), -12);
    EXPECT_EQ(ini.ReadInteger("Bas", "e", 0), 5);
    EXPECT_EQ(ini.ReadInteger("Bas", "f", 0), INT_MIN);
    EXPECT_EQ(ini.ReadInteger("Bas", "g", 0), -31);
    for (const char* garbage : {"h", "i", "j", "k", "l", "m", "n", "o", "p"})
        EXPECT_EQ(ini.ReadInteger("Bas", garbage, 42), 42) << garbage;
}

TEST_F(IniFileTest, BooleansAreIntegersAndWrittenAsOneOrZero) {
    IniFile ini = WithContent("[Bas]\r\nA=2\r\nB=0\r\nC=on\r\n");
    EXPECT_TRUE(ini.ReadBool("Bas", "A", false));
    EXPECT_FALSE(ini.ReadBool("Bas", "B", true));
    EXPECT_TRUE(ini.ReadBool("Bas", "C", true));
    EXPECT_FALSE(ini.ReadBool("Bas", "C", false));

    ini.WriteBool("Bas", "A", false);
    ini.WriteBool("Bas", "C", true);
    EXPECT_EQ(vtest::ReadFile(File()), "[Bas]\r\nA=0\r\nB=0\r\nC=1\r\n");
}

TEST_F(IniFileTest, NamesMatchWithoutRegardToAsciiCase) {
    // "ア" is 83 41 and "ヂ" is 83 61: trail bytes that look like "A" and "a" must not fold.
    IniFile ini = WithContent("[bAS]\r\nlevel=5\r\n\x83\x41=1\r\n\x83\x61=2\r\n");
    EXPECT_EQ(ini.ReadInteger("Bas", "LEVEL", 0), 5);
    EXPECT_EQ(ini.ReadInteger("BAS", "\x83\x41", 0), 1);
    EXPECT_EQ(ini.ReadInteger("bas", "\x83\x61", 0), 2);

    ini.WriteInteger("BAS", "Level", 6);
    EXPECT_EQ(vtest::ReadFile(File()), "[bAS]\r\nlevel=6\r\n\x83\x41=1\r\n\x83\x61=2\r\n");
}

TEST_F(IniFileTest, FirstOfDuplicateKeysAndSectionsWins) {
    IniFile ini = WithContent("[Bas]\r\nLevel=1\r\nLevel=2\r\n[Bas]\r\nLevel=3\r\nOnlyHere=9\r\n");
    EXPECT_EQ(ini.ReadInteger("Bas", "Level", 0), 1);
    EXPECT_EQ(ini.ReadInteger("Bas", "OnlyHere", 0), 0);

    ini.WriteInteger("Bas", "Level", 4);
    EXPECT_EQ(vtest::ReadFile(File()),
              "[Bas]\r\nLevel=4\r\nLevel=2\r\n[Bas]\r\nLevel=3\r\nOnlyHere=9\r\n");
}

TEST_F(IniFileTest, ReadsLfOnlyLinesAndTrimsValues) {
    IniFile ini = WithContent("; comment\n  [ Bas ]  \n  FontName =  \x82\x6C\x82\x72 \t\nLevel=3");
    EXPECT_EQ(ini.ReadString("Bas", "FontName", ""_cp932), "\x82\x6C\x82\x72"_cp932);
    EXPECT_EQ(ini.ReadInteger("Bas", "Level", 0), 3);
}

TEST_F(IniFileTest, ALoneCrEndsALineSoNoValueCarriesOne) {
    // Found by fuzzing: a value holding a CR could be read but never written back.
    IniFile ini = WithContent("[Bas]\rFontName=a\rLevel=4\r\nTateSize=7");
    EXPECT_EQ(ini.ReadString("Bas", "FontName", ""_cp932), "a"_cp932);
    EXPECT_EQ(ini.ReadInteger("Bas", "Level", 0), 4);
    ini.WriteInteger("Bas", "Level", 5);
    EXPECT_EQ(ini.ReadInteger("Bas", "Level", 0), 5);
    EXPECT_EQ(ini.ReadInteger("Bas", "TateSize", 0), 7);
}

TEST_F(IniFileTest, ValueIsCutAt2047BytesWithoutSplittingACharacter) {
    const std::string a2046(2046, 'a');
    const std::string a2047(2047, 'a');
    IniFile ini = WithContent("[Bas]\r\nDbcs=" + a2046 + "\x83\x41" + "\r\nExact=" + a2047 +
                              "   \r\nLong=" + a2047 + "bc\r\n");
    EXPECT_EQ(ini.ReadString("Bas", "Dbcs", ""_cp932), Cp932Text(a2046));
    EXPECT_EQ(ini.ReadString("Bas", "Exact", ""_cp932), Cp932Text(a2047));
    EXPECT_EQ(ini.ReadString("Bas", "Long", ""_cp932), Cp932Text(a2047));
}

// What the settings page lets the learner choose must come back from the file as it was chosen.
TEST(IniValueReadsBack, OnlyValuesTheFileGivesBackUnchanged) {
    EXPECT_TRUE(IniValueReadsBack("/home/learner/java source"_cp932));
    EXPECT_TRUE(IniValueReadsBack(""_cp932));
    EXPECT_TRUE(IniValueReadsBack(Cp932Text(std::string(2047, 'a'))));
    EXPECT_TRUE(IniValueReadsBack("/home/\x81\x40x"_cp932)); // a full-width blank inside is kept
    for (const std::string& changed :
         {std::string("/home/learner/work "), std::string(" /home"), std::string("/a\tb\t"),
          std::string("/a\nb"), std::string("/a\rb"), std::string("/a\0b", 4),
          std::string(2048, 'a')})
        EXPECT_FALSE(IniValueReadsBack(Cp932Text(changed))) << changed;
}

TEST_F(IniFileTest, ExistingKeyIsReplacedWhereItStands) {
    const std::string before = "; kept\r\n[Top]\r\nX=1\r\n\r\n[Bas]\r\nA=1\n"
                               "B = old value \r\n  C=3\r\n\r\n[Tail]\r\nB=tail";
    IniFile ini = WithContent(before);
    ini.WriteString("Bas", "B", "new"_cp932);
    EXPECT_EQ(vtest::ReadFile(File()), "; kept\r\n[Top]\r\nX=1\r\n\r\n[Bas]\r\nA=1\n"
                                       "B=new\r\n  C=3\r\n\r\n[Tail]\r\nB=tail");
}

TEST_F(IniFileTest, NewKeysGoToTheEndOfTheirSectionAndNewSectionsToTheEnd) {
    IniFile ini = WithContent("[Bas]\r\nA=1\r\n\r\n[Tail]\r\nT=1");
    ini.WriteString("Bas", "B", "2"_cp932);
    ini.WriteString("New", "N", "3"_cp932);
    ini.WriteString("Tail", "U", "4"_cp932);
    EXPECT_EQ(vtest::ReadFile(File()),
              "[Bas]\r\nA=1\r\nB=2\r\n\r\n[Tail]\r\nT=1\r\nU=4\r\n[New]\r\nN=3\r\n");

    IniFile fresh(m_dir / "fresh.ini");
    fresh.WriteString("Bas", "K", "v"_cp932);
    EXPECT_EQ(vtest::ReadFile(m_dir / "fresh.ini"), "[Bas]\r\nK=v\r\n");
}

TEST_F(IniFileTest, TheFirstWriteMakesTheFoldersPrivate) {
    IniFile ini(m_dir / "config" / "vellaro" / "noprg.ini");
    EXPECT_FALSE(ini.ReadRaw("Bas", "Level").has_value());
    EXPECT_FALSE(fs::exists(m_dir / "config")); // reading makes nothing
    ini.WriteInteger("Bas", "Level", 3);
    EXPECT_EQ(ini.ReadInteger("Bas", "Level", 0), 3);
    for (const auto& made : {m_dir / "config", m_dir / "config" / "vellaro"})
        EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all) << made;
}

TEST_F(IniFileTest, RefusedWriteNamesTheFullPath) {
    // Running as root, permissions cannot refuse a write: a regular file where the folder
    // should be does.
    vtest::WriteFile(m_dir / "plain", "x");
    IniFile blocked(m_dir / "plain" / "noprg.ini");
    EXPECT_EQ(RefusalText([&] { blocked.WriteInteger("Bas", "Level", 1); }),
              (m_dir / "plain" / "noprg.ini").string() + " に書き込めません");

    IniFile proc("/proc/vellaro-noprg.ini");
    EXPECT_EQ(RefusalText([&] { proc.WriteInteger("Bas", "Level", 1); }),
              "/proc/vellaro-noprg.ini に書き込めません");
}

TEST_F(IniFileTest, LineBreaksInValuesOrNamesAreRefusedAndNothingIsWritten) {
    const std::string before = "[Bas]\r\nA=1\r\n";
    IniFile ini = WithContent(before);
    const std::string expected = File().string() + " に書き込めません";
    EXPECT_EQ(RefusalText([&] { ini.WriteString("Bas", "A", "x\r\nLevel=9"_cp932); }), expected);
    EXPECT_EQ(RefusalText([&] { ini.WriteString("Bas", "A", "x\ny"_cp932); }), expected);
    EXPECT_EQ(RefusalText([&] { ini.WriteString("Bas", "K=V", "1"_cp932); }), expected);
    EXPECT_EQ(RefusalText([&] { ini.WriteString("B]as", "K", "1"_cp932); }), expected);
    EXPECT_EQ(vtest::ReadFile(File()), before);
}

TEST_F(IniFileTest, UnreadableFilesReadAsMissingAndAreNeverReplaced) {
    // A folder at the file's place.
    fs::create_directory(File());
    IniFile folder(File());
    EXPECT_EQ(folder.ReadInteger("Bas", "Level", 8), 8);
    EXPECT_FALSE(RefusalText([&] { folder.WriteInteger("Bas", "Level", 1); }).empty());
    fs::remove(File());

    // A file far larger than any settings file.
    std::string huge = "[Bas]\r\nLevel=3\r\n" + std::string(2u << 20, 'x');
    IniFile big = WithContent(huge);
    EXPECT_EQ(big.ReadInteger("Bas", "Level", 8), 8);
    EXPECT_FALSE(RefusalText([&] { big.WriteInteger("Bas", "Level", 1); }).empty());
    EXPECT_EQ(fs::file_size(File()), huge.size());

    // Binary bytes are read as lines like any others.
    IniFile binary = WithContent(std::string("\0\xFF\x81\r\n[Bas]\r\nLevel=3\r\n\x82", 22));
    EXPECT_EQ(binary.ReadInteger("Bas", "Level", 8), 3);
    binary.WriteInteger("Bas", "Level", 4);
    EXPECT_EQ(binary.ReadInteger("Bas", "Level", 8), 4);
}
