#include "encoding/mpeg4encoder.h"
#include "encoding/mpeg4lowencoder.h"
#include "encoding/theoraencoder.h"
#include "encoding/videoencoder.h"
#include "encoding/videoencoderparameters.h"
#include "encoding/webmencoder.h"
#include "mp4atoms.h"
#include "temporaryfolder.h"
#include "testmedia.h"
#include "util/appidentity.h"
#include "util/miscutils.h"

#include <QFile>
#include <QJsonArray>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace P = VideoEncoderParameters;

namespace {
const QString HdClip = QStringLiteral("hd");

std::unique_ptr<VideoEncoderBuilder> builder(const QString& format)
{
    if (format == QLatin1String("mp4"))
        return std::unique_ptr<VideoEncoderBuilder>(CreateMpeg4Encoder());
    if (format == QLatin1String("lowmp4"))
        return std::unique_ptr<VideoEncoderBuilder>(CreateMpeg4LowEncoder());
    if (format == QLatin1String("webm"))
        return std::unique_ptr<VideoEncoderBuilder>(CreateWebMEncoder());
    return std::unique_ptr<VideoEncoderBuilder>(CreateTheoraEncoder());
}

QStringList argumentsOf(const QString& format, const QString& input, const QVariantMap& parameters)
{
    if (format == QLatin1String("mp4"))
        return Mpeg4Encoder().arguments(input, parameters);
    if (format == QLatin1String("lowmp4"))
        return Mpeg4LowEncoder().arguments(input, parameters);
    if (format == QLatin1String("webm"))
        return WebMEncoder().arguments(input, parameters);
    return TheoraEncoder().arguments(input, parameters);
}

QVariantMap parameters(const QSize& source, const QSize& target, const QVariant& quality,
                       const QString& method = P::RESIZE_METHOD_KEEP_RATIO)
{
    QVariantMap map {
        {P::SOURCE_SIZE, source}, {P::TARGET_SIZE, target}, {P::RESIZE_METHOD, method}};
    if (quality.isValid())
        map.insert(P::TARGET_QUALITY, quality);
    return map;
}

// Runs an encoder to its end; returns its last progress report.
QList<qint64> runToEnd(VideoEncoder& encoder, bool& failed, int timeoutMs = 120000)
{
    QSignalSpy progress(&encoder, &VideoEncoder::progress);
    QSignalSpy finished(&encoder, &VideoEncoder::finished);
    encoder.start();
    failed = !finished.wait(timeoutMs) || finished.first().first().toBool();
    if (progress.isEmpty())
        return {};
    return {progress.last().at(0).toLongLong(), progress.last().at(1).toLongLong()};
}
} // namespace

// The four format builders: their exact ffmpeg arguments, and what the real
// ffmpeg makes of them.
class TestFormatBuilders : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void argumentLists_data();
    void argumentLists();

    void everyFormatFromOneSource();
    void webmAtEveryQuality_data();
    void webmAtEveryQuality();
    void resizeMethods_data();
    void resizeMethods();
    void watermarkIsDrawn();

private:
    QString m_clip;
    TemporaryFolder m_work;
};

void TestFormatBuilders::initTestCase()
{
    AppIdentity::apply();
    m_clip = TestMedia::h264Clip(QSize(1280, 720), 4);
    QVERIFY(!m_clip.isEmpty());
}

void TestFormatBuilders::argumentLists_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QVariantMap>("parameters");
    QTest::addColumn<QString>("extension");
    // The arguments after "-y -i <quoted input>", separated by spaces.
    QTest::addColumn<QString>("options");
    // The filter chain after "-vf"; none when empty.
    QTest::addColumn<QString>("chain");

    const QString in = QStringLiteral("/videos/in.mp4");
    const QSize hd(1280, 720);
    const QString mp4 = "-f mp4 -strict experimental -vcodec libx264 -crf %1 -profile:v high422 "
                        "-level 4.0 -pix_fmt yuv420p -movflags +faststart -acodec aac -ac 2 "
                        "-ab 128k -ar 44.1k";
    QTest::newRow("mp4, low quality, 0x0 target")
        << "mp4" << in << parameters(hd, QSize(0, 0), -1) << "m4v" << mp4.arg(26) << "";
    QTest::newRow("mp4, no quality given")
        << "mp4" << in << parameters(hd, QSize(640, 480), QVariant(), P::RESIZE_METHOD_PAD) << "m4v"
        << mp4.arg(22) << "scale=640:360,pad=640:480:0:60";
    QTest::newRow("mp4, high quality, odd width made even")
        << "mp4" << in << parameters(hd, QSize(853, 480), 1) << "m4v" << mp4.arg(18)
        << "scale=852:480";
    QTest::newRow("mp4, quality 2")
        << "mp4" << in << parameters(hd, QSize(0, 0), 2) << "m4v" << mp4.arg(14) << "";
    QTest::newRow("mp4, odd source, 0x0 target")
        << "mp4" << in << parameters(QSize(641, 361), QSize(0, 0), 0) << "m4v" << mp4.arg(22)
        << "scale=640:360";

    const QString low = "-f mp4 -strict experimental -vcodec libx264 -vprofile baseline "
                        "-pix_fmt yuv420p -acodec aac -ac 1 -ab 48k -ar 16k";
    QTest::newRow("low mp4, 1280x720 source")
        << "lowmp4" << in << parameters(hd, QSize(0, 0), 1, P::RESIZE_METHOD_PAD) << "mp4" << low
        << "scale=640:360";
    QTest::newRow("low mp4, 720x576 source")
        << "lowmp4" << in << parameters(QSize(720, 576), QSize(0, 0), -1) << "mp4" << low
        << "scale=600:480";
    QTest::newRow("low mp4, 641x360 scaled, then made even")
        << "lowmp4" << in << parameters(QSize(641, 360), QSize(0, 0), 0, P::RESIZE_METHOD_PAD)
        << "mp4" << low << "scale=637:358,pad=640:358:1:0";
    QTest::newRow("low mp4, 320x240 kept")
        << "lowmp4" << in << parameters(QSize(320, 240), QSize(0, 0), 0) << "mp4" << low << "";
    QTest::newRow("low mp4, large target fitted")
        << "lowmp4" << in << parameters(hd, QSize(1920, 1080), 0, P::RESIZE_METHOD_CROP) << "mp4"
        << low << "scale=640:360";

    const QString webm = "-f webm -vcodec libvpx -vprofile 0 -g 120 -rc_lookahead 16 "
                         "-quality good -speed 0 -qmax %1 -qmin %1 -crf %1 -acodec libvorbis "
                         "-ac 2 -ab 128k -ar 44.1k";
    QTest::newRow("webm, low quality")
        << "webm" << in << parameters(hd, QSize(0, 0), -1) << "webm" << webm.arg(27) << "";
    QTest::newRow("webm, quality -5")
        << "webm" << in << parameters(hd, QSize(0, 0), -5) << "webm" << webm.arg(27) << "";
    QTest::newRow("webm, normal quality, odd target kept")
        << "webm" << in << parameters(hd, QSize(321, 241), 0) << "webm" << webm.arg(14)
        << "scale=321:241";
    QTest::newRow("webm, no quality given")
        << "webm" << in << parameters(hd, hd, QVariant()) << "webm" << webm.arg(14) << "";
    QTest::newRow("webm, high quality")
        << "webm" << in << parameters(hd, QSize(0, 0), 1) << "webm" << webm.arg(8) << "";
    QTest::newRow("webm, quality 2")
        << "webm" << in << parameters(hd, QSize(0, 0), 2) << "webm" << webm.arg(8) << "";

    const QString ogg = "-f ogg -vcodec libtheora -qscale 5 -flags +mv4+aic -mbd rd -cmp 2 "
                        "-subcmp 2 -bf 2 -acodec libvorbis -ac 2 -ab 128k -ar 44.1k";
    QTest::newRow("ogg, quality not read")
        << "ogg" << in << parameters(hd, QSize(640, 480), 1, P::RESIZE_METHOD_CROP) << "ogv" << ogg
        << "scale=853:480,crop=640:480";
    QTest::newRow("ogg, 0x0 target, odd source kept")
        << "ogg" << in << parameters(QSize(641, 361), QSize(0, 0), -1) << "ogv" << ogg << "";

    QTest::newRow("input path with spaces and quotes")
        << "webm"
        << "/my videos/the \"best\" take.mp4" << parameters(hd, QSize(0, 0), 0) << "webm"
        << webm.arg(14) << "";
}

void TestFormatBuilders::argumentLists()
{
    QFETCH(QString, format);
    QFETCH(QString, input);
    QFETCH(QVariantMap, parameters);
    QFETCH(QString, extension);
    QFETCH(QString, options);
    QFETCH(QString, chain);

    QStringList expected {QStringLiteral("-y"), QStringLiteral("-i"),
                          QLatin1Char('"') + QString(input).replace("\"", "\"\"\"") +
                              QLatin1Char('"')};
    expected += options.split(QLatin1Char(' '));
    if (!chain.isEmpty())
        expected << QStringLiteral("-vf") << chain;
    QCOMPARE(argumentsOf(format, input, parameters), expected);
    QCOMPARE(builder(format)->getExtension(), extension);
}

void TestFormatBuilders::everyFormatFromOneSource()
{
    struct Expected
    {
        QString format;
        QString container;
        QString video;
        QString audio;
        int channels;
        QString sampleRate;
        QSize size;
        // A composite reports percent, a plain runner seconds of media.
        QList<qint64> lastProgress;
    };
    const QList<Expected> formats {
        {"mp4", "mov,mp4,m4a,3gp,3g2,mj2", "h264", "aac", 2, "44100", QSize(1280, 720), {100, 100}},
        {"lowmp4",
         "mov,mp4,m4a,3gp,3g2,mj2",
         "h264",
         "aac",
         1,
         "16000",
         QSize(640, 360),
         {100, 100}},
        {"webm", "matroska,webm", "vp8", "vorbis", 2, "44100", QSize(1280, 720), {4, 4}},
        {"ogg", "ogg", "theora", "vorbis", 2, "44100", QSize(1280, 720), {4, 4}}};

    // All at once, as the conversion does.
    QVariantMap map = parameters(QSize(1280, 720), QSize(0, 0), 0, P::RESIZE_METHOD_PAD);
    std::vector<std::unique_ptr<VideoEncoder>> encoders;
    std::vector<std::unique_ptr<QSignalSpy>> finished;
    std::vector<std::unique_ptr<QSignalSpy>> progress;
    QStringList outputs;
    for (const Expected& expected : formats) {
        const auto made = builder(expected.format);
        outputs << m_work.filePath(expected.format + QLatin1Char('.') + made->getExtension());
        encoders.emplace_back(made->createEncoder(m_clip, outputs.last(), map));
        finished.emplace_back(new QSignalSpy(encoders.back().get(), &VideoEncoder::finished));
        progress.emplace_back(new QSignalSpy(encoders.back().get(), &VideoEncoder::progress));
    }
    for (const auto& encoder : encoders)
        encoder->start();

    for (int i = 0; i < formats.size(); ++i) {
        const Expected& expected = formats.at(i);
        QTRY_VERIFY_WITH_TIMEOUT(!finished.at(i)->isEmpty(), 180000);
        QVERIFY2(!finished.at(i)->first().first().toBool(),
                 qPrintable(encoders.at(i)->getErrorLog()));
        const QList<QVariant> last = progress.at(i)->last();
        QCOMPARE((QList<qint64> {last.at(0).toLongLong(), last.at(1).toLongLong()}),
                 expected.lastProgress);

        const QJsonObject probed = TestMedia::probe(outputs.at(i));
        const QJsonObject video = TestMedia::stream(probed, QStringLiteral("video"));
        const QJsonObject audio = TestMedia::stream(probed, QStringLiteral("audio"));
        QCOMPARE(probed.value("format").toObject().value("format_name").toString(),
                 expected.container);
        QCOMPARE(video.value("codec_name").toString(), expected.video);
        QCOMPARE(QSize(video.value("width").toInt(), video.value("height").toInt()), expected.size);
        QCOMPARE(audio.value("codec_name").toString(), expected.audio);
        QCOMPARE(audio.value("channels").toInt(), expected.channels);
        QCOMPARE(audio.value("sample_rate").toString(), expected.sampleRate);
    }
    // Both MP4 files play while they download: the index comes first.
    for (const QString& output : outputs.mid(0, 2)) {
        const QList<QByteArray> atoms = Mp4Atoms::topLevelTypes(output);
        QVERIFY2(atoms.indexOf("moov") >= 0 && atoms.indexOf("moov") < atoms.indexOf("mdat"),
                 atoms.join(' ').constData());
    }
    const QString lowProfile =
        TestMedia::stream(TestMedia::probe(outputs.at(1)), QStringLiteral("video"))
            .value("profile")
            .toString();
    QVERIFY2(lowProfile.contains(QStringLiteral("Baseline")), qPrintable(lowProfile));
}

void TestFormatBuilders::webmAtEveryQuality_data()
{
    QTest::addColumn<int>("quality");
    QTest::newRow("low") << -1;
    QTest::newRow("normal") << 0;
    QTest::newRow("high") << 1;
}

void TestFormatBuilders::webmAtEveryQuality()
{
    QFETCH(int, quality);
    QVariantMap map = parameters(QSize(1280, 720), QSize(320, 180), quality);
    const QString output = m_work.filePath(QStringLiteral("quality%1.webm").arg(quality));
    std::unique_ptr<VideoEncoder> encoder(WebMEncoder().createEncoder(m_clip, output, map));
    bool failed = true;
    runToEnd(*encoder, failed);
    QVERIFY2(!failed, qPrintable(encoder->getErrorLog()));
    QCOMPARE(TestMedia::stream(TestMedia::probe(output), "video").value("codec_name").toString(),
             QStringLiteral("vp8"));
}

void TestFormatBuilders::resizeMethods_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QSize>("frameSize");
    // Whether the top rows of the picture are the letterbox's black band.
    QTest::addColumn<bool>("blackBand");

    QTest::newRow("letterbox") << "webm" << P::RESIZE_METHOD_PAD << QSize(320, 240)
                               << QSize(320, 240) << true;
    QTest::newRow("crop") << "webm" << P::RESIZE_METHOD_CROP << QSize(320, 240) << QSize(320, 240)
                          << false;
    QTest::newRow("keep ratio") << "ogg" << P::RESIZE_METHOD_KEEP_RATIO << QSize(320, 240)
                                << QSize(320, 240) << false;
    QTest::newRow("mp4 makes an odd size even")
        << "mp4" << P::RESIZE_METHOD_PAD << QSize(427, 241) << QSize(426, 240) << false;
}

void TestFormatBuilders::resizeMethods()
{
    QFETCH(QString, format);
    QFETCH(QString, method);
    QFETCH(QSize, target);
    QFETCH(QSize, frameSize);
    QFETCH(bool, blackBand);

    const auto made = builder(format);
    QVariantMap map = parameters(QSize(1280, 720), target, 0, method);
    const QString output =
        m_work.filePath(QTest::currentDataTag() + QStringLiteral(".") + made->getExtension());
    std::unique_ptr<VideoEncoder> encoder(made->createEncoder(m_clip, output, map));
    bool failed = true;
    runToEnd(*encoder, failed);
    QVERIFY2(!failed, qPrintable(encoder->getErrorLog()));

    const QImage frame = TestMedia::frameAt(output, 1.0);
    QCOMPARE(frame.size(), frameSize);
    // 1280x720 in 320x240: the picture is 180 rows high, 30 rows of band above.
    const QColor top = frame.pixelColor(frame.width() / 2, 10);
    const bool black = top.red() < 24 && top.green() < 24 && top.blue() < 24;
    QCOMPARE(black, blackBand);
}

void TestFormatBuilders::watermarkIsDrawn()
{
    // A red block with a white stripe, so that orientation shows.
    QImage mark(32, 16, QImage::Format_ARGB32);
    mark.fill(Qt::red);
    QPainter(&mark).fillRect(0, 0, 32, 4, Qt::white);
    const QString markFile = m_work.filePath(QStringLiteral("mark, it's [1].png"));
    QVERIFY(mark.save(markFile));

    QVariantMap map = parameters(QSize(1280, 720), QSize(640, 480), 0, P::RESIZE_METHOD_PAD);
    map.insert(P::WATERMARK_FILE, markFile);
    const QString output = m_work.filePath(QStringLiteral("watermarked.webm"));
    std::unique_ptr<VideoEncoder> encoder(WebMEncoder().createEncoder(m_clip, output, map));
    bool failed = true;
    runToEnd(*encoder, failed);
    QVERIFY2(!failed, qPrintable(encoder->getErrorLog()));

    const QImage frame = TestMedia::frameAt(output, 2.0);
    QCOMPARE(frame.size(), QSize(640, 480));
    // The padding of 60 rows moves the mark 72 rows down, 8 columns from the right.
    const auto near = [](const QColor& color, const QColor& wanted) {
        return qAbs(color.red() - wanted.red()) < 48 && qAbs(color.green() - wanted.green()) < 48 &&
            qAbs(color.blue() - wanted.blue()) < 48;
    };
    const int left = 640 - 8 - 32;
    QVERIFY(near(frame.pixelColor(left + 16, 72 + 10), Qt::red));
    QVERIFY(near(frame.pixelColor(left + 16, 72 + 1), Qt::white));
    // Above it is the black band, not the mark.
    QVERIFY(near(frame.pixelColor(left + 16, 72 - 20), Qt::black));
}

QTEST_GUILESS_MAIN(TestFormatBuilders)
#include "tst_formatbuilders.moc"
