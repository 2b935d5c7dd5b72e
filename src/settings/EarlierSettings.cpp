#include "settings/EarlierSettings.h"

#include <optional>
#include <string>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/Cp932.h"
#include "common/ValueStore.h"
#include "common/delCommFunc.h"
#include "settings/IniFile.h"
#include "settings/TEnvSettings.h"

namespace vellaro {
namespace {

namespace fs = std::filesystem;

// As large as either file may be for the program to read it.
constexpr std::size_t kMaxCopiedBytes = std::size_t(1) << 20;

bool Missing(const fs::path& p) {
    std::error_code ec;
    return fs::symlink_status(p, ec).type() == fs::file_type::not_found;
}

std::string Utf8Of(const fs::path& p) {
    const std::u8string u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

// The settings bytes with PathSrc naming the earlier default work folder when the stored one is
// not a folder and that one is.
std::string KeepingTheWorkFolder(const std::string& bytes, const fs::path& earlierWork) {
    fs::path stored;
    if (const auto raw = IniLookup(bytes, kSettingsSection, "PathSrc")) {
        if (const auto utf8 = Cp932ToUtf8(*raw))
            stored = fs::path(std::u8string(utf8->begin(), utf8->end()));
    }
    if (ExistFolder(stored) || !ExistFolder(earlierWork))
        return bytes;
    const auto cp932 = Utf8ToCp932(Utf8Of(earlierWork));
    if (!cp932)
        return bytes;
    return IniWithValue(bytes, kSettingsSection, "PathSrc", *cp932).value_or(bytes);
}

} // namespace

bool TakeOverEarlierSettings(const fs::path& earlierSystem, const fs::path& earlierWork,
                             const fs::path& system) {
    try {
        if (earlierSystem.empty() || system.empty())
            return false;
        const fs::path settings = system / kSettingsFileName;
        if (!Missing(settings) || !IsOwnFolder(earlierSystem))
            return false;
        std::string bytes;
        if (!ReadWholeFile(earlierSystem / kSettingsFileName, bytes, kMaxCopiedBytes))
            return false;
        if (!MakePrivateFolders(system))
            return false;

        const fs::path values = MachineValuesFile(system);
        std::string valueBytes;
        if (Missing(values) &&
            ReadWholeFile(MachineValuesFile(earlierSystem), valueBytes, kMaxCopiedBytes) &&
            !AtomicWriteFile(values, valueBytes))
            return false;

        return AtomicWriteFile(settings, KeepingTheWorkFolder(bytes, earlierWork));
    } catch (...) {
        return false;
    }
}

} // namespace vellaro
