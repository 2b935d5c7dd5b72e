#include "exercise/CompilerArchive.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <system_error>

#include "common/AtomicFile.h"
#include "exercise/Compile.h"

namespace vellaro {

namespace {

// The first four bytes of an archive the JVM wrote at exit (little-endian), and a size below
// which no such archive of javac's classes can be: a file failing either was cut short or
// replaced, and mapping it could crash the JVM, so it is made anew instead.
constexpr std::array<unsigned char, 4> kArchiveMagic = {0xa8, 0xab, 0x0b, 0xf0};
constexpr std::uintmax_t kArchiveMinimumBytes = 64 * 1024;

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

} // namespace

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
                                        const fs::path& crashLogFolder) {
    CompilerArchivePlan plan;
    if (cacheFolder.empty() || !jdk)
        return plan;
    const std::string stem = "javac-" + FileNamePart(jdk->build);
    plan.archive = cacheFolder / (stem + ".jsa");
    plan.pending = cacheFolder / (stem + ".jsa.part");
    plan.refused = cacheFolder / (stem + ".plain");
    std::error_code ec;
    if (fs::exists(plan.refused, ec))
        return plan;

    std::string options;
    if (LooksWhole(plan.archive)) {
        plan.step = ArchiveStep::Use;
        options = "-J-XX:SharedArchiveFile=" + ShellQuote(plan.archive.string());
    } else {
        if (!fs::is_directory(cacheFolder, ec)) {
            fs::create_directories(cacheFolder, ec);
            fs::permissions(cacheFolder, fs::perms::owner_all, fs::perm_options::replace, ec);
        }
        fs::remove(plan.pending, ec);
        if (!fs::is_directory(cacheFolder, ec) || fs::exists(plan.pending, ec))
            return plan;
        plan.step = ArchiveStep::Make;
        options = "-J-XX:ArchiveClassesAtExit=" + ShellQuote(plan.pending.string());
    }
    // The client compiler alone and the serial collector: a compile is short and mostly
    // start-up, where the optimising compiler and a parallel collector's set-up only cost time.
    options += " -J-XX:TieredStopAtLevel=1 -J-Xlog:cds=off -J-XX:+UseSerialGC";
    if (!crashLogFolder.empty())
        options +=
            " -J-XX:ErrorFile=" + ShellQuote((crashLogFolder / "javac-crash-%p.log").string());
    plan.options = options;
    return plan;
}

bool JvmRefusedOptions(int exitStatus, const std::vector<std::string>& errorLines,
                       bool classWritten) {
    if (exitStatus != 1 || classWritten)
        return false;
    for (const std::string& line : errorLines)
        if (line.find("Unrecognized VM option") != std::string::npos ||
            line.find("Could not create the Java Virtual Machine") != std::string::npos)
            return true;
    return false;
}

bool JvmCrashed(int exitStatus) {
    constexpr int kShellStatusOfAbort = 128 + 6;
    return exitStatus == kShellStatusOfAbort;
}

void FinishCompilerArchive(const CompilerArchivePlan& plan, int exitStatus) {
    if (plan.step != ArchiveStep::Make)
        return;
    std::error_code ec;
    if (exitStatus == 0 && LooksWhole(plan.pending)) {
        fs::rename(plan.pending, plan.archive, ec);
        if (!ec)
            return;
    }
    fs::remove(plan.pending, ec);
}

void ForgetCompilerArchive(const CompilerArchivePlan& plan, bool refused) {
    std::error_code ec;
    fs::remove(plan.pending, ec);
    if (refused)
        AtomicWriteFile(plan.refused, "");
    else if (plan.step == ArchiveStep::Use)
        fs::remove(plan.archive, ec);
}

} // namespace vellaro
