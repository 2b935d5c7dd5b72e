#pragma once
// The settings records the tests store and read back.
#include "common/Cp932.h"
#include "settings/TEnvSettings.h"

namespace vtest {

// The defaults as the window stores them at its designed place (254, 122).
inline vellaro::TEnvSettings StoredDefaults() {
    vellaro::TEnvSettings s = vellaro::DefaultEnvSettings("/opt/vellaro/java source");
    s.YokoPos = 254;
    s.TatePos = 122;
    return s;
}

// A record that differs from those defaults in every field, with Japanese in its texts (the
// folder "/home/学習者/java source" is "/home/\x8A\x77\x8F\x4B\x8E\xD2/java source" in CP932).
inline vellaro::TEnvSettings SampleSettings() {
    return {.FontName = vellaro::Sjis("ＭＳ Ｐゴシック"),
            .FontSize = 14,
            .FontColor = 255,
            .spFontName = vellaro::Cp932Text("IPAGothic"),
            .spFontSize = 20,
            .PathSrc = "/home/学習者/java source",
            .YokoSize = 800,
            .TateSize = 600,
            .YokoPos = -10,
            .TatePos = 5,
            .Level = 10,
            .LevelTextBas = 2,
            .LevelTextJava = 3,
            .JavaReadCount = 77,
            .BasreadCount = 0,
            .SwSpeedRead = false,
            .SwSpeedText = false,
            .SpeedDisp = false};
}

} // namespace vtest
