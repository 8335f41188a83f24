#include "frameribbon.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(QVector<qint64>)

namespace {
const QSize THUMBNAIL(80, 45);

QPixmap thumbnail(const QColor& colour, const QSize& size = THUMBNAIL)
{
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return pixmap;
}

// A ribbon 880 wide over a time line of 1000, one thumbnail per time.
void fill(FrameRibbon& ribbon, const QVector<qint64>& times, qint64 duration = 1000)
{
    ribbon.resize(880, 60);
    ribbon.setDuration(duration);
    for (const qint64 time : times)
        ribbon.addFrame(thumbnail(Qt::red), time);
}

void press(FrameRibbon& ribbon, const QPointF& point)
{
    QMouseEvent event(QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&ribbon, &event);
}

QImage rendered(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}
} // namespace

// Thumbnails placed on the time line, drawn and clicked.
class TestFrameRibbon : public QObject
{
    Q_OBJECT
private slots:
    void frameXPos_data();
    void frameXPos();
    void frameXPosWithoutDuration();
    void click_data();
    void click();
    void sizeHints();
    void earlierThumbnailsLieOnTop();
    void nothingDrawnWithoutDuration();
};

void TestFrameRibbon::frameXPos_data()
{
    QTest::addColumn<qint64>("time");
    QTest::addColumn<int>("x");

    QTest::newRow("start, clamped from -40") << Q_INT64_C(0) << 0;
    QTest::newRow("middle") << Q_INT64_C(500) << 400;
    QTest::newRow("end, clamped from 840") << Q_INT64_C(1000) << 800;
    // 880 x 333 / 1000 = 293.04, cut to 293 before the half width is taken.
    QTest::newRow("truncated") << Q_INT64_C(333) << 253;
    QTest::newRow("just inside at the left") << Q_INT64_C(46) << 0;
    QTest::newRow("first unclamped") << Q_INT64_C(50) << 4;
}

void TestFrameRibbon::frameXPos()
{
    QFETCH(qint64, time);
    QFETCH(int, x);

    FrameRibbon ribbon;
    fill(ribbon, {time});
    QCOMPARE(ribbon.getFrameXPos(0, THUMBNAIL.width()), x);
}

void TestFrameRibbon::frameXPosWithoutDuration()
{
    FrameRibbon ribbon;
    fill(ribbon, {500}, 0);
    QCOMPARE(ribbon.getFrameXPos(0, THUMBNAIL.width()), 0);
}

void TestFrameRibbon::click_data()
{
    QTest::addColumn<QVector<qint64>>("times");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<double>("px");
    QTest::addColumn<QList<int>>("clicked");

    const QVector<qint64> spread = {0, 500, 1000};
    QTest::newRow("left edge of the first") << spread << Q_INT64_C(1000) << 0.0 << QList<int>({0});
    QTest::newRow("right edge included") << spread << Q_INT64_C(1000) << 80.0 << QList<int>({0});
    QTest::newRow("rounded onto the right edge")
        << spread << Q_INT64_C(1000) << 80.4 << QList<int>({0});
    QTest::newRow("between thumbnails") << spread << Q_INT64_C(1000) << 80.6 << QList<int>();
    QTest::newRow("middle one") << spread << Q_INT64_C(1000) << 400.0 << QList<int>({500});
    QTest::newRow("last at the right end")
        << spread << Q_INT64_C(1000) << 879.0 << QList<int>({1000});
    // 0 and 50 overlap from x = 4 to 80: the lower index wins.
    QTest::newRow("overlap") << QVector<qint64>({0, 50}) << Q_INT64_C(1000) << 40.0
                             << QList<int>({0});
    QTest::newRow("past the overlap")
        << QVector<qint64>({0, 50}) << Q_INT64_C(1000) << 84.0 << QList<int>({50});
    QTest::newRow("no thumbnails") << QVector<qint64>() << Q_INT64_C(1000) << 0.0 << QList<int>();
    QTest::newRow("no duration") << spread << Q_INT64_C(0) << 0.0 << QList<int>();
    // The time travels as int: a time above its range keeps its low 32 bits.
    QTest::newRow("time above the int range") << QVector<qint64>({Q_INT64_C(4294967303)})
                                              << Q_INT64_C(8589934606) << 420.0 << QList<int>({7});
}

void TestFrameRibbon::click()
{
    QFETCH(QVector<qint64>, times);
    QFETCH(qint64, duration);
    QFETCH(double, px);
    QFETCH(QList<int>, clicked);

    FrameRibbon ribbon;
    fill(ribbon, times, duration);
    QSignalSpy spy(&ribbon, &FrameRibbon::click);
    press(ribbon, QPointF(px, 30));

    QList<int> emitted;
    for (const QList<QVariant>& arguments : spy)
        emitted.append(arguments.first().toInt());
    QCOMPARE(emitted, clicked);
}

void TestFrameRibbon::sizeHints()
{
    FrameRibbon ribbon;
    QCOMPARE(ribbon.sizeHint(), QSize(-1, -1));
    QCOMPARE(ribbon.minimumSizeHint(), QSize(-1, -1));

    ribbon.addFrame(thumbnail(Qt::red), 0);
    QCOMPARE(ribbon.sizeHint(), QSize(-1, 45));
    ribbon.addFrame(thumbnail(Qt::red, QSize(80, 60)), 10);
    ribbon.addFrame(thumbnail(Qt::red, QSize(80, 30)), 20);
    QCOMPARE(ribbon.sizeHint(), QSize(-1, 60));
    QCOMPARE(ribbon.minimumSizeHint(), QSize(-1, 60));
    QCOMPARE(ribbon.getFrames().size(), 3);

    ribbon.clear();
    QCOMPARE(ribbon.getFrames().size(), 0);
    QCOMPARE(ribbon.sizeHint(), QSize(-1, -1));
}

void TestFrameRibbon::earlierThumbnailsLieOnTop()
{
    FrameRibbon ribbon;
    ribbon.resize(880, 60);
    ribbon.setDuration(1000);
    // Centred vertically: (60 - 45) / 2 = 7.
    ribbon.addFrame(thumbnail(Qt::red), 0);
    ribbon.addFrame(thumbnail(Qt::green), 50);
    ribbon.addFrame(thumbnail(Qt::blue), 1000);
    const QImage image = rendered(ribbon);

    QCOMPARE(image.pixelColor(40, 7), QColor(Qt::red));
    QCOMPARE(image.pixelColor(79, 51), QColor(Qt::red));
    QCOMPARE(image.pixelColor(82, 30), QColor(Qt::green));
    QCOMPARE(image.pixelColor(800, 30), QColor(Qt::blue));
    QCOMPARE(image.pixelColor(879, 30), QColor(Qt::blue));
    QVERIFY(image.pixelColor(40, 6) != QColor(Qt::red));
    QVERIFY(image.pixelColor(40, 52) != QColor(Qt::red));
    QVERIFY(image.pixelColor(400, 30) != QColor(Qt::red));
}

void TestFrameRibbon::nothingDrawnWithoutDuration()
{
    FrameRibbon ribbon;
    fill(ribbon, {0, 500}, 0);
    const QImage empty = rendered(ribbon);
    QVERIFY(empty.pixelColor(40, 30) != QColor(Qt::red));

    ribbon.setDuration(1000);
    QCOMPARE(rendered(ribbon).pixelColor(40, 30), QColor(Qt::red));
}

QTEST_MAIN(TestFrameRibbon)
#include "tst_frameribbon.moc"
