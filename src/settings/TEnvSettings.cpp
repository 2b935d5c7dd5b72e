#include "settings/TEnvSettings.h"

#include <utility>

#include "common/Cp932.h"
#include "common/VellaroError.h"
#include "common/delCommFunc.h"
#include "settings/IniFile.h"

namespace vellaro {

namespace {

std::string PathToUtf8(const std::filesystem::path& p) {
    const std::u8string u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

std::filesystem::path Utf8ToPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

} // namespace

TEnvSettings DefaultEnvSettings(const std::filesystem::path& defaultWorkFolder) {
    TEnvSettings s;
    s.FontName = Sjis(kGothicFace);
    s.FontSize = 10;
    s.FontColor = kWindowTextColor;
    s.spFontName = s.FontName;
    s.spFontSize = 12;
    s.PathSrc = defaultWorkFolder;
    s.YokoSize = 595;
    s.TateSize = 520;
    s.YokoPos = 0;
    s.TatePos = 0;
    s.Level = 1;
    s.LevelTextBas = 1;
    s.LevelTextJava = 1;
    s.JavaReadCount = 1;
    s.BasreadCount = 1;
    s.SwSpeedRead = true;
    s.SwSpeedText = true;
    s.SpeedDisp = true;
    return s;
}

// Each field bears the name of its key in the file.
#define VELLARO_KEY(field) std::make_pair(#field, &TEnvSettings::field)

void LoadSettings(const IniFile& ini, TEnvSettings& s) {
    static constexpr std::pair<const char*, std::int32_t TEnvSettings::*> kNumbers[] = {
        VELLARO_KEY(FontSize),      VELLARO_KEY(FontColor),     VELLARO_KEY(spFontSize),
        VELLARO_KEY(YokoSize),      VELLARO_KEY(TateSize),      VELLARO_KEY(YokoPos),
        VELLARO_KEY(TatePos),       VELLARO_KEY(Level),         VELLARO_KEY(LevelTextBas),
        VELLARO_KEY(LevelTextJava), VELLARO_KEY(JavaReadCount), VELLARO_KEY(BasreadCount)};
    static constexpr std::pair<const char*, bool TEnvSettings::*> kSwitches[] = {
        VELLARO_KEY(SwSpeedRead), VELLARO_KEY(SwSpeedText), VELLARO_KEY(SpeedDisp)};

    const std::string sec = kSettingsSection;
    s.FontName = ini.ReadString(sec, "FontName", s.FontName);
    s.spFontName = ini.ReadString(sec, "spFontName", s.spFontName);
    for (const auto& [key, field] : kNumbers)
        s.*field = ini.ReadInteger(sec, key, s.*field);
    for (const auto& [key, field] : kSwitches)
        s.*field = ini.ReadBool(sec, key, s.*field);
    // The file holds the folder in CP932; a value that does not decode (a damaged or foreign
    // file) would name a folder that does not exist, so the folder in memory is kept.
    if (const auto raw = ini.ReadRaw(sec, "PathSrc")) {
        if (const auto utf8 = Cp932ToUtf8(*raw))
            s.PathSrc = Utf8ToPath(*utf8);
    }
}

#undef VELLARO_KEY

void SaveSettings(IniFile& ini, const TEnvSettings& s) {
    // Checked before any key is written: a folder name that CP932 cannot hold would be stored
    // garbled and name another folder at the next start.
    const std::string folder = PathToUtf8(s.PathSrc);
    const auto pathSrc = Utf8ToCp932(folder);
    if (!pathSrc)
        throw VellaroError("ソースパス「" + folder +
                           "」には設定ファイルに保存できない文字が含まれています。"
                           "別のフォルダを選んでください。");

    // One replacement of the file for the whole record: a kill or a full disk never leaves a
    // file that mixes this store with the one before.
    const auto n = [](std::int32_t v) { return Cp932Text(std::to_string(v)); };
    const auto b = [](bool v) { return Cp932Text(v ? "1" : "0"); };
    ini.WriteStrings(kSettingsSection, {{"spFontSize", n(s.spFontSize)},
                                        {"spFontName", s.spFontName},
                                        {"FontName", s.FontName},
                                        {"FontSize", n(s.FontSize)},
                                        {"FontColor", n(s.FontColor)},
                                        {"PathSrc", *pathSrc},
                                        {"YokoSize", n(s.YokoSize)},
                                        {"TateSize", n(s.TateSize)},
                                        {"YokoPos", n(s.YokoPos)},
                                        {"TatePos", n(s.TatePos)},
                                        {"Level", n(s.Level)},
                                        {"LevelTextBas", n(s.LevelTextBas)},
                                        {"LevelTextJava", n(s.LevelTextJava)},
                                        {"JavaReadCount", n(s.JavaReadCount)},
                                        {"BasreadCount", n(s.BasreadCount)},
                                        {"SwSpeedRead", b(s.SwSpeedRead)},
                                        {"SwSpeedText", b(s.SwSpeedText)},
                                        {"SpeedDisp", b(s.SpeedDisp)}});
}

void SaveCounters(IniFile& ini, const TEnvSettings& s) {
    const auto n = [](std::int32_t v) { return Cp932Text(std::to_string(v)); };
    ini.WriteStrings(kSettingsSection, {{"Level", n(s.Level)},
                                        {"JavaReadCount", n(s.JavaReadCount)},
                                        {"BasreadCount", n(s.BasreadCount)}});
}

} // namespace vellaro
