#pragma once
// A profile store for one INI file that behaves as the system profile functions do:
// section and key names match without regard to case, the first of duplicate keys wins,
// lines ending in CR LF or LF alone are read, values are trimmed and at most 2047 bytes long
// (never splitting a double-byte character). Values are CP932 text; the program's section and key
// names are ASCII, which CP932 shares.
// Each write replaces the whole file atomically, once per call however many keys it writes; a
// refused write throws VellaroError("<full path> に書き込めません").

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Cp932Text.h"

namespace vellaro {

// The text layer under IniFile, on a file's bytes. IniLookup gives the trimmed, limited value, or
// nullopt when section or key is missing. IniWithValue gives the bytes with the key written, or
// nullopt when the names or the value cannot be written so that they read back the same.
std::optional<Cp932Text> IniLookup(std::string_view bytes, std::string_view section,
                                   std::string_view key);
std::optional<std::string> IniWithValue(std::string_view bytes, std::string_view section,
                                        std::string_view key, const Cp932Text& value);
// Whether a value written to the file is read back as it is: it holds no line break or NUL,
// neither begins nor ends with a blank, and is at most 2047 bytes long.
bool IniValueReadsBack(const Cp932Text& value);
// Decimal, "0x"/"0X" (more than two characters) or "$" hexadecimal.
std::optional<std::int32_t> IniParseInteger(std::string_view value);

class IniFile {
  public:
    explicit IniFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return m_path; }

    // nullopt when the file, section or key is missing.
    std::optional<Cp932Text> ReadRaw(const std::string& section, const std::string& key) const;
    Cp932Text ReadString(const std::string& section, const std::string& key,
                         const Cp932Text& def) const;
    // Decimal, "0x"/"0X" (more than two characters) or "$" hexadecimal; otherwise def.
    std::int32_t ReadInteger(const std::string& section, const std::string& key,
                             std::int32_t def) const;
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;

    // An existing key is replaced where it stands, a new key is appended to its section, and
    // file and section are created when missing, the file's folder too (MakePrivateFolders).
    // A value holding CR or LF is refused.
    void WriteString(const std::string& section, const std::string& key, const Cp932Text& value);
    void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Several keys of one section in one replacement of the file: the file on disk holds either
    // none or all of them. Each is written as WriteString writes it, in the given order. When one
    // cannot be written, the keys before it are still written (in that one replacement) and the
    // refusal is thrown, as writing them one by one would leave the file.
    using Entries = std::vector<std::pair<std::string, Cp932Text>>;
    void WriteStrings(const std::string& section, const Entries& entries);

  private:
    [[noreturn]] void ThrowRefused() const;

    std::filesystem::path m_path;
};

} // namespace vellaro
