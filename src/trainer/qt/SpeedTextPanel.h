#pragma once
// The one-line text panel of the reading lesson (Sppd_Text): the line is drawn centred in a
// band one text line high, a TAB expanded to the next tab stop, a line wider than the panel cut
// off at both sides, on the background RGB(236, 233, 216). The Tab key reaches it; a click does
// not take the focus, so that only the learner moving the focus on from it counts as leaving it.
#include <QFrame>
#include <QString>

namespace vellaro {

class SpeedTextPanel : public QFrame {
    Q_OBJECT
  public:
    explicit SpeedTextPanel(QWidget* parent = nullptr);
    void setText(const QString& line);
    QString text() const { return m_text; }
    // What a screen reader calls the panel while it is blank; the line shown is its name
    // otherwise, so that the reader hears each line as it comes.
    void setCaption(const QString& caption);

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
    void updateAccessibleName();
    QString m_text;
};

} // namespace vellaro
