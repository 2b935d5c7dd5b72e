// Help, version dialog and work folder choice of the main window.
#include "app/frmMain.h"

void TMainCrt::N8Click() {}
void TMainCrt::About1Click() {}
void TMainCrt::BitBtn2Click() {}
