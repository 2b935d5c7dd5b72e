#pragma once
// What the core asks of the operating system beyond the standard library. Every call into the
// system that the core's rules rest on sits behind these few functions, defined in the
// platform_<system>*.cpp files (the Linux ones now), so that the core's other files build with
// any standard library and a reader finds the system calls in one place.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace vellaro::platform {

// --- Files ---------------------------------------------------------------------------------

// Writes bytes into a new file, never through a link planted at its name: what stands at the
// name is removed first. The file gets the permission bits given (a new file's default for the
// learner when none are), and is on disk when this returns. On failure nothing is left at the
// name and the system's reason is returned.
std::error_code WriteNewFile(const std::filesystem::path& file, std::string_view bytes,
                             std::optional<std::filesystem::perms> perms);

// Puts a file in place of another in one step (the target is either the old or the new file,
// never neither), and makes that lasting on disk.
std::error_code ReplaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

enum class ReadResult {
    Read,
    Failed,   // missing, not a regular file, or unreadable
    TooLarge, // more than maxBytes
};
// Reads a whole regular file without ever waiting on something that is not one (a pipe planted
// at the name, say). bytes is empty unless the answer is Read.
ReadResult ReadRegularFile(const std::filesystem::path& file, std::string& bytes,
                           std::size_t maxBytes);

// Makes one folder that only the learner can use. An error when it could not be made; the
// error compares equal to std::errc::file_exists when something already stands there.
std::error_code MakePrivateFolder(const std::filesystem::path& folder);

// True when the program may write into the file or folder, as the system judges it.
bool IsWritable(const std::filesystem::path& path);

// --- Text ----------------------------------------------------------------------------------

// CP932 and UTF-8 through the system's own converter: glibc's iconv with "CP932" on Linux (not
// "SHIFT_JIS", which glibc takes as strict JIS and which refuses ～ ① 髙); on Windows the
// system's conversion of code page 932 would stand in. The whole input is converted; on failure
// the answer is false, failedAt is the byte offset of the first character that could not be
// converted (invalid, incomplete at the end, or without a form in the target), and out holds
// what the input before it converted to. The rules on top (what counts as having a CP932 form)
// are the codec's, in Cp932.cpp.
bool SystemCp932ToUtf8(std::string_view cp932, std::string& out, std::size_t& failedAt);
bool SystemUtf8ToCp932(std::string_view utf8, std::string& out, std::size_t& failedAt);

// --- Environment ---------------------------------------------------------------------------

// The platform's list of folders where programs are looked for, as the system writes it (the
// value of PATH); empty when there is none.
std::string ProgramSearchPath();

// The value of an environment variable of the program; nullopt when it is not set.
std::optional<std::string> EnvironmentValue(const char* name);

} // namespace vellaro::platform
