#pragma once
// Small readers of text lines shared by the readers of the project's data files and of what the
// JDK prints: blanks, the ends of a line, and the characters of an entry's id.

#include <string_view>

namespace vellaro::text {

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

inline std::string_view SkipBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

// Blanks at either end, and the CR of a line that ended in CR LF.
inline std::string_view Trim(std::string_view s) {
    s = SkipBlanks(s);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

inline bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

inline bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// An entry's id: lower-case ASCII letters, digits and "-".
inline bool IsIdChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

} // namespace vellaro::text
