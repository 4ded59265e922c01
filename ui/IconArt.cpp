#include "IconArt.h"

#include <QPainter>
#include <QPolygon>

namespace {
// A small plug over a battery, in the 16 basic colours.
struct TShape {
    QRgb Fill;
    QPolygon Outline;
};

const TShape* Shapes(std::size_t& count) {
    static const TShape shapes[] = {
        {qRgb(0, 128, 0), QPolygon({{4, 10}, {26, 10}, {26, 26}, {4, 26}})},
        {qRgb(0, 0, 0), QPolygon({{26, 14}, {29, 14}, {29, 22}, {26, 22}})},
        {qRgb(255, 255, 0), QPolygon({{17, 12}, {10, 19}, {15, 19}, {13, 25}, {20, 17}, {15, 17}})},
    };
    count = std::size(shapes);
    return shapes;
}
} // namespace

void PaintIcon(QPainter& painter, int size) {
    painter.save();
    // The 32-pixel icon stays crisp; other sizes are scaled smoothly.
    painter.setRenderHint(QPainter::Antialiasing, size != 32);
    painter.scale(size / 32.0, size / 32.0);
    painter.setPen(QPen(Qt::black, 0));
    std::size_t count = 0;
    const TShape* shapes = Shapes(count);
    for (std::size_t i = 0; i < count; ++i) {
        painter.setBrush(QColor(shapes[i].Fill));
        painter.drawPolygon(shapes[i].Outline);
    }
    painter.restore();
}

QString IconSvg() {
    // Half-pixel offsets put a one-pixel outline on the same pixels as the painter's.
    QString svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" "
                  "viewBox=\"0 0 32 32\">\n";
    std::size_t count = 0;
    const TShape* shapes = Shapes(count);
    for (std::size_t i = 0; i < count; ++i) {
        QString points;
        for (const QPoint& p : shapes[i].Outline)
            points += QString("%1,%2 ").arg(p.x() + 0.5).arg(p.y() + 0.5);
        svg += QString("  <polygon points=\"%1\" fill=\"%2\" stroke=\"#000000\" "
                       "stroke-width=\"1\"/>\n")
                   .arg(points.trimmed(), QColor(shapes[i].Fill).name());
    }
    return svg + "</svg>\n";
}
