#include "exercise/JavaComp.h"

#include <charconv>

namespace vellaro {

namespace {
constexpr std::string_view kShorthand = "?(";
constexpr std::string_view kPrintCall = "System.out.println (";
} // namespace

TextLines SplitStatementLines(std::string_view text) {
    TextLines lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(text.substr(start, i - start));
        i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    // What follows the last line break is a line of its own unless it is empty: a final line
    // break ends the last line rather than starting a new one.
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::string ExpandPrintShorthand(std::string_view line) {
    const std::size_t at = line.find(kShorthand);
    if (at == std::string_view::npos)
        return std::string(line);
    std::string out;
    out.reserve(line.size() + kPrintCall.size());
    out.append(line.substr(0, at));
    out.append(kPrintCall);
    out.append(line.substr(at + kShorthand.size()));
    return out;
}

TextLines MakeJavaSource(std::string_view className, const TextLines& statements) {
    TextLines source;
    source.reserve(statements.size() + kSourceLinesBeforeStatements + kSourceLinesAfterStatements);
    source.emplace_back("import java.io.*;");
    source.emplace_back("import java.util.*;");
    source.emplace_back();
    std::string classLine = "public class ";
    classLine.append(className);
    classLine.append(" {");
    source.push_back(std::move(classLine));
    source.emplace_back("\tpublic static void main(String[] args) {");
    for (const std::string& statement : statements)
        source.push_back("\t\t" + ExpandPrintShorthand(statement));
    source.emplace_back("\t}");
    source.emplace_back("}");
    return source;
}

std::size_t StatementOfSourceLine(std::size_t sourceLine, std::size_t statementCount) {
    if (sourceLine <= kSourceLinesBeforeStatements)
        return 0;
    const std::size_t statement = sourceLine - kSourceLinesBeforeStatements;
    return statement <= statementCount ? statement : 0;
}

std::string ListingLine(std::size_t number, std::string_view line) {
    char digits[24];
    const auto result = std::to_chars(std::begin(digits), std::end(digits), number);
    const std::size_t width = static_cast<std::size_t>(result.ptr - digits);
    std::string out;
    out.reserve(line.size() + width + 7);
    if (width < 3)
        out.append(3 - width, ' ');
    out.append(digits, width);
    out.append(" :  ");
    out.append(line);
    return out;
}

TextLines MakeSourceListing(const TextLines& source) {
    TextLines listing;
    listing.reserve(source.size());
    std::size_t number = 0;
    for (const std::string& line : source)
        listing.push_back(ListingLine(++number, line));
    return listing;
}

std::string JoinLines(const TextLines& lines) {
    std::size_t total = 0;
    for (const std::string& line : lines)
        total += line.size() + 1;
    std::string out;
    out.reserve(total);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out.push_back('\n');
        out.append(lines[i]);
    }
    return out;
}

} // namespace vellaro
