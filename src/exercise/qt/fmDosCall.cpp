#include "exercise/qt/fmDosCall.h"

TShellDiasp* ShellDiasp = nullptr;

TShellDiasp::TShellDiasp(QWidget* parent) : QDialog(parent) {
    setObjectName("ShellDiasp");
    ShellDiasp = this;
}
