#pragma once
// Whole-file writes that are atomic: the file on disk is always either the old or the new whole
// file, never torn, even if the process is killed mid-write.
#include <filesystem>
#include <string>
#include <string_view>

namespace vellaro {

// Writes bytes to a temporary file beside the target, flushes it to disk and renames it over the
// target (keeping an existing file's permission bits). Returns false on any failure, leaving the
// target as it was; errorText (if given) receives the system's reason in UTF-8.
bool AtomicWriteFile(const std::filesystem::path& target, std::string_view bytes,
                     std::string* errorText = nullptr);

// Reads a whole regular file. Returns false if it cannot be opened or read (or is not a
// regular file). maxBytes guards against huge files: a larger file fails with tooLarge set.
bool ReadWholeFile(const std::filesystem::path& file, std::string& bytes,
                   std::size_t maxBytes = std::size_t(-1), bool* tooLarge = nullptr);

// Makes a missing folder for files the program keeps for the learner alone, and every missing
// folder above it, each with mode 0700, so that a folder made on the learner's behalf (even a
// fresh ~/.config) is theirs alone. Folders that exist are left as they are. True when the folder
// is there afterwards.
bool MakePrivateFolders(const std::filesystem::path& folder);

} // namespace vellaro
