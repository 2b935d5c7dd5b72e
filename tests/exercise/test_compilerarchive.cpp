// The compiler's class-data archive: which JDK, which step, and what is kept afterwards.
#include <gtest/gtest.h>

#include <cstdlib>

#include "../common/CommonTestSupport.h"
#include "TextBytes.h"
#include "common/Cp932.h"
#include "exercise/Compile.h"
#include "exercise/CompilerArchive.h"

namespace fs = std::filesystem;
using namespace vellaro;

namespace {

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    vtest::WriteFile(file, bytes);
}

// What the JVM leaves at exit: its archive's first bytes, and the size of a real one.
std::string ArchiveBytes(char fill = 'x') {
    return std::string("\xa8\xab\x0b\xf0", 4) + std::string(200 * 1024, fill);
}

class CompilerArchiveTest : public ::testing::Test {
  protected:
    test::ScratchFolder scratch;
    const fs::path cache = scratch / "cache" / "vellaro";
    const JdkBuild jdk{scratch / "jdk", "17.0.15+6-Debian-1deb12u1"};

    // The plan after a compile that made the archive in 2 s.
    CompilerArchivePlan Made(const std::string& environment = {}) {
        const CompilerArchivePlan make = PlanCompilerArchive(cache, jdk, {}, environment);
        EXPECT_EQ(make.step, ArchiveStep::Make);
        Write(make.pending, ArchiveBytes());
        FinishCompilerArchive(make, 0, std::chrono::seconds(2));
        return PlanCompilerArchive(cache, jdk, {}, environment);
    }
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
              (std::vector<std::string>{
                  "-J-XX:ArchiveClassesAtExit=" + make.pending.string(),
                  "-J-XX:TieredStopAtLevel=1", "-J-Xlog:cds=off", "-J-XX:+UseSerialGC",
                  "-J-XX:ErrorFile=" + (scratch / "temp" / "javac-crash-%p.log").string()}));
    EXPECT_EQ(fs::status(cache).permissions(), fs::perms::owner_all);

    // A compile that failed keeps nothing; one that ended well puts its archive in place.
    Write(make.pending, ArchiveBytes());
    FinishCompilerArchive(make, 1);
    EXPECT_FALSE(fs::exists(make.pending));
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).step, ArchiveStep::Make);
    Write(make.pending, ArchiveBytes());
    FinishCompilerArchive(make, 0, std::chrono::seconds(2));
    EXPECT_FALSE(fs::exists(make.pending));

    const CompilerArchivePlan use = PlanCompilerArchive(cache, jdk, {});
    EXPECT_EQ(use.step, ArchiveStep::Use);
    EXPECT_EQ(use.limit, std::chrono::seconds(8));
    EXPECT_EQ(use.options,
              (std::vector<std::string>{"-J-XX:SharedArchiveFile=" + make.archive.string(),
                                        "-J-XX:TieredStopAtLevel=1", "-J-Xlog:cds=off",
                                        "-J-XX:+UseSerialGC", "-J-Xshare:on"}));
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
    const CompilerArchivePlan use = Made();
    ASSERT_EQ(use.step, ArchiveStep::Use);
    EXPECT_TRUE(JvmCrashed(134));
    EXPECT_FALSE(JvmCrashed(1) || JvmCrashed(129) || JvmCrashed(-1));
    ForgetCompilerArchive(use, false);
    EXPECT_FALSE(fs::exists(use.archive));

    const Cp932Lines refusal =
        vtest::Cp932Of({"Unrecognized VM option 'TieredStopAtLevel=1'",
                        "Error: Could not create the Java Virtual Machine."});
    EXPECT_TRUE(JvmRefusedOptions(1, refusal, false));
    EXPECT_FALSE(JvmRefusedOptions(1, refusal, true));
    EXPECT_FALSE(JvmRefusedOptions(0, refusal, false));
    EXPECT_FALSE(JvmRefusedOptions(1, {Sjis("Hello.java:6: エラー: ';'がありません")}, false));
    ForgetCompilerArchive(PlanCompilerArchive(cache, jdk, {}), true);
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).step, ArchiveStep::None);
    EXPECT_EQ(PlanCompilerArchive(cache, JdkBuild{"/j", "21.0.2+13"}, {}).step, ArchiveStep::Make);
}

// Damage anywhere, and an archive of another JDK under this one's name, are told by the size
// and checksum recorded when the archive was made: the archive is made anew, never mapped.
TEST_F(CompilerArchiveTest, AnArchiveDamagedInItsMiddleOrPlantedIsMadeAnew) {
    const fs::path archive = cache / "javac-17.0.15+6-Debian-1deb12u1.jsa";
    const std::string whole = ArchiveBytes();
    const struct {
        const char* what;
        std::string bytes;
    } damaged[] = {
        {"cut", whole.substr(0, whole.size() - 4096)},
        {"zeroed", whole.substr(0, 65536) + std::string(4096, '\0') + whole.substr(69632)},
        {"random", whole.substr(0, 100000) + "\x13\x8f\x02" + whole.substr(100003)},
        {"planted", ArchiveBytes('y')},
    };
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.what);
        ASSERT_EQ(Made().step, ArchiveStep::Use);
        Write(archive, d.bytes);
        EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).step, ArchiveStep::Make);
    }
    // An archive without its record (left by an earlier version) is made anew as well.
    ASSERT_EQ(Made().step, ArchiveStep::Use);
    fs::remove(cache / "javac-17.0.15+6-Debian-1deb12u1.jsa.sum");
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).step, ArchiveStep::Make);
}

// The watchdog is four times the slowest of the latest eight compiles without the archive; with
// none measured the archive is not used. A dropped archive goes with its record.
TEST_F(CompilerArchiveTest, WatchdogMeasuredOnTheCompilesWithoutTheArchive) {
    const CompilerArchivePlan use = Made();
    for (int ms : {900, 3000, 1000, 1100, 1200, 1300, 1400, 1500, 1600})
        RecordPlainCompile(use, std::chrono::milliseconds(ms));
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).limit, std::chrono::milliseconds(12000));
    RecordPlainCompile(use, std::chrono::milliseconds(1000)); // the 3000 is no longer kept
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).limit, std::chrono::milliseconds(6400));
    fs::remove(use.times);
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).step, ArchiveStep::Make);

    ASSERT_EQ(Made().step, ArchiveStep::Use);
    ForgetCompilerArchive(use, false);
    EXPECT_FALSE(fs::exists(use.archive) || fs::exists(use.sum));
}

// A refusal holds for the JDK and the environment it was seen with; a mark of an earlier version
// (an empty file) or one seen with another JAVA_TOOL_OPTIONS is judged again.
TEST_F(CompilerArchiveTest, ARefusalIsJudgedAgainWhenTheEnvironmentChanges) {
    const std::string typo = JvmEnvironment([](const char* name) -> std::optional<std::string> {
        if (std::string(name) == "JAVA_TOOL_OPTIONS")
            return "-XX:+UseFoo";
        return std::nullopt;
    });
    EXPECT_EQ(typo, "JAVA_TOOL_OPTIONS=-XX:+UseFoo\n");
    ForgetCompilerArchive(PlanCompilerArchive(cache, jdk, {}, typo), true);
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}, typo).step, ArchiveStep::None);
    EXPECT_EQ(PlanCompilerArchive(cache, JdkBuild{scratch / "jdk2", jdk.build}, {}, typo).step,
              ArchiveStep::Make);
    ForgetCompilerArchive(PlanCompilerArchive(cache, jdk, {}, typo), true);
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}, "").step, ArchiveStep::Make);
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}, typo).step, ArchiveStep::Make);

    Write(cache / "javac-17.0.15+6-Debian-1deb12u1.plain", "");
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).step, ArchiveStep::Make);
}

TEST_F(CompilerArchiveTest, TheBackgroundMakesTheArchiveUnderANameOfItsOwn) {
    EXPECT_FALSE(PlanBackgroundArchive(cache, jdk, {}));
    const auto job = PlanBackgroundArchive(cache, jdk, scratch / "temp");
    ASSERT_TRUE(job);
    ASSERT_EQ(job->plan.step, ArchiveStep::Make);
    EXPECT_EQ(job->plan.pending, cache / "javac-17.0.15+6-Debian-1deb12u1.jsa.making");
    const fs::path source = job->folder / "VellaroArchive.java";
    EXPECT_TRUE(fs::exists(source));
    std::string options; // the scratch folder's paths need no quotes
    for (const std::string& option : job->plan.options)
        options += option + " ";
    const std::string& script = job->command.argv.back();
    EXPECT_NE(script.find(options + "-J-Duser.language=ja"), std::string::npos);
    EXPECT_NE(script.find(" " + source.string() + " 2>"), std::string::npos);

    // A compile asked meanwhile neither makes an archive nor touches the half-made one.
    Write(job->plan.pending, ArchiveBytes());
    EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}, {}, false).step, ArchiveStep::None);
    EXPECT_TRUE(fs::exists(job->plan.pending));

    // javac's clean verdict puts it in place, with the making's time as the watchdog's measure.
    Write(job->folder / "Cmp.txt", "");
    EXPECT_TRUE(FinishBackgroundArchive(*job, 0, std::chrono::seconds(3)));
    EXPECT_FALSE(fs::exists(job->folder));
    const CompilerArchivePlan use = PlanCompilerArchive(cache, jdk, {}, {}, false);
    EXPECT_EQ(use.step, ArchiveStep::Use);
    EXPECT_EQ(use.limit, std::chrono::milliseconds(12000));
    EXPECT_FALSE(PlanBackgroundArchive(cache, jdk, scratch / "temp"));
}

TEST_F(CompilerArchiveTest, ABackgroundMakingThatFailsKeepsNothingAndARefusalHolds) {
    struct Case {
        const char* what;
        int status;
        std::string errorOutput;
        ArchiveStep next; // the learner's next compile
    } cases[] = {
        {"did not compile", 1, "VellaroArchive.java:3: エラー: ...\n", ArchiveStep::Make},
        {"crashed", 134, "# A fatal error has been detected\n", ArchiveStep::Make},
        {"was refused", 1, "Unrecognized VM option 'X'\n", ArchiveStep::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(cache);
        const auto job = PlanBackgroundArchive(cache, jdk, scratch / "temp");
        ASSERT_TRUE(job);
        Write(job->plan.pending, ArchiveBytes());
        Write(job->folder / "Cmp.txt", c.errorOutput);
        EXPECT_FALSE(FinishBackgroundArchive(*job, c.status, std::chrono::seconds(3)));
        EXPECT_FALSE(fs::exists(job->plan.pending) || fs::exists(job->plan.archive));
        EXPECT_EQ(PlanCompilerArchive(cache, jdk, {}).step, c.next);
    }
    const auto stopped =
        PlanBackgroundArchive(cache, JdkBuild{scratch / "jdk2", "21"}, scratch / "t2");
    ASSERT_TRUE(stopped);
    Write(stopped->plan.pending, ArchiveBytes());
    AbandonBackgroundArchive(*stopped);
    EXPECT_FALSE(fs::exists(stopped->plan.pending) || fs::exists(stopped->folder));
}

TEST(ChooseArchiveWait, WaitsOnlyWhenTheArchiveComesSoonerThanAPlainCompile) {
    test::ScratchFolder scratch;
    const fs::path times = scratch / "times";
    using ms = std::chrono::milliseconds;
    struct Case {
        const char* times; // the compiles measured; none: a new learner's
        ms makingFor;
        bool wait;
        ms limit;
    } cases[] = {
        // A new learner: plain 1500, making 2250, mapping 600.
        {nullptr, ms(0), false, ms(0)},
        {nullptr, ms(1300), false, ms(0)},  // 950 left + 600 > 1500
        {nullptr, ms(1400), true, ms(900)}, // 850 left + 600 < 1500
        {nullptr, ms(9000), true, ms(900)}, // overdue: waited for as long as it pays
        // The median of the measured, 1000: making 1500, mapping 400.
        {"4000\n1000\n1000\n", ms(1000), true, ms(600)},
        {"4000\n1000\n1000\n", ms(800), false, ms(0)},
    };
    for (const Case& c : cases) {
        fs::remove(times);
        if (c.times)
            vtest::WriteFile(times, c.times);
        const ArchiveWait choice = ChooseArchiveWait(c.makingFor, times);
        EXPECT_EQ(choice.wait, c.wait) << c.makingFor.count();
        EXPECT_EQ(choice.limit, c.limit) << c.makingFor.count();
    }
}

TEST(JavacsOwnVerdict, OnlyJavacsStatusesAndLinesWithoutTheJvms) {
    const struct {
        int status;
        std::vector<std::string> lines;
        bool own;
    } cases[] = {
        {0, {}, true},
        {1,
         {"Hello.java:6: \x83G\x83\x89\x81[: ';'", "\t\tSystem.out.println(\"x\")", "\t\t ^"},
         true},
        {2, {"error: file not found: Hello.java"}, true},
        {0, {"Picked up JAVA_TOOL_OPTIONS: -Dx=1"}, true},
        {1, {"\t\tException in thread"}, true}, // the learner's own line, quoted
        {1, {"Error occurred during initialization of VM", "Unable to use shared archive."}, false},
        {0, {"An error has occurred while processing the shared archive file."}, false},
        {1, {"Hello.java:6: x", "Unable to write to shared archive file."}, false},
        {1, {"Exception in thread \"main\" java.lang.NoClassDefFoundError: x"}, false},
        {1, {}, false}, // javac never fails without a word: the JVM said it elsewhere
        {2, {}, false},
        {4, {}, false},
        {3, {}, false},
        {134, {}, false},
        {-1, {}, false},
        {0, {"#", "# A fatal error has been detected by the Java Runtime Environment:"}, false},
        {0, {"[0.012s][warning][cds] x"}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JavacsOwnVerdict(c.status, vtest::Cp932Of(c.lines)), c.own)
            << c.status << " " << (c.lines.empty() ? "" : c.lines.back());
}

// CompileSource with a stand-in compiler: whenever the compile with the archive ends in any way
// but javac's own verdict, the archive is dropped and the plain compile's result alone is shown.
class ArchiveFallbackTest : public test::FolderTest {
  protected:
    void SetUp() override {
        FolderTest::SetUp();
        source.cache = scratch / "cache";
        SetFolderSource(source);
        Write(scratch / "jdk" / "bin" / "javac", "");
        Write(scratch / "jdk" / "release", "JAVA_RUNTIME_VERSION=\"17.0.15+6\"\n");
        m_path = std::getenv("PATH");
        ::setenv("PATH", (scratch / "jdk" / "bin").c_str(), 1);
    }
    void TearDown() override { ::setenv("PATH", m_path.c_str(), 1); }

    std::string m_path;
};

TEST_F(ArchiveFallbackTest, AnythingButJavacsVerdictGivesThePlainCompilesResultAlone) {
    using std::chrono::milliseconds;
    const std::string error = "Hello.java:6: \x83G\x83\x89\x81[: ';'\n";
    const std::string clean = Sjis(kCompileCleanText).bytes();
    const std::string stoppedLine = Sjis(kCompileStoppedText).bytes();
    struct Run {
        std::string capture;
        int status;
        CommandEnd end = CommandEnd::ByItself;
    };
    const struct {
        const char* what;
        bool archiveMade; // Use; otherwise Make
        Run withArchive;
        Run plain;
        std::vector<std::string> shown;
        bool plainRan;
    } cases[] = {
        {"JVM cannot write the archive (full or read-only folder)",
         false,
         {"An error has occurred while processing the shared archive file.\n"
          "Unable to write to shared archive file.\n",
          1},
         {"", 0},
         {clean},
         true},
        {"archive messages after real errors",
         false,
         {error + "Unable to write to shared archive file.\n", 1},
         {error, 1},
         {error.substr(0, error.size() - 1)},
         true},
        {"crash", true, {"", 134}, {"", 0}, {clean}, true},
        {"JVM exception",
         true,
         {"Exception in thread \"main\" java.lang.NoClassDefFoundError: x\n", 1},
         {"", 0},
         {clean},
         true},
        {"watchdog", true, {"", -1, CommandEnd::Overran}, {"", 0}, {clean}, true},
        {"Esc", true, {"", -1, CommandEnd::Stopped}, {"", 0}, {clean}, true},
        {"Esc again during the plain compile",
         true,
         {"", -1, CommandEnd::Stopped},
         {"", -1, CommandEnd::Stopped},
         {stoppedLine},
         true},
        {"close box", true, {"", -1, CommandEnd::Closing}, {"", 0}, {stoppedLine}, false},
        {"javac's own verdict",
         true,
         {error, 1},
         {"", 0},
         {error.substr(0, error.size() - 1)},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(source.cache);
        CompilerArchivePlan plan =
            PlanCompilerArchive(source.cache, FindJdk(std::getenv("PATH")), {});
        if (c.archiveMade) {
            Write(plan.pending, ArchiveBytes());
            FinishCompilerArchive(plan, 0, milliseconds(1000));
            plan = PlanCompilerArchive(source.cache, FindJdk(std::getenv("PATH")), {});
            ASSERT_EQ(plan.step, ArchiveStep::Use);
        }
        std::vector<std::pair<bool, milliseconds>> runs; // with the archive, limit
        const CompileOutcome outcome =
            CompileSource("Hello", [&](const Command& command, milliseconds limit) {
                const bool withArchive = command.argv.back().find("-XX:") != std::string::npos;
                runs.emplace_back(withArchive, limit);
                const Run& r = withArchive ? c.withArchive : c.plain;
                vtest::WriteFile(CapturePath(), r.capture);
                return CommandResult{r.status, r.end};
            });
        EXPECT_EQ(vtest::Bytes(outcome.lines), c.shown);
        EXPECT_EQ(outcome.stopped, c.shown.front() == stoppedLine);
        ASSERT_EQ(runs.size(), c.plainRan ? 2U : 1U);
        EXPECT_TRUE(runs[0].first);
        EXPECT_EQ(runs[0].second, milliseconds(c.archiveMade ? 4000 : 0));
        if (c.plainRan) {
            EXPECT_FALSE(runs[1].first);
            EXPECT_EQ(ShellCommand, CommandText(CompileCommand("Hello", CapturePath())));
        }
        const bool kept = std::string(c.what) == "javac's own verdict";
        EXPECT_EQ(fs::exists(plan.archive), kept);
        EXPECT_FALSE(fs::exists(plan.pending));
    }
}

} // namespace
