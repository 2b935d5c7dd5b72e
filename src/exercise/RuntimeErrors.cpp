#include "exercise/RuntimeErrors.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include "exercise/DataText.h"
#include "exercise/EntryFile.h"
#include "exercise/JavaComp.h"

namespace vellaro {

namespace detail {
// The data file's bytes, embedded at build time.
extern const unsigned char kRuntimeExplanationsBytes[];
extern const std::size_t kRuntimeExplanationsSize;
} // namespace detail

namespace {

using text::IsBlank;
using text::StartsWith;
using text::Trim;

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// ---- Patterns ----

struct Token {
    enum Kind { Literal, Any, Capture } kind = Literal;
    std::string text; // the literal, or the capture's own pattern (empty: any text)
    std::string name; // the capture's name
};

// A pattern's pieces; nullopt when a "{" opens no well-formed "{name}" or "{name:pattern}".
std::optional<std::vector<Token>> Tokenize(std::string_view pattern) {
    std::vector<Token> tokens;
    auto literal = [&tokens](char c) {
        if (tokens.empty() || tokens.back().kind != Token::Literal)
            tokens.push_back({});
        tokens.back().text += c;
    };
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '*') {
            tokens.push_back({Token::Any, {}, {}});
        } else if (c == '{') {
            const std::size_t close = pattern.find('}', i);
            if (close == std::string_view::npos)
                return std::nullopt;
            const std::string_view inside = pattern.substr(i + 1, close - i - 1);
            const std::size_t colon = inside.find(':');
            const std::string_view name = inside.substr(0, colon);
            if (name.empty() || !std::all_of(name.begin(), name.end(), IsNameChar))
                return std::nullopt;
            Token t{Token::Capture, {}, std::string(name)};
            if (colon != std::string_view::npos) {
                t.text = std::string(inside.substr(colon + 1));
                if (t.text.find('{') != std::string::npos)
                    return std::nullopt;
            }
            tokens.push_back(std::move(t));
            i = close;
        } else {
            literal(c);
        }
    }
    return tokens;
}

// "*" alone as a wildcard, for a capture's own pattern.
bool GlobMatches(std::string_view p, std::string_view t) {
    std::size_t pi = 0, ti = 0, star = std::string_view::npos, mark = 0;
    while (ti < t.size()) {
        if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = ti;
        } else if (pi < p.size() && p[pi] == t[ti]) {
            ++pi;
            ++ti;
        } else if (star != std::string_view::npos) {
            pi = star + 1;
            ti = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

// Longer messages are matched only by entries that ask nothing of the message: the JVM's own
// messages are short, and the match costs grow with the square of the length.
constexpr std::size_t kMaxMatchedMessage = 512;

std::optional<std::map<std::string, std::string>> MatchTokens(const std::vector<Token>& tokens,
                                                              std::string_view text) {
    if (text.size() > kMaxMatchedMessage)
        return std::nullopt;
    const std::size_t n = text.size();
    // can[t][p]: tokens t.. match text[p..].
    std::vector<std::vector<char>> can(tokens.size() + 1, std::vector<char>(n + 1, 0));
    can[tokens.size()][n] = 1;
    auto fits = [&](const Token& tok, std::size_t from, std::size_t to) {
        return tok.kind == Token::Any || tok.text.empty() ||
               GlobMatches(tok.text, text.substr(from, to - from));
    };
    for (std::size_t t = tokens.size(); t-- > 0;) {
        const Token& tok = tokens[t];
        for (std::size_t p = n + 1; p-- > 0;) {
            if (tok.kind == Token::Literal) {
                can[t][p] =
                    text.substr(p, tok.text.size()) == tok.text && can[t + 1][p + tok.text.size()];
                continue;
            }
            for (std::size_t q = p; q <= n && !can[t][p]; ++q)
                can[t][p] = can[t + 1][q] && fits(tok, p, q);
        }
    }
    if (!can[0][0])
        return std::nullopt;
    std::map<std::string, std::string> values;
    std::size_t p = 0;
    for (std::size_t t = 0; t < tokens.size(); ++t) {
        const Token& tok = tokens[t];
        if (tok.kind == Token::Literal) {
            p += tok.text.size();
            continue;
        }
        std::size_t q = p; // the shortest part that lets the rest match
        while (!(can[t + 1][q] && fits(tok, p, q)))
            ++q;
        if (tok.kind == Token::Capture)
            values[tok.name] = std::string(text.substr(p, q - p));
        p = q;
    }
    return values;
}

// The names a text puts in: "{name}" of a-z and 0-9. Other braces are text ("try { ... }").
std::vector<std::string> PlaceholderNames(std::string_view text) {
    std::vector<std::string> names;
    for (std::size_t i = text.find('{'); i != std::string_view::npos; i = text.find('{', i + 1)) {
        const std::size_t close = text.find('}', i);
        if (close == std::string_view::npos)
            break;
        const std::string_view name = text.substr(i + 1, close - i - 1);
        if (!name.empty() && std::all_of(name.begin(), name.end(), IsNameChar))
            names.emplace_back(name);
    }
    return names;
}

std::string FillIn(std::string_view text, const std::map<std::string, std::string>& values) {
    std::string out;
    std::size_t at = 0;
    for (std::size_t i = text.find('{'); i != std::string_view::npos; i = text.find('{', at)) {
        const std::size_t close = text.find('}', i);
        if (close == std::string_view::npos)
            break;
        out.append(text.substr(at, i - at));
        const auto found = values.find(std::string(text.substr(i + 1, close - i - 1)));
        if (found != values.end()) {
            out += found->second;
            at = close + 1;
        } else {
            out += '{'; // text, not a name: what follows is read on
            at = i + 1;
        }
    }
    out.append(text.substr(at));
    return out;
}

bool IsBuiltInValue(std::string_view name) {
    return std::find(std::begin(kRuntimeBuiltInValues), std::end(kRuntimeBuiltInValues), name) !=
           std::end(kRuntimeBuiltInValues);
}

// The message pattern that matches only an exception without a message.
constexpr std::string_view kNoMessagePattern = "<none>";

// ---- Reading the data ----

std::string* SingleField(RuntimeExplanation& e, std::string_view key) {
    if (key == "title")
        return &e.title;
    if (key == "summary")
        return &e.summary;
    if (key == "meaning")
        return &e.meaning;
    if (key == "fix")
        return &e.fix;
    if (key == "example")
        return &e.example;
    return nullptr;
}

std::vector<std::string>* ListField(RuntimeExplanation& e, std::string_view key) {
    if (key == "exception")
        return &e.exceptions;
    if (key == "message")
        return &e.messages;
    return nullptr;
}

// The first fault of a whole entry, or empty.
std::string EntryFault(const RuntimeExplanation& e) {
    const std::pair<const char*, const std::string*> required[] = {
        {"title", &e.title},
        {"summary", &e.summary},
        {"meaning", &e.meaning},
        {"fix", &e.fix},
    };
    if (e.exceptions.empty())
        return "entry [" + e.id + "] has no exception";
    for (const auto& [key, value] : required)
        if (value->empty())
            return "entry [" + e.id + "] has no " + key;
    // A text may use a captured value only if every message pattern captures it.
    std::vector<std::vector<std::string>> captured;
    for (const std::string& m : e.messages) {
        std::vector<std::string> names;
        const auto tokens = Tokenize(m);
        for (const Token& t : tokens.value_or(std::vector<Token>{}))
            if (t.kind == Token::Capture)
                names.push_back(t.name);
        captured.push_back(std::move(names));
    }
    for (const std::string* text : {&e.summary, &e.meaning, &e.fix}) {
        for (const std::string& name : PlaceholderNames(*text)) {
            if (IsBuiltInValue(name))
                continue;
            const bool everywhere =
                !captured.empty() &&
                std::all_of(captured.begin(), captured.end(), [&name](const auto& list) {
                    return std::find(list.begin(), list.end(), name) != list.end();
                });
            if (!everywhere)
                return "entry [" + e.id + "]: {" + name + "} is not captured by every message";
        }
    }
    return {};
}

// ---- Reading a trace ----

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool IsTypeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

constexpr std::string_view kThreadHead = "Exception in thread \"";

// The header "Exception in thread "main" java.lang.X: message", which may follow the program's
// own output on the same line.
std::optional<UncaughtException> ReadHeader(std::string_view line) {
    const std::size_t at = line.find(kThreadHead);
    if (at == std::string_view::npos)
        return std::nullopt;
    line.remove_prefix(at + kThreadHead.size());
    const std::size_t quote = line.find("\" ");
    if (quote == std::string_view::npos)
        return std::nullopt;
    UncaughtException e;
    e.thread = std::string(line.substr(0, quote));
    line = Trim(line.substr(quote + 2));
    std::size_t end = 0;
    while (end < line.size() && IsTypeChar(line[end]))
        ++end;
    const std::string_view type = line.substr(0, end);
    if (type.empty() || type.front() == '.' || type.back() == '.' ||
        (type.front() >= '0' && type.front() <= '9'))
        return std::nullopt;
    const std::string_view rest = line.substr(end);
    if (!rest.empty() && rest.front() != ':')
        return std::nullopt;
    e.type = std::string(type);
    if (!rest.empty())
        e.message = std::string(Trim(rest.substr(1)));
    return e;
}

std::optional<StackFrame> ReadFrame(std::string_view line) {
    if (!StartsWith(line, "at "))
        return std::nullopt;
    line.remove_prefix(3);
    const std::size_t open = line.rfind('(');
    if (open == std::string_view::npos || line.back() != ')')
        return std::nullopt;
    StackFrame f;
    f.method = std::string(Trim(line.substr(0, open)));
    const std::string_view inside = line.substr(open + 1, line.size() - open - 2);
    const std::size_t colon = inside.rfind(':');
    std::string_view file = inside;
    if (colon != std::string_view::npos) {
        const std::string_view digits = inside.substr(colon + 1);
        std::size_t n = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (ec == std::errc() && end == digits.data() + digits.size()) {
            file = inside.substr(0, colon);
            f.line = n;
        }
    }
    if (file.size() > 5 && file.substr(file.size() - 5) == ".java")
        f.file = std::string(file);
    else
        f.line = 0;
    return f;
}

// "... 3 more": frames the JVM left out because the trace above showed them.
bool IsOmittedFrames(std::string_view line) {
    return StartsWith(line, "... ") && line.size() > 9 && line.substr(line.size() - 5) == " more";
}

std::string Number(std::size_t n) {
    return std::to_string(n);
}

} // namespace

RuntimeExplanationData ParseRuntimeExplanations(std::string_view utf8) {
    struct Fields : EntryList<RuntimeExplanation> {
        std::string field(std::string_view key, std::string_view value) override {
            if (std::string* field = SingleField(current, key)) {
                if (!field->empty())
                    return GivenTwice(key);
                *field = std::string(value);
            } else if (std::vector<std::string>* list = ListField(current, key)) {
                if (!Tokenize(value))
                    return "a \"{\" in a pattern opens no {name} or {name:pattern}";
                list->emplace_back(value);
            } else {
                return UnknownField(key);
            }
            return {};
        }
        std::string entryFault(const RuntimeExplanation& e) const override { return EntryFault(e); }
    } fields;
    return fields.read(utf8);
}

std::string_view BuiltInRuntimeExplanationsText() {
    return {reinterpret_cast<const char*>(detail::kRuntimeExplanationsBytes),
            detail::kRuntimeExplanationsSize};
}

const std::vector<RuntimeExplanation>& BuiltInRuntimeExplanations() {
    static const std::vector<RuntimeExplanation> entries =
        ParseRuntimeExplanations(BuiltInRuntimeExplanationsText()).entries;
    return entries;
}

std::optional<std::map<std::string, std::string>> MatchRuntimePattern(std::string_view pattern,
                                                                      std::string_view text) {
    const auto tokens = Tokenize(pattern);
    if (!tokens)
        return std::nullopt;
    return MatchTokens(*tokens, text);
}

std::optional<UncaughtException> ReadUncaughtException(std::string_view output) {
    const std::vector<std::string_view> lines = SplitLines(output);
    std::optional<UncaughtException> found;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto e = ReadHeader(Trim(lines[i]));
        if (!e)
            continue;
        e->firstLine = i;
        std::size_t j = i + 1;
        for (; j < lines.size(); ++j) {
            const std::string_view line = Trim(lines[j]);
            if (auto frame = ReadFrame(line))
                e->frames.push_back(std::move(*frame));
            else if (!IsOmittedFrames(line))
                break;
        }
        e->endLine = j;
        found = std::move(e);
        i = j - 1;
    }
    return found;
}

std::string SimpleTypeName(std::string_view type) {
    const std::size_t dot = type.rfind('.');
    return std::string(dot == std::string_view::npos ? type : type.substr(dot + 1));
}

std::optional<RunFailure> ExplainRunOutput(std::string_view output, std::string_view className,
                                           const std::vector<std::string>& sourceLines,
                                           const std::vector<RuntimeExplanation>& entries) {
    auto exception = ReadUncaughtException(output);
    if (!exception)
        return std::nullopt;
    RunFailure failure;
    failure.exception = std::move(*exception);
    const UncaughtException& e = failure.exception;

    std::map<std::string, std::string> values;
    for (const RuntimeExplanation& entry : entries) {
        const bool typeMatches = std::any_of(
            entry.exceptions.begin(), entry.exceptions.end(),
            [&e](const std::string& p) { return MatchRuntimePattern(p, e.type).has_value(); });
        if (!typeMatches)
            continue;
        std::optional<std::map<std::string, std::string>> captured;
        if (entry.messages.empty())
            captured.emplace();
        for (const std::string& p : entry.messages) {
            if (captured)
                break;
            if (p == kNoMessagePattern) {
                if (e.message.empty())
                    captured.emplace();
            } else {
                captured = MatchRuntimePattern(p, e.message);
            }
        }
        if (!captured)
            continue;
        failure.entry = &entry;
        values = std::move(*captured);
        break;
    }
    values["type"] = e.type;
    values["name"] = SimpleTypeName(e.type);
    values["message"] = e.message;
    if (failure.entry) {
        failure.summary = FillIn(failure.entry->summary, values);
        failure.meaning = FillIn(failure.entry->meaning, values);
        failure.fix = FillIn(failure.entry->fix, values);
    } else {
        // Data without a general entry (never the built-in data): the exception's name at least.
        failure.summary = values["name"] + " が起きて、プログラムが止まりました。";
    }

    failure.sourceFile = std::string(className) + ".java";
    for (const StackFrame& frame : e.frames) {
        if (frame.file != failure.sourceFile || frame.line == 0)
            continue;
        failure.listingLine = frame.line;
        if (sourceLines.empty()) {
            if (frame.line > kSourceLinesBeforeStatements)
                failure.statement = frame.line - kSourceLinesBeforeStatements;
        } else {
            const std::size_t wrapper = kSourceLinesBeforeStatements + kSourceLinesAfterStatements;
            const std::size_t count =
                sourceLines.size() > wrapper ? sourceLines.size() - wrapper : 0;
            failure.statement = StatementOfSourceLine(frame.line, count);
            if (failure.statement > 0)
                failure.statementText = std::string(Trim(sourceLines[frame.line - 1]));
        }
        break;
    }
    return failure;
}

std::string RunFailureWhere(const RunFailure& f) {
    if (f.listingLine == 0)
        return "入力した文のどこで起きたかは分かりません（トレースに " + f.sourceFile +
               " の行がありません）。";
    const std::string listing = "リストの " + Number(f.listingLine) + " 行目";
    if (f.statement == 0)
        return listing + "（入力した文の外）";
    std::string where = Number(f.statement) + " 行目の文（" + listing + "）";
    if (!f.statementText.empty())
        where += ": " + f.statementText;
    return where;
}

std::vector<std::string> RunFailureLines(const RunFailure& f) {
    std::vector<std::string> lines{std::string(kRunFailureHead) + f.summary, RunFailureWhere(f)};
    if (!f.meaning.empty())
        lines.push_back("意味: " + f.meaning);
    if (!f.fix.empty())
        lines.push_back("直し方: " + f.fix);
    return lines;
}

std::vector<std::string> RunFailurePaneLines(const RunFailure& f) {
    std::vector<std::string> lines = RunFailureLines(f);
    std::string exception = f.exception.type;
    if (!f.exception.message.empty())
        exception += ": " + f.exception.message;
    lines.insert(lines.begin() + 2, exception);
    return lines;
}

CompileReport RunFailureReport(const RunFailure& f) {
    const std::vector<std::string> lines = RunFailurePaneLines(f);
    auto explanation = std::make_shared<Explanation>();
    if (f.entry) {
        explanation->id = f.entry->id;
        explanation->title = f.entry->title;
    }
    explanation->summary = f.summary;
    explanation->meaning = f.meaning;
    explanation->fix = f.fix;
    for (const std::string& line : lines)
        explanation->whole += (explanation->whole.empty() ? "" : "\n") + line;

    CompileReport report;
    CompilerMessage m;
    m.paneLine = 0;
    m.endLine = lines.size();
    m.kind = MessageKind::Error;
    m.file = f.sourceFile;
    m.line = f.listingLine;
    m.targetLine = f.listingLine;
    m.inSource = f.listingLine > 0;
    m.text = lines.front().substr(kRunFailureHead.size());
    m.explanation = explanation.get();
    report.messages.push_back(std::move(m));
    report.ownExplanation = std::move(explanation);
    return report;
}

} // namespace vellaro
