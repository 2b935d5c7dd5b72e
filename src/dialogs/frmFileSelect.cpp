#include "dialogs/frmFileSelect.h"

#include <QDir>
#include <QEvent>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "common/Cp932.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtText.h"
#include "settings/IniFile.h"

namespace {

// Fixed disk, as DriveKind reports it.
constexpr int kFixedDisk = 3;

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QColor& color) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setFixedSize(75, 25);
    button->setFont(vellaro::PixelFont(vellaro::kPGothicFace, 13));
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, color);
    button->setPalette(palette);
    // Enter in the tree or the list must not press a button of its own accord.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// The desktop's own icons where it has an icon theme; the style's folder and file icons where it
// has none, so that folders and files never look alike.
class ShellIcons : public QFileIconProvider {
  public:
    QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo& info) const override {
        QIcon themed = QFileIconProvider::icon(info);
        if (!themed.isNull() && !themed.availableSizes().isEmpty())
            return themed;
        return QFileIconProvider::icon(info.isDir() ? QFileIconProvider::Folder
                                                    : QFileIconProvider::File);
    }
};

// Shared by every model for the whole run: the models' reader thread may still ask it for an
// icon while a dialog is being destroyed.
QFileIconProvider* ShellIconProvider() {
    static ShellIcons icons;
    return &icons;
}

// The tree shows the name column alone. The other columns (size, type, date) stay in the model
// but say nothing, so that a screen reader reading a row does not read Qt's own English texts
// for the columns nobody sees.
class FolderTreeModel : public QFileSystemModel {
  public:
    using QFileSystemModel::QFileSystemModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (index.column() > 0)
            return {};
        return QFileSystemModel::data(index, role);
    }
};

} // namespace

TfromFileSelect::TfromFileSelect(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("fromFileSelect"));
    setWindowTitle(QStringLiteral("fromFileSelect"));
    setFont(vellaro::PixelFont(vellaro::kPGothicFace, 12));
    setSizeGripEnabled(false);

    BuildViews();
    BuildButtons();
    resize(646, 410);
    move(340, 161);
    ConnectEvents();
}

// The folder models start a reader thread and read the disk; the dialog is created with the
// main window but seldom shown, so they are made when it is first shown or asked about.
void TfromFileSelect::EnsureModels() {
    if (m_treeModel)
        return;
    BuildModels();
    ShellTreeView1->setModel(m_treeModel);
    // One column as wide as its longest name: long names scroll rather than being cut.
    ShellTreeView1->header()->setStretchLastSection(false);
    ShellTreeView1->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    for (int column = 1; column < m_treeModel->columnCount(); ++column)
        ShellTreeView1->hideColumn(column);
    ShellListView1->setModel(m_listModel);
    m_listModel->sort(0, Qt::AscendingOrder);
    ConnectModelEvents();

    // The root is expanded one level, and the learner's desktop folder is selected.
    ShellTreeView1->expand(m_treeModel->index(QDir::rootPath()));
    if (!SelectFolder(StartFolder()))
        SelectFolder(QDir::rootPath());
}

void TfromFileSelect::BuildModels() {
    // The tree reads the disk once: it does not follow changes made while it is open.
    m_treeModel = new FolderTreeModel(this);
    m_treeModel->setIconProvider(ShellIconProvider());
    m_treeModel->setOption(QFileSystemModel::DontWatchForChanges, true);
    m_treeModel->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_treeModel->setReadOnly(true);
    m_treeModel->setRootPath(QDir::rootPath());

    m_listModel = new QFileSystemModel(this);
    m_listModel->setIconProvider(ShellIconProvider());
    m_listModel->setFilter(QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot);
    m_listModel->setReadOnly(false); // names can be edited in place
}

// The folder tree and the list of the selected folder's contents, side by side on Panel1.
void TfromFileSelect::BuildViews() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));

    Splitter1 = new QSplitter(Qt::Horizontal, Panel1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(6);
    Splitter1->setChildrenCollapsible(false);

    ShellTreeView1 = new QTreeView(Splitter1);
    ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
    ShellTreeView1->setHeaderHidden(true);
    ShellTreeView1->setRootIsDecorated(false);
    ShellTreeView1->setIndentation(19);
    ShellTreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ShellTreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ShellTreeView1->setMinimumWidth(30);
    ShellTreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ShellTreeView1->viewport()->installEventFilter(this);

    // Attached to the tree and left empty, so that a right click there offers no menu at all.
    PopupMenu1 = new QMenu(ShellTreeView1);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));

    ShellListView1 = new QListView(Splitter1);
    ShellListView1->setObjectName(QStringLiteral("ShellListView1"));
    ShellListView1->setViewMode(QListView::ListMode);
    ShellListView1->setFlow(QListView::TopToBottom);
    ShellListView1->setWrapping(true); // names in columns
    ShellListView1->setResizeMode(QListView::Adjust);
    ShellListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ShellListView1->setEditTriggers(QAbstractItemView::EditKeyPressed |
                                    QAbstractItemView::SelectedClicked);
    ShellListView1->setMinimumWidth(30);

    Splitter1->addWidget(ShellTreeView1);
    Splitter1->addWidget(ShellListView1);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({363, 646 - 363 - 6});

    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(Splitter1);
}

void TfromFileSelect::BuildButtons() {
    BitBtn2 = MakeButton(this, "BitBtn2", vellaro::FromUtf8(vellaro::kCancelCaption), Qt::red);
    BitBtn3 = MakeButton(this, "BitBtn3", QStringLiteral("決　定"), Qt::blue);

    // At the designed size (client 646 x 410) the panel is 358 pixels high and the buttons sit
    // at 468, 369 and 549, 369; a larger window gives the extra room to the panel.
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 11, 22, 16);
    buttons->setSpacing(6);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn3);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1, 1);
    layout->addLayout(buttons);
}

void TfromFileSelect::ConnectEvents() {
    connect(ShellListView1, &QListView::doubleClicked, this,
            &TfromFileSelect::ShellListView1DblClick);
    connect(ShellTreeView1, &QTreeView::customContextMenuRequested, this,
            &TfromFileSelect::ShellTreeView1RightClick);
    connect(BitBtn2, &QPushButton::clicked, this, &TfromFileSelect::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TfromFileSelect::BitBtn3Click);
}

void TfromFileSelect::ConnectModelEvents() {
    connect(
        ShellTreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current, const QModelIndex&) { ShellTreeView1Change(current); });
    // The tree reads folders in the background and sorts what it has read a moment later,
    // which moves the rows: keep the selected folder in view once that is done.
    const auto keepCurrentInView = [this] {
        QTimer::singleShot(0, this, [this] {
            const QModelIndex current = ShellTreeView1->currentIndex();
            if (current.isValid())
                ShellTreeView1->scrollTo(current);
        });
    };
    connect(m_treeModel, &QFileSystemModel::directoryLoaded, this, keepCurrentInView);
    connect(m_treeModel, &QFileSystemModel::layoutChanged, this, keepCurrentInView);
}

void TfromFileSelect::showEvent(QShowEvent* event) {
    EnsureModels();
    QDialog::showEvent(event);
}

int TfromFileSelect::Execute() {
    return exec();
}

QString TfromFileSelect::StartFolder() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QDir(desktop).exists())
        return QDir::cleanPath(desktop);
    const QString home = QDir::homePath();
    if (QDir(home).exists())
        return QDir::cleanPath(home);
    return QDir::rootPath();
}

QString TfromFileSelect::SelectedFolder() {
    EnsureModels();
    const QModelIndex current = ShellTreeView1->currentIndex();
    if (!current.isValid())
        return {};
    return m_treeModel->filePath(current);
}

QString TfromFileSelect::ListedFolder() {
    EnsureModels();
    return m_listModel->filePath(ShellListView1->rootIndex());
}

bool TfromFileSelect::SelectFolder(const QString& folder) {
    if (folder.isEmpty() || !QDir(folder).exists())
        return false;
    EnsureModels();
    const QModelIndex index = m_treeModel->index(QDir::cleanPath(folder));
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        ShellTreeView1->expand(up);
    ShellTreeView1->setCurrentIndex(index);
    ShellTreeView1->scrollTo(index);
    return true;
}

bool TfromFileSelect::FolderAccepted(const QString& folder) {
    if (folder.isEmpty())
        return false;
    const std::filesystem::path path = vellaro::ToPath(folder);
    // The settings file stores the folder as CP932 text; a name it cannot hold would be lost, and
    // one that it would read back changed (blanks at either end, a line break, more than a value
    // holds) would lead the next start to another folder.
    const std::optional<vellaro::Cp932Text> stored = vellaro::Utf8ToCp932(path.string());
    if (!stored || !vellaro::IniValueReadsBack(*stored))
        return false;
    // A folder renamed or removed since the tree read it is not a folder to work in.
    if (!vellaro::ExistFolder(path))
        return false;
    return vellaro::DriveKind(path) == kFixedDisk;
}

void TfromFileSelect::BitBtn3Click() {
    const QString folder = SelectedFolder();
    if (FolderAccepted(folder)) {
        vellaro::CurSrcPath = vellaro::ToPath(folder);
        accept();
        return;
    }
    vellaro::Dialogs().message(this, vellaro::MsgKind::Warning,
                               QStringLiteral("正しくフォルダを選択して下さい"), vellaro::MbOk);
}

void TfromFileSelect::BitBtn2Click() {
    reject();
}

void TfromFileSelect::ShellTreeView1Change(const QModelIndex& current) {
    if (!current.isValid())
        return;
    const QString folder = m_treeModel->filePath(current);
    ShellListView1->setRootIndex(m_listModel->setRootPath(folder));
}

void TfromFileSelect::ShellListView1DblClick(const QModelIndex& index) {
    if (!index.isValid() || !m_listModel->isDir(index))
        return;
    // The list moves into the folder through the tree, so that both show the same place.
    SelectFolder(m_listModel->filePath(index));
}

void TfromFileSelect::ShellTreeView1RightClick(const QPoint& pos) {
    // The pop-up menu is empty: nothing is shown. Were it given entries, they would appear here.
    if (!PopupMenu1->actions().isEmpty())
        PopupMenu1->popup(ShellTreeView1->viewport()->mapToGlobal(pos));
}

bool TfromFileSelect::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ShellTreeView1->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            const QModelIndex index = ShellTreeView1->indexAt(mouse->position().toPoint());
            if (index.isValid())
                ShellTreeView1->setCurrentIndex(index);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
