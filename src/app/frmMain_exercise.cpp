// Exercise bench handlers of the main window.
#include "app/frmMain.h"
#include "app/frmMain_exerciseState.h"

ExerciseState& TMainCrt::exerciseState() {
    if (!m_exercise)
        m_exercise = std::make_unique<ExerciseState>();
    return *m_exercise;
}

void TMainCrt::ToolButton1Click() {}
void TMainCrt::ToolButton2Click() {}
void TMainCrt::ToolButton3Click() {}
void TMainCrt::ToolButton11Click() {}
void TMainCrt::SrcClassNameChange() {}
void TMainCrt::MakeJavaSource() {}
void TMainCrt::EditCut(bool) {}
void TMainCrt::EditCopy(bool) {}
void TMainCrt::EditPaste(bool) {}
void TMainCrt::EditSelectAll(bool) {}
