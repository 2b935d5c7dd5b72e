#include "settings/IniFile.h"

#include "common/delCommFunc.h"

#include "common/AtomicFile.h"
#include "common/VellaroError.h"

#include <limits>
#include <system_error>
#include <vector>

namespace vellaro {

namespace {

// A settings file is a few hundred bytes. Anything beyond this is not a settings file (or is a
// mistake such as a log file at that path); it is treated as unreadable, and never overwritten.
constexpr std::size_t kMaxFileBytes = std::size_t(1) << 20;
// The profile functions hand back at most this many bytes of a value.
constexpr std::size_t kMaxValueBytes = 2047;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1A';
}

bool IsLeadByte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Trail bytes of CP932 lie in the ASCII range too, so no blank is ever a trail byte, but
// brackets and letters may be: searches and case folding step over double-byte characters.
std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::size_t FindSingleByte(std::string_view s, char c, std::size_t from = 0) {
    for (std::size_t i = from; i < s.size(); ++i) {
        if (IsLeadByte(s[i]))
            ++i;
        else if (s[i] == c)
            return i;
    }
    return std::string_view::npos;
}

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (IsLeadByte(a[i])) {
            // Both sides have the same lead byte here; the trail byte is compared as it is.
            if (a[i] != b[i] || i + 1 >= a.size() || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view LimitValue(std::string_view v) {
    if (v.size() <= kMaxValueBytes)
        return v;
    std::size_t end = 0;
    while (end < v.size()) {
        const std::size_t len = (IsLeadByte(v[end]) && end + 1 < v.size()) ? 2 : 1;
        if (end + len > kMaxValueBytes)
            break;
        end += len;
    }
    return v.substr(0, end);
}

struct Line {
    std::string_view text; // without the line end
    std::string_view eol;  // "\r\n", "\n" or empty for a last line without an end
};

// CR LF, a lone LF and a lone CR each end a line: a CR inside a value would otherwise come back
// out of the store and could never be written again.
std::vector<Line> SplitLines(std::string_view bytes) {
    std::vector<Line> lines;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            lines.push_back({bytes, {}});
            break;
        }
        const std::size_t eolLen =
            (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ? 2 : 1;
        lines.push_back({bytes.substr(0, end), bytes.substr(end, eolLen)});
        bytes.remove_prefix(end + eolLen);
    }
    return lines;
}

struct Parsed {
    enum Kind { Blank, Section, Entry } kind = Blank;
    std::string_view name;
    std::string_view value;
    bool hasValue = false;
};

// Every line that is neither blank nor a section header is an entry, as for the profile
// functions: "name=value", or a bare name (a comment line too) that holds no value.
Parsed ParseLine(std::string_view text) {
    Parsed p;
    const std::string_view t = Trim(text);
    if (t.empty())
        return p;
    if (t.front() == '[') {
        const std::size_t close = FindSingleByte(t, ']', 1);
        if (close != std::string_view::npos) {
            p.kind = Parsed::Section;
            p.name = Trim(t.substr(1, close - 1));
            return p;
        }
    }
    p.kind = Parsed::Entry;
    const std::size_t eq = FindSingleByte(t, '=');
    if (eq == std::string_view::npos) {
        p.name = t;
        return p;
    }
    p.name = Trim(t.substr(0, eq));
    p.value = Trim(t.substr(eq + 1));
    p.hasValue = true;
    return p;
}

// Where a section stands among the lines: its header, and the line after its last entry.
struct SectionSpan {
    std::size_t header = 0;
    std::size_t endOfEntries = 0;
    std::size_t keyLine = std::numeric_limits<std::size_t>::max();
    bool found = false;
    bool keyFound() const { return keyLine != std::numeric_limits<std::size_t>::max(); }
};

// Only the first section of a name counts, and in it only the first entry of a name.
SectionSpan Locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    SectionSpan span;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Parsed p = ParseLine(lines[i].text);
        if (p.kind == Parsed::Section) {
            if (span.found)
                break;
            if (EqualNoCase(p.name, section)) {
                span.found = true;
                span.header = i;
                span.endOfEntries = i + 1;
            }
        } else if (span.found && p.kind == Parsed::Entry) {
            span.endOfEntries = i + 1;
            if (!span.keyFound() && EqualNoCase(p.name, key))
                span.keyLine = i;
        }
    }
    return span;
}

bool HasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Hexadecimal digits after "$" or "0x" take the full 32 bits (so $80000008 is the system
// window-text colour); decimal must fit the signed range.
std::optional<std::int32_t> ParseInteger(std::string_view s) {
    bool negative = false;
    bool hex = false;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        hex = true;
        s.remove_prefix(2);
    } else {
        if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
            negative = s[0] == '-';
            s.remove_prefix(1);
        }
        if (!s.empty() && s[0] == '$') {
            hex = true;
            s.remove_prefix(1);
        }
    }
    return ParseInt32Digits(s, hex, negative);
}

} // namespace

std::optional<Cp932Text> IniLookup(std::string_view bytes, std::string_view section,
                                   std::string_view key) {
    const std::vector<Line> lines = SplitLines(bytes);
    const SectionSpan span = Locate(lines, Trim(section), Trim(key));
    if (!span.keyFound())
        return std::nullopt;
    const Parsed p = ParseLine(lines[span.keyLine].text);
    if (!p.hasValue)
        return std::nullopt;
    return Cp932Text(LimitValue(p.value));
}

std::optional<std::int32_t> IniParseInteger(std::string_view value) {
    return ParseInteger(value);
}

bool IniValueReadsBack(const Cp932Text& text) {
    const std::string_view value = text.bytes();
    return !HasLineBreakOrNul(value) && Trim(value) == value && value.size() <= kMaxValueBytes;
}

std::optional<std::string> IniWithValue(std::string_view bytes, std::string_view section,
                                        std::string_view key, const Cp932Text& valueText) {
    const std::string_view value = valueText.bytes();
    const std::string_view sec = Trim(section);
    const std::string_view name = Trim(key);
    // What cannot be written so that it reads back the same is refused, not written: a line
    // break in a value would split the file into lines the program never wrote.
    const bool writable =
        !sec.empty() && !name.empty() && !HasLineBreakOrNul(section) && !HasLineBreakOrNul(key) &&
        !HasLineBreakOrNul(value) && FindSingleByte(sec, ']') == std::string_view::npos &&
        FindSingleByte(name, '=') == std::string_view::npos && name.front() != '[';
    if (!writable)
        return std::nullopt;

    std::vector<Line> lines = SplitLines(bytes);
    const SectionSpan span = Locate(lines, sec, name);
    const std::string headerLine = "[" + std::string(sec) + "]";
    // Replaced where it stands, under the name as the file spells it.
    std::string entryLine =
        span.keyFound() ? std::string(ParseLine(lines[span.keyLine].text).name) : std::string(name);
    entryLine += '=';
    entryLine += value;

    static constexpr std::string_view kCrLf = "\r\n";
    if (span.keyFound()) {
        lines[span.keyLine].text = entryLine;
    } else if (span.found) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(span.endOfEntries),
                     Line{entryLine, kCrLf});
    } else {
        lines.push_back({headerLine, kCrLf});
        lines.push_back({entryLine, kCrLf});
    }

    std::string out;
    out.reserve(bytes.size() + entryLine.size() + headerLine.size() + 8);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i].text;
        if (!lines[i].eol.empty())
            out += lines[i].eol;
        else if (i + 1 < lines.size())
            out += kCrLf;
    }
    return out;
}

IniFile::IniFile(std::filesystem::path path) : m_path(std::move(path)) {}

std::optional<Cp932Text> IniFile::ReadRaw(const std::string& section,
                                          const std::string& key) const {
    std::string bytes;
    if (!ReadWholeFile(m_path, bytes, kMaxFileBytes))
        return std::nullopt;
    return IniLookup(bytes, section, key);
}

Cp932Text IniFile::ReadString(const std::string& section, const std::string& key,
                              const Cp932Text& def) const {
    auto v = ReadRaw(section, key);
    return v ? *v : def;
}

std::int32_t IniFile::ReadInteger(const std::string& section, const std::string& key,
                                  std::int32_t def) const {
    const auto v = ReadRaw(section, key);
    if (!v)
        return def;
    return ParseInteger(v->bytes()).value_or(def);
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const Cp932Text& value) {
    WriteStrings(section, {{key, value}});
}

void IniFile::WriteStrings(const std::string& section, const Entries& entries) {
    if (entries.empty())
        return;
    std::string bytes;
    if (!ReadWholeFile(m_path, bytes, kMaxFileBytes)) {
        // A missing file is created; one that exists but cannot be read (a folder, too large,
        // no read right) is left alone rather than replaced by a file holding only these keys.
        std::error_code ec;
        if (std::filesystem::status(m_path, ec).type() != std::filesystem::file_type::not_found)
            ThrowRefused();
        bytes.clear();
    }
    std::size_t applied = 0;
    for (const auto& [key, value] : entries) {
        std::optional<std::string> out = IniWithValue(bytes, section, key, value);
        if (!out)
            break;
        bytes = std::move(*out);
        ++applied;
    }
    if (applied > 0) {
        // The file's folder is made at the first store; one that cannot be made (a file in its
        // place) shows as the refused write below.
        const std::filesystem::path folder = m_path.parent_path();
        std::error_code ec;
        if (!folder.empty() && std::filesystem::symlink_status(folder, ec).type() ==
                                   std::filesystem::file_type::not_found)
            MakePrivateFolders(folder);
        if (!AtomicWriteFile(m_path, bytes))
            ThrowRefused();
    }
    if (applied < entries.size())
        ThrowRefused();
}

void IniFile::ThrowRefused() const {
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(m_path, ec);
    if (ec)
        full = m_path;
    const std::u8string shown = full.u8string();
    throw VellaroError(std::string(shown.begin(), shown.end()) + " に書き込めません");
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, std::int32_t value) {
    WriteString(section, key, Cp932Text(std::to_string(value)));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, Cp932Text(value ? "1" : "0"));
}

} // namespace vellaro
