#pragma once
// Shared helpers of the widget tests: scripted answers for every modal dialog, a temporary
// folder tree standing in for the machine's folders, and the program's windows built as main()
// builds them.
#include <QFont>
#include <QList>
#include <QString>
#include <deque>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "Scratch.h"
#include "app/AppWindows.h"
#include "app/Controls.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"

class QTabWidget;
class QWidget;
class TMainCrt;

namespace vtest {

// One message box as the program asked for it.
struct ShownMessage {
    vellaro::MsgKind kind;
    QString text;
    int buttons;
};

// Answers every dialog from queues filled by the test. A dialog with no answer queued fails the
// running test (and answers "cancel"), so a forgotten dialog never blocks a test run.
class ScriptedDialogs : public vellaro::DialogSeam {
  public:
    // ---- answers, consumed in order ----
    void answerMessage(vellaro::MsgButton button) { m_messageAnswers.push_back(button); }
    void answerOpenFile(const QString& path) { m_openAnswers.push_back(path); }
    void answerSaveFile(const QString& path) { m_saveAnswers.push_back(path); }
    // nullopt: the learner cancels the font dialog.
    void answerFont(const std::optional<QFont>& font) { m_fontAnswers.push_back(font); }
    // Answers every message box with no queued answer by this button instead of failing.
    void answerAllMessages(std::optional<vellaro::MsgButton> button) { m_messageDefault = button; }

    // ---- what was asked ----
    QList<ShownMessage> messages;
    QList<vellaro::FileDialogRequest> openRequests;
    QList<vellaro::FileDialogRequest> saveRequests;
    QList<QFont> fontRequests;
    // Dialogs that came without a queued answer (each one also failed the test).
    QStringList unexpected;

    // Texts of the messages shown so far.
    QStringList messageTexts() const;
    // True when every queued answer was used.
    bool allAnswersUsed() const;
    // Fails the running test when a queued answer was never asked for (a dialog that came without
    // one has failed it already), then forgets everything. The folder object does this when it
    // ends; a test object that keeps one program across its tests does it after each test.
    void checkAllUsed();
    void clear();

    vellaro::MsgButton message(QWidget* parent, vellaro::MsgKind kind, const QString& text,
                               int buttons) override;
    QString openFile(QWidget* parent, const vellaro::FileDialogRequest& request) override;
    QString saveFile(QWidget* parent, const vellaro::FileDialogRequest& request) override;
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override;

  private:
    void fail(const QString& what);
    QString fileAnswer(std::deque<QString>& answers, const char* dialog,
                       const vellaro::FileDialogRequest& request);

    std::deque<vellaro::MsgButton> m_messageAnswers;
    std::deque<QString> m_openAnswers;
    std::deque<QString> m_saveAnswers;
    std::deque<std::optional<QFont>> m_fontAnswers;
    std::optional<vellaro::MsgButton> m_messageDefault;
};

// A private folder tree installed as the program's folders for the life of the object:
//   <root>/system  SysPath (noprg.ini and the value store live here)
//   <root>/exe     ExePath (Java.txt is copied here from the build folder when it exists)
//   <root>/temp    where TempPath makes its private folder
//   <root>/documents/Vellaro/java source  the default work folder (not made)
//   <root>/earlier/system, <root>/earlier/work  the earlier layout's folders (not made)
// It installs a ScriptedDialogs as the dialog seam, empties the shared texts, and when it ends
// checks that every scripted answer was used and restores the seam, the folder source and the
// current folder.
class TestFolders {
  public:
    struct Options {
        bool makeSystem = true; // create the system folder
        bool makeExe = true;    // create the exe folder
        bool copyLessonText = true;
    };
    TestFolders();
    explicit TestFolders(const Options& options);
    ~TestFolders();
    TestFolders(const TestFolders&) = delete;
    TestFolders& operator=(const TestFolders&) = delete;

    const std::filesystem::path& root() const { return m_dir.path(); }
    std::filesystem::path system() const { return m_source.system; }
    std::filesystem::path exe() const { return m_source.exe; }
    std::filesystem::path settingsFile() const { return m_source.system / "noprg.ini"; }
    std::filesystem::path defaultWorkFolder() const { return m_source.work; }
    std::filesystem::path earlierSystem() const { return m_source.earlierSystem; }
    std::filesystem::path earlierWork() const { return m_source.earlierWork; }
    // Points the folders elsewhere (e.g. a work folder below a regular file) and reinstalls them.
    void setSystem(const std::filesystem::path& p);
    void setExe(const std::filesystem::path& p);
    void setWork(const std::filesystem::path& p);

    ScriptedDialogs dialogs;

  private:
    void install();

    ScratchFolder m_dir{"vellaro-widgets"};
    vellaro::FolderSource m_source;
    vellaro::FolderSource m_saved;
    std::filesystem::path m_savedCwd;
};

// Builds the program's windows as main() does (the face substitutions included) and shows the
// main window (offscreen).
// When start-up ended the program, the main window is returned unshown.
AppWindows StartProgram();
// The same, then "表示しない" clicked as the learner does when the start-up guidance covers the
// pages, so that the pages are in reach; with `active`, the main window is made the active window
// too (a failure to become active fails the test).
AppWindows StartPastGuidance(bool active = false);

// The program a test object drives: folders of its own, and the windows started in them past
// the guidance. A test object starts and stops it per test (init, cleanup) or keeps one for all
// its tests (initTestCase, cleanupTestCase).
class ProgramFixture {
  protected:
    // Writes a settings file of these lines first when there are any. False when start-up ended
    // the program.
    bool startProgram(const QStringList& settings = {});
    // The windows go first, then the folders (which check the scripted answers).
    void stopProgram();
    TMainCrt& w() const { return *m_app.main; }
    ScriptedDialogs& dialogs() const { return m_folders->dialogs; }

    std::unique_ptr<TestFolders> m_folders;
    AppWindows m_app;
};

// Activates the window and waits until it is: true when it became active.
bool Activated(QWidget* window);

// The rows of a data function whose one column "kind" tells the case: each row's name and kind.
void KindRows(std::initializer_list<std::pair<const char*, const char*>> rows);

// Reads a whole settings file as CP932 bytes split into lines (CR LF or LF), and writes one
// (CP932, CR LF) from lines.
QStringList ReadIniLines(const std::filesystem::path& file);
void WriteIni(const std::filesystem::path& file, const QStringList& lines);

// Selects a tab of a page control as the learner does: a mouse click on the tab bar.
void ClickTab(QTabWidget* pages, int index);

} // namespace vtest
