// Help, version dialog and work folder choice of the main window, and the windows made beside it.
#include <QLineEdit>

#include "app/AppWindows.h"
#include "app/frmMain.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtText.h"
#include "dialogs/frVer.h"
#include "dialogs/frmFileSelect.h"
#include "exercise/qt/fmDosCall.h"

void TMainCrt::UseWindows(AppDialogs* dialogs) {
    m_dialogs = dialogs;
}

// "操作説明": the help file lies next to the executable, wherever the current folder is.
void TMainCrt::N8Click() {
    const std::filesystem::path help = vellaro::ExePath() / "Vellaro.chm";
    if (vellaro::ExistFile(help)) {
        vellaro::ShellOpen(help.string());
        return;
    }
    vellaro::Dialogs().message(this, vellaro::MsgKind::Confirmation,
                               QStringLiteral("ヘルプファイルが有りません。"), vellaro::MbOk);
}

// "バージョン情報"
void TMainCrt::About1Click() {
    if (m_dialogs)
        m_dialogs->about().exec();
}

// "参　照": a confirmed folder is shown on the settings page at once; it becomes the work
// folder only with "登　録".
void TMainCrt::BitBtn2Click() {
    if (!m_dialogs || m_dialogs->fileSelect().Execute() != QDialog::Accepted)
        return;
    sDisp_SrcPath->setText(vellaro::FromPath(vellaro::CurSrcPath));
}
