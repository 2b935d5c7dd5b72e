#include "common/AtomicFile.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Scratch.h"

namespace fs = std::filesystem;
using vellaro::AtomicWriteFile;
using vellaro::ReadWholeFile;

namespace {

class AtomicFileTest : public ::testing::Test {
  protected:
    vtest::ScratchFolder m_dir;
};

std::size_t EntriesIn(const fs::path& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
}

} // namespace

TEST_F(AtomicFileTest, WritesReplacesAndKeepsMode) {
    const fs::path f = m_dir / "a.txt";
    ASSERT_TRUE(AtomicWriteFile(f, std::string("one\r\n\0two", 10)));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(f, bytes));
    EXPECT_EQ(bytes, std::string("one\r\n\0two", 10));

    ASSERT_EQ(::chmod(f.c_str(), 0600), 0);
    ASSERT_TRUE(AtomicWriteFile(f, "new"));
    ASSERT_TRUE(ReadWholeFile(f, bytes));
    EXPECT_EQ(bytes, "new");
    EXPECT_EQ(fs::status(f).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    // No temporary file is left beside the target.
    EXPECT_EQ(EntriesIn(m_dir.path()), 1u);
}

TEST_F(AtomicFileTest, RefusedWriteLeavesOldFileAndNoLeftovers) {
    // The folder is a regular file: nothing can be created in it, whoever runs the test.
    const fs::path notADir = m_dir / "file";
    ASSERT_TRUE(AtomicWriteFile(notADir, "keep"));
    std::string err;
    EXPECT_FALSE(AtomicWriteFile(notADir / "x.txt", "data", &err));
    EXPECT_FALSE(err.empty());

    // A folder standing where the file should be is not replaced.
    fs::create_directory(m_dir / "dir");
    EXPECT_FALSE(AtomicWriteFile(m_dir / "dir", "data"));
    EXPECT_TRUE(fs::is_directory(m_dir / "dir"));
    EXPECT_EQ(EntriesIn(m_dir.path()), 2u);
}

TEST_F(AtomicFileTest, StrayPartFileOrPlantedLinkIsReplacedNotFollowed) {
    const fs::path f = m_dir / "noprg.ini";
    const fs::path victim = m_dir / "victim";
    ASSERT_TRUE(AtomicWriteFile(victim, "untouched"));
    // What a write killed half-way leaves, and a link someone planted in its place.
    fs::create_symlink(victim, m_dir / ".noprg.ini.part");
    ASSERT_TRUE(AtomicWriteFile(f, "new"));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(victim, bytes));
    EXPECT_EQ(bytes, "untouched");
    ASSERT_TRUE(ReadWholeFile(f, bytes));
    EXPECT_EQ(bytes, "new");
    EXPECT_FALSE(fs::exists(fs::symlink_status(m_dir / ".noprg.ini.part")));
}

TEST_F(AtomicFileTest, ReadRefusesFoldersMissingAndOversizedFiles) {
    std::string bytes = "stale";
    EXPECT_FALSE(ReadWholeFile(m_dir / "missing", bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(ReadWholeFile(m_dir.path(), bytes));

    const fs::path f = m_dir / "big";
    ASSERT_TRUE(AtomicWriteFile(f, std::string(100, 'x')));
    bool tooLarge = false;
    EXPECT_FALSE(ReadWholeFile(f, bytes, 99, &tooLarge));
    EXPECT_TRUE(tooLarge);
    EXPECT_TRUE(ReadWholeFile(f, bytes, 100, &tooLarge));
    EXPECT_FALSE(tooLarge);
    EXPECT_EQ(bytes.size(), 100u);
}
