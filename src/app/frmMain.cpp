// The main window's lifecycle: start-up, page switch, guidance panel, settings page and closing.
#include "app/frmMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

#include "app/Controls.h"
#include "app/frmMain_trainerState.h"
#include "common/Cp932.h"
#include "common/VellaroError.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtEvents.h"
#include "common/qt/QtText.h"
#include "exercise/qt/BackgroundArchive.h"
#include "settings/EarlierSettings.h"
#include "settings/IniFile.h"
#include "settings/WindowPlacement.h"
#include "trainer/qt/SpeedTextPanel.h"

using namespace vellaro;

namespace {

const char* const kWorkFolderFailure = "ＪＡＶＡソースを編集するフォルダを作成できません";
const char* const kUnknownFailure = "予期しないエラーが発生しました";

// The start-up guidance, one entry per line.
const char* const kGuidanceLines[] = {
    "",
    "速読基礎",
    "",
    "　　速読を行う前に体の力を抜いてリラックスしましょう。",
    "",
    "　　速読の時は画面の中央に視点を置き画面全体を見るようにして下さい。",
    "",
    "　　画面に表示される文章は読まないで（心の声を出さないで）ながめて下さい。",
    "",
    "　　２～３度文章を読むときは左眼（右目を閉じて）で文章を読んでください。 ",
    "",
    "    (この理論は私の新しい理論です）",
    "",
    "　　速読はこの心の声を出さないで文書を読むことです。",
    "",
    "　　ヘルプに説明している方法でテキストを読んでください。",
    "",
    "　　詳しい速読のレッスンは私たちが推薦する速読講習を受けられる事を薦めます。",
    "",
    "",
    "ＪＡＶＡインストール",
    "",
    "　　ＪＡＶＡをインストールしているかを再度確認して下さい。",
    "",
    "　　ＪＡＶＡ ＳＤＫがインストールされていなとコンパイル・実行はできません。",
};

} // namespace

const char* const TMainCrt::kGuidanceKey = "Vellaro";
const char* const TMainCrt::kGuidanceValueName = "GuidanceDismissed";
const char* const TMainCrt::kGuidanceMarker = "Dismissed";

QString TMainCrt::GuidanceText() {
    QStringList lines;
    for (const char* line : kGuidanceLines)
        lines << FromUtf8(line);
    return lines.join(QChar(13));
}

TMainCrt::TMainCrt(QWidget* parent)
    : QMainWindow(parent), m_trainer(std::make_unique<TrainerState>()),
      m_archive(std::make_unique<vellaro::BackgroundArchive>()) {
    {
        // Qt's line edits lay out their empty text once with the application's default font
        // while they are made, before they take their own; with the window's font as the
        // default meanwhile, start-up loads no font (and no fallback list) that nothing shows.
        // Every control ends with the font it inherits or is given, as before.
        struct DefaultFontWhileBuilding {
            const QFont saved = QGuiApplication::font();
            DefaultFontWhileBuilding() {
                QGuiApplication::setFont(PixelFont(kPGothicFace, kWindowFontPixels));
            }
            ~DefaultFontWhileBuilding() { QGuiApplication::setFont(saved); }
        } const defaultFont;
        BuildLayout();
    }
    ConnectEvents();
    // The designed place and size, until the settings give theirs.
    SetOuterGeometry(254, 122, 632, 539);
    // When start-up ends the program, main() sees ProgramEnded() and shows nothing.
    Guarded([this] { FormCreate(); });
}

TMainCrt::~TMainCrt() = default;

// ---- the boundary ----------------------------------------------------------------------------

void TMainCrt::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowFailure(FromUtf8(e.what()));
    } catch (...) {
        ShowFailure(FromUtf8(kUnknownFailure));
    }
}

void TMainCrt::ShowFailure(const QString& text) {
    Dialogs().message(this, MsgKind::Error, text, MbOk);
}

bool TMainCrt::ProgramEnded() const {
    return TerminateRequested();
}

bool TMainCrt::EndProgram() {
    // The learner's own close has asked about the exercise already.
    if (!m_closing && !KeepUnsavedExercise())
        return false;
    AppTerminate();
    return true;
}

bool TMainCrt::MakeWorkFolder(const std::filesystem::path& folder) {
    if (ExistFolder(folder) || MakeFolder(folder))
        return true;
    Dialogs().message(this, MsgKind::Error, FromUtf8(kWorkFolderFailure), MbYes);
    EndProgram();
    return false;
}

// ---- start-up --------------------------------------------------------------------------------

void TMainCrt::FormCreate() {
    m_curPage = 0;
    m_settingsFile = SysPath() / kSettingsFileName;
    m_ini = std::make_unique<IniFile>(m_settingsFile);
    m_defaultWorkFolder = DefaultWorkPath();
    CurSrcPath = m_defaultWorkFolder;
    // A learner who used the earlier machine-wide layout keeps their settings.
    const FolderSource& folders = CurrentFolderSource();
    TakeOverEarlierSettings(folders.earlierSystem, folders.earlierWork, SysPath());

    SetSpeedPageVisible(true);
    m_settings.SpeedDisp = true;

    if (ExistFile(m_settingsFile)) {
        // The defaults first, so that a key the file lacks keeps its default value instead of
        // zero (a file holding only the three counters would otherwise give a 0 × 0 window).
        m_settings = DefaultEnvSettings(m_defaultWorkFolder);
        const QRect outer = OuterGeometry();
        m_settings.YokoPos = outer.x();
        m_settings.TatePos = outer.y();
        LoadSettings();
        ApplySettings();
    } else if (!DefaultSettings()) {
        return;
    }
    ShowSettings();

    if (!LoadLessonText() || !ReplaceMissingWorkFolder())
        return;
    ChangeFolder(m_settings.PathSrc);

    SetMenus(true, true, false);
    SetCurrentPage(TabSheet1);

    if (RegReadStr(Cp932Text(kGuidanceKey), Cp932Text(kGuidanceValueName)) ==
        Cp932Text(kGuidanceMarker)) {
        Panel8->hide();
    } else {
        FitGuidancePanel();
        Panel8->show();
        Panel8->raise();
        // Covered pages are out of reach from the keyboard too (Tab, Ctrl+Tab).
        PageControl1->setEnabled(false);
        ShowGuidance();
    }
}

// A work folder that is missing (or named by an empty text) is replaced by the default one, made
// when need be; the folder it named is not created.
bool TMainCrt::ReplaceMissingWorkFolder() {
    if (!m_settings.PathSrc.empty() && ExistFolder(m_settings.PathSrc))
        return true;
    if (!MakeWorkFolder(m_defaultWorkFolder))
        return false;
    m_settings.PathSrc = m_defaultWorkFolder;
    CurSrcPath = m_defaultWorkFolder;
    sDisp_SrcPath->setText(FromPath(m_defaultWorkFolder));
    return true;
}

void TMainCrt::ShowGuidance() {
    // The text keeps its CR line ends; the label shows each as a line of its own.
    Label15->setText(GuidanceText().replace(QChar(13), QChar(10)));
    BitBtn1->setEnabled(false);
    BitBtn5->setEnabled(false);
    SetMenus(false, false, false);
    PumpEvents();
}

void TMainCrt::SpeedButton1Click() {
    m_settings.SpeedDisp = false;
    Panel8->hide();
    PageControl1->setEnabled(true);
    BitBtn1->setEnabled(true);
    BitBtn5->setEnabled(true);
    Sppd_Text->setText(QString());
    SetMenus(true, true, false);
    RegWriteStr(Cp932Text(kGuidanceKey), Cp932Text(kGuidanceValueName), Cp932Text(kGuidanceMarker));
}

void TMainCrt::FitGuidancePanel() {
    Panel8->setGeometry(PageControl1->geometry());
}

void TMainCrt::SetMenus(bool file, bool edit, bool run) {
    f1->menuAction()->setEnabled(file);
    Edit2->menuAction()->setEnabled(edit);
    N5->menuAction()->setEnabled(run);
    Help1->menuAction()->setEnabled(true);
}

// Every change of the current page is the learner's, however it comes, except those the program
// makes under a guard: pages set or hidden here run no page switch.
void TMainCrt::SetCurrentPage(QWidget* page) {
    const PageControl::ProgramChange guard(PageControl1);
    PageControl1->setCurrentWidget(page);
}

void TMainCrt::SetSpeedPageVisible(bool visible) {
    // Hiding the current page moves the page control on by itself.
    const PageControl::ProgramChange guard(PageControl1);
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet3), visible);
}

bool TMainCrt::PutBackUnderGuidance(PageControl* pages) {
    if (Panel8->isHidden())
        return false;
    // The guidance covers the pages: a switch that reaches them anyway (a screen reader can press
    // a tab of a disabled page control) is undone, and nothing of a page switch runs.
    const PageControl::ProgramChange guard(pages);
    pages->setCurrentIndex(pages->previousIndex());
    return true;
}

void TMainCrt::OpenMenuBar() {
    for (QAction* top : menuBar()->actions()) {
        if (top->isEnabled() && top->isVisible() && top->menu()) {
            menuBar()->setActiveAction(top);
            return;
        }
    }
}

// ---- page switch -----------------------------------------------------------------------------

void TMainCrt::PageControl1Change() {
    if (PutBackUnderGuidance(PageControl1))
        return;
    ClearStatus();
    // A refused write is reported, and the switch still goes on: the menus must belong to the
    // page now shown and no trainer timer may keep running on a page out of view.
    try {
        SaveCounters();
    } catch (const std::exception& e) {
        ShowFailure(FromUtf8(e.what()));
    }

    const QWidget* page = PageControl1->currentWidget();
    Guarded([this, page] {
        if (page == TabSheet1) {
            m_curPage = 0;
            SetMenus(true, true, false);
        } else if (page == TabSheet2) {
            m_curPage = 1;
            SetMenus(false, false, true);
            Memo1->clear();
            if (!SecEdit->document()->isEmpty())
                MakeJavaSource();
        } else if (page == TabSheet3) {
            SetMenus(false, false, false);
            EnterSpeedPage();
            m_curPage = 2;
        } else if (page == TabSheet4) {
            m_curPage = 3;
            if (ExistFile(m_settingsFile)) {
                LoadSettings();
                // The file may still name the folder that start-up replaced: the page shows,
                // and closing stores, the folder in use.
                if (!ReplaceMissingWorkFolder())
                    return;
                ShowSettings();
                SetMenus(false, false, false);
            }
        }
    });

    StopTrainerTimers();
}

// ---- settings --------------------------------------------------------------------------------

void TMainCrt::LoadSettings() {
    vellaro::LoadSettings(*m_ini, m_settings);
}

void TMainCrt::SaveSettings() {
    if (!ProgramEnded())
        vellaro::SaveSettings(*m_ini, m_settings);
}

void TMainCrt::SaveCounters() {
    if (!ProgramEnded())
        vellaro::SaveCounters(*m_ini, m_settings);
}

QFont TMainCrt::SettingsFont(const Cp932Text& name, int points) const {
    QFont f(FromSjis(name));
    if (points > 0)
        f.setPointSize(points);
    return f;
}

void TMainCrt::ApplySettings() {
    // A place stored on a screen that is gone would put the window out of reach.
    std::vector<ScreenRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect a = screen->availableGeometry();
        screens.push_back({a.x(), a.y(), a.width(), a.height()});
    }
    const ScreenRect place = PlaceOnScreens(
        {m_settings.YokoPos, m_settings.TatePos, m_settings.YokoSize, m_settings.TateSize},
        screens);
    SetOuterGeometry(place.left, place.top, place.width, place.height);
    compList->setFont(SettingsFont(m_settings.FontName, m_settings.FontSize));
    Sppd_Text->setFont(SettingsFont(m_settings.spFontName, m_settings.spFontSize));
    SecEdit->setFont(compList->font());
    Memo1->setFont(compList->font());
}

void TMainCrt::ShowSettings() {
    sDisp_SrcPath->setText(FromPath(m_settings.PathSrc));
    sDisp_FontName->setText(FromSjis(m_settings.FontName));
    sDisp_FontSize->setText(FromUtf8(IntToText(m_settings.FontSize)));
    CheckBox_Spped->setChecked(m_settings.SwSpeedRead);
    MstLevel->setValue(m_settings.Level);
    SpinEdit1->setValue(m_settings.LevelTextBas);
    SetSpeedPageVisible(m_settings.SwSpeedRead);
    CurSrcPath = ToPath(sDisp_SrcPath->text());
    // Moving the track bar runs its change handling; setting the position it has runs nothing.
    Select_Level->setValue(MstLevel->value());
    spDisp_FontName->setText(FromSjis(m_settings.spFontName));
    spDisp_FontSize->setText(FromUtf8(IntToText(m_settings.spFontSize)));
    spBasicCount->setValue(m_settings.BasreadCount);
}

bool TMainCrt::DefaultSettings() {
    ClearReadRunning();
    // The record's folder stays as it was until the folder in use is known to stand.
    m_settings = DefaultEnvSettings(m_settings.PathSrc);

    // Resized where it stands: the place stored is the window's own.
    SetOuterSize(m_settings.YokoSize, m_settings.TateSize);
    TakeOuterGeometry();

    QFont listFont(FromSjis(m_settings.FontName));
    listFont.setPointSize(m_settings.FontSize);
    SrcList->setFont(listFont);
    SecEdit->setFont(SrcList->font());
    compList->setFont(SrcList->font());
    Memo1->setFont(SrcList->font());
    QFont speedFont = Sppd_Text->font();
    speedFont.setFamily(FromSjis(m_settings.spFontName));
    speedFont.setPointSize(m_settings.spFontSize);
    Sppd_Text->setFont(speedFont);

    SetSpeedPageVisible(m_settings.SwSpeedRead);
    // The two counters show their defaults before the folder is checked: a learner who stays
    // after its failure sees them so.
    spBasicCount->setValue(m_settings.BasreadCount);
    SpinEdit1->setValue(m_settings.LevelTextBas);

    if (!MakeWorkFolder(CurSrcPath))
        return false;
    m_settings.PathSrc = CurSrcPath;
    return true;
}

void TMainCrt::TakeOuterGeometry() {
    const QRect outer = OuterGeometry();
    m_settings.YokoSize = outer.width();
    m_settings.TateSize = outer.height();
    m_settings.YokoPos = outer.x();
    m_settings.TatePos = outer.y();
}

void TMainCrt::SettingsFromControls() {
    m_settings.FontName = ToSjisOrEmpty(sDisp_FontName->text());
    m_settings.FontSize = TextToInt(ToUtf8(sDisp_FontSize->text()));
    m_settings.FontColor = kWindowTextColor;
    m_settings.spFontName = ToSjisOrEmpty(spDisp_FontName->text());
    m_settings.spFontSize = TextToInt(ToUtf8(spDisp_FontSize->text()));
    m_settings.PathSrc = ToPath(sDisp_SrcPath->text());
    m_settings.SwSpeedRead = CheckBox_Spped->isChecked();
    m_settings.Level = MstLevel->value();
    m_settings.LevelTextBas = SpinEdit1->value();
    m_settings.BasreadCount = spBasicCount->value();
    TakeOuterGeometry();
}

namespace {

// The face and the size that the settings page shows, applied to a font. A size that is no
// number (0) leaves the font's size as it was.
void TakeFontFields(QFont& font, const QLineEdit* name, int points) {
    font.setFamily(name->text());
    if (points > 0)
        font.setPointSize(points);
}

} // namespace

void TMainCrt::TourokuButtonClick() {
    SettingsFromControls();

    QFont editFont = SecEdit->font();
    TakeFontFields(editFont, sDisp_FontName, m_settings.FontSize);
    SecEdit->setFont(editFont);
    compList->setFont(editFont);
    Memo1->setFont(editFont);
    QFont speedFont = Sppd_Text->font();
    TakeFontFields(speedFont, spDisp_FontName, m_settings.spFontSize);
    Sppd_Text->setFont(speedFont);
    SetSpeedPageVisible(m_settings.SwSpeedRead);
    Select_Level->setValue(MstLevel->value());

    SaveSettings();
    if (LoadLessonText())
        ChangeFolder(m_settings.PathSrc);
}

void TMainCrt::BitBtn4Click() {
    if (DefaultSettings())
        ShowSettings();
}

namespace {

// The two font choices: the dialog opens on the face the name field stands for, at the size
// shown, and a confirmed choice replaces the name and size shown (style, colour and effects are
// not kept; the name stays as it was when the same face was chosen).
void ChooseFont(QWidget* parent, QLineEdit* name, QLineEdit* size) {
    const QFont initial = FontDialogStart(name->text(), TextToInt(ToUtf8(size->text())));
    const std::optional<QFont> chosen = Dialogs().chooseFont(parent, initial);
    if (!chosen)
        return;
    const QString chosenName = FontDialogChoice(name->text(), *chosen);
    // A face name that the settings file cannot hold (it is CP932) would be stored damaged;
    // such a choice is not taken.
    if (!ToSjis(chosenName))
        return;
    int chosenPoints = chosen->pointSize();
    if (chosenPoints <= 0)
        chosenPoints = qRound(chosen->pointSizeF());
    name->setText(chosenName);
    size->setText(FromUtf8(IntToText(chosenPoints)));
}

} // namespace

void TMainCrt::BitBtn3Click() {
    ChooseFont(this, sDisp_FontName, sDisp_FontSize);
}

void TMainCrt::BitBtn6Click() {
    ChooseFont(this, spDisp_FontName, spDisp_FontSize);
}

void TMainCrt::BitBtn7Click() {
    spBasicCount->setValue(0); // shows its minimum, 1
    m_settings.BasreadCount = 0;
}

// ---- window geometry -------------------------------------------------------------------------

QRect TMainCrt::OuterGeometry() const {
    // A maximised or minimised window is stored with the place it returns to, so the next start
    // neither opens a screen-sized normal window nor places it off the desktop.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
        const QRect fg = frameGeometry();
        const QRect g = geometry();
        const QMargins frame(g.left() - fg.left(), g.top() - fg.top(), fg.right() - g.right(),
                             fg.bottom() - g.bottom());
        return normalGeometry().marginsAdded(frame);
    }
    return frameGeometry();
}

void TMainCrt::SetOuterSize(int width, int height) {
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(qMax(1, width - frame.width()), qMax(1, height - frame.height()));
    // Before the window is on the screen its frame is not known yet; the outer size is reached
    // once it is (showEvent).
    m_pendingOuterSize = isVisible() && !frame.isNull() ? QSize() : QSize(width, height);
}

void TMainCrt::SetOuterGeometry(int left, int top, int width, int height) {
    SetOuterSize(width, height);
    move(left, top); // a top-level window's position is that of its frame
}

void TMainCrt::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_shownBefore) {
        // The first exposure paints the window; what start-up left for later follows it, and
        // at the latest comes a moment later for a window that is never exposed.
        windowHandle()->installEventFilter(this);
        constexpr int kLeftForLaterMs = 500;
        QTimer::singleShot(kLeftForLaterMs, this, [this] { FillPendingLessonBuffers(); });
        // Once the window stands and has been painted: the archive's compile never competes
        // with start-up.
        m_shownBefore = true;
        constexpr int kArchiveAfterShowMs = 500;
        QTimer::singleShot(kArchiveAfterShowMs, this,
                           [this] { Guarded([this] { StartArchiveInBackground(); }); });
    }
    if (!m_pendingOuterSize.isValid())
        return;
    // The window manager reports the frame after the window is mapped; the outer size is
    // corrected then, unless the learner has resized the window meanwhile.
    QTimer::singleShot(0, this, [this] {
        if (!m_pendingOuterSize.isValid())
            return;
        const QSize want = m_pendingOuterSize;
        const QSize frame = frameGeometry().size() - geometry().size();
        m_pendingOuterSize = QSize();
        if (!frame.isNull())
            resize(qMax(1, want.width() - frame.width()), qMax(1, want.height() - frame.height()));
    });
}

// ---- window events ---------------------------------------------------------------------------

void TMainCrt::FormResize() {
    PumpEvents();
}

void TMainCrt::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FitGuidancePanel();
    if (ProgramEnded())
        return;
    Guarded([this] { FormResize(); });
}

void TMainCrt::Exit1Click() {
    close();
}

void TMainCrt::FormClose() {
    TourokuButtonClick();
}

void TMainCrt::closeEvent(QCloseEvent* event) {
    // A compile still running ends first: a hung compiler must not keep the window open.
    StopCompile();
    // After the program's own end nothing is asked or stored. Otherwise a changed exercise is
    // offered for saving (declining, or a save that did not write, keeps the window open), then
    // the settings are stored; if that fails the learner sees why, and the window closes all the
    // same, so the program can always be left. An end met while storing asks nothing more.
    if (!ProgramEnded()) {
        bool goOn = false;
        Guarded([this, &goOn] { goOn = KeepUnsavedExercise(); });
        if (!goOn) {
            event->ignore();
            return;
        }
        m_closing = true;
        Guarded([this] { FormClose(); });
        m_closing = false;
    }
    event->accept();
}

bool TMainCrt::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowHandle() && event->type() == QEvent::Expose && m_trainer->mirrorPending)
        QTimer::singleShot(0, this, [this] { FillPendingLessonBuffers(); });
    else if (watched == PageControl1 &&
             (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        FitGuidancePanel();
    else if (watched == TabSheet5 && event->type() == QEvent::Show)
        Guarded([this] { TabSheet5Show(); });
    else if (watched == Panel16 && event->type() == QEvent::Resize)
        Guarded([this] { Panel16Resize(); });
    else if ((watched == Memo1 || watched == Memo1->viewport()) && Memo1Event(watched, event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}
