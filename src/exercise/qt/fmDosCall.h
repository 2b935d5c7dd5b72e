#pragma once
// The run console window: never seen, shown modally while a run lasts so that the main window
// takes no input, and its timer starts the run half a second after the run command.
#include <QDialog>
#include <QFont>
#include <QPointer>

class QTimer;

class TShellDiasp : public QDialog {
    Q_OBJECT
  public:
    explicit TShellDiasp(QWidget* parent = nullptr);

    // Interval 500 ms, one tick per run, stopped until a run arms it.
    QTimer* Timer1 = nullptr;

    // The first tick of Timer1: runs "/bin/sh " + ShellCommand in a console and waits for the
    // console to end, then closes this window.
    void Timer1Timer();

    // Arms Timer1 and shows this window modally; returns when the run has ended. The console
    // shows its text in the font given (the editor's).
    void ExecuteRun(const QFont& consoleFont);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QFont m_consoleFont; // of the run that ExecuteRun has armed
};

// The one instance, created at start-up after the version dialog; null once it is gone.
extern QPointer<TShellDiasp> ShellDiasp;
