#include "exercise/CompilerArchive.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/Cp932.h"
#include "exercise/Compile.h"
#include "exercise/ExerciseFiles.h"
#include "exercise/JavaComp.h"

namespace vellaro {

namespace {

// The first four bytes of an archive the JVM wrote at exit (little-endian), and a size below
// which no such archive of javac's classes can be: a file failing either was cut short or
// replaced, and mapping it could crash the JVM, so it is made anew instead.
constexpr std::array<unsigned char, 4> kArchiveMagic = {0xa8, 0xab, 0x0b, 0xf0};
constexpr std::uintmax_t kArchiveMinimumBytes = 64 * 1024;
// The room an archive is made in: javac's archive is about 10 MB; a folder with less free than
// three times that is not written into, so that the JVM never fails half-way through it.
constexpr std::uintmax_t kArchiveRoomBytes = 32 * 1024 * 1024;
// How many compiles without the archive the watchdog is measured on, and how many times the
// slowest of them a compile with the archive may take (it takes about a quarter of one).
constexpr std::size_t kTimesKept = 8;
constexpr int kWatchdogFactor = 4;
// For a compile asked while the archive is made: a compile without the archive for a learner
// whose compiles were never measured, and what the making and a compile with the archive take,
// in parts of one without it (making writes the archive at the end: about 1.4; mapping it about
// 0.3, counted high).
constexpr std::chrono::milliseconds kPlainCompileGuess{1500};
constexpr int kMakeTenths = 15;
constexpr int kUseTenths = 4;
// The background compile's program: what a beginner's first programs use, so that the classes
// javac loads for them are in the archive.
constexpr std::string_view kSampleClass = "VellaroArchive";
constexpr const char* kSampleStatements[] = {
    "int total = 0;",
    "for (int i = 0; i < 10; i++) {",
    "    total += i;",
    "}",
    "String text = \"合計\" + total;",
    "System.out.println(text);",
    "double average = total / 10.0;",
    "if (average > 1) System.out.printf(\"%.1f%n\", average);",
};

// The value of KEY="value" in a JDK's release file.
std::optional<std::string> ReleaseValue(const std::string& text, std::string_view key) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > key.size() && line.substr(0, key.size()) == key &&
            line[key.size()] == '=') {
            std::string_view value = line.substr(key.size() + 1);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            if (!value.empty())
                return std::string(value);
        }
        start = end + 1;
    }
    return std::nullopt;
}

// The build as a part of a file name: what is not a plain character becomes "_".
std::string FileNamePart(std::string_view build) {
    std::string out;
    for (char c : build) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-';
        out += plain ? c : '_';
    }
    return out;
}

bool LooksWhole(const fs::path& archive) {
    std::error_code ec;
    if (!fs::is_regular_file(archive, ec) || fs::file_size(archive, ec) < kArchiveMinimumBytes ||
        ec)
        return false;
    std::ifstream in(archive, std::ios::binary);
    std::array<char, 4> head{};
    if (!in.read(head.data(), head.size()))
        return false;
    for (std::size_t i = 0; i < head.size(); ++i)
        if (static_cast<unsigned char>(head[i]) != kArchiveMagic[i])
            return false;
    return true;
}

// The sum file's line: size, checksum and build of the archive it was written for.
std::string SumLine(std::uintmax_t size, const std::string& checksum, const std::string& build) {
    return std::to_string(size) + " " + checksum + " " + build + "\n";
}

// Whole, and the very archive that was made here for this JDK: its size and checksum are the
// ones recorded when it was made, and so is the build it was made by. An archive cut, zeroed or
// overwritten in its middle, or one of another JDK put under this one's name, fails.
bool IsOwnArchive(const CompilerArchivePlan& plan) {
    if (!LooksWhole(plan.archive))
        return false;
    std::string recorded;
    if (!ReadWholeFile(plan.sum, recorded, 4096))
        return false;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(plan.archive, ec);
    // The size first: a cut archive is told without reading it through.
    if (ec || recorded.rfind(std::to_string(size) + " ", 0) != 0)
        return false;
    return recorded == SumLine(size, ArchiveChecksum(plan.archive), plan.build);
}

std::vector<long long> ReadTimes(const fs::path& file) {
    std::vector<long long> times;
    std::string text;
    if (!ReadWholeFile(file, text, 4096))
        return times;
    std::istringstream in(text);
    long long ms = 0;
    while (in >> ms)
        if (ms > 0)
            times.push_back(ms);
    return times;
}

// The watchdog's limit from the compiles without the archive; 0 when none was measured.
std::chrono::milliseconds WatchdogLimit(const fs::path& timesFile) {
    const std::vector<long long> times = ReadTimes(timesFile);
    if (times.empty())
        return std::chrono::milliseconds{0};
    return std::chrono::milliseconds{*std::max_element(times.begin(), times.end()) *
                                     kWatchdogFactor};
}

// The folder takes an archive: it has the room, and a file can be written there now (a folder
// on a read-only mount, or one whose quota is spent, cannot).
bool CanHoldArchive(const fs::path& folder, const fs::path& probe) {
    std::error_code ec;
    const fs::space_info space = fs::space(folder, ec);
    if (ec || space.available < kArchiveRoomBytes)
        return false;
    bool written = false;
    {
        std::ofstream out(probe, std::ios::binary | std::ios::trunc);
        written = out && (out << "probe") && out.flush();
    }
    fs::remove(probe, ec);
    return written;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Who may make the archive: the learner's compile, the background compile (under a name of its
// own), or nobody (the archive is only used).
enum class MakeBy { Compile, Background, Nobody };

CompilerArchivePlan PlanArchive(const fs::path& cacheFolder, const std::optional<JdkBuild>& jdk,
                                const fs::path& crashLogFolder, std::string_view environment,
                                MakeBy maker);

std::chrono::milliseconds MedianPlainCompile(const fs::path& timesFile) {
    std::vector<long long> times = ReadTimes(timesFile);
    if (times.empty())
        return kPlainCompileGuess;
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    return std::chrono::milliseconds{times[times.size() / 2]};
}

} // namespace

std::string ArchiveChecksum(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    // A 64-bit multiply-and-fold over the file's 8-byte words: a damaged block anywhere changes
    // it, at a few milliseconds for javac's archive.
    std::uint64_t h = 0xcbf29ce484222325ULL;
    std::vector<char> buffer(1 << 20);
    std::uint64_t total = 0;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::size_t got = static_cast<std::size_t>(in.gcount());
        std::size_t i = 0;
        for (; i + 8 <= got; i += 8) {
            std::uint64_t w = 0;
            for (std::size_t b = 0; b < 8; ++b)
                w |= std::uint64_t(static_cast<unsigned char>(buffer[i + b])) << (8 * b);
            h = (h ^ w) * 0x100000001b3ULL;
            h ^= h >> 29;
        }
        for (; i < got; ++i)
            h = (h ^ static_cast<unsigned char>(buffer[i])) * 0x100000001b3ULL;
        total += got;
    }
    if (in.bad())
        return {};
    h ^= total;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return hex;
}

std::string JvmEnvironment(const std::function<std::optional<std::string>(const char*)>& variable) {
    std::string out;
    // The options every JVM takes from the environment, javac's among them.
    for (const char* name : {"JAVA_TOOL_OPTIONS", "_JAVA_OPTIONS"})
        if (const auto value = variable(name))
            out += std::string(name) + "=" + *value + "\n";
    return out;
}

bool JavacsOwnVerdict(int exitStatus, const Cp932Lines& errorLines) {
    if (exitStatus < 0 || exitStatus > 2)
        return false;
    // javac says why it failed on its error output. A failure without a word there is the JVM's,
    // which writes its own start-up errors (a damaged archive met while mapping it) to its
    // standard output.
    if (exitStatus != 0 && errorLines.empty())
        return false;
    // What the JVM and its launcher write, at the start of a line. javac's own lines start with
    // the file's name, a Japanese word, or (a quoted source line) the tabs of the listing.
    static constexpr std::string_view kJvmLines[] = {
        "Error occurred during initialization of VM",
        "An error has occurred while processing the shared archive file",
        "Unable to use shared archive",
        "Unable to write to shared archive",
        "Unable to create shared archive",
        "Unable to map",
        "Exception in thread",
        "Caused by: ",
        "\tat ",
        "java.lang.",
        "Error: ",
        "Unrecognized VM option",
        "Could not create the Java Virtual Machine",
        "Improperly specified VM option",
        "#", // the fatal-error report
        "OpenJDK ",
        "Java HotSpot",
        "[", // the JVM's own log lines, "[0.012s][warning][cds]"
    };
    for (const Cp932Text& line : errorLines)
        for (std::string_view prefix : kJvmLines)
            if (StartsWith(line.bytes(), prefix))
                return false;
    return true;
}

std::optional<JdkBuild> FindJdk(std::string_view pathVariable) {
    std::size_t start = 0;
    while (start <= pathVariable.size()) {
        std::size_t end = pathVariable.find(':', start);
        if (end == std::string_view::npos)
            end = pathVariable.size();
        // An empty entry is the current folder, as for the shell.
        const fs::path folder(std::string(pathVariable.substr(start, end - start)));
        const fs::path javac = (folder.empty() ? fs::path(".") : folder) / "javac";
        std::error_code ec;
        if (fs::is_regular_file(javac, ec)) {
            const fs::path real = fs::canonical(javac, ec);
            if (ec)
                return std::nullopt;
            JdkBuild jdk;
            jdk.home = real.parent_path().parent_path();
            std::string release;
            if (!ReadWholeFile(jdk.home / "release", release, 1 << 20))
                return std::nullopt;
            auto build = ReleaseValue(release, "JAVA_RUNTIME_VERSION");
            if (!build)
                build = ReleaseValue(release, "JAVA_VERSION");
            if (!build)
                return std::nullopt;
            jdk.build = *build;
            return jdk;
        }
        start = end + 1;
    }
    return std::nullopt;
}

CompilerArchivePlan PlanCompilerArchive(const fs::path& cacheFolder,
                                        const std::optional<JdkBuild>& jdk,
                                        const fs::path& crashLogFolder,
                                        std::string_view environment, bool mayMake) {
    return PlanArchive(cacheFolder, jdk, crashLogFolder, environment,
                       mayMake ? MakeBy::Compile : MakeBy::Nobody);
}

namespace {

CompilerArchivePlan PlanArchive(const fs::path& cacheFolder, const std::optional<JdkBuild>& jdk,
                                const fs::path& crashLogFolder, std::string_view environment,
                                MakeBy maker) {
    CompilerArchivePlan plan;
    if (cacheFolder.empty() || !jdk)
        return plan;
    const std::string stem = "javac-" + FileNamePart(jdk->build);
    plan.archive = cacheFolder / (stem + ".jsa");
    plan.pending = cacheFolder / (stem + ".jsa.part");
    plan.refused = cacheFolder / (stem + ".plain");
    plan.sum = cacheFolder / (stem + ".jsa.sum");
    plan.times = cacheFolder / (stem + ".times");
    plan.build = jdk->build;
    plan.environment = "JDK=" + jdk->home.string() + "\nBUILD=" + jdk->build + "\n";
    plan.environment += environment;
    std::error_code ec;
    if (fs::exists(plan.refused, ec)) {
        // A refusal holds for the JDK and environment it was seen with; after a change of
        // either (a mistyped JAVA_TOOL_OPTIONS put right, a JDK put in place) it is judged again.
        std::string seenWith;
        if (ReadWholeFile(plan.refused, seenWith, 1 << 16) && seenWith == plan.environment)
            return plan;
        fs::remove(plan.refused, ec);
    }

    std::vector<std::string> options;
    const std::chrono::milliseconds limit = WatchdogLimit(plan.times);
    if (limit.count() > 0 && IsOwnArchive(plan)) {
        plan.step = ArchiveStep::Use;
        plan.limit = limit;
        options.push_back("-J-XX:SharedArchiveFile=" + plan.archive.string());
    } else {
        if (maker == MakeBy::Nobody)
            return plan;
        if (maker == MakeBy::Background)
            plan.pending = cacheFolder / (stem + ".jsa.making");
        if (!fs::is_directory(cacheFolder, ec)) {
            fs::create_directories(cacheFolder, ec);
            fs::permissions(cacheFolder, fs::perms::owner_all, fs::perm_options::replace, ec);
        }
        fs::remove(plan.pending, ec);
        if (!fs::is_directory(cacheFolder, ec) || fs::exists(plan.pending, ec) ||
            !CanHoldArchive(cacheFolder, plan.pending))
            return plan;
        plan.step = ArchiveStep::Make;
        options.push_back("-J-XX:ArchiveClassesAtExit=" + plan.pending.string());
    }
    // The client compiler alone and the serial collector: a compile is short and mostly
    // start-up, where the optimising compiler and a parallel collector's set-up only cost time.
    options.insert(options.end(),
                   {"-J-XX:TieredStopAtLevel=1", "-J-Xlog:cds=off", "-J-XX:+UseSerialGC"});
    // An archive the JVM will not map (one of another build of the JVM under this JDK's name)
    // would otherwise be passed over without a word, and every compile stay slow: mapping is
    // required, so the JVM says so and the archive is made anew.
    if (plan.step == ArchiveStep::Use)
        options.push_back("-J-Xshare:on");
    if (!crashLogFolder.empty())
        options.push_back("-J-XX:ErrorFile=" + (crashLogFolder / "javac-crash-%p.log").string());
    plan.options = std::move(options);
    return plan;
}

} // namespace

bool JvmRefusedOptions(int exitStatus, const Cp932Lines& errorLines, bool classWritten) {
    if (exitStatus != 1 || classWritten)
        return false;
    for (const Cp932Text& line : errorLines)
        if (line.bytes().find("Unrecognized VM option") != std::string::npos ||
            line.bytes().find("Could not create the Java Virtual Machine") != std::string::npos)
            return true;
    return false;
}

bool JvmCrashed(int exitStatus) {
    constexpr int kShellStatusOfAbort = 128 + 6;
    return exitStatus == kShellStatusOfAbort;
}

void FinishCompilerArchive(const CompilerArchivePlan& plan, int exitStatus,
                           std::chrono::milliseconds elapsed) {
    if (plan.step != ArchiveStep::Make)
        return;
    RecordPlainCompile(plan, elapsed);
    std::error_code ec;
    if (exitStatus == 0 && LooksWhole(plan.pending)) {
        const std::uintmax_t size = fs::file_size(plan.pending, ec);
        const std::string checksum = ArchiveChecksum(plan.pending);
        if (!ec && !checksum.empty()) {
            fs::rename(plan.pending, plan.archive, ec);
            if (!ec) {
                // Without its sum the archive is never used, so a failed write costs only speed.
                AtomicWriteFile(plan.sum, SumLine(size, checksum, plan.build));
                return;
            }
        }
    }
    fs::remove(plan.pending, ec);
}

void ForgetCompilerArchive(const CompilerArchivePlan& plan, bool refused) {
    std::error_code ec;
    fs::remove(plan.pending, ec);
    if (refused) {
        AtomicWriteFile(plan.refused, plan.environment);
    } else if (plan.step != ArchiveStep::None) {
        fs::remove(plan.archive, ec);
        fs::remove(plan.sum, ec);
    }
}

void RecordPlainCompile(const CompilerArchivePlan& plan, std::chrono::milliseconds elapsed) {
    std::error_code ec;
    if (plan.times.empty() || elapsed.count() <= 0 ||
        !fs::is_directory(plan.times.parent_path(), ec))
        return;
    std::vector<long long> times = ReadTimes(plan.times);
    times.push_back(elapsed.count());
    if (times.size() > kTimesKept)
        times.erase(times.begin(), times.end() - kTimesKept);
    std::string text;
    for (long long ms : times)
        text += std::to_string(ms) + "\n";
    AtomicWriteFile(plan.times, text);
}

std::optional<BackgroundArchiveJob> PlanBackgroundArchive(const fs::path& cacheFolder,
                                                          const std::optional<JdkBuild>& jdk,
                                                          const fs::path& tempFolder,
                                                          std::string_view environment) {
    if (tempFolder.empty())
        return std::nullopt;
    BackgroundArchiveJob job;
    job.folder = tempFolder / "archive";
    std::error_code ec;
    fs::remove_all(job.folder, ec);
    fs::create_directories(job.folder, ec);
    if (ec || !fs::is_directory(job.folder, ec))
        return std::nullopt;
    job.plan = PlanArchive(cacheFolder, jdk, job.folder, environment, MakeBy::Background);
    if (job.plan.step != ArchiveStep::Make) {
        fs::remove_all(job.folder, ec);
        return std::nullopt;
    }
    TextLines statements(std::begin(kSampleStatements), std::end(kSampleStatements));
    const fs::path source = job.folder / (std::string(kSampleClass) + ".java");
    // A scratch file: written without a flush to disc, which would hold up the window.
    std::ofstream out(source, std::ios::binary | std::ios::trunc);
    out << JavaFileBytes(SjisLines(MakeJavaSource(kSampleClass, statements)));
    out.close();
    if (!out) {
        AbandonBackgroundArchive(job);
        return std::nullopt;
    }
    // The learner's compile line, with the program by its full name: javac writes the class
    // beside it, out of the learner's work folder.
    job.command = CompileCommand((job.folder / kSampleClass).string(), job.folder / "Cmp.txt",
                                 job.plan.options);
    return job;
}

bool FinishBackgroundArchive(const BackgroundArchiveJob& job, int exitStatus,
                             std::chrono::milliseconds elapsed) {
    const auto lines = ReadCaptureFile(job.folder / "Cmp.txt");
    std::error_code ec;
    bool made = false;
    if (lines && JavacsOwnVerdict(exitStatus, *lines)) {
        // A program of its own that did not compile says nothing of the archive: it is not kept.
        FinishCompilerArchive(job.plan, exitStatus == 0 ? 0 : 1, elapsed);
        made = exitStatus == 0 && fs::exists(job.plan.archive, ec);
    } else {
        const fs::path sample = job.folder / (std::string(kSampleClass) + ".class");
        ForgetCompilerArchive(job.plan, JvmRefusedOptions(exitStatus, lines.value_or(Cp932Lines{}),
                                                          fs::exists(sample, ec)));
    }
    fs::remove_all(job.folder, ec);
    return made;
}

void AbandonBackgroundArchive(const BackgroundArchiveJob& job) {
    std::error_code ec;
    fs::remove(job.plan.pending, ec);
    fs::remove_all(job.folder, ec);
}

ArchiveWait ChooseArchiveWait(std::chrono::milliseconds makingFor, const fs::path& times) {
    const std::chrono::milliseconds plain = MedianPlainCompile(times);
    const std::chrono::milliseconds use = plain * kUseTenths / 10;
    const std::chrono::milliseconds left =
        std::max(std::chrono::milliseconds{0}, plain * kMakeTenths / 10 - makingFor);
    ArchiveWait choice;
    // Waiting pays while what is left of the making and the compile that maps the archive come
    // to less than a compile without it; so much and no longer may it be waited for.
    if (left + use < plain) {
        choice.wait = true;
        choice.limit = plain - use;
    }
    return choice;
}

} // namespace vellaro
