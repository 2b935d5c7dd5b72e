#pragma once
// The folder selection dialog: the learner picks the work folder in a folder tree, with the
// selected folder's contents listed beside it. Only a folder on a fixed disk whose name the
// settings file can hold is accepted; the choice is handed back through vellaro::CurSrcPath.

#include <QDialog>
#include <QString>

class QFileSystemModel;
class QListView;
class QMenu;
class QModelIndex;
class QPushButton;
class QShowEvent;
class QSplitter;
class QTreeView;
class QWidget;

class TfromFileSelect : public QDialog {
    Q_OBJECT
  public:
    explicit TfromFileSelect(QWidget* parent = nullptr);

    // Shows the dialog modally. QDialog::Accepted when a folder was confirmed (it is then in
    // vellaro::CurSrcPath); QDialog::Rejected otherwise, with CurSrcPath untouched.
    int Execute();

    // The folder tree and the list of the selected folder, side by side on Panel1.
    QWidget* Panel1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTreeView* ShellTreeView1 = nullptr;
    QMenu* PopupMenu1 = nullptr; // the tree's, empty
    QListView* ShellListView1 = nullptr;
    QPushButton *BitBtn2 = nullptr, *BitBtn3 = nullptr; // "キャンセル", "決　定"

    // The folder selected in the tree; empty when nothing is selected.
    QString SelectedFolder();
    // Selects an existing folder in the tree, expanding the folders above it. False when the
    // folder is not in the tree.
    bool SelectFolder(const QString& folder);
    // The folder the list shows.
    QString ListedFolder();
    // The folder the tree selects when the dialog is first created: the learner's desktop
    // folder, or the home folder when there is none.
    static QString StartFolder();
    // The folder test: a folder that exists, lies on a fixed disk and whose name the settings
    // file (CP932) holds and gives back unchanged.
    static bool FolderAccepted(const QString& folder);

    void BitBtn3Click(); // "決　定"
    void BitBtn2Click(); // "キャンセル"

  private:
    void BuildModels();
    void BuildViews();
    void BuildButtons();
    void ConnectEvents();
    void EnsureModels();
    void ConnectModelEvents();
    void showEvent(QShowEvent* event) override;
    void ShellTreeView1Change(const QModelIndex& current);
    void ShellListView1DblClick(const QModelIndex& index);
    void ShellTreeView1RightClick(const QPoint& pos);
    bool eventFilter(QObject* watched, QEvent* event) override;

    QFileSystemModel* m_treeModel = nullptr;
    QFileSystemModel* m_listModel = nullptr;
};
