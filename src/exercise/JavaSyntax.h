#pragma once
// What the exercise editor and the listing show about the Java they hold: the kinds of its
// words (for colours), its brackets and their partners, the indentation a new line takes, and
// the full-width symbols that an input method left switched on slips into the code.
//
// Everything here is presentation: nothing changes the text except the one command that turns
// the marked full-width symbols into their half-width forms. Lines come in as UTF-16 (as the
// editor holds them), and every column is a UTF-16 index into its line, so that the window can
// hand the answers straight to its text blocks. A line is read on its own, with only what an
// earlier line leaves open carried in: a block comment.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellaro {

enum class TokenKind : std::uint8_t {
    Keyword,   // class, if, return, true, null ...
    Type,      // int, double, void ..., and names that start with a capital (String, Scanner)
    String,    // "..." up to its closing quote or the end of the line
    Char,      // '...'
    Comment,   // // to the end of the line, /* ... */ over as many lines as it takes
    Number,    // 12, 0x1F, 3.5e-2, 10L
    Shorthand, // the "?(" that becomes "System.out.println (" in the source
};
inline constexpr std::size_t kTokenKindCount = 7;

struct Token {
    std::size_t start = 0;
    std::size_t length = 0;
    TokenKind kind = TokenKind::Keyword;
    bool operator==(const Token&) const = default;
};

// A bracket of the code (not one inside a literal or a comment): ( ) [ ] { }.
struct Bracket {
    std::size_t column = 0;
    char16_t ch = u'(';
    bool operator==(const Bracket&) const = default;
};

// A character of the code that javac refuses there, with the half-width one that was meant.
struct FullWidthChar {
    std::size_t column = 0;
    char16_t ch = 0;
    char16_t half = 0;
    bool operator==(const FullWidthChar&) const = default;
};

// What a line leaves open for the next one.
enum class LineState : int { Code = 0, BlockComment = 1 };

struct LineSyntax {
    std::vector<Token> tokens; // in line order; a Shorthand token may lie over another one
    std::vector<Bracket> brackets;
    std::vector<FullWidthChar> fullWidth;
    LineState end = LineState::Code;
};

// Reads one line. With `shorthand`, the first "?(" of the line is a Shorthand token wherever it
// stands: the source generation expands it inside a literal or a comment too, and the colour
// tells the learner so. The listing, whose text is already expanded, reads without it.
LineSyntax ReadJavaLine(std::u16string_view line, LineState start, bool shorthand = true);

// Where the source line starts in a line of the listing ("%3d :  " + source line): after the
// first " :  "; 0 for a line without one.
std::size_t ListingTextStart(std::u16string_view listingLine);

// The column of the first "?(" of a statement line, if any.
std::optional<std::size_t> ShorthandColumn(std::u16string_view statement);
// The text the shorthand stands for, and its length in UTF-16 units.
inline constexpr std::u16string_view kShorthandExpansion = u"System.out.println (";

// The column of a statement line that column `sourceColumn` of its source line means. The source
// line is two tabs and the statement with its shorthand expanded; a column inside the expansion
// means the shorthand itself, one inside the two tabs the statement's start.
std::size_t StatementColumn(std::u16string_view statement, std::size_t sourceColumn);

// ---- brackets --------------------------------------------------------------------------------

struct BracketAt {
    std::size_t line = 0;
    std::size_t index = 0; // into the line's brackets
    bool operator==(const BracketAt&) const = default;
};

// The partner of a bracket: for an opening one the closing one of its kind that ends what it
// opens, for a closing one the opening one it ends; brackets of other kinds do not count.
// nullopt when there is none: the bracket is unmatched.
// `bracketsOf` gives the brackets of a line (lines 0 to lineCount - 1).
std::optional<BracketAt>
PartnerBracket(BracketAt from, std::size_t lineCount,
               const std::function<const std::vector<Bracket>&(std::size_t)>& bracketsOf);

// ---- indentation -----------------------------------------------------------------------------

// What Enter inserts after the line break, for the text of the line before the caret (read from
// `start`): the blanks and tabs it starts with, and one tab more when it ends (blanks aside)
// with a "{" of the code.
std::u16string IndentAfterBreak(std::u16string_view beforeCaret, LineState start);

// How many characters before the caret a "}" typed there takes off: one level (a tab, or up to
// four blanks) when only blanks and tabs stand before it in its line, otherwise none.
std::size_t DedentForClosingBrace(std::u16string_view beforeCaret);

// ---- full-width symbols ----------------------------------------------------------------------

// The half-width character a full-width one stands for: U+3000 a blank, U+FF01 to U+FF5E the
// ASCII character 0xFEE0 below, the curly quotes the straight ones. nullopt for others.
std::optional<char16_t> HalfWidthOf(char16_t c);

// The tooltip of a marked character (UTF-8): "全角の「；」です。Java の記号は半角で書きます。" and
// the half-width character meant on a second line.
std::string FullWidthTip(char16_t fullWidth);

// The status text while the editor holds marked characters (UTF-8).
std::string FullWidthCountText(std::size_t count);

// The command that replaces them (UTF-8).
inline constexpr const char* kFullWidthCommand = "全角記号を半角に直す";

// The lines with every marked character replaced by its half-width form. Lines are read in
// order, so a block comment open at the end of one line goes on into the next.
std::vector<std::u16string> WithHalfWidthSymbols(const std::vector<std::u16string>& lines);

// ---- colours ---------------------------------------------------------------------------------

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// The contrast ratio of two colours (1 to 21), as the accessibility guidelines define it.
double ContrastRatio(Rgb a, Rgb b);

// The colour of a kind of token, made darker (on a light background) or lighter (on a dark
// one) until it keeps at least `ratio` to the background.
Rgb TokenColour(TokenKind kind, Rgb background, double ratio = 4.5);

} // namespace vellaro
