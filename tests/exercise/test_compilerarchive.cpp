// The compiler's class-data archive: which JDK, which step, and what is kept afterwards.
#include <gtest/gtest.h>

#include "../common/CommonTestSupport.h"
#include "exercise/CompilerArchive.h"

namespace fs = std::filesystem;
using namespace vellaro;

namespace {

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    vtest::WriteFile(file, bytes);
}

// What the JVM leaves at exit: its archive's first bytes, and the size of a real one.
std::string ArchiveBytes() {
    return std::string("\xa8\xab\x0b\xf0", 4) + std::string(200 * 1024, 'x');
}

class CompilerArchiveTest : public ::testing::Test {
  protected:
    test::ScratchFolder scratch;
    const fs::path cache = scratch / "cache" / "vellaro";
    const JdkBuild jdk{scratch / "jdk", "17.0.15+6-Debian-1deb12u1"};
};

TEST_F(CompilerArchiveTest, FindJdkFollowsTheLinkOnThePathToTheJdksReleaseFile) {
    Write(scratch / "jdk-17" / "bin" / "javac", "");
    Write(scratch / "jdk-17" / "release", "IMPLEMENTOR=\"X\"\r\nJAVA_VERSION=\"17.0.15\"\r\n"
                                          "JAVA_RUNTIME_VERSION=\"17.0.15+6-Debian\"\r\n");
    fs::create_directories(scratch / "bin");
    fs::create_symlink(scratch / "jdk-17" / "bin" / "javac", scratch / "bin" / "javac");
    const std::string path = (scratch / "none").string() + "::" + (scratch / "bin").string();
    const auto found = FindJdk(path);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->home, fs::canonical(scratch / "jdk-17"));
    EXPECT_EQ(found->build, "17.0.15+6-Debian");

    Write(scratch / "jdk-17" / "release", "JAVA_VERSION=\"21\"\n");
    EXPECT_EQ(FindJdk(path)->build, "21");
    fs::remove(scratch / "jdk-17" / "release");
    EXPECT_FALSE(FindJdk(path));
    EXPECT_FALSE(FindJdk((scratch / "none").string()));
}

TEST_F(CompilerArchiveTest, FirstCompileMakesTheArchiveAndLaterOnesUseIt) {
    EXPECT_EQ(PlanCompilerArchive({}, jdk, {}).step, ArchiveStep::None);
    EXPECT_EQ(PlanCompilerArchive(cache, std::nullopt, {}).step, ArchiveStep::None);

    const CompilerArchivePlan make = PlanCompilerArchive(cache, jdk, scratch / "temp");
    ASSERT_EQ(make.step, ArchiveStep::Make);
    EXPECT_EQ(make.archive, cache / "javac-17.0.15+6-Debian-1deb12u1.jsa");
    EXPECT_EQ(make.options,
              "-J-XX:ArchiveClassesAtExit=" + make.pending.string() +
                  " -J-XX:TieredStopAtLevel=1 -J-Xlog:cds=off -J-XX:+UseSerialGC -J-XX:ErrorFile=" +
                  (scratch / "temp" / "javac-crash-%p.log").string());
    EXPECT_EQ(fs::status(cache).permissions(), fs::perms::owner_all);

    // A compile that failed keeps nothing; one that ended well puts its archive in place.
    Write(make.pending, ArchiveBytes());
    FinishCompilerArchive(make, 1);
    EXPECT_FALSE(fs::exists(make.pending));
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).step, ArchiveStep::Make);
    Write(make.pending, ArchiveBytes());
    FinishCompilerArchive(make, 0);
    EXPECT_FALSE(fs::exists(make.pending));

    const CompilerArchivePlan use = PlanCompilerArchive(cache, jdk, {});
    EXPECT_EQ(use.step, ArchiveStep::Use);
    EXPECT_EQ(use.options, "-J-XX:SharedArchiveFile=" + make.archive.string() +
                               " -J-XX:TieredStopAtLevel=1 -J-Xlog:cds=off -J-XX:+UseSerialGC");
}

TEST_F(CompilerArchiveTest, AnotherJdkADamagedArchiveOrARefusalEachGetTheirOwnStep) {
    Write(cache / "javac-17.0.15+6-Debian-1deb12u1.jsa", ArchiveBytes());
    // Another JDK (an upgrade) makes an archive of its own; the old one is never handed to it.
    const CompilerArchivePlan other = PlanCompilerArchive(cache, JdkBuild{"/j", "21.0.2+13"}, {});
    EXPECT_EQ(other.step, ArchiveStep::Make);
    EXPECT_EQ(other.archive.filename(), "javac-21.0.2+13.jsa");

    // An archive cut short or overwritten is made anew rather than mapped.
    Write(cache / "javac-17.0.15+6-Debian-1deb12u1.jsa", ArchiveBytes().substr(0, 4096));
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).step, ArchiveStep::Make);
    Write(cache / "javac-17.0.15+6-Debian-1deb12u1.jsa", std::string(200 * 1024, '\0'));
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).step, ArchiveStep::Make);

    // An archive the JVM crashed on is removed; a refusal is remembered for that JDK alone.
    Write(cache / "javac-17.0.15+6-Debian-1deb12u1.jsa", ArchiveBytes());
    const CompilerArchivePlan use = PlanCompilerArchive(cache, jdk, {});
    ASSERT_EQ(use.step, ArchiveStep::Use);
    EXPECT_TRUE(JvmCrashed(134));
    EXPECT_FALSE(JvmCrashed(1) || JvmCrashed(129) || JvmCrashed(-1));
    ForgetCompilerArchive(use, false);
    EXPECT_FALSE(fs::exists(use.archive));

    const std::vector<std::string> refusal = {"Unrecognized VM option 'TieredStopAtLevel=1'",
                                              "Error: Could not create the Java Virtual Machine."};
    EXPECT_TRUE(JvmRefusedOptions(1, refusal, false));
    EXPECT_FALSE(JvmRefusedOptions(1, refusal, true));
    EXPECT_FALSE(JvmRefusedOptions(0, refusal, false));
    EXPECT_FALSE(JvmRefusedOptions(1, {"Hello.java:6: エラー: ';'がありません"}, false));
    ForgetCompilerArchive(PlanCompilerArchive(cache, jdk, {}), true);
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).step, ArchiveStep::None);
    EXPECT_EQ(PlanCompilerArchive(cache, JdkBuild{"/j", "21.0.2+13"}, {}).step, ArchiveStep::Make);
}

} // namespace
