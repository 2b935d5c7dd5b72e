#include "trainer/qt/SpeedTextPanel.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>
#include <cmath>

namespace vellaro {

SpeedTextPanel::SpeedTextPanel(QWidget* parent) : QFrame(parent) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(236, 233, 216));
    setPalette(pal);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setFocusPolicy(Qt::TabFocus);
}

void SpeedTextPanel::setText(const QString& line) {
    if (line == m_text)
        return;
    m_text = line;
    updateAccessibleName();
    update();
}

void SpeedTextPanel::setCaption(const QString& caption) {
    setAccessibleDescription(caption);
    updateAccessibleName();
}

void SpeedTextPanel::updateAccessibleName() {
    setAccessibleName(m_text.isEmpty() ? accessibleDescription() : m_text);
}

QRect SpeedTextPanel::textBand() const {
    const QRect inner = contentsRect();
    const int h = QFontMetrics(font()).height();
    return QRect(inner.left(), inner.top() + (inner.height() - h) / 2, inner.width(), h);
}

qreal SpeedTextPanel::tabStopDistance() const {
    return 8 * QFontMetricsF(font()).averageCharWidth();
}

void SpeedTextPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (m_text.isEmpty())
        return;
    // Qt expands tabs only in left-aligned text (centred text gets blanks instead), so the line
    // is laid out from its own start with real tab stops and then placed centred by hand.
    QTextLayout layout(m_text, font());
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(tabStopDistance());
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
        layout.endLayout();
        return;
    }
    line.setLineWidth(1e6);
    line.setPosition(QPointF(0, 0));
    layout.endLayout();

    const QRect band = textBand();
    const qreal width = line.naturalTextWidth();
    // Wider than the panel: still centred, so both ends are cut off alike.
    const QPointF origin(std::round(band.left() + (band.width() - width) / 2), band.top());
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.setClipRect(contentsRect().intersected(band));
    layout.draw(&p, origin);
}

void SpeedTextPanel::focusOutEvent(QFocusEvent* event) {
    QFrame::focusOutEvent(event);
    // Only focus that the learner moves to another control of the window counts: the window
    // itself losing activation (another program in front), a menu opening, or the panel going
    // out of view with its sub-page leaves the lesson running.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || !isVisible())
        return;
    emit focusLost();
}

} // namespace vellaro
