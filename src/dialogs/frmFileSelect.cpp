#include "dialogs/frmFileSelect.h"

TfromFileSelect* fromFileSelect = nullptr;

TfromFileSelect::TfromFileSelect(QWidget* parent) : QDialog(parent) {
    setObjectName("fromFileSelect");
    fromFileSelect = this;
}
