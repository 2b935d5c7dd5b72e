// The folder selection dialog, the version dialog and the help command, driven as the learner
// drives them: modal dialogs run their own loop while a scripted step clicks inside them.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <functional>
#include <memory>

#include "TestSupport.h"
#include "app/frmMain.h"
#include "common/Cp932.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtText.h"
#include "dialogs/frVer.h"
#include "dialogs/frmFileSelect.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kWrongFolder = "正しくフォルダを選択して下さい";

// Records what the program hands to the desktop instead of opening it.
class RecordingSeam : public vellaro::EventSeam {
  public:
    QStringList opened;
    void pumpEvents() override { QCoreApplication::processEvents(); }
    void appTerminate() override {}
    void shellOpen(const std::string& target) override {
        opened << QString::fromUtf8(target.data(), qsizetype(target.size()));
    }
};

// Runs `script` inside the modal loop that `open` starts. Whatever the script does (a failed
// check returns from it early), the dialog is closed afterwards, so the test cannot hang.
void WithModal(QDialog* dialog, const std::function<void()>& script,
               const std::function<void()>& open) {
    bool ran = false;
    bool leftOpen = false;
    QTimer::singleShot(0, dialog, [&] {
        ran = true;
        QVERIFY2(dialog->isVisible() && dialog->isModal(), "the dialog is not shown modally");
        script();
        if (dialog->isVisible()) {
            leftOpen = true;
            dialog->reject();
        }
    });
    open();
    QVERIFY2(ran, "the dialog was not shown");
    QVERIFY2(!leftOpen, "the dialog was still open at the end of the script");
}

QString Canonical(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

// A fresh folder on a RAM disk (tmpfs or ramfs), or nullptr when this machine offers none.
std::unique_ptr<QTemporaryDir> RamDiskFolder() {
    QStringList candidates{QStringLiteral("/dev/shm"), QStringLiteral("/run/shm"),
                           QStringLiteral("/run"), QStringLiteral("/tmp")};
    QFile info(QStringLiteral("/proc/self/mountinfo"));
    QStringList ramMounts;
    if (info.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : info.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            const qsizetype dash = fields.indexOf("-");
            if (dash < 5 || dash + 1 >= fields.size())
                continue;
            const QByteArray type = fields[dash + 1];
            const QString mountPoint = QString::fromUtf8(fields[4]);
            if ((type == "tmpfs" || type == "ramfs") && !mountPoint.contains('\\') &&
                !mountPoint.startsWith(QStringLiteral("/sys")) &&
                !mountPoint.startsWith(QStringLiteral("/proc")))
                ramMounts << mountPoint;
        }
    }
    candidates.append(ramMounts);
    for (const QString& folder : candidates) {
        if (!ramMounts.contains(folder) || !QFileInfo(folder).isWritable())
            continue;
        auto dir = std::make_unique<QTemporaryDir>(folder + QStringLiteral("/vellaro-test-XXXXXX"));
        if (dir->isValid())
            return dir;
    }
    return nullptr;
}

// A fresh folder on the disk the build folder lies on.
std::unique_ptr<QTemporaryDir> LocalFolder() {
    auto dir = std::make_unique<QTemporaryDir>(QStringLiteral(VELLARO_BUILD_DIR) +
                                               QStringLiteral("/tst_dialogs-XXXXXX"));
    return dir->isValid() ? std::move(dir) : nullptr;
}

bool OnFixedDisk(const QString& folder) {
    return vellaro::DriveKind(vellaro::ToPath(folder)) == 3;
}

void MakeFolder(const QString& path) {
    QVERIFY(QDir().mkpath(path));
}

void MakeFile(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

// How many windows of the kind there are.
template <class Window> int WindowsOf() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return static_cast<int>(std::count_if(windows.begin(), windows.end(), [](QWidget* w) {
        return qobject_cast<Window*>(w) != nullptr;
    }));
}

QStringList ListNames(const TfromFileSelect& dlg) {
    QStringList names;
    const QAbstractItemModel* model = dlg.ShellListView1->model();
    const QModelIndex root = dlg.ShellListView1->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row)
        names << model->index(row, 0, root).data().toString();
    return names;
}

QModelIndex ListItem(const TfromFileSelect& dlg, const QString& name) {
    const QAbstractItemModel* model = dlg.ShellListView1->model();
    const QModelIndex root = dlg.ShellListView1->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row) {
        const QModelIndex index = model->index(row, 0, root);
        if (index.data().toString() == name)
            return index;
    }
    return {};
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        m_folders = std::make_unique<vtest::TestFolders>();
        m_local = LocalFolder();
        QVERIFY(m_local);
        m_base = Canonical(m_local->path());
        m_seam = std::make_unique<RecordingSeam>();
        vellaro::SetEventSeam(m_seam.get());
        vellaro::CurSrcPath = "/sentinel/before";
    }
    void cleanup() {
        vellaro::SetEventSeam(nullptr);
        m_seam.reset();
        m_local.reset();
        m_folders.reset();
    }

    void startsAtTheDesktopFolder();
    void refusesRamDiskAcceptsLocalDisk();
    void refusesNamesTheSettingsFileCannotHold();
    void cancelAfterRefusalKeepsTheFolderChoice();
    void secondShowingOpensWhereTheFirstWasLeft();
    void treeAndListAreCoupled();
    void listSelectionDoesNotChangeTheResult();
    void rightClickSelectsWithoutMenu();
    void helpFileFoundNextToTheExecutable();
    void helpFolderCountsAsMissing();
    void versionDialog();
    void fontDialogOpensOnTheFaceInUse();
    void builtHelpFileHoldsJapanesePages();

  private:
    vtest::ScriptedDialogs& dialogs() { return m_folders->dialogs; }
    std::unique_ptr<vtest::TestFolders> m_folders;
    // A fresh folder on the disk the build folder lies on, and its canonical path.
    std::unique_ptr<QTemporaryDir> m_local;
    QString m_base;
    std::unique_ptr<RecordingSeam> m_seam;
};

// The desktop folder the learner's desktop names (Japanese or not), the home folder without one;
// "決　定" right away confirms it.
void TestDialogs::startsAtTheDesktopFolder() {
    const QString home = m_base + QStringLiteral("/home");
    const QString config = m_base + QStringLiteral("/config");
    MakeFolder(home);
    MakeFolder(config);
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    auto restore = qScopeGuard([&] {
        qputenv("HOME", savedHome);
        if (savedConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", savedConfig);
    });

    // No desktop folder: the home folder.
    QCOMPARE(TfromFileSelect::StartFolder(), home);

    // A Japanese desktop names its desktop folder in user-dirs.dirs.
    const QString desktop = home + QStringLiteral("/デスクトップ");
    MakeFolder(desktop);
    QFile dirs(config + QStringLiteral("/user-dirs.dirs"));
    QVERIFY(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_DESKTOP_DIR=\"$HOME/\xe3\x83\x87\xe3\x82\xb9\xe3\x82\xaf\xe3\x83\x88\xe3\x83"
               "\x83\xe3\x83\x97\"\n");
    dirs.close();
    QCOMPARE(TfromFileSelect::StartFolder(), desktop);

    TfromFileSelect dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("fromFileSelect"));
    QCOMPARE(dlg.SelectedFolder(), desktop);
    QCOMPARE(dlg.ListedFolder(), desktop);
    // The tree's hidden columns (size, type, date) say nothing a screen reader would read.
    const QModelIndex current = dlg.ShellTreeView1->currentIndex();
    QVERIFY(dlg.ShellTreeView1->model()->columnCount(current.parent()) > 1);
    for (int column = 1; column < dlg.ShellTreeView1->model()->columnCount(current.parent());
         ++column)
        QVERIFY(!current.siblingAtColumn(column).data().isValid());
    if (!OnFixedDisk(desktop))
        QSKIP("the build folder is not on a fixed disk here");
    WithModal(
        &dlg, [&] { QTest::mouseClick(dlg.BitBtn3, Qt::LeftButton); },
        [&] { QCOMPARE(dlg.Execute(), int(QDialog::Accepted)); });
    QCOMPARE(vellaro::FromPath(vellaro::CurSrcPath), desktop);
    QVERIFY(dialogs().messages.isEmpty());
}

void TestDialogs::refusesRamDiskAcceptsLocalDisk() {
    auto ram = RamDiskFolder();
    if (!ram)
        QSKIP("no writable tmpfs or ramfs mount on this machine");
    const QString localPath = m_base;
    if (!OnFixedDisk(localPath))
        QSKIP("the build folder is not on a fixed disk here");
    const QString ramPath = Canonical(ram->path());
    QCOMPARE(vellaro::DriveKind(vellaro::ToPath(ramPath)), 6); // a RAM disk

    TfromFileSelect dlg;
    dialogs().answerMessage(vellaro::MbOk);
    WithModal(
        &dlg,
        [&] {
            QVERIFY(dlg.SelectFolder(ramPath));
            QTest::mouseClick(dlg.BitBtn3, Qt::LeftButton);
            // Refused: the warning, and the dialog stays open on the same folder.
            QCOMPARE(dialogs().messages.size(), 1);
            QCOMPARE(dialogs().messages[0].kind, vellaro::MsgKind::Warning);
            QCOMPARE(dialogs().messages[0].text, QString::fromUtf8(kWrongFolder));
            QCOMPARE(dialogs().messages[0].buttons, int(vellaro::MbOk));
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.SelectedFolder(), ramPath);
            QCOMPARE(vellaro::CurSrcPath, fs::path("/sentinel/before"));

            QVERIFY(dlg.SelectFolder(localPath));
            QTest::mouseClick(dlg.BitBtn3, Qt::LeftButton);
        },
        [&] { QCOMPARE(dlg.Execute(), int(QDialog::Accepted)); });
    QCOMPARE(dialogs().messages.size(), 1);
    QCOMPARE(vellaro::FromPath(vellaro::CurSrcPath), localPath);
}

// A folder whose name has no CP932 form could not be stored in the settings file; nor can a
// folder that vanished after the tree read it be worked in.
void TestDialogs::refusesNamesTheSettingsFileCannotHold() {
    if (!OnFixedDisk(m_base))
        QSKIP("the build folder is not on a fixed disk here");
    const QString snowman = m_base + QStringLiteral("/雪だるま☃");
    const QString japanese = m_base + QStringLiteral("/髙橋①～");
    MakeFolder(snowman);
    MakeFolder(japanese);
    QVERIFY(!vellaro::Utf8ToCp932(snowman.toStdString()));
    QVERIFY(vellaro::Utf8ToCp932(japanese.toStdString()));
    const QString vanishing = m_base + QStringLiteral("/消える");
    MakeFolder(vanishing);

    TfromFileSelect dlg;
    dialogs().answerAllMessages(vellaro::MbOk);
    dlg.show();
    QVERIFY(dlg.SelectFolder(snowman));
    dlg.BitBtn3Click();
    QVERIFY(dlg.SelectFolder(vanishing));
    QVERIFY(QDir(vanishing).removeRecursively());
    QCOMPARE(dlg.SelectedFolder(), vanishing); // the tree does not follow the disk
    dlg.BitBtn3Click();
    // Names the file would give back changed: a blank at the end, a line break.
    for (const QString& changed :
         {m_base + QStringLiteral("/作業 "), m_base + QStringLiteral("/a\nb")}) {
        MakeFolder(changed);
        QVERIFY(dlg.SelectFolder(changed));
        dlg.BitBtn3Click();
    }
    QCOMPARE(dialogs().messageTexts(), QStringList(4, QString::fromUtf8(kWrongFolder)));
    QVERIFY(dlg.isVisible());
    QCOMPARE(vellaro::CurSrcPath, fs::path("/sentinel/before"));
    // A path longer than a settings value holds (2047 bytes), and one just short of it.
    QString deep = m_base;
    while (deep.toUtf8().size() < 2047 - 210)
        deep += QLatin1Char('/') + QString(200, QLatin1Char('d'));
    deep += QLatin1Char('/') + QString(2047 - int(deep.toUtf8().size()) - 1, QLatin1Char('e'));
    MakeFolder(deep);
    QCOMPARE(deep.toUtf8().size(), 2047);
    QVERIFY(TfromFileSelect::FolderAccepted(deep));
    MakeFolder(deep + QStringLiteral("/f"));
    QVERIFY(!TfromFileSelect::FolderAccepted(deep + QStringLiteral("/f")));

    // Characters outside JIS X 0208 that CP932 still holds are fine.
    QVERIFY(dlg.SelectFolder(japanese));
    dlg.BitBtn3Click();
    QVERIFY(!dlg.isVisible());
    QCOMPARE(vellaro::FromPath(vellaro::CurSrcPath), japanese);
}

// "参　照" on the settings page: a refused attempt and then "キャンセル" leaves both the shown
// folder and CurSrcPath; a confirmed folder reaches both, but not the stored work folder.
void TestDialogs::cancelAfterRefusalKeepsTheFolderChoice() {
    dialogs().answerAllMessages(vellaro::MbOk);
    AppWindows w = vtest::StartPastGuidance();
    vellaro::SetEventSeam(m_seam.get()); // start-up installs the desktop's own
    QVERIFY(w.main && w.dialogs);
    if (!OnFixedDisk(m_base))
        QSKIP("the build folder is not on a fixed disk here");
    const QString refused = m_base + QStringLiteral("/한글");
    const QString chosen = m_base + QStringLiteral("/練習");
    for (const QString& folder : {refused, chosen})
        MakeFolder(folder);

    QVERIFY(vtest::Find<QPushButton>(*w.main, "BitBtn2")->isEnabled());
    const QString shownBefore = vtest::Find<QLineEdit>(*w.main, "sDisp_SrcPath")->text();
    const fs::path curBefore = vellaro::CurSrcPath;
    const fs::path storedBefore = w.main->EnvSettings().PathSrc;
    dialogs().clear();
    dialogs().answerMessage(vellaro::MbOk);
    TfromFileSelect* dlg = &w.dialogs->fileSelect();
    WithModal(
        dlg,
        [&] {
            QVERIFY(dlg->SelectFolder(refused));
            QTest::mouseClick(dlg->BitBtn3, Qt::LeftButton);
            QVERIFY(dlg->isVisible());
            QTest::mouseClick(dlg->BitBtn2, Qt::LeftButton);
        },
        [&] { vtest::Find<QPushButton>(*w.main, "BitBtn2")->click(); });
    QCOMPARE(dialogs().messageTexts(), QStringList(QString::fromUtf8(kWrongFolder)));
    QCOMPARE(vtest::Find<QLineEdit>(*w.main, "sDisp_SrcPath")->text(), shownBefore);
    QCOMPARE(vellaro::CurSrcPath, curBefore);

    WithModal(
        dlg,
        [&] {
            QVERIFY(dlg->SelectFolder(chosen));
            QTest::mouseClick(dlg->BitBtn3, Qt::LeftButton);
        },
        [&] { vtest::Find<QPushButton>(*w.main, "BitBtn2")->click(); });
    QCOMPARE(WindowsOf<TfromFileSelect>(), 1); // the one made at start-up
    QCOMPARE(vtest::Find<QLineEdit>(*w.main, "sDisp_SrcPath")->text(), chosen);
    QCOMPARE(vellaro::FromPath(vellaro::CurSrcPath), chosen);
    QCOMPARE(w.main->EnvSettings().PathSrc, storedBefore);
}

// The same instance keeps its place; nothing moves it to the work folder in between.
void TestDialogs::secondShowingOpensWhereTheFirstWasLeft() {
    const QString deep = m_base + QStringLiteral("/a/b");
    MakeFolder(deep);

    TfromFileSelect dlg;
    WithModal(
        &dlg,
        [&] {
            QVERIFY(dlg.SelectFolder(deep));
            QTest::mouseClick(dlg.BitBtn2, Qt::LeftButton);
        },
        [&] { QCOMPARE(dlg.Execute(), int(QDialog::Rejected)); });
    QCOMPARE(vellaro::CurSrcPath, fs::path("/sentinel/before"));

    vellaro::CurSrcPath = vellaro::ToPath(m_base);
    WithModal(
        &dlg,
        [&] {
            QCOMPARE(dlg.SelectedFolder(), deep);
            QCOMPARE(dlg.ListedFolder(), deep);
            const auto* model = static_cast<QFileSystemModel*>(dlg.ShellTreeView1->model());
            QVERIFY(dlg.ShellTreeView1->isExpanded(model->index(m_base + QStringLiteral("/a"))));
            dlg.close(); // the close box
        },
        [&] { QCOMPARE(dlg.Execute(), int(QDialog::Rejected)); });
    QCOMPARE(vellaro::CurSrcPath, vellaro::ToPath(m_base));
}

// The tree holds folders only; the list shows folders and files, sorted, folders first; a
// double click on a folder in the list moves both into it.
void TestDialogs::treeAndListAreCoupled() {
    MakeFolder(m_base + QStringLiteral("/b_folder/inner"));
    MakeFile(m_base + QStringLiteral("/c.txt"));
    MakeFile(m_base + QStringLiteral("/a.txt"));
    MakeFile(m_base + QStringLiteral("/b_folder/in.txt"));

    TfromFileSelect dlg;
    dlg.show();
    QVERIFY(dlg.SelectFolder(m_base));
    QTRY_COMPARE(ListNames(dlg), QStringList({QStringLiteral("b_folder"), QStringLiteral("a.txt"),
                                              QStringLiteral("c.txt")}));
    const auto* tree = static_cast<QFileSystemModel*>(dlg.ShellTreeView1->model());
    const QModelIndex baseIndex = tree->index(m_base);
    dlg.ShellTreeView1->expand(baseIndex);
    QTRY_COMPARE(tree->rowCount(baseIndex), 1);
    QCOMPARE(tree->index(0, 0, baseIndex).data().toString(), QStringLiteral("b_folder"));

    const QModelIndex item = ListItem(dlg, QStringLiteral("b_folder"));
    QVERIFY(item.isValid());
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.ShellListView1->scrollTo(item);
    QTRY_VERIFY(!dlg.ShellListView1->visualRect(item).isEmpty());
    const QPoint where = dlg.ShellListView1->visualRect(item).center();
    // A real double click: press and release, then the second press arrives as a double click.
    QTest::mouseClick(dlg.ShellListView1->viewport(), Qt::LeftButton, Qt::NoModifier, where);
    QTest::mouseDClick(dlg.ShellListView1->viewport(), Qt::LeftButton, Qt::NoModifier, where);
    QCOMPARE(dlg.SelectedFolder(), m_base + QStringLiteral("/b_folder"));
    QTRY_COMPARE(ListNames(dlg), QStringList({QStringLiteral("inner"), QStringLiteral("in.txt")}));
}

void TestDialogs::listSelectionDoesNotChangeTheResult() {
    if (!OnFixedDisk(m_base))
        QSKIP("the build folder is not on a fixed disk here");
    MakeFolder(m_base + QStringLiteral("/sub"));

    TfromFileSelect dlg;
    WithModal(
        &dlg,
        [&] {
            QVERIFY(dlg.SelectFolder(m_base));
            QTRY_VERIFY(ListItem(dlg, QStringLiteral("sub")).isValid());
            const QModelIndex item = ListItem(dlg, QStringLiteral("sub"));
            dlg.ShellListView1->scrollTo(item);
            QTest::mouseClick(dlg.ShellListView1->viewport(), Qt::LeftButton, Qt::NoModifier,
                              dlg.ShellListView1->visualRect(item).center());
            QCOMPARE(dlg.ShellListView1->currentIndex(), item);
            QTest::mouseClick(dlg.BitBtn3, Qt::LeftButton);
        },
        [&] { QCOMPARE(dlg.Execute(), int(QDialog::Accepted)); });
    QCOMPARE(vellaro::FromPath(vellaro::CurSrcPath), m_base);
}

void TestDialogs::rightClickSelectsWithoutMenu() {
    MakeFolder(m_base + QStringLiteral("/one"));
    MakeFolder(m_base + QStringLiteral("/two"));

    TfromFileSelect dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(dlg.SelectFolder(m_base + QStringLiteral("/one")));
    const auto* tree = static_cast<QFileSystemModel*>(dlg.ShellTreeView1->model());
    const QModelIndex two = tree->index(m_base + QStringLiteral("/two"));
    dlg.ShellTreeView1->scrollTo(two);
    QTRY_VERIFY(dlg.ShellTreeView1->visualRect(two).isValid());
    QTest::mouseClick(dlg.ShellTreeView1->viewport(), Qt::RightButton, Qt::NoModifier,
                      dlg.ShellTreeView1->visualRect(two).center());
    QCOMPARE(dlg.SelectedFolder(), m_base + QStringLiteral("/two"));
    QVERIFY(dlg.PopupMenu1->actions().isEmpty());
    QVERIFY(!dlg.PopupMenu1->isVisible());
    QVERIFY(!QApplication::activePopupWidget());
}

// Found next to the executable, not in the current folder.
void TestDialogs::helpFileFoundNextToTheExecutable() {
    AppWindows w = vtest::StartProgram();
    vellaro::SetEventSeam(m_seam.get()); // start-up installs the desktop's own
    QVERIFY(w.main);
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const fs::path help = vellaro::ExePath() / "Vellaro.chm";
    QVERIFY(QDir::setCurrent(elsewhere.path()));

    dialogs().clear();
    dialogs().answerMessage(vellaro::MbOk);
    MakeFile(elsewhere.path() + QStringLiteral("/Vellaro.chm")); // a decoy in the current folder
    vtest::Find<QAction>(*w.main, "N8")->trigger();
    QCOMPARE(dialogs().messages.size(), 1);
    QCOMPARE(dialogs().messages[0].kind, vellaro::MsgKind::Confirmation);
    QCOMPARE(dialogs().messages[0].text, QStringLiteral("ヘルプファイルが有りません。"));
    QCOMPARE(dialogs().messages[0].buttons, int(vellaro::MbOk));
    QVERIFY(m_seam->opened.isEmpty());

    MakeFile(vellaro::FromPath(help));
    vtest::Find<QAction>(*w.main, "N8")->trigger();
    vtest::Find<QAction>(*w.main, "N8")->trigger(); // again while the viewer is open
    QCOMPARE(dialogs().messages.size(), 1);
    const QString expected = vellaro::FromPath(help);
    QCOMPARE(m_seam->opened, QStringList({expected, expected}));
    QVERIFY(QFileInfo(expected).isAbsolute());
}

void TestDialogs::helpFolderCountsAsMissing() {
    AppWindows w = vtest::StartProgram();
    vellaro::SetEventSeam(m_seam.get()); // start-up installs the desktop's own
    QVERIFY(w.main);
    MakeFolder(vellaro::FromPath(vellaro::ExePath() / "Vellaro.chm"));
    dialogs().clear();
    dialogs().answerMessage(vellaro::MbOk);
    vtest::Find<QAction>(*w.main, "N8")->trigger();
    QCOMPARE(dialogs().messageTexts(), QStringList(QStringLiteral("ヘルプファイルが有りません。")));
    QVERIFY(m_seam->opened.isEmpty());
}

void TestDialogs::versionDialog() {
    AppWindows w = vtest::StartProgram();
    vellaro::SetEventSeam(m_seam.get()); // start-up installs the desktop's own
    QVERIFY(w.main && w.dialogs);
    TAboutBox* box = &w.dialogs->about();
    WithModal(
        box,
        [&] {
            QCOMPARE(box->windowTitle(), QStringLiteral("バージョン情報"));
            QCOMPARE(box->ProductName->text(), QStringLiteral("Vellaro"));
            QCOMPARE(box->Version->text(), QStringLiteral("バージョン番号　1.10"));
            QCOMPARE(box->Label2->text(), QStringLiteral("vellaro.example.org"));
            // Each click opens the page; the dialog stays open.
            QTest::mouseClick(box->Label2, Qt::LeftButton);
            QTest::mouseClick(box->Label2, Qt::LeftButton);
            QCOMPARE(m_seam->opened, QStringList({QStringLiteral("https://vellaro.example.org"),
                                                  QStringLiteral("https://vellaro.example.org")}));
            QVERIFY(box->isVisible());
            QTest::keyClick(box, Qt::Key_Return); // the default button
        },
        [&] { vtest::Find<QAction>(*w.main, "About1")->trigger(); });
    QCOMPARE(box->result(), int(QDialog::Accepted));
    QCOMPARE(WindowsOf<TAboutBox>(), 1); // the one made at start-up
    QVERIFY(dialogs().messages.isEmpty());

    // The picture is drawn for the screen's density, not scaled up from 64 x 64.
    const QImage sharp = RenderProgramIcon(2.0);
    QCOMPARE(sharp.size(), QSize(128, 128));
    QCOMPARE(sharp.deviceIndependentSize(), QSizeF(64, 64));
    const auto at = [&](int x, int y) { return sharp.pixelColor(2 * x, 2 * y); };
    QVERIFY(at(1, 1).blue() > 230 && at(1, 1).red() > 200 && at(1, 1).green() < at(1, 1).blue());
    QVERIFY(at(17, 16).red() > 230 && at(17, 16).green() > 180 && at(17, 16).blue() < 60);
    QVERIFY(at(17, 39).red() < 80 && at(17, 39).green() > 170 && at(17, 39).blue() > 200);
    QCOMPARE(at(44, 28), QColor(Qt::white));
    QVERIFY(at(32, 58).red() > 180 && at(32, 58).green() < 80);
    QVERIFY(at(17, 16) != at(17, 39) && at(17, 39) != at(1, 1));
}

// The help file the build made: every page is in it, the language is Japanese and the pages and
// the table of contents are CP932 text that says so.
// The real font dialog behind the seam: a stored face name opens it on the face the window
// renders that name with, and choosing that face keeps the name.
void TestDialogs::fontDialogOpensOnTheFaceInUse() {
    vellaro::InstallFaceSubstitutions();
    const QString stored = QStringLiteral("ＭＳ ゴシック");
    QFont shown;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        shown = dialog->currentFont();
        dialog->accept();
    });
    vellaro::QtDialogs real;
    const std::optional<QFont> chosen =
        real.chooseFont(nullptr, vellaro::FontDialogStart(stored, 10));
    QCOMPARE(shown.family(), QStringLiteral("IPAGothic"));
    QCOMPARE(shown.pointSize(), 10);
    QVERIFY(chosen);
    QCOMPARE(vellaro::FontDialogChoice(stored, *chosen), stored);
    QCOMPARE(vellaro::FontDialogChoice(stored, QFont(QStringLiteral("IPAPGothic"))),
             QStringLiteral("IPAPGothic"));
    // A name without a substitution stands for itself.
    QCOMPARE(vellaro::FontDialogStart(QStringLiteral("IPAMincho"), 0).family(),
             QStringLiteral("IPAMincho"));
}

void TestDialogs::builtHelpFileHoldsJapanesePages() {
    const QString chm = QStringLiteral(VELLARO_BUILD_DIR "/Vellaro.chm");
    if (!QFileInfo(chm).isFile())
        QSKIP("Vellaro.chm has not been built (target vellaro_help)");
    const QString chmls = QStandardPaths::findExecutable(QStringLiteral("chmls"));
    if (chmls.isEmpty())
        QSKIP("chmls (package fp-utils) is not installed");
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(chmls, args);
        const bool done = p.waitForFinished(60000);
        return done && p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray();
    };
    const auto extract = [&](const QString& name) {
        const QString target = out.filePath(name.mid(1));
        run({QStringLiteral("extract"), chm, name, target});
        QFile f(target);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const auto decoded = [](const QByteArray& bytes) -> QString {
        const auto text = vellaro::Cp932ToUtf8(
            vellaro::Cp932Text(std::string_view(bytes.constData(), bytes.size())));
        return text ? QString::fromStdString(*text) : QString();
    };

    const QByteArray listing = run({QStringLiteral("-n"), QStringLiteral("list"), chm});
    const QDir sources(QStringLiteral(VELLARO_TEST_DATA "/../../resources/help/pages"));
    const QStringList pages = sources.entryList({QStringLiteral("*.html")}, QDir::Files);
    QVERIFY(pages.size() >= 7);
    for (const QString& page : pages) {
        QVERIFY2(listing.contains(("/" + page + "\n").toUtf8()), qPrintable(page));
        const QString text = decoded(extract("/" + page));
        QVERIFY2(text.contains(QStringLiteral("charset=windows-31j")), qPrintable(page));
        QVERIFY2(text.contains(QRegularExpression(
                     QStringLiteral("<title>[^<]*[\\x{3040}-\\x{30ff}\\x{4e00}-\\x{9fff}]"))),
                 qPrintable(page));
    }
    const QString toc = decoded(extract(QStringLiteral("/toc.hhc")));
    QVERIFY(toc.contains(QStringLiteral("charset=windows-31j")));
    QVERIFY(toc.contains(QStringLiteral("JDK が見つからないとき")));

    // #SYSTEM: a version, then records of code, length and data; code 4 starts with the LCID.
    const QByteArray system = extract(QStringLiteral("/#SYSTEM"));
    quint32 lcid = 0;
    for (qsizetype at = 4; at + 4 <= system.size();) {
        const auto word = [&](qsizetype i) {
            return quint16(quint8(system[i]) | (quint8(system[i + 1]) << 8));
        };
        const quint16 code = word(at);
        const quint16 length = word(at + 2);
        if (code == 4 && length >= 4 && at + 8 <= system.size()) {
            lcid = word(at + 4) | (quint32(word(at + 6)) << 16);
            break;
        }
        at += 4 + length;
    }
    QCOMPARE(lcid, quint32(0x411));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
