// The main window driven offscreen: start-up, guidance panel, page switch, settings page, closing.
#include <QAction>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QSplitterHandle>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <fstream>
#include <functional>
#include <tuple>

#include "TestSupport.h"
#include "app/Controls.h"
#include "app/frmMain.h"
#include "common/Cp932.h"
#include "common/delCommFunc.h"
#include "common/qt/QtEvents.h"
#include "common/qt/QtText.h"
#include "dialogs/frVer.h"
#include "settings/IniFile.h"
#include "trainer/qt/SpeedTextPanel.h"

namespace fs = std::filesystem;
using vellaro::MsgKind;

namespace {

struct Menus {
    bool file, edit, run, help;
    bool operator==(const Menus&) const = default;
};

Menus MenuState(const TMainCrt& w) {
    const vtest::MainControls ui(w);
    return {ui.f1->menuAction()->isEnabled(), ui.Edit2->menuAction()->isEnabled(),
            ui.N5->menuAction()->isEnabled(), ui.Help1->menuAction()->isEnabled()};
}

QString IniValue(const fs::path& file, const QString& key) {
    for (const QString& line : vtest::ReadIniLines(file))
        if (line.startsWith(key + "="))
            return line.mid(key.size() + 1);
    return QStringLiteral("<missing>");
}

// Moves and sizes a window by its frame, as the learner does with the mouse.
void PlaceWindow(QWidget& window, const QRect& outer) {
    const QSize frame = window.frameGeometry().size() - window.size();
    window.move(outer.topLeft());
    window.resize(outer.size() - frame);
}

void Dismiss(TMainCrt& w) {
    const vtest::MainControls ui(w);
    QVERIFY(ui.Panel8->isVisible());
    QTest::mouseClick(ui.SpeedButton1, Qt::LeftButton);
    QVERIFY(!ui.Panel8->isVisible());
}

const QString kWorkFolderFailure =
    QStringLiteral("ＪＡＶＡソースを編集するフォルダを作成できません");
const QString kChangedExercise = QStringLiteral("プログラムが変更されています。保存しますか？");

// An exercise "Mine" typed and not saved, and the settings page open.
void ChangeExerciseOnSettingsPage(TMainCrt& w) {
    const vtest::MainControls ui(w);
    ui.SrcClassName->setText(QStringLiteral("Mine"));
    ui.SecEdit->setPlainText(QStringLiteral("?(1);"));
    vtest::ClickTab(ui.PageControl1, 3);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

  private slots:
    void firstStartShowsDefaultsAndGuidance();
    void aToolBarsExtensionButtonDrawsTheStylesOwnIcon();
    void guidanceNeverReturnsOnceDismissed();
    void menusFollowThePageChosen();
    void firstTabChangeStoresOnlyTheCounters();
    void keyboardTabChangeIsTheLearnersChoice();
    void programSetPagesRunNoPageSwitch();
    void settingsPageShowsStoredValuesAgain();
    void restoreDefaultsResizesAtOnce();
    void closingStoresSettingsAndNextStartRestoresWindow();
    void missingWorkFolderReplacedByDefault_data();
    void missingWorkFolderReplacedByDefault();
    void offScreenPlaceIsBroughtBack();
    void fileWithOnlyCountersKeepsDefaults();
    void earlierSettingsAreTakenOver();
    void workFolderThatCannotBeMadeEndsTheProgram();
    void refusedWriteDuringPageSwitchStillSwitches();
    void refusedWriteWhileClosingStillCloses();
    void restoreDefaultsWithoutAWorkFolderEndsTheProgram();
    void theProgramsOwnEndOffersTheExerciseForSavingFirst();
    void aDeclinedEndAtTheLessonTextGoesOnAndClosingAsksOnce();
    void registerAppliesAndStoresThePage();
    void fontChoiceUpdatesOnlyTheFields();
    void firstLineButtonKeepsZeroUntilRegister();
    void spinEditsClampTypedValues();
    void classNameTakesTenTypedCharacters();
    void messagePaneKeepsFortyPixels();
    void layoutMatchesTheDesign();
};

void TestMainWindow::firstStartShowsDefaultsAndGuidance() {
    vtest::TestFolders folders;
    const QFont defaultFont = QGuiApplication::font();
    AppWindows app = vtest::StartProgram();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    // Tool tips and context menus keep the application's default font.
    QCOMPARE(QGuiApplication::font(), defaultFont);
    // The dialogs are made when first asked for, not at start-up.
    QVERIFY(app.dialogs && !app.dialogs->aboutIfMade() && !app.dialogs->shellIfMade() &&
            !app.dialogs->fileSelectIfMade());

    // Defaults applied to the window.
    QCOMPARE(w.frameGeometry().size(), QSize(595, 520));
    QCOMPARE(ui.SecEdit->font().family(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(ui.SecEdit->font().pointSize(), 10);
    QCOMPARE(ui.compList->font().pointSize(), 10);
    QCOMPARE(ui.Sppd_Text->font().pointSize(), 12);
    QCOMPARE(ui.sDisp_FontName->text(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(ui.sDisp_FontSize->text(), QStringLiteral("10"));
    QCOMPARE(ui.spDisp_FontSize->text(), QStringLiteral("12"));
    QVERIFY(ui.CheckBox_Spped->isChecked());
    QVERIFY(ui.PageControl1->isTabVisible(2));
    QCOMPARE(w.EnvSettings().Level, 1);
    QCOMPARE(w.EnvSettings().BasreadCount, 1);

    // The default work folder in the documents folder, now the current folder.
    QVERIFY(fs::is_directory(folders.defaultWorkFolder()));
    QCOMPARE(ui.sDisp_SrcPath->text(), vellaro::FromPath(folders.defaultWorkFolder()));
    QCOMPARE(fs::current_path(), fs::canonical(folders.defaultWorkFolder()));
    QCOMPARE(ui.PageControl1->currentWidget(), ui.TabSheet1);
    QCOMPARE(w.CurPage(), 0);

    // The guidance covers the pages; only "ヘルプ" and "表示しない" are usable.
    QVERIFY(ui.Panel8->isVisible());
    QCOMPARE(ui.Panel8->geometry(), ui.PageControl1->geometry());
    QWidget* atCentre = w.childAt(ui.PageControl1->geometry().center());
    QVERIFY(atCentre && (atCentre == ui.Panel8 || ui.Panel8->isAncestorOf(atCentre)));
    QCOMPARE(MenuState(w), (Menus{false, false, false, true}));
    QVERIFY(ui.SpeedButton1->isEnabled());
    QVERIFY(!ui.SrcClassName->isEnabled()); // not even from the keyboard
    QVERIFY(!ui.BitBtn1->isEnabled());
    QVERIFY(!ui.BitBtn5->isEnabled());
    const QStringList lines = ui.Label15->text().split('\n');
    QCOMPARE(lines.size(), 25);
    QCOMPARE(lines[1], QStringLiteral("速読基礎"));
    QCOMPARE(lines[11], QStringLiteral("    (この理論は私の新しい理論です）"));
    QCOMPARE(lines[24],
             QStringLiteral(
                 "　　ＪＡＶＡ ＳＤＫがインストールされていなとコンパイル・実行はできません。"));
    QCOMPARE(TMainCrt::GuidanceText().count(QChar(13)), 24);
    QVERIFY(TMainCrt::GuidanceText().split(QChar(13))[9].endsWith(QStringLiteral("。 ")));

    // Start-up alone writes nothing.
    QVERIFY(!fs::exists(folders.settingsFile()));
    QVERIFY(folders.dialogs.messages.isEmpty());
}

void TestMainWindow::guidanceNeverReturnsOnceDismissed() {
    vtest::TestFolders folders;
    {
        AppWindows app = vtest::StartProgram();
        Dismiss(*app.main);
        QCOMPARE(MenuState(*app.main), (Menus{true, true, false, true}));
        QVERIFY(vtest::Find<vellaro::TypedLimitEdit>(*app.main, "SrcClassName")->isEnabled());
        QVERIFY(vtest::Find<QPushButton>(*app.main, "BitBtn1")->isEnabled());
        QVERIFY(vtest::Find<QPushButton>(*app.main, "BitBtn5")->isEnabled());
        QVERIFY(!app.main->EnvSettings().SpeedDisp);
        app.main->close();
    }
    QVERIFY(fs::exists(folders.settingsFile()));
    QCOMPARE(IniValue(folders.settingsFile(), "SpeedDisp"), QStringLiteral("0"));
    {
        AppWindows app = vtest::StartProgram();
        QVERIFY(!vtest::Find<QFrame>(*app.main, "Panel8")->isVisible());
    }
    // The settings file is not what remembers it.
    fs::remove(folders.settingsFile());
    {
        AppWindows app = vtest::StartProgram();
        QVERIFY(!vtest::Find<QFrame>(*app.main, "Panel8")->isVisible());
        QCOMPARE(MenuState(*app.main), (Menus{true, true, false, true}));
        QVERIFY(app.main->EnvSettings().SpeedDisp); // defaults again, but decides nothing
    }
}

void TestMainWindow::menusFollowThePageChosen() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);

    vtest::ClickTab(ui.PageControl1, 1);
    QCOMPARE(w.CurPage(), 1);
    QCOMPARE(MenuState(w), (Menus{false, false, true, true}));

    vtest::ClickTab(ui.PageControl1, 2);
    QCOMPARE(w.CurPage(), 2);
    QCOMPARE(MenuState(w), (Menus{false, false, false, true}));
    QCOMPARE(ui.PageControl2->currentWidget(), ui.TabSheet6);

    vtest::ClickTab(ui.PageControl1, 3); // the file exists since the first switch
    QCOMPARE(w.CurPage(), 3);
    QCOMPARE(MenuState(w), (Menus{false, false, false, true}));

    vtest::ClickTab(ui.PageControl1, 0);
    QCOMPARE(w.CurPage(), 0);
    QCOMPARE(MenuState(w), (Menus{true, true, false, true}));

    QVERIFY(folders.dialogs.messages.isEmpty());
}

void TestMainWindow::firstTabChangeStoresOnlyTheCounters() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    QVERIFY(!fs::exists(folders.settingsFile()));
    vtest::ClickTab(ui.PageControl1, 1);
    QCOMPARE(vtest::ReadIniLines(folders.settingsFile()),
             (QStringList{"[Bas]", "Level=1", "JavaReadCount=1", "BasreadCount=1"}));
}

void TestMainWindow::keyboardTabChangeIsTheLearnersChoice() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance(true);
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    QTabBar* bar = ui.PageControl1->tabBar();
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Right);
    QCOMPARE(ui.PageControl1->currentIndex(), 1);
    QCOMPARE(w.CurPage(), 1);
    QCOMPARE(MenuState(w), (Menus{false, false, true, true}));
    QVERIFY(fs::exists(folders.settingsFile()));

    // Ctrl+Tab on the page control counts too.
    QTest::keyClick(ui.PageControl1, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(ui.PageControl1->currentIndex(), 2);
    QCOMPARE(w.CurPage(), 2);
}

void TestMainWindow::programSetPagesRunNoPageSwitch() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    w.SetCurrentPage(ui.TabSheet2);
    w.SetSpeedPageVisible(false);
    w.SetSpeedPageVisible(true);
    w.SetCurrentPage(ui.TabSheet3);
    // Hiding the current page moves the page control on by itself: not a switch either.
    w.SetSpeedPageVisible(false);
    QCOMPARE(w.CurPage(), 0);
    QCOMPARE(MenuState(w), (Menus{true, true, false, true}));
    QVERIFY(!fs::exists(folders.settingsFile()));
}

void TestMainWindow::settingsPageShowsStoredValuesAgain() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    vtest::ClickTab(ui.PageControl1, 3);
    QCOMPARE(ui.sDisp_FontName->text(), QStringLiteral("ＭＳ ゴシック"));

    QFont chosen(QStringLiteral("IPAPGothic"));
    chosen.setPointSize(16);
    folders.dialogs.answerFont(chosen);
    QTest::mouseClick(ui.BitBtn3, Qt::LeftButton);
    QCOMPARE(ui.sDisp_FontName->text(), QStringLiteral("IPAPGothic"));
    QCOMPARE(ui.sDisp_FontSize->text(), QStringLiteral("16"));
    ui.MstLevel->setValue(7);
    ui.CheckBox_Spped->setChecked(false);

    vtest::ClickTab(ui.PageControl1, 0);
    vtest::ClickTab(ui.PageControl1, 3);
    QCOMPARE(ui.sDisp_FontName->text(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(ui.sDisp_FontSize->text(), QStringLiteral("10"));
    QCOMPARE(ui.MstLevel->value(), 1);
    QVERIFY(ui.CheckBox_Spped->isChecked());
    QCOMPARE(ui.SecEdit->font().pointSize(), 10); // never applied
}

void TestMainWindow::restoreDefaultsResizesAtOnce() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    PlaceWindow(w, QRect(40, 30, 720, 610));
    QCOMPARE(w.frameGeometry(), QRect(40, 30, 720, 610));
    vtest::ClickTab(ui.PageControl1, 3);
    ui.SpinEdit1->setValue(6);
    QTest::mouseClick(ui.BitBtn4, Qt::LeftButton);
    QCOMPARE(w.frameGeometry(), QRect(40, 30, 595, 520)); // resized, not moved
    QCOMPARE(ui.SpinEdit1->value(), 1);
    QCOMPARE(w.EnvSettings().YokoSize, 595);
    QCOMPARE(w.EnvSettings().YokoPos, 40);
    // "元に戻す" keeps the work folder that the page shows; nothing is written.
    QCOMPARE(ui.sDisp_SrcPath->text(), vellaro::FromPath(folders.defaultWorkFolder()));
    QCOMPARE(IniValue(folders.settingsFile(), "YokoSize"), QStringLiteral("<missing>"));
}

void TestMainWindow::closingStoresSettingsAndNextStartRestoresWindow() {
    vtest::TestFolders folders;
    {
        AppWindows app = vtest::StartPastGuidance();
        TMainCrt& w = *app.main;
        const vtest::MainControls ui(w);
        PlaceWindow(w, QRect(70, 50, 700, 600));
        vtest::ClickTab(ui.PageControl1, 3);
        // Edits never confirmed with "登　録" are stored by closing.
        ui.MstLevel->setValue(4);
        ui.SpinEdit1->setValue(3);
        ui.CheckBox_Spped->setChecked(false);
        ui.Exit1->trigger();
        QVERIFY(!w.isVisible());
    }
    const QStringList lines = vtest::ReadIniLines(folders.settingsFile());
    QCOMPARE(lines.size(), 19);
    QCOMPARE(IniValue(folders.settingsFile(), "Level"), QStringLiteral("4"));
    QCOMPARE(IniValue(folders.settingsFile(), "LevelTextBas"), QStringLiteral("3"));
    QCOMPARE(IniValue(folders.settingsFile(), "SwSpeedRead"), QStringLiteral("0"));
    QCOMPARE(IniValue(folders.settingsFile(), "YokoSize"), QStringLiteral("700"));
    QCOMPARE(IniValue(folders.settingsFile(), "TatePos"), QStringLiteral("50"));
    QCOMPARE(IniValue(folders.settingsFile(), "FontColor"), QStringLiteral("-2147483640"));
    {
        AppWindows app = vtest::StartProgram();
        TMainCrt& w = *app.main;
        const vtest::MainControls ui(w);
        QCOMPARE(w.frameGeometry(), QRect(70, 50, 700, 600));
        QVERIFY(!ui.PageControl1->isTabVisible(2));
        QCOMPARE(ui.MstLevel->value(), 4);
        QCOMPARE(ui.Select_Level->value(), 4);
    }
}

void TestMainWindow::missingWorkFolderReplacedByDefault_data() {
    QTest::addColumn<QString>("pathSrc");
    QTest::newRow("missing") << QStringLiteral("gone/away");
    QTest::newRow("empty") << QString();
}

void TestMainWindow::missingWorkFolderReplacedByDefault() {
    QFETCH(QString, pathSrc);
    vtest::TestFolders folders;
    const QString named =
        pathSrc.isEmpty() ? QString() : vellaro::FromPath(folders.root() / pathSrc.toStdString());
    vtest::WriteIni(folders.settingsFile(), {"[Bas]", "PathSrc=" + named, "Level=3"});
    AppWindows app = vtest::StartProgram();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    QCOMPARE(w.EnvSettings().PathSrc, folders.defaultWorkFolder());
    QCOMPARE(ui.sDisp_SrcPath->text(), vellaro::FromPath(folders.defaultWorkFolder()));
    QVERIFY(fs::is_directory(folders.defaultWorkFolder()));
    QCOMPARE(vellaro::CurSrcPath, folders.defaultWorkFolder());
    QCOMPARE(fs::current_path(), fs::canonical(folders.defaultWorkFolder()));
    if (!named.isEmpty())
        QVERIFY(!fs::exists(folders.root() / "gone"));
    // Read from the file, where the file has the key.
    QCOMPARE(ui.MstLevel->value(), 3);

    // The replacement stays: the settings page, which loads the file again, shows the folder in
    // use, "元に戻す" keeps it, and closing stores it.
    Dismiss(w);
    vtest::ClickTab(ui.PageControl1, 3);
    QCOMPARE(ui.sDisp_SrcPath->text(), vellaro::FromPath(folders.defaultWorkFolder()));
    QTest::mouseClick(ui.BitBtn4, Qt::LeftButton);
    QVERIFY(folders.dialogs.messages.isEmpty());
    QVERIFY(!w.ProgramEnded());
    QCOMPARE(vellaro::CurSrcPath, folders.defaultWorkFolder());
    if (!named.isEmpty())
        QVERIFY(!fs::exists(folders.root() / "gone"));
    w.close();
    QCOMPARE(IniValue(folders.settingsFile(), "PathSrc"),
             vellaro::FromPath(folders.defaultWorkFolder()));
}

void TestMainWindow::offScreenPlaceIsBroughtBack() {
    vtest::TestFolders folders;
    vtest::WriteIni(folders.settingsFile(),
                    {"[Bas]", "YokoSize=595", "TateSize=520", "YokoPos=5000", "TatePos=4000"});
    AppWindows app = vtest::StartProgram();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    const QRect screen = w.screen()->availableGeometry();
    const QRect frame = w.frameGeometry();
    QCOMPARE(frame.size(), QSize(595, 520));
    QVERIFY2(screen.contains(frame), qPrintable(QStringLiteral("%1,%2 on %3x%4")
                                                    .arg(frame.x())
                                                    .arg(frame.y())
                                                    .arg(screen.width())
                                                    .arg(screen.height())));
    // As near as it can be to where it was: against the screen's far corner.
    QCOMPARE(frame.bottomRight(), screen.bottomRight());
    // A place on the screen is applied unchanged.
    vtest::WriteIni(folders.settingsFile(), {"[Bas]", "YokoPos=30", "TatePos=40"});
    AppWindows again = vtest::StartProgram();
    QCOMPARE(again.main->frameGeometry().topLeft(), QPoint(30, 40));
}

void TestMainWindow::fileWithOnlyCountersKeepsDefaults() {
    vtest::TestFolders folders;
    vtest::WriteIni(folders.settingsFile(),
                    {"[Bas]", "Level=2", "JavaReadCount=5", "BasreadCount=9"});
    AppWindows app = vtest::StartProgram();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    QCOMPARE(w.frameGeometry().size(), QSize(595, 520));
    QCOMPARE(ui.SecEdit->font().family(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(ui.SecEdit->font().pointSize(), 10);
    QCOMPARE(ui.Sppd_Text->font().pointSize(), 12);
    QVERIFY(ui.PageControl1->isTabVisible(2));
    QCOMPARE(w.EnvSettings().JavaReadCount, 5);
    QCOMPARE(ui.spBasicCount->value(), 9);
    QCOMPARE(ui.MstLevel->value(), 2);
}

void TestMainWindow::earlierSettingsAreTakenOver() {
    vtest::TestFolders folders;
    // The earlier layout: the learner's settings and guidance marker in the machine-wide folder,
    // exercises in the earlier default work folder.
    fs::create_directories(folders.earlierSystem());
    fs::create_directories(folders.earlierWork());
    vtest::WriteIni(folders.earlierSystem() / "noprg.ini",
                    {"[Bas]", "PathSrc=" + vellaro::FromPath(folders.earlierWork()), "Level=3"});
    vtest::WriteFile(folders.earlierSystem() / "machine-values.ini",
                     "[Vellaro]\r\nGuidanceDismissed=sz:Dismissed\r\n");
    AppWindows app = vtest::StartProgram();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    QVERIFY(folders.dialogs.messages.isEmpty());
    QVERIFY(!ui.Panel8->isVisible());
    QCOMPARE(ui.MstLevel->value(), 3);
    QCOMPARE(w.EnvSettings().PathSrc, folders.earlierWork());
    QCOMPARE(fs::current_path(), fs::canonical(folders.earlierWork()));
    QVERIFY(!fs::exists(folders.defaultWorkFolder()));
    QCOMPARE(IniValue(folders.settingsFile(), "Level"), QStringLiteral("3"));
}

void TestMainWindow::workFolderThatCannotBeMadeEndsTheProgram() {
    vtest::TestFolders folders;
    // The documents folder lies below a regular file: no folder can be made there.
    const fs::path blocker = folders.root() / "blocker";
    std::ofstream(blocker) << "x";
    folders.setWork(blocker / "Vellaro" / "java source");
    folders.dialogs.answerMessage(vellaro::MbYes);
    AppWindows app = vtest::StartProgram();
    QCOMPARE(folders.dialogs.messages.size(), 1);
    const vtest::ShownMessage m = folders.dialogs.messages.front();
    QCOMPARE(m.kind, MsgKind::Error);
    QCOMPARE(m.text, kWorkFolderFailure);
    QCOMPARE(m.buttons, int(vellaro::MbYes));
    QVERIFY(app.main->ProgramEnded());
    QVERIFY(vellaro::TerminateRequested());
    QVERIFY(!app.dialogs); // no other window is made
    QVERIFY(!app.main->isVisible());
    QVERIFY(!fs::exists(folders.settingsFile()));
    // Closing now stores nothing.
    app.main->close();
    QVERIFY(!fs::exists(folders.settingsFile()));
}

void TestMainWindow::refusedWriteDuringPageSwitchStillSwitches() {
    vtest::TestFolders folders;
    // The system folder is a regular file: noprg.ini can be neither found nor written.
    const fs::path sysFile = folders.root() / "sysfile";
    std::ofstream(sysFile) << "x";
    folders.setSystem(sysFile);
    // Every box answered with OK; the store of the guidance marker may fail as well.
    folders.dialogs.answerAllMessages(vellaro::MbOk);
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    vtest::ClickTab(ui.PageControl1, 2);
    ui.Read_Timer->start();
    ui.Paint_Timer->start();
    folders.dialogs.messages.clear();

    vtest::ClickTab(ui.PageControl1, 1);
    QCOMPARE(folders.dialogs.messages.size(), 1);
    const vtest::ShownMessage m = folders.dialogs.messages.back();
    QCOMPARE(m.kind, MsgKind::Error);
    QCOMPARE(m.text,
             vellaro::FromPath(sysFile / "noprg.ini") + QStringLiteral(" に書き込めません"));
    QCOMPARE(w.CurPage(), 1);
    QCOMPARE(MenuState(w), (Menus{false, false, true, true}));
    QVERIFY(!ui.Read_Timer->isActive());
    QVERIFY(!ui.Paint_Timer->isActive());
}

void TestMainWindow::refusedWriteWhileClosingStillCloses() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    // The system folder turns into a regular file: the settings file can be written no more.
    fs::remove_all(folders.system());
    std::ofstream(folders.system()) << "x";

    // "登　録": the failure is shown and the rest of the command is skipped.
    ui.sDisp_SrcPath->setText(vellaro::FromPath(folders.root()));
    const fs::path before = fs::current_path();
    folders.dialogs.answerMessage(vellaro::MbOk);
    QTest::mouseClick(ui.TourokuButton, Qt::LeftButton);
    QCOMPARE(folders.dialogs.messages.size(), 1);
    QCOMPARE(folders.dialogs.messages.front().kind, MsgKind::Error);
    QVERIFY(folders.dialogs.messages.front().text.endsWith(QStringLiteral(" に書き込めません")));
    QCOMPARE(fs::current_path(), before); // the folder change after the store did not run
    QVERIFY(w.isVisible());

    // Closing: shown as well, and the window closes all the same.
    folders.dialogs.answerMessage(vellaro::MbOk);
    w.close();
    QCOMPARE(folders.dialogs.messages.size(), 2);
    QVERIFY(folders.dialogs.messages.back().text.endsWith(QStringLiteral(" に書き込めません")));
    QVERIFY(!w.isVisible());
}

void TestMainWindow::restoreDefaultsWithoutAWorkFolderEndsTheProgram() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    vtest::ClickTab(ui.PageControl1, 3);
    // The folder shown on the page lies below a regular file and cannot be made.
    const fs::path blocker = folders.root() / "blocker";
    std::ofstream(blocker) << "x";
    vellaro::CurSrcPath = blocker / "work";
    folders.dialogs.answerMessage(vellaro::MbYes);
    QTest::mouseClick(ui.BitBtn4, Qt::LeftButton);
    QCOMPARE(folders.dialogs.messageTexts(), QStringList{kWorkFolderFailure});
    QVERIFY(w.ProgramEnded());
    QVERIFY(vellaro::TerminateRequested());
    fs::remove(folders.settingsFile());
    w.close(); // an ended program stores nothing
    QVERIFY(!fs::exists(folders.settingsFile()));
}

void TestMainWindow::theProgramsOwnEndOffersTheExerciseForSavingFirst() {
    const QString& changed = kChangedExercise;
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    ChangeExerciseOnSettingsPage(w);

    // A work folder that cannot be made after "元に戻す": "キャンセル" stays in the program.
    const fs::path blocker = folders.root() / "blocker";
    std::ofstream(blocker) << "x";
    vellaro::CurSrcPath = blocker / "work";
    folders.dialogs.answerMessage(vellaro::MbYes);
    folders.dialogs.answerMessage(vellaro::MbCancel);
    QTest::mouseClick(ui.BitBtn4, Qt::LeftButton);
    QCOMPARE(folders.dialogs.messageTexts(), (QStringList{kWorkFolderFailure, changed}));
    QVERIFY(!w.ProgramEnded());
    QVERIFY(!vellaro::TerminateRequested());

    // A lesson text damaged by the time of "登　録": "はい" saves the exercise, then it ends.
    std::ofstream(folders.exe() / "Java.txt", std::ios::binary) << "BKBW\r\n7Q\r\n";
    const fs::path saved = folders.root() / "Mine.sja";
    folders.dialogs.answerMessage(vellaro::MbYes);
    folders.dialogs.answerMessage(vellaro::MbYes);
    folders.dialogs.answerSaveFile(vellaro::FromPath(saved));
    ui.sDisp_SrcPath->setText(vellaro::FromPath(folders.defaultWorkFolder()));
    QTest::mouseClick(ui.TourokuButton, Qt::LeftButton);
    QCOMPARE(
        folders.dialogs.messageTexts().mid(2),
        (QStringList{QStringLiteral("テキストファイルが壊れています、プログラムを終了します。"),
                     changed}));
    QCOMPARE(vtest::ReadFile(saved), std::string("?(1);"));
    QVERIFY(vellaro::TerminateRequested());
}

void TestMainWindow::aDeclinedEndAtTheLessonTextGoesOnAndClosingAsksOnce() {
    const QString missing = QStringLiteral("速読テキストが有りません、処理を中止します");
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    ChangeExerciseOnSettingsPage(w);

    // The lesson text is gone by the time of "登　録": "キャンセル" stays, and the command goes
    // on to the folder change.
    fs::remove(folders.exe() / "Java.txt");
    ui.sDisp_SrcPath->setText(vellaro::FromPath(folders.root()));
    folders.dialogs.answerMessage(vellaro::MbYes);
    folders.dialogs.answerMessage(vellaro::MbCancel);
    QTest::mouseClick(ui.TourokuButton, Qt::LeftButton);
    QCOMPARE(folders.dialogs.messageTexts(), (QStringList{missing, kChangedExercise}));
    QVERIFY(!w.ProgramEnded());
    QCOMPARE(fs::current_path(), fs::canonical(folders.root()));

    // Closing asks about the exercise once and stores; the same failure met while storing then
    // ends the program without asking again.
    ui.MstLevel->setValue(4);
    folders.dialogs.answerMessage(vellaro::MbNo);
    folders.dialogs.answerMessage(vellaro::MbYes);
    w.close();
    QCOMPARE(folders.dialogs.messageTexts().mid(2), (QStringList{kChangedExercise, missing}));
    QVERIFY(w.ProgramEnded());
    QVERIFY(!w.isVisible());
    QCOMPARE(IniValue(folders.settingsFile(), "Level"), QStringLiteral("4"));
}

void TestMainWindow::registerAppliesAndStoresThePage() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    vtest::ClickTab(ui.PageControl1, 3);
    QFont chosen(QStringLiteral("IPAPGothic"));
    chosen.setPointSize(14);
    folders.dialogs.answerFont(chosen);
    QTest::mouseClick(ui.BitBtn6, Qt::LeftButton);
    ui.MstLevel->setValue(6);
    ui.spBasicCount->setValue(42);
    QTest::mouseClick(ui.TourokuButton, Qt::LeftButton);
    QCOMPARE(ui.Sppd_Text->font().family(), QStringLiteral("IPAPGothic"));
    QCOMPARE(ui.Sppd_Text->font().pointSize(), 14);
    QCOMPARE(ui.Select_Level->value(), 6);
    QCOMPARE(IniValue(folders.settingsFile(), "spFontName"), QStringLiteral("IPAPGothic"));
    QCOMPARE(IniValue(folders.settingsFile(), "spFontSize"), QStringLiteral("14"));
    QCOMPARE(IniValue(folders.settingsFile(), "Level"), QStringLiteral("6"));
    QCOMPARE(IniValue(folders.settingsFile(), "BasreadCount"), QStringLiteral("42"));
    QCOMPARE(IniValue(folders.settingsFile(), "PathSrc"),
             vellaro::FromPath(folders.defaultWorkFolder()));
    // The keys in their fixed order.
    const QStringList lines = vtest::ReadIniLines(folders.settingsFile());
    QCOMPARE(lines.size(), 19);
    QVERIFY(lines[1].startsWith("Level=")); // the page switch wrote the counters first
}

void TestMainWindow::fontChoiceUpdatesOnlyTheFields() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    vtest::ClickTab(ui.PageControl1, 3);
    folders.dialogs.answerFont(std::nullopt); // cancelled
    QTest::mouseClick(ui.BitBtn3, Qt::LeftButton);
    QCOMPARE(folders.dialogs.fontRequests.size(), 1);
    // The dialog opens on the face the stored name stands for, as the window renders it.
    QCOMPARE(folders.dialogs.fontRequests.front().family(), QStringLiteral("IPAGothic"));
    QCOMPARE(folders.dialogs.fontRequests.front().pointSize(), 10);
    QCOMPARE(ui.sDisp_FontName->text(), QStringLiteral("ＭＳ ゴシック"));

    // Both buttons: the same face at another size keeps the stored name.
    for (auto [button, name, size] :
         {std::tuple{ui.BitBtn3, ui.sDisp_FontName, ui.sDisp_FontSize},
          std::tuple{ui.BitBtn6, ui.spDisp_FontName, ui.spDisp_FontSize}}) {
        QFont same(QStringLiteral("IPAGothic"));
        same.setPointSize(14);
        folders.dialogs.answerFont(same);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(folders.dialogs.fontRequests.back().family(), QStringLiteral("IPAGothic"));
        QCOMPARE(name->text(), QStringLiteral("ＭＳ ゴシック"));
        QCOMPARE(size->text(), QStringLiteral("14"));
    }
    QTest::mouseClick(ui.TourokuButton, Qt::LeftButton);
    QCOMPARE(IniValue(folders.settingsFile(), "FontName"), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(IniValue(folders.settingsFile(), "spFontSize"), QStringLiteral("14"));

    QFont bold(QStringLiteral("IPAPGothic"));
    bold.setPointSize(20);
    bold.setBold(true);
    folders.dialogs.answerFont(bold);
    QTest::mouseClick(ui.BitBtn3, Qt::LeftButton);
    QCOMPARE(ui.sDisp_FontName->text(), QStringLiteral("IPAPGothic"));
    QCOMPARE(ui.sDisp_FontSize->text(), QStringLiteral("20"));
    QCOMPARE(ui.SecEdit->font().pointSize(), 14);
    QCOMPARE(w.EnvSettings().FontSize, 14);
}

void TestMainWindow::firstLineButtonKeepsZeroUntilRegister() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    vtest::ClickTab(ui.PageControl1, 3);
    ui.spBasicCount->setValue(30);
    QTest::mouseClick(ui.BitBtn7, Qt::LeftButton);
    QCOMPARE(ui.spBasicCount->value(), 1);
    QCOMPARE(w.EnvSettings().BasreadCount, 0);
    vtest::ClickTab(ui.PageControl1, 0);
    QCOMPARE(IniValue(folders.settingsFile(), "BasreadCount"), QStringLiteral("0"));
    vtest::ClickTab(ui.PageControl1, 3);
    QTest::mouseClick(ui.BitBtn7, Qt::LeftButton);
    QTest::mouseClick(ui.TourokuButton, Qt::LeftButton);
    QCOMPARE(IniValue(folders.settingsFile(), "BasreadCount"), QStringLiteral("1"));
}

void TestMainWindow::spinEditsClampTypedValues() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    vtest::ClickTab(ui.PageControl1, 3);
    QVERIFY(vtest::Activated(&w));

    // Types into the field, then leaves it.
    auto typeInto = [&](QSpinBox* box, const QString& keys) {
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, keys);
        ui.CheckBox_Spped->setFocus();
        QTRY_VERIFY(!box->hasFocus());
    };
    typeInto(ui.MstLevel, "0");
    QCOMPARE(ui.MstLevel->value(), 1);
    typeInto(ui.MstLevel, "11");
    QCOMPARE(ui.MstLevel->value(), 10);
    ui.SpinEdit1->setValue(5);
    auto* spin = static_cast<vellaro::ClampSpinBox*>(ui.SpinEdit1);
    QSignalSpy refused(spin, &vellaro::ClampSpinBox::keyRefused);
    typeInto(ui.SpinEdit1, "abc"); // refused keys: the empty field reads as the minimum
    QCOMPARE(refused.count(), 3);
    QCOMPARE(ui.SpinEdit1->value(), 1);
    // A sign and the decimal separator are taken; what is no whole number reads as the minimum.
    ui.SpinEdit1->setValue(5);
    typeInto(ui.SpinEdit1, "4.5");
    QCOMPARE(refused.count(), 3);
    QCOMPARE(ui.SpinEdit1->value(), 1);
    typeInto(ui.SpinEdit1, "+7");
    QCOMPARE(ui.SpinEdit1->value(), 7);
    typeInto(ui.SpinEdit1, "-7");
    QCOMPARE(ui.SpinEdit1->value(), 1);
    QCOMPARE(refused.count(), 3);
    typeInto(ui.spBasicCount, "123456");
    QCOMPARE(ui.spBasicCount->value(), 99999);

    // A value set is clamped; setting the slider's own position raises nothing.
    ui.MstLevel->setValue(42);
    QCOMPARE(ui.MstLevel->value(), 10);
    QSignalSpy moved(ui.Select_Level, &QSlider::valueChanged);
    ui.Select_Level->setValue(ui.Select_Level->value());
    QCOMPARE(moved.count(), 0);
}

void TestMainWindow::classNameTakesTenTypedCharacters() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance(true);
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    ui.SrcClassName->setFocus();
    QTest::keyClicks(ui.SrcClassName, QStringLiteral("Abcdefghijkl"));
    QCOMPARE(ui.SrcClassName->text(), QStringLiteral("Abcdefghij"));

    // The program may set a longer name; the learner may shorten it but not lengthen it.
    ui.SrcClassName->setProgramText(QStringLiteral("LongerThanTen"));
    QCOMPARE(ui.SrcClassName->text(), QStringLiteral("LongerThanTen"));
    ui.SrcClassName->end(false);
    QTest::keyClick(ui.SrcClassName, Qt::Key_X);
    QCOMPARE(ui.SrcClassName->text(), QStringLiteral("LongerThanTen"));
    QTest::keyClick(ui.SrcClassName, Qt::Key_Backspace);
    QCOMPARE(ui.SrcClassName->text(), QStringLiteral("LongerThanTe"));
}

void TestMainWindow::messagePaneKeepsFortyPixels() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    vtest::ClickTab(ui.PageControl1, 1);
    QTRY_VERIFY(ui.Memo1->isVisible());
    QCOMPARE(ui.Memo1->height(), 89);
    QSplitterHandle* handle = ui.Splitter1->handle(1);
    QCOMPARE(handle->height(), 9);
    const QPoint start = handle->rect().center();
    const QPoint far = start + QPoint(0, 2000);
    QMouseEvent press(QEvent::MouseButtonPress, start, handle->mapToGlobal(start), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &press);
    QMouseEvent move(QEvent::MouseMove, far, handle->mapToGlobal(far), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, far, handle->mapToGlobal(far), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &release);
    QCOMPARE(ui.Memo1->height(), 40);
}

void TestMainWindow::layoutMatchesTheDesign() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartProgram();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    QCOMPARE(w.windowTitle(), QStringLiteral("Vellaro"));
    QStringList tabs;
    for (int i = 0; i < ui.PageControl1->count(); ++i)
        tabs << ui.PageControl1->tabText(i);
    QCOMPARE(tabs, (QStringList{"プログラム入力", "コンパイル", "速　読", "環境設定"}));
    QCOMPARE(ui.PageControl2->tabText(0), QStringLiteral("視野拡大"));
    QCOMPARE(ui.PageControl2->tabText(1), QStringLiteral("速読レッスン"));
    // The menu entries say what they do.
    QCOMPARE(ui.N10->text(), QStringLiteral("新規作成"));
    QCOMPARE(ui.ToolButton1->toolTip(), QStringLiteral("新規作成"));
    QCOMPARE(ui.N6->text(), QStringLiteral("コンパイル"));
    QCOMPARE(ui.N7->text(), QStringLiteral("実行"));
    QCOMPARE(ui.CompButton->toolTip(), QStringLiteral("コンパイル"));
    // No access keys anywhere in the menus.
    for (QMenu* m : {ui.f1, ui.Edit2, ui.N5, ui.Help1, ui.PopupMenu1}) {
        QVERIFY(!m->title().contains('&'));
        for (QAction* a : m->actions()) {
            QVERIFY(!a->text().contains('&'));
            QVERIFY(a->shortcut().isEmpty());
        }
    }
    QVERIFY(!ui.ToolButton9->isEnabled());
    QVERIFY(ui.SrcList->isHidden());
    QVERIFY(ui.SreadText->isHidden());
    QVERIFY(ui.ReadText_Buffer->isHidden());
    QVERIFY(!ui.Read_Timer->isActive());
    QVERIFY(!ui.Paint_Timer->isActive());
    QCOMPARE(ui.Read_Timer->interval(), 500);
    QCOMPARE(ui.Paint_Timer->interval(), 100);
    QCOMPARE(ui.BitBtn9->text(), QStringLiteral("Start"));
    QCOMPARE(ui.BitBtn1->text(), QStringLiteral("Ｓｔａｒｔ"));
    QCOMPARE(ui.Select_Level->minimum(), 1);
    QCOMPARE(ui.Select_Level->maximum(), 10);
    QCOMPARE(ui.spBasicCount->maximum(), 99999);
    QCOMPARE(ui.SaveclassName->palette().color(QPalette::Window), QColor(255, 251, 240));
    // Drawn so, too, inside its tool bar (right of any text, inside the bevel).
    QCOMPARE(ui.SaveclassName->grab().toImage().pixelColor(ui.SaveclassName->width() - 10,
                                                           ui.SaveclassName->height() / 2),
             QColor(255, 251, 240));
    QVERIFY(ui.StatusBar1->currentMessage().isEmpty());
    QVERIFY(ui.sDisp_SrcPath->isReadOnly());
    QVERIFY(!(ui.sDisp_SrcPath->focusPolicy() & Qt::TabFocus));
    QVERIFY(!(ui.SecEdit->focusPolicy() & Qt::TabFocus));
    QVERIFY(!ui.SecEdit->tabChangesFocus());
    // Every named control can be found by its name.
    for (const char* name : {"Panel1", "Bevel1", "Panel2", "Panel3", "Panel5", "Bevel2", "Panel8",
                             "Panel13", "Panel14", "Panel16", "Panel18", "Panel19", "GroupBox1",
                             "GroupBox2", "Label4", "Label15", "ToolButton12", "N14", "N1"})
        QVERIFY2(w.findChild<QObject*>(QLatin1String(name)), name);
    // The push buttons at their designed sizes, and the spacer between the settings groups.
    const std::pair<QWidget*, QSize> buttons[] = {
        {ui.BitBtn9, {61, 25}},       {ui.BitBtn10, {61, 25}},    {ui.BitBtn1, {61, 25}},
        {ui.BitBtn5, {61, 25}},       {ui.BitBtn7, {75, 24}},     {ui.BitBtn6, {75, 24}},
        {ui.BitBtn2, {75, 25}},       {ui.BitBtn3, {75, 25}},     {ui.BitBtn4, {75, 28}},
        {ui.TourokuButton, {75, 28}}, {ui.SpeedButton1, {94, 25}}};
    for (const auto& [button, size] : buttons)
        QVERIFY2(button->size() == size, qPrintable(button->objectName()));
    QTest::mouseClick(ui.SpeedButton1, Qt::LeftButton);
    vtest::ClickTab(ui.PageControl1, 3);
    QCOMPARE(w.findChild<QWidget*>(QStringLiteral("Panel11"))->height(), 21);
    // The window fits its default size: nothing forces it larger.
    QVERIFY(w.minimumSizeHint().width() <= 595);
    QVERIFY(w.minimumSizeHint().height() <= 520);
}

// The extension button's icon is looked up only when it is first drawn; drawn, it is the
// platform style's own.
void TestMainWindow::aToolBarsExtensionButtonDrawsTheStylesOwnIcon() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartProgram();
    auto* style = dynamic_cast<QProxyStyle*>(QApplication::style());
    QVERIFY(style);
    auto* extension = vtest::Find<QToolBar>(*app.main, "ToolBar1")
                          ->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    QVERIFY(extension);
    QVERIFY(!extension->icon().isNull());
    const QImage drawn = extension->icon().pixmap(QSize(16, 16)).toImage();
    const QImage own = style->baseStyle()
                           ->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton)
                           .pixmap(QSize(16, 16))
                           .toImage();
    QVERIFY(!own.isNull());
    QCOMPARE(drawn, own);
    QCOMPARE(extension->icon().availableSizes(),
             style->baseStyle()
                 ->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton)
                 .availableSizes());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
