#include "trainer/LessonSource.h"

#include "trainer/LessonText.h"

namespace vellaro {

namespace {

std::vector<std::string> Words(std::string_view s) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t')
            ++i;
        if (i > start)
            words.emplace_back(s.substr(start, i - start));
    }
    return words;
}

enum class Place { None, Main, Member, Top, File, Javac };

std::vector<std::string>& Part(LessonProgram& p, Place place) {
    switch (place) {
    case Place::Main:
        return p.main;
    case Place::Member:
        return p.member;
    case Place::Top:
        return p.top;
    case Place::File:
        return p.file;
    default:
        return p.javacSays;
    }
}

} // namespace

LessonSource ParseLessonSource(std::string_view text) {
    LessonSource out;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    Place place = Place::None;
    std::vector<std::string> targets;
    auto fail = [&](std::size_t number, const std::string& why) {
        if (out.error.empty())
            out.error = "line " + std::to_string(number) + ": " + why;
    };
    // Takes an example line into the programs of the open region.
    auto take = [&](const std::string& line) {
        if (line.empty() || line.front() != '\t')
            return; // prose between the examples
        for (const std::string& name : targets)
            Part(out.programs[name], place).push_back(line.substr(1));
    };

    const std::vector<std::string> lines = SplitLessonLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t number = i + 1;
        if (!line.starts_with("#")) {
            out.lines.push_back(line);
            if (place != Place::None)
                take(line);
            continue;
        }
        if (line.starts_with("#+")) {
            if (place == Place::None)
                fail(number, "a hidden line outside a region");
            else
                take(line.substr(2));
            continue;
        }
        const std::vector<std::string> words = Words(std::string_view(line).substr(1));
        if (words.empty() || line[1] == ' ')
            continue; // a comment
        if (words[0] == "end") {
            if (place == Place::None)
                fail(number, "#end without a region");
            place = Place::None;
            targets.clear();
            continue;
        }
        if (place != Place::None)
            fail(number, "a region opened before the last one ended");
        targets.clear();
        place = Place::None;
        if (words[0] == "javac" && words.size() == 2) {
            place = Place::Javac;
            targets = {words[1]};
        } else if (words[0] == "java" && words.size() >= 3) {
            const std::string& where = words[1];
            targets.assign(words.begin() + 2, words.end());
            place = where == "main"     ? Place::Main
                    : where == "member" ? Place::Member
                    : where == "top"    ? Place::Top
                    : where == "file"   ? Place::File
                                        : Place::None;
            if (place == Place::File) {
                if (words.size() != 4) {
                    fail(number, "#java file takes a program and a file stem");
                    place = Place::None;
                } else {
                    targets = {words[2]};
                    out.programs[words[2]].fileStem = words[3];
                }
            }
        }
        if (place == Place::None)
            fail(number, "unknown mark: " + line);
        for (const std::string& name : targets)
            if (out.programs[name].fileStem.empty())
                out.programs[name].fileStem = name;
    }
    if (place != Place::None && out.error.empty())
        out.error = "the last region has no #end";
    return out;
}

std::vector<std::string> LessonLinesOf(std::string_view text) {
    return ParseLessonSource(text).lines;
}

} // namespace vellaro
