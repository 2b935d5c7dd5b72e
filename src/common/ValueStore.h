#pragma once
// The store of named values behind RegWriteStr/RegReadStr on a system without a registry: one
// small file in the system folder, apart from the settings file.
//
// The file is CP932 text with CR LF line ends, one section per key and one typed value a line:
//
//   [Vellaro\Guide]
//   Shown=sz:1
//   Count=dword:5
//
// Key and value names match without regard to ASCII case; of duplicates the first wins. A value's
// type is the tag before its first ':'. Lines the store does not understand are kept as they are.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/Cp932Text.h"

namespace vellaro {

// The file of the store in a system folder.
std::filesystem::path MachineValuesFile(const std::filesystem::path& systemFolder);

struct StoredValue {
    std::string type; // "sz", "expand_sz", "dword", ...
    Cp932Text data;
};

// The value of a name under a key, nullopt when the file, the key or the value is missing or the
// file cannot be read. Never creates or changes anything.
std::optional<StoredValue> ReadStoredValue(const std::filesystem::path& systemFolder,
                                           const Cp932Text& key, const Cp932Text& name);

enum class StoreResult {
    Written,        // the value is on disk
    KeyUnavailable, // the store could not be opened or created (no system folder, not ours, ...)
    Refused,        // the store was open but the value could not be written
};

// Writes one typed value, keeping every other line of the file. A missing system folder is made
// first (MakePrivateFolders). A key holding CR, LF or a zero
// byte cannot be opened; a name holding '=', CR or LF and data holding CR or
// LF are refused (they would corrupt the file). Data is cut at its first zero byte, as a string
// value of the registry is. errorText receives the system's reason for a refused write (UTF-8).
StoreResult WriteStoredValue(const std::filesystem::path& systemFolder, const Cp932Text& key,
                             const Cp932Text& name, const StoredValue& value,
                             std::string* errorText = nullptr);

} // namespace vellaro
