#include "videopreview.h"

#include <QTest>

namespace {
// The bounding box of the red pixels.
QRect redArea(const QImage& image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.red() > 200 && colour.green() < 50 && colour.blue() < 50)
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}
} // namespace

// The poster preview: centred, scaled down to fit, never enlarged.
class TestVideoPreview : public QObject
{
    Q_OBJECT
private slots:
    void placesThePicture_data();
    void placesThePicture();
    void asksForNoSize();
};

void TestVideoPreview::placesThePicture_data()
{
    QTest::addColumn<QSize>("widget");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("drawn");

    QTest::newRow("wide picture in a square")
        << QSize(400, 400) << QSize(1280, 720) << QRect(0, 87, 400, 225);
    QTest::newRow("tall picture in a square")
        << QSize(400, 400) << QSize(720, 1280) << QRect(87, 0, 225, 400);
    QTest::newRow("small picture is not enlarged")
        << QSize(400, 400) << QSize(100, 50) << QRect(150, 175, 100, 50);
    QTest::newRow("too tall only") << QSize(400, 300) << QSize(200, 600) << QRect(150, 0, 100, 300);
}

void TestVideoPreview::placesThePicture()
{
    QFETCH(QSize, widget);
    QFETCH(QSize, picture);
    QFETCH(QRect, drawn);

    VideoPreview preview;
    preview.resize(widget);
    QPixmap pixmap(picture);
    pixmap.fill(Qt::red);
    preview.setPixmap(pixmap);

    QImage image(widget, QImage::Format_RGB32);
    image.fill(Qt::white);
    preview.render(&image);
    QCOMPARE(redArea(image), drawn);
}

void TestVideoPreview::asksForNoSize()
{
    VideoPreview preview;
    QPixmap pixmap(1280, 720);
    pixmap.fill(Qt::red);
    preview.setPixmap(pixmap);
    QCOMPARE(preview.sizeHint(), QSize(-1, -1));
    QCOMPARE(preview.minimumSizeHint(), QSize(-1, -1));
}

QTEST_MAIN(TestVideoPreview)
#include "tst_videopreview.moc"
