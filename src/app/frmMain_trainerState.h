#pragma once
// State of the speed-reading trainer held by the main window.
#include <string>
#include <vector>

#include "common/Cp932Text.h"
#include "trainer/SpeedPage.h"

struct TrainerState {
    // ReadText_Buffer: Java.txt's lines as stored (never shown).
    std::vector<std::string> encoded;
    // SreadText: one decoded line per stored line (never shown).
    vellaro::Cp932Lines lines;
    // The buffers above are still to be given encoded and lines (after the first paint).
    bool mirrorPending = false;
    // Both exercises and the sub-page rules; the widgets show what it holds.
    vellaro::SpeedPage page;

    // What the widgets were last given from the core. A widget is only written when the core's
    // value moves, so a state that other code gives a control (the guidance panel disables the
    // lesson's Start button and clears the display) stays until the trainer itself changes it.
    struct Shown {
        vellaro::Cp932Text display; // Sppd_Text
        std::string counter = "1";
        bool lessonStart = true; // BitBtn1
        bool fieldStart = true;  // BitBtn9
    } shown;
};
