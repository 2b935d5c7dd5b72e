#include "exercise/Compile.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/Cp932.h"
#include "common/Platform.h"
#include "common/delCommFunc.h"
#include "exercise/CompilerArchive.h"

namespace vellaro {

namespace {

bool IsShellLiteral(unsigned char c) {
    if (c >= 0x80) {
        return true; // the bytes of a UTF-8 character are ordinary characters to the shell
    }
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    switch (c) {
    case '_':
    case '-':
    case '.':
    case '/':
    case ',':
    case ':':
    case '@':
    case '%':
    case '+':
    case '=':
        return true;
    default:
        return false;
    }
}

// A word of a command's text: as it is, or in double quotes where it is empty or holds a
// character that would hide where it ends.
std::string ShownWord(std::string_view word) {
    if (!word.empty() && word.find_first_of(" \t\"\\") == std::string_view::npos) {
        return std::string(word);
    }
    std::string out = "\"";
    out.reserve(word.size() + 2);
    for (char c : word) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
    return out;
}

// The script's word for an option: "-name=value" with the value alone quoted, as one would type
// it; any other option quoted whole.
std::string ShellOption(std::string_view option) {
    const std::size_t equals = option.find('=');
    if (equals == std::string_view::npos) {
        return ShellQuote(option);
    }
    return std::string(option.substr(0, equals + 1)) + ShellQuote(option.substr(equals + 1));
}

// A class file's modification time, or nullopt when there is none: a compile wrote the class
// when this changed.
std::optional<fs::file_time_type> FileStamp(const fs::path& file) {
    std::error_code ec;
    const auto stamp = fs::last_write_time(file, ec);
    if (ec)
        return std::nullopt;
    return stamp;
}

} // namespace

fs::path CapturePath() {
    fs::path temp = TempPath();
    if (temp.empty()) {
        return {};
    }
    return temp / "Cmp.txt";
}

std::string ShellQuote(std::string_view word) {
    bool plain = !word.empty();
    for (char c : word) {
        if (!IsShellLiteral(static_cast<unsigned char>(c))) {
            plain = false;
            break;
        }
    }
    if (plain) {
        return std::string(word);
    }
    std::string out = "'";
    for (char c : word) {
        if (c == '\'') {
            out += "'\\''"; // close, an escaped quote, open again
        } else {
            out += c;
        }
    }
    out += '\'';
    return out;
}

Command ShellScript(std::string script) {
    return Command{{std::string(kShellProgram), "-c", std::move(script)}, {}};
}

std::string CommandText(const Command& command) {
    std::string text;
    for (const std::string& word : command.argv) {
        if (!text.empty()) {
            text += ' ';
        }
        text += ShownWord(word);
    }
    return text;
}

Command CompileCommand(std::string_view className, const fs::path& capture,
                       const std::vector<std::string>& jvmOptions) {
    std::string script = "javac ";
    for (const std::string& option : jvmOptions) {
        script += ShellOption(option);
        script += ' ';
    }
    // -g: the names of local variables go into the class, so that the JVM's message about a null
    // names the learner's variable ("because "name" is null").
    script += "-J-Duser.language=ja -J-Dfile.encoding=MS932 -encoding MS932 -g ";
    script += ShellQuote(std::string(className) + ".java");
    script += " 2>  ";
    script += ShellQuote(capture.string());
    return ShellScript(std::move(script));
}

Command RunClassCommand(std::string_view className) {
    std::string script = "java -Duser.language=ja -Dfile.encoding=UTF-8 -Dstdout.encoding=UTF-8 "
                         "-Dstderr.encoding=UTF-8 ";
    script += ShellQuote(className);
    // The console learns here that the class has ended, and how, before the shell's prompt.
    script += "; printf '\\033]";
    script += kRunEndMark;
    script += "%d\\007' $?; exec ";
    script += kShellProgram;
    script += " -i";
    Command command = ShellScript(std::move(script));
    command.runClass = className;
    return command;
}

std::string RunShellCommand(std::string_view className) {
    // The run's ShellCommand has always held the interpreter's arguments alone.
    return CommandText(RunClassCommand(className)).substr(kShellProgram.size()) + " ";
}

std::optional<int> RunEndStatus(std::string_view osc) {
    if (osc.substr(0, kRunEndMark.size()) != kRunEndMark)
        return std::nullopt;
    osc.remove_prefix(kRunEndMark.size());
    int status = 0;
    const auto [end, ec] = std::from_chars(osc.data(), osc.data() + osc.size(), status);
    if (ec != std::errc() || end != osc.data() + osc.size() || osc.empty())
        return std::nullopt;
    return status;
}

std::string ConsoleCaption(const Command& command) {
    if (!command.runClass.empty()) {
        return "実行中: " + command.runClass;
    }
    return CommandText(command);
}

Cp932Lines SplitCaptureLines(std::string_view bytes) {
    Cp932Lines lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(bytes.substr(start, i - start));
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < bytes.size()) {
        lines.emplace_back(bytes.substr(start));
    }
    return lines;
}

bool ClearCaptureFile(const fs::path& capture) {
    std::error_code ec;
    fs::remove(capture, ec); // a link is removed itself, never its target
    ec.clear();
    auto status = fs::symlink_status(capture, ec);
    return status.type() == fs::file_type::not_found;
}

std::optional<Cp932Lines> ReadCaptureFile(const fs::path& capture) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(capture, ec))) {
        return std::nullopt;
    }
    std::ifstream in(capture, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        return std::nullopt;
    }
    return SplitCaptureLines(bytes);
}

Cp932Lines FoldCandidateLists(const Cp932Lines& lines) {
    const std::string constructor = "    " + Sjis("コンストラクタ ").bytes();
    const std::string method = "    " + Sjis("メソッド ").bytes();
    auto isCandidate = [&](const Cp932Text& line) {
        return line.bytes().compare(0, constructor.size(), constructor) == 0 ||
               line.bytes().compare(0, method.size(), method) == 0;
    };
    auto isReason = [](const Cp932Text& line) { return line.bytes().compare(0, 6, "      ") == 0; };
    Cp932Lines out;
    out.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size();) {
        if (!isCandidate(lines[i])) {
            out.push_back(lines[i++]);
            continue;
        }
        std::size_t shown = 0;
        std::size_t hidden = 0;
        while (i < lines.size() && isCandidate(lines[i])) {
            const bool show = shown < kCandidatesShown;
            shown += show;
            hidden += !show;
            do {
                if (show)
                    out.push_back(lines[i]);
                ++i;
            } while (i < lines.size() && isReason(lines[i]));
        }
        if (hidden > 0)
            out.push_back(
                Sjis("    ……（ほかの候補 " + std::to_string(hidden) + " 個は省略しました）"));
    }
    return out;
}

Cp932Lines CompileMessages(const std::optional<Cp932Lines>& captureLines, int exitStatus) {
    Cp932Lines lines;
    if (captureLines) {
        lines = FoldCandidateLists(*captureLines);
    } else {
        lines.push_back(Sjis(kCompileBrokenText));
    }
    if (exitStatus == kShellCommandNotFound) {
        // The shell's own "not found" is terse English; say plainly what is missing.
        lines.push_back(Sjis(kCompilerMissingText));
    }
    if (lines.empty()) {
        // An empty capture means a clean compile only if the compiler also says so: one that
        // was killed or failed silently must not be reported as a success.
        lines.push_back(Sjis(exitStatus == 0 ? kCompileCleanText : kCompileBrokenText));
    } else if (exitStatus == 0 && captureLines &&
               std::any_of(lines.begin(), lines.end(), [](const Cp932Text& line) {
                   return line.bytes().find_first_not_of(" \t") != std::string::npos;
               })) {
        // Notes and warnings only: the class was made all the same, and the pane says so.
        lines.push_back(Sjis(kCompileCleanText));
    }
    return lines;
}

CompileOutcome CompileSource(std::string_view className, const CompileRunner& run,
                             bool mayMakeArchive) {
    CompileOutcome outcome;
    fs::path capture = CapturePath();
    if (className.empty()) {
        outcome.classNameMissing = true;
        return outcome;
    }
    if (capture.empty() || !ClearCaptureFile(capture)) {
        // Without a private place for the capture, the redirection would land elsewhere.
        outcome.lines.push_back(Sjis(kCompileBrokenText));
        return outcome;
    }
    const auto environment = JvmEnvironment(&platform::EnvironmentValue);
    const CompilerArchivePlan plan =
        PlanCompilerArchive(CurrentFolderSource().cache, FindJdk(platform::ProgramSearchPath()),
                            capture.parent_path(), environment, mayMakeArchive);
    const fs::path classFile = fs::path(std::string(className) + ".class");
    const auto timed = [&run](const Command& command, std::chrono::milliseconds limit,
                              std::chrono::milliseconds& elapsed) {
        ShellCommand = CommandText(command); // what the learner can see of it
        const auto start = std::chrono::steady_clock::now();
        const CommandResult result = run(command, limit);
        elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        return result;
    };
    std::chrono::milliseconds elapsed{0};
    // What the compiler left behind when it was ended is not its verdict.
    const auto stoppedOutcome = [] {
        CompileOutcome stopped;
        stopped.stopped = true;
        stopped.lines.push_back(Sjis(kCompileStoppedText));
        return stopped;
    };

    if (plan.step != ArchiveStep::None) {
        const auto classBefore = FileStamp(classFile);
        const CommandResult result =
            timed(CompileCommand(className, capture, plan.options), plan.limit, elapsed);
        const auto lines = ReadCaptureFile(capture);
        if (result.end == CommandEnd::ByItself && lines &&
            JavacsOwnVerdict(result.status, *lines)) {
            FinishCompilerArchive(plan, result.status, elapsed);
            outcome.lines = CompileMessages(lines, result.status);
            outcome.exitStatus = result.status;
            return outcome;
        }
        const bool refused = result.end == CommandEnd::ByItself &&
                             JvmRefusedOptions(result.status, lines.value_or(Cp932Lines{}),
                                               FileStamp(classFile) != classBefore);
        // Whatever went wrong, the archive is not trusted again until it is made anew; a refusal
        // is remembered only once the plain command shows that the JVM takes its own options.
        ForgetCompilerArchive(plan, false);
        if (result.end == CommandEnd::Closing) {
            return stoppedOutcome();
        }
        if (!ClearCaptureFile(capture)) {
            outcome.lines.push_back(Sjis(kCompileBrokenText));
            return outcome;
        }
        const CommandResult plain =
            timed(CompileCommand(className, capture), std::chrono::milliseconds{0}, elapsed);
        const auto plainLines = ReadCaptureFile(capture);
        if (plain.end != CommandEnd::ByItself) {
            return stoppedOutcome();
        }
        RecordPlainCompile(plan, elapsed);
        if (refused && !JvmRefusedOptions(plain.status, plainLines.value_or(Cp932Lines{}), false))
            ForgetCompilerArchive(plan, true);
        outcome.lines = CompileMessages(plainLines, plain.status);
        outcome.exitStatus = plain.status;
        return outcome;
    }

    const CommandResult result =
        timed(CompileCommand(className, capture), std::chrono::milliseconds{0}, elapsed);
    if (result.end != CommandEnd::ByItself) {
        return stoppedOutcome();
    }
    RecordPlainCompile(plan, elapsed);
    outcome.lines = CompileMessages(ReadCaptureFile(capture), result.status);
    outcome.exitStatus = result.status;
    return outcome;
}

CompileOutcome CompileSource(std::string_view className, const CommandRunner& run) {
    return CompileSource(className, [&run](const Command& command, std::chrono::milliseconds) {
        return CommandResult{run(command), CommandEnd::ByItself};
    });
}

} // namespace vellaro
