#pragma once
// The step window's side of the stepping helper's channel (src/exercise/stepper): the helper
// reports each stop of the learner's main as one JSON object per line, and takes one command per
// line. Texts are UTF-8. The learner's statement k is source line k + 5.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellaro {

// A local variable of main in scope at a stop, as the helper formatted it for a beginner.
struct StepVariable {
    std::string name;
    std::string type;
    std::string value;
    bool operator==(const StepVariable&) const = default;
};

enum class StepEventKind {
    Stop,       // about to run statement `statement`
    Exception,  // an uncaught exception at statement `statement` (0 when outside main)
    End,        // the program has ended with `status`
    NoDebugger, // the JDK has no jdk.jdi module
    Error,      // the helper could not go on: `text`
};

struct StepEvent {
    StepEventKind kind = StepEventKind::Error;
    int statement = 0; // 1-based statement number
    std::vector<StepVariable> variables;
    std::string exceptionClass;
    std::optional<std::string> exceptionMessage;
    int status = -1;
    std::string text;
};

// One line of the helper's channel, without its line end; nullopt for a line that is not one of
// its objects (a damaged or unknown line is skipped, never guessed at).
std::optional<StepEvent> ParseStepEvent(std::string_view line);

// The first source line of the statements.
inline constexpr int kFirstStatementLine = 6;

// The commands, each with its line end: on to the next statement; on to the next of these
// statements (1-based), or to the end when there is none.
std::string StepNextCommand();
std::string StepRunCommand(const std::vector<int>& stopStatements);

// For each variable of `now`, whether it is new or its value differs from the stop before.
std::vector<bool> ChangedVariables(const std::vector<StepVariable>& before,
                                   const std::vector<StepVariable>& now);

// The helper's command line: the JDK's launcher runs the helper's classes from `helperFolder`
// for the class in the current folder, with `statements` statements, talking on `socket`.
std::vector<std::string> StepperCommand(const std::filesystem::path& helperFolder,
                                        const std::filesystem::path& socket,
                                        std::string_view className, std::size_t statements);

// The folder of the helper's classes beside the program.
inline constexpr std::string_view kStepperFolderName = "stepper";

// What the window says about an uncaught exception at a stop: with the class name and the
// learner's statements (UTF-8), the run-time explanation a run's console gives (summary, where,
// meaning, fix); without them, or for data that has no entry, the exception named in a sentence.
std::string ExplainStepException(std::string_view exceptionClass,
                                 const std::optional<std::string>& message, int statement,
                                 std::string_view className = {},
                                 const std::vector<std::string>& statements = {});

// The learner-facing texts of stepping.
inline constexpr std::string_view kStepWindowTitle = "ステップ実行";
inline constexpr std::string_view kNoDebuggerText =
    "この Java にはデバッガ（jdk.jdi モジュール）がないため、ステップ実行できません。"
    "JDK（default-jdk-headless など）をインストールして下さい。";
inline constexpr std::string_view kStepperMissingText =
    "ステップ実行の補助プログラムが見つかりません。Vellaro をインストールし直して下さい。";
inline constexpr std::string_view kStepEndedText = "プログラムが終了しました（終了コード %1）";
inline constexpr std::string_view kStepStoppedText = "中止しました";
inline constexpr std::string_view kStepRunningText = "実行中…";
inline constexpr std::string_view kStepErrorText = "ステップ実行を続けられません: ";

} // namespace vellaro
