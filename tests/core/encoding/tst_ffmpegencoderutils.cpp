#include "encoding/ffmpegencoderutils.h"
#include "encoding/videoencoderparameters.h"

#include <QTest>

namespace P = VideoEncoderParameters;

// The filter chain that fits the source into the output size and draws the
// watermark, and the rules that make an output size concrete.
class TestFFmpegEncoderUtils : public QObject
{
    Q_OBJECT
private slots:
    void filterChain_data();
    void filterChain();
    void unpackedSize_data();
    void unpackedSize();
};

void TestFFmpegEncoderUtils::filterChain_data()
{
    QTest::addColumn<QVariantMap>("parameters");
    // Empty: no arguments at all; otherwise the one argument after "-vf".
    QTest::addColumn<QString>("chain");

    const QSize hd(1280, 720);
    const QSize vga(640, 480);
    const auto map = [](const QSize& source, const QSize& target, const QString& method) {
        QVariantMap parameters {{P::SOURCE_SIZE, source}, {P::TARGET_SIZE, target}};
        if (!method.isNull())
            parameters.insert(P::RESIZE_METHOD, method);
        return parameters;
    };
    const auto withWatermark = [](QVariantMap parameters, const QString& file) {
        parameters.insert(P::WATERMARK_FILE, file);
        return parameters;
    };

    QTest::newRow("crop") << map(hd, vga, P::RESIZE_METHOD_CROP) << "scale=853:480,crop=640:480";
    QTest::newRow("pad") << map(hd, vga, P::RESIZE_METHOD_PAD) << "scale=640:360,pad=640:480:0:60";
    QTest::newRow("keep ratio") << map(hd, vga, P::RESIZE_METHOD_KEEP_RATIO) << "scale=640:480";
    // The pad moves the picture down by 60: the offset becomes 68, rounded up to 72.
    QTest::newRow("pad, watermark")
        << withWatermark(map(hd, vga, P::RESIZE_METHOD_PAD), "/tmp/w.png")
        << "scale=640:360,pad=640:480:0:60[p];movie=\"/tmp/w.png\":f=png[wm];"
           "[p][wm]overlay=W-w-8:72";
    QTest::newRow("crop, watermark")
        << withWatermark(map(hd, vga, P::RESIZE_METHOD_CROP), "/tmp/w.png")
        << "scale=853:480,crop=640:480[p];movie=\"/tmp/w.png\":f=png[wm];[p][wm]overlay=W-w-8:8";
    QTest::newRow("keep ratio, watermark")
        << withWatermark(map(hd, vga, P::RESIZE_METHOD_KEEP_RATIO), "/tmp/w.png")
        << "scale=640:480[p];movie=\"/tmp/w.png\":f=png[wm];[p][wm]overlay=W-w-8:8";
    QTest::newRow("pillarbox: padding at the sides")
        << withWatermark(map(QSize(480, 480), vga, P::RESIZE_METHOD_PAD), "/tmp/w.png")
        << "scale=480:480,pad=640:480:80:0[p];movie=\"/tmp/w.png\":f=png[wm];"
           "[p][wm]overlay=W-w-88:8";

    QTest::newRow("source equals target") << map(vga, vga, P::RESIZE_METHOD_PAD) << "";
    QTest::newRow("source equals target, watermark")
        << withWatermark(map(vga, vga, P::RESIZE_METHOD_PAD), "/tmp/w.png")
        << "movie=\"/tmp/w.png\":f=png[wm];[in][wm]overlay=W-w-8:8";
    QTest::newRow("no method") << map(hd, vga, QString()) << "";
    QTest::newRow("unknown method, watermark")
        << withWatermark(map(hd, vga, "Stretch"), "/tmp/w.png")
        << "movie=\"/tmp/w.png\":f=png[wm];[in][wm]overlay=W-w-8:8";
    QTest::newRow("pad, same aspect ratio, watermark")
        << withWatermark(map(hd, QSize(640, 360), P::RESIZE_METHOD_PAD), "/tmp/w.png")
        << "scale=640:360[p];movie=\"/tmp/w.png\":f=png[wm];[p][wm]overlay=W-w-8:8";
    QTest::newRow("crop, same aspect ratio")
        << map(hd, QSize(640, 360), P::RESIZE_METHOD_CROP) << "scale=640:360";

    QTest::newRow("0x0 target is the source size")
        << map(hd, QSize(0, 0), P::RESIZE_METHOD_PAD) << "";
    QTest::newRow("target without width is the source size")
        << map(hd, QSize(0, 480), P::RESIZE_METHOD_KEEP_RATIO) << "";
    QTest::newRow("negative target side is the source size")
        << map(hd, QSize(640, -1), P::RESIZE_METHOD_KEEP_RATIO) << "";
    QTest::newRow("no target is the source size") << QVariantMap {{P::SOURCE_SIZE, hd}} << "";
    QTest::newRow("a valid target is used as it is, odd sides included")
        << map(hd, QSize(321, 241), P::RESIZE_METHOD_KEEP_RATIO) << "scale=321:241";

    // The option parser drops one level of backslashes and the filter graph
    // parser another, so a colon needs two and a graph character three.
    QTest::newRow("colons in the watermark path")
        << withWatermark(map(vga, vga, P::RESIZE_METHOD_PAD), "C:/a:b/w.png")
        << "movie=\"C\\\\:/a\\\\:b/w.png\":f=png[wm];[in][wm]overlay=W-w-8:8";
    QTest::newRow("graph characters in the watermark path")
        << withWatermark(map(vga, vga, P::RESIZE_METHOD_PAD), "/t/it's [a],b;c=d\\e.png")
        << "movie=\"/t/it\\\\\\'s \\\\\\[a\\\\\\]\\\\\\,b\\\\\\;c\\\\=d\\\\\\\\e.png\":f=png[wm];"
           "[in][wm]overlay=W-w-8:8";
    QTest::newRow("double quote in the watermark path")
        << withWatermark(map(vga, vga, P::RESIZE_METHOD_PAD), "/t/\"w\".png")
        << "movie=\"/t/\"\"\"w\"\"\".png\":f=png[wm];[in][wm]overlay=W-w-8:8";
}

void TestFFmpegEncoderUtils::filterChain()
{
    QFETCH(QVariantMap, parameters);
    QFETCH(QString, chain);

    const QStringList before {QStringLiteral("-y"), QStringLiteral("-i"), QStringLiteral("in")};
    QStringList arguments = before;
    applyFilters(parameters, arguments);
    const QStringList expected =
        chain.isEmpty() ? before : before + QStringList {QStringLiteral("-vf"), chain};
    QCOMPARE(arguments, expected);
}

void TestFFmpegEncoderUtils::unpackedSize_data()
{
    QTest::addColumn<QSize>("packed");
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("unpacked");

    QTest::newRow("original") << QSize(0, 0) << QSize(1280, 720) << QSize(1280, 720);
    QTest::newRow("standard height") << QSize(0, 480) << QSize(1280, 720) << QSize(853, 480);
    QTest::newRow("standard height above the source")
        << QSize(0, 1080) << QSize(640, 480) << QSize(1440, 1080);
    QTest::newRow("explicit") << QSize(500, 300) << QSize(1280, 720) << QSize(500, 300);
}

void TestFFmpegEncoderUtils::unpackedSize()
{
    QFETCH(QSize, packed);
    QFETCH(QSize, source);
    QFETCH(QSize, unpacked);
    QCOMPARE(unpackSize(packed, source), unpacked);
}

QTEST_APPLESS_MAIN(TestFFmpegEncoderUtils)
#include "tst_ffmpegencoderutils.moc"
