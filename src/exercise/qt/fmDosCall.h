#pragma once
// The run console window: never seen, shown modally while a run lasts so that the main window
// takes no input, and its timer starts the run half a second after the run command.
#include <QDialog>
#include <QFont>

#include "exercise/Compile.h"

class QTimer;

class TShellDiasp : public QDialog {
    Q_OBJECT
  public:
    explicit TShellDiasp(QWidget* parent = nullptr);

    // Interval 500 ms, one tick per run, stopped until a run arms it.
    QTimer* Timer1 = nullptr;

    // The first tick of Timer1: runs the armed command in a console and waits for the console to
    // end, then closes this window.
    void Timer1Timer();

    // Arms Timer1 with the command and shows this window modally; returns when the run has
    // ended. The console shows its text in the font given (the editor's).
    void ExecuteRun(const vellaro::Command& command, const QFont& consoleFont);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // The run that ExecuteRun has armed.
    vellaro::Command m_command;
    QFont m_consoleFont;
};
