#pragma once
// Compiling the exercise's Java source and running its class: the command lines handed to the
// command interpreter, the capture file of the compiler's error output and how it is read.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Cp932Text.h"

namespace vellaro {

namespace fs = std::filesystem;

// The command interpreter that runs both commands.
inline constexpr std::string_view kShellProgram = "/bin/sh";

// A command as it reaches exec: the program first, then its arguments, each word exactly as the
// program gets it. It is built once and never parsed back.
struct Command {
    std::vector<std::string> argv;
    // The class a run of the learner's class runs (RunClassCommand); empty for any other command.
    std::string runClass;
};

// The command interpreter, told to run a script.
Command ShellScript(std::string script);

// A command as the learner sees it: its words, a blank between two; a word that is empty or
// holds a blank, a tab, a double quote or a backslash stands in double quotes, inside which " and
// \ get a backslash.
std::string CommandText(const Command& command);

// Fixed texts of the message pane (UTF-8).
inline constexpr std::string_view kCompileBrokenText = "コンパイルが正しく動作していません。";
inline constexpr std::string_view kCompileCleanText =
    "コンパイルが終了しました　（エラーは有りません）";
inline constexpr std::string_view kCompilerMissingText =
    "javac が見つかりません。JDK をインストールして下さい。";
// The pane's line after the learner ended a compile that was still running.
inline constexpr std::string_view kCompileStoppedText = "コンパイルを中止しました。";
// The status bar's text while a compile runs.
inline constexpr std::string_view kCompileRunningText = "コンパイル中です（Esc で中止できます）";

// The exit status with which the shell reports a command it could not find.
inline constexpr int kShellCommandNotFound = 127;

// The capture file: the temporary folder followed by "Cmp.txt". Empty when there is no
// temporary folder.
fs::path CapturePath();

// A word as the shell must see it: unchanged when it holds only characters the shell takes
// literally, otherwise in single quotes.
std::string ShellQuote(std::string_view word);

// /bin/sh, -c, "javac -J-Duser.language=ja -J-Dfile.encoding=MS932 -encoding MS932 -g
// <Class>.java 2>  <capture>": the compiler reads the CP932 source and writes its messages in
// Japanese and CP932, whatever the desktop's locale, and keeps the names of local variables in
// the class. jvmOptions (the compiler archive's, see CompilerArchive.h) go first, each one word
// to javac. The script's words are quoted for the shell (ShellQuote; an option's value alone).
Command CompileCommand(std::string_view className, const fs::path& capture,
                       const std::vector<std::string>& jvmOptions = {});

// /bin/sh, -c, "java -Duser.language=ja -Dfile.encoding=UTF-8 -Dstdout.encoding=UTF-8
// -Dstderr.encoding=UTF-8 <Class>; printf '\033]7734;run-end;%d\007' $?; exec /bin/sh -i"
// The printf writes an operating system command that a terminal ignores and the run console
// reads as the end of the class, with its exit status (RunEndStatus).
// The launcher's own messages are Japanese and the class's output is UTF-8 whatever the locale
// (JDK 18 and later take the console's encoding from stdout.encoding; JDK 17 ignores it).
// Afterwards the learner is left at a prompt.
Command RunClassCommand(std::string_view className);
// What a run keeps in ShellCommand: the text of RunClassCommand's arguments, a blank first and
// last.
std::string RunShellCommand(std::string_view className);

// What follows ESC "]" in the operating system command that ends the class's run.
inline constexpr std::string_view kRunEndMark = "7734;run-end;";
// The exit status in such a command's text (between ESC "]" and BEL), or nullopt for any other.
std::optional<int> RunEndStatus(std::string_view osc);

// The run console's first line when no `java` is on the search path (UTF-8).
inline constexpr std::string_view kLauncherMissingText =
    "java が見つかりません。JDK をインストールして下さい。";
// The program a run starts, looked for on the search path.
inline constexpr std::string_view kLauncherProgram = "java";
// The console's caption: "実行中: " and the class a run command runs, or for any other command
// its text.
std::string ConsoleCaption(const Command& command);

// The lines of a capture file's bytes: CR LF, a lone CR and a lone LF each end a line; a final
// line break does not start another line.
Cp932Lines SplitCaptureLines(std::string_view captureBytes);

// Removes what an earlier compile (or anyone else) left at the capture path, so that the
// shell's redirection creates a fresh file and never follows a planted link. False when
// something is still in the way.
bool ClearCaptureFile(const fs::path& capture);

// The capture file's lines; nullopt when it is not a regular file or cannot be read.
std::optional<Cp932Lines> ReadCaptureFile(const fs::path& capture);

// Starts a command and waits for its end; answers its exit status, or -1 when it could not be
// started or did not end normally.
using CommandRunner = std::function<int(const Command& command)>;

// How a command of a compile ended, as the window's wait saw it.
enum class CommandEnd {
    ByItself, // it ended on its own (or could not be started)
    Stopped,  // the learner pressed Esc
    Closing,  // the window is closing
    Overran,  // it ran past the limit it was given
};
struct CommandResult {
    int status = -1; // as CommandRunner answers
    CommandEnd end = CommandEnd::ByItself;
};
// Starts a command and waits for its end, or for the limit (0: none), after which it ends the
// command and answers Overran.
using CompileRunner =
    std::function<CommandResult(const Command& command, std::chrono::milliseconds limit)>;

struct CompileOutcome {
    bool classNameMissing = false; // the warning box is due; nothing was started
    bool stopped = false;          // the learner or the closing window ended the compile
    Cp932Lines lines;              // the message pane's lines
    int exitStatus = -1;           // the compiler's; 0 when it made the class
};

// Compiles <className>.java in the current folder, leaving the command's text in ShellCommand,
// and answers the message pane's lines. The compiler starts from its class-data archive in the
// learner's cache folder when it can (CompilerArchive.h). A compile with the archive that gives
// anything but javac's own verdict (a JVM message, a crash, a refusal, a run past the watchdog's
// limit, Esc) drops the archive and compiles again at once with the plain command, which
// ShellCommand then holds and whose result alone is shown; a closing window only drops it.
// Without mayMakeArchive the compile never makes the archive (it is being made elsewhere).
CompileOutcome CompileSource(std::string_view className, const CompileRunner& run,
                             bool mayMakeArchive = true);
// The same with a runner that knows no limit and no stop.
CompileOutcome CompileSource(std::string_view className, const CommandRunner& run);

// The compiler lists every constructor or method that did not fit a call, each with its reason;
// the pane shows the first kCandidatesShown of a list and one line that counts the others.
inline constexpr std::size_t kCandidatesShown = 2;
Cp932Lines FoldCandidateLists(const Cp932Lines& lines);

// The pane's lines for a capture file read (or not) after a compile that ended with exitStatus,
// candidate lists folded.
Cp932Lines CompileMessages(const std::optional<Cp932Lines>& captureLines, int exitStatus);

} // namespace vellaro
