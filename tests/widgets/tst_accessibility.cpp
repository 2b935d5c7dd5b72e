// The main window as a screen reader and a keyboard learner reach it: every control has a name
// that a screen reader speaks, value displays speak their values, a tab pressed through the
// accessibility interfaces is a page switch, and every command can be reached without a mouse.
// Also checks the drawn icons of the three image lists.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "TestSupport.h"
#include "app/Icons.h"
#include "app/frmMain.h"
#include "trainer/qt/SpeedTextPanel.h"

namespace fs = std::filesystem;

namespace {

// A widget the learner can act on with the mouse or the keyboard.
bool IsControl(QWidget* w) {
    return qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
           qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QAbstractSlider*>(w) ||
           qobject_cast<QPlainTextEdit*>(w) || w->inherits("vellaro::SpeedTextPanel");
}

bool Reachable(QWidget* w) {
    return w->isVisibleTo(w->window()) && w->isEnabled();
}

struct Walk {
    QStringList unnamed;
    int controls = 0;
    int tabs = 0;
};

void WalkTree(QAccessibleInterface* node, Walk& walk, int depth = 0) {
    if (!node || depth > 60)
        return;
    QObject* object = node->object();
    auto* widget = qobject_cast<QWidget*>(object);
    // The scroll bars and viewports inside editors are parts of the editor, named with it.
    const bool control = widget && IsControl(widget) && Reachable(widget) &&
                         !widget->inherits("QScrollBar") &&
                         widget->objectName() != "qt_spinbox_lineedit";
    if (control) {
        ++walk.controls;
        if (node->text(QAccessible::Name).trimmed().isEmpty())
            walk.unnamed << (widget->objectName().isEmpty()
                                 ? QString(widget->metaObject()->className())
                                 : widget->objectName());
    }
    if (node->role() == QAccessible::PageTab) {
        ++walk.tabs;
        if (node->text(QAccessible::Name).trimmed().isEmpty())
            walk.unnamed << QStringLiteral("page tab");
    }
    for (int i = 0; i < node->childCount(); ++i)
        WalkTree(node->child(i), walk, depth + 1);
}

Walk WalkPage(TMainCrt& w) {
    const vtest::MainControls ui(w);
    Walk walk;
    WalkTree(QAccessible::queryAccessibleInterface(&w), walk);
    return walk;
}

QString NameOf(QObject* o) {
    return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
}

// Presses the tab of a page control as a screen reader does, through the accessibility bus.
void PressTab(QTabWidget* pages, int index) {
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(pages->tabBar());
    QVERIFY(bar);
    QAccessibleInterface* tab = bar->child(index);
    QVERIFY(tab && tab->role() == QAccessible::PageTab);
    QAccessibleActionInterface* action = tab->actionInterface();
    QVERIFY(action);
    QVERIFY(action->actionNames().contains(QAccessibleActionInterface::pressAction()));
    action->doAction(QAccessibleActionInterface::pressAction());
}

bool MenusAre(const TMainCrt& w, bool file, bool edit, bool run) {
    const vtest::MainControls ui(w);
    return ui.f1->menuAction()->isEnabled() == file &&
           ui.Edit2->menuAction()->isEnabled() == edit && ui.N5->menuAction()->isEnabled() == run &&
           ui.Help1->menuAction()->isEnabled();
}

// The names of the widgets the Tab key visits from `from`, `count` presses long.
QStringList TabWalk(QWidget* from, int count) {
    from->setFocus(Qt::OtherFocusReason);
    QStringList names;
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        names << QApplication::focusWidget()->objectName();
    }
    return names;
}

bool Holds(const QStringList& walk, const QStringList& run) {
    for (qsizetype i = 0; i + run.size() <= walk.size(); ++i)
        if (walk.mid(i, run.size()) == run)
            return true;
    return false;
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

  private slots:
    void everyReachableControlHasAName();
    void tabPressedThroughTheBusIsAPageSwitch();
    void tabPressedUnderTheGuidanceIsPutBack();
    void toolButtonsAreReachedAndPressedFromTheKeyboard();
    void valueDisplaysSpeakTheirValues();
    void classNameSetThroughTheBusKeepsTheTypedLimit();
    void menuEntriesHaveNames();
    void iconsAreDrawnAtEverySize();
};

void TestAccessibility::iconsAreDrawnAtEverySize() {
    using vellaro::IconId;
    const IconId all[] = {IconId::NewSheet,       IconId::OpenFolder,       IconId::Floppy,
                          IconId::Scissors,       IconId::CopySheets,       IconId::PasteClipboard,
                          IconId::TextSheet,      IconId::Computer,         IconId::ScreenCross,
                          IconId::ScreenVertical, IconId::ScreenHorizontal, IconId::StepForward};
    QList<QImage> at16;
    for (IconId id : all) {
        for (int size : {16, 32, 48}) {
            const QImage img = vellaro::IconImage(id, size);
            QCOMPARE(img.size(), QSize(size, size));
            // Something is drawn, and the corners of the grid stay see-through somewhere.
            int opaque = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x)
                    opaque += qAlpha(img.pixel(x, y)) > 0;
            QVERIFY(opaque > size * size / 8);
            QVERIFY(opaque < size * size);
        }
        at16 << vellaro::IconImage(id, 16);
    }
    // Every picture differs from every other.
    for (int i = 0; i < at16.size(); ++i)
        for (int j = i + 1; j < at16.size(); ++j)
            QVERIFY(at16[i] != at16[j]);
    // The direction pictures hold two red bars each, across the screen's middle.
    auto runs = [](const QImage& img, bool alongRow) {
        int count = 0;
        bool inside = false;
        for (int i = 0; i < 16; ++i) {
            const QRgb c = alongRow ? img.pixel(i, 8) : img.pixel(8, i);
            const bool red = qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80;
            count += red && !inside;
            inside = red;
        }
        return count;
    };
    QCOMPARE(runs(vellaro::IconImage(IconId::ScreenVertical, 16), true), 2);
    QCOMPARE(runs(vellaro::IconImage(IconId::ScreenHorizontal, 16), false), 2);
    // The lists hold their pictures with all three sizes.
    QCOMPARE(vellaro::EditImage(5).availableSizes().size(), 3);
    QVERIFY(vellaro::ImageList(4).isNull());
    QVERIFY(!vellaro::paintImage(2).isNull());
}

void TestAccessibility::everyReachableControlHasAName() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartProgram();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);

    // With the guidance shown, its button is what the learner reaches.
    Walk guidance = WalkPage(w);
    QVERIFY2(guidance.unnamed.isEmpty(), qPrintable(guidance.unnamed.join(", ")));
    QCOMPARE(QAccessible::queryAccessibleInterface(ui.SpeedButton1)->text(QAccessible::Name),
             QStringLiteral("表示しない"));
    QTest::mouseClick(ui.SpeedButton1, Qt::LeftButton);

    int total = 0;
    for (QWidget* page : {ui.TabSheet1, ui.TabSheet2, ui.TabSheet3, ui.TabSheet4}) {
        vtest::ClickTab(ui.PageControl1, ui.PageControl1->indexOf(page));
        if (page == ui.TabSheet3) {
            for (QWidget* sub : {ui.TabSheet5, ui.TabSheet6}) {
                ui.PageControl2->setCurrentWidget(sub);
                const Walk walk = WalkPage(w);
                QVERIFY2(walk.unnamed.isEmpty(), qPrintable(walk.unnamed.join(", ")));
                total += walk.controls;
            }
            continue;
        }
        const Walk walk = WalkPage(w);
        QVERIFY2(walk.unnamed.isEmpty(), qPrintable(walk.unnamed.join(", ")));
        QVERIFY(walk.tabs >= 4);
        total += walk.controls;
    }
    QVERIFY2(total >= 30, qPrintable(QString::number(total))); // the walk did reach the pages

    // Spot checks: the label in front of a field, a tool button's hint.
    QCOMPARE(QAccessible::queryAccessibleInterface(ui.SrcClassName)->text(QAccessible::Name),
             QStringLiteral("クラス名"));
    QCOMPARE(QAccessible::queryAccessibleInterface(ui.MstLevel)->text(QAccessible::Name),
             QStringLiteral("基本レッスンレベル"));
    auto* tool = qobject_cast<QToolButton*>(ui.ToolBar1->widgetForAction(ui.ToolButton2));
    QVERIFY(tool);
    QCOMPARE(QAccessible::queryAccessibleInterface(tool)->text(QAccessible::Name),
             QStringLiteral("プログラム読込み"));
}

void TestAccessibility::tabPressedThroughTheBusIsAPageSwitch() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    ui.SrcClassName->setText(QStringLiteral("Hello"));
    ui.SecEdit->setPlainText(QStringLiteral("?(1);"));

    PressTab(ui.PageControl1, 1);
    QCOMPARE(ui.PageControl1->currentWidget(), ui.TabSheet2);
    QCOMPARE(w.CurPage(), 1);
    QVERIFY(MenusAre(w, false, false, true));
    QVERIFY(ui.compList->toPlainText().contains(QStringLiteral("System.out.println (1);")));
    QCOMPARE(vtest::ReadIniLines(folders.settingsFile()),
             (QStringList{"[Bas]", "Level=1", "JavaReadCount=1", "BasreadCount=1"}));

    // The sub-pages too: the exercise's pace is set when it is chosen, and a main page switch
    // stops a running animation.
    PressTab(ui.PageControl1, 2);
    QCOMPARE(w.CurPage(), 2);
    QVERIFY(MenusAre(w, false, false, false));
    ui.MstLevel->setValue(10);
    PressTab(ui.PageControl2, 0);
    QCOMPARE(ui.Paint_Timer->interval(), 50);
    ui.BitBtn9->click();
    QVERIFY(ui.Paint_Timer->isActive());
    PressTab(ui.PageControl1, 3);
    QCOMPARE(w.CurPage(), 3);
    QVERIFY(!ui.Paint_Timer->isActive());
    QVERIFY(ui.BitBtn9->isEnabled());
    PressTab(ui.PageControl1, 0);
    QCOMPARE(w.CurPage(), 0);
    QVERIFY(MenusAre(w, true, true, false));
    QVERIFY(folders.dialogs.messages.isEmpty());
}

void TestAccessibility::tabPressedUnderTheGuidanceIsPutBack() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartProgram();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    QVERIFY(ui.Panel8->isVisible());
    PressTab(ui.PageControl1, 2);
    QCOMPARE(ui.PageControl1->currentWidget(), ui.TabSheet1);
    QCOMPARE(w.CurPage(), 0);
    QVERIFY(MenusAre(w, false, false, false)); // as the guidance left them
    QVERIFY(!fs::exists(folders.settingsFile()));
    PressTab(ui.PageControl2, 0);
    QCOMPARE(ui.PageControl2->currentWidget(), ui.TabSheet6);
    // Once it is dismissed, the press counts.
    QTest::mouseClick(ui.SpeedButton1, Qt::LeftButton);
    PressTab(ui.PageControl1, 2);
    QCOMPARE(w.CurPage(), 2);
}

void TestAccessibility::toolButtonsAreReachedAndPressedFromTheKeyboard() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance(true);
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);

    // Tab visits the tool buttons in the order of their toolbar, the class-name field among them.
    const QStringList input = TabWalk(ui.PageControl1->tabBar(), 10);
    QVERIFY2(Holds(input, {"ToolButton1", "SrcClassName", "ToolButton2", "ToolButton3",
                           "ToolButton4", "ToolButton5", "ToolButton6"}),
             qPrintable(input.join(' ')));
    // A click on a tool button leaves the focus where it was.
    ui.SrcClassName->setFocus();
    QTest::mouseClick(ui.ToolBar1->widgetForAction(ui.ToolButton5), Qt::LeftButton);
    QVERIFY(ui.SrcClassName->hasFocus());

    // Writing the Java source needs no mouse: Tab to it, then Enter.
    vtest::ClickTab(ui.PageControl1, 1);
    const QStringList compile = TabWalk(ui.PageControl1->tabBar(), 6);
    QVERIFY2(Holds(compile, {"ToolButton11", "CompButton", "RunButton"}),
             qPrintable(compile.join(' ')));
    QVERIFY(!compile.contains(QStringLiteral("ToolButton9"))); // disabled
    ui.SrcClassName->setText(QStringLiteral("Hello"));
    QWidget* write = ui.ToolBar2->widgetForAction(ui.ToolButton11);
    write->setFocus(Qt::TabFocusReason);
    folders.dialogs.answerSaveFile(QString());
    QTest::keyClick(write, Qt::Key_Return);
    QCOMPARE(folders.dialogs.saveRequests.size(), 1);

    // The eye exercise's directions: Space presses them.
    vtest::ClickTab(ui.PageControl1, 2);
    vtest::ClickTab(ui.PageControl2, 0);
    QWidget* vertical = ui.ToolBar3->widgetForAction(ui.ToolButton17);
    QVERIFY(vertical->focusPolicy() & Qt::TabFocus);
    vertical->setFocus(Qt::TabFocusReason);
    QSignalSpy pressed(ui.ToolButton17, &QAction::triggered);
    QTest::keyClick(vertical, Qt::Key_Space);
    QCOMPARE(pressed.count(), 1);

    // F10 opens the menu bar at its first usable menu.
    vtest::ClickTab(ui.PageControl1, 0);
    QTest::keyClick(&w, Qt::Key_F10);
    QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(ui.f1));
    QTest::keyClick(ui.f1, Qt::Key_Escape);
    QTRY_VERIFY(!ui.f1->isVisible());
}

void TestAccessibility::valueDisplaysSpeakTheirValues() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);

    ui.SrcClassName->setText(QStringLiteral("Hello"));
    QCOMPARE(NameOf(ui.SaveclassName), QStringLiteral("Hello"));
    QCOMPARE(
        QAccessible::queryAccessibleInterface(ui.SaveclassName)->text(QAccessible::Description),
        QStringLiteral("クラス名"));

    ui.Select_Level->setValue(7);
    QCOMPARE(NameOf(ui.Disp_Lavel), QStringLiteral("7"));

    vtest::ClickTab(ui.PageControl1, 2);
    QCOMPARE(NameOf(ui.Sppd_Text), QStringLiteral("速読レッスン")); // blank: its caption
    ui.BitBtn1->click();
    ui.Read_Timer->stop();
    vtest::Tick(ui.Read_Timer);
    QCOMPARE(NameOf(ui.dispcount), QStringLiteral("1"));
    QVERIFY(!ui.Sppd_Text->text().isEmpty());
    QCOMPARE(NameOf(ui.Sppd_Text), ui.Sppd_Text->text());

    // The two size fields are told apart; their captions on the page stay as they are.
    QCOMPARE(NameOf(ui.spDisp_FontSize), QStringLiteral("速読の文字サイズ"));
    QCOMPARE(NameOf(ui.sDisp_FontSize), QStringLiteral("ソースの文字サイズ"));
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("Label7"))->text(), QStringLiteral("文字サイズ"));
    QAccessibleInterface* size = QAccessible::queryAccessibleInterface(ui.sDisp_FontSize);
    QVERIFY(size->textInterface());
    QCOMPARE(size->textInterface()->text(0, size->textInterface()->characterCount()),
             QStringLiteral("10"));
}

void TestAccessibility::menuEntriesHaveNames() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartProgram();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    for (QMenu* m : {ui.f1, ui.Edit2, ui.N5, ui.Help1, ui.PopupMenu1}) {
        QVERIFY(m == ui.PopupMenu1 || !m->title().isEmpty());
        for (QAction* a : m->actions())
            QVERIFY2(a->isSeparator() || !a->text().isEmpty(), qPrintable(a->objectName()));
    }
}

void TestAccessibility::classNameSetThroughTheBusKeepsTheTypedLimit() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt& w = *app.main;
    const vtest::MainControls ui(w);
    QAccessibleInterface* field = QAccessible::queryAccessibleInterface(ui.SrcClassName);
    field->setText(QAccessible::Value, QStringLiteral("Abcdefghijkl"));
    QCOMPARE(ui.SrcClassName->text(), QStringLiteral("Abcdefghij"));
    QCOMPARE(ui.SaveclassName->text(), QStringLiteral("Abcdefghij"));
    field->editableTextInterface()->insertText(3, QStringLiteral("XY"));
    QCOMPARE(ui.SrcClassName->text(), QStringLiteral("AbcXYdefgh"));
    // The class-name rule still judges what comes through the bus.
    field->editableTextInterface()->replaceText(0, 3, QStringLiteral("a b"));
    QCOMPARE(ui.SrcClassName->text(), QStringLiteral("AbcXYdefgh"));
    // A longer name the program set may be edited there, but not lengthened.
    ui.SrcClassName->setProgramText(QStringLiteral("LongerThanTen"));
    field->editableTextInterface()->insertText(13, QStringLiteral("X"));
    QCOMPARE(ui.SrcClassName->text(), QStringLiteral("LongerThanTen"));
    field->editableTextInterface()->deleteText(0, 6);
    QCOMPARE(ui.SrcClassName->text(), QStringLiteral("ThanTen"));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
