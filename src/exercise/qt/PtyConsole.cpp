#include "exercise/qt/PtyConsole.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <utility>

#include "common/qt/QtText.h"
#include "exercise/Compile.h"
#include "exercise/qt/PtySession.h"

namespace vellaro {

namespace {

// Said first in a console whose command runs without the supervisor.
const char* const kNoSupervisorNotice =
    "（注意）vellaro-supervisor が見つかりません。このコンソールを閉じても、ここで起動した"
    "プログラムが動き続けることがあります。Vellaro をインストールし直して下さい。\n";

// Where an escape sequence being skipped stands.
enum EscapeState {
    kNoEscape = 0,
    kAfterEsc,     // ESC came
    kControl,      // a control sequence: up to its final character
    kOsCommand,    // an operating system command: up to BEL or ESC backslash
    kOsCommandEsc, // ESC within an operating system command
};

EscapeState NextEscapeState(EscapeState state, char16_t c) {
    switch (state) {
    case kAfterEsc:
        return c == u'[' ? kControl : c == u']' ? kOsCommand : kNoEscape;
    case kControl:
        return c >= 0x40 && c <= 0x7e ? kNoEscape : kControl;
    case kOsCommand:
        return c == 0x07 ? kNoEscape : c == 0x1b ? kOsCommandEsc : kOsCommand;
    default:
        return kNoEscape;
    }
}

bool IsPrintable(char16_t c) {
    return c >= 0x20 && c != 0x7f;
}

} // namespace

PtyConsole::PtyConsole(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName("PtyConsole");
    setWindowFlag(Qt::Window);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Typed text (an input method's included) goes to the terminal, not into the document.
    setAttribute(Qt::WA_InputMethodEnabled, true);
    setFocusPolicy(Qt::StrongFocus);
    setUndoRedoEnabled(false);
    setMaximumBlockCount(kMaxLines);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    m_renderTimer = new QTimer(this);
    m_renderTimer->setSingleShot(true);
    m_renderTimer->setInterval(kRenderDelayMs);
    connect(m_renderTimer, &QTimer::timeout, this, &PtyConsole::render);
    m_session = new PtySession(this);
    connect(m_session, &PtySession::output, this, &PtyConsole::feed);
    connect(m_session, &PtySession::finished, this, &PtyConsole::end);
}

PtyConsole::~PtyConsole() {
    m_ended = true;   // no signal from a console being destroyed
    delete m_session; // hangs up a command that still runs
}

bool PtyConsole::start(const std::vector<std::string>& argv) {
    if (m_ended || !m_session->start(argv, kColumns, kRows)) {
        return false;
    }
    if (!m_session->supervised()) {
        feedText(QString::fromUtf8(kNoSupervisorNotice));
    }
    return true;
}

bool PtyConsole::isRunning() const {
    return m_session->isRunning();
}

int PtyConsole::exitStatus() const {
    return m_session->exitStatus();
}

pid_t PtyConsole::pid() const {
    return m_session->pid();
}

void PtyConsole::showConsole() {
    const QFontMetrics fm(font());
    const int margins = 2 * (frameWidth() + static_cast<int>(document()->documentMargin()) + 2);
    resize(fm.horizontalAdvance(QLatin1Char('0')) * kColumns + margins +
               verticalScrollBar()->sizeHint().width(),
           fm.lineSpacing() * kRows + margins);
    // Centred on the program's biggest window on the desktop (the main window: the run window
    // that is active now sits off every screen), and kept on that screen.
    QScreen* screen = QGuiApplication::primaryScreen();
    QRect area = screen ? screen->availableGeometry() : QRect();
    QRect best;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == this || !w->isVisible()) {
            continue;
        }
        const QRect frame = w->frameGeometry();
        QScreen* on = QGuiApplication::screenAt(frame.center());
        if (on && frame.width() * frame.height() > best.width() * best.height()) {
            best = frame;
            area = on->availableGeometry();
        }
    }
    if (area.isValid()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(best.isValid() ? best.center() : area.center());
        frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() - width())));
        frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() - height())));
        move(frame.topLeft());
    }
    // Modal to the application: the main window (and the invisible run window) take no input,
    // while the console, the newest modal window, does.
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
}

QString PtyConsole::screenText() const {
    return document()->toPlainText();
}

void PtyConsole::notice(const QString& line) {
    feedText(line + QLatin1Char('\n'));
}

QMenu* PtyConsole::createConsoleMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName("ConsoleMenu");
    // The keys are written out: Ctrl+C interrupts the program here, as in every terminal.
    QAction* copyAction =
        menu->addAction(QStringLiteral("コピー(&C)\tCtrl+Shift+C"), this, &QPlainTextEdit::copy);
    copyAction->setEnabled(textCursor().hasSelection());
    QAction* pasteAction = menu->addAction(QStringLiteral("貼り付け(&P)\tCtrl+Shift+V"), this,
                                           &PtyConsole::pasteClipboard);
    pasteAction->setEnabled(isRunning() && !QGuiApplication::clipboard()->text().isEmpty());
    return menu;
}

void PtyConsole::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createConsoleMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void PtyConsole::pasteClipboard() {
    QString text = WithFullwidthTilde(QGuiApplication::clipboard()->text());
    text.replace(QLatin1String("\r\n"), QLatin1String("\r"));
    text.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    sendInput(text.toUtf8());
}

void PtyConsole::sendInput(const QByteArray& bytes) {
    m_session->sendInput(bytes);
}

void PtyConsole::interrupt() {
    if (m_session->interrupt()) {
        feedText(QStringLiteral("^C\n")); // the terminal did not see it, so it echoes nothing
    }
}

void PtyConsole::hangUp() {
    m_session->hangUp();
    end();
}

void PtyConsole::end() {
    if (m_ended) {
        return;
    }
    render();
    m_ended = true;
    emit finished();
}

void PtyConsole::feed(const QByteArray& bytes) {
    if (!bytes.isEmpty()) {
        feedText(m_decoder.decode(bytes));
    }
}

void PtyConsole::commitLine() {
    m_pending << m_line;
    m_line.clear();
    m_column = 0;
    if (m_pending.size() > kMaxLines) {
        // More lines came than the console keeps: what is shown now goes as a whole.
        m_pending.removeFirst();
        m_pendingReplacesAll = true;
    }
}

void PtyConsole::put(const QChar* run, qsizetype length) {
    // Written over what the line holds (after a carriage return or a backspace), the rest added.
    const qsizetype over = std::min(length, m_line.size() - m_column);
    if (over > 0) {
        m_line.replace(m_column, over, run, over);
        m_column += over;
        run += over;
        length -= over;
    }
    if (length > 0) {
        m_line.append(run, length);
        m_column += length;
    }
    if (m_line.size() > kMaxLineLength) {
        // The start of an endless line scrolls away; the line is never broken.
        qsizetype drop = m_line.size() - kMaxLineLength;
        if (m_line.at(drop).isLowSurrogate()) {
            ++drop;
        }
        m_line.remove(0, drop);
        m_column = std::max<qsizetype>(0, m_column - drop);
    }
}

void PtyConsole::feedText(const QString& text) {
    const QChar* data = text.constData();
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        const char16_t c = data[i].unicode();
        if (m_escape != kNoEscape) {
            const int before = m_escape;
            m_escape = NextEscapeState(static_cast<EscapeState>(m_escape), c);
            // The text of an operating system command is kept (a short one: the run's end).
            if (before == kAfterEsc)
                m_osCommand.clear();
            else if (before == kOsCommand && m_escape == kOsCommand && m_osCommand.size() < 64)
                m_osCommand += QChar(c);
            else if (before == kOsCommand && m_escape == kNoEscape)
                osCommand(std::exchange(m_osCommand, QString()));
            ++i;
        } else if (IsPrintable(c)) {
            // A run of ordinary characters goes in at once.
            qsizetype end = i + 1;
            while (end < size && IsPrintable(data[end].unicode())) {
                ++end;
            }
            put(data + i, end - i);
            i = end;
        } else {
            control(c);
            ++i;
        }
    }
    // Output is shown a moment later in one piece: a program that pours out lines costs one
    // update of the window per moment, not one per read.
    if (!m_renderTimer->isActive()) {
        m_renderTimer->start();
    }
}

void PtyConsole::osCommand(const QString& text) {
    if (!m_runEndHook || !RunEndStatus(text.toStdString()))
        return;
    const RunEndHook hook = std::exchange(m_runEndHook, nullptr); // once per console
    render();
    const QStringList lines = hook(*RunEndStatus(text.toStdString()), screenText());
    if (lines.isEmpty())
        return; // the prompt follows the output as it always did
    if (!m_line.isEmpty())
        commitLine();
    render();
    showRunEnd(lines);
}

void PtyConsole::showRunEnd(const QStringList& lines) {
    // The document's last block is the (empty) current line: the block goes there, and a fresh
    // current line in the ordinary format follows it.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat head;
    head.setForeground(QColor(0xa0, 0x10, 0x10));
    head.setBackground(QColor(0xff, 0xf0, 0xe8));
    QTextCharFormat body = head;
    head.setFontWeight(QFont::Bold);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            cursor.insertBlock(QTextBlockFormat(), body);
        cursor.insertText(lines[i], i == 0 ? head : body);
    }
    cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    if (!textCursor().hasSelection())
        moveCursor(QTextCursor::End);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void PtyConsole::control(char16_t c) {
    switch (c) {
    case 0x1b:
        m_escape = kAfterEsc;
        break;
    case u'\n':
        commitLine();
        break;
    case u'\r':
        m_column = 0;
        break;
    case u'\b':
        if (m_column > 0) {
            --m_column;
        }
        break;
    case u'\t': {
        static const QString spaces(8, QLatin1Char(' '));
        put(spaces.constData(), 8 - m_column % 8);
        break;
    }
    default:
        break; // other control characters (the bell among them) show nothing
    }
}

void PtyConsole::render() {
    m_renderTimer->stop();
    QScrollBar* bar = verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum();
    // The document's last block is the terminal's current line: it is replaced by the lines
    // completed since, followed by the new current line.
    QString text;
    for (const QString& line : std::as_const(m_pending)) {
        text += line;
        text += QLatin1Char('\n');
    }
    text += m_line;
    placePreedit(false);
    if (m_pendingReplacesAll) {
        setPlainText(text);
    } else {
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(text);
    }
    m_pending.clear();
    m_pendingReplacesAll = false;
    placePreedit(true);
    if (!textCursor().hasSelection()) {
        moveCursor(QTextCursor::End);
    }
    if (atBottom) {
        bar->setValue(bar->maximum());
    }
}

void PtyConsole::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers();
    const int key = event->key();
    const bool ctrl = mods.testFlag(Qt::ControlModifier) && !mods.testFlag(Qt::AltModifier);
    if (ctrl && mods.testFlag(Qt::ShiftModifier)) {
        if (key == Qt::Key_C) {
            copy();
        } else if (key == Qt::Key_V) {
            pasteClipboard();
        }
        return;
    }
    if (ctrl) {
        if (key == Qt::Key_C) {
            interrupt();
        } else if (key >= Qt::Key_A && key <= Qt::Key_Z) {
            sendInput(QByteArray(1, static_cast<char>(key - Qt::Key_A + 1)));
        }
        return;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        sendInput("\r");
        return;
    case Qt::Key_Backspace:
        sendInput("\x7f");
        return;
    case Qt::Key_Tab:
        sendInput("\t");
        return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        QPlainTextEdit::keyPressEvent(event); // scrolling back through the output
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.front() >= QLatin1Char(' ') && text.front() != QChar(0x7f)) {
        sendInput(WithFullwidthTilde(text).toUtf8());
    }
}

void PtyConsole::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty()) {
        // The wave dash an input method types for "から" is the full-width tilde here, as it is in
        // the editor, so that what the learner types matches the program's own text.
        sendInput(WithFullwidthTilde(event->commitString()).toUtf8());
    }
    // The text being composed, with the input method's own formats (its underline, the segment
    // being converted) and caret, as the editor shows it.
    m_preedit = event->preeditString();
    m_preeditFormats.clear();
    m_preeditCaret = static_cast<int>(m_preedit.size());
    m_preeditCaretShown = true;
    for (const QInputMethodEvent::Attribute& a : event->attributes()) {
        if (a.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format = qvariant_cast<QTextFormat>(a.value).toCharFormat();
            if (format.isValid()) {
                m_preeditFormats.append({a.start, a.length, format});
            }
        } else if (a.type == QInputMethodEvent::Cursor) {
            m_preeditCaret = std::clamp(a.start, 0, static_cast<int>(m_preedit.size()));
            m_preeditCaretShown = a.length != 0;
        }
    }
    // The ordinary caret stands aside while text is being composed; the composing one is drawn.
    if (!m_preedit.isEmpty() && cursorWidth() > 0) {
        m_caretWidth = cursorWidth();
        setCursorWidth(0);
    } else if (m_preedit.isEmpty() && cursorWidth() == 0) {
        setCursorWidth(m_caretWidth);
    }
    render();
    viewport()->update();
    updateMicroFocus();
    event->accept();
}

void PtyConsole::placePreedit(bool shown) {
    const QTextBlock block = document()->lastBlock();
    QTextLayout* layout = block.layout();
    if (!layout) {
        return;
    }
    if (shown && !m_preedit.isEmpty()) {
        // At the terminal's write position, where the echo of the committed text will come.
        const int at = static_cast<int>(std::min<qsizetype>(m_column, block.length() - 1));
        layout->setPreeditArea(at, m_preedit);
        QList<QTextLayout::FormatRange> formats = m_preeditFormats;
        for (QTextLayout::FormatRange& range : formats) {
            range.start += at;
        }
        layout->setFormats(formats);
    } else if (!layout->preeditAreaText().isEmpty() || !layout->formats().isEmpty()) {
        layout->setPreeditArea(-1, QString());
        layout->clearFormats();
    } else {
        return;
    }
    document()->markContentsDirty(block.position(), block.length());
}

QRectF PtyConsole::preeditCaret() const {
    if (m_preedit.isEmpty()) {
        return {};
    }
    const QTextBlock block = document()->lastBlock();
    const QTextLayout* layout = block.layout();
    if (!layout || layout->preeditAreaText().isEmpty()) {
        return {};
    }
    const int position = layout->preeditAreaPosition() + m_preeditCaret;
    const QTextLine line = layout->lineForTextPosition(position);
    if (!line.isValid()) {
        return {};
    }
    const QPointF origin = blockBoundingGeometry(block).translated(contentOffset()).topLeft();
    return QRectF(origin.x() + line.cursorToX(position), origin.y() + line.y(),
                  std::max(1, m_caretWidth), line.height());
}

void PtyConsole::paintEvent(QPaintEvent* event) {
    QPlainTextEdit::paintEvent(event);
    const QRectF caret = preeditCaret();
    if (m_preeditCaretShown && caret.isValid() && hasFocus()) {
        QPainter painter(viewport());
        painter.fillRect(caret, palette().text());
    }
}

QVariant PtyConsole::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints:
        return static_cast<int>(Qt::ImhNoPredictiveText);
    case Qt::ImCursorRectangle: {
        // The candidate window follows the composing caret: the ordinary answer, moved from the
        // text cursor to it.
        const QVariant rect = QPlainTextEdit::inputMethodQuery(query);
        const QRectF caret = preeditCaret();
        if (!caret.isValid()) {
            return rect;
        }
        QRectF moved = rect.toRectF().translated(caret.topLeft() - QRectF(cursorRect()).topLeft());
        moved.setHeight(caret.height());
        return moved.toRect();
    }
    default:
        return QPlainTextEdit::inputMethodQuery(query);
    }
}

void PtyConsole::closeEvent(QCloseEvent* event) {
    hangUp();
    event->accept();
}

void PtyConsole::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    updateWindowSize();
}

void PtyConsole::updateWindowSize() {
    const QFontMetrics fm(font());
    const int cellWidth = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
    const int cellHeight = std::max(1, fm.lineSpacing());
    m_session->setWindowSize(std::max(20, viewport()->width() / cellWidth),
                             std::max(5, viewport()->height() / cellHeight));
}

} // namespace vellaro
