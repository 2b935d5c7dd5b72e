#include "trainer/qt/SpeedTextPanel.h"

#include <QPainter>

namespace vellaro {

SpeedTextPanel::SpeedTextPanel(QWidget* parent) : QFrame(parent) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(236, 233, 216));
    setPalette(pal);
    setFocusPolicy(Qt::StrongFocus);
}

void SpeedTextPanel::setText(const QString& line) {
    m_text = line;
    update();
}

void SpeedTextPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    p.setFont(font());
    p.drawText(contentsRect(), Qt::AlignCenter | Qt::TextExpandTabs, m_text);
}

void SpeedTextPanel::focusOutEvent(QFocusEvent* event) {
    QFrame::focusOutEvent(event);
    emit focusLost();
}

} // namespace vellaro
