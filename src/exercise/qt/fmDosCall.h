#pragma once
// The run console window: invisible, modal while a run lasts.
#include <QDialog>

class TShellDiasp : public QDialog {
    Q_OBJECT
  public:
    explicit TShellDiasp(QWidget* parent = nullptr);
};

// The one instance, created at start-up after the version dialog.
extern TShellDiasp* ShellDiasp;
