// The main window's layout and the map from its controls' events to the handlers.
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Controls.h"
#include "app/ExerciseEditor.h"
#include "app/Icons.h"
#include "app/frmMain.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtText.h"
#include "dialogs/frVer.h"
#include "exercise/ClassName.h"
#include "exercise/JavaSyntax.h"
#include "exercise/qt/BackgroundArchive.h"
#include "trainer/qt/DiscSurface.h"
#include "trainer/qt/SpeedTextPanel.h"

using namespace vellaro;

namespace {

// Captions that more than one control shows.
constexpr const char* kInputPage = "プログラム入力";
constexpr const char* kCompile = "コンパイル";
constexpr const char* kRun = "実行";
constexpr const char* kStep = "ステップ実行";
constexpr const char* kLessonSheet = "速読レッスン";
constexpr const char* kNew = "新規作成";
constexpr const char* kCut = "切り取り";
constexpr const char* kCopy = "コピー";
constexpr const char* kPaste = "貼り付け";
constexpr const char* kSelectAll = "総て選択";
constexpr const char* kClassName = "クラス名 ";
constexpr const char* kChoose = "設　定";
constexpr const char* kFontSize = "文字サイズ";

const QColor kCream(255, 251, 240);
const QKeySequence kHalfWidthKey(Qt::CTRL | Qt::SHIFT | Qt::Key_H);

QFont PGothic(int pixels) {
    return PixelFont(kPGothicFace, pixels);
}

template <class W> W* Named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

// A plain panel: a frame of the given shape that lays its children out in a box.
QFrame* Panel(QWidget* parent, const char* name, QFrame::Shape shape = QFrame::NoFrame,
              QFrame::Shadow shadow = QFrame::Plain) {
    auto* f = Named(new QFrame(parent), name);
    f->setFrameShape(shape);
    f->setFrameShadow(shadow);
    return f;
}

QVBoxLayout* VBox(QWidget* w, int margin = 0, int spacing = 0) {
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(spacing);
    return l;
}

QHBoxLayout* HBox(QWidget* w, int margin = 0, int spacing = 0) {
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(margin, margin, margin, margin);
    l->setSpacing(spacing);
    return l;
}

void SetBackground(QWidget* w, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    pal.setColor(QPalette::Base, c);
    w->setPalette(pal);
    // Set, not inherited: inside a tool bar a widget would take the bar's button role, and the
    // colour would never show.
    w->setBackgroundRole(QPalette::Window);
    w->setAutoFillBackground(true);
}

// The colour is for an enabled control only: a disabled Start button must look disabled.
void SetTextColour(QWidget* w, const QColor& c) {
    QPalette pal = w->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::ButtonText, c);
        pal.setColor(group, QPalette::WindowText, c);
    }
    w->setPalette(pal);
}

// A static text with a sunken border on cream, its text centred (the level and line displays).
QLabel* Display(QWidget* parent, const char* name, const char* text, QSize size, int pixels) {
    auto* l = Named(new QLabel(FromUtf8(text), parent), name);
    l->setFixedSize(size);
    l->setAlignment(Qt::AlignCenter);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setFont(PGothic(pixels));
    SetBackground(l, kCream);
    return l;
}

QPushButton* Button(QWidget* parent, const char* name, const char* text, QSize size,
                    const QColor& colour = QColor(), int pixels = 0) {
    auto* b = Named(new QPushButton(FromUtf8(text), parent), name);
    b->setFixedSize(size);
    if (pixels > 0)
        b->setFont(PGothic(pixels));
    if (colour.isValid())
        SetTextColour(b, colour);
    b->setAccessibleName(b->text());
    return b;
}

// A label placed before (or over) the control it names; the control takes it as its spoken name.
QLabel* Caption(QWidget* parent, const char* name, const char* text, QWidget* buddy = nullptr) {
    auto* l = Named(new QLabel(FromUtf8(text), parent), name);
    if (buddy) {
        l->setBuddy(buddy);
        buddy->setAccessibleName(l->text().trimmed());
    }
    return l;
}

// A display that shows a value: a screen reader hears the value as its name, which follows every
// change of the text, and the caption in front of it as its description.
void ShowsValue(QWidget* display, const QString& caption) {
    display->setAccessibleName(QString());
    display->setAccessibleDescription(caption);
}

// A tool button: its hint is the tooltip and the name a screen reader speaks.
QAction* ToolAction(QToolBar* bar, const char* name, const QIcon& icon, const char* hint) {
    QAction* a = bar->addAction(icon, FromUtf8(hint));
    a->setObjectName(QLatin1String(name));
    a->setToolTip(FromUtf8(hint));
    if (QWidget* w = bar->widgetForAction(a)) {
        w->setObjectName(QLatin1String(name));
        w->setAccessibleName(FromUtf8(hint));
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            MakeKeyboardToolButton(button);
    }
    return a;
}

QAction* Separator(QToolBar* bar, const char* name) {
    QAction* a = bar->addSeparator();
    a->setObjectName(QLatin1String(name));
    return a;
}

QAction* Separator(QMenu* menu, const char* name) {
    QAction* a = menu->addSeparator();
    a->setObjectName(QLatin1String(name));
    return a;
}

QAction* MenuEntry(QMenu* menu, const char* name, const char* text) {
    QAction* a = menu->addAction(FromUtf8(text));
    a->setObjectName(QLatin1String(name));
    return a;
}

// What the open and the save dialog of one kind of file ask for.
void FileDialogs(FileDialogRequest& open, FileDialogRequest& save, const char* filter,
                 const char* suffix) {
    open = {FromUtf8("開く"), {}, {}, FromUtf8(filter), QLatin1String(suffix)};
    save = open;
    save.caption = FromUtf8("名前を付けて保存");
}

QToolBar* PageToolBar(QWidget* parent, const char* name, int height) {
    auto* t = Named(new QToolBar(parent), name);
    t->setMovable(false);
    t->setFloatable(false);
    t->setIconSize(QSize(16, 16));
    t->setToolButtonStyle(Qt::ToolButtonIconOnly);
    t->setFixedHeight(height);
    t->setContextMenuPolicy(Qt::PreventContextMenu);
    return t;
}

// A hidden buffer that the program reads and writes.
QPlainTextEdit* Buffer(QWidget* parent, const char* name) {
    auto* e = Named(new QPlainTextEdit(parent), name);
    e->setReadOnly(true);
    e->setLineWrapMode(QPlainTextEdit::NoWrap);
    e->hide();
    return e;
}

QSpinBox* SpinEdit(QWidget* parent, const char* name, int min, int max, int width) {
    auto* s = Named(new ClampSpinBox(parent), name);
    s->setRange(min, max);
    s->setValue(min);
    s->setFixedWidth(width);
    return s;
}

QLineEdit* ReadOnlyField(QWidget* parent, const char* name, int width) {
    auto* e = Named(new QLineEdit(parent), name);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::ClickFocus); // not a Tab-key stop
    e->setFixedWidth(width);
    return e;
}

// A settings group on a panel of its own, with a gap at its left and right.
QGroupBox* GroupOnPanel(QWidget* parent, const char* panelName, const char* name, const char* title,
                        int minimumHeight, const char* rightGapName) {
    auto* panel = Panel(parent, panelName);
    QHBoxLayout* row = HBox(panel);
    row->addSpacing(12);
    auto* group = Named(new QGroupBox(FromUtf8(title), panel), name);
    group->setMinimumHeight(minimumHeight);
    group->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    row->addWidget(group, 1);
    auto* gap = Panel(panel, rightGapName);
    gap->setFixedWidth(23);
    row->addWidget(gap);
    return group;
}

} // namespace

// The controls are made in the order of the focus chain: strip, pages, status bar, the pages'
// contents from the first page to the last, the guidance panel, then the menus.
void TMainCrt::BuildLayout() {
    setObjectName(QStringLiteral("MainCrt"));
    setWindowTitle(QStringLiteral("Vellaro"));
    setFont(PGothic(kWindowFontPixels));

    auto* client = Named(new QWidget(this), "ClientArea");
    setCentralWidget(client);
    QVBoxLayout* clientBox = VBox(client);

    // ---- the decorative strip ----
    Panel1 = Panel(client, "Panel1");
    Panel1->setFixedHeight(13);
    QVBoxLayout* strip = VBox(Panel1);
    auto* bevel1 = Panel(Panel1, "Bevel1", QFrame::HLine, QFrame::Sunken);
    bevel1->setFixedHeight(2);
    strip->addWidget(bevel1);
    strip->addStretch();
    clientBox->addWidget(Panel1);

    // ---- the pages ----
    PageControl1 = Named(new PageControl(client), "PageControl1");
    PageControl1->setDocumentMode(true); // flat tabs
    clientBox->addWidget(PageControl1, 1);
    TabSheet1 = Named(new QWidget, "TabSheet1");
    TabSheet2 = Named(new QWidget, "TabSheet2");
    TabSheet3 = Named(new QWidget, "TabSheet3");
    TabSheet4 = Named(new QWidget, "TabSheet4");
    PageControl1->addTab(TabSheet1, FromUtf8(kInputPage));
    PageControl1->addTab(TabSheet2, FromUtf8(kCompile));
    PageControl1->addTab(TabSheet3, FromUtf8("速　読"));
    PageControl1->addTab(TabSheet4, FromUtf8("環境設定"));

    BuildStatusBar();
    BuildInputPage();
    BuildCompilePage();
    BuildSpeedPage();
    BuildSettingsPage();
    BuildGuidancePanel(client);
    BuildMenus();
    BuildTimersAndDialogs();
}

void TMainCrt::BuildStatusBar() {
    StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setFixedHeight(23);
    setStatusBar(StatusBar1);
    // Labels rather than the bar's own message: pointing at a tool button or a menu entry
    // clears that message, and the learner would lose the explanation on the way to a button.
    StatusMessage = Named(new ElidedLabel(StatusBar1), "StatusMessage");
    StatusBar1->addWidget(StatusMessage, 1);
    StatusErrorCount = Named(new QLabel(StatusBar1), "StatusErrorCount");
    StatusErrorCount->setTextFormat(Qt::PlainText);
    StatusBar1->addPermanentWidget(StatusErrorCount);
    StatusFullWidth = Named(new QLabel(StatusBar1), "StatusFullWidth");
    StatusFullWidth->setTextFormat(Qt::PlainText);
    StatusBar1->addPermanentWidget(StatusFullWidth);
}

// ---- page "プログラム入力" ---------------------------------------------------------------------

void TMainCrt::BuildInputPage() {
    QVBoxLayout* box = VBox(TabSheet1);
    ToolBar1 = PageToolBar(TabSheet1, "ToolBar1", 29);
    ToolButton1 = ToolAction(ToolBar1, "ToolButton1", EditImage(0), kNew);
    SrcClassName = Named(new TypedLimitEdit(kClassNameTypedLimit), "SrcClassName");
    SrcClassName->setFixedWidth(185);
    SrcClassName->setFont(PGothic(13));
    Label1 = Caption(ToolBar1, "Label1", kClassName, SrcClassName);
    Label1->setFixedWidth(56);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ToolBar1->addWidget(Label1);
    ToolBar1->addWidget(SrcClassName);
    Separator(ToolBar1, "ToolButton12");
    ToolButton2 = ToolAction(ToolBar1, "ToolButton2", EditImage(1), "プログラム読込み");
    ToolButton3 = ToolAction(ToolBar1, "ToolButton3", EditImage(2), "プログラム書き込み");
    Separator(ToolBar1, "ToolButton15");
    ToolButton4 = ToolAction(ToolBar1, "ToolButton4", EditImage(3), "カット");
    ToolButton5 = ToolAction(ToolBar1, "ToolButton5", EditImage(4), kCopy);
    ToolButton6 = ToolAction(ToolBar1, "ToolButton6", EditImage(5), kPaste);
    Separator(ToolBar1, "ToolButton8");
    box->addWidget(ToolBar1);

    SecEdit = Named(new ExerciseEditor(TabSheet1), "SecEdit");
    SecEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    SecEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SecEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SecEdit->setTabChangesFocus(false);      // the Tab key inserts a tab
    SecEdit->setFocusPolicy(Qt::ClickFocus); // and the focus never tabs into it
    SecEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    SecEdit->setAccessibleName(FromUtf8(kInputPage));
    KeepTabStopsAtEightBlanks(SecEdit);
    TakeWaveDashAsTilde(SecEdit);
    box->addWidget(SecEdit, 1);
}

// ---- page "コンパイル" -------------------------------------------------------------------------

void TMainCrt::BuildCompilePage() {
    QVBoxLayout* box = VBox(TabSheet2);
    ToolBar2 = PageToolBar(TabSheet2, "ToolBar2", 31);
    SaveclassName = Named(new QLabel(TabSheet2), "SaveclassName");
    SaveclassName->setFixedSize(185, 22);
    SaveclassName->setFrameShape(QFrame::Panel);
    SaveclassName->setFrameShadow(QFrame::Sunken);
    SaveclassName->setLineWidth(2);
    SaveclassName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SaveclassName->setTextFormat(Qt::PlainText);
    SetBackground(SaveclassName, kCream);
    Label3 = Caption(ToolBar2, "Label3", kClassName, SaveclassName);
    ShowsValue(SaveclassName, Label3->text().trimmed());
    Label3->setFixedWidth(56);
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ToolBar2->addWidget(Label3);
    ToolBar2->addWidget(SaveclassName);
    Separator(ToolBar2, "ToolButton7");
    ToolButton9 = ToolAction(ToolBar2, "ToolButton9", ImageList(0), "Ｊａｖａソース読込み");
    ToolButton9->setEnabled(false);
    ToolButton11 = ToolAction(ToolBar2, "ToolButton11", ImageList(1), "Ｊａｖａソース書出し");
    Separator(ToolBar2, "ToolButton18");
    CompButton = ToolAction(ToolBar2, "CompButton", ImageList(2), kCompile);
    RunButton = ToolAction(ToolBar2, "RunButton", ImageList(3), kRun);
    StepButton = ToolAction(ToolBar2, "StepButton", StepImage(), kStep);
    box->addWidget(ToolBar2);

    SrcList = Buffer(TabSheet2, "SrcList");
    SrcList->setFont(PixelFont(kGothicFace, 13));
    SrcList->setContextMenuPolicy(Qt::CustomContextMenu);
    box->addWidget(SrcList);

    Splitter1 = Named(new QSplitter(Qt::Vertical, TabSheet2), "Splitter1");
    Splitter1->setHandleWidth(9);
    Splitter1->setChildrenCollapsible(false);
    compList = Named(new ListingView(Splitter1), "compList");
    compList->setReadOnly(true);
    compList->setLineWrapMode(QPlainTextEdit::NoWrap);
    compList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    compList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    compList->setFocusPolicy(Qt::ClickFocus);
    KeepTabStopsAtEightBlanks(compList);
    compList->setAccessibleName(FromUtf8("ソースリスト"));
    // The compiler's messages quote the source and point into it with "^": the pane takes the
    // listing's font (the settings apply it to both) and its tab stops, does not wrap, and
    // scrolls what does not fit.
    Memo1 = Named(new MessagePane(Splitter1), "Memo1");
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Memo1->setFocusPolicy(Qt::ClickFocus);
    Memo1->viewport()->setMouseTracking(true); // the pointer changes over a link
    KeepTabStopsAtEightBlanks(Memo1);
    // However far the splitter is dragged, the message pane keeps 40 pixels.
    Memo1->setMinimumHeight(40);
    Memo1->setAccessibleName(FromUtf8("コンパイルメッセージ"));
    Splitter1->addWidget(compList);
    Splitter1->addWidget(Memo1);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({300, 89});
    box->addWidget(Splitter1, 1);
}

// ---- page "速　読" -----------------------------------------------------------------------------

void TMainCrt::BuildSpeedPage() {
    QVBoxLayout* box = VBox(TabSheet3);
    PageControl2 = Named(new PageControl(TabSheet3), "PageControl2");
    box->addWidget(PageControl2);
    TabSheet5 = Named(new QWidget, "TabSheet5");
    TabSheet6 = Named(new QWidget, "TabSheet6");
    PageControl2->addTab(TabSheet5, FromUtf8("視野拡大"));
    PageControl2->addTab(TabSheet6, FromUtf8(kLessonSheet));
    BuildFieldSheet();
    BuildLessonSheet();
    PageControl2->setCurrentWidget(TabSheet6);
}

// "視野拡大": the paint surface under its tool bar, and the level and Start/Stop below.
void TMainCrt::BuildFieldSheet() {
    QVBoxLayout* five = VBox(TabSheet5);
    Panel16 = Panel(TabSheet5, "Panel16", QFrame::Panel, QFrame::Raised);
    Panel16->setLineWidth(2);
    SetBackground(Panel16, Qt::white);
    QVBoxLayout* area = VBox(Panel16, 2);
    ToolBar3 = PageToolBar(Panel16, "ToolBar3", 29);
    SetBackground(ToolBar3, palette().color(QPalette::Midlight));
    Separator(ToolBar3, "ToolButton16");
    ToolButton10 = ToolAction(ToolBar3, "ToolButton10", paintImage(0), "視野拡大＋");
    ToolButton17 = ToolAction(ToolBar3, "ToolButton17", paintImage(1), "縦視野拡大");
    ToolButton19 = ToolAction(ToolBar3, "ToolButton19", paintImage(2), "横視野拡大");
    area->addWidget(ToolBar3);
    BasImage = Named(new DiscSurface(Panel16), "BasImage");
    BasImage->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    area->addWidget(BasImage, 1);
    five->addWidget(Panel16, 1);

    auto* panel15 = Panel(TabSheet5, "Panel15", QFrame::Panel, QFrame::Raised);
    panel15->setFixedHeight(11);
    five->addWidget(panel15);
    auto* panel13 = Panel(TabSheet5, "Panel13");
    panel13->setFixedHeight(41);
    QHBoxLayout* bottom = HBox(panel13);
    bottom->addStretch();
    auto* panel14 = Panel(panel13, "Panel14", QFrame::Panel, QFrame::Sunken);
    panel14->setFixedWidth(428);
    QHBoxLayout* levelRow = HBox(panel14, 4, 6);
    Disp_Lavel = Display(panel14, "Disp_Lavel", "1", QSize(46, 19), 15);
    Label5 = Caption(panel14, "Label5", "レベル");
    Label5->setFont(PGothic(13));
    Select_Level = Named(new QSlider(Qt::Horizontal, panel14), "Select_Level");
    Select_Level->setFixedWidth(160);
    Select_Level->setRange(1, 10);
    Select_Level->setValue(1);
    Select_Level->setSingleStep(1);
    Select_Level->setPageStep(1);
    Select_Level->setTickPosition(QSlider::TicksBelow);
    Select_Level->setTickInterval(1);
    Select_Level->setAccessibleName(Label5->text());
    ShowsValue(Disp_Lavel, Label5->text());
    BitBtn9 = Button(panel14, "BitBtn9", "Start", QSize(61, 25), Qt::red, 13);
    BitBtn10 = Button(panel14, "BitBtn10", "Stop", QSize(61, 25), Qt::blue, 13);
    levelRow->addWidget(Label5);
    levelRow->addWidget(Disp_Lavel);
    levelRow->addWidget(Select_Level);
    levelRow->addWidget(BitBtn9);
    levelRow->addWidget(BitBtn10);
    levelRow->addStretch();
    bottom->addWidget(panel14);
    five->addWidget(panel13);
}

// "速読レッスン": the line display, and the counter and Start/Stop below.
void TMainCrt::BuildLessonSheet() {
    QVBoxLayout* six = VBox(TabSheet6);
    Sppd_Text = Named(new SpeedTextPanel(TabSheet6), "Sppd_Text");
    Sppd_Text->setFrameShape(QFrame::StyledPanel);
    Sppd_Text->setFrameShadow(QFrame::Sunken);
    Sppd_Text->setFont(PGothic(13));
    Sppd_Text->setCaption(FromUtf8(kLessonSheet));
    six->addWidget(Sppd_Text, 1);
    auto* panel17 = Panel(TabSheet6, "Panel17", QFrame::Panel, QFrame::Raised);
    panel17->setFixedHeight(11);
    six->addWidget(panel17);
    auto* panel7 = Panel(TabSheet6, "Panel7");
    panel7->setFixedHeight(41);
    QHBoxLayout* lessonStrip = HBox(panel7);
    SreadText = Buffer(panel7, "SreadText");
    lessonStrip->addWidget(SreadText);
    lessonStrip->addStretch();
    auto* panel12 = Panel(panel7, "Panel12", QFrame::Panel, QFrame::Sunken);
    panel12->setFixedWidth(262);
    QHBoxLayout* countRow = HBox(panel12, 4, 6);
    dispcount = Display(panel12, "dispcount", "1", QSize(64, 17), 13);
    Label13 = Caption(panel12, "Label13", "行");
    Label13->setFont(PGothic(13));
    ShowsValue(dispcount, Label13->text());
    BitBtn1 = Button(panel12, "BitBtn1", "Ｓｔａｒｔ", QSize(61, 25), Qt::red, 13);
    BitBtn5 = Button(panel12, "BitBtn5", "Ｓｔｏｐ", QSize(61, 25), Qt::blue, 13);
    countRow->addWidget(dispcount);
    countRow->addWidget(Label13);
    countRow->addStretch();
    countRow->addWidget(BitBtn1);
    countRow->addWidget(BitBtn5);
    lessonStrip->addWidget(panel12);
    six->addWidget(panel7);
}

// ---- page "環境設定" ---------------------------------------------------------------------------

void TMainCrt::BuildSettingsPage() {
    QVBoxLayout* pageBox = VBox(TabSheet4);
    auto* panel2 = Panel(TabSheet4, "Panel2", QFrame::Panel, QFrame::Raised);
    panel2->setFont(PGothic(13));
    pageBox->addWidget(panel2);
    QVBoxLayout* box = VBox(panel2, 2);
    // The gaps give way first when the window is low.
    box->addSpacerItem(new QSpacerItem(0, 32, QSizePolicy::Minimum, QSizePolicy::Preferred));
    box->addWidget(BuildSpeedSettings(panel2));
    auto* panel11 = Panel(panel2, "Panel11");
    panel11->setFixedHeight(21);
    box->addWidget(panel11);
    box->addWidget(BuildJavaSettings(panel2));
    box->addStretch(1);
    box->addWidget(BuildSettingsButtons(panel2));
}

// Group "速読設定".
QWidget* TMainCrt::BuildSpeedSettings(QWidget* parent) {
    QGroupBox* group2 = GroupOnPanel(parent, "Panel9", "GroupBox2", "速読設定", 173, "Panel10");
    QGridLayout* g2 = new QGridLayout(group2);
    g2->setHorizontalSpacing(8);
    g2->setVerticalSpacing(4);
    CheckBox_Spped =
        Named(new QCheckBox(FromUtf8("速読レッスンを行う　（速読ページの表示）"), group2),
              "CheckBox_Spped");
    CheckBox_Spped->setChecked(true);
    CheckBox_Spped->setAccessibleName(CheckBox_Spped->text());
    g2->addWidget(CheckBox_Spped, 0, 0, 1, 5);
    MstLevel = SpinEdit(group2, "MstLevel", 1, 10, 62);
    SpinEdit1 = SpinEdit(group2, "SpinEdit1", 1, 10, 62);
    spBasicCount = SpinEdit(group2, "spBasicCount", 1, 99999, 88);
    auto* label10 = Caption(group2, "Label10", "速読レベル");
    auto* label9 = Caption(group2, "Label9", "読み行数  ", spBasicCount);
    g2->addWidget(label10, 1, 1);
    g2->addWidget(label9, 1, 2);
    g2->addWidget(Caption(group2, "Label11", "基本レッスンレベル", MstLevel), 2, 0);
    g2->addWidget(MstLevel, 2, 1);
    g2->addWidget(Caption(group2, "Label14", "JAVA基本テキスト", SpinEdit1), 3, 0);
    g2->addWidget(SpinEdit1, 3, 1);
    g2->addWidget(spBasicCount, 3, 2);
    BitBtn7 = Button(group2, "BitBtn7", "先頭行へ", QSize(75, 24));
    g2->addWidget(BitBtn7, 3, 3);
    auto* fontRow = new QHBoxLayout;
    fontRow->setSpacing(8);
    spDisp_FontName = ReadOnlyField(group2, "spDisp_FontName", 121);
    spDisp_FontSize = ReadOnlyField(group2, "spDisp_FontSize", 73);
    BitBtn6 = Button(group2, "BitBtn6", kChoose, QSize(75, 24), Qt::blue);
    BitBtn6->setAccessibleName(FromUtf8("速読設定 設定"));
    fontRow->addWidget(Caption(group2, "Label8", "文字種別", spDisp_FontName));
    fontRow->addWidget(spDisp_FontName);
    fontRow->addWidget(Caption(group2, "Label12", kFontSize, spDisp_FontSize));
    spDisp_FontSize->setAccessibleName(FromUtf8("速読の文字サイズ"));
    fontRow->addWidget(spDisp_FontSize);
    fontRow->addWidget(BitBtn6);
    fontRow->addStretch();
    g2->addLayout(fontRow, 4, 0, 1, 5);
    g2->setColumnStretch(4, 1);
    return group2->parentWidget();
}

// Group "JAVA設定".
QWidget* TMainCrt::BuildJavaSettings(QWidget* parent) {
    QGroupBox* group1 = GroupOnPanel(parent, "Panel6", "GroupBox1", "JAVA設定", 114, "Panel4");
    QGridLayout* g1 = new QGridLayout(group1);
    g1->setHorizontalSpacing(8);
    g1->setVerticalSpacing(8);
    sDisp_SrcPath = ReadOnlyField(group1, "sDisp_SrcPath", 311);
    BitBtn2 = Button(group1, "BitBtn2", "参　照", QSize(75, 25));
    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(8);
    pathRow->addWidget(sDisp_SrcPath);
    pathRow->addWidget(BitBtn2);
    pathRow->addStretch();
    g1->addWidget(Caption(group1, "Label4", "ソースパス", sDisp_SrcPath), 0, 0);
    g1->addLayout(pathRow, 0, 1);
    sDisp_FontName = ReadOnlyField(group1, "sDisp_FontName", 121);
    sDisp_FontSize = ReadOnlyField(group1, "sDisp_FontSize", 63);
    BitBtn3 = Button(group1, "BitBtn3", kChoose, QSize(75, 25), Qt::blue);
    BitBtn3->setAccessibleName(FromUtf8("JAVA設定 設定"));
    auto* editFontRow = new QHBoxLayout;
    editFontRow->setSpacing(8);
    editFontRow->addWidget(sDisp_FontName);
    editFontRow->addWidget(Caption(group1, "Label7", kFontSize, sDisp_FontSize));
    sDisp_FontSize->setAccessibleName(FromUtf8("ソースの文字サイズ"));
    editFontRow->addWidget(sDisp_FontSize);
    editFontRow->addWidget(BitBtn3);
    editFontRow->addStretch();
    g1->addWidget(Caption(group1, "Label6", "ソース文字", sDisp_FontName), 1, 0);
    g1->addLayout(editFontRow, 1, 1);
    g1->setColumnStretch(1, 1);
    return group1->parentWidget();
}

// The button strip along the bottom: "元に戻す" and "登　録", and the hidden lesson buffer.
QWidget* TMainCrt::BuildSettingsButtons(QWidget* parent) {
    auto* panel3 = Panel(parent, "Panel3");
    panel3->setFixedHeight(77);
    QHBoxLayout* strip3 = HBox(panel3);
    ReadText_Buffer = Buffer(panel3, "ReadText_Buffer");
    strip3->addWidget(ReadText_Buffer);
    strip3->addStretch();
    auto* panel5 = Panel(panel3, "Panel5");
    panel5->setFixedWidth(230);
    QHBoxLayout* strip5 = HBox(panel5);
    auto* bevel2 = Panel(panel5, "Bevel2", QFrame::Box, QFrame::Sunken);
    bevel2->setFixedSize(190, 52);
    QHBoxLayout* pair = HBox(bevel2, 10, 10);
    BitBtn4 = Button(bevel2, "BitBtn4", "元に戻す", QSize(75, 28), Qt::red);
    TourokuButton = Button(bevel2, "TourokuButton", "登　録", QSize(75, 28), Qt::blue);
    pair->addWidget(BitBtn4);
    pair->addWidget(TourokuButton);
    strip5->addWidget(bevel2, 0, Qt::AlignCenter);
    strip3->addWidget(panel5);
    return panel3;
}

// ---- the guidance panel, in front of the pages while it is shown -------------------------------

void TMainCrt::BuildGuidancePanel(QWidget* client) {
    Panel8 = Panel(client, "Panel8");
    Panel8->setAutoFillBackground(true);
    QHBoxLayout* row = HBox(Panel8);
    auto* panel19 = Panel(Panel8, "Panel19");
    panel19->setFixedWidth(27);
    row->addWidget(panel19);
    auto* column = new QVBoxLayout;
    column->setSpacing(0);
    Label15 = Named(new QLabel(Panel8), "Label15");
    Label15->setFont(PGothic(15));
    Label15->setTextFormat(Qt::PlainText);
    Label15->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A low window scrolls the text rather than cutting it off.
    auto* scroll = Named(new QScrollArea(Panel8), "Label15Scroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(Label15);
    scroll->setFocusPolicy(Qt::NoFocus);
    column->addWidget(scroll, 1);
    auto* panel18 = Panel(Panel8, "Panel18");
    panel18->setFixedHeight(41);
    SpeedButton1 = Button(panel18, "SpeedButton1", "表示しない", QSize(94, 25));
    SpeedButton1->setGeometry(474, 10, 94, 25);
    column->addWidget(panel18);
    row->addLayout(column, 1);
    Panel8->hide();
}

// ---- menus -------------------------------------------------------------------------------------

void TMainCrt::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    f1 = Named(bar->addMenu(FromUtf8("ファイル")), "f1");
    N10 = MenuEntry(f1, "N10", kNew);
    Separator(f1, "N14");
    N11 = MenuEntry(f1, "N11", "読込み");
    N12 = MenuEntry(f1, "N12", "書き込み");
    Separator(f1, "N13");
    Exit1 = MenuEntry(f1, "Exit1", "終了");
    Edit2 = Named(bar->addMenu(FromUtf8("編集")), "Edit2");
    Cut2 = MenuEntry(Edit2, "Cut2", kCut);
    Copy2 = MenuEntry(Edit2, "Copy2", kCopy);
    Paste2 = MenuEntry(Edit2, "Paste2", kPaste);
    Separator(Edit2, "N3");
    N4 = MenuEntry(Edit2, "N4", kSelectAll);
    Separator(Edit2, "N15");
    HalfWidth2 = MenuEntry(Edit2, "HalfWidth2", kFullWidthCommand);
    N5 = Named(bar->addMenu(FromUtf8(kRun)), "N5");
    N6 = MenuEntry(N5, "N6", kCompile);
    N7 = MenuEntry(N5, "N7", kRun);
    NStep = MenuEntry(N5, "NStep", kStep);
    Help1 = Named(bar->addMenu(FromUtf8("ヘルプ")), "Help1");
    N8 = MenuEntry(Help1, "N8", "操作説明");
    Separator(Help1, "N9");
    About1 = MenuEntry(Help1, "About1", TAboutBox::Title);

    PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
    Cut1 = MenuEntry(PopupMenu1, "Cut1", kCut);
    Copy1 = MenuEntry(PopupMenu1, "Copy1", kCopy);
    Paste1 = MenuEntry(PopupMenu1, "Paste1", kPaste);
    Separator(PopupMenu1, "N1");
    N2 = MenuEntry(PopupMenu1, "N2", kSelectAll);
    Separator(PopupMenu1, "N16");
    HalfWidth1 = MenuEntry(PopupMenu1, "HalfWidth1", kFullWidthCommand);
    // The command's key is a shortcut of the window, as F4 is (the menu entries keep none of
    // their own); both entries show it beside their caption.
    for (QAction* a : {HalfWidth2, HalfWidth1})
        a->setText(a->text() + QLatin1Char('\t') +
                   kHalfWidthKey.toString(QKeySequence::NativeText));
    // Menus are windows of their own and take no font from the main window.
    for (QMenu* m : {f1, Edit2, N5, Help1, PopupMenu1})
        m->setFont(font());
}

// ---- timers (all stopped at start) and what the standard dialogs ask for -----------------------

void TMainCrt::BuildTimersAndDialogs() {
    Read_Timer = Named(new QTimer(this), "Read_Timer");
    Read_Timer->setInterval(500);
    Paint_Timer = Named(new QTimer(this), "Paint_Timer");
    Paint_Timer->setInterval(100);

    FileDialogs(OpenDialog1, SaveDialog1, "ソースファイル (*.sja)", "sja");
    FileDialogs(OpenDialog2, SaveDialog2, "Javaソース (*.java)", "java");
    FontDialog1 = PGothic(12);

    // A child of the window, found by its name like the timers (the member still ends it, before
    // the window's children go).
    m_archive->setParent(this);
    m_archive->setObjectName(QStringLiteral("ArchiveInBackground"));
}

// ---- the map from the controls' events to the handlers ----------------------------------------

// Every handler runs inside the boundary that shows an uncaught failure in the error box.
std::function<void()> TMainCrt::Handler(void (TMainCrt::*handler)()) {
    return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
}

std::function<void()> TMainCrt::EditHandler(void (TMainCrt::*handler)(bool), bool fromMenu) {
    return [this, handler, fromMenu] {
        Guarded([this, handler, fromMenu] { (this->*handler)(fromMenu); });
    };
}

void TMainCrt::ConnectEvents() {
    ConnectMenus();
    ConnectExercisePages();
    ConnectSpeedPage();
    ConnectSettingsPage();
    ConnectEditor();

    // F10 opens the menu bar, as on the other desktops' programs (Alt does so as well).
    auto* f10 = Named(new QShortcut(QKeySequence(Qt::Key_F10), this), "MenuKey");
    connect(f10, &QShortcut::activated, this, Handler(&TMainCrt::OpenMenuBar));

    // The pages and the guidance panel.
    connect(PageControl1, &PageControl::learnerChanged, this,
            Handler(&TMainCrt::PageControl1Change));
    connect(SpeedButton1, &QPushButton::clicked, this, Handler(&TMainCrt::SpeedButton1Click));
    PageControl1->installEventFilter(this);
}

// The menu bar, and the pop-up menu of the editor and the source buffer.
void TMainCrt::ConnectMenus() {
    connect(N10, &QAction::triggered, this, Handler(&TMainCrt::ToolButton1Click));
    connect(N11, &QAction::triggered, this, Handler(&TMainCrt::ToolButton2Click));
    connect(N12, &QAction::triggered, this, Handler(&TMainCrt::ToolButton3Click));
    connect(Exit1, &QAction::triggered, this, Handler(&TMainCrt::Exit1Click));
    connect(Cut2, &QAction::triggered, this, EditHandler(&TMainCrt::EditCut, true));
    connect(Copy2, &QAction::triggered, this, EditHandler(&TMainCrt::EditCopy, true));
    connect(Paste2, &QAction::triggered, this, EditHandler(&TMainCrt::EditPaste, true));
    connect(N4, &QAction::triggered, this, EditHandler(&TMainCrt::EditSelectAll, true));
    connect(N6, &QAction::triggered, this, Handler(&TMainCrt::CompButtonClick));
    connect(N7, &QAction::triggered, this, Handler(&TMainCrt::RunButtonClick));
    connect(N8, &QAction::triggered, this, Handler(&TMainCrt::N8Click));
    connect(About1, &QAction::triggered, this, Handler(&TMainCrt::About1Click));

    connect(Cut1, &QAction::triggered, this, EditHandler(&TMainCrt::EditCut, false));
    connect(Copy1, &QAction::triggered, this, EditHandler(&TMainCrt::EditCopy, false));
    connect(Paste1, &QAction::triggered, this, EditHandler(&TMainCrt::EditPaste, false));
    connect(N2, &QAction::triggered, this, EditHandler(&TMainCrt::EditSelectAll, false));
    for (QPlainTextEdit* editor : {SecEdit, SrcList})
        connect(editor, &QWidget::customContextMenuRequested, this, [this, editor](QPoint pos) {
            PopupMenu1->popup(editor->viewport()->mapToGlobal(pos));
        });
}

// Pages "プログラム入力" and "コンパイル".
void TMainCrt::ConnectExercisePages() {
    connect(ToolButton1, &QAction::triggered, this, Handler(&TMainCrt::ToolButton1Click));
    connect(ToolButton2, &QAction::triggered, this, Handler(&TMainCrt::ToolButton2Click));
    connect(ToolButton3, &QAction::triggered, this, Handler(&TMainCrt::ToolButton3Click));
    connect(ToolButton4, &QAction::triggered, this, EditHandler(&TMainCrt::EditCut, false));
    connect(ToolButton5, &QAction::triggered, this, EditHandler(&TMainCrt::EditCopy, false));
    connect(ToolButton6, &QAction::triggered, this, EditHandler(&TMainCrt::EditPaste, false));
    connect(SrcClassName, &QLineEdit::textChanged, this, Handler(&TMainCrt::SrcClassNameChange));

    connect(ToolButton11, &QAction::triggered, this, Handler(&TMainCrt::ToolButton11Click));
    connect(CompButton, &QAction::triggered, this, Handler(&TMainCrt::CompButtonClick));
    connect(RunButton, &QAction::triggered, this, Handler(&TMainCrt::RunButtonClick));
    connect(StepButton, &QAction::triggered, this, Handler(&TMainCrt::StepButtonClick));
    connect(NStep, &QAction::triggered, this, Handler(&TMainCrt::StepButtonClick));
    // F7 from any page, as the menu entry (whose entries carry no keys of their own).
    auto* stepKey = Named(new QShortcut(QKeySequence(Qt::Key_F7), this), "StepKey");
    connect(stepKey, &QShortcut::activated, this, Handler(&TMainCrt::StepButtonClick));
    connect(Memo1->document(), &QTextDocument::contentsChanged, this,
            [this] { ForgetCompileMessages(); });
    Memo1->installEventFilter(this);
    Memo1->viewport()->installEventFilter(this);
    auto* nextMessage = Named(new QShortcut(QKeySequence(Qt::Key_F4), this), "NextMessageKey");
    connect(nextMessage, &QShortcut::activated, this,
            [this] { Guarded([this] { SelectNextMessage(true); }); });
    auto* previousMessage =
        Named(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F4), this), "PreviousMessageKey");
    connect(previousMessage, &QShortcut::activated, this,
            [this] { Guarded([this] { SelectNextMessage(false); }); });
}

// Page "速　読".
void TMainCrt::ConnectSpeedPage() {
    connect(PageControl2, &PageControl::learnerChanged, this,
            Handler(&TMainCrt::PageControl2Change));
    connect(ToolButton10, &QAction::triggered, this, Handler(&TMainCrt::ToolButton10Click));
    connect(ToolButton17, &QAction::triggered, this, Handler(&TMainCrt::ToolButton17Click));
    connect(ToolButton19, &QAction::triggered, this, Handler(&TMainCrt::ToolButton19Click));
    connect(Select_Level, &QSlider::valueChanged, this, Handler(&TMainCrt::Select_LevelChange));
    connect(BitBtn9, &QPushButton::clicked, this, Handler(&TMainCrt::BitBtn9Click));
    connect(BitBtn10, &QPushButton::clicked, this, Handler(&TMainCrt::BitBtn10Click));
    connect(BitBtn1, &QPushButton::clicked, this, Handler(&TMainCrt::BitBtn1Click));
    connect(BitBtn5, &QPushButton::clicked, this, Handler(&TMainCrt::BitBtn5Click));
    connect(Sppd_Text, &SpeedTextPanel::focusLost, this, Handler(&TMainCrt::Sppd_TextExit));
    connect(Read_Timer, &QTimer::timeout, this, Handler(&TMainCrt::Read_TimerTimer));
    connect(Paint_Timer, &QTimer::timeout, this, Handler(&TMainCrt::Paint_TimerTimer));
    TabSheet5->installEventFilter(this);
    Panel16->installEventFilter(this);
}

// Page "環境設定".
void TMainCrt::ConnectSettingsPage() {
    connect(BitBtn2, &QPushButton::clicked, this, Handler(&TMainCrt::BitBtn2Click));
    connect(BitBtn3, &QPushButton::clicked, this, Handler(&TMainCrt::BitBtn3Click));
    connect(BitBtn6, &QPushButton::clicked, this, Handler(&TMainCrt::BitBtn6Click));
    connect(BitBtn7, &QPushButton::clicked, this, Handler(&TMainCrt::BitBtn7Click));
    connect(BitBtn4, &QPushButton::clicked, this, Handler(&TMainCrt::BitBtn4Click));
    connect(TourokuButton, &QPushButton::clicked, this, Handler(&TMainCrt::TourokuButtonClick));
}
