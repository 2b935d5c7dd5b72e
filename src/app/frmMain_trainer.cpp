// Speed-reading trainer handlers of the main window.
#include "app/frmMain.h"
#include "app/frmMain_trainerState.h"

TrainerState& TMainCrt::trainerState() {
    if (!m_trainer)
        m_trainer = std::make_unique<TrainerState>();
    return *m_trainer;
}

void TMainCrt::LoadLessonText() {}
void TMainCrt::BitBtn1Click() {}
void TMainCrt::BitBtn5Click() {}
void TMainCrt::Read_TimerTimer() {}
void TMainCrt::Sppd_TextExit() {}
void TMainCrt::BitBtn9Click() {}
void TMainCrt::BitBtn10Click() {}
void TMainCrt::ToolButton10Click() {}
void TMainCrt::ToolButton17Click() {}
void TMainCrt::ToolButton19Click() {}
void TMainCrt::Select_LevelChange() {}
void TMainCrt::Paint_TimerTimer() {}
void TMainCrt::TabSheet5Show() {}
void TMainCrt::Panel16Resize() {}
void TMainCrt::PageControl2Change() {}
void TMainCrt::EnterSpeedPage() {}
void TMainCrt::StopTrainerTimers() {}
void TMainCrt::ClearReadRunning() {}
