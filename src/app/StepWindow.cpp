#include "app/StepWindow.h"

#include "app/Controls.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTextBlock>

#include "common/qt/Dialogs.h"
#include "common/qt/QtText.h"
#include "exercise/qt/PtyConsole.h"
#include "exercise/qt/StepSession.h"

using vellaro::FromUtf8;
using vellaro::StepEvent;
using vellaro::StepEventKind;

namespace {

const QColor kCurrent(255, 240, 150);
const QColor kException(255, 200, 200);
const QColor kChanged(255, 225, 120);
const QColor kMark(200, 30, 30);

class Margin : public QWidget {
  public:
    explicit Margin(StepStatements* owner) : QWidget(owner), m_owner(owner) {
        setObjectName(QStringLiteral("StepMargin"));
        setCursor(Qt::PointingHandCursor);
    }
    QSize sizeHint() const override { return {m_owner->marginWidth(), 0}; }

  protected:
    void paintEvent(QPaintEvent* event) override { m_owner->paintMargin(event); }
    void mousePressEvent(QMouseEvent* event) override {
        m_owner->toggleMarkAt(event->position().toPoint().y());
    }

  private:
    StepStatements* m_owner;
};

} // namespace

StepStatements::StepStatements(QWidget* parent)
    : QPlainTextEdit(parent), m_margin(new Margin(this)) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy)
            m_margin->scroll(0, dy);
        else
            m_margin->update(0, rect.y(), m_margin->width(), rect.height());
    });
    connect(this, &QPlainTextEdit::blockCountChanged, this,
            [this] { setViewportMargins(marginWidth(), 0, 0, 0); });
    setViewportMargins(marginWidth(), 0, 0, 0);
}

int StepStatements::marginWidth() const {
    const int digits = QString::number(std::max(1, blockCount())).size();
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * (digits + 2);
}

void StepStatements::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const QRect r = contentsRect();
    m_margin->setGeometry(r.left(), r.top(), marginWidth(), r.height());
}

void StepStatements::paintMargin(QPaintEvent* event) {
    QPainter p(m_margin);
    p.fillRect(event->rect(), palette().window());
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    const int h = fontMetrics().height();
    while (block.isValid() && top <= event->rect().bottom()) {
        const int n = block.blockNumber() + 1;
        if (m_marks.count(n)) {
            p.setBrush(kMark);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QRect(3, top + h / 4, h / 2, h / 2));
        }
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRect(0, top, m_margin->width() - 4, h), Qt::AlignRight, QString::number(n));
        top += qRound(blockBoundingRect(block).height());
        block = block.next();
    }
}

void StepStatements::toggleMarkAt(int y) {
    QTextCursor c = cursorForPosition(QPoint(0, y));
    toggleMark(c.blockNumber() + 1);
}

void StepStatements::toggleMark(int statement) {
    if (statement < 1 || statement > blockCount())
        return;
    if (!m_marks.erase(statement))
        m_marks.insert(statement);
    m_margin->update();
}

void StepStatements::highlight(int statement, bool exception) {
    QList<QTextEdit::ExtraSelection> selections;
    if (statement > 0 && statement <= blockCount()) {
        QTextEdit::ExtraSelection s;
        s.format.setBackground(exception ? kException : kCurrent);
        s.format.setProperty(QTextFormat::FullWidthSelection, true);
        s.cursor = QTextCursor(document()->findBlockByNumber(statement - 1));
        selections << s;
        setTextCursor(s.cursor);
        ensureCursorVisible();
    }
    setExtraSelections(selections);
}

StepWindow::StepWindow(const QString& className, const QStringList& statements, const QFont& font,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), m_className(className),
      m_statementCount(static_cast<std::size_t>(statements.size())) {
    for (const QString& line : statements)
        m_statementLines.push_back(vellaro::ToUtf8(line));
    setObjectName(QStringLiteral("StepWindow"));
    setWindowTitle(FromUtf8(vellaro::kStepWindowTitle));
    setWindowModality(Qt::ApplicationModal);

    m_statements = new StepStatements(this);
    m_statements->setObjectName(QStringLiteral("StepStatements"));
    m_statements->setAccessibleName(QStringLiteral("文"));
    m_statements->setFont(font);
    // Tabs as wide as in the editor, so that the learner's indentation looks the same.
    vellaro::KeepTabStopsAtEightBlanks(m_statements);
    m_statements->setPlainText(statements.join(QLatin1Char('\n')));

    m_variables = new QTableWidget(0, 3, this);
    m_variables->setObjectName(QStringLiteral("StepVariables"));
    m_variables->setAccessibleName(QStringLiteral("変数"));
    m_variables->setHorizontalHeaderLabels(
        {QStringLiteral("名前"), QStringLiteral("型"), QStringLiteral("値")});
    m_variables->horizontalHeader()->setStretchLastSection(true);
    m_variables->verticalHeader()->hide();
    m_variables->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_variables->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_variables->setWordWrap(false);

    m_console = new vellaro::PtyConsole(this);
    m_console->setObjectName(QStringLiteral("StepConsole"));
    m_console->setAccessibleName(QStringLiteral("コンソール"));
    m_console->setFont(font);
    m_session = new vellaro::StepSession(m_console, this);
    connect(m_session, &vellaro::StepSession::event, this, &StepWindow::onEvent);
    connect(m_session, &vellaro::StepSession::finished, this, [this] {
        m_ended = true;
        updateButtons();
    });

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StepStatus"));
    m_status->setWordWrap(true);
    m_status->setTextFormat(Qt::PlainText);

    auto button = [this](const char* name, const char* text, QKeySequence key) {
        auto* b = new QPushButton(QString::fromUtf8(text), this);
        b->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty()) {
            b->setShortcut(key);
            b->setToolTip(QString::fromUtf8(text) + QStringLiteral(" (") +
                          key.toString(QKeySequence::NativeText) + QLatin1Char(')'));
        }
        return b;
    };
    m_next = button("StepNext", "次の文へ", QKeySequence(Qt::Key_F8));
    m_run = button("StepRun", "最後まで実行", QKeySequence(Qt::Key_F5));
    m_stop = button("StepStop", "中止", {});
    m_previous = button("StepPrevious", "前へ", {});
    m_later = button("StepLater", "後へ", {});
    connect(m_next, &QPushButton::clicked, this, &StepWindow::nextStatement);
    connect(m_run, &QPushButton::clicked, this, &StepWindow::runToMark);
    connect(m_stop, &QPushButton::clicked, this, &StepWindow::stopProgram);
    connect(m_previous, &QPushButton::clicked, this, &StepWindow::previousStop);
    connect(m_later, &QPushButton::clicked, this, &StepWindow::laterStop);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_next, m_run, m_stop})
        buttons->addWidget(b);
    buttons->addSpacing(24);
    buttons->addWidget(m_previous);
    buttons->addWidget(m_later);
    buttons->addStretch();

    auto* top = new QSplitter(Qt::Horizontal, this);
    top->addWidget(m_statements);
    top->addWidget(m_variables);
    auto* all = new QSplitter(Qt::Vertical, this);
    all->addWidget(top);
    all->addWidget(m_console);
    auto* box = new QVBoxLayout(this);
    box->addLayout(buttons);
    box->addWidget(m_status);
    box->addWidget(all, 1);
    resize(900, 640);
    updateButtons();
}

StepWindow::~StepWindow() {
    m_session->stop();
}

bool StepWindow::start() {
    std::string failure;
    if (!m_session->start(vellaro::ToUtf8(m_className), m_statementCount, &failure)) {
        vellaro::Dialogs().message(parentWidget(), vellaro::MsgKind::Warning, FromUtf8(failure),
                                   vellaro::MbOk);
        return false;
    }
    m_status->setText(FromUtf8(vellaro::kStepRunningText));
    updateButtons();
    m_next->setFocus();
    return true;
}

void StepWindow::onEvent(const StepEvent& event) {
    switch (event.kind) {
    case StepEventKind::Stop:
    case StepEventKind::Exception:
        m_stops.push_back(event);
        showStop(static_cast<int>(m_stops.size()) - 1);
        break;
    case StepEventKind::End:
        m_ended = true;
        m_statements->highlight(0, false);
        m_status->setText(FromUtf8(vellaro::kStepEndedText).arg(event.status));
        break;
    case StepEventKind::NoDebugger:
        // Nothing else changes: the window goes, the main window is as it was.
        m_session->stop();
        vellaro::Dialogs().message(parentWidget(), vellaro::MsgKind::Warning,
                                   FromUtf8(vellaro::kNoDebuggerText), vellaro::MbOk);
        close();
        return;
    case StepEventKind::Error:
        m_status->setText(FromUtf8(std::string(vellaro::kStepErrorText) + event.text));
        break;
    }
    updateButtons();
}

void StepWindow::showStop(int index) {
    if (index < 0 || index >= static_cast<int>(m_stops.size()))
        return;
    m_shown = index;
    const StepEvent& e = m_stops[static_cast<std::size_t>(index)];
    const bool exception = e.kind == StepEventKind::Exception;
    m_statements->highlight(e.statement, exception);
    static const std::vector<vellaro::StepVariable> none;
    const auto changed = vellaro::ChangedVariables(
        index > 0 ? m_stops[static_cast<std::size_t>(index - 1)].variables : none, e.variables);
    m_variables->setRowCount(static_cast<int>(e.variables.size()));
    for (std::size_t r = 0; r < e.variables.size(); ++r) {
        const auto& v = e.variables[r];
        const QString texts[] = {FromUtf8(v.name), FromUtf8(v.type), FromUtf8(v.value)};
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            if (c == 2 && changed[r] && index > 0) {
                item->setBackground(kChanged);
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
                item->setToolTip(QStringLiteral("この文の前の一歩で変わりました"));
            }
            m_variables->setItem(static_cast<int>(r), c, item);
        }
    }
    QString status;
    if (exception)
        status = FromUtf8(vellaro::ExplainStepException(e.exceptionClass, e.exceptionMessage,
                                                        e.statement, vellaro::ToUtf8(m_className),
                                                        m_statementLines));
    else
        status = QStringLiteral("%1 番目の文の前で止まっています").arg(e.statement);
    if (index + 1 < static_cast<int>(m_stops.size()))
        status += QStringLiteral("（記録 %1 / %2 を表示中）").arg(index + 1).arg(m_stops.size());
    m_status->setText(status);
    updateButtons();
}

void StepWindow::updateButtons() {
    // 次の文へ and 最後まで実行 stay enabled while the program runs between two stops (they wait
    // for the stop), so that the focus never moves off them and a held F8 goes on at each stop.
    m_next->setEnabled(!m_ended);
    m_run->setEnabled(!m_ended);
    m_stop->setEnabled(!m_ended);
    m_previous->setEnabled(m_shown > 0);
    m_later->setEnabled(m_shown >= 0 && m_shown + 1 < static_cast<int>(m_stops.size()));
}

void StepWindow::nextStatement() {
    if (m_ended || !m_session->atStop())
        return;
    m_session->next();
    m_status->setText(FromUtf8(vellaro::kStepRunningText));
    updateButtons();
}

void StepWindow::runToMark() {
    if (m_ended || !m_session->atStop())
        return;
    m_session->runTo(std::vector<int>(m_statements->marks().begin(), m_statements->marks().end()));
    m_status->setText(FromUtf8(vellaro::kStepRunningText));
    m_console->setFocus();
    updateButtons();
}

void StepWindow::stopProgram() {
    if (m_ended)
        return;
    m_session->stop();
    m_ended = true;
    m_status->setText(FromUtf8(vellaro::kStepStoppedText));
    updateButtons();
}

void StepWindow::previousStop() {
    showStop(m_shown - 1);
}

void StepWindow::laterStop() {
    showStop(m_shown + 1);
}

void StepWindow::closeEvent(QCloseEvent* event) {
    m_session->stop();
    event->accept();
}
