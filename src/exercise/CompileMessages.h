#pragma once
// Reading the compiler's messages for a learner: which lines of the message pane start a
// message, which of those name a line of the exercise's source, how many errors the compiler
// counted, and a plain-Japanese explanation of each message.
//
// The pane's lines come in as the compile left them, in CP932. What comes out for the window
// (file names, message texts, explanations, the status text) is UTF-8.
// The explanations are the project's data (resources/messages/explanations.txt), compiled in.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Cp932Text.h"
#include "exercise/EntryFile.h"

namespace vellaro {

// One explanation of a compiler message. The texts are UTF-8.
struct Explanation {
    std::string id;    // names the entry's section on the help page
    std::string title; // the message as the compiler writes it
    // Patterns ("*" stands for any text) on the message text, on what follows "シンボル:" and
    // on what follows "場所:" below it. Any one pattern of a list must match; an empty list
    // asks for nothing.
    std::vector<std::string> messages;
    std::vector<std::string> symbols;
    std::vector<std::string> locations;
    // Patterns on the source line the compiler printed below the message (the first line below
    // it) and on any line below it ("2番目の型: char").
    std::vector<std::string> sources;
    std::vector<std::string> details;
    // "last-statement": the message leads to the last statement, not to the line it names (the
    // end of the file, where a missing "}" is noticed). "stray-brace": to the statement where
    // more "}" than "{" have come, when it stands above the named line (a "}" that closed main
    // early). Empty: to the line it names.
    std::string leads;
    // "errors": only for a compile that found errors (and so made no class file); "no-errors":
    // only for one that did not; empty: for any.
    std::string when;
    std::string summary; // one sentence, for the status bar
    std::string meaning;
    std::string cause;
    std::string fix;
    std::string example; // one line: the wrong line, "→", the right line
    // When not empty, the whole text that FullExplanation gives instead of the four fields (a
    // failed run's explanation, which has fields of its own).
    std::string whole;
};

// The whole explanation as one text of four lines (meaning, usual cause, fix, example), each
// with its heading, for a tooltip or an accessible description.
std::string FullExplanation(const Explanation& explanation);

// The result of reading explanation data: the entries in order, or the first fault found with
// its line (counted from 1) and no entries.
using ExplanationData = EntryFileData<Explanation>;
ExplanationData ParseExplanations(std::string_view utf8);

// The data compiled into the program, and its entries (none if the data could not be read,
// which the build already refuses).
std::string_view BuiltInExplanationsText();
const std::vector<Explanation>& BuiltInExplanations();

// The first entry that matches a message text and the lines printed below it (all UTF-8; the
// first of them is the source line when the message names one), or nullptr. Blanks are compared as
// in the data: runs count as one, ends do not count. An entry that asks whether the compile found
// errors matches only when that is known and fits.
const Explanation* FindExplanation(const std::vector<Explanation>& entries,
                                   std::string_view messageText,
                                   const std::vector<std::string>& linesBelow,
                                   std::optional<bool> compileHasErrors = std::nullopt);

enum class MessageKind { Error, Warning };

// One message of the compiler: its first line in the pane ("Hello.java:7: エラー: ...", or
// "エラー: ..." for a message about no line) and the lines that belong to it.
struct CompilerMessage {
    std::size_t paneLine = 0; // index of the message's first line among the pane's lines
    std::size_t endLine = 0;  // one past its last line (source line, "^" marker, details)
    MessageKind kind = MessageKind::Error;
    std::string file;     // the file the compiler names, as it names it; empty for none
    std::size_t line = 0; // the line it names, counted from 1; 0 for none
    // The source line it leads to (its statement): the line it names, unless its explanation
    // leads elsewhere.
    std::size_t targetLine = 0;
    bool inSource = false; // it names a line of <class>.java, the source the listing shows
    std::string text;      // what follows "エラー:" or "警告:"
    const Explanation* explanation = nullptr; // from the built-in data; nullptr for none
};

struct CompileReport {
    std::vector<CompilerMessage> messages; // in pane order
    std::optional<std::size_t> errorCount; // as the compiler counted them at the end
    // An explanation that no data holds, which a message points to (a failed run's).
    std::shared_ptr<const Explanation> ownExplanation;
};

// Reads the pane's lines after a compile of <className>.java (className as the window holds
// it, UTF-8). Lines that are not the compiler's messages give nothing; no input is refused.
CompileReport ReadCompileMessages(const Cp932Lines& paneLines, std::string_view className);

// The message whose first line is pane line `paneLine`, or nullptr.
const CompilerMessage* MessageStartingAt(const CompileReport& report, std::size_t paneLine);

// The message that pane line `paneLine` belongs to (its first line or one below it), or nullptr.
const CompilerMessage* MessageOfLine(const CompileReport& report, std::size_t paneLine);

// For stepping through the messages that name a line of the source: the first line of the next
// such message after pane line `paneLine` (forward) or of the previous one before it; from no
// line, the first or the last one. nullopt when there is none that way.
std::optional<std::size_t> NextSourceMessageLine(const CompileReport& report,
                                                 std::optional<std::size_t> paneLine, bool forward);

// For a line of the compiler's that marks a column of the source line above it with "^" (blanks
// and tabs, then the "^"): the number of characters before the "^". nullopt for other lines.
std::optional<std::size_t> CaretColumn(std::string_view line);

// The statement (counted from 1) that a message leads to, given the learner's statements (UTF-8):
// the statement of its target line, or the one its explanation leads to; 0 for none (a line of
// the wrapper).
std::size_t MessageStatement(const CompilerMessage& message,
                             const std::vector<std::string>& statements);

// The first statement (counted from 1) after which more "}" than "{" have come, braces in string
// and character literals and in // comments not counted; 0 when there is none.
std::size_t StatementWithStrayBrace(const std::vector<std::string>& statements);

// The status bar's text for a count of errors: "エラー N 個".
std::string ErrorCountText(std::size_t count);

} // namespace vellaro
