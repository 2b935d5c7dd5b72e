#include "common/AtomicFile.h"

#include <system_error>

#include "common/Platform.h"

namespace vellaro {

namespace {

bool Fail(std::string* errorText, std::error_code ec) {
    if (errorText)
        *errorText = ec.message();
    return false;
}

} // namespace

bool AtomicWriteFile(const std::filesystem::path& target, std::string_view bytes,
                     std::string* errorText) {
    const std::filesystem::path dir =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    // The temporary file must live in the same folder so that the rename replaces atomically.
    // Its name is fixed, so a write cut short by a kill leaves at most one stray file per
    // target, which the next write replaces.
    const std::filesystem::path part = dir / ("." + target.filename().string() + ".part");
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(target, ec);
    std::optional<std::filesystem::perms> perms; // an existing file keeps its permission bits
    if (std::filesystem::exists(st)) {
        if (!std::filesystem::is_regular_file(st))
            return Fail(errorText, std::make_error_code(std::filesystem::is_directory(st)
                                                            ? std::errc::is_a_directory
                                                            : std::errc::invalid_argument));
        perms = st.permissions();
    }
    ec = platform::WriteNewFile(part, bytes, perms);
    if (ec)
        return Fail(errorText, ec);
    ec = platform::ReplaceFile(part, target);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(part, ignored);
        return Fail(errorText, ec);
    }
    return true;
}

bool MakePrivateFolders(const std::filesystem::path& folder) {
    std::error_code ec;
    if (folder.empty())
        return false;
    if (std::filesystem::is_directory(folder, ec))
        return true;
    const std::filesystem::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder && !MakePrivateFolders(parent))
        return false;
    const std::error_code made = platform::MakePrivateFolder(folder);
    // Made meanwhile by someone else: good if it is a folder.
    return !made || (made == std::errc::file_exists && std::filesystem::is_directory(folder, ec));
}

bool ReadWholeFile(const std::filesystem::path& file, std::string& bytes, std::size_t maxBytes,
                   bool* tooLarge) {
    const platform::ReadResult result = platform::ReadRegularFile(file, bytes, maxBytes);
    if (tooLarge)
        *tooLarge = result == platform::ReadResult::TooLarge;
    return result == platform::ReadResult::Read;
}

} // namespace vellaro
