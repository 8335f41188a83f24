#include "video/videomath.h"

#include <QTest>

// The reader's arithmetic: time base correction, pixel size by width and the
// duration shown to the user.
class TestVideoMath : public QObject
{
    Q_OBJECT
private slots:
    void timeBaseCorrection_data();
    void timeBaseCorrection();
    void pixelSizeByWidth_data();
    void pixelSizeByWidth();
    void displayDuration_data();
    void displayDuration();
};

void TestVideoMath::timeBaseCorrection_data()
{
    QTest::addColumn<int>("numerator");
    QTest::addColumn<int>("denominator");
    QTest::addColumn<int>("correctedDenominator");

    QTest::newRow("1/90000 is left alone") << 1 << 90000 << 90000;
    QTest::newRow("90000/1 becomes 90000/1000") << 90000 << 1 << 1000;
    QTest::newRow("1001/1 is above 1000") << 1001 << 1 << 1000;
    QTest::newRow("1000/1 is not above 1000") << 1000 << 1 << 1;
    QTest::newRow("90000/2 has another denominator") << 90000 << 2 << 2;
}

void TestVideoMath::timeBaseCorrection()
{
    QFETCH(int, numerator);
    QFETCH(int, denominator);
    QFETCH(int, correctedDenominator);

    int num = numerator;
    int den = denominator;
    VideoMath::correctTimeBase(num, den);
    QCOMPARE(num, numerator);
    QCOMPARE(den, correctedDenominator);
}

void TestVideoMath::pixelSizeByWidth_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("fourBytes");

    QTest::newRow("640") << 640 << false;
    QTest::newRow("642") << 642 << true;
    QTest::newRow("641") << 641 << true;
    QTest::newRow("4") << 4 << false;
    QTest::newRow("2") << 2 << true;
}

void TestVideoMath::pixelSizeByWidth()
{
    QFETCH(int, width);
    QFETCH(bool, fourBytes);
    QCOMPARE(VideoMath::needsFourBytePixels(width), fourBytes);
}

void TestVideoMath::displayDuration_data()
{
    QTest::addColumn<qint64>("microseconds");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("text");

    QTest::newRow("10 s") << Q_INT64_C(10000000) << QTime(0, 0, 10, 0) << "00:00:10.00";
    // The milliseconds field carries hundredths, cut (not rounded) from the
    // microseconds.
    QTest::newRow("2.48 s") << Q_INT64_C(2480000) << QTime(0, 0, 2, 48) << "00:00:02.48";
    QTest::newRow("2.05 s") << Q_INT64_C(2059999) << QTime(0, 0, 2, 5) << "00:00:02.05";
    QTest::newRow("1 h 2 min 5.999999 s")
        << Q_INT64_C(3725999999) << QTime(1, 2, 5, 99) << "01:02:05.99";
    QTest::newRow("under a hundredth") << Q_INT64_C(9999) << QTime(0, 0, 0, 0) << "00:00:00.00";
}

void TestVideoMath::displayDuration()
{
    QFETCH(qint64, microseconds);
    QFETCH(QTime, time);
    QFETCH(QString, text);

    const QTime shown = VideoMath::displayDuration(microseconds);
    QCOMPARE(shown, time);
    QCOMPARE(VideoMath::durationText(shown), text);
}

QTEST_GUILESS_MAIN(TestVideoMath)
#include "tst_videomath.moc"
