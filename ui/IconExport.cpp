// Build tool: writes the installed icon files from the same drawing as the
// window icon. Usage: orvix-icon-export DIR ID
#include "IconArt.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]), id = QString::fromLocal8Bit(argv[2]);
    for (int size : IconSizes) {
        const QString path = QString("%1/%2x%2/apps").arg(dir).arg(size);
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        PaintIcon(painter, size);
        painter.end();
        if (!QDir().mkpath(path) || !image.save(path + "/" + id + ".png")) return 1;
    }
    QFile svg(dir + "/scalable/apps/" + id + ".svg");
    if (!QDir().mkpath(dir + "/scalable/apps") || !svg.open(QIODevice::WriteOnly)) return 1;
    svg.write(IconSvg().toUtf8());
    return 0;
}
