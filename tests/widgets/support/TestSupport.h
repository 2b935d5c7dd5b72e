#pragma once
// Shared helpers of the widget tests: scripted answers for every modal dialog, a temporary
// folder tree standing in for the machine's folders, and the program's windows built as main()
// builds them.
#include <QFont>
#include <QList>
#include <QObject>
#include <QString>
#include <QTest>
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
#include "app/ExerciseEditor.h"
#include "app/frmMain.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "exercise/qt/BackgroundArchive.h"
#include "trainer/qt/DiscSurface.h"
#include "trainer/qt/SpeedTextPanel.h"

class QTabWidget;

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

// The object of this type and name below `root`, as the learner's tools reach it; a missing one
// fails the running test (and gives nullptr).
template <class T> T* Find(const QObject& root, const char* objectName) {
    T* found = root.findChild<T*>(QLatin1String(objectName));
    if (!found)
        QTest::qFail(QByteArray("no object named ").append(objectName).constData(), __FILE__,
                     __LINE__);
    return found;
}

// The main window's controls by type and objectName.
#define VTEST_MAIN_CONTROLS(X)                                                                     \
    /* strip, pages, status bar */                                                                 \
    X(QWidget, Panel1)                                                                             \
    X(vellaro::PageControl, PageControl1)                                                          \
    X(QWidget, TabSheet1)                                                                          \
    X(QWidget, TabSheet2)                                                                          \
    X(QWidget, TabSheet3)                                                                          \
    X(QWidget, TabSheet4)                                                                          \
    X(QStatusBar, StatusBar1)                                                                      \
    X(QLabel, StatusMessage)                                                                       \
    X(QLabel, StatusErrorCount)                                                                    \
    X(QLabel, StatusFullWidth)                                                                     \
    /* "プログラム入力" */                                                                  \
    X(QToolBar, ToolBar1)                                                                          \
    X(QAction, ToolButton1)                                                                        \
    X(QAction, ToolButton2)                                                                        \
    X(QAction, ToolButton3)                                                                        \
    X(QAction, ToolButton4)                                                                        \
    X(QAction, ToolButton5)                                                                        \
    X(QAction, ToolButton6)                                                                        \
    X(QLabel, Label1)                                                                              \
    X(vellaro::TypedLimitEdit, SrcClassName)                                                       \
    X(vellaro::ExerciseEditor, SecEdit)                                                            \
    /* "コンパイル" */                                                                        \
    X(QToolBar, ToolBar2)                                                                          \
    X(QLabel, Label3)                                                                              \
    X(QLabel, SaveclassName)                                                                       \
    X(QAction, ToolButton9)                                                                        \
    X(QAction, ToolButton11)                                                                       \
    X(QAction, CompButton)                                                                         \
    X(QAction, RunButton)                                                                          \
    X(QAction, StepButton)                                                                         \
    X(QPlainTextEdit, SrcList)                                                                     \
    X(QSplitter, Splitter1)                                                                        \
    X(vellaro::ListingView, compList)                                                              \
    X(vellaro::MessagePane, Memo1)                                                                 \
    /* "速　読" */                                                                              \
    X(vellaro::PageControl, PageControl2)                                                          \
    X(QWidget, TabSheet5)                                                                          \
    X(QWidget, TabSheet6)                                                                          \
    X(QFrame, Panel16)                                                                             \
    X(QToolBar, ToolBar3)                                                                          \
    X(QAction, ToolButton10)                                                                       \
    X(QAction, ToolButton17)                                                                       \
    X(QAction, ToolButton19)                                                                       \
    X(vellaro::DiscSurface, BasImage)                                                              \
    X(QLabel, Label5)                                                                              \
    X(QLabel, Disp_Lavel)                                                                          \
    X(QSlider, Select_Level)                                                                       \
    X(QPushButton, BitBtn9)                                                                        \
    X(QPushButton, BitBtn10)                                                                       \
    X(vellaro::SpeedTextPanel, Sppd_Text)                                                          \
    X(QPlainTextEdit, SreadText)                                                                   \
    X(QLabel, dispcount)                                                                           \
    X(QLabel, Label13)                                                                             \
    X(QPushButton, BitBtn1)                                                                        \
    X(QPushButton, BitBtn5)                                                                        \
    /* "環境設定" */                                                                           \
    X(QCheckBox, CheckBox_Spped)                                                                   \
    X(QSpinBox, MstLevel)                                                                          \
    X(QSpinBox, SpinEdit1)                                                                         \
    X(QSpinBox, spBasicCount)                                                                      \
    X(QPushButton, BitBtn7)                                                                        \
    X(QLineEdit, spDisp_FontName)                                                                  \
    X(QLineEdit, spDisp_FontSize)                                                                  \
    X(QPushButton, BitBtn6)                                                                        \
    X(QLineEdit, sDisp_SrcPath)                                                                    \
    X(QPushButton, BitBtn2)                                                                        \
    X(QLineEdit, sDisp_FontName)                                                                   \
    X(QLineEdit, sDisp_FontSize)                                                                   \
    X(QPushButton, BitBtn3)                                                                        \
    X(QPushButton, BitBtn4)                                                                        \
    X(QPushButton, TourokuButton)                                                                  \
    X(QPlainTextEdit, ReadText_Buffer)                                                             \
    /* guidance panel */                                                                           \
    X(QFrame, Panel8)                                                                              \
    X(QLabel, Label15)                                                                             \
    X(QPushButton, SpeedButton1)                                                                   \
    /* menus and the editors' pop-up menu */                                                       \
    X(QMenu, f1)                                                                                   \
    X(QAction, N10)                                                                                \
    X(QAction, N11)                                                                                \
    X(QAction, N12)                                                                                \
    X(QAction, Exit1)                                                                              \
    X(QMenu, Edit2)                                                                                \
    X(QAction, Cut2)                                                                               \
    X(QAction, Copy2)                                                                              \
    X(QAction, Paste2)                                                                             \
    X(QAction, N4)                                                                                 \
    X(QMenu, N5)                                                                                   \
    X(QAction, N6)                                                                                 \
    X(QAction, N7)                                                                                 \
    X(QAction, NStep)                                                                              \
    X(QMenu, Help1)                                                                                \
    X(QAction, N8)                                                                                 \
    X(QAction, About1)                                                                             \
    X(QMenu, PopupMenu1)                                                                           \
    X(QAction, Cut1)                                                                               \
    X(QAction, Copy1)                                                                              \
    X(QAction, Paste1)                                                                             \
    X(QAction, N2)                                                                                 \
    X(QAction, HalfWidth2)                                                                         \
    X(QAction, HalfWidth1)                                                                         \
    /* timers, and the compiler's archive made in the background */                                \
    X(QTimer, Read_Timer)                                                                          \
    X(QTimer, Paint_Timer)                                                                         \
    X(vellaro::BackgroundArchive, ArchiveInBackground)

// The main window's controls, timers and background work, each found once by its objectName;
// a test drives them as the learner does (click, trigger, type, a timer's timeout).
struct MainControls {
    explicit MainControls(const QObject& window);
    const QObject& root;
#define VTEST_DECLARE_CONTROL(Type, name) Type* name = nullptr;
    VTEST_MAIN_CONTROLS(VTEST_DECLARE_CONTROL)
#undef VTEST_DECLARE_CONTROL
};

// A timer's tick, as if its interval had passed (the timer need not be running).
void Tick(QTimer* timer);

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
    // The main window's controls, found once per program.
    const MainControls& ui() const;
    ScriptedDialogs& dialogs() const { return m_folders->dialogs; }

    std::unique_ptr<TestFolders> m_folders;
    AppWindows m_app;

  private:
    mutable std::unique_ptr<MainControls> m_ui;
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
