// The compiler's class-data archive with the real JDK: made, used, and never in the learner's
// way when it is damaged or when the JVM refuses it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

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
    fs::path OtherJdk(const std::string& build, bool refusing) {
        const fs::path home = scratch / ("jdk-" + build);
        fs::create_directories(home / "bin");
        std::ofstream(home / "release") << "JAVA_RUNTIME_VERSION=\"" << build << "\"\n";
        std::ofstream script(home / "bin" / "javac");
        script << "#!/bin/sh\n";
        if (refusing)
            script << "case \"$*\" in *-J-XX:*) echo \"Unrecognized VM option 'X'\" >&2\n"
                      "  echo 'Error: Could not create the Java Virtual Machine.' >&2; exit 1;; "
                      "esac\n";
        script << "PATH='" << std::getenv("PATH") << "' exec javac \"$@\"\n";
        script.close();
        fs::permissions(home / "bin" / "javac", fs::perms::owner_all);
        return home / "bin";
    }

    const std::vector<std::string> clean = {vellaro::Sjis(vellaro::kCompileCleanText)};
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
    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_THAT(vellaro::ShellCommand, Not(HasSubstr("-XX:")));
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch / "work"), {}), 2); // .java, .class
    EXPECT_EQ(Compile("Hello"), clean);
    EXPECT_THAT(vellaro::ShellCommand, HasSubstr("-J-XX:ArchiveClassesAtExit="));
    EXPECT_TRUE(fs::exists(archive));

    // Errors in the learner's program are the compiler's verdict, as without the archive.
    WriteSource("Broken", {"?(\"x\")"});
    EXPECT_THAT(Compile("Broken").front(), HasSubstr("Broken.java:6:"));
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

} // namespace
