#pragma once
// Seams for everything modal, so that widget tests drive the real windows with scripted answers.
// main() installs the real implementations (Qt's dialogs); tests install ScriptedDialogs.

#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace vellaro {

enum class MsgKind { Warning, Error, Information, Confirmation };

enum MsgButton : int { MbYes = 1, MbNo = 2, MbOk = 4, MbCancel = 8 };

struct FileDialogRequest {
    QString caption;
    QString folder;        // the folder the dialog opens in
    QString fileName;      // initial file name (without folder)
    QString filter;        // Qt filter text, e.g. "Java Source (*.java)"
    QString defaultSuffix; // without the dot
};

class DialogSeam {
  public:
    virtual ~DialogSeam() = default;
    // The standard message box: modal, centred, caption and icon by kind; returns the button.
    virtual MsgButton message(QWidget* parent, MsgKind kind, const QString& text, int buttons) = 0;
    // Empty string when cancelled. Neither asks about replacing or about missing files.
    virtual QString openFile(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString saveFile(QWidget* parent, const FileDialogRequest& request) = 0;
    // nullopt when cancelled.
    virtual std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) = 0;
};

// The real dialogs of Qt (Japanese through the qtbase_ja translation).
class QtDialogs : public DialogSeam {
  public:
    MsgButton message(QWidget* parent, MsgKind kind, const QString& text, int buttons) override;
    QString openFile(QWidget* parent, const FileDialogRequest& request) override;
    QString saveFile(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<QFont> chooseFont(QWidget* parent, const QFont& initial) override;
};

// The face names the program and its settings use (kGothicFace, kPGothicFace) rendered with the
// installed Japanese faces. Installed once at start.
void InstallFaceSubstitutions();
// A face (UTF-8 name) at a size in pixels, as the windows' designs give their fonts.
QFont PixelFont(const char* face, int pixels);
// The font dialog lists installed faces. It opens on the face that a stored name stands for (the
// face the window renders it with) at the stored size (none when points is not positive)...
QFont FontDialogStart(const QString& faceName, int points);
// ...and a choice of that same face keeps the stored name as it was, whatever size was chosen.
QString FontDialogChoice(const QString& faceName, const QFont& chosen);

// The process-wide seam in use (never null: QtDialogs until replaced). Not owned.
DialogSeam& Dialogs();
void SetDialogs(DialogSeam* seam);

// The caption of each message box kind.
QString MsgCaption(MsgKind kind);
// The caption of a button that cancels (a message box's and the folder dialog's).
inline constexpr const char* kCancelCaption = "キャンセル";

} // namespace vellaro
