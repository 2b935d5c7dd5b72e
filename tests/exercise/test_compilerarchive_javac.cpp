// The compiler's class-data archive with the real JDK: made, used, and never in the learner's
// way when it is damaged or when the JVM refuses it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "JavacSupport.h"
#include "exercise/CompilerArchive.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// The PATH of this process (where the program looks for the JDK), changed for one test.
class ScopedPath {
  public:
    explicit ScopedPath(const fs::path& first) : m_saved(std::getenv("PATH")) {
        ::setenv("PATH", (first.string() + ":" + m_saved).c_str(), 1);
    }
    ~ScopedPath() { ::setenv("PATH", m_saved.c_str(), 1); }

  private:
    std::string m_saved;
};

class ArchiveTest : public vellaro::test::JavacFolderTest {
  protected:
    void SetUp() override {
        JavacFolderTest::SetUp();
        source.cache = scratch / "cache";
        vellaro::SetFolderSource(source);
        WriteSource("Hello", {"?(\"こんにちは\");"});
    }

    // A JDK of another build whose javac hands everything to the real one, or first refuses
    // the archive's options as a JVM without them does.
    fs::path OtherJdk(const std::string& build, bool refusing, bool hangingOnArchive = false) {
        const fs::path home = scratch / ("jdk-" + build);
        fs::create_directories(home / "bin");
        std::ofstream(home / "release") << "JAVA_RUNTIME_VERSION=\"" << build << "\"\n";
        std::ofstream script(home / "bin" / "javac");
        script << "#!/bin/sh\n";
        if (refusing)
            script << "case \"$*\" in *-J-XX:*) echo \"Unrecognized VM option 'X'\" >&2\n"
                      "  echo 'Error: Could not create the Java Virtual Machine.' >&2; exit 1;; "
                      "esac\n";
        if (hangingOnArchive)
            script << "case \"$*\" in *SharedArchiveFile*) exec sleep 600;; esac\n";
        script << "PATH='" << std::getenv("PATH") << "' exec javac \"$@\"\n";
        script.close();
        fs::permissions(home / "bin" / "javac", fs::perms::owner_all);
        return home / "bin";
    }

    // Records the archive's present bytes as the ones it was made with: damage that came before
    // the record, which only the JVM that maps the archive can run into.
    static void Resum(const fs::path& archive, const std::string& build) {
        vtest::WriteFile(archive.string() + ".sum", std::to_string(fs::file_size(archive)) + " " +
                                                        vellaro::ArchiveChecksum(archive) + " " +
                                                        build + "\n");
    }

    const vellaro::Cp932Lines clean = {vellaro::Sjis(vellaro::kCompileCleanText)};
};

TEST_F(ArchiveTest, MadeByTheFirstCompileUsedByTheNextAndMadeAnewAfterACrash) {
    const auto jdk = vellaro::FindJdk(std::getenv("PATH"));
    ASSERT_TRUE(jdk) << "no JDK with a release file on the PATH";
    const fs::path archive = scratch / "cache" / ("javac-" + jdk->build + ".jsa");

    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_THAT(vellaro::ShellCommand, HasSubstr("javac -J-XX:ArchiveClassesAtExit="));
    ASSERT_TRUE(fs::exists(archive));

    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_THAT(vellaro::ShellCommand,
                HasSubstr("javac -J-XX:SharedArchiveFile=" + archive.string() +
                          " -J-XX:TieredStopAtLevel=1 -J-Xlog:cds=off -J-XX:+UseSerialGC"));

    // Cut short, the archive crashes the JVM that maps it: the learner still gets the compile,
    // with no crash report in the work folder, and the next compile makes the archive anew.
    fs::resize_file(archive, 100000);
    Resum(archive, jdk->build);
    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_THAT(vellaro::ShellCommand, Not(HasSubstr("-XX:")));
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch / "work"), {}), 2); // .java, .class
    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_THAT(vellaro::ShellCommand, HasSubstr("-J-XX:ArchiveClassesAtExit="));
    EXPECT_TRUE(fs::exists(archive));

    // Errors in the learner's program are the compiler's verdict, as without the archive.
    WriteSource("Broken", {"?(\"x\")"});
    EXPECT_THAT(Compile("Broken").front().bytes(), HasSubstr("Broken.java:6:"));
}

// The archive made in the background before the first compile, by the real JDK and by one that
// refuses its options.
TEST_F(ArchiveTest, MadeInTheBackgroundItServesTheFirstCompile) {
    const auto planBackground = [this] {
        return vellaro::PlanBackgroundArchive(
            scratch / "cache", vellaro::FindJdk(std::getenv("PATH")), scratch / "temp");
    };
    const auto job = planBackground();
    ASSERT_TRUE(job);
    EXPECT_TRUE(vellaro::FinishBackgroundArchive(
        *job, vellaro::test::SpawnAndWait(job->command.argv), std::chrono::seconds(2)));
    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_THAT(vellaro::ShellCommand, HasSubstr("-XX:SharedArchiveFile="));
    EXPECT_FALSE(fs::exists(scratch / "work" / "VellaroArchive.class"));

    ScopedPath path(OtherJdk("9.0.2-refusing", true));
    const auto refused = planBackground();
    ASSERT_TRUE(refused);
    EXPECT_FALSE(vellaro::FinishBackgroundArchive(
        *refused, vellaro::test::SpawnAndWait(refused->command.argv), std::chrono::seconds(2)));
    EXPECT_FALSE(planBackground());
    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_THAT(vellaro::ShellCommand, Not(HasSubstr("-XX:")));
}

TEST_F(ArchiveTest, AnotherJdkGetsItsOwnArchive) {
    ScopedPath path(OtherJdk("17.0.99+1-other", false));
    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_TRUE(fs::exists(scratch / "cache" / "javac-17.0.99+1-other.jsa"));
}

TEST_F(ArchiveTest, AJvmThatRefusesTheOptionsGetsThePlainCommandFromThenOn) {
    ScopedPath path(OtherJdk("9.0.1-refusing", true));
    EXPECT_EQ(Compile("Hello"), clean);
    const std::string plain = vellaro::ShellCommand;
    EXPECT_THAT(plain, Not(HasSubstr("-XX:")));
    EXPECT_TRUE(fs::exists(scratch / "cache" / "javac-9.0.1-refusing.plain"));
    fs::remove(scratch / "work" / "Hello.class");
    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_EQ(vellaro::ShellCommand, plain);
    EXPECT_TRUE(fs::exists(scratch / "work" / "Hello.class"));
}

// Damage in the middle of the archive, told by its checksum or (when it came before the record)
// met by the JVM, never costs the learner the compile's result.
TEST_F(ArchiveTest, ADamagedArchiveGivesTheSuccessLineAndIsMadeAnew) {
    const auto jdk = vellaro::FindJdk(std::getenv("PATH"));
    ASSERT_TRUE(jdk);
    const fs::path archive = scratch / "cache" / ("javac-" + jdk->build + ".jsa");
    std::mt19937 random(20261209);
    const auto damage = [&](const std::string& how) {
        const auto size = fs::file_size(archive);
        if (how == "cut") {
            fs::resize_file(archive, size / 2);
            return;
        }
        std::string block(4096, '\0');
        if (how == "random")
            for (char& c : block)
                c = static_cast<char>(random());
        std::fstream file(archive, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(size / 2 / 4096 * 4096));
        file.write(block.data(), static_cast<std::streamsize>(block.size()));
    };
    for (const bool recorded : {false, true}) {
        for (const std::string how : {"cut", "zeroed", "random"}) {
            SCOPED_TRACE(how + (recorded ? ", after the record" : ""));
            if (!fs::exists(archive)) {
                ASSERT_EQ(Compile("Hello"), clean);
            }
            ASSERT_TRUE(fs::exists(archive));
            damage(how);
            if (recorded)
                Resum(archive, jdk->build);
            EXPECT_EQ(Compile("Hello"), clean);
            if (!recorded) { // told before the JVM saw it: this compile made the archive anew
                EXPECT_THAT(vellaro::ShellCommand, HasSubstr("-J-XX:ArchiveClassesAtExit="));
            }
        }
    }
}

// An archive of another build of the JVM under this JDK's name, with a record that matches it,
// is refused by the JVM that must map it: the compile is made plain and the archive anew.
TEST_F(ArchiveTest, AnArchiveOfAnotherBuildUnderThisNameIsReplaced) {
    const auto jdk = vellaro::FindJdk(std::getenv("PATH"));
    ASSERT_TRUE(jdk);
    const fs::path archive = scratch / "cache" / ("javac-" + jdk->build + ".jsa");
    ASSERT_EQ(Compile("Hello"), clean);
    std::string bytes = vtest::ReadFile(archive);
    const std::size_t ident = bytes.find("(" + jdk->build + ")");
    ASSERT_NE(ident, std::string::npos);
    bytes[ident + 1] = bytes[ident + 1] == '9' ? '8' : '9'; // the JVM's build it was made by
    vtest::WriteFile(archive, bytes);
    Resum(archive, jdk->build);
    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_THAT(vellaro::ShellCommand, Not(HasSubstr("-XX:")));
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_THAT(vellaro::ShellCommand, HasSubstr("-J-XX:ArchiveClassesAtExit="));
}

// A compile that hangs on its archive is ended by the watchdog, measured on the compiles without
// it (here made short), and compiled again at once without the archive, which is dropped.
TEST_F(ArchiveTest, ACompileThatHangsOnTheArchiveIsEndedAndCompiledPlain) {
    ScopedPath path(OtherJdk("17.0.98+1-hanging", false, true));
    EXPECT_EQ(Compile("Hello"), clean);
    const fs::path archive = scratch / "cache" / "javac-17.0.98+1-hanging.jsa";
    ASSERT_TRUE(fs::exists(archive));
    vtest::WriteFile(scratch / "cache" / "javac-17.0.98+1-hanging.times", "100\n");
    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_THAT(vellaro::ShellCommand, Not(HasSubstr("-XX:")));
    EXPECT_FALSE(fs::exists(archive));
}

// A cache folder that is full, read-only or a file changes nothing the learner sees: the plain
// compile's result, without a word of the JVM's about its archive, now and on the next compile.
TEST_F(ArchiveTest, AFullOrReadOnlyCacheFolderChangesNothingTheLearnerSees) {
    WriteSource("Broken", {"?(\"x\")"});
    source.cache = scratch / "plain-cache";
    vellaro::SetFolderSource(source);
    const vellaro::Cp932Lines clean = Compile("Hello");
    const vellaro::Cp932Lines broken = Compile("Broken");
    ASSERT_EQ(clean, this->clean);

    enum class Cache { Full, ReadOnly, File };
    for (const Cache kind : {Cache::Full, Cache::ReadOnly, Cache::File}) {
        SCOPED_TRACE(static_cast<int>(kind));
        const fs::path cache = scratch / ("cache-" + std::to_string(static_cast<int>(kind)));
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // A private mount namespace, so that the small or read-only folder is this test's.
            ::close(report[0]);
            std::string out;
            bool mounted = kind == Cache::File;
            if (kind == Cache::File) {
                vtest::WriteFile(cache, "not a folder");
            } else if (::unshare(CLONE_NEWNS) == 0 &&
                       ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0) {
                fs::create_directories(cache);
                if (kind == Cache::Full) {
                    mounted = ::mount("tmpfs", cache.c_str(), "tmpfs", 0, "size=256k") == 0;
                    std::ofstream filler(cache / "filler", std::ios::binary);
                    const std::string block(4096, 'x');
                    while (filler.write(block.data(), block.size()))
                        ;
                } else {
                    mounted = ::mount("tmpfs", cache.c_str(), "tmpfs", 0, "size=64m") == 0 &&
                              ::mount(nullptr, cache.c_str(), nullptr, MS_REMOUNT | MS_RDONLY,
                                      nullptr) == 0;
                }
            }
            if (!mounted) {
                out = "skip";
            } else {
                source.cache = cache;
                vellaro::SetFolderSource(source);
                for (const char* name : {"Hello", "Broken", "Hello"}) {
                    for (const vellaro::Cp932Text& line : Compile(name))
                        out += line.bytes() + "\n";
                    out += "--\n";
                }
            }
            (void)!::write(report[1], out.data(), out.size());
            ::_exit(0);
        }
        ::close(report[1]);
        std::string got;
        char buffer[4096];
        for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;)
            got.append(buffer, static_cast<std::size_t>(n));
        ::close(report[0]);
        ::waitpid(child, nullptr, 0);
        if (got == "skip")
            GTEST_SKIP() << "no private mount namespace here";
        std::string expected;
        for (const auto* lines : {&clean, &broken, &clean}) {
            for (const vellaro::Cp932Text& line : *lines)
                expected += line.bytes() + "\n";
            expected += "--\n";
        }
        EXPECT_EQ(got, expected);
    }
}

} // namespace
