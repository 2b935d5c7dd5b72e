#pragma once
// The learner's settings record and its file operations.

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/Cp932Text.h"

namespace vellaro {

class IniFile;

struct TEnvSettings {
    Cp932Text FontName;
    std::int32_t FontSize = 0; // points
    std::int32_t FontColor = 0;
    Cp932Text spFontName;
    std::int32_t spFontSize = 0;
    std::filesystem::path PathSrc; // the work folder (UTF-8 in memory, CP932 in the file)
    std::int32_t YokoSize = 0;
    std::int32_t TateSize = 0;
    std::int32_t YokoPos = 0;
    std::int32_t TatePos = 0;
    std::int32_t Level = 0;
    std::int32_t LevelTextBas = 0;
    std::int32_t LevelTextJava = 0;
    std::int32_t JavaReadCount = 0;
    std::int32_t BasreadCount = 0;
    bool SwSpeedRead = false;
    bool SwSpeedText = false;
    bool SpeedDisp = false;

    bool operator==(const TEnvSettings&) const = default;
};

// The system window-text colour as a colour code.
inline constexpr std::int32_t kWindowTextColor = -2147483647 - 1 + 8; // 0x80000008

// The default record. The window-derived fields (YokoPos, TatePos) are 0 here; the window
// fills them. PathSrc is the given default work folder.
TEnvSettings DefaultEnvSettings(const std::filesystem::path& defaultWorkFolder);

inline constexpr const char* kSettingsSection = "Bas";
// The settings file in the system folder.
inline constexpr const char* kSettingsFileName = "noprg.ini";

// file -> record: each key read with the field's current value as its default.
void LoadSettings(const IniFile& ini, TEnvSettings& s);
// record -> file: all 18 keys in their fixed order. Throws VellaroError on a refused write
// (the keys written before it stay), and before writing anything when PathSrc holds a character
// that CP932 cannot hold.
void SaveSettings(IniFile& ini, const TEnvSettings& s);
// record -> file: Level, JavaReadCount, BasreadCount.
void SaveCounters(IniFile& ini, const TEnvSettings& s);

} // namespace vellaro
