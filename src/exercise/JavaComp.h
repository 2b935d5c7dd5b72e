#pragma once
// Java source generation: the learner's statements wrapped into a class with a main method,
// and the numbered listing of that source.
//
// Texts are the editor's UTF-8; a Java file takes the lines in CP932 (SjisLines, or the
// window's encoding of them). The rules look only at the ASCII bytes "?", "(", CR and LF, which
// no multi-byte UTF-8 character holds (those use bytes above 0x7F only). Nor can they be the
// second byte of a CP932 double-byte character (those lie at 0x40 and above), so the rules would
// give CP932 bytes the same lines back as well.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vellaro {

using TextLines = std::vector<std::string>;

// The editor's text split at its line breaks (CR LF, LF or a lone CR). A line break at the
// very end starts no further line; the empty text has no lines; a text that is one line break
// is one empty line. Lines have no length limit.
TextLines SplitStatementLines(std::string_view text);

// The print shorthand: the first "?(" of the line becomes "System.out.println (". Any later
// "?(" stays as it is. Java syntax is not looked at.
std::string ExpandPrintShorthand(std::string_view line);

// The whole Java source for a class name and its statement lines: two imports, an empty line,
// the class line, the main line, the statements (two tabs + shorthand applied), and the two
// closing braces. The class name is inserted as it is, even when empty.
TextLines MakeJavaSource(std::string_view className, const TextLines& statements);

// How many lines of the source stand before the first statement and after the last.
inline constexpr std::size_t kSourceLinesBeforeStatements = 5;
inline constexpr std::size_t kSourceLinesAfterStatements = 2;

// The statement line (counted from 1) that made line `sourceLine` (counted from 1) of a source
// generated from `statementCount` statements; 0 for the lines of the wrapper and for lines
// beyond the source.
std::size_t StatementOfSourceLine(std::size_t sourceLine, std::size_t statementCount);

// One listing line: the number right-aligned in three columns (wider numbers are not cut),
// " :  ", then the source line unchanged.
std::string ListingLine(std::size_t number, std::string_view line);

// The numbered listing of a source, numbered from 1.
TextLines MakeSourceListing(const TextLines& source);

// The lines joined with LF between them (no line break after the last), as a text view shows
// them.
std::string JoinLines(const TextLines& lines);

} // namespace vellaro
