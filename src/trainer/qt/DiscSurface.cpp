#include "trainer/qt/DiscSurface.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>

#include "trainer/DiscGeometry.h"

namespace vellaro {

DiscSurface::DiscSurface(QWidget* parent) : QWidget(parent) {
    // The image covers the whole widget; Qt need not clear it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DiscSurface::fitToWidget() {
    if (m_image.size() == size())
        return;
    m_image = QImage(size(), QImage::Format_RGB32);
    m_image.fill(Qt::white);
    update();
}

void DiscSurface::PaintFrameInto(QImage& image, const DiscFrame& frame) {
    if (image.isNull())
        return; // a surface of no size: nothing to draw on
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(QRect(0, 0, frame.width, frame.height), Qt::white);
    p.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    p.setBrush(QColor(255, 0, 0));
    for (std::size_t i = 0; i < frame.count; ++i) {
        const DiscBox& d = frame.discs[i];
        // A QRect ellipse with a one-pixel pen covers width + 1 pixels: x .. x2 - 1.
        p.drawEllipse(QRect(d.x, d.y, d.x2 - d.x - 1, d.y2 - d.y - 1));
    }
}

void DiscSurface::paintFrame(const DiscFrame& frame) {
    const QSize size(std::max(frame.width, 0), std::max(frame.height, 0));
    if (m_image.size() != size)
        m_image = size.isEmpty() ? QImage() : QImage(size, QImage::Format_RGB32);
    PaintFrameInto(m_image, frame);
    update();
}

void DiscSurface::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect area = event->rect();
    const QRect drawn = area.intersected(m_image.rect());
    if (!drawn.isEmpty())
        p.drawImage(drawn.topLeft(), m_image, drawn);
    // Beyond the image (before the first fit) the area shows its own white.
    for (const QRect& r : QRegion(area).subtracted(drawn))
        p.fillRect(r, Qt::white);
}

void DiscSurface::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized();
}

} // namespace vellaro
