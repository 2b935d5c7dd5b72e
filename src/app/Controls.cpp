#include "app/Controls.h"

#include <QFontMetricsF>

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

#include "common/Cp932.h"

namespace vellaro {

bool IsLearnerInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// ---- PageControl ------------------------------------------------------------------------------

PageControl::PageControl(QWidget* parent) : QTabWidget(parent) {
    connect(this, &QTabWidget::currentChanged, this, &PageControl::onCurrentChanged);
}

PageControl::ProgramChange::ProgramChange(PageControl* pages) : m_pages(pages) {
    ++m_pages->m_programDepth;
}

PageControl::ProgramChange::~ProgramChange() {
    --m_pages->m_programDepth;
}

void PageControl::onCurrentChanged(int index) {
    m_previous = m_current;
    m_current = index;
    if (m_programDepth == 0 && index >= 0)
        emit learnerChanged(index);
}

// ---- ElidedLabel ------------------------------------------------------------------------------

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const {
    return {0, QLabel::sizeHint().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(area, int(alignment()),
                     fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
}

// ---- ClampSpinBox -----------------------------------------------------------------------------

ClampSpinBox::ClampSpinBox(QWidget* parent) : QSpinBox(parent) {
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setKeyboardTracking(false);
}

bool ClampSpinBox::takes(QChar c) const {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
           c == QLatin1Char('+') || c == QLatin1Char('.') || QString(c) == locale().decimalPoint();
}

QValidator::State ClampSpinBox::validate(QString& input, int&) const {
    const QString t = input.trimmed();
    for (const QChar c : t)
        if (!takes(c))
            return QValidator::Invalid;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok);
    if (!ok)
        return QValidator::Intermediate; // not a whole number: read as the minimum on leaving
    return (v >= minimum() && v <= maximum()) ? QValidator::Acceptable : QValidator::Intermediate;
}

void ClampSpinBox::keyPressEvent(QKeyEvent* event) {
    const bool command =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const QString typed = event->text();
    if (!command && std::any_of(typed.begin(), typed.end(),
                                [this](QChar c) { return c.isPrint() && !takes(c); })) {
        event->accept();
        QApplication::beep();
        emit keyRefused();
        return;
    }
    QSpinBox::keyPressEvent(event);
}

int ClampSpinBox::valueFromText(const QString& text) const {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok)
        return minimum();
    return int(std::clamp<qlonglong>(v, minimum(), maximum()));
}

void ClampSpinBox::fixup(QString& input) const {
    input = textFromValue(valueFromText(input));
}

// ---- TypedLimitEdit ---------------------------------------------------------------------------

class TypedLimitEdit::Limiter : public QValidator {
  public:
    explicit Limiter(TypedLimitEdit* edit) : QValidator(edit), m_edit(edit) {}

    State validate(QString& input, int& pos) const override {
        // The program's own texts pass whole.
        if (m_edit->m_programDepth > 0)
            return Acceptable;
        if (m_edit->m_learnerDepth == 0) {
            // From outside, with no caret to tell what was inserted: the end is cut.
            const int allowed = qMax(m_edit->m_limit, m_edit->m_length);
            if (input.size() > allowed) {
                input.truncate(allowed);
                pos = qMin(pos, allowed);
            }
            return Acceptable;
        }
        // What the change kept of the text before it is the learner's to keep, whatever its
        // length (a longer name the program set, shortened or not); the inserted text, which
        // ends at the caret, is cut so that the field holds at most the limit, or no more than
        // was kept when that is more already.
        const int kept = m_edit->m_kept;
        const int inserted = int(input.size()) - kept;
        const int allowed = qMax(m_edit->m_limit, kept);
        const int excess = qMin(int(input.size()) - allowed, inserted);
        if (excess <= 0)
            return Acceptable;
        const int from = qMax(0, pos - excess);
        input.remove(from, pos - from);
        pos = from;
        if (input.size() > allowed)
            input.truncate(allowed);
        return Acceptable;
    }

  private:
    TypedLimitEdit* m_edit;
};

TypedLimitEdit::TypedLimitEdit(int typedLimit, QWidget* parent)
    : QLineEdit(parent), m_limit(typedLimit) {
    setValidator(new Limiter(this));
    connect(this, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_length = int(text.size()); });
}

void TypedLimitEdit::setProgramText(const QString& text) {
    ++m_programDepth;
    setText(text);
    --m_programDepth;
}

bool TypedLimitEdit::event(QEvent* e) {
    if (!IsLearnerInput(e->type()))
        return QLineEdit::event(e);
    // An insertion replaces the selection: the rest of the text is what it keeps.
    if (m_learnerDepth == 0)
        m_kept = int(text().size() - selectedText().size());
    ++m_learnerDepth;
    const bool r = QLineEdit::event(e);
    --m_learnerDepth;
    return r;
}

namespace {

class TabStopKeeper : public QObject {
  public:
    explicit TabStopKeeper(QPlainTextEdit* edit) : QObject(edit), m_edit(edit) { apply(); }
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == m_edit && e->type() == QEvent::FontChange)
            apply();
        return false;
    }

  private:
    void apply() {
        m_edit->setTabStopDistance(8 * QFontMetricsF(m_edit->font()).horizontalAdvance(QChar(' ')));
    }
    QPlainTextEdit* m_edit;
};

// Replaces the wave dash in what was just added. The document allows edits from inside its
// change signal and folds them into the change it reports to the layout.
class WaveDashKeeper : public QObject {
  public:
    explicit WaveDashKeeper(QPlainTextEdit* edit) : QObject(edit), m_edit(edit) {
        connect(edit->document(), &QTextDocument::contentsChange, this, &WaveDashKeeper::changed);
    }

  private:
    void changed(int from, int /*removed*/, int added) {
        if (m_replacing || added <= 0)
            return;
        QTextDocument* document = m_edit->document();
        QTextCursor cursor(document);
        cursor.setPosition(qMin(from + added, document->characterCount() - 1));
        cursor.setPosition(from, QTextCursor::KeepAnchor);
        const QString text = cursor.selectedText();
        const QChar waveDash{static_cast<char16_t>(kWaveDash)};
        qsizetype at = text.indexOf(waveDash);
        if (at < 0)
            return;
        m_replacing = true;
        // One step for undo with the change that brought the wave dash, which undo would
        // otherwise bring back only to have it replaced again.
        cursor.joinPreviousEditBlock();
        const QString tilde{QChar{static_cast<char16_t>(kFullwidthTilde)}};
        for (; at >= 0; at = text.indexOf(waveDash, at + 1)) {
            cursor.setPosition(from + int(at));
            cursor.setPosition(from + int(at) + 1, QTextCursor::KeepAnchor);
            cursor.insertText(tilde);
        }
        cursor.endEditBlock();
        m_replacing = false;
    }

    QPlainTextEdit* m_edit;
    bool m_replacing = false;
};

} // namespace

void KeepTabStopsAtEightBlanks(QPlainTextEdit* edit) {
    edit->installEventFilter(new TabStopKeeper(edit));
}

namespace {

// Space presses a button already; Enter and Return press it too, as they do a push button.
class EnterPresses : public QObject {
  public:
    explicit EnterPresses(QAbstractButton* button) : QObject(button), m_button(button) {}
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched != m_button || e->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(e);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        if (m_button->isEnabled())
            m_button->click();
        return true;
    }

  private:
    QAbstractButton* m_button;
};

} // namespace

void MakeKeyboardToolButton(QAbstractButton* button) {
    button->setFocusPolicy(Qt::TabFocus);
    button->installEventFilter(new EnterPresses(button));
}

void TakeWaveDashAsTilde(QPlainTextEdit* edit) {
    new WaveDashKeeper(edit);
}

// ---- MessagePane -------------------------------------------------------------------------------

namespace {

const QString kCaret = QStringLiteral("^");

} // namespace

MessagePane::MessagePane(QWidget* parent) : QPlainTextEdit(parent) {
    // New text has no markers until it is read; a stale mark would point into other text.
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (!m_marks.isEmpty()) {
            m_marks.clear();
            viewport()->update();
        }
    });
}

void MessagePane::setCaretMarks(const QList<CaretMark>& marks) {
    m_marks = marks;
    viewport()->update();
}

QList<QTextEdit::ExtraSelection> MessagePane::hiddenCarets() const {
    QList<QTextEdit::ExtraSelection> hidden;
    for (const CaretMark& mark : m_marks) {
        const QTextBlock block = document()->findBlockByNumber(mark.line);
        if (!block.isValid() || mark.column >= block.length() - 1)
            continue;
        QTextEdit::ExtraSelection s;
        s.cursor = QTextCursor(block);
        s.cursor.setPosition(block.position() + mark.column);
        s.cursor.setPosition(block.position() + mark.column + 1, QTextCursor::KeepAnchor);
        s.format.setForeground(Qt::transparent);
        hidden << s;
    }
    return hidden;
}

QRectF MessagePane::caretRect(const CaretMark& mark) const {
    const QTextBlock marker = document()->findBlockByNumber(mark.line);
    const QTextBlock source = marker.previous();
    if (!marker.isValid() || !source.isValid() || !marker.layout() ||
        marker.layout()->lineCount() == 0)
        return {};
    const int last = source.length() - 1; // the position after the line's last character
    const int at = qMin(mark.column, last);
    QTextCursor cursor(source);
    cursor.setPosition(source.position() + at);
    const qreal left = cursorRect(cursor).left();
    const qreal caretWidth = QFontMetricsF(font()).horizontalAdvance(kCaret);
    qreal width = caretWidth;
    if (at < last) {
        cursor.setPosition(source.position() + at + 1);
        width = qMax(width, cursorRect(cursor).left() - left);
    }
    const QRectF line = blockBoundingGeometry(marker).translated(contentOffset());
    return {left, line.top(), width, line.height()};
}

void MessagePane::paintEvent(QPaintEvent* event) {
    QPlainTextEdit::paintEvent(event);
    if (m_marks.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::Text));
    const qreal caretWidth = QFontMetricsF(font()).horizontalAdvance(kCaret);
    for (const CaretMark& mark : m_marks) {
        const QRectF r = caretRect(mark);
        if (r.isEmpty() || !r.intersects(event->rect()))
            continue;
        const QTextLine line = document()->findBlockByNumber(mark.line).layout()->lineAt(0);
        painter.drawText(
            QPointF(r.left() + (r.width() - caretWidth) / 2, r.top() + line.y() + line.ascent()),
            kCaret);
    }
}

} // namespace vellaro
