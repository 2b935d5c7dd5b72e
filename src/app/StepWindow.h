#pragma once
// The window "ステップ実行": the learner's statements with the one about to run highlighted and
// stop marks in the margin, main's variables, the program's console, and the buttons that step
// on, run on to the next mark, stop, and go back and forth through the stops seen so far (the
// program itself does not run backwards).

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <set>
#include <string>
#include <vector>

#include "exercise/StepProtocol.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace vellaro {
class PtyConsole;
class StepSession;
} // namespace vellaro

// The statements, read-only, numbered in the margin; a click in the margin sets or clears a
// stop mark.
class StepStatements : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit StepStatements(QWidget* parent = nullptr);
    int marginWidth() const;
    void paintMargin(QPaintEvent* event);
    void toggleMarkAt(int y);
    // Highlights statement n (1-based; 0: none), in `exception` colours for an exception.
    void highlight(int statement, bool exception);
    const std::set<int>& marks() const { return m_marks; }
    void toggleMark(int statement);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QWidget* m_margin;
    std::set<int> m_marks;
};

class StepWindow : public QWidget {
    Q_OBJECT
  public:
    StepWindow(const QString& className, const QStringList& statements, const QFont& font,
               QWidget* parent = nullptr);
    ~StepWindow() override;

    // Starts stepping; false (after saying why) when nothing could start.
    bool start();

    // The stop shown (0-based into the stops seen), -1 before the first.
    int shownStop() const { return m_shown; }
    int stopsSeen() const { return static_cast<int>(m_stops.size()); }

    void nextStatement();
    void runToMark();
    void stopProgram();
    void previousStop();
    void laterStop();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void onEvent(const vellaro::StepEvent& event);
    void showStop(int index);
    void updateButtons();

    QString m_className;
    std::size_t m_statementCount;
    std::vector<std::string> m_statementLines; // UTF-8, for the explanation of an exception
    StepStatements* m_statements;
    QTableWidget* m_variables;
    QLabel* m_status;
    vellaro::PtyConsole* m_console;
    vellaro::StepSession* m_session;
    QPushButton *m_next, *m_run, *m_stop, *m_previous, *m_later;
    std::vector<vellaro::StepEvent> m_stops;
    int m_shown = -1;
    bool m_ended = false;
};
