#pragma once
// The compiler's class-data archive. Nearly all of a compile is the compiler's JVM starting:
// loading and linking the classes of javac. The JVM can keep those classes, once loaded, in an
// archive that later starts map instead of load; with the client compiler alone a compile of a
// beginner's program then takes about half as long.
//
// The archive is per learner and per JDK: it lives in the learner's cache folder, named after
// the JDK's version and build. The first compile that finds none makes it (written under a
// temporary name, renamed into place when that compile ended well). Nothing about it is ever an
// error the learner sees: a missing, stale or damaged archive only costs speed, a JVM that
// crashes on a damaged one compiles again without it, and a JDK whose JVM refuses the options
// gets the plain command from then on.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellaro {

namespace fs = std::filesystem;

// The JDK whose javac the shell finds.
struct JdkBuild {
    fs::path home;     // the JDK's folder (the one holding bin/javac and release)
    std::string build; // its version and build, e.g. "17.0.15+6-Debian-1deb12u1"
};

// Looks for javac in the folders of a PATH value as the shell does, follows links to the real
// file and reads the version from the release file of the JDK it belongs to. nullopt when there
// is no javac or its JDK does not say which it is.
std::optional<JdkBuild> FindJdk(std::string_view pathVariable);

enum class ArchiveStep {
    None, // the plain command
    Make, // the compile writes the archive
    Use,  // the compile maps the archive
};

struct CompilerArchivePlan {
    ArchiveStep step = ArchiveStep::None;
    fs::path archive; // where this JDK's archive lives
    fs::path pending; // Make: the temporary name the JVM writes
    fs::path refused; // the mark that this JDK's JVM refused the options
    // The JVM options that go first on the compiler's command line; empty for None. crashLog
    // keeps a crash report of the JVM out of the learner's work folder.
    std::string options;
};

// What the next compile does, given the learner's cache folder (empty: none) and the JDK, and
// the private temporary folder where a crash report of the JVM may go. Makes the cache folder
// (0700) when an archive is to be made; a folder that cannot be made gives the plain command.
CompilerArchivePlan PlanCompilerArchive(const fs::path& cacheFolder,
                                        const std::optional<JdkBuild>& jdk,
                                        const fs::path& crashLogFolder);

// True when the JVM did not start because it refused the options: it ended with status 1,
// said so on its error output and wrote no class.
bool JvmRefusedOptions(int exitStatus, const std::vector<std::string>& errorLines,
                       bool classWritten);

// True when the JVM died of a fatal error (it aborts, and the shell reports 128 + SIGABRT):
// what a damaged archive can make it do.
bool JvmCrashed(int exitStatus);

// After a compile with the plan's options that neither crashed nor was refused: a made archive
// is renamed into place when the compile ended well, and otherwise removed.
void FinishCompilerArchive(const CompilerArchivePlan& plan, int exitStatus);

// After a compile with the plan's options that crashed or was refused: a refusal is remembered
// for this JDK; an archive that crashed the JVM is removed so that a later compile makes it
// anew. The caller then compiles again with the plain command.
void ForgetCompilerArchive(const CompilerArchivePlan& plan, bool refused);

} // namespace vellaro
