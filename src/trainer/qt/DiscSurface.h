#pragma once
// The paint surface of the visual field exercise (BasImage). Frames are painted into a QImage
// from what the core geometry computed; paintEvent only copies that image.
#include <QImage>
#include <QWidget>

namespace vellaro {

class DiscSurface : public QWidget {
    Q_OBJECT
  public:
    explicit DiscSurface(QWidget* parent = nullptr);
    const QImage& image() const { return m_image; }
    QImage& image() { return m_image; }
    // Fits the image to the widget's size (white).
    void fitToWidget();

  signals:
    void resized();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QImage m_image;
};

} // namespace vellaro
