#pragma once
// The main window: layout, lifecycle, page switch, settings page and the command map.
// Controls carry their names as objectName. Handlers are thin calls into the core.
// The handlers of each area live in their own file: frmMain.cpp (lifecycle, page switch,
// settings page), frmMain_exercise.cpp (editor, class name, files), frmMain_run.cpp (compile,
// run), frmMain_trainer.cpp (reading lesson, visual field, speed page), frmMain_help.cpp
// (help, version dialog, folder choice).

#include <QMainWindow>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>

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

namespace vellaro {
class IniFile;
class SpeedTextPanel;
class DiscSurface;
} // namespace vellaro

class TMainCrt : public QMainWindow {
    Q_OBJECT
  public:
    explicit TMainCrt(QWidget* parent = nullptr);
    ~TMainCrt() override;

    // ---- state ----
    int CurPage = 0;
    vellaro::TEnvSettings EnvSettings;
    std::filesystem::path SettingsFilePath;
    std::filesystem::path DefaultWorkFolder;
    std::unique_ptr<vellaro::IniFile> Ini;

    // ---- strip, pages, status bar ----
    QWidget* Panel1 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

    // ---- page "プログラム入力" ----
    QToolBar* ToolBar1 = nullptr;
    QAction* ToolButton1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* SrcClassName = nullptr;
    QAction* ToolButton2 = nullptr;
    QAction* ToolButton3 = nullptr;
    QAction* ToolButton4 = nullptr;
    QAction* ToolButton5 = nullptr;
    QAction* ToolButton6 = nullptr;
    QPlainTextEdit* SecEdit = nullptr;

    // ---- page "コンパイル" ----
    QToolBar* ToolBar2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* SaveclassName = nullptr;
    QAction* ToolButton9 = nullptr;
    QAction* ToolButton11 = nullptr;
    QAction* CompButton = nullptr;
    QAction* RunButton = nullptr;
    QPlainTextEdit* SrcList = nullptr;
    QPlainTextEdit* compList = nullptr;
    QSplitter* Splitter1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

    // ---- page "速　読" ----
    QTabWidget* PageControl2 = nullptr;
    QWidget* TabSheet5 = nullptr; // "視野拡大"
    QWidget* TabSheet6 = nullptr; // "速読レッスン"
    QFrame* Panel16 = nullptr;
    QToolBar* ToolBar3 = nullptr;
    QAction* ToolButton10 = nullptr;
    QAction* ToolButton17 = nullptr;
    QAction* ToolButton19 = nullptr;
    vellaro::DiscSurface* BasImage = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Disp_Lavel = nullptr;
    QSlider* Select_Level = nullptr;
    QPushButton* BitBtn9 = nullptr;
    QPushButton* BitBtn10 = nullptr;
    vellaro::SpeedTextPanel* Sppd_Text = nullptr;
    QPlainTextEdit* SreadText = nullptr;
    QLabel* dispcount = nullptr;
    QLabel* Label13 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn5 = nullptr;

    // ---- page "環境設定" ----
    QCheckBox* CheckBox_Spped = nullptr;
    QSpinBox* MstLevel = nullptr;
    QSpinBox* SpinEdit1 = nullptr;
    QSpinBox* spBasicCount = nullptr;
    QPushButton* BitBtn7 = nullptr;
    QLineEdit* spDisp_FontName = nullptr;
    QLineEdit* spDisp_FontSize = nullptr;
    QPushButton* BitBtn6 = nullptr;
    QLineEdit* sDisp_SrcPath = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QLineEdit* sDisp_FontName = nullptr;
    QLineEdit* sDisp_FontSize = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn4 = nullptr;
    QPushButton* TourokuButton = nullptr;
    QPlainTextEdit* ReadText_Buffer = nullptr;

    // ---- guidance panel ----
    QFrame* Panel8 = nullptr;
    QLabel* Label15 = nullptr;
    QPushButton* SpeedButton1 = nullptr;

    // ---- menus ----
    QMenu* f1 = nullptr;
    QAction* N10 = nullptr;
    QAction* N11 = nullptr;
    QAction* N12 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Edit2 = nullptr;
    QAction* Cut2 = nullptr;
    QAction* Copy2 = nullptr;
    QAction* Paste2 = nullptr;
    QAction* N4 = nullptr;
    QMenu* N5 = nullptr;
    QAction* N6 = nullptr;
    QAction* N7 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* N8 = nullptr;
    QAction* About1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Cut1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Paste1 = nullptr;
    QAction* N2 = nullptr;

    // ---- timers ----
    QTimer* Read_Timer = nullptr;
    QTimer* Paint_Timer = nullptr;

    // ---- lifecycle, page switch, settings page (frmMain.cpp) ----
    void FormCreate();
    void PageControl1Change();
    void FormResize();
    void SpeedButton1Click();
    void Exit1Click();
    void LoadSettings();
    void SaveSettings();
    void SaveCounters();
    void ApplySettings();
    void ShowSettings();
    void DefaultSettings();
    void TourokuButtonClick();
    void BitBtn4Click();
    void BitBtn3Click();
    void BitBtn6Click();
    void BitBtn7Click();
    // Enables the top-level menus "ファイル", "編集", "実行" by position.
    void SetMenus(bool file, bool edit, bool run);

    // ---- exercise bench (frmMain_exercise.cpp) ----
    void ToolButton1Click();     // new exercise
    void ToolButton2Click();     // load exercise file
    void ToolButton3Click();     // save exercise file
    void ToolButton11Click();    // write Java source
    void SrcClassNameChange();   // class-name rule
    void MakeJavaSource();       // source and listing from the editor
    void EditCut(bool fromMenu); // editing commands on the editor of CurPage
    void EditCopy(bool fromMenu);
    void EditPaste(bool fromMenu);
    void EditSelectAll(bool fromMenu);

    // ---- compile and run (frmMain_run.cpp) ----
    void CompButtonClick();
    void RunButtonClick();

    // ---- speed-reading trainer (frmMain_trainer.cpp) ----
    void LoadLessonText();
    void BitBtn1Click();
    void BitBtn5Click();
    void Read_TimerTimer();
    void Sppd_TextExit();
    void BitBtn9Click();
    void BitBtn10Click();
    void ToolButton10Click();
    void ToolButton17Click();
    void ToolButton19Click();
    void Select_LevelChange();
    void Paint_TimerTimer();
    void TabSheet5Show();
    void Panel16Resize();
    void PageControl2Change();
    void EnterSpeedPage();
    void StopTrainerTimers();
    // Clears the reading lesson's running mark (first step of DefaultSettings).
    void ClearReadRunning();

    // ---- help, version dialog, folder choice (frmMain_help.cpp) ----
    void N8Click();
    void About1Click();
    void BitBtn2Click();

    // Runs a handler inside the boundary that shows an uncaught failure in the error box.
    void Guarded(const std::function<void()>& handler);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    // State that only one area uses is defined in that area's header (frmMain_exerciseState.h,
    // frmMain_trainerState.h), so the areas do not collide here.
    std::unique_ptr<struct ExerciseState> m_exercise;
    std::unique_ptr<struct TrainerState> m_trainer;

  public:
    ExerciseState& exerciseState(); // created on first use
    TrainerState& trainerState();
};
