#pragma once
// The folder selection dialog.
#include <QDialog>

class TfromFileSelect : public QDialog {
    Q_OBJECT
  public:
    explicit TfromFileSelect(QWidget* parent = nullptr);
};

// The one instance, created at start-up after the run console.
extern TfromFileSelect* fromFileSelect;
