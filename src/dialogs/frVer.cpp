#include "dialogs/frVer.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>
#include <cmath>

#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtText.h"

const char* const TAboutBox::Title = "バージョン情報";
const char* const TAboutBox::WebPage = "https://vellaro.example.org";

namespace {

// A diamond (a square standing on its corner) around a centre, in picture units.
QPainterPath Diamond(qreal cx, qreal cy, qreal r) {
    QPainterPath path;
    path.moveTo(cx, cy - r);
    path.lineTo(cx + r, cy);
    path.lineTo(cx, cy + r);
    path.lineTo(cx - r, cy);
    path.closeSubpath();
    return path;
}

// Draws the picture into a 64 x 64 unit square; the painter's transform sets the real size.
void PaintProgramIcon(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(QRectF(0, 0, 64, 64), QColor(0xE8, 0xE4, 0xF8)); // pale lavender

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xFF, 0xD4, 0x00)); // yellow, upper left
    painter.drawPath(Diamond(17, 16, 11));
    painter.setBrush(QColor(0x22, 0xC8, 0xE6)); // cyan, below it
    painter.drawPath(Diamond(17, 39, 11));

    QPen outline(QColor(0x80, 0x80, 0x80)); // white with a grey outline, at the right
    // At least one device pixel wide, so that the outline stays visible in a 16-pixel icon.
    const qreal scale = painter.transform().m11();
    outline.setWidthF(scale > 0 ? std::max(1.5, 1.0 / scale) : 1.5);
    outline.setJoinStyle(Qt::MiterJoin);
    painter.setPen(outline);
    painter.setBrush(Qt::white);
    painter.drawPath(Diamond(44, 28, 14));

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xD8, 0x20, 0x20)); // red bar along the bottom
    painter.drawRect(QRectF(4, 55, 56, 6));
}

// Shows the picture stretched to its own size, rendered for the screen's pixel density.
class ProgramIconView : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(rect(), RenderProgramIcon(devicePixelRatioF()));
    }
};

} // namespace

QImage RenderProgramIcon(qreal devicePixelRatio) {
    if (!(devicePixelRatio > 0))
        devicePixelRatio = 1.0;
    const int side = static_cast<int>(std::lround(64 * devicePixelRatio));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.scale(side / 64.0, side / 64.0);
        PaintProgramIcon(painter);
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QString TAboutBox::WebPageText() {
    QString text = vellaro::FromUtf8(WebPage);
    const qsizetype scheme = text.indexOf(QStringLiteral("://"));
    if (scheme >= 0)
        text.remove(0, scheme + 3);
    return text;
}

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(vellaro::FromUtf8(Title));
    setFont(vellaro::PixelFont(vellaro::kPGothicFace, 12));
    setFixedSize(298, 213);

    // The etched frame: a lowered outer and a raised inner bevel.
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Box);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(8, 8, 281, 161);

    ProgramIcon = new ProgramIconView(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 8, 64, 64);

    ProductName = new QLabel(QStringLiteral("Vellaro"), Panel1);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    ProductName->move(103, 16);
    ProductName->adjustSize();

    Version = new QLabel(QStringLiteral("バージョン番号　1.10"), Panel1);
    Version->setObjectName(QStringLiteral("Version"));
    Version->move(103, 40);
    Version->adjustSize();

    Label2 = new QLabel(WebPageText(), Panel1);
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont linkFont = font();
    linkFont.setUnderline(true);
    Label2->setFont(linkFont);
    QPalette linkPalette = Label2->palette();
    linkPalette.setColor(QPalette::WindowText, Qt::blue);
    Label2->setPalette(linkPalette);
    Label2->setCursor(Qt::DragMoveCursor);
    Label2->move(27, 135);
    Label2->adjustSize();
    Label2->installEventFilter(this);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 177, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::Label2Click() {
    vellaro::ShellOpen(WebPage);
}

void TAboutBox::showEvent(QShowEvent* event) {
    // Centred on the screen, whatever window opened it.
    if (!event->spontaneous()) {
        if (QScreen* where = screen()) {
            QRect frame = geometry();
            frame.moveCenter(where->availableGeometry().center());
            move(frame.topLeft());
        }
        OKButton->setFocus();
    }
    QDialog::showEvent(event);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label2 && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            Label2->rect().contains(mouse->position().toPoint())) {
            Label2Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
