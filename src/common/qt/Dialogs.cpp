#include "common/qt/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

#include "common/delCommFunc.h"
#include "common/qt/QtText.h"

namespace vellaro {

namespace {

QMessageBox::Icon IconOf(MsgKind kind) {
    switch (kind) {
    case MsgKind::Warning:
        return QMessageBox::Warning;
    case MsgKind::Error:
        return QMessageBox::Critical;
    case MsgKind::Information:
        return QMessageBox::Information;
    case MsgKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// Places a dialog in the middle of the screen the pointer (or the parent) is on.
void CentreOnScreen(QWidget* dialog, QWidget* parent) {
    dialog->adjustSize();
    QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = dialog->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    dialog->move(frame.topLeft());
}

void Prepare(QFileDialog& dialog, const FileDialogRequest& request) {
    dialog.setWindowTitle(request.caption);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.folder.isEmpty())
        dialog.setDirectory(request.folder);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
}

QString Run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

DialogSeam* g_seam = nullptr;

} // namespace

QString MsgCaption(MsgKind kind) {
    switch (kind) {
    case MsgKind::Warning:
        return QStringLiteral("警告");
    case MsgKind::Error:
        return QStringLiteral("エラー");
    case MsgKind::Information:
        return QStringLiteral("情報");
    case MsgKind::Confirmation:
        return QStringLiteral("確認");
    }
    return {};
}

MsgButton QtDialogs::message(QWidget* parent, MsgKind kind, const QString& text, int buttons) {
    QMessageBox box(parent);
    box.setWindowTitle(MsgCaption(kind));
    box.setIcon(IconOf(kind));
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);

    struct Choice {
        MsgButton id;
        const char* caption;
        QMessageBox::ButtonRole role;
    };
    static const Choice kChoices[] = {
        {MbYes, "はい(&Y)", QMessageBox::YesRole},
        {MbNo, "いいえ(&N)", QMessageBox::NoRole},
        {MbOk, "OK", QMessageBox::AcceptRole},
        {MbCancel, kCancelCaption, QMessageBox::RejectRole},
    };
    QList<std::pair<QAbstractButton*, MsgButton>> made;
    for (const Choice& c : kChoices) {
        if (buttons & c.id) {
            QPushButton* b = box.addButton(FromUtf8(c.caption), c.role);
            made.push_back({b, c.id});
        }
    }
    if (made.isEmpty())
        made.push_back({box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole), MbOk});
    box.setDefaultButton(qobject_cast<QPushButton*>(made.front().first));
    // Closing the box with Escape or its close box counts as the "no"-most answer offered.
    box.setEscapeButton(made.back().first);

    CentreOnScreen(&box, parent);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (const auto& [button, id] : made)
        if (button == clicked)
            return id;
    return made.back().second;
}

QString QtDialogs::openFile(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name that does not exist is handed back as it is; the caller reports it.
    dialog.setFileMode(QFileDialog::AnyFile);
    Prepare(dialog, request);
    return Run(dialog);
}

QString QtDialogs::saveFile(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    Prepare(dialog, request);
    return Run(dialog);
}

std::optional<QFont> QtDialogs::chooseFont(QWidget* parent, const QFont& initial) {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, initial, parent);
    if (!ok)
        return std::nullopt;
    return font;
}

void InstallFaceSubstitutions() {
    QFont::insertSubstitution(FromUtf8(kGothicFace), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(FromUtf8(kPGothicFace), QStringLiteral("IPAPGothic"));
}

QFont PixelFont(const char* face, int pixels) {
    QFont font(FromUtf8(face));
    font.setPixelSize(pixels);
    return font;
}

QFont FontDialogStart(const QString& faceName, int points) {
    // The substitution table keeps its names in lower case; the dialog finds a face only as the
    // font database spells it.
    QString face = QFont::substitute(faceName);
    const QStringList installed = QFontDatabase::families();
    const auto spelt = std::find_if(installed.begin(), installed.end(), [&](const QString& f) {
        return f.compare(face, Qt::CaseInsensitive) == 0;
    });
    if (spelt != installed.end())
        face = *spelt;
    QFont font(face);
    if (points > 0)
        font.setPointSize(points);
    return font;
}

QString FontDialogChoice(const QString& faceName, const QFont& chosen) {
    if (chosen.family().compare(QFont::substitute(faceName), Qt::CaseInsensitive) == 0)
        return faceName;
    return chosen.family();
}

DialogSeam& Dialogs() {
    static QtDialogs real;
    return g_seam ? *g_seam : real;
}

void SetDialogs(DialogSeam* seam) {
    g_seam = seam;
}

} // namespace vellaro
