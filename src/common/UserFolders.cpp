#include "common/UserFolders.h"

#include <string>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/Cp932.h"

namespace vellaro {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDocumentsVariable = "XDG_DOCUMENTS_DIR";
constexpr std::string_view kHomeReference = "$HOME";
// The file lists a handful of folders; anything far larger is not one.
constexpr std::size_t kMaxUserDirsBytes = 64 * 1024;
// The longest value the settings file reads back whole.
constexpr std::size_t kMaxStoredValueBytes = 2047;

std::string_view SkipBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

fs::path Utf8Path(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// The folder one line assigns to XDG_DOCUMENTS_DIR, or nullopt.
std::optional<fs::path> DocumentsAssignment(std::string_view line, const fs::path& home) {
    line = SkipBlanks(line);
    if (!line.starts_with(kDocumentsVariable))
        return std::nullopt;
    line = SkipBlanks(line.substr(kDocumentsVariable.size()));
    if (!line.starts_with('='))
        return std::nullopt;
    line = SkipBlanks(line.substr(1));
    if (!line.starts_with('"'))
        return std::nullopt;
    line.remove_prefix(1);

    std::string value;
    bool closed = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            value += line[++i];
        } else if (line[i] == '"') {
            closed = true;
            break;
        } else {
            value += line[i];
        }
    }
    if (!closed)
        return std::nullopt;

    std::string_view v = value;
    fs::path folder;
    if (v.starts_with(kHomeReference) &&
        (v.size() == kHomeReference.size() || v[kHomeReference.size()] == '/')) {
        v.remove_prefix(kHomeReference.size());
        while (v.starts_with('/'))
            v.remove_prefix(1);
        folder = v.empty() ? home : home / Utf8Path(std::string(v));
    } else if (v.starts_with('/')) {
        folder = Utf8Path(value);
    } else {
        return std::nullopt;
    }
    // "$HOME/Documents/" names the same folder as "$HOME/Documents".
    std::string s = folder.string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return fs::path(s);
}

} // namespace

fs::path ConfigFolder(const char* configHome, const fs::path& home) {
    if (configHome && configHome[0] == '/')
        return configHome;
    return home / ".config";
}

std::optional<fs::path> DocumentsFolderIn(std::string_view userDirs, const fs::path& home) {
    std::optional<fs::path> found;
    while (!userDirs.empty()) {
        const std::size_t end = userDirs.find('\n');
        std::string_view line = userDirs.substr(0, end);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (auto folder = DocumentsAssignment(line, home))
            found = std::move(folder);
        if (end == std::string_view::npos)
            break;
        userDirs.remove_prefix(end + 1);
    }
    return found;
}

bool StorableAsWorkFolder(const fs::path& folder) {
    const std::u8string u8 = folder.u8string();
    const auto cp932 = Utf8ToCp932(std::string(u8.begin(), u8.end()));
    return cp932 && cp932->size() <= kMaxStoredValueBytes;
}

fs::path DefaultWorkFolderFor(const fs::path& home, const fs::path& configFolder) {
    const fs::path below = fs::path("Vellaro") / "java source";
    std::string text;
    if (ReadWholeFile(configFolder / "user-dirs.dirs", text, kMaxUserDirsBytes)) {
        if (const auto documents = DocumentsFolderIn(text, home)) {
            std::error_code ec;
            const fs::path candidate = *documents / below;
            if (fs::is_directory(*documents, ec) && StorableAsWorkFolder(candidate))
                return candidate;
        }
    }
    return home / below;
}

} // namespace vellaro
