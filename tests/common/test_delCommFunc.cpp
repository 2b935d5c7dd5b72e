#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

#include "CommonTestSupport.h"
#include "common/delCommFunc.h"

namespace vellaro {
namespace {

using test::FolderTest;
using test::ScratchFolder;

void Touch(const fs::path& p) {
    std::ofstream(p) << "x";
}

// The current folder is process-wide: put it back after a test that moves it.
class KeepCurrentFolder {
  public:
    KeepCurrentFolder() : m_saved(fs::current_path()) {}
    ~KeepCurrentFolder() { fs::current_path(m_saved); }
    KeepCurrentFolder(const KeepCurrentFolder&) = delete;
    KeepCurrentFolder& operator=(const KeepCurrentFolder&) = delete;

  private:
    fs::path m_saved;
};

TEST(MakeFolder, EmptyPathFailsAndCreatesNothing) {
    ScratchFolder s;
    KeepCurrentFolder keep;
    fs::current_path(s.path());
    EXPECT_FALSE(MakeFolder(""));
    EXPECT_TRUE(fs::is_empty(s.path()));
}

TEST(MakeFolder, CreatesEveryMissingLevel) {
    ScratchFolder s;
    const fs::path target = s / "one" / "two" / "three";
    EXPECT_TRUE(MakeFolder(target));
    EXPECT_TRUE(fs::is_directory(s / "one"));
    EXPECT_TRUE(fs::is_directory(s / "one" / "two"));
    EXPECT_TRUE(fs::is_directory(target));
}

TEST(MakeFolder, TrailingSeparatorIsIgnored) {
    ScratchFolder s;
    EXPECT_TRUE(MakeFolder((s / "a" / "b").string() + "//"));
    EXPECT_TRUE(fs::is_directory(s / "a" / "b"));
}

TEST(MakeFolder, ExistingFolderAndRootAreTrue) {
    ScratchFolder s;
    EXPECT_TRUE(MakeFolder(s.path()));
    EXPECT_TRUE(MakeFolder("/"));
    EXPECT_TRUE(MakeFolder("//"));
}

TEST(MakeFolder, RelativePathIsTakenFromCurrentFolder) {
    ScratchFolder s;
    KeepCurrentFolder keep;
    fs::current_path(s.path());
    EXPECT_TRUE(MakeFolder("rel"));
    EXPECT_TRUE(MakeFolder("rel/sub/deeper"));
    EXPECT_TRUE(fs::is_directory(s / "rel" / "sub" / "deeper"));
}

TEST(MakeFolder, ImpossiblePathsFailWithoutError) {
    ScratchFolder s;
    Touch(s / "file");
    EXPECT_FALSE(MakeFolder(s / "file"));             // a file is in the way
    EXPECT_FALSE(MakeFolder(s / "file" / "x" / "y")); // under a file
    EXPECT_FALSE(fs::exists(s / "file" / "x"));
    EXPECT_FALSE(MakeFolder("/proc/vellaro-no-such/sub"));
    EXPECT_FALSE(fs::exists("/proc/vellaro-no-such"));
}

TEST(ExistFileAndFolder, DoNotCross) {
    ScratchFolder s;
    Touch(s / "f.txt");
    fs::create_directory(s / "d");
    EXPECT_TRUE(ExistFile(s / "f.txt"));
    EXPECT_FALSE(ExistFolder(s / "f.txt"));
    EXPECT_TRUE(ExistFolder(s / "d"));
    EXPECT_FALSE(ExistFile(s / "d"));
    EXPECT_FALSE(ExistFile(s / "missing"));
    EXPECT_FALSE(ExistFolder(s / "missing"));
    EXPECT_FALSE(ExistFile(""));
    EXPECT_FALSE(ExistFolder(""));
    // Links count as what they point to; a dangling one as nothing.
    fs::create_symlink(s / "f.txt", s / "lf");
    fs::create_directory_symlink(s / "d", s / "ld");
    fs::create_symlink(s / "gone", s / "dangling");
    EXPECT_TRUE(ExistFile(s / "lf"));
    EXPECT_TRUE(ExistFolder(s / "ld"));
    EXPECT_FALSE(ExistFile(s / "dangling"));
}

TEST(TextToInt, ReadsDecimalAndHexadecimal) {
    struct Case {
        const char* text;
        std::int32_t value;
    };
    const Case cases[] = {
        {"12", 12},
        {"", 0},
        {"12pt", 0},
        {"-5", -5},
        {"+7", 7},
        {" 12", 12},
        {"\t 3", 3},
        {"12 ", 0}, // trailing blanks are other characters
        {"$1F", 31},
        {"$1f", 31},
        {"0x1F", 31},
        {"0X10", 16},
        {"-$10", -16},
        {"-0x10", -16},
        {"$", 0},
        {"0x", 0},
        {"-", 0},
        {" ", 0},
        {"1F", 0},
        {"$1G", 0},
        {"00012", 12},
        {"0", 0},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", 0},
        {"-2147483649", 0},
        {"99999999999999999999", 0},
        {"$7FFFFFFF", 2147483647},
        {"$FFFFFFFF", -1}, // hexadecimal digits are the 32 bits themselves
        {"$100000000", 0},
        {"0x00000000000000001", 1},
        {"1 2", 0},
        {"--1", 0},
        {"\xef\xbc\x91", 0}, // a full-width digit is not a digit
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextToInt(c.text), c.value) << "text: '" << c.text << "'";
}

TEST(IntToText, WritesDecimal) {
    EXPECT_EQ(IntToText(-5), "-5");
    EXPECT_EQ(IntToText(0), "0");
    EXPECT_EQ(IntToText(42), "42");
    EXPECT_EQ(IntToText(2147483647), "2147483647");
    EXPECT_EQ(IntToText(-2147483647 - 1), "-2147483648");
    for (std::int32_t v : {-1000000, -1, 7, 65535, 123456789})
        EXPECT_EQ(TextToInt(IntToText(v)), v);
}

TEST(ChangeFolder, MissingOrEmptyLeavesCurrentFolder) {
    ScratchFolder s;
    KeepCurrentFolder keep;
    fs::current_path(s.path());
    const fs::path before = fs::current_path();
    ChangeFolder(s / "missing");
    EXPECT_EQ(fs::current_path(), before);
    ChangeFolder("");
    EXPECT_EQ(fs::current_path(), before);
    Touch(s / "file");
    ChangeFolder(s / "file");
    EXPECT_EQ(fs::current_path(), before);
    fs::create_directory(s / "sub");
    ChangeFolder(s / "sub");
    EXPECT_EQ(fs::current_path(), fs::canonical(s / "sub"));
}

TEST_F(FolderTest, ExePathEndsInSeparatorAndSysPathDoesNot) {
    source.exe = (scratch / "exe").string() + "/";
    source.system = (scratch / "system").string() + "//";
    SetFolderSource(source);
    EXPECT_EQ(ExePath(), (scratch / "exe").string() + "/");
    EXPECT_EQ(SysPath(), scratch / "system");
    source.exe = scratch / "exe";
    SetFolderSource(source);
    EXPECT_EQ(ExePath(), (scratch / "exe").string() + "/");
}

TEST(SystemFolders, AreTheMachinesOwn) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved ? saved : "";
    ScratchFolder runtime;

    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    FolderSource s = SystemFolders();
    EXPECT_EQ(s.tempWish, runtime / "vellaro");
    EXPECT_EQ(s.tempBase, runtime.path());

    // Without a usable runtime folder, the per-user folder in /tmp.
    ::setenv("XDG_RUNTIME_DIR", (runtime / "missing").c_str(), 1);
    s = SystemFolders();
    EXPECT_EQ(s.tempWish, "/tmp/vellaro-" + std::to_string(::geteuid()));
    EXPECT_EQ(s.tempBase, "/tmp");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SystemFolders().tempWish, "/tmp/vellaro-" + std::to_string(::geteuid()));

    if (saved)
        ::setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
}

class RecordingSeam : public EventSeam {
  public:
    void pumpEvents() override { ++pumps; }
    void appTerminate() override { ++terminates; }
    void shellOpen(const std::string& target) override { opened.push_back(target); }
    int pumps = 0;
    int terminates = 0;
    std::vector<std::string> opened;
};

TEST(EventSeam, CommonFunctionsGoThroughTheInstalledSeam) {
    RecordingSeam seam;
    SetEventSeam(&seam);
    PumpEvents();
    PumpEvents();
    AppTerminate();
    ShellOpen("https://example.invalid/");
    SetEventSeam(nullptr);
    // Without a seam they do nothing.
    PumpEvents();
    AppTerminate();
    ShellOpen("/x");
    EXPECT_EQ(seam.pumps, 2);
    EXPECT_EQ(seam.terminates, 1);
    EXPECT_EQ(seam.opened, std::vector<std::string>{"https://example.invalid/"});
}

} // namespace
} // namespace vellaro
