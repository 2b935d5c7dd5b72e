#include "app/ExerciseEditor.h"

#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <optional>

#include "app/JavaHighlighter.h"
#include "common/qt/QtText.h"

namespace vellaro {

namespace {

std::u16string_view View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.constData()), std::size_t(text.size())};
}

QString FromU16(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size()));
}

LineState StateBefore(const QTextBlock& block) {
    const QTextBlock previous = block.previous();
    return previous.isValid() && previous.userState() == int(LineState::BlockComment)
               ? LineState::BlockComment
               : LineState::Code;
}

bool IsPlainEnter(const QKeyEvent* key) {
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
           (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// The column of the character under a point of the viewport, or -1.
int ColumnUnder(const QPlainTextEdit* edit, const QPoint& at, QTextBlock* block) {
    const QTextCursor near = edit->cursorForPosition(at);
    *block = near.block();
    const int position = near.position();
    for (const int p : {position, position - 1}) {
        if (p < block->position() || p >= block->position() + block->length() - 1)
            continue;
        QTextCursor from(edit->document());
        from.setPosition(p);
        QTextCursor to(edit->document());
        to.setPosition(p + 1);
        const int left = edit->cursorRect(from).left();
        const int right = edit->cursorRect(to).left();
        if (at.x() >= qMin(left, right) && at.x() <= qMax(left, right))
            return p - block->position();
    }
    return -1;
}

const std::vector<Bracket> kNoBrackets;

bool SameSelections(const QList<QTextEdit::ExtraSelection>& a,
                    const QList<QTextEdit::ExtraSelection>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].cursor != b[i].cursor || a[i].format != b[i].format)
            return false;
    return true;
}

QMimeData* PlainText(const QTextCursor& selection) {
    auto* data = new QMimeData;
    data->setText(selection.selection().toPlainText());
    return data;
}

// The plain text layout repaints the whole view for any change it cannot place in one line,
// and the colouring reports each line it colours as a change twice the line's length, which
// reaches into the next line (a deletion at a line's end colours the next line too): nearly
// every key repainted everything. A change that adds or removes no line and reaches a few
// lines is laid out and repainted line by line; a wider one (a comment opened above the rest)
// is left to the plain layout, which lays out lazily.
class LineLayout : public QPlainTextDocumentLayout {
  public:
    explicit LineLayout(QTextDocument* document)
        : QPlainTextDocumentLayout(document), m_blockCount(document->blockCount()) {}

  protected:
    void documentChanged(int from, int removed, int added) override {
        constexpr int kLinesByLine = 4;
        const QTextDocument* doc = document();
        const QTextBlock first = doc->findBlock(from);
        const QTextBlock last = doc->findBlock(from + qMax(added, 1) - 1);
        if (first.isValid() && last.isValid() && doc->blockCount() == m_blockCount &&
            last.blockNumber() - first.blockNumber() < kLinesByLine) {
            for (QTextBlock b = first;; b = b.next()) {
                QPlainTextDocumentLayout::documentChanged(b.position(), 0, 1);
                if (b == last)
                    break;
            }
        } else {
            QPlainTextDocumentLayout::documentChanged(from, removed, added);
        }
        m_blockCount = doc->blockCount();
    }

  private:
    int m_blockCount;
};

// The editor's own document, laid out by LineLayout.
QTextDocument* WithLineLayout(QPlainTextEdit* edit) {
    auto* doc = new QTextDocument(edit);
    doc->setDocumentLayout(new LineLayout(doc));
    doc->setDefaultFont(edit->font());
    edit->setDocument(doc);
    return doc;
}

} // namespace

// ---- the margin --------------------------------------------------------------------------------

class ExerciseEditor::Margin : public QWidget {
  public:
    explicit Margin(ExerciseEditor* editor) : QWidget(editor), m_editor(editor) {
        setObjectName(QStringLiteral("StatementMargin"));
        setAccessibleName(FromUtf8("文番号"));
    }
    QSize sizeHint() const override { return {m_editor->marginWidth(), 0}; }

  protected:
    void paintEvent(QPaintEvent* event) override { m_editor->paintMargin(event); }
    bool event(QEvent* event) override {
        if (event->type() == QEvent::ToolTip) {
            const auto* help = static_cast<QHelpEvent*>(event);
            const QString tip = m_editor->marginToolTipAt(help->pos());
            if (tip.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), tip, this);
            return true;
        }
        return QWidget::event(event);
    }

  private:
    ExerciseEditor* m_editor;
};

// ---- the editor --------------------------------------------------------------------------------

ExerciseEditor::ExerciseEditor(QWidget* parent)
    : QPlainTextEdit(parent), m_highlighter(new JavaHighlighter(
                                  WithLineLayout(this), JavaHighlighter::Mode::Editor, palette())),
      m_margin(new Margin(this)) {
    m_recount.setSingleShot(true);
    m_recount.setInterval(0);
    connect(&m_recount, &QTimer::timeout, this, &ExerciseEditor::countFullWidth);
    connect(this, &QPlainTextEdit::blockCountChanged, this,
            [this] { setViewportMargins(marginWidth(), 0, 0, 0); });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy)
            m_margin->scroll(0, dy);
        else
            m_margin->update(0, rect.y(), m_margin->width(), rect.height());
    });
    connect(document(), &QTextDocument::contentsChange, this, &ExerciseEditor::contentsChanged);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &ExerciseEditor::updateMarks);
    setViewportMargins(marginWidth(), 0, 0, 0);
}

QWidget* ExerciseEditor::statementMargin() const {
    return m_margin;
}

int ExerciseEditor::marginWidth() const {
    int digits = 2;
    for (int n = qMax(1, blockCount()); n >= 100; n /= 10)
        ++digits;
    const QFontMetrics fm(font());
    // Room for the error mark, the number and a little air on both sides.
    return fm.height() + digits * fm.horizontalAdvance(QLatin1Char('9')) + 8;
}

void ExerciseEditor::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect r = contentsRect();
    m_margin->setGeometry(QRect(r.left(), r.top(), marginWidth(), r.height()));
}

void ExerciseEditor::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        rehighlight([this] { m_highlighter->setPalette(palette()); });
    } else if (event->type() == QEvent::FontChange) {
        setViewportMargins(marginWidth(), 0, 0, 0);
        const QRect r = contentsRect();
        m_margin->setGeometry(QRect(r.left(), r.top(), marginWidth(), r.height()));
        m_margin->setFont(font());
    }
}

void ExerciseEditor::paintMargin(QPaintEvent* event) {
    QPainter p(m_margin);
    const QPalette& pal = m_margin->palette();
    p.fillRect(event->rect(), pal.color(QPalette::Window));
    p.setFont(font());
    const QFontMetrics fm(font());
    const int markSize = qMax(6, fm.height() - 6);
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    while (block.isValid() && top <= event->rect().bottom()) {
        const int height = qRound(blockBoundingRect(block).height());
        if (block.isVisible() && top + height >= event->rect().top()) {
            if (markOfBlock(block.blockNumber())) {
                p.setRenderHint(QPainter::Antialiasing);
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(200, 0, 0));
                p.drawEllipse(QRect(3, top + (fm.height() - markSize) / 2, markSize, markSize));
            }
            p.setPen(pal.color(QPalette::WindowText));
            p.drawText(QRect(0, top, m_margin->width() - 4, fm.height()),
                       Qt::AlignRight | Qt::AlignVCenter, QString::number(block.blockNumber() + 1));
        }
        top += height;
        block = block.next();
    }
}

// ---- error marks -------------------------------------------------------------------------------

void ExerciseEditor::setErrorMarks(const QList<ErrorMark>& marks) {
    m_marks.clear();
    for (const ErrorMark& m : marks) {
        const QTextBlock block = document()->findBlockByNumber(m.statement);
        if (!block.isValid())
            continue;
        m_marks.push_back({QTextCursor(block), m.column, m.summary});
    }
    m_margin->update();
    updateMarks();
}

QList<ExerciseEditor::ErrorMark> ExerciseEditor::errorMarks() const {
    QList<ErrorMark> out;
    for (const Mark& m : m_marks)
        if (!m.dead)
            out.push_back({m.line.block().blockNumber(), m.column, m.summary});
    return out;
}

const ExerciseEditor::Mark* ExerciseEditor::markOfBlock(int block) const {
    for (const Mark& m : m_marks)
        if (!m.dead && m.line.block().blockNumber() == block)
            return &m;
    return nullptr;
}

void ExerciseEditor::contentsChanged(int from, int /*removed*/, int added) {
    m_recount.start();
    // Colouring the lines again reports them as changed, with their text as it was.
    if (m_ownRehighlight || m_marks.isEmpty())
        return;
    const int first = document()->findBlock(from).blockNumber();
    const QTextBlock lastBlock = document()->findBlock(from + added);
    const int last = lastBlock.isValid() ? lastBlock.blockNumber() : blockCount() - 1;
    bool removed = false;
    for (Mark& m : m_marks) {
        const int b = m.line.block().blockNumber();
        if (!m.dead && b >= first && b <= last)
            m.dead = removed = true;
    }
    if (!removed)
        return;
    // The document may be in the middle of emptying itself, with its list of cursors set
    // aside: a cursor ended now would stay in that list. The marks' cursors end after it.
    QMetaObject::invokeMethod(
        this, [this] { m_marks.removeIf([](const Mark& m) { return m.dead; }); },
        Qt::QueuedConnection);
    m_margin->update();
    updateMarks();
}

void ExerciseEditor::rehighlight(const std::function<void()>& colour) {
    const bool was = m_ownRehighlight;
    m_ownRehighlight = true;
    colour();
    m_ownRehighlight = was;
}

// ---- marks over the text: errors and the bracket at the caret ---------------------------------

void ExerciseEditor::updateMarks() {
    QList<QTextEdit::ExtraSelection> marks;
    // An input method's preedit stands between the characters the marks are laid on and would
    // take them: they wait until it is committed.
    if (!m_preedit) {
        for (const Mark& m : m_marks) {
            if (m.dead)
                continue;
            const QTextBlock block = m.line.block();
            const int length = block.length() - 1;
            QTextEdit::ExtraSelection s;
            s.cursor = QTextCursor(block);
            if (m.column >= 0 && m.column < length) {
                s.cursor.setPosition(block.position() + m.column);
                s.cursor.setPosition(block.position() + m.column + 1, QTextCursor::KeepAnchor);
            } else {
                // No column, or one past the line's end (a missing ";"): the whole line.
                s.cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
                if (length == 0)
                    continue;
            }
            s.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            s.format.setUnderlineColor(QColor(220, 0, 0));
            marks << s;
        }
        const QTextCursor caret = textCursor();
        const QTextBlock block = caret.block();
        const auto* data = JavaHighlighter::dataOf(block);
        if (data && !caret.hasSelection()) {
            const int column = caret.positionInBlock();
            std::optional<std::size_t> index;
            for (const int c : {column, column - 1}) {
                for (std::size_t i = 0; i < data->brackets.size() && !index; ++i)
                    if (int(data->brackets[i].column) == c)
                        index = i;
                if (index)
                    break;
            }
            if (index) {
                const auto bracketsOf = [this](std::size_t line) -> const std::vector<Bracket>& {
                    const auto* d =
                        JavaHighlighter::dataOf(document()->findBlockByNumber(int(line)));
                    return d ? d->brackets : kNoBrackets;
                };
                const auto partner = PartnerBracket({std::size_t(block.blockNumber()), *index},
                                                    std::size_t(blockCount()), bracketsOf);
                const auto markBracket = [&](const QTextBlock& b, std::size_t column,
                                             bool matched) {
                    QTextEdit::ExtraSelection s;
                    s.cursor = QTextCursor(b);
                    s.cursor.setPosition(b.position() + int(column));
                    s.cursor.setPosition(b.position() + int(column) + 1, QTextCursor::KeepAnchor);
                    s.format.setBackground(matched ? QColor(170, 225, 235) : QColor(255, 190, 190));
                    s.format.setFontWeight(QFont::Bold);
                    s.format.setProperty(QTextFormat::UserProperty, matched);
                    marks << s;
                };
                markBracket(block, data->brackets[*index].column, bool(partner));
                if (partner) {
                    const QTextBlock other = document()->findBlockByNumber(int(partner->line));
                    markBracket(other,
                                JavaHighlighter::dataOf(other)->brackets[partner->index].column,
                                true);
                }
            }
        }
    }
    // Most keys and caret moves leave the marks as they were: setting them again would measure
    // and repaint every marked line.
    if (!SameSelections(marks, extraSelections()))
        setExtraSelections(marks);
    updateDescription();
}

void ExerciseEditor::updateDescription() {
    QStringList parts;
    for (const Mark& m : m_marks)
        if (!m.dead)
            parts << FromUtf8("文 ") + QString::number(m.line.block().blockNumber() + 1) +
                         FromUtf8(" にエラー: ") + m.summary;
    if (m_fullWidthCount > 0)
        parts << FromUtf8(FullWidthCountText(std::size_t(m_fullWidthCount)));
    const QString description = parts.join(QLatin1Char('\n'));
    if (description != accessibleDescription())
        setAccessibleDescription(description);
}

// ---- full-width symbols ------------------------------------------------------------------------

void ExerciseEditor::countFullWidth() {
    const int count = m_highlighter->fullWidthTotal();
    if (count == m_fullWidthCount)
        return;
    m_fullWidthCount = count;
    updateDescription();
    emit fullWidthCountChanged(count);
}

int ExerciseEditor::replaceFullWidthSymbols() {
    // Read afresh rather than from the colouring, which may not have reached every line yet.
    int replaced = 0;
    QTextCursor c(document());
    bool open = false;
    LineState state = LineState::Code;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        const QString text = b.text();
        const LineSyntax syntax = ReadJavaLine(View(text), state, false);
        state = syntax.end;
        for (const FullWidthChar& f : syntax.fullWidth) {
            if (!open) {
                c.beginEditBlock();
                open = true;
            }
            c.setPosition(b.position() + int(f.column));
            c.setPosition(b.position() + int(f.column) + 1, QTextCursor::KeepAnchor);
            c.insertText(QString(QChar(f.half)));
            ++replaced;
        }
    }
    if (open)
        c.endEditBlock();
    countFullWidth();
    return replaced;
}

// ---- tooltips ----------------------------------------------------------------------------------

QString ExerciseEditor::toolTipAt(const QPoint& viewportPoint) const {
    QTextBlock block;
    const int column = ColumnUnder(this, viewportPoint, &block);
    if (column < 0)
        return {};
    QStringList tips;
    for (const Mark& m : m_marks)
        if (!m.dead && m.line.block() == block &&
            (m.column == column || m.column < 0 || m.column >= block.length() - 1))
            tips << m.summary;
    if (const auto* data = JavaHighlighter::dataOf(block))
        for (const FullWidthChar& f : data->fullWidth)
            if (int(f.column) == column)
                tips << FromUtf8(FullWidthTip(f.ch));
    return tips.join(QLatin1Char('\n'));
}

QString ExerciseEditor::marginToolTipAt(const QPoint& marginPoint) const {
    const QTextBlock block = cursorForPosition(QPoint(0, marginPoint.y())).block();
    QStringList tips;
    for (const Mark& m : m_marks)
        if (!m.dead && m.line.block() == block)
            tips << m.summary;
    return tips.join(QLatin1Char('\n'));
}

bool ExerciseEditor::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

// ---- keys: indentation -------------------------------------------------------------------------

bool ExerciseEditor::insertBreakWithIndent() {
    QTextCursor c = textCursor();
    QTextCursor start(document());
    start.setPosition(c.selectionStart());
    const QString before = start.block().text().left(start.positionInBlock());
    const std::u16string indent = IndentAfterBreak(View(before), StateBefore(start.block()));
    // The break and its indentation are one step for undo.
    c.beginEditBlock();
    c.insertText(QStringLiteral("\n") + FromU16(indent));
    c.endEditBlock();
    setTextCursor(c);
    ensureCursorVisible();
    return true;
}

bool ExerciseEditor::typeClosingBrace() {
    QTextCursor c = textCursor();
    if (c.hasSelection())
        return false;
    const QString before = c.block().text().left(c.positionInBlock());
    const std::size_t dedent = DedentForClosingBrace(View(before));
    if (dedent == 0)
        return false;
    c.beginEditBlock();
    c.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, int(dedent));
    c.insertText(QStringLiteral("}"));
    c.endEditBlock();
    setTextCursor(c);
    return true;
}

void ExerciseEditor::keyPressEvent(QKeyEvent* event) {
    if (!isReadOnly()) {
        if (IsPlainEnter(event) && insertBreakWithIndent())
            return;
        if (event->text() == QLatin1String("}") && typeClosingBrace())
            return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void ExerciseEditor::inputMethodEvent(QInputMethodEvent* event) {
    QPlainTextEdit::inputMethodEvent(event);
    const bool preedit = !event->preeditString().isEmpty();
    if (preedit)
        rehighlight([this] { m_highlighter->rehighlightBlock(textCursor().block()); });
    if (preedit != m_preedit) {
        m_preedit = preedit;
        updateMarks();
    }
}

QMimeData* ExerciseEditor::createMimeDataFromSelection() const {
    return PlainText(textCursor());
}

// ---- the listing -------------------------------------------------------------------------------

ListingView::ListingView(QWidget* parent)
    : QPlainTextEdit(parent),
      m_highlighter(new JavaHighlighter(document(), JavaHighlighter::Mode::Listing, palette())) {}

void ListingView::setShorthandColumns(std::vector<int> columns) {
    m_highlighter->setShorthandColumns(std::move(columns));
}

void ListingView::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_highlighter->setPalette(palette());
}

QMimeData* ListingView::createMimeDataFromSelection() const {
    return PlainText(textCursor());
}

} // namespace vellaro
