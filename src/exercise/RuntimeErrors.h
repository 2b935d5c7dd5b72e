#pragma once
// Reading the trace the JVM prints when the learner's program ends with an uncaught exception or
// error, and explaining it in plain Japanese: what happened, at which statement, what it means
// and how to fix it, with the values of the JVM's message put into the text.
//
// All texts are UTF-8. The explanations are the project's data (resources/messages/runtime.txt),
// compiled in.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exercise/CompileMessages.h"

namespace vellaro {

// One explanation of an exception or error.
struct RuntimeExplanation {
    std::string id;    // names the entry's section on the help page
    std::string title; // the exception as the trace names it (the help page's heading)
    // Patterns on the exception's full name ("java.lang.ArithmeticException") and on its message.
    // "*" stands for any text; "{name}" too, and the text it stands for can be put into the texts
    // below as "{name}"; "{name:pattern}" stands only for a text that the pattern matches. Any one
    // pattern of a list must match; no message pattern asks for nothing; "<none>" matches only
    // an exception without a message.
    std::vector<std::string> exceptions;
    std::vector<std::string> messages;
    std::string summary; // one sentence
    std::string meaning;
    std::string fix;
    std::string example; // for the help page: the wrong line, "→", the right line; may be empty
};

// Values every text may use besides the ones its message patterns capture: the exception's full
// name, its simple name and its whole message.
inline constexpr std::string_view kRuntimeBuiltInValues[] = {"type", "name", "message"};

using RuntimeExplanationData = EntryFileData<RuntimeExplanation>;
RuntimeExplanationData ParseRuntimeExplanations(std::string_view utf8);

std::string_view BuiltInRuntimeExplanationsText();
const std::vector<RuntimeExplanation>& BuiltInRuntimeExplanations();

// Whole-text match of a pattern as above; on a match, the values of its named parts.
std::optional<std::map<std::string, std::string>> MatchRuntimePattern(std::string_view pattern,
                                                                      std::string_view text);

// One "at ..." line of a trace.
struct StackFrame {
    std::string method;   // as printed: "java.base/java.lang.String.charAt", "Hello$1R.f"
    std::string file;     // "Hello.java"; empty for "Native Method" or "Unknown Source"
    std::size_t line = 0; // 0 when the frame names none
};

struct UncaughtException {
    std::string thread;  // "main"
    std::string type;    // "java.lang.ArithmeticException"
    std::string message; // empty when it has none
    std::vector<StackFrame> frames;
    std::size_t firstLine = 0; // the trace's lines among the output's lines
    std::size_t endLine = 0;   // one past its last line
};

// The last uncaught exception's trace in a program's output (its lines split at LF, CRs and
// leading blanks ignored), or nullopt. No input is refused.
std::optional<UncaughtException> ReadUncaughtException(std::string_view output);

// The simple name of a full class name: "java.lang.Integer" → "Integer".
std::string SimpleTypeName(std::string_view type);

// An uncaught exception explained for the learner.
struct RunFailure {
    UncaughtException exception;
    const RuntimeExplanation* entry = nullptr; // never null once explained
    std::string summary;                       // with the values put in
    std::string meaning;
    std::string fix;
    // The first frame in the learner's source file, whatever frames of the JDK stand above it:
    // its line in the listing (0: no frame in that file), the statement (0: a line of the
    // wrapper, or beyond the source) and the statement's text.
    std::string sourceFile; // <className>.java
    std::size_t listingLine = 0;
    std::size_t statement = 0;
    std::string statementText;
};

// Explains the last uncaught exception in a run's output. className as the window holds it;
// sourceLines the lines of <className>.java that the class was compiled from (UTF-8), empty when
// they could not be read. nullopt when the output holds no trace.
std::optional<RunFailure>
ExplainRunOutput(std::string_view output, std::string_view className,
                 const std::vector<std::string>& sourceLines,
                 const std::vector<RuntimeExplanation>& entries = BuiltInRuntimeExplanations());

// The explanation's lines as the console shows them below the trace: "実行時エラー: " and the
// summary; where it happened; what it means; how to fix it.
std::vector<std::string> RunFailureLines(const RunFailure& failure);

// The "where" line alone: "3 行目の文（リストの 8 行目）: int x = a[3];".
std::string RunFailureWhere(const RunFailure& failure);

inline constexpr std::string_view kRunFailureHead = "実行時エラー: ";

// The failure as the compile page's message pane shows it after the console has closed: its
// lines (those of the console, with the exception's own line after the "where" line) and one
// message over all of them that leads to the listing line and has the summary and the whole
// text as its explanation.
std::vector<std::string> RunFailurePaneLines(const RunFailure& failure);
CompileReport RunFailureReport(const RunFailure& failure);

} // namespace vellaro
