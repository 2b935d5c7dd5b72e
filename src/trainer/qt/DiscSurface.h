#pragma once
// The paint surface of the visual field exercise (BasImage). Frames are painted into a QImage
// from what the core geometry computed; paintEvent only copies that image, so a test can read the
// drawn pixels.
#include <QImage>
#include <QWidget>

namespace vellaro {

struct DiscFrame;

class DiscSurface : public QWidget {
    Q_OBJECT
  public:
    explicit DiscSurface(QWidget* parent = nullptr);
    const QImage& image() const { return m_image; }
    QImage& image() { return m_image; }
    // Fits the image to the widget's size, plain white.
    void fitToWidget();
    // One frame: the image takes the frame's size, is filled white, and each disc is drawn as a
    // red ellipse with a one-pixel black outline inscribed in its box (right and bottom edges
    // exclusive). Then the widget is scheduled for repainting.
    void paintFrame(const DiscFrame& frame);

    // The drawing itself, on any image of the frame's size.
    static void PaintFrameInto(QImage& image, const DiscFrame& frame);

  signals:
    void resized();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QImage m_image;
};

} // namespace vellaro
