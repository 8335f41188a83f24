#include "headlesschromium.h"
#include "loopbackhttpserver.h"
#include "pageprobe.h"
#include "temporaryfolder.h"
#include "testmedia.h"
#include "util/miscutils.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

// The support script of published blocks, in a real browser: hand-written
// pages with blocks of the published shape and clips made by ffmpeg, served
// over loopback HTTP to headless Chromium.
class TestHtml5Ext : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void page_data();
    void page();
    void blocksOfOnePageAreSetUpOnce();

private:
    QString media(const QString& name) const { return m_media.value(name); }
    QString writePage(TemporaryFolder& folder, const QStringList& blocks) const;

    QHash<QString, QString> m_media;
};

namespace {
const QStringList COLOR_VIDEO = {
    QStringLiteral("-f"),       QStringLiteral("lavfi"),
    QStringLiteral("-i"),       QStringLiteral("testsrc2=size=320x180:rate=25:duration=4"),
    QStringLiteral("-f"),       QStringLiteral("lavfi"),
    QStringLiteral("-i"),       QStringLiteral("sine=frequency=440:duration=4"),
    QStringLiteral("-shortest")};

// A block as the program writes it: sources in the order MP4, WebM, Ogg,
// low MP4; `attributes` go on the video start tag; the support script comes
// from `folder`.
QString block(const QString& attributes, const QStringList& sources,
              const QString& folder = QStringLiteral("media"))
{
    QString text = QStringLiteral("<div class=\"tovalumen\" style=\"position:relative;"
                                  "max-width:320px;\"><video %1 style=\"width:100%\" "
                                  "title=\"t\">\r\n")
                       .arg(attributes);
    for (const QString& source : sources)
        text += source + QStringLiteral("\r\n");
    text += QStringLiteral("</video><div class=\"tlm_script\"><a href=\"http://example.org\">"
                           "x</a> by y v1</div></div>\r\n"
                           "<script src=\"") +
        folder + QStringLiteral("/html5ext.js\" type=\"text/javascript\"></script>\r\n");
    return text;
}

QString source(const QString& file, const QString& type)
{
    return type.isEmpty()
        ? QStringLiteral("<source src=\"media/%1\" />").arg(file)
        : QStringLiteral("<source src=\"media/%1\" type=\"%2\" />").arg(file, type);
}

QJsonObject onlyVideo(const QJsonObject& report)
{
    const QJsonArray videos = report.value(QStringLiteral("videos")).toArray();
    return videos.size() == 1 ? videos.first().toObject() : QJsonObject();
}
} // namespace

void TestHtml5Ext::initTestCase()
{
    QVERIFY2(QFile::exists(HeadlessChromium::program()), "chromium is not installed");
    const QStringList h264 = {QStringLiteral("-c:v"),      QStringLiteral("libx264"),
                              QStringLiteral("-preset"),   QStringLiteral("ultrafast"),
                              QStringLiteral("-pix_fmt"),  QStringLiteral("yuv420p"),
                              QStringLiteral("-c:a"),      QStringLiteral("aac"),
                              QStringLiteral("-movflags"), QStringLiteral("+faststart")};
    m_media.insert(QStringLiteral("clip.m4v"),
                   TestMedia::generate(COLOR_VIDEO + h264, QStringLiteral("m4v")));
    m_media.insert(QStringLiteral("clip.mp4"),
                   TestMedia::generate(
                       COLOR_VIDEO + h264 +
                           QStringList {QStringLiteral("-profile:v"), QStringLiteral("baseline"),
                                        QStringLiteral("-s"), QStringLiteral("160x90")},
                       QStringLiteral("mp4")));
    m_media.insert(
        QStringLiteral("clip.webm"),
        TestMedia::generate(COLOR_VIDEO +
                                QStringList {QStringLiteral("-c:v"), QStringLiteral("libvpx"),
                                             QStringLiteral("-b:v"), QStringLiteral("300k"),
                                             QStringLiteral("-c:a"), QStringLiteral("libvorbis")},
                            QStringLiteral("webm")));
    m_media.insert(
        QStringLiteral("clip.ogv"),
        TestMedia::generate(COLOR_VIDEO +
                                QStringList {QStringLiteral("-c:v"), QStringLiteral("libtheora"),
                                             QStringLiteral("-q:v"), QStringLiteral("5"),
                                             QStringLiteral("-c:a"), QStringLiteral("libvorbis")},
                            QStringLiteral("ogv")));
    for (auto it = m_media.cbegin(); it != m_media.cend(); ++it)
        QVERIFY2(!it.value().isEmpty(), qPrintable(it.key()));
}

QString TestHtml5Ext::writePage(TemporaryFolder& folder, const QStringList& blocks) const
{
    QDir().mkpath(folder.filePath(QStringLiteral("media")));
    const QString publish = getResourcesPath() + QStringLiteral("/publish/");
    for (const QString& support : {QStringLiteral("html5ext.js"), QStringLiteral("fullscreen.png")})
        QFile::copy(publish + support, folder.filePath(QStringLiteral("media/") + support));
    for (auto it = m_media.cbegin(); it != m_media.cend(); ++it)
        QFile::copy(it.value(), folder.filePath(QStringLiteral("media/") + it.key()));
    return folder.writeFile(QStringLiteral("page.html"),
                            QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                                           "<title>t</title></head><body>\r\n%1</body></html>")
                                .arg(blocks.join(QString()))
                                .toUtf8());
}

void TestHtml5Ext::page_data()
{
    QTest::addColumn<QString>("attributes");
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QStringList>("browserArguments");
    QTest::addColumn<QString>("playedFile");
    QTest::addColumn<bool>("muted");
    QTest::addColumn<int>("unmuteButtons");
    QTest::addColumn<int>("fullscreenButtons");

    const QString mp4 = source(QStringLiteral("clip.m4v"), QStringLiteral("video/mp4"));
    const QString webm = source(QStringLiteral("clip.webm"), QStringLiteral("video/webm"));
    const QString ogg = source(QStringLiteral("clip.ogv"), QStringLiteral("video/ogg"));
    const QString lowMp4 = source(QStringLiteral("clip.mp4"), QString());
    const QString controls = QStringLiteral("controls=\"controls\"");
    const QString autoplay = QStringLiteral("autoplay=\"autoplay\"");
    const QStringList gestureNeeded = {
        QStringLiteral("--autoplay-policy=document-user-activation-required")};
    const QStringList noGestureNeeded = {
        QStringLiteral("--autoplay-policy=no-user-gesture-required")};

    QTest::newRow("MP4 and WebM: MP4 with a full-screen button")
        << controls << QStringList {mp4, webm} << QStringList() << "clip.m4v" << false << 0 << 1;
    QTest::newRow("WebM alone") << controls << QStringList {webm} << QStringList() << "clip.webm"
                                << false << 0 << 1;
    QTest::newRow("Theora gives no picture: on to the low MP4")
        << controls << QStringList {ogg, lowMp4} << QStringList() << "clip.mp4" << false << 0 << 1;
    QTest::newRow("Theora first, autoplay refused: low MP4, muted")
        << controls + QLatin1Char(' ') + autoplay << QStringList {ogg, lowMp4} << gestureNeeded
        << "clip.mp4" << true << 1 << 1;
    QTest::newRow("autoplay refused: plays muted with an unmute button")
        << controls + QLatin1Char(' ') + autoplay << QStringList {mp4, webm} << gestureNeeded
        << "clip.m4v" << true << 1 << 1;
    QTest::newRow("autoplay allowed: plays with sound")
        << autoplay << QStringList {mp4, webm} << noGestureNeeded << "clip.m4v" << false << 0 << 0;
    QTest::newRow("no controls: no full-screen button")
        << QString() << QStringList {webm} << QStringList() << "clip.webm" << false << 0 << 0;
}

void TestHtml5Ext::page()
{
    QFETCH(QString, attributes);
    QFETCH(QStringList, sources);
    QFETCH(QStringList, browserArguments);
    QFETCH(QString, playedFile);
    QFETCH(bool, muted);
    QFETCH(int, unmuteButtons);
    QFETCH(int, fullscreenButtons);

    TemporaryFolder folder;
    QVERIFY(!writePage(folder, {block(attributes, sources)}).isEmpty());
    LoopbackHttpServer server(folder.path());
    QVERIFY(server.start());

    QString diagnostics;
    const QJsonObject report =
        probePage(server, QStringLiteral("/page.html"), browserArguments, &diagnostics);
    QVERIFY2(!report.isEmpty(), qPrintable(diagnostics));
    const QByteArray seen = QJsonDocument(report).toJson(QJsonDocument::Compact);
    QVERIFY2(!report.value(QStringLiteral("timedOut")).toBool(), seen.constData());

    const QJsonObject video = onlyVideo(report);
    QVERIFY2(video.value(QStringLiteral("currentSrc"))
                 .toString()
                 .endsWith(QLatin1Char('/') + playedFile),
             seen.constData());
    QVERIFY2(video.value(QStringLiteral("videoWidth")).toInt() > 0, seen.constData());
    QVERIFY2(video.value(QStringLiteral("readyState")).toInt() >= 2, seen.constData());
    QVERIFY2(video.value(QStringLiteral("error")).isNull(), seen.constData());
    QCOMPARE(video.value(QStringLiteral("muted")).toBool(), muted);
    if (attributes.contains(QLatin1String("autoplay")))
        QVERIFY2(!video.value(QStringLiteral("paused")).toBool(), seen.constData());
    QCOMPARE(report.value(QStringLiteral("unmuteButtons")).toInt(), unmuteButtons);
    QCOMPARE(report.value(QStringLiteral("creditsShown")).toInt(), 0);

    const QJsonArray buttons = report.value(QStringLiteral("fullscreenButtons")).toArray();
    QCOMPARE(buttons.size(), fullscreenButtons);
    for (const QJsonValue& button : buttons) {
        // The icon is fetched from the script's own folder and loads.
        QVERIFY2(button.toObject()
                     .value(QStringLiteral("image"))
                     .toString()
                     .endsWith(QLatin1String("/media/fullscreen.png")),
                 seen.constData());
        QVERIFY2(button.toObject().value(QStringLiteral("imageWidth")).toInt() > 0,
                 seen.constData());
    }
}

void TestHtml5Ext::blocksOfOnePageAreSetUpOnce()
{
    // Every block brings its own copy of the script from its own media folder;
    // a page with several blocks runs it several times. Each block must still
    // get one button of each kind, with the icon from its own folder: the
    // first folder here has none, as a block without controls is published.
    TemporaryFolder folder;
    QVERIFY(QDir().mkpath(folder.filePath(QStringLiteral("first"))));
    QVERIFY(QFile::copy(getResourcesPath() + QStringLiteral("/publish/html5ext.js"),
                        folder.filePath(QStringLiteral("first/html5ext.js"))));
    const QString autoplay = QStringLiteral("autoplay=\"autoplay\"");
    const QString controls = QStringLiteral("controls=\"controls\" ");
    const QString webm = source(QStringLiteral("clip.webm"), QStringLiteral("video/webm"));
    const QString mp4 = source(QStringLiteral("clip.m4v"), QStringLiteral("video/mp4"));
    QVERIFY(!writePage(folder,
                       {block(autoplay, {mp4}, QStringLiteral("first")),
                        block(controls + autoplay, {webm}), block(controls + autoplay, {mp4})})
                 .isEmpty());
    LoopbackHttpServer server(folder.path());
    QVERIFY(server.start());

    QString diagnostics;
    const QJsonObject report = probePage(
        server, QStringLiteral("/page.html"),
        {QStringLiteral("--autoplay-policy=document-user-activation-required")}, &diagnostics);
    QVERIFY2(!report.isEmpty(), qPrintable(diagnostics));
    const QByteArray seen = QJsonDocument(report).toJson(QJsonDocument::Compact);
    QVERIFY2(!report.value(QStringLiteral("timedOut")).toBool(), seen.constData());
    QCOMPARE(report.value(QStringLiteral("videos")).toArray().size(), 3);
    QCOMPARE(report.value(QStringLiteral("unmuteButtons")).toInt(), 3);
    QCOMPARE(report.value(QStringLiteral("creditsShown")).toInt(), 0);
    const QJsonArray buttons = report.value(QStringLiteral("fullscreenButtons")).toArray();
    QCOMPARE(buttons.size(), 2);
    for (const QJsonValue& button : buttons) {
        QVERIFY2(button.toObject()
                     .value(QStringLiteral("image"))
                     .toString()
                     .endsWith(QLatin1String("/media/fullscreen.png")),
                 seen.constData());
        QVERIFY2(button.toObject().value(QStringLiteral("imageWidth")).toInt() > 0,
                 seen.constData());
    }
}

QTEST_GUILESS_MAIN(TestHtml5Ext)
#include "tst_html5ext.moc"
