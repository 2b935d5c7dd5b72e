#include "common/ValueStore.h"

#include <system_error>
#include <vector>

#include "common/AtomicFile.h"
#include "common/Platform.h"

namespace vellaro {
namespace {

namespace fs = std::filesystem;

// The store is a few lines; anything far larger is not ours and is left alone.
constexpr std::size_t kMaxStoreBytes = 1024 * 1024;

bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Names match without regard to ASCII case. The second byte of a double-byte CP932 character can
// look like an ASCII letter, so it is compared exactly.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (IsLeadByte(ca) && i + 1 < a.size()) {
            if (ca != cb || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (FoldAscii(ca) != FoldAscii(cb)) {
            return false;
        }
    }
    return true;
}

bool HasAny(std::string_view s, std::string_view chars) {
    return s.find_first_of(chars) != std::string_view::npos;
}

std::vector<std::string> SplitLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        pos = end + 1;
    }
    return lines;
}

// The key of a section line "[key]", or nullopt for any other line.
std::optional<std::string_view> SectionKey(std::string_view line) {
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
        return line.substr(1, line.size() - 2);
    return std::nullopt;
}

// The name of a value line "name=type:data", or nullopt for any other line.
std::optional<std::string_view> ValueName(std::string_view line) {
    auto eq = line.find('=');
    if (eq == std::string_view::npos || SectionKey(line))
        return std::nullopt;
    return line.substr(0, eq);
}

StoredValue ParseValue(std::string_view line) {
    std::string_view rest = line.substr(line.find('=') + 1);
    auto colon = rest.find(':');
    if (colon == std::string_view::npos)
        return {std::string(), Cp932Text(rest)}; // no type: of no type a string reader accepts
    return {std::string(rest.substr(0, colon)), Cp932Text(rest.substr(colon + 1))};
}

// Index of the first line of the section of a key (the line after its header), or npos.
std::size_t FindSection(const std::vector<std::string>& lines, std::string_view key) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto k = SectionKey(lines[i]);
        if (k && SameName(*k, key))
            return i + 1;
    }
    return std::string::npos;
}

std::size_t SectionEnd(const std::vector<std::string>& lines, std::size_t begin) {
    std::size_t i = begin;
    while (i < lines.size() && !SectionKey(lines[i]))
        ++i;
    return i;
}

} // namespace

fs::path MachineValuesFile(const fs::path& systemFolder) {
    return systemFolder / "machine-values.ini";
}

std::optional<StoredValue> ReadStoredValue(const fs::path& systemFolder, const Cp932Text& keyText,
                                           const Cp932Text& nameText) {
    const std::string_view key = keyText.bytes();
    const std::string_view name = nameText.bytes();
    std::string bytes;
    if (systemFolder.empty() ||
        !ReadWholeFile(MachineValuesFile(systemFolder), bytes, kMaxStoreBytes))
        return std::nullopt;
    const auto lines = SplitLines(bytes);
    const std::size_t begin = FindSection(lines, key);
    if (begin == std::string::npos)
        return std::nullopt;
    const std::size_t end = SectionEnd(lines, begin);
    for (std::size_t i = begin; i < end; ++i) {
        auto n = ValueName(lines[i]);
        if (n && SameName(*n, name))
            return ParseValue(lines[i]);
    }
    return std::nullopt;
}

StoreResult WriteStoredValue(const fs::path& systemFolder, const Cp932Text& keyText,
                             const Cp932Text& nameText, const StoredValue& value,
                             std::string* errorText) {
    const std::string_view key = keyText.bytes();
    const std::string_view name = nameText.bytes();
    using namespace std::string_view_literals;
    // Opening the key: the system folder is made when it is missing, and it must be ours to
    // write, and so must the file when it exists. A folder that cannot be made (a file in its
    // place) or is not ours stops here.
    if (systemFolder.empty() || HasAny(key, "\r\n\0"sv))
        return StoreResult::KeyUnavailable;
    std::error_code ec;
    if (fs::symlink_status(systemFolder, ec).type() == fs::file_type::not_found)
        MakePrivateFolders(systemFolder);
    if (!fs::is_directory(systemFolder, ec) || !platform::IsWritable(systemFolder))
        return StoreResult::KeyUnavailable;
    const fs::path file = MachineValuesFile(systemFolder);
    std::string bytes;
    const auto st = fs::symlink_status(file, ec);
    if (!ec && fs::exists(st)) {
        if (!ReadWholeFile(file, bytes, kMaxStoreBytes) || !platform::IsWritable(file))
            return StoreResult::KeyUnavailable;
    }

    // From here on the key is open: what cannot be written is a refused write.
    std::string_view data = value.data.bytes();
    data = data.substr(0, data.find('\0'));
    if (name.empty() || HasAny(name, "=\r\n\0"sv) || HasAny(data, "\r\n"sv) ||
        HasAny(value.type, ":=\r\n\0"sv)) {
        if (errorText)
            *errorText = "the name or value holds a character the store cannot keep";
        return StoreResult::Refused;
    }
    const std::string line = std::string(name) + "=" + value.type + ":" + std::string(data);

    auto lines = SplitLines(bytes);
    const std::size_t begin = FindSection(lines, key);
    if (begin == std::string::npos) {
        if (!lines.empty() && !lines.back().empty())
            lines.emplace_back();
        lines.push_back("[" + std::string(key) + "]");
        lines.push_back(line);
    } else {
        const std::size_t end = SectionEnd(lines, begin);
        bool replaced = false;
        for (std::size_t i = begin; i < end && !replaced; ++i) {
            auto n = ValueName(lines[i]);
            if (n && SameName(*n, name)) {
                // Keep the name as first written, as the registry keeps a value name's case.
                lines[i] = std::string(*n) + "=" + value.type + ":" + std::string(data);
                replaced = true;
            }
        }
        if (!replaced) {
            std::size_t at = end;
            while (at > begin && lines[at - 1].empty())
                --at; // keep the blank line that separates sections after the new value
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line);
        }
    }

    std::string out;
    for (const std::string& l : lines)
        out += l + "\r\n";
    if (!AtomicWriteFile(file, out, errorText))
        return StoreResult::Refused;
    return StoreResult::Written;
}

} // namespace vellaro
