// Renders the wizard's button icons from svg/ into 48 x 48 PNG files beside
// this file. The PNG files are kept in the repository, so the build needs no
// SVG support; run this after editing an SVG:
//   g++ -fPIC rendericons.cpp -o /tmp/rendericons $(pkg-config --cflags --libs Qt5Svg Qt5Gui)
//   /tmp/rendericons svg .
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: rendericons SVG_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir sources(QString::fromLocal8Bit(argv[1]));
    const QDir output(QString::fromLocal8Bit(argv[2]));
    const QStringList names = sources.entryList({QStringLiteral("*.svg")}, QDir::Files);
    for (const QString& name : names) {
        QSvgRenderer renderer(sources.filePath(name));
        QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        const QString target = output.filePath(QFileInfo(name).completeBaseName() + ".png");
        if (!renderer.isValid() || !image.save(target)) {
            std::fprintf(stderr, "cannot render %s\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
