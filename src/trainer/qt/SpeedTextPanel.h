#pragma once
// The one-line text panel of the reading lesson (Sppd_Text): the line is drawn centred in a
// band one text line high, a TAB expanded to the next tab stop, a line wider than the panel cut
// off at both sides, on the background RGB(236, 233, 216).
#include <QFrame>
#include <QString>

namespace vellaro {

class SpeedTextPanel : public QFrame {
    Q_OBJECT
  public:
    explicit SpeedTextPanel(QWidget* parent = nullptr);
    void setText(const QString& line);
    QString text() const { return m_text; }

    // Where the line is drawn: one text line high, centred vertically in the contents.
    QRect textBand() const;
    // Tab stops every eight average character widths of the panel's font.
    qreal tabStopDistance() const;

  signals:
    void focusLost();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    QString m_text;
};

} // namespace vellaro
