#include "trainer/qt/DiscSurface.h"

#include <QPainter>

namespace vellaro {

DiscSurface::DiscSurface(QWidget* parent) : QWidget(parent) {}

void DiscSurface::fitToWidget() {
    if (m_image.size() == size())
        return;
    m_image = QImage(size(), QImage::Format_RGB32);
    m_image.fill(Qt::white);
}

void DiscSurface::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, m_image);
}

void DiscSurface::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized();
}

} // namespace vellaro
