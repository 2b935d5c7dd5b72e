// The compiler's messages in the pane Memo1: what the compiler wrote stays as it wrote it; the
// window marks the lines that name a line of the source as links, leads from a message to its
// line in the listing and to its statement in the editor, and shows the explanation of the
// selected message. What a message says and where it leads is read in the core
// (exercise/CompileMessages.h); the handlers here only apply it to the widgets.
#include <QEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolTip>

#include "app/Controls.h"
#include "app/frmMain.h"
#include "common/qt/QtText.h"
#include "exercise/JavaComp.h"

using vellaro::FromUtf8;

namespace {

// The pane line under a point of the pane's viewport.
int PaneLineAt(const QPlainTextEdit* pane, const QPoint& at) {
    return pane->cursorForPosition(at).blockNumber();
}

bool IsEnter(const QKeyEvent* key) {
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
           (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// The selected message's line: a pale shade of the selection colour under the text, so that the
// text keeps its colours and stays readable.
QColor SelectedLineColour(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    const QColor mark = palette.color(QPalette::Highlight);
    const auto mix = [](int a, int b) { return (a * 3 + b) / 4; };
    return QColor(mix(base.red(), mark.red()), mix(base.green(), mark.green()),
                  mix(base.blue(), mark.blue()));
}

} // namespace

// ---- after a compile ----------------------------------------------------------------------------

void TMainCrt::ShowCompileMessages(const vellaro::Cp932Lines& lines, const std::string& className) {
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const vellaro::Cp932Text& line : lines)
        text << vellaro::FromSjis(line);
    // Setting the text forgets what the previous messages said; the new ones are read after.
    Memo1->setPlainText(text.join(QLatin1Char('\n')));
    QList<vellaro::MessagePane::CaretMark> carets;
    for (std::size_t i = 1; i < lines.size(); ++i)
        if (const auto column = vellaro::CaretColumn(lines[i].bytes()))
            carets.push_back({int(i), int(*column)});
    Memo1->setCaretMarks(carets);
    m_compileReport = vellaro::ReadCompileMessages(lines, className);
    ShowMessageMarks();
    if (m_compileReport.errorCount && *m_compileReport.errorCount > 0)
        StatusErrorCount->setText(FromUtf8(vellaro::ErrorCountText(*m_compileReport.errorCount)));
}

void TMainCrt::ForgetCompileMessages() {
    m_compileReport = {};
    m_selectedMessage.reset();
    Memo1->setExtraSelections({});
    Memo1->setAccessibleDescription(QString());
    SelectListingLine(0);
    StatusMessage->clear();
    StatusErrorCount->clear();
}

void TMainCrt::ClearStatus() {
    StatusMessage->clear();
    StatusErrorCount->clear();
}

// Links are underlined in the link colour and the selected message's line is shaded, all as
// marks over the text: the pane's text is exactly what the compiler wrote.
void TMainCrt::ShowMessageMarks() {
    QList<QTextEdit::ExtraSelection> marks;
    const QColor link = Memo1->palette().color(QPalette::Link);
    for (const vellaro::CompilerMessage& m : m_compileReport.messages) {
        const bool selected = m_selectedMessage == m.paneLine;
        if (!m.inSource && !selected)
            continue;
        const QTextBlock block = Memo1->document()->findBlockByNumber(static_cast<int>(m.paneLine));
        if (!block.isValid())
            continue;
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(block);
        // A mark over the whole width of the pane is given by a caret on its line, not a range.
        if (!selected)
            mark.cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        if (m.inSource) {
            mark.format.setForeground(link);
            mark.format.setFontUnderline(true);
        }
        if (selected) {
            mark.format.setBackground(SelectedLineColour(Memo1->palette()));
            mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        }
        marks << mark;
    }
    Memo1->setExtraSelections(marks + Memo1->hiddenCarets());
}

// ---- selecting a message ------------------------------------------------------------------------

void TMainCrt::SelectMessage(const vellaro::CompilerMessage* message, bool scrollPane) {
    m_selectedMessage.reset();
    if (message)
        m_selectedMessage = message->paneLine;
    SelectListingLine(message && message->inSource ? message->line : 0);
    const vellaro::Explanation* explanation = message ? message->explanation : nullptr;
    StatusMessage->setText(explanation ? FromUtf8(explanation->summary) : QString());
    Memo1->setAccessibleDescription(explanation ? FromUtf8(vellaro::FullExplanation(*explanation))
                                                : QString());
    ShowMessageMarks();
    if (message && scrollPane) {
        QTextCursor at(Memo1->document()->findBlockByNumber(static_cast<int>(message->paneLine)));
        Memo1->setTextCursor(at);
        Memo1->ensureCursorVisible();
    }
}

// Selects a line of the listing (counted from 1) and scrolls it into view; 0 selects nothing. The
// compiled file may be longer than the listing (the learner compiled a file that differs): then
// nothing is selected either.
void TMainCrt::SelectListingLine(std::size_t line) {
    QTextDocument* listing = compList->document();
    QTextCursor cursor = compList->textCursor();
    const QTextBlock block = listing->findBlockByNumber(static_cast<int>(line) - 1);
    if (line == 0 || listing->isEmpty() || !block.isValid()) {
        // Only a selection is taken away: setting the caret would scroll the listing.
        if (cursor.hasSelection()) {
            cursor.clearSelection();
            compList->setTextCursor(cursor);
        }
        return;
    }
    // The caret at the start of the line, so that the view shows its beginning.
    cursor.setPosition(block.position() + block.length() - 1);
    cursor.setPosition(block.position(), QTextCursor::KeepAnchor);
    compList->setTextCursor(cursor);
    compList->centerCursor();
}

void TMainCrt::Memo1Click(int paneLine) {
    if (paneLine < 0) {
        SelectMessage(nullptr, false);
        return;
    }
    SelectMessage(vellaro::MessageOfLine(m_compileReport, static_cast<std::size_t>(paneLine)),
                  false);
}

void TMainCrt::Memo1DblClick(int paneLine) {
    Memo1Click(paneLine);
    GoToMessageStatement();
}

void TMainCrt::Memo1KeyEnter() {
    GoToMessageStatement();
}

void TMainCrt::SelectNextMessage(bool forward) {
    if (PageControl1->currentWidget() != TabSheet2 || !Panel8->isHidden())
        return;
    const auto line = vellaro::NextSourceMessageLine(m_compileReport, m_selectedMessage, forward);
    if (!line)
        return;
    SelectMessage(vellaro::MessageStartingAt(m_compileReport, *line), true);
    // Enter in the pane goes on to the statement; the pane stays out of the Tab key's way.
    Memo1->setFocus(Qt::ShortcutFocusReason);
}

void TMainCrt::GoToMessageStatement() {
    if (!m_selectedMessage)
        return;
    const vellaro::CompilerMessage* m =
        vellaro::MessageStartingAt(m_compileReport, *m_selectedMessage);
    if (!m || !m->inSource)
        return;
    // The wrapper's lines (imports, class, main, closing braces) have no statement to go to.
    const std::size_t statement = vellaro::MessageStatement(*m, StatementLines());
    if (statement == 0)
        return;
    // As the learner's own page switch: the counters are stored and the menus follow the page.
    PageControl1->setCurrentWidget(TabSheet1);
    const QTextBlock block =
        SecEdit->document()->findBlockByNumber(static_cast<int>(statement) - 1);
    if (!block.isValid())
        return;
    SecEdit->setTextCursor(QTextCursor(block));
    SecEdit->setFocus(Qt::OtherFocusReason);
    SecEdit->ensureCursorVisible();
}

// ---- the pane's events
// ----------------------------------------------------------------------------

bool TMainCrt::Memo1Event(QObject* watched, QEvent* event) {
    QWidget* viewport = Memo1->viewport();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (watched == viewport && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            Guarded([this, at] { Memo1Click(PaneLineAt(Memo1, at)); });
        }
        return false; // the pane still places its caret and starts a selection to copy
    case QEvent::MouseButtonDblClick:
        if (watched == viewport && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            Guarded([this, at] { Memo1DblClick(PaneLineAt(Memo1, at)); });
            return true;
        }
        return false;
    case QEvent::MouseMove:
        if (watched == viewport) {
            const auto* m = vellaro::MessageStartingAt(
                m_compileReport,
                static_cast<std::size_t>(
                    PaneLineAt(Memo1, static_cast<QMouseEvent*>(event)->position().toPoint())));
            viewport->setCursor(m && m->inSource ? Qt::PointingHandCursor : Qt::IBeamCursor);
        }
        return false;
    case QEvent::ToolTip:
        if (watched == viewport) {
            const auto* help = static_cast<QHelpEvent*>(event);
            const QTextCursor at = Memo1->cursorForPosition(help->pos());
            const auto* m =
                vellaro::MessageOfLine(m_compileReport, static_cast<std::size_t>(at.blockNumber()));
            if (m && m->explanation) {
                QRect line = Memo1->cursorRect(at);
                line.setLeft(0);
                line.setRight(viewport->width());
                // Rich text, so that the long lines wrap.
                QToolTip::showText(
                    help->globalPos(),
                    Qt::convertFromPlainText(FromUtf8(vellaro::FullExplanation(*m->explanation))),
                    viewport, line);
            } else {
                QToolTip::hideText();
            }
            return true;
        }
        return false;
    case QEvent::KeyPress:
        if (watched == Memo1 && IsEnter(static_cast<QKeyEvent*>(event)) && m_selectedMessage) {
            Guarded([this] { Memo1KeyEnter(); });
            return true;
        }
        return false;
    default:
        return false;
    }
}
