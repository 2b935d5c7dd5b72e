// Reading the traces of uncaught exceptions and the data that explains them: whatever a program
// writes or the data holds, the answers stay consistent with the text they came from.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "exercise/RuntimeErrors.h"

namespace {

std::vector<std::string_view> Lines(std::string_view text) {
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

bool HasPlaceholder(std::string_view s) {
    for (std::size_t i = s.find('{'); i != std::string_view::npos; i = s.find('{', i + 1)) {
        std::size_t end = i + 1;
        while (end < s.size() &&
               ((s[end] >= 'a' && s[end] <= 'z') || (s[end] >= '0' && s[end] <= '9')))
            ++end;
        if (end > i + 1 && end < s.size() && s[end] == '}')
            return true;
    }
    return false;
}

std::string Entry(const vellaro::RuntimeExplanation& e) {
    std::string out = "[" + e.id + "]\ntitle: " + e.title + "\n";
    for (const auto& p : e.exceptions)
        out += "exception: " + p + "\n";
    for (const auto& p : e.messages)
        out += "message: " + p + "\n";
    out += "summary: " + e.summary + "\nmeaning: " + e.meaning + "\nfix: " + e.fix + "\n";
    if (!e.example.empty())
        out += "example: " + e.example + "\n";
    return out;
}

bool Same(const vellaro::RuntimeExplanation& a, const vellaro::RuntimeExplanation& b) {
    return a.id == b.id && a.title == b.title && a.exceptions == b.exceptions &&
           a.messages == b.messages && a.summary == b.summary && a.meaning == b.meaning &&
           a.fix == b.fix && a.example == b.example;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The trace: within the text, its header where it says, its frames below it; explained
    // with the built-in data, it always gets an entry, a "where" from the first frame in the
    // learner's file, and every name in the texts filled in.
    const auto lines = Lines(bytes);
    if (const auto e = vellaro::ReadUncaughtException(bytes)) {
        FUZZ_CHECK(e->firstLine < e->endLine && e->endLine <= lines.size());
        FUZZ_CHECK(lines[e->firstLine].find("Exception in thread \"") != std::string_view::npos);
        FUZZ_CHECK(!e->type.empty() && e->frames.size() < e->endLine - e->firstLine);
        const auto f = vellaro::ExplainRunOutput(bytes, "Hello", {});
        FUZZ_CHECK(f && f->entry && f->exception.type == e->type);
        std::size_t first = 0;
        for (const auto& frame : e->frames)
            if (first == 0 && frame.file == "Hello.java" && frame.line > 0)
                first = frame.line;
        FUZZ_CHECK(f->listingLine == first);
        const auto shown = vellaro::RunFailureLines(*f);
        FUZZ_CHECK(shown.size() >= 2 && shown[0].rfind(vellaro::kRunFailureHead, 0) == 0);
        if (!HasPlaceholder(e->type) && !HasPlaceholder(e->message))
            for (const auto& line : shown)
                FUZZ_CHECK(!HasPlaceholder(line));
        const auto report = vellaro::RunFailureReport(*f);
        FUZZ_CHECK(report.messages.size() == 1 &&
                   report.messages[0].explanation == report.ownExplanation.get());
    } else {
        FUZZ_CHECK(!vellaro::ExplainRunOutput(bytes, "Hello", {}));
    }

    // The data: a fault with its line and no entries, or entries that read back the same.
    const auto parsed = vellaro::ParseRuntimeExplanations(bytes);
    if (!parsed.error.empty()) {
        FUZZ_CHECK(parsed.entries.empty() && parsed.errorLine >= 1);
    } else {
        std::string again;
        for (const auto& e : parsed.entries)
            again += Entry(e);
        const auto reread = vellaro::ParseRuntimeExplanations(again);
        FUZZ_CHECK(reread.error.empty() && reread.entries.size() == parsed.entries.size());
        for (std::size_t i = 0; i < parsed.entries.size(); ++i)
            FUZZ_CHECK(Same(parsed.entries[i], reread.entries[i]));
    }

    // Matching: the first line a pattern, the rest a text. Without braces it agrees with the plain
    // definition; a capture's value put back in its place gives the text again.
    const std::size_t cut = bytes.find('\n');
    if (cut != std::string_view::npos && cut < 64 && bytes.size() - cut < 256) {
        const std::string_view pattern = bytes.substr(0, cut);
        const std::string_view text = bytes.substr(cut + 1);
        const auto values = vellaro::MatchRuntimePattern(pattern, text);
        if (pattern.find('{') == std::string_view::npos)
            FUZZ_CHECK(values.has_value() == GlobReference(pattern, text));
        const std::size_t open = pattern.find("{v}");
        if (values && open != std::string_view::npos &&
            pattern.find_first_of("*{", open + 3) == std::string_view::npos &&
            pattern.substr(0, open).find_first_of("*{") == std::string_view::npos) {
            const auto v = values->find("v");
            FUZZ_CHECK(v != values->end());
            FUZZ_CHECK(std::string(pattern.substr(0, open)) + v->second +
                           std::string(pattern.substr(open + 3)) ==
                       text);
        }
    }
    return 0;
}
