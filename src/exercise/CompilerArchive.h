#pragma once
// The compiler's class-data archive. Nearly all of a compile is the compiler's JVM starting:
// loading and linking the classes of javac. The JVM can keep those classes, once loaded, in an
// archive that later starts map instead of load; with the client compiler alone a compile of a
// beginner's program then takes about half as long.
//
// The archive is per learner and per JDK: it lives in the learner's cache folder, named after
// the JDK's version and build. The first compile that finds none makes it (written under a
// temporary name, renamed into place when that compile ended well, with its size and checksum
// recorded beside it). A new learner's archive is made before the first compile, in the
// background after the window is shown (PlanBackgroundArchive). Nothing about it is ever an error
// the learner sees: a missing, stale, damaged or foreign archive only costs speed. A compile with
// the archive that ends in any way but javac's own verdict (a JVM message, a crash, a hang, the
// learner's Esc) drops the archive and compiles again without it; a JDK whose JVM refuses the
// options gets the plain command until the JDK or the JVM's environment changes.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Cp932Text.h"
#include "exercise/Compile.h"

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
    std::string build; // the JDK's version and build
    fs::path archive;  // where this JDK's archive lives
    fs::path pending;  // Make: the temporary name the JVM writes
    fs::path refused;  // the mark that this JDK's JVM refused the options
    fs::path sum;      // the archive's size, checksum and build, recorded when it was made
    fs::path times;    // how long the latest compiles without the archive took
    // What the refusal mark is judged by: the JDK and the JVM's options from the environment.
    std::string environment;
    // Use: a compile that runs longer than this is taken for hung on the archive (the watchdog),
    // measured from the compiles without it.
    std::chrono::milliseconds limit{0};
    // The JVM options that go first on the compiler's command line, one word each; empty for
    // None. crashLog keeps a crash report of the JVM out of the learner's work folder.
    std::vector<std::string> options;
};

// What the next compile does, given the learner's cache folder (empty: none), the JDK, the
// private temporary folder where a crash report of the JVM may go, and the JVM's options from
// the environment (JvmEnvironment). Makes the cache folder (0700) when an archive is to be
// made. The archive is used only when it is whole (its recorded size and checksum) and there is
// a measure for the watchdog; it is made only where the folder can be written and has room for
// it. Otherwise the plain command, and the next compile judges again.
// Without mayMake the compile never makes the archive (it is being made in the background, or
// was just stopped there): the archive is used when it can be, and nothing is touched otherwise.
CompilerArchivePlan PlanCompilerArchive(const fs::path& cacheFolder,
                                        const std::optional<JdkBuild>& jdk,
                                        const fs::path& crashLogFolder,
                                        std::string_view environment = {}, bool mayMake = true);

// The JVM's options from the environment, as "NAME=value" lines, from a reader of variables
// (nullopt: unset): what can make a JVM refuse options that it took before, or the reverse.
std::string JvmEnvironment(const std::function<std::optional<std::string>(const char*)>& variable);

// The checksum recorded for an archive: a 64-bit hash of its bytes, in hex; empty when the file
// cannot be read.
std::string ArchiveChecksum(const fs::path& file);

// True when the compile's end is javac's own verdict on the source: an exit status javac gives
// for a source (0 clean, 1 errors, 2 a file or option it could not take; the last two always with
// javac's own lines) and no line that the JVM rather than javac writes (an archive message, a JVM
// error or exception, a fatal-error report). Anything else, after a compile with the archive, is
// the archive's doing until the plain command shows otherwise.
bool JavacsOwnVerdict(int exitStatus, const Cp932Lines& errorLines);

// True when the JVM did not start because it refused the options: it ended with status 1,
// said so on its error output and wrote no class.
bool JvmRefusedOptions(int exitStatus, const Cp932Lines& errorLines, bool classWritten);

// True when the JVM died of a fatal error (it aborts, and the shell reports 128 + SIGABRT):
// what a damaged archive can make it do.
bool JvmCrashed(int exitStatus);

// After a compile with the plan's options that gave javac's own verdict: a made archive is
// renamed into place, its checksum recorded, when the compile ended well, and otherwise removed.
// elapsed: how long a compile that did not map the archive took (Make), kept for the watchdog.
void FinishCompilerArchive(const CompilerArchivePlan& plan, int exitStatus,
                           std::chrono::milliseconds elapsed = {});

// After a compile with the plan's options that did not give javac's own verdict (or was ended
// before it): the archive, made or used, is dropped, so that a later compile makes it anew; a
// refusal is remembered for this JDK and environment instead. The caller then compiles again
// with the plain command (unless the program is closing).
void ForgetCompilerArchive(const CompilerArchivePlan& plan, bool refused);

// After a plain compile that ended by itself: how long it took, the measure of the watchdog.
void RecordPlainCompile(const CompilerArchivePlan& plan, std::chrono::milliseconds elapsed);

// The compile that makes the archive in the background before the learner's first compile: it
// compiles a small program of its own in a folder of its own, and writes the archive under a
// name of its own, so that a compile of the learner's planned meanwhile never takes it for its
// own half-made one.
struct BackgroundArchiveJob {
    CompilerArchivePlan plan; // Make
    fs::path folder;          // the program it compiles and the compiler's error output
    Command command;          // as the compile page's
};

// The background compile, when the archive is to be made (see PlanCompilerArchive) and the
// folder for it can be written under `tempFolder` (the private temporary folder); nullopt when
// the archive is in use, refused, or cannot be made.
std::optional<BackgroundArchiveJob> PlanBackgroundArchive(const fs::path& cacheFolder,
                                                          const std::optional<JdkBuild>& jdk,
                                                          const fs::path& tempFolder,
                                                          std::string_view environment = {});

// After the background compile ended by itself: the archive is put in place when javac
// compiled the program cleanly; a JVM that refused the options is remembered (the plain command
// from then on); anything else drops what was made, and the learner's compile makes it later.
// elapsed: how long it took, the watchdog's first measure. True when the archive is in place.
bool FinishBackgroundArchive(const BackgroundArchiveJob& job, int exitStatus,
                             std::chrono::milliseconds elapsed);
// After the background compile was ended before its end: nothing of it is left.
void AbandonBackgroundArchive(const BackgroundArchiveJob& job);

// Whether a compile asked while the archive is still being made waits for it, and how long at
// most: it waits when the archive is expected sooner than a compile without it would finish
// (with the compile that maps it counted in), judged by the compiles measured so far (`times`,
// the plan's file) or a typical figure for a new learner. Past the limit it no longer pays: the
// making is ended and the compile runs plain.
struct ArchiveWait {
    bool wait = false;
    std::chrono::milliseconds limit{0};
};
ArchiveWait ChooseArchiveWait(std::chrono::milliseconds makingFor, const fs::path& times);

} // namespace vellaro
