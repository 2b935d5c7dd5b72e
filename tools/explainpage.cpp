// explainpage: builds the help page of compiler-message explanations, or with --runtime the page
// of uncaught exceptions, from the data compiled into the program, so that the help file and the
// program always show the same explanations.
//
//   explainpage [--runtime] TEMPLATE OUTPUT
//
// TEMPLATE is the page as UTF-8 HTML with the line "<!-- explanations -->" where the entries go.
// The tool fails, naming the line, when the compiled-in data cannot be read.

#include <cstdio>
#include <string>
#include <string_view>

#include "common/AtomicFile.h"
#include "exercise/CompileMessages.h"
#include "exercise/RuntimeErrors.h"

namespace {

constexpr std::string_view kPlaceholder = "<!-- explanations -->";

int Fail(const std::string& message) {
    std::fprintf(stderr, "explainpage: %s\n", message.c_str());
    return 1;
}

std::string Html(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Entries(const std::vector<vellaro::Explanation>& entries) {
    std::string out = "<ul>\n";
    for (const auto& e : entries)
        out += "<li><a href=\"#" + e.id + "\">" + Html(e.title) + "</a></li>\n";
    out += "</ul>\n";
    for (const auto& e : entries) {
        out += "\n<h3><a name=\"" + e.id + "\">" + Html(e.title) + "</a></h3>\n";
        out += "<p><b>" + Html(e.summary) + "</b></p>\n";
        out += "<dl>\n";
        out += "<dt>意味</dt><dd>" + Html(e.meaning) + "</dd>\n";
        out += "<dt>よくある原因</dt><dd>" + Html(e.cause) + "</dd>\n";
        out += "<dt>直し方</dt><dd>" + Html(e.fix) + "</dd>\n";
        out += "<dt>例</dt><dd><pre>" + Html(e.example) + "</pre></dd>\n";
        out += "</dl>\n";
    }
    return out;
}

std::string RuntimeEntries(const std::vector<vellaro::RuntimeExplanation>& entries) {
    std::string out = "<ul>\n";
    for (const auto& e : entries)
        out += "<li><a href=\"#" + e.id + "\">" + Html(e.title) + "</a></li>\n";
    out += "</ul>\n";
    for (const auto& e : entries) {
        out += "\n<h3><a name=\"" + e.id + "\">" + Html(e.title) + "</a></h3>\n";
        out += "<p><b>" + Html(e.summary) + "</b></p>\n";
        out += "<dl>\n";
        out += "<dt>意味</dt><dd>" + Html(e.meaning) + "</dd>\n";
        out += "<dt>直し方</dt><dd>" + Html(e.fix) + "</dd>\n";
        if (!e.example.empty())
            out += "<dt>例</dt><dd><pre>" + Html(e.example) + "</pre></dd>\n";
        out += "</dl>\n";
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const bool runtime = argc == 4 && std::string_view(argv[1]) == "--runtime";
    if (runtime) {
        --argc;
        ++argv;
    }
    if (argc != 3)
        return Fail("usage: explainpage [--runtime] TEMPLATE OUTPUT");
    std::string entries;
    if (runtime) {
        const vellaro::RuntimeExplanationData data =
            vellaro::ParseRuntimeExplanations(vellaro::BuiltInRuntimeExplanationsText());
        if (!data.error.empty())
            return Fail("runtime.txt:" + std::to_string(data.errorLine) + ": " + data.error);
        entries = RuntimeEntries(data.entries);
    } else {
        const vellaro::ExplanationData data =
            vellaro::ParseExplanations(vellaro::BuiltInExplanationsText());
        if (!data.error.empty())
            return Fail("explanations.txt:" + std::to_string(data.errorLine) + ": " + data.error);
        entries = Entries(data.entries);
    }

    std::string page;
    if (!vellaro::ReadWholeFile(argv[1], page))
        return Fail(std::string("cannot read ") + argv[1]);
    const std::size_t at = page.find(kPlaceholder);
    if (at == std::string::npos)
        return Fail(std::string(argv[1]) + " has no line " + std::string(kPlaceholder));
    page.replace(at, kPlaceholder.size(), entries);

    std::string error;
    if (!vellaro::AtomicWriteFile(argv[2], page, &error))
        return Fail(std::string("cannot write ") + argv[2] + ": " + error);
    return 0;
}
