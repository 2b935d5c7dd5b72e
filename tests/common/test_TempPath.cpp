#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CommonTestSupport.h"
#include "common/PlatformLinux.h"
#include "common/delCommFunc.h"

namespace vellaro {
namespace {

using test::FolderTest;

mode_t ModeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

uid_t OwnerOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_uid;
}

fs::path NoSeparator(const fs::path& p) {
    return p.parent_path();
}

class TempPathTest : public FolderTest {
  protected:
    // The result must be a private folder of ours, made fresh under the base, not the wish.
    void ExpectFreshFolder(const fs::path& result) {
        ASSERT_FALSE(result.empty());
        EXPECT_EQ(result.string().back(), '/');
        const fs::path folder = NoSeparator(result);
        EXPECT_NE(folder, source.tempWish);
        EXPECT_EQ(folder.parent_path(), source.tempBase);
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(folder)));
        EXPECT_EQ(ModeOf(folder), 0700u);
        EXPECT_EQ(OwnerOf(folder), ::geteuid());
    }
};

TEST_F(TempPathTest, MakesThePreferredFolderPrivateOnDemand) {
    const mode_t oldMask = ::umask(0277); // mkdir alone would give 0500
    const fs::path result = TempPath();
    ::umask(oldMask);
    EXPECT_EQ(result, source.tempWish / "");
    EXPECT_EQ(ModeOf(source.tempWish), 0700u);
    // Asked again, the same folder; removed meanwhile, made again.
    EXPECT_EQ(TempPath(), result);
    fs::remove(source.tempWish);
    EXPECT_EQ(TempPath(), result);
    EXPECT_TRUE(fs::is_directory(source.tempWish));
}

TEST_F(TempPathTest, RefusesAFolderOthersCanEnter) {
    fs::create_directory(source.tempWish);
    ::chmod(source.tempWish.c_str(), 0755);
    const fs::path result = TempPath();
    ExpectFreshFolder(result);
    // The fresh folder stays in use for the rest of the run, and the planted one is untouched.
    EXPECT_EQ(TempPath(), result);
    EXPECT_EQ(ModeOf(source.tempWish), 0755u);
}

TEST_F(TempPathTest, RefusesAFolderOwnedByAnotherUser) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    fs::create_directory(source.tempWish);
    ::chmod(source.tempWish.c_str(), 0700);
    ASSERT_EQ(::chown(source.tempWish.c_str(), 12345, 12345), 0);
    ExpectFreshFolder(TempPath());
}

TEST_F(TempPathTest, RefusesALinkEvenToAPrivateFolder) {
    const fs::path target = scratch / "elsewhere";
    fs::create_directory(target);
    ::chmod(target.c_str(), 0700);
    fs::create_directory_symlink(target, source.tempWish);
    ExpectFreshFolder(TempPath());
}

TEST_F(TempPathTest, RefusesAFile) {
    std::ofstream(source.tempWish) << "x";
    ExpectFreshFolder(TempPath());
}

TEST_F(TempPathTest, ReplacesTheFreshFolderIfItIsTamperedWith) {
    std::ofstream(source.tempWish) << "x";
    const fs::path first = TempPath();
    ExpectFreshFolder(first);
    ::chmod(NoSeparator(first).c_str(), 0777);
    const fs::path second = TempPath();
    ExpectFreshFolder(second);
    EXPECT_NE(second, first);
}

TEST_F(TempPathTest, ANewFolderSourceForgetsTheFreshFolder) {
    std::ofstream(source.tempWish) << "x";
    ExpectFreshFolder(TempPath());
    source.tempWish = scratch / "base" / "other-wish";
    SetFolderSource(source);
    EXPECT_EQ(TempPath(), source.tempWish / "");
}

TEST_F(TempPathTest, NothingUsableGivesEmptyText) {
    std::ofstream(source.tempWish) << "x";
    source.tempBase = scratch / "no-such-base";
    SetFolderSource(source);
    EXPECT_TRUE(TempPath().empty());
}

TEST_F(TempPathTest, AFreshFolderIsRemovedWhenTheProgramEnds) {
    std::ofstream(source.tempWish) << "x";
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    std::fflush(nullptr); // the child ends with exit(), which would write the buffers again
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A program of its own: it uses the fresh folder, then ends as programs do.
        const std::string folder = TempPath().string();
        std::ofstream(folder + "Cmp.txt") << "capture";
        (void)!::write(channel[1], folder.data(), folder.size());
        std::exit(0);
    }
    ::close(channel[1]);
    char buffer[4096];
    const ssize_t n = ::read(channel[0], buffer, sizeof buffer);
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_GT(n, 0);
    const fs::path fresh(std::string(buffer, static_cast<std::size_t>(n)));
    EXPECT_EQ(NoSeparator(fresh).parent_path(), source.tempBase);
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_TRUE(fs::is_regular_file(source.tempWish)); // what was planted stays
}

class InstanceLockTest : public FolderTest {
  protected:
    fs::path home() const { return scratch / "home"; }
    fs::path runtime() const { return scratch / "run"; }
    void SetUp() override {
        FolderTest::SetUp();
        fs::create_directory(home());
        fs::create_directory(runtime());
        ::chmod(runtime().c_str(), 0700);
    }
};

TEST_F(InstanceLockTest, TheLearnersOwnRuntimeFolderHoldsTheLock) {
    const fs::path lock = InstanceLockPathFor(runtime().c_str(), home(), "pc1");
    EXPECT_EQ(lock, runtime() / "vellaro" / "EX_Mutex");
    EXPECT_EQ(ModeOf(runtime() / "vellaro"), 0700u);
    EXPECT_EQ(InstanceLockPathFor(runtime().c_str(), home(), "pc1"), lock); // the same again
    EXPECT_FALSE(fs::exists(home() / ".cache"));
}

TEST_F(InstanceLockTest, OtherwiseTheCacheFolderWithTheHostName) {
    const fs::path cacheLock = home() / ".cache" / "vellaro" / "EX_Mutex-pc1";
    // No runtime folder, a relative one, one others may enter, a link to a private one.
    EXPECT_EQ(InstanceLockPathFor(nullptr, home(), "pc1"), cacheLock);
    EXPECT_EQ(ModeOf(home() / ".cache" / "vellaro"), 0700u);
    EXPECT_EQ(InstanceLockPathFor("run", home(), "pc1"), cacheLock);
    ::chmod(runtime().c_str(), 0755);
    EXPECT_EQ(InstanceLockPathFor(runtime().c_str(), home(), "pc1"), cacheLock);
    ::chmod(runtime().c_str(), 0700);
    fs::create_directory_symlink(runtime(), scratch / "runlink");
    EXPECT_EQ(InstanceLockPathFor((scratch / "runlink").c_str(), home(), "pc1"), cacheLock);
    EXPECT_FALSE(fs::exists(runtime() / "vellaro"));
    // A vellaro folder in the runtime folder that is not ours alone is not used either.
    fs::create_directory(runtime() / "vellaro");
    ::chmod((runtime() / "vellaro").c_str(), 0777);
    EXPECT_EQ(InstanceLockPathFor(runtime().c_str(), home(), "pc1"), cacheLock);
    // Each machine sharing the home has its own lock.
    EXPECT_EQ(InstanceLockPathFor(nullptr, home(), "pc2").filename(), "EX_Mutex-pc2");
}

TEST_F(InstanceLockTest, NoUsablePlaceGivesNoLockRatherThanAnotherFolder) {
    EXPECT_TRUE(InstanceLockPathFor(nullptr, "relative/home", "pc1").empty());
    std::ofstream(home() / ".cache") << "a file";
    EXPECT_TRUE(InstanceLockPathFor(nullptr, home(), "pc1").empty());
    fs::remove(home() / ".cache");
    fs::create_directories(home() / ".cache" / "vellaro");
    ::chmod((home() / ".cache" / "vellaro").c_str(), 0755);
    EXPECT_TRUE(InstanceLockPathFor(nullptr, home(), "pc1").empty());
    if (::geteuid() == 0) {
        ::chmod((home() / ".cache" / "vellaro").c_str(), 0700);
        ASSERT_EQ(::chown((home() / ".cache" / "vellaro").c_str(), 12345, 12345), 0);
        EXPECT_TRUE(InstanceLockPathFor(nullptr, home(), "pc1").empty());
    }
}

// Whatever a crash or any earlier version left at the name (empty, garbage, a month old, written
// on another host, naming a live process that is not the program) is taken over, in the runtime
// folder and in the cache fallback alike; the new holder writes its own record into it.
TEST_F(InstanceLockTest, AFileLeftBehindIsTakenOver) {
    const struct {
        const char* what;
        std::string bytes;
        int daysOld;
    } leftovers[] = {
        {"empty", "", 0},
        {"garbage", "\x01\xfe garbage\n\n\n", 0},
        {"a month old", "4242\nvellaro\npc1\n", 30},
        {"another host", "4242\nvellaro\nother-pc\n\n\n", 0},
        {"a live process of another program", std::to_string(::getppid()) + "\nsh\npc1\n", 0},
    };
    const std::string runtimeFolder = runtime().string();
    for (const char* runtimeDir : {runtimeFolder.c_str(), static_cast<const char*>(nullptr)}) {
        const fs::path path = InstanceLockPathFor(runtimeDir, home(), "pc1");
        for (const auto& left : leftovers) {
            SCOPED_TRACE(path.string() + ": " + left.what);
            vtest::WriteFile(path, left.bytes);
            fs::last_write_time(path, fs::file_time_type::clock::now() -
                                          std::chrono::hours(24 * left.daysOld));
            const InstanceLock lock(path);
            EXPECT_EQ(lock.state(), InstanceLock::State::Held);
            EXPECT_EQ(vtest::ReadFile(path).substr(0, vtest::ReadFile(path).find('\n')),
                      std::to_string(::getpid()));
        }
    }
}

// One holder at a time, a live second copy is refused; the lock goes with its holder, a killed
// one included, and a link planted at the name is not followed.
TEST_F(InstanceLockTest, OneHolderAtATimeFreedHoweverTheHolderEnds) {
    const fs::path path = InstanceLockPathFor(runtime().c_str(), home(), "pc1");
    {
        const InstanceLock first(path);
        EXPECT_EQ(first.state(), InstanceLock::State::Held);
        EXPECT_EQ(InstanceLock(path).state(), InstanceLock::State::TakenByAnother);
    }
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const InstanceLock held(path);
        const char state = held.state() == InstanceLock::State::Held ? 'H' : '-';
        (void)!::write(ready[1], &state, 1);
        ::pause();
        ::_exit(0);
    }
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    EXPECT_EQ(state, 'H');
    EXPECT_EQ(InstanceLock(path).state(), InstanceLock::State::TakenByAnother);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(InstanceLock(path).state(), InstanceLock::State::Held);

    EXPECT_EQ(InstanceLock(fs::path()).state(), InstanceLock::State::Unavailable);
    fs::create_symlink(scratch / "elsewhere", scratch / "planted");
    EXPECT_EQ(InstanceLock(scratch / "planted").state(), InstanceLock::State::Unavailable);
    EXPECT_FALSE(fs::exists(scratch / "elsewhere"));
}

TEST(IsPrivateFolder, NeedsAFolderOfTheOwnerWithModeExactly0700) {
    struct stat st {};
    st.st_mode = S_IFDIR | 0700;
    st.st_uid = 1000;
    EXPECT_TRUE(IsPrivateFolder(st, 1000));
    EXPECT_FALSE(IsPrivateFolder(st, 1001));
    st.st_mode = S_IFDIR | 0710;
    EXPECT_FALSE(IsPrivateFolder(st, 1000));
    st.st_mode = S_IFDIR | 0701;
    EXPECT_FALSE(IsPrivateFolder(st, 1000));
    st.st_mode = S_IFDIR | 0500; // ours alone, but we could not write into it
    EXPECT_FALSE(IsPrivateFolder(st, 1000));
    st.st_mode = S_IFLNK | 0700;
    EXPECT_FALSE(IsPrivateFolder(st, 1000));
    st.st_mode = S_IFREG | 0700;
    EXPECT_FALSE(IsPrivateFolder(st, 1000));
}

} // namespace
} // namespace vellaro
