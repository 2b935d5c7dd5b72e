#pragma once
// The main window: layout, lifecycle, page switch, settings page and the command map.
// Controls carry their names as objectName. Handlers are thin calls into the core.
// The handlers of each area live in their own file: frmMain.cpp (lifecycle, page switch,
// settings page), frmMain_layout.cpp (the controls and the map from their events to handlers),
// frmMain_exercise.cpp (editor, class name, files), frmMain_run.cpp (compile, run),
// frmMain_messages.cpp (the compiler's messages: their marks, links and explanations),
// frmMain_trainer.cpp (reading lesson, visual field, speed page), frmMain_help.cpp (help,
// version dialog, folder choice).

#include <QFont>
#include <QMainWindow>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "app/Controls.h"
#include "common/qt/Dialogs.h"
#include "exercise/CompileMessages.h"
#include "exercise/RuntimeErrors.h"
#include "settings/TEnvSettings.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QWidget;

class CompileWait;
class AppDialogs;
struct TrainerState;

namespace vellaro {
class BackgroundArchive;
class ExerciseEditor;
class IniFile;
class ListingView;
class PageControl;
class SpeedTextPanel;
class DiscSurface;
} // namespace vellaro

class TestMainWindow;

// The pixel size of the window's own font (the P-Gothic face), which its controls inherit.
inline constexpr int kWindowFontPixels = 12;

class TMainCrt : public QMainWindow {
    Q_OBJECT
    // The window's own page changes (SetCurrentPage, SetSpeedPageVisible) must never count as
    // the learner's page switch, also where no control of today reaches them (hiding the page
    // that is current): the one test that calls them.
    friend class ::TestMainWindow;

  public:
    explicit TMainCrt(QWidget* parent = nullptr);
    ~TMainCrt() override;

    // True once the program has ended itself (EndProgram): nothing is stored any more, and
    // main() shows no window.
    bool ProgramEnded() const;
    // The dialogs beside this window, which AppWindows owns and makes on first use: the version
    // dialog ("バージョン情報"), the run's window ("実行") and the folder choice ("参　照").
    // While none are given (null), those commands do nothing.
    void UseWindows(AppDialogs* dialogs);

    // ---- read-only queries; everything else is reached through the controls ----
    // The page the last page switch entered (0 to 3); the editing commands act on its editor.
    int CurPage() const { return m_curPage; }
    // The settings record: most fields show on no control until the settings page is entered.
    const vellaro::TEnvSettings& EnvSettings() const { return m_settings; }
    // The guidance text as the value store keeps it (lines joined by CR; the panel shows LF).
    static QString GuidanceText();

  private:
    // ---- strip, pages, status bar ----
    QWidget* Panel1 = nullptr;
    vellaro::PageControl* PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr, *TabSheet4 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    // In the status bar: the explanation of the message selected in Memo1, and the count of
    // errors of the last compile.
    QLabel *StatusMessage = nullptr, *StatusErrorCount = nullptr;
    // ... and how many full-width symbols the code in the editor holds, while it holds any.
    QLabel* StatusFullWidth = nullptr;

    // ---- page "プログラム入力": the tool bar with the file and editing commands and the class
    // name (Label1 and SrcClassName stand after ToolButton1), and the editor ----
    QToolBar* ToolBar1 = nullptr;
    QAction *ToolButton1 = nullptr, *ToolButton2 = nullptr, *ToolButton3 = nullptr;
    QAction *ToolButton4 = nullptr, *ToolButton5 = nullptr, *ToolButton6 = nullptr;
    QLabel* Label1 = nullptr;
    vellaro::TypedLimitEdit* SrcClassName = nullptr;
    QPlainTextEdit* SecEdit = nullptr;

    // ---- page "コンパイル": the tool bar and its entries, the hidden source, the listing and the
    // compiler's messages ----
    QToolBar* ToolBar2 = nullptr;
    QLabel *Label3 = nullptr, *SaveclassName = nullptr;
    QAction *ToolButton9 = nullptr, *ToolButton11 = nullptr;
    QAction *CompButton = nullptr, *RunButton = nullptr, *StepButton = nullptr;
    QPlainTextEdit* SrcList = nullptr;
    QSplitter* Splitter1 = nullptr;
    QPlainTextEdit* compList = nullptr;
    vellaro::MessagePane* Memo1 = nullptr;

    // ---- page "速　読" ----
    vellaro::PageControl* PageControl2 = nullptr;
    QWidget *TabSheet5 = nullptr, *TabSheet6 = nullptr; // "視野拡大", "速読レッスン"
    // "視野拡大"
    QFrame* Panel16 = nullptr;
    QToolBar* ToolBar3 = nullptr;
    QAction *ToolButton10 = nullptr, *ToolButton17 = nullptr, *ToolButton19 = nullptr;
    vellaro::DiscSurface* BasImage = nullptr;
    QLabel *Label5 = nullptr, *Disp_Lavel = nullptr;
    QSlider* Select_Level = nullptr;
    QPushButton *BitBtn9 = nullptr, *BitBtn10 = nullptr;
    // "速読レッスン"
    vellaro::SpeedTextPanel* Sppd_Text = nullptr;
    QPlainTextEdit* SreadText = nullptr;
    QLabel *dispcount = nullptr, *Label13 = nullptr;
    QPushButton *BitBtn1 = nullptr, *BitBtn5 = nullptr;

    // ---- page "環境設定" ----
    // "速読設定"
    QCheckBox* CheckBox_Spped = nullptr;
    QSpinBox *MstLevel = nullptr, *SpinEdit1 = nullptr, *spBasicCount = nullptr;
    QPushButton* BitBtn7 = nullptr;
    QLineEdit *spDisp_FontName = nullptr, *spDisp_FontSize = nullptr;
    QPushButton* BitBtn6 = nullptr;
    // "JAVA設定"
    QLineEdit* sDisp_SrcPath = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QLineEdit *sDisp_FontName = nullptr, *sDisp_FontSize = nullptr;
    QPushButton* BitBtn3 = nullptr;
    // The strip along the bottom: "元に戻す", "登　録", and the hidden lesson buffer
    QPushButton *BitBtn4 = nullptr, *TourokuButton = nullptr;
    QPlainTextEdit* ReadText_Buffer = nullptr;

    // ---- guidance panel ----
    QFrame* Panel8 = nullptr;
    QLabel* Label15 = nullptr;
    QPushButton* SpeedButton1 = nullptr;

    // ---- menus: each menu with its entries, and the pop-up menu of the editors ----
    QMenu* f1 = nullptr;
    QAction *N10 = nullptr, *N11 = nullptr, *N12 = nullptr, *Exit1 = nullptr;
    QMenu* Edit2 = nullptr;
    QAction *Cut2 = nullptr, *Copy2 = nullptr, *Paste2 = nullptr, *N4 = nullptr;
    QMenu* N5 = nullptr;
    QAction *N6 = nullptr, *N7 = nullptr, *NStep = nullptr;
    QMenu* Help1 = nullptr;
    QAction *N8 = nullptr, *About1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction *Cut1 = nullptr, *Copy1 = nullptr, *Paste1 = nullptr, *N2 = nullptr;
    // "全角記号を半角に直す" in the menu "編集" (with its key) and in the pop-up menu.
    QAction *HalfWidth2 = nullptr, *HalfWidth1 = nullptr;

    // ---- timers ----
    QTimer *Read_Timer = nullptr, *Paint_Timer = nullptr;

    // ---- standard dialogs: what each one asks for (filter, default extension); a caller copies
    // one, sets the folder and file name, and hands it to vellaro::Dialogs() ----
    vellaro::FileDialogRequest OpenDialog1, SaveDialog1; // exercise file, *.sja
    // Java source, *.java (OpenDialog2 only for ToolButton9, never enabled)
    vellaro::FileDialogRequest OpenDialog2, SaveDialog2;
    QFont FontDialog1; // the font dialog's initial font

    // ---- the guidance marker in the value store (CP932 texts) ----
    static const char* const kGuidanceKey;
    static const char* const kGuidanceValueName;
    static const char* const kGuidanceMarker;

    // ---- lifecycle, page switch, settings page (frmMain.cpp) ----
    void FormCreate();
    void PageControl1Change(); // a tab of the main pages chosen: the page switch
    void FormResize();
    void SpeedButton1Click(); // "表示しない": the guidance panel goes for good
    void Exit1Click();        // "終了" (menu "ファイル"): closes the window
    void LoadSettings();
    void SaveSettings();
    void SaveCounters();
    void ApplySettings();
    void ShowSettings();
    // The core's defaults into the record and the window (the work folder in use kept): false
    // when that folder could not be made.
    bool DefaultSettings();
    // The settings page's fields and the window's outer geometry into the record.
    void SettingsFromControls();
    void TourokuButtonClick(); // "登　録": applies the settings page and stores it
    void BitBtn4Click();       // "元に戻す": the defaults back on the page and the window
    void BitBtn3Click();       // "設　定" (JAVA設定): chooses the editor's font
    void BitBtn6Click();       // "設　定" (速読設定): chooses the reading lesson's font
    void BitBtn7Click();       // "先頭行へ": the lesson starts again at its first line
    // Enables the top-level menus "ファイル", "編集", "実行" by position.
    void SetMenus(bool file, bool edit, bool run);
    // Closing: stores the settings exactly as "登　録" does.
    void FormClose();
    void ShowGuidance();
    // Pages that the program makes current or hides run no page switch.
    void SetCurrentPage(QWidget* page);
    void SetSpeedPageVisible(bool visible);
    // While the guidance panel covers the pages, a page switch that reaches a page control anyway
    // is put back: true when it was.
    bool PutBackUnderGuidance(vellaro::PageControl* pages);
    // F10: the first usable menu of the menu bar opens.
    void OpenMenuBar();
    // The main window's outer (frame) geometry, as the settings store it.
    QRect OuterGeometry() const;
    void SetOuterGeometry(int left, int top, int width, int height);
    void SetOuterSize(int width, int height);

    // ---- exercise bench (frmMain_exercise.cpp) ----
    void ToolButton1Click();     // "新規作成" (and the menu's N10): empties the exercise
    void ToolButton2Click();     // "プログラム読込み" (N11): reads an exercise file
    void ToolButton3Click();     // "プログラム書き込み" (N12): writes it (SaveExercise)
    void ToolButton11Click();    // "Ｊａｖａソース書出し": writes the Java source
    void SrcClassNameChange();   // "クラス名" typed: the class-name rule
    void MakeJavaSource();       // source and listing from the editor
    void EditCut(bool fromMenu); // editing commands on the editor of CurPage
    void EditCopy(bool fromMenu);
    void EditPaste(bool fromMenu);
    void EditSelectAll(bool fromMenu);
    // The editor those commands act on: the exercise editor on the page "プログラム入力", the
    // hidden source on the page "コンパイル", none elsewhere.
    QPlainTextEdit* EditorOfPage() const;
    // "プログラム書き込み": true when it wrote the file.
    bool SaveExercise();
    // True when the editor's text differs from what was last read, written or emptied by
    // "新規作成".
    bool ExerciseChanged() const;
    // Before a changed exercise would be dropped, asks whether to save it: "はい" saves (and
    // goes on only if that wrote), "いいえ" goes on, "キャンセル" stops. True when the caller may
    // go on; nothing is asked for an unchanged exercise.
    bool KeepUnsavedExercise();

    // ---- the editor's help with the Java it holds (frmMain_editor.cpp) ----
    // SecEdit and compList as the widgets they are.
    vellaro::ExerciseEditor* Editor() const;
    vellaro::ListingView* Listing() const;
    // "全角記号を半角に直す": on the page "プログラム入力", every marked symbol becomes its
    // half-width form, as one step of undo.
    void HalfWidthClick(bool fromMenu);
    void SecEditFullWidthChange(int count);
    // After a compile: the statements of the compiler's errors get their marks when the source
    // compiled was the one on screen; otherwise the marks go.
    void MarkStatementErrors(bool sourceOnScreen);

    // ---- compile and run (frmMain_run.cpp) ----
    void CompButtonClick(); // "コンパイル": compiles the exercise, messages into Memo1
    void RunButtonClick();  // "実行": runs the compiled class in the console window
    // "ステップ実行": compiles a changed exercise as "実行" does (the same question), then opens
    // the step window.
    void StepButtonClick();
    // What "実行" and "ステップ実行" ask first: a class name, and a compile of a changed exercise.
    // False when the learner stopped there.
    bool ReadyToRun(const QString& name);
    // Compiles the exercise as "コンパイル" does (without `askBeforeWriting` the source on screen
    // is written at once); true when the compiler made the class.
    bool CompileExercise(bool askBeforeWriting);
    // Ends a compile that is running (the close box, Esc); nothing when none runs.
    void StopCompile();
    // Starts making the compiler's class-data archive in the background when the learner has
    // none (shortly after the window is first shown); nothing when one is there or being made.
    void StartArchiveInBackground();
    vellaro::BackgroundArchive& ArchiveInBackground() { return *m_archive; }
    // What a compile is about to compile (frmMain_exercise.cpp).
    enum class SourceOnDisk {
        Cancelled, // the learner stopped, or the source could not be written
        Screen,    // <class>.java is the source on screen (or the editor is empty)
        AsItIs,    // the learner chose the file as it is, which differs from the screen
    };
    // Before a compile: when <class>.java in the current folder is not the source on screen,
    // asks whether to write it first ("はい" writes it, "いいえ" compiles the file as it is,
    // "キャンセル" stops); without `ask` it is written at once.
    SourceOnDisk WriteSourceBeforeCompile(bool ask = true);
    // The editor's text exactly as it stands, lines separated by LF.
    QString ExerciseOnScreen() const;
    // Shows the warning and answers true for a class name no command may use: the empty name,
    // and the name of one of Java's standard classes, which would hide it from every other
    // exercise in the work folder.
    bool RefuseClassName(const QString& className);
    // The number of statement lines in the editor (frmMain_exercise.cpp).
    std::size_t StatementCount() const;
    // The editor's statements, UTF-8.
    std::vector<std::string> StatementLines() const;

    // ---- the compiler's messages (frmMain_messages.cpp) ----
    // A click on a line of Memo1 selects the message it belongs to (none: no message); a double
    // click then goes to its statement, as Enter does in the pane.
    void Memo1Click(int paneLine);
    void Memo1DblClick(int paneLine);
    void Memo1KeyEnter(); // Enter in the pane: to the selected message's statement
    // F4 / Shift+F4 on the compile page: the next / previous message that names a source line.
    void SelectNextMessage(bool forward);
    // The statement of the selected message: the page "プログラム入力" with the caret at its start.
    void GoToMessageStatement();
    // The pane's lines after a compile of <className>.java, with their marks and the
    // error count in the status bar.
    void ShowCompileMessages(const vellaro::Cp932Lines& lines, const std::string& className);
    // After a run that ended with an uncaught exception: the failure as one message in the pane,
    // leading to its statement like a compiler message, until the next compile.
    void ShowRunFailure(const vellaro::RunFailure& failure);
    // Empties the status bar (every page switch and every compile).
    void ClearStatus();

    // ---- speed-reading trainer (frmMain_trainer.cpp) ----
    // False when its failure ended the program.
    bool LoadLessonText();
    void MirrorLessonText();
    void FillLessonBuffers();
    void FillPendingLessonBuffers();
    void BitBtn1Click(); // "Ｓｔａｒｔ" (速読レッスン): the lesson's lines begin to run
    void BitBtn5Click(); // "Ｓｔｏｐ" (速読レッスン): the lesson stops
    void Read_TimerTimer();    // the lesson's tick: the next line on the display
    void Sppd_TextExit();      // the lesson's display lost the focus
    void BitBtn9Click();       // "Start" (視野拡大): the discs begin to sweep
    void BitBtn10Click();      // "Stop" (視野拡大): the sweep stops, its frame stays
    void ToolButton10Click();  // "視野拡大＋": the sweep in all four directions
    void ToolButton17Click();  // "縦視野拡大": the sweep up and down only
    void ToolButton19Click();  // "横視野拡大": the sweep left and right only
    void Select_LevelChange(); // the track bar "レベル": the sweep's pace
    void Paint_TimerTimer();   // the sweep's tick: the next frame on BasImage
    void TabSheet5Show();      // the sheet "視野拡大" shown
    void Panel16Resize();      // the exercise's panel resized: the surface follows, white
    void PageControl2Change(); // a tab of the speed page chosen: "視野拡大" or "速読レッスン"
    void EnterSpeedPage();
    void StopTrainerTimers();
    // Clears the reading lesson's running mark (first step of DefaultSettings).
    void ClearReadRunning();
    // The lesson's and the field's widgets brought in line with the core (TrainerState::shown).
    void ShowLesson(TrainerState& t);
    void ShowField(TrainerState& t);

    // ---- help, version dialog, folder choice (frmMain_help.cpp) ----
    void N8Click();      // "操作説明" (menu "ヘルプ"): opens the help file
    void About1Click();  // the version entry (menu "ヘルプ"): the version dialog
    void BitBtn2Click(); // "参　照" (JAVA設定): chooses the work folder

    // Runs a handler inside the boundary that shows an uncaught failure in the error box.
    void Guarded(const std::function<void()>& handler);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The controls, one builder per page and area, and the map from their events to the
    // handlers (frmMain_layout.cpp).
    void BuildLayout();
    void BuildStatusBar();
    void BuildInputPage();
    void BuildCompilePage();
    void BuildSpeedPage();
    void BuildFieldSheet();
    void BuildLessonSheet();
    void BuildSettingsPage();
    QWidget* BuildSpeedSettings(QWidget* parent);
    QWidget* BuildJavaSettings(QWidget* parent);
    QWidget* BuildSettingsButtons(QWidget* parent);
    void BuildGuidancePanel(QWidget* client);
    void BuildMenus();
    void BuildTimersAndDialogs();
    void ConnectEvents();
    void ConnectMenus();
    void ConnectExercisePages();
    void ConnectSpeedPage();
    void ConnectSettingsPage();
    void ConnectEditor();
    std::function<void()> Handler(void (TMainCrt::*handler)());
    std::function<void()> EditHandler(void (TMainCrt::*handler)(bool), bool fromMenu);
    // The folder stands, or is made: true. Otherwise the error box, then the program's end (or
    // the learner stays): false, and the caller stops.
    bool MakeWorkFolder(const std::filesystem::path& folder);
    // A missing work folder in the record is replaced by the default one (start-up, and every
    // load of the settings file on the settings page): false when it could not be made.
    bool ReplaceMissingWorkFolder();
    void TakeOuterGeometry(); // the window's outer geometry into the record
    void FitGuidancePanel();
    QFont SettingsFont(const vellaro::Cp932Text& name, int points) const;

    void ShowFailure(const QString& text); // the standard error box
    // The one way the program ends itself (a work folder that cannot be made, a lesson text that
    // cannot be read): a changed exercise is offered for saving first, unless the learner's own
    // close has asked already. False when the learner chose to stay: the program goes on
    // without what failed. Otherwise the program is ended (ProgramEnded), the main loop stops at
    // its next turn, and the caller returns.
    bool EndProgram();
    // The exercise as last read, written or emptied (lines separated by LF).
    void MarkExerciseUnchanged();
    QString m_exerciseBaseline;
    bool m_readAsUtf8 = false; // the exercise on screen was read from a UTF-8 file

    // What the compiler's messages in Memo1 say; forgotten whenever Memo1's text changes.
    void ForgetCompileMessages();
    void SelectMessage(const vellaro::CompilerMessage* message, bool scrollPane);
    void SelectListingLine(std::size_t line);
    void ShowMessageMarks();
    bool Memo1Event(QObject* watched, QEvent* event);
    vellaro::CompileReport m_compileReport;
    std::optional<std::size_t> m_selectedMessage; // pane line of the selected message

    bool m_closing = false;   // the close box or "終了": the question has been asked
    QSize m_pendingOuterSize; // outer size to reach once the frame is known

    int m_curPage = 0;
    vellaro::TEnvSettings m_settings;
    std::filesystem::path m_settingsFile;
    std::filesystem::path m_defaultWorkFolder;
    std::unique_ptr<vellaro::IniFile> m_ini; // the settings file
    // The trainer's state is defined in its own header (frmMain_trainerState.h), so that the
    // trainer's types stay out of this one.
    std::unique_ptr<TrainerState> m_trainer;
    // The compile being waited for (frmMain_run.cpp), set while a compile runs: a second press
    // of the compile command meanwhile would start a second compiler writing the same capture
    // file.
    CompileWait* m_compileWait = nullptr;
    // The compiler's archive being made in the background (frmMain_run.cpp).
    std::unique_ptr<vellaro::BackgroundArchive> m_archive;
    // The window has been shown once: the archive and the lesson buffers are scheduled.
    bool m_shownBefore = false;
    // The class name and the editor's text of the last compile that made its class from the
    // source on screen; a run of anything else asks to compile first.
    struct CompiledExercise {
        QString className;
        QString text;
    };
    std::optional<CompiledExercise> m_compiled;
    // The pane's line naming the files of the current folder that hide Java's own classes;
    // empty when there are none.
    static std::string ShadowingFilesHere();
    // AppWindows's dialogs (UseWindows); null before they are given and once they are gone.
    AppDialogs* m_dialogs = nullptr;
};
