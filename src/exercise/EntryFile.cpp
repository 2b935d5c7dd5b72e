#include "exercise/EntryFile.h"

#include <algorithm>
#include <vector>

#include "exercise/DataText.h"

namespace vellaro {

std::optional<EntryFileFault> ReadEntryFile(std::string_view utf8, EntryFields& fields) {
    using text::Trim;
    if (text::StartsWith(utf8, "\xEF\xBB\xBF"))
        utf8.remove_prefix(3);

    std::vector<std::string> taken;
    std::optional<std::string> open; // the open entry's id
    std::size_t openLine = 0;
    // The open entry is complete; a fault stands at its "[id]" line.
    auto take = [&]() -> std::optional<EntryFileFault> {
        if (!open)
            return std::nullopt;
        if (std::string fault = fields.take(); !fault.empty())
            return EntryFileFault{openLine, std::move(fault)};
        taken.push_back(std::move(*open));
        open.reset();
        return std::nullopt;
    };

    std::size_t lineNo = 0;
    std::size_t start = 0;
    while (start <= utf8.size()) {
        std::size_t end = utf8.find('\n', start);
        if (end == std::string_view::npos)
            end = utf8.size();
        const std::string_view line = Trim(utf8.substr(start, end - start));
        start = end + 1;
        ++lineNo;
        if (line.empty() || line.front() == '#')
            continue;

        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3)
                return EntryFileFault{lineNo, "an entry's first line is [id]"};
            const std::string_view id = line.substr(1, line.size() - 2);
            if (!std::all_of(id.begin(), id.end(), text::IsIdChar))
                return EntryFileFault{lineNo, "an id holds only a-z, 0-9 and -"};
            if (auto fault = take())
                return fault;
            if (std::find(taken.begin(), taken.end(), id) != taken.end())
                return EntryFileFault{lineNo, "the id [" + std::string(id) + "] is taken"};
            open = std::string(id);
            openLine = lineNo;
            fields.open(id);
            continue;
        }

        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return EntryFileFault{lineNo, "a line is \"key: value\""};
        if (!open)
            return EntryFileFault{lineNo, "a field stands before the first [id]"};
        const std::string_view key = Trim(line.substr(0, colon));
        const std::string_view value = Trim(line.substr(colon + 1));
        if (value.empty())
            return EntryFileFault{lineNo, "the field " + std::string(key) + " is empty"};
        if (std::string fault = fields.field(key, value); !fault.empty())
            return EntryFileFault{lineNo, std::move(fault)};
    }
    if (auto fault = take())
        return fault;
    if (taken.empty())
        return EntryFileFault{lineNo, "no entries"};
    return std::nullopt;
}

std::string GivenTwice(std::string_view key) {
    return "the field " + std::string(key) + " is given twice";
}

std::string UnknownField(std::string_view key) {
    return "unknown field " + std::string(key);
}

} // namespace vellaro
