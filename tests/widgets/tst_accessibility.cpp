// Walks the main window's accessibility tree: every control the learner can reach has a name
// that a screen reader speaks. Also checks the drawn icons of the three image lists.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "TestSupport.h"
#include "app/Icons.h"
#include "app/frmMain.h"

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
    Walk walk;
    WalkTree(QAccessible::queryAccessibleInterface(&w), walk);
    return walk;
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

  private slots:
    void everyReachableControlHasAName();
    void menuEntriesHaveNames();
    void iconsAreDrawnAtEverySize();
};

void TestAccessibility::everyReachableControlHasAName() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartProgram();
    TMainCrt& w = *app.main;

    // With the guidance shown, its button is what the learner reaches.
    Walk guidance = WalkPage(w);
    QVERIFY2(guidance.unnamed.isEmpty(), qPrintable(guidance.unnamed.join(", ")));
    QCOMPARE(QAccessible::queryAccessibleInterface(w.SpeedButton1)->text(QAccessible::Name),
             QStringLiteral("表示しない"));
    QTest::mouseClick(w.SpeedButton1, Qt::LeftButton);

    int total = 0;
    for (QWidget* page : {w.TabSheet1, w.TabSheet2, w.TabSheet3, w.TabSheet4}) {
        w.SetCurrentPage(page);
        if (page == w.TabSheet3) {
            for (QWidget* sub : {w.TabSheet5, w.TabSheet6}) {
                w.PageControl2->setCurrentWidget(sub);
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
    QCOMPARE(QAccessible::queryAccessibleInterface(w.SrcClassName)->text(QAccessible::Name),
             QStringLiteral("クラス名"));
    QCOMPARE(QAccessible::queryAccessibleInterface(w.MstLevel)->text(QAccessible::Name),
             QStringLiteral("基本レッスンレベル"));
    auto* tool = qobject_cast<QToolButton*>(w.ToolBar1->widgetForAction(w.ToolButton2));
    QVERIFY(tool);
    QCOMPARE(QAccessible::queryAccessibleInterface(tool)->text(QAccessible::Name),
             QStringLiteral("プログラム読込み"));
}

void TestAccessibility::menuEntriesHaveNames() {
    vtest::TestFolders folders;
    AppWindows app = vtest::StartProgram();
    TMainCrt& w = *app.main;
    for (QMenu* m : {w.f1, w.Edit2, w.N5, w.Help1, w.PopupMenu1}) {
        QVERIFY(m == w.PopupMenu1 || !m->title().isEmpty());
        for (QAction* a : m->actions())
            QVERIFY2(a->isSeparator() || !a->text().isEmpty(), qPrintable(a->objectName()));
    }
}

void TestAccessibility::iconsAreDrawnAtEverySize() {
    using vellaro::IconId;
    const IconId all[] = {IconId::NewSheet,       IconId::OpenFolder,      IconId::Floppy,
                          IconId::Scissors,       IconId::CopySheets,      IconId::PasteClipboard,
                          IconId::TextSheet,      IconId::Computer,        IconId::ScreenCross,
                          IconId::ScreenVertical, IconId::ScreenHorizontal};
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
    // The lists hold their pictures with all three sizes.
    QCOMPARE(vellaro::EditImage(5).availableSizes().size(), 3);
    QVERIFY(vellaro::ImageList(4).isNull());
    QVERIFY(!vellaro::paintImage(2).isNull());
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
