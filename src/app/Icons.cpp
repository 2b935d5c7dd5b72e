#include "app/Icons.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <array>

namespace vellaro {

namespace {

// Drawing happens in 16 × 16 grid units. Straight edges are whole grid cells filled as
// rectangles, so at 16, 32 and 48 pixels they fall on whole pixels and stay sharp; only the
// curves (arrow, scissor handles) are antialiased.
class Grid {
  public:
    Grid(QPainter& p, int size) : m_p(p) { m_p.scale(size / 16.0, size / 16.0); }

    void fill(qreal x, qreal y, qreal w, qreal h, const QColor& c) {
        m_p.fillRect(QRectF(x, y, w, h), c);
    }
    // A one-cell outline around the rectangle (outer edges at x, y, x + w, y + h).
    void frame(qreal x, qreal y, qreal w, qreal h, const QColor& c) {
        fill(x, y, w, 1, c);
        fill(x, y + h - 1, w, 1, c);
        fill(x, y, 1, h, c);
        fill(x + w - 1, y, 1, h, c);
    }
    void box(qreal x, qreal y, qreal w, qreal h, const QColor& edge, const QColor& inside) {
        fill(x, y, w, h, inside);
        frame(x, y, w, h, edge);
    }
    QPainter& painter() { return m_p; }

  private:
    QPainter& m_p;
};

const QColor kInk(40, 40, 48);
const QColor kPaper(255, 255, 255);
const QColor kShade(200, 200, 208);
const QColor kTextRow(96, 104, 128);
const QColor kFolderBack(214, 160, 32);
const QColor kFolderFront(252, 214, 84);
const QColor kFolderEdge(140, 96, 16);
const QColor kArrow(32, 132, 48);
const QColor kDisk(36, 64, 148);
const QColor kDiskEdge(16, 28, 80);
const QColor kMetal(196, 200, 210);
const QColor kBlue(24, 84, 208);
const QColor kBoard(168, 112, 56);
const QColor kBoardEdge(104, 64, 24);
const QColor kCyan(0, 200, 224);
const QColor kCase(188, 188, 196);
const QColor kRed(224, 24, 24);

void DrawSheet(Grid& g, qreal x, qreal y, qreal w, qreal h, bool fold) {
    if (!fold) {
        g.box(x, y, w, h, kInk, kPaper);
        return;
    }
    // The top right 4 × 4 cells are turned down: the sheet leaves them out, and a diagonal edge
    // with the folded flap below it takes their place.
    const qreal fx = x + w - 4;
    g.fill(x, y, w - 4, h, kPaper);
    g.fill(fx, y + 4, 4, h - 4, kPaper);
    g.fill(fx, y, 1, 4, kShade);
    g.fill(fx + 1, y + 2, 2, 2, kShade);
    g.fill(x, y, w - 3, 1, kInk);             // top edge up to the fold
    g.fill(x, y, 1, h, kInk);                 // left edge
    g.fill(x, y + h - 1, w, 1, kInk);         // bottom edge
    g.fill(x + w - 1, y + 3, 1, h - 3, kInk); // right edge below the fold
    for (int i = 0; i < 4; ++i)
        g.fill(fx + i, y + i, 1, 1, kInk); // the diagonal
    g.fill(fx, y, 1, 4, kInk);             // the flap's edges
    g.fill(fx, y + 3, 4, 1, kInk);
}

void DrawRows(Grid& g, qreal x, qreal y, qreal w, int rows, qreal step = 2) {
    for (int i = 0; i < rows; ++i) {
        const qreal len = (i % 3 == 2) ? w - 2 : w;
        g.fill(x, y + i * step, len, 1, kTextRow);
    }
}

void DrawNewSheet(Grid& g) {
    DrawSheet(g, 3, 1, 10, 14, true);
}

void DrawTextSheet(Grid& g) {
    DrawSheet(g, 3, 1, 10, 14, true);
    DrawRows(g, 5, 5, 6, 5);
}

void DrawOpenFolder(Grid& g) {
    // Back of the folder with its tab.
    g.box(1, 7, 4, 2, kFolderEdge, kFolderBack);
    g.box(1, 8, 12, 7, kFolderEdge, kFolderBack);
    // The front flap, tilted open: a parallelogram.
    QPainter& p = g.painter();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    QPolygonF flap;
    flap << QPointF(3, 10) << QPointF(15.5, 10) << QPointF(13, 15) << QPointF(1, 15);
    p.setPen(Qt::NoPen);
    p.setBrush(kFolderEdge);
    p.drawPolygon(flap);
    QPolygonF inner;
    inner << QPointF(3.7, 11) << QPointF(14, 11) << QPointF(12.3, 14) << QPointF(2, 14);
    p.setBrush(kFolderFront);
    p.drawPolygon(inner);
    p.restore();
    // A curved arrow above, coming down into the folder.
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(kArrow, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath arc;
    arc.moveTo(6, 6.5);
    arc.cubicTo(6.5, 2.0, 11.5, 1.0, 12.5, 4.8);
    p.drawPath(arc);
    p.setPen(Qt::NoPen);
    p.setBrush(kArrow);
    QPolygonF head;
    head << QPointF(10.2, 4.4) << QPointF(14.8, 4.0) << QPointF(12.6, 7.6);
    p.drawPolygon(head);
    p.restore();
}

void DrawFloppy(Grid& g) {
    g.box(1, 1, 14, 14, kDiskEdge, kDisk);
    g.fill(14, 1, 1, 1, Qt::transparent);
    // Metal shutter with its window.
    g.box(4, 1, 8, 5, kDiskEdge, kMetal);
    g.fill(9, 2, 2, 3, kDisk);
    // White label at the bottom, with two rows.
    g.box(3, 8, 10, 7, kDiskEdge, kPaper);
    g.fill(5, 10, 6, 1, kTextRow);
    g.fill(5, 12, 6, 1, kTextRow);
}

void DrawScissors(Grid& g) {
    QPainter& p = g.painter();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    // Blades: two long narrow shapes crossing at the pivot.
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    QPolygonF left;
    left << QPointF(4.6, 0.8) << QPointF(6.0, 0.8) << QPointF(9.2, 9.4) << QPointF(7.9, 10.2);
    QPolygonF right;
    right << QPointF(10.0, 0.8) << QPointF(11.4, 0.8) << QPointF(8.1, 10.2) << QPointF(6.8, 9.4);
    p.drawPolygon(left);
    p.drawPolygon(right);
    // Handles: two rings.
    QPen ring(kBlue, 1.5);
    p.setPen(ring);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(2.2, 9.6, 4.6, 4.8));
    p.drawEllipse(QRectF(9.2, 9.6, 4.6, 4.8));
    // The pivot.
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(8, 7.2), 0.7, 0.7);
    p.restore();
}

void DrawCopy(Grid& g) {
    DrawSheet(g, 1, 1, 9, 11, false);
    DrawRows(g, 3, 3, 5, 4);
    DrawSheet(g, 6, 5, 9, 11, false);
    DrawRows(g, 8, 7, 5, 4);
}

void DrawPaste(Grid& g) {
    g.box(2, 2, 10, 13, kBoardEdge, kBoard);
    // The clip.
    g.box(4, 1, 6, 3, kInk, kMetal);
    g.fill(6, 0, 2, 1, kInk);
    // A sheet lying on the board.
    DrawSheet(g, 7, 6, 8, 10, false);
    DrawRows(g, 9, 8, 4, 4);
}

void DrawComputer(Grid& g) {
    // Monitor.
    g.box(1, 1, 14, 10, kInk, kCase);
    g.box(3, 3, 10, 6, kInk, kCyan);
    g.fill(4, 4, 3, 1, QColor(200, 248, 255));
    // Stand and base.
    g.fill(6, 11, 4, 2, kInk);
    g.fill(7, 11, 2, 1, kCase);
    g.box(2, 13, 12, 3, kInk, kCase);
    g.fill(10, 14, 2, 1, QColor(48, 200, 64));
}

void DrawScreen(Grid& g, int mode) {
    g.box(0, 1, 16, 14, kInk, kCase);
    g.box(2, 3, 12, 10, kInk, kPaper);
    switch (mode) {
    case 0: // a red cross
        g.fill(7, 4, 2, 8, kRed);
        g.fill(3, 7, 10, 2, kRed);
        break;
    case 1: // two vertical bars
        for (int x : {5, 9})
            g.fill(x, 4, 2, 8, kRed);
        break;
    default: // two horizontal bars
        for (int y : {5, 9})
            g.fill(3, y, 10, 2, kRed);
        break;
    }
}

void DrawStepForward(Grid& g) {
    QPainter& p = g.painter();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kInk, 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(kArrow);
    QPolygonF head;
    head << QPointF(2.5, 2.5) << QPointF(10.5, 8) << QPointF(2.5, 13.5);
    p.drawPolygon(head);
    p.restore();
    g.box(12, 2, 3, 12, kInk, kBlue);
}

} // namespace

QImage IconImage(IconId id, int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    Grid g(p, size);
    switch (id) {
    case IconId::NewSheet:
        DrawNewSheet(g);
        break;
    case IconId::OpenFolder:
        DrawOpenFolder(g);
        break;
    case IconId::Floppy:
        DrawFloppy(g);
        break;
    case IconId::Scissors:
        DrawScissors(g);
        break;
    case IconId::CopySheets:
        DrawCopy(g);
        break;
    case IconId::PasteClipboard:
        DrawPaste(g);
        break;
    case IconId::TextSheet:
        DrawTextSheet(g);
        break;
    case IconId::Computer:
        DrawComputer(g);
        break;
    case IconId::ScreenCross:
        DrawScreen(g, 0);
        break;
    case IconId::ScreenVertical:
        DrawScreen(g, 1);
        break;
    case IconId::ScreenHorizontal:
        DrawScreen(g, 2);
        break;
    case IconId::StepForward:
        DrawStepForward(g);
        break;
    }
    p.end();
    return img;
}

namespace {

// An icon drawn when it is first shown, at the size it is shown: a window with a dozen tool
// buttons need not paint three sizes of each before it can appear. It gives what an icon holding
// the 16, 32 and 48 pixel drawings gives: the smallest drawing not smaller than the size asked
// for (scaled down when the size lies between), never larger than 48, and the style's disabled,
// active and selected looks made from it.
class DrawnIconEngine : public QIconEngine {
  public:
    explicit DrawnIconEngine(IconId id) : m_id(id) {}

    QIconEngine* clone() const override { return new DrawnIconEngine(m_id); }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::clamp(std::min(size.width(), size.height()), 0, kSizes.back());
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (int side : kSizes)
            sizes << QSize(side, side);
        return sizes;
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        const int side = actualSize(size, mode, state).width();
        if (side <= 0)
            return {};
        const int key = side * 4 + static_cast<int>(mode);
        if (const auto it = m_drawn.constFind(key); it != m_drawn.constEnd())
            return *it;
        const int drawn =
            *std::find_if(kSizes.begin(), kSizes.end() - 1, [side](int s) { return s >= side; });
        QImage image = IconImage(m_id, drawn);
        if (drawn != side)
            image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPixmap pm = QPixmap::fromImage(image);
        if (mode != QIcon::Normal) {
            QStyleOption option;
            option.palette = QGuiApplication::palette();
            const QPixmap styled = QApplication::style()->generatedIconPixmap(mode, pm, &option);
            if (!styled.isNull())
                pm = styled;
        }
        m_drawn.insert(key, pm);
        return pm;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap pm = pixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state);
        pm.setDevicePixelRatio(ratio);
        const QSizeF shown = QSizeF(pm.size()) / ratio;
        const QPointF at(rect.x() + (rect.width() - shown.width()) / 2,
                         rect.y() + (rect.height() - shown.height()) / 2);
        painter->drawPixmap(at, pm);
    }

  private:
    static constexpr std::array<int, 3> kSizes{16, 32, 48};
    const IconId m_id;
    QHash<int, QPixmap> m_drawn;
};

} // namespace

QIcon MakeIcon(IconId id) {
    return QIcon(new DrawnIconEngine(id));
}

QIcon EditImage(int index) {
    static const IconId kList[] = {IconId::NewSheet, IconId::OpenFolder, IconId::Floppy,
                                   IconId::Scissors, IconId::CopySheets, IconId::PasteClipboard};
    return (index >= 0 && index < 6) ? MakeIcon(kList[index]) : QIcon();
}

QIcon ImageList(int index) {
    static const IconId kList[] = {IconId::OpenFolder, IconId::Floppy, IconId::TextSheet,
                                   IconId::Computer};
    return (index >= 0 && index < 4) ? MakeIcon(kList[index]) : QIcon();
}

QIcon paintImage(int index) {
    static const IconId kList[] = {IconId::ScreenCross, IconId::ScreenVertical,
                                   IconId::ScreenHorizontal};
    return (index >= 0 && index < 3) ? MakeIcon(kList[index]) : QIcon();
}

QIcon StepImage() {
    return MakeIcon(IconId::StepForward);
}

} // namespace vellaro
