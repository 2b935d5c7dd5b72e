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
#include <vector>

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

// One line of an entry's list: its label and text, the example kept as it is laid out.
struct Row {
    const char* label;
    const std::string& text;
    bool pre = false;
};

std::vector<Row> Rows(const vellaro::Explanation& e) {
    return {
        {"意味", e.meaning}, {"よくある原因", e.cause}, {"直し方", e.fix}, {"例", e.example, true}};
}

std::vector<Row> Rows(const vellaro::RuntimeExplanation& e) {
    std::vector<Row> rows{{"意味", e.meaning}, {"直し方", e.fix}};
    if (!e.example.empty())
        rows.push_back({"例", e.example, true});
    return rows;
}

// The index of the titles, then each entry under its anchor.
template <class Entry> std::string Entries(const std::vector<Entry>& entries) {
    std::string out = "<ul>\n";
    for (const auto& e : entries)
        out += "<li><a href=\"#" + e.id + "\">" + Html(e.title) + "</a></li>\n";
    out += "</ul>\n";
    for (const auto& e : entries) {
        out += "\n<h3><a name=\"" + e.id + "\">" + Html(e.title) + "</a></h3>\n";
        out += "<p><b>" + Html(e.summary) + "</b></p>\n";
        out += "<dl>\n";
        for (const Row& row : Rows(e)) {
            const std::string text = Html(row.text);
            out += std::string("<dt>") + row.label + "</dt><dd>" +
                   (row.pre ? "<pre>" + text + "</pre>" : text) + "</dd>\n";
        }
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
        entries = Entries(data.entries);
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
