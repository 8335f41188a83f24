#include "encoding/mpeg4encoder.h"
#include "encoding/mpeg4lowencoder.h"
#include "encoding/theoraencoder.h"
#include "encoding/videoencoder.h"
#include "encoding/videoencoderparameters.h"
#include "encoding/webmencoder.h"
#include "headlesschromium.h"
#include "loopbackhttpserver.h"
#include "pageprobe.h"
#include "project/projectsettings.h"
#include "publish/publishthread.h"
#include "temporaryfolder.h"
#include "testmedia.h"
#include "util/appidentity.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using Parameters = QMap<QString, QVariant>;

// Pages published by the publish job, with media made by the program's own
// encoders from a generated clip, opened in headless Chromium over loopback
// HTTP: the video shows a picture, the support script steps in where the
// browser needs it, and the page fits wide and narrow windows.
class TestPublishedPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void playback_data();
    void playback();
    void layout_data();
    void layout();

private:
    QString publish(TemporaryFolder& folder, const QStringList& formats, bool autoplay) const;

    TemporaryFolder m_media;
    QHash<QString, QString> m_encoded; // format name → encoded file
    QString m_poster;
};

namespace {
// The names are globals of another file: held by reference, so that nothing
// is copied before they are made.
struct Format
{
    const QString& name;
    VideoEncoderBuilder* (*create)();
};

const Format FORMATS[] = {
    {VIDEO_MPEG4_FORMAT, CreateMpeg4Encoder},
    {VIDEO_WEBM_FORMAT, CreateWebMEncoder},
    {VIDEO_THEORA_FORMAT, CreateTheoraEncoder},
    {VIDEO_LOW_MPEG4_FORMAT, CreateMpeg4LowEncoder},
};
} // namespace

void TestPublishedPage::initTestCase()
{
    AppIdentity::apply();
    QVERIFY2(QFile::exists(HeadlessChromium::program()), "chromium is not installed");
    const QString clip = TestMedia::h264Clip(QSize(640, 360), 4);
    QVERIFY(!clip.isEmpty());
    m_poster =
        TestMedia::generate({QStringLiteral("-i"), clip, QStringLiteral("-frames:v"),
                             QStringLiteral("1"), QStringLiteral("-s"), QStringLiteral("320x180")},
                            QStringLiteral("jpg"));
    QVERIFY(!m_poster.isEmpty());

    namespace P = VideoEncoderParameters;
    QVariantMap parameters {{P::SOURCE_SIZE, QSize(640, 360)},
                            {P::TARGET_SIZE, QSize(320, 180)},
                            {P::TARGET_QUALITY, 0},
                            {P::RESIZE_METHOD, P::RESIZE_METHOD_PAD}};
    std::vector<std::unique_ptr<VideoEncoder>> encoders;
    std::vector<std::unique_ptr<QSignalSpy>> finished;
    for (const Format& format : FORMATS) {
        const std::unique_ptr<VideoEncoderBuilder> builder(format.create());
        const QString output =
            m_media.filePath(format.name + QLatin1Char('.') + builder->getExtension());
        m_encoded.insert(format.name, output);
        encoders.emplace_back(builder->createEncoder(clip, output, parameters));
        finished.emplace_back(new QSignalSpy(encoders.back().get(), &VideoEncoder::finished));
    }
    for (const auto& encoder : encoders)
        encoder->start();
    for (size_t i = 0; i < encoders.size(); ++i) {
        QTRY_VERIFY_WITH_TIMEOUT(!finished.at(i)->isEmpty(), 240000);
        QVERIFY2(!finished.at(i)->first().first().toBool(),
                 qPrintable(encoders.at(i)->getErrorLog()));
    }
}

QString TestPublishedPage::publish(TemporaryFolder& folder, const QStringList& formats,
                                   bool autoplay) const
{
    Parameters parameters = {
        {PUBLISH_TYPE, PUBLISH_TYPE_LOCAL},
        {PUBLISH_PATH, folder.path()},
        {PUBLISH_INDEX_FILE, QStringLiteral("index.html")},
        {VIDEO_SOURCE, QStringLiteral("/videos/My clip.mov")},
        {VIDEO_TITLE, QStringLiteral("A generated clip")},
        {VIDEO_SIZE, QSize(320, 180)},
        {VIDEO_AUTOPLAY, autoplay},
        {VIDEO_LOOP, false},
        {VIDEO_CONTROLS, true},
        {VIDEO_FLASH, true},
        {VIDEO_POSTER_PATH, m_poster},
    };
    for (const QString& format : formats)
        parameters.insert(format, m_encoded.value(format));
    PublishThread job(nullptr, parameters);
    job.makeUri(QString());
    job.start();
    if (!job.wait(60000) || job.hasError())
        return job.getError() + QStringLiteral(" (publish failed)");
    return QString();
}

void TestPublishedPage::playback_data()
{
    QTest::addColumn<QStringList>("formats");
    QTest::addColumn<bool>("autoplay");
    QTest::addColumn<QStringList>("browserArguments");
    QTest::addColumn<QString>("playedFile");
    QTest::addColumn<bool>("muted");
    QTest::addColumn<int>("unmuteButtons");

    QTest::newRow("MP4 and WebM") << QStringList {VIDEO_MPEG4_FORMAT, VIDEO_WEBM_FORMAT} << false
                                  << QStringList() << "My_clip.m4v" << false << 0;
    QTest::newRow("WebM alone") << QStringList {VIDEO_WEBM_FORMAT} << false << QStringList()
                                << "My_clip.webm" << false << 0;
    QTest::newRow("Theora and low MP4: on to the low MP4")
        << QStringList {VIDEO_THEORA_FORMAT, VIDEO_LOW_MPEG4_FORMAT} << false << QStringList()
        << "My_clip.mp4" << false << 0;
    QTest::newRow("autoplay refused: muted with an unmute button")
        << QStringList {VIDEO_MPEG4_FORMAT, VIDEO_WEBM_FORMAT} << true
        << QStringList {QStringLiteral("--autoplay-policy=document-user-activation-required")}
        << "My_clip.m4v" << true << 1;
}

void TestPublishedPage::playback()
{
    QFETCH(QStringList, formats);
    QFETCH(bool, autoplay);
    QFETCH(QStringList, browserArguments);
    QFETCH(QString, playedFile);
    QFETCH(bool, muted);
    QFETCH(int, unmuteButtons);

    TemporaryFolder site;
    const QString failure = publish(site, formats, autoplay);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    LoopbackHttpServer server(site.path());
    QVERIFY(server.start());

    QString diagnostics;
    const QJsonObject report =
        probePage(server, QStringLiteral("/index.html"), browserArguments, &diagnostics);
    QVERIFY2(!report.isEmpty(), qPrintable(diagnostics));
    const QByteArray seen = QJsonDocument(report).toJson(QJsonDocument::Compact);
    QVERIFY2(!report.value(QStringLiteral("timedOut")).toBool(), seen.constData());
    const QJsonArray videos = report.value(QStringLiteral("videos")).toArray();
    QCOMPARE(videos.size(), 1);
    const QJsonObject video = videos.first().toObject();
    QVERIFY2(video.value(QStringLiteral("currentSrc"))
                 .toString()
                 .endsWith(QStringLiteral("/index.files/vudi5dozur/") + playedFile),
             seen.constData());
    QVERIFY2(video.value(QStringLiteral("videoWidth")).toInt() > 0, seen.constData());
    QVERIFY2(video.value(QStringLiteral("readyState")).toInt() >= 2, seen.constData());
    QVERIFY2(video.value(QStringLiteral("error")).isNull(), seen.constData());
    QCOMPARE(video.value(QStringLiteral("muted")).toBool(), muted);
    if (autoplay)
        QVERIFY2(!video.value(QStringLiteral("paused")).toBool(), seen.constData());
    QCOMPARE(report.value(QStringLiteral("unmuteButtons")).toInt(), unmuteButtons);
    QCOMPARE(report.value(QStringLiteral("creditsShown")).toInt(), 0);
    const QJsonArray buttons = report.value(QStringLiteral("fullscreenButtons")).toArray();
    QCOMPARE(buttons.size(), 1);
    QVERIFY2(buttons.first().toObject().value(QStringLiteral("imageWidth")).toInt() > 0,
             seen.constData());
    // The published folder served everything the page asked for.
    QVERIFY(server.requests().contains(
        QStringLiteral("GET /index.files/vudi5dozur/html5ext.js HTTP/1.1")));
}

void TestPublishedPage::layout_data()
{
    QTest::addColumn<int>("viewport");

    QTest::newRow("wide: centred at its own width") << 1200;
    // Headless windows are at least 500 pixels wide: the phone is a frame.
    QTest::newRow("narrow phone: scaled down") << 300;
}

void TestPublishedPage::layout()
{
    QFETCH(int, viewport);

    TemporaryFolder site;
    const QString failure = publish(site, {VIDEO_WEBM_FORMAT}, false);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    QVERIFY(!site.writeFile(QStringLiteral("phone.html"),
                            QStringLiteral("<!DOCTYPE html><html><body style=\"margin:0\">"
                                           "<iframe data-probe-frame src=\"index.html\" "
                                           "style=\"width:%1px;height:640px;border:0\"></iframe>"
                                           "</body></html>")
                                .arg(viewport)
                                .toUtf8())
                 .isEmpty());
    LoopbackHttpServer server(site.path());
    QVERIFY(server.start());
    QString diagnostics;
    const QJsonObject report = probePage(
        server, viewport < 500 ? QStringLiteral("/phone.html") : QStringLiteral("/index.html"),
        {QStringLiteral("--window-size=%1,800").arg(std::max(viewport, 800))}, &diagnostics);
    QVERIFY2(!report.isEmpty(), qPrintable(diagnostics));
    const QByteArray seen = QJsonDocument(report).toJson(QJsonDocument::Compact);
    const QJsonObject block = report.value(QStringLiteral("blocks")).toArray().first().toObject();
    QCOMPARE(report.value(QStringLiteral("viewportWidth")).toInt(), viewport);
    const double width = block.value(QStringLiteral("width")).toDouble();
    // Never wider than the video, never wider than the window, no sideways scrolling.
    QVERIFY2(width <= 320.5, seen.constData());
    QVERIFY2(width <= viewport, seen.constData());
    QVERIFY2(report.value(QStringLiteral("scrollWidth")).toInt() <= viewport, seen.constData());
    QVERIFY2(qAbs(block.value(QStringLiteral("left")).toDouble() -
                  block.value(QStringLiteral("right")).toDouble()) <= 1.0,
             seen.constData());
    if (viewport < 320)
        QVERIFY2(width < 320 && width > viewport / 2, seen.constData());
}

QTEST_GUILESS_MAIN(TestPublishedPage)
#include "tst_publishedpage.moc"
