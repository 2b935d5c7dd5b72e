#include "exercise/JavaSyntax.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

namespace vellaro {

namespace {

constexpr std::u16string_view kKeywords[] = {
    u"abstract",   u"assert",    u"break",      u"case",         u"catch",  u"class",
    u"const",      u"continue",  u"default",    u"do",           u"else",   u"enum",
    u"extends",    u"final",     u"finally",    u"for",          u"goto",   u"if",
    u"implements", u"import",    u"instanceof", u"interface",    u"native", u"new",
    u"package",    u"private",   u"protected",  u"public",       u"return", u"static",
    u"strictfp",   u"super",     u"switch",     u"synchronized", u"this",   u"throw",
    u"throws",     u"transient", u"try",        u"volatile",     u"while",  u"true",
    u"false",      u"null",      u"var",        u"record",       u"yield",  u"sealed",
    u"permits",
};

constexpr std::u16string_view kPrimitiveTypes[] = {
    u"boolean", u"byte", u"char", u"short", u"int", u"long", u"float", u"double", u"void",
};

bool IsAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// Letters of other scripts (Japanese names included) are Java letters; the full-width symbols
// and the curly quotes are not, so they stand out on their own.
bool IsIdentifierPart(char16_t c) {
    if (IsAsciiLetter(c) || IsDigit(c) || c == u'_' || c == u'$')
        return true;
    return c >= 0x80 && !HalfWidthOf(c);
}

bool IsBracket(char16_t c) {
    return c == u'(' || c == u')' || c == u'[' || c == u']' || c == u'{' || c == u'}';
}

bool IsOpening(char16_t c) {
    return c == u'(' || c == u'[' || c == u'{';
}

char16_t PartnerOf(char16_t c) {
    switch (c) {
    case u'(':
        return u')';
    case u')':
        return u'(';
    case u'[':
        return u']';
    case u']':
        return u'[';
    case u'{':
        return u'}';
    default:
        return u'{';
    }
}

template <std::size_t N>
bool OneOf(const std::u16string_view (&words)[N], std::u16string_view word) {
    return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

// A literal in quotes from `at` (the opening quote): up to the closing quote that no backslash
// escapes, or to the end of the line.
std::size_t QuotedEnd(std::u16string_view line, std::size_t at, char16_t quote) {
    std::size_t i = at + 1;
    while (i < line.size()) {
        if (line[i] == u'\\') {
            i += 2;
            continue;
        }
        if (line[i++] == quote)
            return i;
    }
    return line.size();
}

std::size_t NumberEnd(std::u16string_view line, std::size_t i) {
    while (i < line.size()) {
        const char16_t c = line[i];
        if (IsDigit(c) || IsAsciiLetter(c) || c == u'_' || c == u'.') {
            // An exponent takes its sign with it: 1e-3, 0x1p+2.
            const bool exponent = c == u'e' || c == u'E' || c == u'p' || c == u'P';
            ++i;
            if (exponent && i < line.size() && (line[i] == u'+' || line[i] == u'-'))
                ++i;
            continue;
        }
        break;
    }
    return i;
}

void AppendUtf8(std::string& out, char16_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

double Channel(int v) {
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(Rgb c) {
    return 0.2126 * Channel(c.r) + 0.7152 * Channel(c.g) + 0.0722 * Channel(c.b);
}

// The colours on a white page; TokenColour moves them as far as a background needs.
constexpr std::array<Rgb, kTokenKindCount> kBaseColours = {{
    {0, 0, 160},   // Keyword: deep blue
    {0, 110, 120}, // Type: teal
    {163, 21, 21}, // String: dark red
    {163, 21, 21}, // Char
    {46, 125, 50}, // Comment: green
    {150, 75, 0},  // Number: brown
    {128, 0, 170}, // Shorthand: purple
}};

} // namespace

LineSyntax ReadJavaLine(std::u16string_view line, LineState start, bool shorthand) {
    LineSyntax out;
    std::size_t i = 0;
    const std::size_t n = line.size();
    if (start == LineState::BlockComment) {
        const std::size_t close = line.find(u"*/");
        i = close == std::u16string_view::npos ? n : close + 2;
        out.tokens.push_back({0, i, TokenKind::Comment});
        if (close == std::u16string_view::npos)
            out.end = LineState::BlockComment;
    }
    while (i < n) {
        const char16_t c = line[i];
        if (c == u'/' && i + 1 < n && line[i + 1] == u'/') {
            out.tokens.push_back({i, n - i, TokenKind::Comment});
            break;
        }
        if (c == u'/' && i + 1 < n && line[i + 1] == u'*') {
            const std::size_t close = line.find(u"*/", i + 2);
            const std::size_t end = close == std::u16string_view::npos ? n : close + 2;
            out.tokens.push_back({i, end - i, TokenKind::Comment});
            if (close == std::u16string_view::npos)
                out.end = LineState::BlockComment;
            i = end;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            const std::size_t end = QuotedEnd(line, i, c);
            out.tokens.push_back({i, end - i, c == u'"' ? TokenKind::String : TokenKind::Char});
            i = end;
            continue;
        }
        if (IsDigit(c) || (c == u'.' && i + 1 < n && IsDigit(line[i + 1]))) {
            const std::size_t end = NumberEnd(line, i);
            out.tokens.push_back({i, end - i, TokenKind::Number});
            i = end;
            continue;
        }
        if (IsIdentifierPart(c)) {
            std::size_t end = i;
            while (end < n && IsIdentifierPart(line[end]))
                ++end;
            const std::u16string_view word = line.substr(i, end - i);
            if (OneOf(kKeywords, word))
                out.tokens.push_back({i, end - i, TokenKind::Keyword});
            else if (OneOf(kPrimitiveTypes, word) ||
                     (word[0] >= u'A' && word[0] <= u'Z' &&
                      std::any_of(word.begin(), word.end(),
                                  [](char16_t w) { return w >= u'a' && w <= u'z'; })))
                out.tokens.push_back({i, end - i, TokenKind::Type});
            i = end;
            continue;
        }
        if (IsBracket(c))
            out.brackets.push_back({i, c});
        else if (const auto half = HalfWidthOf(c))
            out.fullWidth.push_back({i, c, *half});
        ++i;
    }
    if (shorthand)
        if (const auto at = ShorthandColumn(line))
            out.tokens.push_back({*at, 2, TokenKind::Shorthand});
    return out;
}

std::size_t ListingTextStart(std::u16string_view listingLine) {
    const std::size_t at = listingLine.find(u" :  ");
    return at == std::u16string_view::npos ? 0 : at + 4;
}

std::optional<std::size_t> ShorthandColumn(std::u16string_view statement) {
    const std::size_t at = statement.find(u"?(");
    if (at == std::u16string_view::npos)
        return std::nullopt;
    return at;
}

std::size_t StatementColumn(std::u16string_view statement, std::size_t sourceColumn) {
    if (sourceColumn < 2)
        return 0;
    std::size_t column = sourceColumn - 2;
    if (const auto at = ShorthandColumn(statement); at && column >= *at) {
        if (column < *at + kShorthandExpansion.size())
            return *at;
        column -= kShorthandExpansion.size() - 2;
    }
    return column;
}

std::optional<BracketAt>
PartnerBracket(BracketAt from, std::size_t lineCount,
               const std::function<const std::vector<Bracket>&(std::size_t)>& bracketsOf) {
    if (from.line >= lineCount)
        return std::nullopt;
    const std::vector<Bracket>& first = bracketsOf(from.line);
    if (from.index >= first.size())
        return std::nullopt;
    const char16_t ch = first[from.index].ch;
    const bool forward = IsOpening(ch);
    // Brackets opened (forward) or closed (backward) on the way and not yet ended.
    std::size_t depth = 0;
    std::size_t line = from.line;
    std::size_t index = from.index;
    for (;;) {
        const std::vector<Bracket>* brackets = &bracketsOf(line);
        // Step to the next bracket in the walking direction, across lines.
        if (forward) {
            ++index;
            while (index >= brackets->size()) {
                if (++line >= lineCount)
                    return std::nullopt;
                brackets = &bracketsOf(line);
                index = 0;
            }
        } else {
            while (index == 0) {
                if (line == 0)
                    return std::nullopt;
                brackets = &bracketsOf(--line);
                index = brackets->size();
            }
            --index;
        }
        const char16_t here = (*brackets)[index].ch;
        // Only brackets of its own kind count: a "(" left open inside braces must not take
        // the braces' partners away from them.
        if (here != ch && here != PartnerOf(ch))
            continue;
        if (here == ch) {
            ++depth;
            continue;
        }
        if (depth > 0) {
            --depth;
            continue;
        }
        return BracketAt{line, index};
    }
}

std::u16string IndentAfterBreak(std::u16string_view beforeCaret, LineState start) {
    std::size_t blanks = 0;
    while (blanks < beforeCaret.size() && IsBlank(beforeCaret[blanks]))
        ++blanks;
    std::u16string indent(beforeCaret.substr(0, blanks));
    const LineSyntax syntax = ReadJavaLine(beforeCaret, start, false);
    std::size_t last = beforeCaret.size();
    while (last > 0 && IsBlank(beforeCaret[last - 1]))
        --last;
    if (last > 0 && beforeCaret[last - 1] == u'{' && !syntax.brackets.empty() &&
        syntax.brackets.back().column == last - 1)
        indent += u'\t';
    return indent;
}

std::size_t DedentForClosingBrace(std::u16string_view beforeCaret) {
    if (beforeCaret.empty() || !std::all_of(beforeCaret.begin(), beforeCaret.end(), IsBlank))
        return 0;
    if (beforeCaret.back() == u'\t')
        return 1;
    std::size_t blanks = 0;
    while (blanks < 4 && blanks < beforeCaret.size() &&
           beforeCaret[beforeCaret.size() - 1 - blanks] == u' ')
        ++blanks;
    return blanks;
}

std::optional<char16_t> HalfWidthOf(char16_t c) {
    if (c == 0x3000)
        return u' ';
    if (c >= 0xFF01 && c <= 0xFF5E)
        return static_cast<char16_t>(c - 0xFEE0);
    if (c == 0x201C || c == 0x201D)
        return u'"';
    if (c == 0x2018 || c == 0x2019)
        return u'\'';
    return std::nullopt;
}

std::string FullWidthTip(char16_t fullWidth) {
    std::string tip = "全角の「";
    AppendUtf8(tip, fullWidth);
    tip += "」です。Java の記号は半角で書きます。";
    const auto half = HalfWidthOf(fullWidth);
    if (!half)
        return tip;
    if (*half == u' ') {
        tip += "\n半角では空白です。";
    } else {
        tip += "\n半角では「";
        AppendUtf8(tip, *half);
        tip += "」です。";
    }
    return tip;
}

std::string FullWidthCountText(std::size_t count) {
    return "全角の記号が " + std::to_string(count) + " 個あります";
}

std::vector<std::u16string> WithHalfWidthSymbols(const std::vector<std::u16string>& lines) {
    std::vector<std::u16string> out;
    out.reserve(lines.size());
    LineState state = LineState::Code;
    for (const std::u16string& line : lines) {
        const LineSyntax syntax = ReadJavaLine(line, state, false);
        std::u16string fixed = line;
        for (const FullWidthChar& f : syntax.fullWidth)
            fixed[f.column] = f.half;
        out.push_back(std::move(fixed));
        state = syntax.end;
    }
    return out;
}

double ContrastRatio(Rgb a, Rgb b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb TokenColour(TokenKind kind, Rgb background, double ratio) {
    const Rgb base = kBaseColours[static_cast<std::size_t>(kind)];
    // Towards black on a light background, towards white on a dark one, in small steps, so that
    // the colour stays recognisable as far as the background allows.
    const bool light = Luminance(background) > 0.18;
    const Rgb target = light ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
    const auto mix = [](int a, int b, double t) {
        return static_cast<int>(std::lround(a + (b - a) * t));
    };
    // On a dark background the deep base colours would start far too dark: start from their
    // light counterparts.
    const Rgb start =
        light ? base : Rgb{mix(base.r, 255, 0.6), mix(base.g, 255, 0.6), mix(base.b, 255, 0.6)};
    for (int step = 0; step <= 20; ++step) {
        const double t = step / 20.0;
        const Rgb c{mix(start.r, target.r, t), mix(start.g, target.g, t),
                    mix(start.b, target.b, t)};
        if (ContrastRatio(c, background) >= ratio)
            return c;
    }
    return target;
}

} // namespace vellaro
