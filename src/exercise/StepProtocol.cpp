#include "exercise/StepProtocol.h"

#include "exercise/JavaComp.h"
#include "exercise/RuntimeErrors.h"

#include <charconv>
#include <map>
#include <memory>

namespace vellaro {

namespace {

// Just enough JSON for the helper's lines: objects, arrays, strings, integers, null and the two
// truth values.
struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    long long number = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json, std::less<>> fields;

    const Json* field(std::string_view name) const {
        auto it = fields.find(name);
        return it == fields.end() ? nullptr : &it->second;
    }
};

class Reader {
  public:
    explicit Reader(std::string_view in) : m_in(in) {}

    std::optional<Json> document() {
        auto value = parse(0);
        skipBlanks();
        if (!value || m_at != m_in.size())
            return std::nullopt;
        return value;
    }

  private:
    static constexpr int kMaxDepth = 64;

    void skipBlanks() {
        while (m_at < m_in.size() && (m_in[m_at] == ' ' || m_in[m_at] == '\t' ||
                                      m_in[m_at] == '\r' || m_in[m_at] == '\n'))
            ++m_at;
    }
    bool take(char c) {
        skipBlanks();
        if (m_at < m_in.size() && m_in[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool word(std::string_view w) {
        if (m_in.substr(m_at, w.size()) != w)
            return false;
        m_at += w.size();
        return true;
    }

    std::optional<Json> parse(int depth) {
        if (depth > kMaxDepth)
            return std::nullopt;
        skipBlanks();
        if (m_at >= m_in.size())
            return std::nullopt;
        Json out;
        const char c = m_in[m_at];
        if (c == '{') {
            ++m_at;
            out.kind = Json::Object;
            if (take('}'))
                return out;
            do {
                skipBlanks();
                auto key = string();
                if (!key || !take(':'))
                    return std::nullopt;
                auto value = parse(depth + 1);
                if (!value)
                    return std::nullopt;
                out.fields.insert_or_assign(std::move(*key), std::move(*value));
            } while (take(','));
            return take('}') ? std::optional<Json>(std::move(out)) : std::nullopt;
        }
        if (c == '[') {
            ++m_at;
            out.kind = Json::Array;
            if (take(']'))
                return out;
            do {
                auto value = parse(depth + 1);
                if (!value)
                    return std::nullopt;
                out.items.push_back(std::move(*value));
            } while (take(','));
            return take(']') ? std::optional<Json>(std::move(out)) : std::nullopt;
        }
        if (c == '"') {
            auto text = string();
            if (!text)
                return std::nullopt;
            out.kind = Json::String;
            out.text = std::move(*text);
            return out;
        }
        if (word("null"))
            return out;
        if (word("true") || word("false")) {
            out.kind = Json::Bool;
            out.number = m_in[m_at - 1] == 'e' && m_in[m_at - 2] == 'u';
            return out;
        }
        const char* begin = m_in.data() + m_at;
        const char* end = m_in.data() + m_in.size();
        auto [next, ec] = std::from_chars(begin, end, out.number);
        if (ec != std::errc() || next == begin)
            return std::nullopt;
        m_at += static_cast<std::size_t>(next - begin);
        out.kind = Json::Number;
        return out;
    }

    std::optional<unsigned> hex4() {
        if (m_at + 4 > m_in.size())
            return std::nullopt;
        unsigned v = 0;
        auto [next, ec] = std::from_chars(m_in.data() + m_at, m_in.data() + m_at + 4, v, 16);
        if (ec != std::errc() || next != m_in.data() + m_at + 4)
            return std::nullopt;
        m_at += 4;
        return v;
    }

    static void appendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    std::optional<std::string> string() {
        if (m_at >= m_in.size() || m_in[m_at] != '"')
            return std::nullopt;
        ++m_at;
        std::string out;
        while (m_at < m_in.size()) {
            const char c = m_in[m_at++];
            if (c == '"')
                return out;
            if (static_cast<unsigned char>(c) < 0x20)
                return std::nullopt;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_at >= m_in.size())
                return std::nullopt;
            switch (m_in[m_at++]) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                auto unit = hex4();
                if (!unit)
                    return std::nullopt;
                unsigned cp = *unit;
                if (cp >= 0xD800 && cp < 0xDC00) {
                    if (!word("\\u"))
                        return std::nullopt;
                    auto low = hex4();
                    if (!low || *low < 0xDC00 || *low >= 0xE000)
                        return std::nullopt;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
                } else if (cp >= 0xDC00 && cp < 0xE000) {
                    return std::nullopt;
                }
                appendUtf8(out, cp);
                break;
            }
            default:
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    std::string_view m_in;
    std::size_t m_at = 0;
};

std::string TextOf(const Json& object, std::string_view name) {
    const Json* f = object.field(name);
    return f && f->kind == Json::String ? f->text : std::string();
}

std::optional<long long> NumberOf(const Json& object, std::string_view name) {
    const Json* f = object.field(name);
    if (!f || f->kind != Json::Number)
        return std::nullopt;
    return f->number;
}

std::optional<std::vector<StepVariable>> VariablesOf(const Json& object) {
    std::vector<StepVariable> out;
    const Json* vars = object.field("vars");
    if (!vars)
        return out;
    if (vars->kind != Json::Array)
        return std::nullopt;
    for (const Json& v : vars->items) {
        if (v.kind != Json::Object)
            return std::nullopt;
        out.push_back({TextOf(v, "name"), TextOf(v, "type"), TextOf(v, "value")});
    }
    return out;
}

int StatementOfLine(long long line) {
    return line >= kFirstStatementLine ? static_cast<int>(line - kFirstStatementLine + 1) : 0;
}

} // namespace

std::optional<StepEvent> ParseStepEvent(std::string_view line) {
    auto doc = Reader(line).document();
    if (!doc || doc->kind != Json::Object)
        return std::nullopt;
    const std::string ev = TextOf(*doc, "ev");
    StepEvent out;
    if (ev == "stop" || ev == "exception") {
        auto sourceLine = NumberOf(*doc, "line");
        auto vars = VariablesOf(*doc);
        if (!sourceLine || !vars)
            return std::nullopt;
        out.statement = StatementOfLine(*sourceLine);
        if (ev == "stop" && out.statement == 0)
            return std::nullopt;
        out.variables = std::move(*vars);
        if (ev == "stop") {
            out.kind = StepEventKind::Stop;
        } else {
            out.kind = StepEventKind::Exception;
            out.exceptionClass = TextOf(*doc, "class");
            if (const Json* m = doc->field("message"); m && m->kind == Json::String)
                out.exceptionMessage = m->text;
        }
        return out;
    }
    if (ev == "end") {
        out.kind = StepEventKind::End;
        out.status = static_cast<int>(NumberOf(*doc, "status").value_or(-1));
        return out;
    }
    if (ev == "nojdi") {
        out.kind = StepEventKind::NoDebugger;
        return out;
    }
    if (ev == "error") {
        out.kind = StepEventKind::Error;
        out.text = TextOf(*doc, "text");
        return out;
    }
    return std::nullopt;
}

std::string StepNextCommand() {
    return "step\n";
}

std::string StepRunCommand(const std::vector<int>& stopStatements) {
    std::string out = "run";
    for (int statement : stopStatements)
        if (statement > 0)
            out += ' ' + std::to_string(statement + kFirstStatementLine - 1);
    return out + '\n';
}

std::vector<bool> ChangedVariables(const std::vector<StepVariable>& before,
                                   const std::vector<StepVariable>& now) {
    std::vector<bool> out;
    out.reserve(now.size());
    for (const StepVariable& v : now) {
        bool changed = true;
        for (const StepVariable& b : before)
            if (b.name == v.name && b.type == v.type)
                changed = b.value != v.value;
        out.push_back(changed);
    }
    return out;
}

std::vector<std::string> StepperCommand(const std::filesystem::path& helperFolder,
                                        const std::filesystem::path& socket,
                                        std::string_view className, std::size_t statements) {
    const std::string name(className);
    // The helper itself is short-lived and small: the quickest start beats the best code.
    return {"java",
            "-XX:TieredStopAtLevel=1",
            "-XX:+UseSerialGC",
            "-Duser.language=ja",
            "-Dfile.encoding=UTF-8",
            "-Dstdout.encoding=UTF-8",
            "-Dstderr.encoding=UTF-8",
            "-cp",
            helperFolder.string(),
            "VellaroStepper",
            socket.string(),
            name,
            std::to_string(kFirstStatementLine),
            std::to_string(kFirstStatementLine - 1 + static_cast<long long>(statements)),
            name + ".java"};
}

std::string ExplainStepException(std::string_view exceptionClass,
                                 const std::optional<std::string>& message, int statement,
                                 std::string_view className,
                                 const std::vector<std::string>& statements) {
    if (!className.empty() && statement > 0) {
        // The trace the JDK would have printed for it, read as a run's is.
        const std::string name(className);
        std::string trace = "Exception in thread \"main\" " + std::string(exceptionClass);
        if (message)
            trace += ": " + *message;
        trace += "\n\tat " + name + ".main(" + name +
                 ".java:" + std::to_string(kFirstStatementLine - 1 + statement) + ")\n";
        if (const auto failure =
                ExplainRunOutput(trace, className, MakeJavaSource(className, statements))) {
            std::string out;
            for (const std::string& line : RunFailureLines(*failure))
                out += line + "\n";
            return out + "プログラムはここで止まります。";
        }
    }
    std::string out;
    if (statement > 0)
        out = std::to_string(statement) + " 番目の文で";
    out += "例外 " + std::string(exceptionClass) + " が起きました";
    if (message && !message->empty())
        out += "（" + *message + "）";
    out += "。プログラムはここで止まります。";
    return out;
}

} // namespace vellaro
