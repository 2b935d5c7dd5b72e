// Compile and run handlers of the main window.
#include "app/frmMain.h"

void TMainCrt::CompButtonClick() {}
void TMainCrt::RunButtonClick() {}
