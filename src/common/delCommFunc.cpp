#include "common/delCommFunc.h"

#include <optional>
#include <system_error>

namespace vellaro {

fs::path CurSrcPath;
std::string ShellCommand;

namespace {

std::optional<FolderSource>& Source() {
    static std::optional<FolderSource> source;
    return source;
}

EventSeam*& Seam() {
    static EventSeam* seam = nullptr;
    return seam;
}

fs::path WithoutTrailingSeparators(const fs::path& p) {
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

bool MakeFolderFrom(const fs::path& p) {
    std::error_code ec;
    if (fs::is_directory(p, ec))
        return true;
    const fs::path parent = p.parent_path();
    if (parent == p) // the root
        return true;
    if (parent.empty() || !MakeFolderFrom(parent))
        return false;
    const bool created = fs::create_directory(p, ec);
    if (ec)
        return false;
    // Not created without an error: it appeared meanwhile; good if it is a folder.
    return created || fs::is_directory(p, ec);
}

} // namespace

const FolderSource& CurrentFolderSource() {
    auto& source = Source();
    if (!source)
        source = SystemFolders();
    return *source;
}

void SetFolderSource(const FolderSource& source) {
    Source() = source;
}

void SetEventSeam(EventSeam* seam) {
    Seam() = seam;
}

bool ExistFile(const fs::path& p) {
    std::error_code ec;
    if (p.empty())
        return false;
    const auto st = fs::status(p, ec);
    return !ec && fs::exists(st) && !fs::is_directory(st);
}

bool ExistFolder(const fs::path& p) {
    std::error_code ec;
    return !p.empty() && fs::is_directory(p, ec);
}

bool MakeFolder(const fs::path& p) {
    try {
        if (p.empty())
            return false;
        // A relative path is taken from the current folder, so that its top has a parent too.
        std::error_code ec;
        const fs::path absolute = fs::absolute(p, ec);
        if (ec)
            return false;
        return MakeFolderFrom(WithoutTrailingSeparators(absolute));
    } catch (...) {
        return false;
    }
}

fs::path ExePath() {
    const fs::path& exe = CurrentFolderSource().exe;
    return exe.empty() ? exe : WithoutTrailingSeparators(exe) / "";
}

fs::path SysPath() {
    return WithoutTrailingSeparators(CurrentFolderSource().system);
}

fs::path DefaultWorkPath() {
    return WithoutTrailingSeparators(CurrentFolderSource().work);
}

void ChangeFolder(const fs::path& p) {
    if (p.empty())
        return;
    std::error_code ec;
    fs::current_path(p, ec); // a failure leaves the current folder as it was
}

std::string IntToText(std::int32_t v) {
    return std::to_string(v);
}

std::int32_t TextToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    return ParseInt32Digits(text.substr(i), hex, negative).value_or(0);
}

std::optional<std::int32_t> ParseInt32Digits(std::string_view digits, bool hex, bool negative) {
    if (digits.empty())
        return std::nullopt;
    // Hexadecimal digits give the 32 bits themselves ($FFFFFFFF is -1); decimal digits must lie
    // in the range of a signed 32-bit integer.
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t v = 0;
    for (const char c : digits) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        v = v * (hex ? 16 : 10) + digit;
        if (v > limit)
            return std::nullopt;
    }
    auto bits = static_cast<std::uint32_t>(v);
    if (negative)
        bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

void PumpEvents() {
    if (EventSeam* seam = Seam())
        seam->pumpEvents();
}

void AppTerminate() {
    if (EventSeam* seam = Seam())
        seam->appTerminate();
}

void ShellOpen(const std::string& target) {
    if (EventSeam* seam = Seam())
        seam->shellOpen(target);
}

} // namespace vellaro
