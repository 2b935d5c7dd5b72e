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

// The error text of a refused write, or empty when nothing was thrown.
std::string WriteError(const std::string& key, const std::string& name, const std::string& v) {
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
    EXPECT_EQ(RegReadStr("Vellaro", "Guide"), "");
    EXPECT_TRUE(fs::is_empty(source.system));
    // A missing system folder is not made either.
    source.system = scratch / "missing";
    SetFolderSource(source);
    EXPECT_EQ(RegReadStr("Vellaro", "Guide"), "");
    EXPECT_FALSE(fs::exists(source.system));
}

TEST_F(ValueStoreTest, WrittenValuesReadBackAndLeaveOthersAlone) {
    RegWriteStr("Vellaro", "Guide", "done");
    RegWriteStr("Vellaro", "Other", "1");
    RegWriteStr("Another", "Guide", "x");
    RegWriteStr("Vellaro", "Guide", "again");
    EXPECT_EQ(RegReadStr("Vellaro", "Guide"), "again");
    EXPECT_EQ(RegReadStr("Vellaro", "Other"), "1");
    EXPECT_EQ(RegReadStr("Another", "Guide"), "x");
    EXPECT_EQ(RegReadStr("Vellaro", "Missing"), "");
    EXPECT_EQ(RegReadStr("Missing", "Guide"), "");
    // Keys and names match without regard to case, as the registry's do; the value is replaced,
    // not added a second time.
    EXPECT_EQ(RegReadStr("VELLARO", "guide"), "again");
    RegWriteStr("vellaro", "GUIDE", "third");
    EXPECT_EQ(RegReadStr("Vellaro", "Guide"), "third");
    EXPECT_EQ(ReadFile(file()), "[Vellaro]\r\nGuide=sz:third\r\nOther=sz:1\r\n\r\n"
                                "[Another]\r\nGuide=sz:x\r\n");
}

TEST_F(ValueStoreTest, TheFirstWriteMakesTheSystemFolderPrivate) {
    source.system = scratch / "config" / "vellaro";
    SetFolderSource(source);
    RegWriteStr("Vellaro", "Guide", "done");
    EXPECT_EQ(RegReadStr("Vellaro", "Guide"), "done");
    for (const fs::path& made : {scratch / "config", source.system})
        EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all) << made;
}

TEST_F(ValueStoreTest, DoubleByteNamesAreComparedExactly) {
    // The second byte of a double-byte character may look like an ASCII letter ('A' vs 'a').
    const std::string upper = "\x83\x41"; // a katakana letter
    const std::string lower = "\x83\x61"; // another one
    RegWriteStr("Vellaro", upper, Sjis("値"));
    EXPECT_EQ(RegReadStr("Vellaro", upper), Sjis("値"));
    EXPECT_EQ(RegReadStr("Vellaro", lower), "");
    EXPECT_EQ(RegReadStr("\x83\x41", upper), "");
}

TEST_F(ValueStoreTest, AValueOfAnotherTypeReadsAsEmptyText) {
    ASSERT_EQ(WriteStoredValue(source.system, "Vellaro", "Count", {"dword", "5"}),
              StoreResult::Written);
    ASSERT_EQ(WriteStoredValue(source.system, "Vellaro", "Path", {"expand_sz", "%HOME%"}),
              StoreResult::Written);
    EXPECT_EQ(RegReadStr("Vellaro", "Count"), "");
    EXPECT_EQ(RegReadStr("Vellaro", "Path"), "%HOME%");
    // Writing a string over it makes it a string.
    RegWriteStr("Vellaro", "Count", "6");
    EXPECT_EQ(RegReadStr("Vellaro", "Count"), "6");
}

TEST_F(ValueStoreTest, ReadsAFileEditedByHand) {
    WriteFile(file(), "junk line\n[vellaro]\nGuide=sz:first\nGuide=sz:second\nBare=value\n"
                      "[Next]\nGuide=sz:next");
    EXPECT_EQ(RegReadStr("Vellaro", "Guide"), "first"); // the first of duplicates wins
    EXPECT_EQ(RegReadStr("Vellaro", "Bare"), "");       // no type: not a string value
    EXPECT_EQ(RegReadStr("Next", "Guide"), "next");
    RegWriteStr("Vellaro", "New", "n");
    EXPECT_EQ(ReadFile(file()), "junk line\r\n[vellaro]\r\nGuide=sz:first\r\nGuide=sz:second\r\n"
                                "Bare=value\r\nNew=sz:n\r\n[Next]\r\nGuide=sz:next\r\n");
}

TEST_F(ValueStoreTest, AValueIsCutAtItsFirstZeroByte) {
    RegWriteStr("Vellaro", "Guide", std::string("ab\0cd", 5));
    EXPECT_EQ(RegReadStr("Vellaro", "Guide"), "ab");
}

TEST_F(ValueStoreTest, AKeyThatCannotBeOpenedIsSilent) {
    // The system folder is a file.
    WriteFile(scratch / "sysfile", "x");
    source.system = scratch / "sysfile";
    SetFolderSource(source);
    EXPECT_NO_THROW(RegWriteStr("Vellaro", "Guide", "done"));
    EXPECT_EQ(ReadFile(scratch / "sysfile"), "x");
    EXPECT_EQ(RegReadStr("Vellaro", "Guide"), "");

    // A file above the system folder: it cannot be made.
    source.system = scratch / "sysfile" / "vellaro";
    SetFolderSource(source);
    EXPECT_NO_THROW(RegWriteStr("Vellaro", "Guide", "done"));
    EXPECT_EQ(ReadFile(scratch / "sysfile"), "x");

    // The store's file is a folder.
    source.system = scratch / "system";
    SetFolderSource(source);
    fs::create_directory(file());
    EXPECT_NO_THROW(RegWriteStr("Vellaro", "Guide", "done"));
    EXPECT_TRUE(fs::is_directory(file()));

    // A key with a line end in it could never be read back.
    fs::remove(file());
    EXPECT_NO_THROW(RegWriteStr("Vel\r\nlaro", "Guide", "done"));
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(ValueStoreTest, ARefusedWriteRaisesTheStandardError) {
    RegWriteStr("Vellaro", "Guide", "kept");
    const std::string before = ReadFile(file());
    // A line end in the value would corrupt the file.
    EXPECT_EQ(WriteError("Vellaro", "Guide", "a\r\nGuide=sz:forged"),
              "'Guide' の設定に失敗しました");
    EXPECT_EQ(WriteError("Vellaro", "Guide", "a\nb"), "'Guide' の設定に失敗しました");
    // The value name is shown in UTF-8.
    EXPECT_EQ(WriteError("Vellaro", Sjis("案内"), "a\rb"), "'案内' の設定に失敗しました");
    EXPECT_EQ(WriteError("Vellaro", "a=b", "v"), "'a=b' の設定に失敗しました");
    EXPECT_EQ(ReadFile(file()), before);
    EXPECT_EQ(RegReadStr("Vellaro", "Guide"), "kept");
}

TEST_F(ValueStoreTest, AWriteTheFileSystemRefusesRaisesTheStandardError) {
    // /proc looks writable to root, but no file can be made in it.
    source.system = "/proc";
    SetFolderSource(source);
    if (::access("/proc", W_OK) != 0)
        GTEST_SKIP() << "/proc is not open for writing to this user: the key cannot be opened";
    EXPECT_EQ(WriteError("Vellaro", "Guide", "done"), "'Guide' の設定に失敗しました");
}

} // namespace
} // namespace vellaro
