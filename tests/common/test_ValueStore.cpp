#include <gtest/gtest.h>
#include <unistd.h>

#include "CommonTestSupport.h"
#include "common/Cp932.h"
#include "common/ValueStore.h"
#include "common/VellaroError.h"
#include "common/delCommFunc.h"

namespace vellaro {
namespace {

using test::FolderTest;
using test::ReadFile;
using test::WriteFile;
using namespace cp932_literals;

// The error text of a refused write, or empty when nothing was thrown.
std::string WriteError(const Cp932Text& key, const Cp932Text& name, const Cp932Text& v) {
    try {
        RegWriteStr(key, name, v);
    } catch (const VellaroError& e) {
        return e.what();
    }
    return {};
}

class ValueStoreTest : public FolderTest {
  protected:
    fs::path file() const { return MachineValuesFile(source.system); }
};

TEST_F(ValueStoreTest, ReadingAMissingKeyGivesEmptyTextAndCreatesNothing) {
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Guide"_cp932), ""_cp932);
    EXPECT_TRUE(fs::is_empty(source.system));
    // A missing system folder is not made either.
    source.system = scratch / "missing";
    SetFolderSource(source);
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Guide"_cp932), ""_cp932);
    EXPECT_FALSE(fs::exists(source.system));
}

TEST_F(ValueStoreTest, WrittenValuesReadBackAndLeaveOthersAlone) {
    RegWriteStr("Vellaro"_cp932, "Guide"_cp932, "done"_cp932);
    RegWriteStr("Vellaro"_cp932, "Other"_cp932, "1"_cp932);
    RegWriteStr("Another"_cp932, "Guide"_cp932, "x"_cp932);
    RegWriteStr("Vellaro"_cp932, "Guide"_cp932, "again"_cp932);
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Guide"_cp932), "again"_cp932);
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Other"_cp932), "1"_cp932);
    EXPECT_EQ(RegReadStr("Another"_cp932, "Guide"_cp932), "x"_cp932);
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Missing"_cp932), ""_cp932);
    EXPECT_EQ(RegReadStr("Missing"_cp932, "Guide"_cp932), ""_cp932);
    // Keys and names match without regard to case, as the registry's do; the value is replaced,
    // not added a second time.
    EXPECT_EQ(RegReadStr("VELLARO"_cp932, "guide"_cp932), "again"_cp932);
    RegWriteStr("vellaro"_cp932, "GUIDE"_cp932, "third"_cp932);
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Guide"_cp932), "third"_cp932);
    EXPECT_EQ(ReadFile(file()), "[Vellaro]\r\nGuide=sz:third\r\nOther=sz:1\r\n\r\n"
                                "[Another]\r\nGuide=sz:x\r\n");
}

TEST_F(ValueStoreTest, TheFirstWriteMakesTheSystemFolderPrivate) {
    source.system = scratch / "config" / "vellaro";
    SetFolderSource(source);
    RegWriteStr("Vellaro"_cp932, "Guide"_cp932, "done"_cp932);
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Guide"_cp932), "done"_cp932);
    for (const fs::path& made : {scratch / "config", source.system})
        EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all) << made;
}

TEST_F(ValueStoreTest, DoubleByteNamesAreComparedExactly) {
    // The second byte of a double-byte character may look like an ASCII letter ('A' vs 'a').
    const Cp932Text upper("\x83\x41"); // a katakana letter
    const Cp932Text lower("\x83\x61"); // another one
    RegWriteStr("Vellaro"_cp932, upper, Sjis("値"));
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, upper), Sjis("値"));
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, lower), ""_cp932);
    EXPECT_EQ(RegReadStr("\x83\x41"_cp932, upper), ""_cp932);
}

TEST_F(ValueStoreTest, AValueOfAnotherTypeReadsAsEmptyText) {
    ASSERT_EQ(WriteStoredValue(source.system, "Vellaro"_cp932, "Count"_cp932, {"dword", "5"_cp932}),
              StoreResult::Written);
    ASSERT_EQ(WriteStoredValue(source.system, "Vellaro"_cp932, "Path"_cp932,
                               {"expand_sz", "%HOME%"_cp932}),
              StoreResult::Written);
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Count"_cp932), ""_cp932);
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Path"_cp932), "%HOME%"_cp932);
    // Writing a string over it makes it a string.
    RegWriteStr("Vellaro"_cp932, "Count"_cp932, "6"_cp932);
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Count"_cp932), "6"_cp932);
}

TEST_F(ValueStoreTest, ReadsAFileEditedByHand) {
    WriteFile(file(), "junk line\n[vellaro]\nGuide=sz:first\nGuide=sz:second\nBare=value\n"
                      "[Next]\nGuide=sz:next");
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Guide"_cp932),
              "first"_cp932);                                       // the first of duplicates wins
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Bare"_cp932), ""_cp932); // no type: not a string value
    EXPECT_EQ(RegReadStr("Next"_cp932, "Guide"_cp932), "next"_cp932);
    RegWriteStr("Vellaro"_cp932, "New"_cp932, "n"_cp932);
    EXPECT_EQ(ReadFile(file()), "junk line\r\n[vellaro]\r\nGuide=sz:first\r\nGuide=sz:second\r\n"
                                "Bare=value\r\nNew=sz:n\r\n[Next]\r\nGuide=sz:next\r\n");
}

TEST_F(ValueStoreTest, AValueIsCutAtItsFirstZeroByte) {
    RegWriteStr("Vellaro"_cp932, "Guide"_cp932, Cp932Text(std::string("ab\0cd", 5)));
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Guide"_cp932), "ab"_cp932);
}

TEST_F(ValueStoreTest, AKeyThatCannotBeOpenedIsSilent) {
    // The system folder is a file.
    WriteFile(scratch / "sysfile", "x");
    source.system = scratch / "sysfile";
    SetFolderSource(source);
    EXPECT_NO_THROW(RegWriteStr("Vellaro"_cp932, "Guide"_cp932, "done"_cp932));
    EXPECT_EQ(ReadFile(scratch / "sysfile"), "x");
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Guide"_cp932), ""_cp932);

    // A file above the system folder: it cannot be made.
    source.system = scratch / "sysfile" / "vellaro";
    SetFolderSource(source);
    EXPECT_NO_THROW(RegWriteStr("Vellaro"_cp932, "Guide"_cp932, "done"_cp932));
    EXPECT_EQ(ReadFile(scratch / "sysfile"), "x");

    // The store's file is a folder.
    source.system = scratch / "system";
    SetFolderSource(source);
    fs::create_directory(file());
    EXPECT_NO_THROW(RegWriteStr("Vellaro"_cp932, "Guide"_cp932, "done"_cp932));
    EXPECT_TRUE(fs::is_directory(file()));

    // A key with a line end in it could never be read back.
    fs::remove(file());
    EXPECT_NO_THROW(RegWriteStr("Vel\r\nlaro"_cp932, "Guide"_cp932, "done"_cp932));
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(ValueStoreTest, ARefusedWriteRaisesTheStandardError) {
    RegWriteStr("Vellaro"_cp932, "Guide"_cp932, "kept"_cp932);
    const std::string before = ReadFile(file());
    // A line end in the value would corrupt the file.
    EXPECT_EQ(WriteError("Vellaro"_cp932, "Guide"_cp932, "a\r\nGuide=sz:forged"_cp932),
              "'Guide' の設定に失敗しました");
    EXPECT_EQ(WriteError("Vellaro"_cp932, "Guide"_cp932, "a\nb"_cp932),
              "'Guide' の設定に失敗しました");
    // The value name is shown in UTF-8.
    EXPECT_EQ(WriteError("Vellaro"_cp932, Sjis("案内"), "a\rb"_cp932),
              "'案内' の設定に失敗しました");
    EXPECT_EQ(WriteError("Vellaro"_cp932, "a=b"_cp932, "v"_cp932), "'a=b' の設定に失敗しました");
    EXPECT_EQ(ReadFile(file()), before);
    EXPECT_EQ(RegReadStr("Vellaro"_cp932, "Guide"_cp932), "kept"_cp932);
}

TEST_F(ValueStoreTest, AWriteTheFileSystemRefusesRaisesTheStandardError) {
    // /proc looks writable to root, but no file can be made in it.
    source.system = "/proc";
    SetFolderSource(source);
    if (::access("/proc", W_OK) != 0)
        GTEST_SKIP() << "/proc is not open for writing to this user: the key cannot be opened";
    EXPECT_EQ(WriteError("Vellaro"_cp932, "Guide"_cp932, "done"_cp932),
              "'Guide' の設定に失敗しました");
}

} // namespace
} // namespace vellaro
