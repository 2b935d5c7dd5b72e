// The editor's help with the Java it holds, as the window drives it: the full-width symbols in
// the status bar and the command that replaces them, and the marks a compile leaves on the
// statements it found wrong. The rules are in the core (exercise/JavaSyntax.h); the widgets that
// show them are app/ExerciseEditor.h.
#include <QAction>
#include <QLabel>
#include <QShortcut>
#include <QTextBlock>
#include <QTextDocument>

#include "app/ExerciseEditor.h"
#include "app/frmMain.h"
#include "common/qt/QtText.h"
#include "exercise/CompileMessages.h"
#include "exercise/JavaComp.h"
#include "exercise/JavaSyntax.h"

using vellaro::FromUtf8;

vellaro::ExerciseEditor* TMainCrt::Editor() const {
    return static_cast<vellaro::ExerciseEditor*>(SecEdit);
}

vellaro::ListingView* TMainCrt::Listing() const {
    return static_cast<vellaro::ListingView*>(compList);
}

void TMainCrt::ConnectEditor() {
    connect(HalfWidth2, &QAction::triggered, this, EditHandler(&TMainCrt::HalfWidthClick, true));
    connect(HalfWidth1, &QAction::triggered, this, EditHandler(&TMainCrt::HalfWidthClick, false));
    auto* key = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H), this);
    key->setObjectName(QStringLiteral("HalfWidthKey"));
    connect(key, &QShortcut::activated, this, EditHandler(&TMainCrt::HalfWidthClick, true));
    connect(Editor(), &vellaro::ExerciseEditor::fullWidthCountChanged, this,
            [this](int count) { Guarded([this, count] { SecEditFullWidthChange(count); }); });
}

void TMainCrt::SecEditFullWidthChange(int count) {
    StatusFullWidth->setText(count > 0 ? FromUtf8(vellaro::FullWidthCountText(std::size_t(count)))
                                       : QString());
}

void TMainCrt::HalfWidthClick(bool fromMenu) {
    // The command is the exercise editor's; the hidden source on the compile page is the
    // program's and stays as it was generated.
    if (CurPage() != 0 || !Panel8->isHidden())
        return;
    if (fromMenu)
        SecEdit->setFocus(Qt::OtherFocusReason);
    Editor()->replaceFullWidthSymbols();
}

void TMainCrt::MarkStatementErrors(bool sourceOnScreen) {
    QList<vellaro::ExerciseEditor::ErrorMark> marks;
    if (sourceOnScreen) {
        const std::size_t statements = StatementCount();
        QTextDocument* pane = Memo1->document();
        for (const vellaro::CompilerMessage& m : m_compileReport.messages) {
            if (!m.inSource || m.kind != vellaro::MessageKind::Error)
                continue;
            const std::size_t statement = vellaro::StatementOfSourceLine(m.line, statements);
            if (statement == 0)
                continue;
            const QTextBlock line = SecEdit->document()->findBlockByNumber(int(statement) - 1);
            if (!line.isValid())
                continue;
            // The compiler's "^" below the quoted line gives the column it means.
            int column = -1;
            for (std::size_t i = m.paneLine + 1; i < m.endLine && column < 0; ++i) {
                const QString paneLine = pane->findBlockByNumber(int(i)).text();
                if (const auto caret = vellaro::CaretColumn(vellaro::ToUtf8(paneLine))) {
                    const QString text = line.text();
                    column = int(vellaro::StatementColumn(
                        {reinterpret_cast<const char16_t*>(text.constData()),
                         std::size_t(text.size())},
                        *caret));
                }
            }
            const QString summary =
                m.explanation ? FromUtf8(m.explanation->summary) : FromUtf8(m.text);
            marks.push_back({int(statement) - 1, column, summary});
        }
    }
    Editor()->setErrorMarks(marks);
}
