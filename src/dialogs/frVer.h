#pragma once
// The version dialog.
#include <QDialog>

class TAboutBox : public QDialog {
    Q_OBJECT
  public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

// The one instance, created at start-up after the main window.
extern TAboutBox* AboutBox;
