#include "exercise/CompileMessages.h"

#include <algorithm>
#include <charconv>

#include "common/Cp932.h"
#include "exercise/Compile.h"
#include "exercise/DataText.h"
#include "exercise/EntryFile.h"
#include "exercise/JavaComp.h"

namespace vellaro {

namespace detail {
// The data file's bytes, embedded at build time.
extern const unsigned char kExplanationsBytes[];
extern const std::size_t kExplanationsSize;
} // namespace detail

namespace {

using text::EndsWith;
using text::IsBlank;
using text::SkipBlanks;
using text::StartsWith;
using text::Trim;

// Runs of blanks become one blank, and blanks at either end go: the compiler pads its detail
// lines, and the data's authors need not count blanks.
std::string NormalizeBlanks(std::string_view s) {
    s = Trim(s);
    std::string out;
    out.reserve(s.size());
    bool blank = false;
    for (char c : s) {
        if (IsBlank(c)) {
            blank = true;
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

// A whole-text match where "*" stands for any text. The literal pieces between the stars are
// found leftmost-first, which is enough for patterns without other wildcards.
bool GlobMatches(std::string_view pattern, std::string_view text) {
    std::size_t star = pattern.find('*');
    if (star == std::string_view::npos)
        return pattern == text;
    const std::string_view head = pattern.substr(0, star);
    if (text.substr(0, head.size()) != head)
        return false;
    std::size_t at = head.size();
    for (;;) {
        const std::size_t next = pattern.find('*', star + 1);
        if (next == std::string_view::npos) {
            const std::string_view tail = pattern.substr(star + 1);
            return text.size() - at >= tail.size() &&
                   text.substr(text.size() - tail.size()) == tail;
        }
        const std::string_view piece = pattern.substr(star + 1, next - star - 1);
        const std::size_t found = text.find(piece, at);
        if (found == std::string_view::npos)
            return false;
        at = found + piece.size();
        star = next;
    }
}

bool AnyMatches(const std::vector<std::string>& patterns, const std::vector<std::string>& texts) {
    if (patterns.empty())
        return true;
    for (const std::string& pattern : patterns)
        for (const std::string& text : texts)
            if (GlobMatches(pattern, text))
                return true;
    return false;
}

// What follows a label such as "シンボル:" on a line below a message, or nullopt.
std::optional<std::string> LabelledValue(const std::string& normalized, std::string_view label) {
    if (normalized.compare(0, label.size(), label) != 0)
        return std::nullopt;
    return NormalizeBlanks(std::string_view(normalized).substr(label.size()));
}

constexpr std::string_view kSymbolLabel = "シンボル:";
constexpr std::string_view kLocationLabel = "場所:";

// ---- Reading the data ----

std::string* SingleField(Explanation& e, std::string_view key) {
    if (key == "title")
        return &e.title;
    if (key == "summary")
        return &e.summary;
    if (key == "meaning")
        return &e.meaning;
    if (key == "cause")
        return &e.cause;
    if (key == "fix")
        return &e.fix;
    if (key == "example")
        return &e.example;
    if (key == "when")
        return &e.when;
    if (key == "leads")
        return &e.leads;
    return nullptr;
}

std::vector<std::string>* ListField(Explanation& e, std::string_view key) {
    if (key == "message")
        return &e.messages;
    if (key == "symbol")
        return &e.symbols;
    if (key == "location")
        return &e.locations;
    if (key == "source")
        return &e.sources;
    if (key == "detail")
        return &e.details;
    return nullptr;
}

// The name of the first field an entry lacks, or empty.
std::string_view MissingField(const Explanation& e) {
    if (e.title.empty())
        return "title";
    if (e.messages.empty())
        return "message";
    if (e.summary.empty())
        return "summary";
    if (e.meaning.empty())
        return "meaning";
    if (e.cause.empty())
        return "cause";
    if (e.fix.empty())
        return "fix";
    if (e.example.empty())
        return "example";
    return {};
}

// ---- Reading the pane ----

// Lines below a message that its explanation may look at: the source line, the marker and the
// details; a long list of candidates beyond them says nothing more.
constexpr std::size_t kLinesBelowRead = 16;

// Only the start of an undecodable line is decoded: such a line is no message of the compiler
// (it writes CP932), and replacing byte after byte costs more the longer the line.
constexpr std::size_t kLossyDecodeLimit = 1024;

// A piece of a pane line (CP932 bytes) to UTF-8.
std::string Decode(std::string_view cp932Bytes) {
    if (auto utf8 = Cp932ToUtf8(Cp932Text(cp932Bytes)))
        return std::move(*utf8);
    return Cp932ToUtf8Lossy(Cp932Text(cp932Bytes.substr(0, kLossyDecodeLimit)));
}

// The compiler's words in its own code page. ASCII blanks, digits and ":" are never the second
// byte of a CP932 character, so matching these at the start of a line or after such a byte
// never matches inside a character.
struct CompilerWords {
    std::string error = Sjis("エラー:").bytes();
    std::string warning = Sjis("警告:").bytes();
    std::string note = Sjis("ノート:").bytes();
    std::string symbol = Sjis(kSymbolLabel).bytes();
    std::string location = Sjis(kLocationLabel).bytes();
    std::string countError = Sjis("エラー").bytes();
    std::string countWarning = Sjis("警告").bytes();
    std::string countUnit = Sjis("個").bytes();
    std::string totalHead = Sjis("合計").bytes();
    std::string totalMiddle = Sjis("個のうち、最初の").bytes();
    std::string totalErrors = Sjis("個のエラーのみ").bytes();
    std::string totalWarnings = Sjis("個の警告のみ").bytes();
};

const CompilerWords& Words() {
    static const CompilerWords words;
    return words;
}

// Digits at the front of s as a number; consumes them. nullopt when there are none or the
// number does not fit.
std::optional<std::size_t> TakeNumber(std::string_view& s) {
    std::size_t n = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
    if (ec != std::errc() || end == s.data())
        return std::nullopt;
    s.remove_prefix(static_cast<std::size_t>(end - s.data()));
    return n;
}

struct Header {
    MessageKind kind = MessageKind::Error;
    std::string_view file;
    std::size_t line = 0;
    std::string_view text;
};

// "エラー: text" or "警告:text" (the compiler puts no blank after the warning's colon).
std::optional<Header> KindAndText(std::string_view rest) {
    const CompilerWords& w = Words();
    Header h;
    if (StartsWith(rest, w.error)) {
        h.kind = MessageKind::Error;
        rest.remove_prefix(w.error.size());
    } else if (StartsWith(rest, w.warning)) {
        h.kind = MessageKind::Warning;
        rest.remove_prefix(w.warning.size());
    } else {
        return std::nullopt;
    }
    h.text = SkipBlanks(rest);
    return h;
}

// "<file>.java:<line>: <kind>: <text>", or "<kind>: <text>" for a message about no line.
std::optional<Header> ParseHeader(std::string_view line) {
    if (auto h = KindAndText(line))
        return h;
    for (std::size_t colon = line.find(':'); colon != std::string_view::npos;
         colon = line.find(':', colon + 1)) {
        const std::string_view file = line.substr(0, colon);
        if (!EndsWith(file, ".java"))
            continue;
        std::string_view rest = line.substr(colon + 1);
        const auto number = TakeNumber(rest);
        if (!number || !StartsWith(rest, ": "))
            continue;
        auto h = KindAndText(rest.substr(2));
        if (!h)
            continue;
        h->file = file;
        h->line = *number;
        return h;
    }
    return std::nullopt;
}

// "エラーN個" or "警告N個", alone on a line: the compiler's closing count.
std::optional<std::size_t> CountLine(std::string_view line, std::string_view word) {
    if (!StartsWith(line, word))
        return std::nullopt;
    line.remove_prefix(word.size());
    const auto n = TakeNumber(line);
    if (!n || line != Words().countUnit)
        return std::nullopt;
    return n;
}

// "合計N個のうち、最初のM個のエラーのみ表示しています。...": when the compiler stops showing
// errors, the total it counted. `unit` tells errors from warnings.
std::optional<std::size_t> TotalLine(std::string_view line, std::string_view unit) {
    const CompilerWords& w = Words();
    if (!StartsWith(line, w.totalHead))
        return std::nullopt;
    line.remove_prefix(w.totalHead.size());
    const auto total = TakeNumber(line);
    if (!total || !StartsWith(line, w.totalMiddle))
        return std::nullopt;
    line.remove_prefix(w.totalMiddle.size());
    if (!TakeNumber(line) || !StartsWith(line, unit))
        return std::nullopt;
    return total;
}

bool IsClosingLine(std::string_view line) {
    const CompilerWords& w = Words();
    return CountLine(line, w.countError) || CountLine(line, w.countWarning) ||
           TotalLine(line, w.totalErrors) || TotalLine(line, w.totalWarnings);
}

} // namespace

std::string FullExplanation(const Explanation& e) {
    if (!e.whole.empty())
        return e.whole;
    return "意味: " + e.meaning + "\nよくある原因: " + e.cause + "\n直し方: " + e.fix +
           "\n例: " + e.example;
}

ExplanationData ParseExplanations(std::string_view utf8) {
    struct Fields : EntryList<Explanation> {
        std::string field(std::string_view key, std::string_view value) override {
            if (std::string* field = SingleField(current, key)) {
                if (!field->empty())
                    return GivenTwice(key);
                if (key == "when" && value != "errors" && value != "no-errors")
                    return "the field when is errors or no-errors";
                if (key == "leads" && value != "last-statement" && value != "stray-brace")
                    return "the field leads is last-statement or stray-brace";
                *field = std::string(value);
            } else if (std::vector<std::string>* list = ListField(current, key)) {
                list->push_back(NormalizeBlanks(value));
            } else {
                return UnknownField(key);
            }
            return {};
        }
        std::string entryFault(const Explanation& e) const override {
            const std::string_view missing = MissingField(e);
            return missing.empty() ? std::string()
                                   : "entry [" + e.id + "] has no " + std::string(missing);
        }
    } fields;
    return fields.read(utf8);
}

std::string_view BuiltInExplanationsText() {
    return {reinterpret_cast<const char*>(detail::kExplanationsBytes), detail::kExplanationsSize};
}

const std::vector<Explanation>& BuiltInExplanations() {
    static const std::vector<Explanation> entries =
        ParseExplanations(BuiltInExplanationsText()).entries;
    return entries;
}

const Explanation* FindExplanation(const std::vector<Explanation>& entries,
                                   std::string_view messageText,
                                   const std::vector<std::string>& linesBelow,
                                   std::optional<bool> compileHasErrors) {
    const std::string text = NormalizeBlanks(messageText);
    std::vector<std::string> symbols;
    std::vector<std::string> locations;
    std::vector<std::string> details;
    std::vector<std::string> sources;
    for (const std::string& below : linesBelow) {
        std::string line = NormalizeBlanks(below);
        if (auto v = LabelledValue(line, kSymbolLabel))
            symbols.push_back(std::move(*v));
        else if (auto l = LabelledValue(line, kLocationLabel))
            locations.push_back(std::move(*l));
        else if (sources.empty() && details.empty())
            sources.push_back(line);
        details.push_back(std::move(line));
    }
    for (const Explanation& e : entries) {
        if (!e.when.empty() && (!compileHasErrors || *compileHasErrors != (e.when == "errors")))
            continue;
        const bool messageMatches =
            std::any_of(e.messages.begin(), e.messages.end(),
                        [&text](const std::string& p) { return GlobMatches(p, text); });
        if (messageMatches && AnyMatches(e.symbols, symbols) &&
            AnyMatches(e.locations, locations) && AnyMatches(e.sources, sources) &&
            AnyMatches(e.details, details))
            return &e;
    }
    return nullptr;
}

CompileReport ReadCompileMessages(const Cp932Lines& paneLines, std::string_view className) {
    const CompilerWords& w = Words();
    CompileReport report;

    // The closing count lines, read from the end up, above the success line that a compile with
    // only notes or warnings ends with.
    std::size_t closing = paneLines.size();
    if (closing > 0 && paneLines[closing - 1] == Sjis(kCompileCleanText))
        --closing;
    std::optional<std::size_t> counted;
    std::optional<std::size_t> total;
    while (closing > 0 && IsClosingLine(paneLines[closing - 1].bytes())) {
        const std::string_view line = paneLines[--closing].bytes();
        if (auto n = CountLine(line, w.countError))
            counted = n;
        if (auto n = TotalLine(line, w.totalErrors))
            total = n;
    }
    report.errorCount = total ? total : counted;

    const std::string source = std::string(className) + ".java";
    for (std::size_t i = 0; i < closing; ++i) {
        const auto header = ParseHeader(paneLines[i].bytes());
        if (!header)
            continue;
        if (!report.messages.empty() && report.messages.back().endLine > i)
            report.messages.back().endLine = i;
        CompilerMessage m;
        m.paneLine = i;
        m.endLine = closing;
        m.kind = header->kind;
        m.file = Decode(header->file);
        m.line = header->line;
        m.inSource = m.line > 0 && (m.file == source || m.file == "./" + source);
        m.text = Decode(header->text);
        report.messages.push_back(std::move(m));
    }

    // A warning reads differently when errors stand beside it: then no class file was made.
    const bool hasErrors =
        report.errorCount.value_or(0) > 0 ||
        std::any_of(report.messages.begin(), report.messages.end(),
                    [](const CompilerMessage& m) { return m.kind == MessageKind::Error; });
    for (CompilerMessage& m : report.messages) {
        std::vector<std::string> below;
        for (std::size_t i = m.paneLine + 1; i < m.endLine; ++i) {
            const std::string_view line = SkipBlanks(paneLines[i].bytes());
            if (StartsWith(line, w.note)) {
                m.endLine = i; // the compiler's closing notes belong to no message
                break;
            }
            if (below.size() < kLinesBelowRead)
                below.push_back(Decode(line));
        }
        m.explanation = FindExplanation(BuiltInExplanations(), m.text, below, hasErrors);
        m.targetLine = m.line;
        // The end of the file names the wrapper's last line; the missing "}" belongs to a
        // statement, and the last one is where the search starts.
        if (m.explanation && m.explanation->leads == "last-statement" && m.inSource &&
            m.line > kSourceLinesBeforeStatements + kSourceLinesAfterStatements)
            m.targetLine = m.line - kSourceLinesAfterStatements;
    }
    return report;
}

const CompilerMessage* MessageStartingAt(const CompileReport& report, std::size_t paneLine) {
    for (const CompilerMessage& m : report.messages)
        if (m.paneLine == paneLine)
            return &m;
    return nullptr;
}

const CompilerMessage* MessageOfLine(const CompileReport& report, std::size_t paneLine) {
    for (const CompilerMessage& m : report.messages)
        if (m.paneLine <= paneLine && paneLine < m.endLine)
            return &m;
    return nullptr;
}

std::optional<std::size_t> NextSourceMessageLine(const CompileReport& report,
                                                 std::optional<std::size_t> paneLine,
                                                 bool forward) {
    std::optional<std::size_t> found;
    for (const CompilerMessage& m : report.messages) {
        if (!m.inSource)
            continue;
        if (forward && (!paneLine || m.paneLine > *paneLine))
            return m.paneLine;
        if (!forward && (!paneLine || m.paneLine < *paneLine))
            found = m.paneLine;
    }
    return found;
}

std::size_t StatementWithStrayBrace(const std::vector<std::string>& statements) {
    long depth = 0;
    for (std::size_t n = 0; n < statements.size(); ++n) {
        const std::string& s = statements[n];
        char quote = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char c = s[i];
            if (quote) {
                if (c == '\\')
                    ++i;
                else if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
                break;
            } else if (c == '{') {
                ++depth;
            } else if (c == '}' && --depth < 0) {
                return n + 1;
            }
        }
    }
    return 0;
}

std::size_t MessageStatement(const CompilerMessage& m, const std::vector<std::string>& statements) {
    const std::size_t statement = StatementOfSourceLine(m.targetLine, statements.size());
    if (m.explanation && m.explanation->leads == "stray-brace") {
        const std::size_t stray = StatementWithStrayBrace(statements);
        if (stray > 0 && (statement == 0 || stray < statement))
            return stray;
    }
    return statement;
}

std::string ErrorCountText(std::size_t count) {
    return "エラー " + std::to_string(count) + " 個";
}

std::optional<std::size_t> CaretColumn(std::string_view line) {
    const std::size_t at = line.find_first_not_of(" \t");
    if (at == std::string_view::npos || line[at] != '^')
        return std::nullopt;
    if (line.find_first_not_of(" \t\r", at + 1) != std::string_view::npos)
        return std::nullopt;
    return at;
}

} // namespace vellaro
