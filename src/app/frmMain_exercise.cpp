// Exercise bench handlers of the main window: the class-name rule, the new-exercise and editing
// commands, the exercise and Java files, and the generated source with its listing.
//
// The editor's text reaches the core as UTF-8 bytes. The generation rules look only at ASCII
// bytes, so they give the same lines as on CP932, and the listing can show exactly what the
// learner typed even when a character has no CP932 form. The conversion to CP932 happens when a
// file is written, and a character that CP932 cannot hold stops the write there, naming its line.
#include "app/frmMain.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>

#include "app/ExerciseEditor.h"
#include "common/ComData.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtText.h"
#include "exercise/ClassName.h"
#include "exercise/ExerciseFiles.h"
#include "exercise/JavaComp.h"

using vellaro::Dialogs;
using vellaro::FromUtf8;
using vellaro::MsgKind;
using vellaro::ToUtf8;

namespace {

// The editor's text exactly as it stands, lines separated by LF. toPlainText() would turn
// no-break spaces into blanks, and a file must never differ from the editor behind the
// learner's back.
QString EditorText(const QPlainTextEdit* editor) {
    QString text = editor->document()->toRawText();
    for (QChar& c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = QLatin1Char('\n');
    }
    return text;
}

void ShowMessage(QWidget* parent, MsgKind kind, std::string_view utf8) {
    Dialogs().message(parent, kind, FromUtf8(utf8), vellaro::MbYes);
}

// A file chosen in a dialog makes its folder the current folder, as the desktop's standard
// dialogs do: the compiler runs in the current folder and finds the file written there.
std::filesystem::path TakeChosenFile(const QString& chosen) {
    const std::filesystem::path file = vellaro::ToPath(chosen);
    vellaro::ChangeFolder(file.parent_path());
    return file;
}

// Encodes the lines for a file; nullopt (with the line and character in `failure`) when a
// character has no CP932 form.
std::optional<vellaro::Cp932Lines> EncodeLines(const QStringList& lines,
                                               vellaro::UnencodableChar* failure) {
    vellaro::Cp932Lines encoded;
    encoded.reserve(static_cast<std::size_t>(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        auto bytes = vellaro::EncodeTextCp932(ToUtf8(lines[i]), failure);
        if (!bytes) {
            if (failure)
                failure->line = static_cast<std::size_t>(i) + 1;
            return std::nullopt;
        }
        encoded.push_back(std::move(*bytes));
    }
    return encoded;
}

// The same, showing which line cannot be written and answering nullopt, so that nothing is.
std::optional<vellaro::Cp932Lines> EncodeLines(QWidget* parent, const QStringList& lines) {
    vellaro::UnencodableChar failure;
    auto encoded = EncodeLines(lines, &failure);
    if (!encoded)
        ShowMessage(parent, MsgKind::Warning, vellaro::UnencodableMessage(failure));
    return encoded;
}

// The lines of an editor: none for the empty text, and no further line after a final break.
QStringList EditorLines(const QPlainTextEdit* editor) {
    QStringList lines;
    for (const std::string& line : vellaro::SplitStatementLines(ToUtf8(EditorText(editor))))
        lines.push_back(FromUtf8(line));
    return lines;
}

} // namespace

// ---- class name ---------------------------------------------------------------------------------

void TMainCrt::SrcClassNameChange() {
    if (!vellaro::ApplyClassNameRule(ToUtf8(SrcClassName->text()), vellaro::AcceptedClassName)) {
        // The whole change is undone, not just the offending character. Setting the text is a
        // change of its own: the rule runs again for it and finds it clean.
        const QString accepted = FromUtf8(vellaro::AcceptedClassName);
        SrcClassName->setProgramText(accepted);
        SrcClassName->setCursorPosition(static_cast<int>(accepted.size()));
    }
    vellaro::AcceptedClassName = ToUtf8(SrcClassName->text());
    SaveclassName->setText(SrcClassName->text());
}

// ---- new exercise and editing commands ----------------------------------------------------------

void TMainCrt::ToolButton1Click() {
    if (Dialogs().message(this, MsgKind::Confirmation, QStringLiteral("新規作成を行いますか？"),
                          vellaro::MbYes | vellaro::MbNo) != vellaro::MbYes)
        return;
    SecEdit->clear();
    SecEdit->viewport()->update();
    m_readAsUtf8 = false;
    MarkExerciseUnchanged();
    SrcClassName->setProgramText(QString());
    SrcClassName->setFocus();
}

// ---- unsaved text -------------------------------------------------------------------------------

bool TMainCrt::ExerciseChanged() const {
    return EditorText(SecEdit) != m_exerciseBaseline;
}

void TMainCrt::MarkExerciseUnchanged() {
    m_exerciseBaseline = EditorText(SecEdit);
}

bool TMainCrt::KeepUnsavedExercise() {
    if (!ExerciseChanged())
        return true;
    switch (Dialogs().message(this, MsgKind::Confirmation,
                              QStringLiteral("プログラムが変更されています。保存しますか？"),
                              vellaro::MbYes | vellaro::MbNo | vellaro::MbCancel)) {
    case vellaro::MbYes:
        return SaveExercise();
    case vellaro::MbNo:
        return true;
    default:
        return false;
    }
}

namespace {

template <typename Command>
void RunEditCommand(QPlainTextEdit* editor, bool fromMenu, Command command) {
    if (!editor)
        return;
    // An entry of the "編集" menu first gives the editor the focus; the tool buttons and the
    // pop-up menu leave the focus where it is.
    if (fromMenu)
        editor->setFocus(Qt::OtherFocusReason);
    command(editor);
}

} // namespace

QPlainTextEdit* TMainCrt::EditorOfPage() const {
    switch (CurPage()) {
    case 0:
        return SecEdit;
    case 1:
        return SrcList;
    default:
        return nullptr;
    }
}

void TMainCrt::EditCut(bool fromMenu) {
    RunEditCommand(EditorOfPage(), fromMenu, [](QPlainTextEdit* e) { e->cut(); });
}

void TMainCrt::EditCopy(bool fromMenu) {
    RunEditCommand(EditorOfPage(), fromMenu, [](QPlainTextEdit* e) { e->copy(); });
}

void TMainCrt::EditPaste(bool fromMenu) {
    RunEditCommand(EditorOfPage(), fromMenu, [](QPlainTextEdit* e) { e->paste(); });
}

void TMainCrt::EditSelectAll(bool fromMenu) {
    RunEditCommand(EditorOfPage(), fromMenu, [](QPlainTextEdit* e) { e->selectAll(); });
}

// ---- generation ---------------------------------------------------------------------------------

std::size_t TMainCrt::StatementCount() const {
    return StatementLines().size();
}

std::vector<std::string> TMainCrt::StatementLines() const {
    return vellaro::SplitStatementLines(ToUtf8(EditorText(SecEdit)));
}

void TMainCrt::MakeJavaSource() {
    const vellaro::TextLines statements = vellaro::SplitStatementLines(ToUtf8(EditorText(SecEdit)));
    // An empty editor leaves the previous source and listing in place.
    if (statements.empty())
        return;
    const vellaro::TextLines source =
        vellaro::MakeJavaSource(ToUtf8(SaveclassName->text()), statements);
    SrcList->setPlainText(FromUtf8(vellaro::JoinLines(source)));
    compList->setPlainText(FromUtf8(vellaro::JoinLines(vellaro::MakeSourceListing(source))));
    // The listing shows the shorthand expanded: its colour marks where it was.
    std::vector<int> shorthands(source.size(), -1);
    for (std::size_t k = 0; k < statements.size(); ++k)
        if (const auto at = statements[k].find("?("); at != std::string::npos)
            shorthands[vellaro::kSourceLinesBeforeStatements + k] =
                2 + int(FromUtf8(std::string_view(statements[k]).substr(0, at)).size());
    Listing()->setShorthandColumns(std::move(shorthands));
}

// ---- files --------------------------------------------------------------------------------------

void TMainCrt::ToolButton3Click() {
    SaveExercise();
}

bool TMainCrt::SaveExercise() {
    const QString className = SrcClassName->text();
    if (RefuseClassName(className))
        return false;
    // Refused before the learner picks a file: a text that cannot be written as it stands.
    vellaro::UnencodableChar failure;
    const QString editorText = EditorText(SecEdit);
    const auto text = vellaro::EncodeTextCp932(ToUtf8(editorText), &failure);
    if (!text) {
        ShowMessage(this, MsgKind::Warning, vellaro::UnencodableMessage(failure));
        return false;
    }
    vellaro::FileDialogRequest request = SaveDialog1;
    request.folder = vellaro::FromPath(m_settings.PathSrc);
    request.fileName = className;
    const QString chosen = Dialogs().saveFile(this, request);
    if (chosen.isEmpty())
        return false;
    if (!vellaro::WriteExerciseFile(TakeChosenFile(chosen), *text)) {
        ShowMessage(this, MsgKind::Error, vellaro::kMsgCannotWrite);
        return false;
    }
    m_exerciseBaseline = editorText;
    // The learner's file was UTF-8 and is Shift-JIS from now on: said, so that it is no surprise
    // to another editor.
    if (m_readAsUtf8) {
        m_readAsUtf8 = false;
        StatusMessage->setText(FromUtf8(vellaro::kSavedAsSjis));
    }
    return true;
}

void TMainCrt::ToolButton2Click() {
    // Reading replaces the editor's text: a changed exercise is offered for saving first.
    if (!KeepUnsavedExercise())
        return;
    // The dialog opens in the work folder, showing the exercise files there.
    vellaro::FileDialogRequest request = OpenDialog1;
    request.folder = vellaro::FromPath(m_settings.PathSrc);
    request.fileName.clear();
    const QString chosen = Dialogs().openFile(this, request);
    if (chosen.isEmpty())
        return;
    const std::filesystem::path file = TakeChosenFile(chosen);

    const vellaro::ExerciseRead read = vellaro::ReadExerciseFile(file);
    if (read.status != vellaro::ExerciseReadStatus::Ok) {
        // The editor and the class name stay: the learner's unsaved text is not thrown away
        // because some other file could not be read.
        ShowMessage(this, MsgKind::Error, vellaro::ReadFailureMessage(read));
        return;
    }
    bool asUtf8 = read.encoding == vellaro::ExerciseEncoding::Utf8;
    if (read.encoding == vellaro::ExerciseEncoding::Either) {
        const vellaro::MsgButton answer =
            Dialogs().message(this, MsgKind::Confirmation, FromUtf8(vellaro::kMsgReadAsUtf8),
                              vellaro::MbYes | vellaro::MbNo | vellaro::MbCancel);
        if (answer != vellaro::MbYes && answer != vellaro::MbNo)
            return;
        asUtf8 = answer == vellaro::MbYes;
    }
    // Text that CP932 cannot hold stays in the editor; writing it refuses it, naming the line.
    SecEdit->setPlainText(asUtf8 ? FromUtf8(read.utf8Text) : vellaro::FromSjis(read.text));
    m_readAsUtf8 = asUtf8;
    MarkExerciseUnchanged();
    // The class-name rule judges the stem; the typed-length limit does not apply to it.
    SrcClassName->setProgramText(
        vellaro::FromPath(std::filesystem::path(vellaro::ExtractNameStem(file))));
}

void TMainCrt::ToolButton11Click() {
    const QString className = SaveclassName->text();
    if (RefuseClassName(className))
        return;
    // The source as it stands; this command does not generate it again.
    const auto lines = EncodeLines(this, EditorLines(SrcList));
    if (!lines)
        return;
    vellaro::FileDialogRequest request = SaveDialog2;
    request.folder = vellaro::FromPath(m_settings.PathSrc);
    request.fileName = className;
    const QString chosen = Dialogs().saveFile(this, request);
    if (chosen.isEmpty())
        return;
    if (!vellaro::WriteJavaFile(TakeChosenFile(chosen), *lines))
        ShowMessage(this, MsgKind::Error, vellaro::kMsgCannotWrite);
}

TMainCrt::SourceOnDisk TMainCrt::WriteSourceBeforeCompile(bool ask) {
    // An empty editor generates nothing: the listing may belong to another exercise, and the
    // file on disk is all there is to compile.
    if (StatementCount() == 0)
        return SourceOnDisk::Screen;
    const QString className = SaveclassName->text();
    std::error_code ec;
    std::filesystem::path file = vellaro::ToPath(className + QStringLiteral(".java"));
    if (const auto here = std::filesystem::current_path(ec); !ec)
        file = here / file;
    const QStringList lines = EditorLines(SrcList);
    if (const auto encoded = EncodeLines(lines, nullptr);
        encoded && vellaro::JavaFileMatches(file, *encoded))
        return SourceOnDisk::Screen;
    if (ask) {
        switch (Dialogs().message(this, MsgKind::Confirmation,
                                  FromUtf8(vellaro::UnwrittenSourceQuestion(ToUtf8(className))),
                                  vellaro::MbYes | vellaro::MbNo | vellaro::MbCancel)) {
        case vellaro::MbYes:
            break;
        case vellaro::MbNo:
            return SourceOnDisk::AsItIs;
        default:
            return SourceOnDisk::Cancelled;
        }
    }
    // Written as "Ｊａｖａソース書出し" writes it; a source that cannot be written is not compiled.
    const auto encoded = EncodeLines(this, lines);
    if (!encoded)
        return SourceOnDisk::Cancelled;
    if (!vellaro::WriteJavaFile(file, *encoded)) {
        ShowMessage(this, MsgKind::Error, vellaro::kMsgCannotWrite);
        return SourceOnDisk::Cancelled;
    }
    return SourceOnDisk::Screen;
}

QString TMainCrt::ExerciseOnScreen() const {
    return EditorText(SecEdit);
}

bool TMainCrt::RefuseClassName(const QString& className) {
    if (className.isEmpty()) {
        ShowMessage(this, MsgKind::Warning, vellaro::kMsgEnterClassName);
        return true;
    }
    const std::string name = ToUtf8(className);
    if (vellaro::IsJavaStandardClassName(name)) {
        ShowMessage(this, MsgKind::Warning, vellaro::StandardClassNameMessage(name));
        return true;
    }
    return false;
}
