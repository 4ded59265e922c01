#include "IconArt.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <array>

namespace {
// A small plug over a battery, in the 16 basic colours.
struct TShape {
    QRgb Fill;
    QPolygon Outline;
};

const std::array<TShape, 3>& Shapes() {
    static const std::array<TShape, 3> shapes = {{
        {qRgb(0, 128, 0), QPolygon({{4, 10}, {26, 10}, {26, 26}, {4, 26}})},
        {qRgb(0, 0, 0), QPolygon({{26, 14}, {29, 14}, {29, 22}, {26, 22}})},
        {qRgb(255, 255, 0), QPolygon({{17, 12}, {10, 19}, {15, 19}, {13, 25}, {20, 17}, {15, 17}})},
    }};
    return shapes;
}
} // namespace

namespace {
// The 16-pixel icon, drawn for that size: a scaled-down 32 loses the bolt in
// the battery. k black, g green, y yellow, . transparent.
const char* const Small[16] = {
    "................", //
    "................", //
    "................", //
    "kkkkkkkkkkkkk...", //
    "kgggggggyyggk...", //
    "kggggggyyyggk...", //
    "kgggggyyygggkkk.", //
    "kggggyyyyyygkkk.", //
    "kggggggyyyygkkk.", //
    "kggggggyyyggkkk.", //
    "kgggggyyygggkkk.", //
    "kggggyygggggk...", //
    "kgggygggggggk...", //
    "kkkkkkkkkkkkk...", //
    "................", //
    "................", //
};

void PaintSmall(QPainter& painter) {
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            QRgb colour;
            switch (Small[y][x]) {
            case 'k':
                colour = qRgb(0, 0, 0);
                break;
            case 'g':
                colour = qRgb(0, 128, 0);
                break;
            case 'y':
                colour = qRgb(255, 255, 0);
                break;
            default:
                continue;
            }
            painter.fillRect(x, y, 1, 1, QColor(colour));
        }
}
} // namespace

void PaintIcon(QPainter& painter, int size) {
    if (size == 16) return PaintSmall(painter);
    painter.save();
    // The 32-pixel icon stays crisp; other sizes are scaled smoothly.
    painter.setRenderHint(QPainter::Antialiasing, size != 32);
    painter.scale(size / 32.0, size / 32.0);
    painter.setPen(QPen(Qt::black, 0));
    for (const TShape& shape : Shapes()) {
        painter.setBrush(QColor(shape.Fill));
        painter.drawPolygon(shape.Outline);
    }
    painter.restore();
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : IconSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        PaintIcon(painter, size);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QString IconSvg() {
    // Half-pixel offsets put a one-pixel outline on the same pixels as the painter's.
    QString svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" "
                  "viewBox=\"0 0 32 32\">\n";
    for (const TShape& shape : Shapes()) {
        QString points;
        for (const QPoint& p : shape.Outline)
            points += QString("%1,%2 ").arg(p.x() + 0.5).arg(p.y() + 0.5);
        svg += QString("  <polygon points=\"%1\" fill=\"%2\" stroke=\"#000000\" "
                       "stroke-width=\"1\"/>\n")
                   .arg(points.trimmed(), QColor(shape.Fill).name());
    }
    return svg + "</svg>\n";
}
