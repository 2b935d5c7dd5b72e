// Reading the compiler's messages and the explanation data: whatever the capture or the data
// holds, the reader's answers stay consistent with the lines they came from.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "exercise/Compile.h"
#include "exercise/CompileMessages.h"

namespace {

std::string Normalize(std::string_view s) {
    std::string out;
    for (char c : s) {
        const bool blank = c == ' ' || c == '\t';
        if (blank && (out.empty() || out.back() == ' '))
            continue;
        out += blank ? ' ' : c;
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string Entry(const vellaro::Explanation& e) {
    std::string out = "[" + e.id + "]\ntitle: " + e.title + "\n";
    for (const auto& p : e.messages)
        out += "message: " + p + "\n";
    for (const auto& p : e.symbols)
        out += "symbol: " + p + "\n";
    for (const auto& p : e.locations)
        out += "location: " + p + "\n";
    for (const auto& p : e.sources)
        out += "source: " + p + "\n";
    for (const auto& p : e.details)
        out += "detail: " + p + "\n";
    if (!e.when.empty())
        out += "when: " + e.when + "\n";
    if (!e.leads.empty())
        out += "leads: " + e.leads + "\n";
    return out + "summary: " + e.summary + "\nmeaning: " + e.meaning + "\ncause: " + e.cause +
           "\nfix: " + e.fix + "\nexample: " + e.example + "\n";
}

bool Same(const vellaro::Explanation& a, const vellaro::Explanation& b) {
    return a.id == b.id && a.title == b.title && a.messages == b.messages &&
           a.symbols == b.symbols && a.locations == b.locations && a.when == b.when &&
           a.sources == b.sources && a.details == b.details && a.leads == b.leads &&
           a.summary == b.summary && a.meaning == b.meaning && a.cause == b.cause &&
           a.fix == b.fix && a.example == b.example;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The pane: messages in order, each within the pane; a link only to our own file's lines;
    // stepping forward and back visits exactly the linked messages.
    const vellaro::Cp932Lines lines = vellaro::SplitCaptureLines(bytes);
    const vellaro::CompileReport report = vellaro::ReadCompileMessages(lines, "Hello");
    const auto& builtIn = vellaro::BuiltInExplanations();
    std::vector<std::size_t> linked;
    std::size_t after = 0;
    for (const auto& m : report.messages) {
        FUZZ_CHECK(m.paneLine >= after && m.paneLine < m.endLine && m.endLine <= lines.size());
        after = m.endLine;
        FUZZ_CHECK(!m.inSource ||
                   (m.line > 0 && (m.file == "Hello.java" || m.file == "./Hello.java")));
        FUZZ_CHECK(!m.explanation || (m.explanation >= builtIn.data() &&
                                      m.explanation < builtIn.data() + builtIn.size()));
        FUZZ_CHECK(vellaro::MessageStartingAt(report, m.paneLine) == &m);
        if (m.inSource)
            linked.push_back(m.paneLine);
    }
    std::optional<std::size_t> at;
    for (std::size_t line : linked) {
        at = vellaro::NextSourceMessageLine(report, at, true);
        FUZZ_CHECK(at == line);
    }
    FUZZ_CHECK(!vellaro::NextSourceMessageLine(report, at, true));
    at.reset();
    for (auto it = linked.rbegin(); it != linked.rend(); ++it) {
        at = vellaro::NextSourceMessageLine(report, at, false);
        FUZZ_CHECK(at == *it);
    }
    FUZZ_CHECK(!vellaro::NextSourceMessageLine(report, at, false));

    // The data: either a fault with its line and no entries, or entries that read back the same
    // when written out again.
    const vellaro::ExplanationData parsed = vellaro::ParseExplanations(bytes);
    if (!parsed.error.empty()) {
        FUZZ_CHECK(parsed.entries.empty() && parsed.errorLine >= 1);
    } else {
        std::string again;
        for (const auto& e : parsed.entries)
            again += Entry(e);
        const vellaro::ExplanationData reread = vellaro::ParseExplanations(again);
        FUZZ_CHECK(reread.error.empty() && reread.entries.size() == parsed.entries.size());
        for (std::size_t i = 0; i < parsed.entries.size(); ++i)
            FUZZ_CHECK(Same(parsed.entries[i], reread.entries[i]));
    }

    // Matching: the first line is a pattern, the second a message text; the reader agrees with
    // the plain definition of a match.
    const std::size_t cut = bytes.find('\n');
    if (cut != std::string_view::npos && cut < 64 && bytes.size() - cut < 256) {
        const std::string pattern = Normalize(bytes.substr(0, cut));
        const std::string_view text = bytes.substr(cut + 1);
        if (!pattern.empty() && pattern.find('\r') == std::string::npos &&
            text.find('\r') == std::string_view::npos) {
            const auto one = vellaro::ParseExplanations(
                "[a]\ntitle: t\nmessage: " + pattern +
                "\nsummary: s\nmeaning: m\ncause: c\nfix: f\nexample: e\n");
            FUZZ_CHECK(one.error.empty());
            const bool found = vellaro::FindExplanation(one.entries, text, {}) != nullptr;
            FUZZ_CHECK(found == GlobReference(pattern, Normalize(text)));
        }
    }
    return 0;
}
