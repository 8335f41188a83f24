#include "project/projectsettings.h"
#include "publish/publishthread.h"
#include "util/appidentity.h"

#include <QCoreApplication>
#include <QSize>
#include <QTest>

using Parameters = QMap<QString, QVariant>;

// The video block and the addresses of the published files, compared byte
// for byte: line breaks, spaces and the order of the sources are what pages
// and the page insertion rely on.
class TestVideoElement : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fragment_data();
    void fragment();
    void addresses_data();
    void addresses();
    void placeholderSuffixSurvivesEncoding();
};

namespace {
// A single publish of clip.mov into index.html, MP4 and WebM with a poster,
// the program's default player options.
Parameters baseParameters()
{
    return {
        {PUBLISH_TYPE, PUBLISH_TYPE_LOCAL},
        {PUBLISH_INDEX_FILE, QStringLiteral("index.html")},
        {VIDEO_SOURCE, QStringLiteral("/videos/clip.mov")},
        {VIDEO_TITLE, QStringLiteral("Clip")},
        {VIDEO_SIZE, QSize(320, 240)},
        {VIDEO_AUTOPLAY, true},
        {VIDEO_LOOP, false},
        {VIDEO_CONTROLS, true},
        {VIDEO_FLASH, true},
        {VIDEO_POSTER_PATH, QStringLiteral("/tmp/poster.jpg")},
        {VIDEO_MPEG4_FORMAT, QStringLiteral("/tmp/out.m4v")},
        {VIDEO_WEBM_FORMAT, QStringLiteral("/tmp/out.webm")},
    };
}

// The application's identity, which the block names.
QString identified(QString text)
{
    return text.replace(QStringLiteral("{ORG}"), QCoreApplication::organizationName())
        .replace(QStringLiteral("{DOMAIN}"), QCoreApplication::organizationDomain())
        .replace(QStringLiteral("{VERSION}"), QCoreApplication::applicationVersion());
}

const char HEAD[] = "<!-- Start {ORG} BODY section -->\r\n"
                    "<style type=\"text/css\">.tovalumen .tlm_script{display:none}</style>\r\n";
const char CREDIT[] = "<div class=\"tlm_script\"><a href=\"http://{DOMAIN}\">duvo5 rezar "
                      "idurizadu</a> by {ORG} v{VERSION}</div></div>\r\n";
const char TAIL[] = "<!-- End {ORG} BODY section -->\r\n";

QString scriptTag(const QString& files)
{
    return QStringLiteral("<script src=\"%1html5ext.js\" type=\"text/javascript\"></script>\r\n")
        .arg(files);
}

struct Flash
{
    QString files = QStringLiteral("index.files/vudi5dozur/");
    QString size = QStringLiteral("width=\"320\" height=\"240\"");
    QString variables = QStringLiteral(
        "autoplay=true&amp;controls=true&amp;fullScreenEnabled=true&amp;posterOnEnd=true&amp;"
        "loop=false&amp;poster=index.files/vudi5dozur/clip.jpg&amp;src=clip.m4v");
    QString title = QStringLiteral("Clip");
    QString poster = QStringLiteral("index.files/vudi5dozur/clip.jpg");

    QString text() const
    {
        return QStringLiteral("<object type=\"application/x-shockwave-flash\" "
                              "data=\"%1plavex.swf\" %2 style=\"position:relative;\">\r\n"
                              "<param name=\"movie\" value=\"%1plavex.swf\" />\r\n"
                              "<param name=\"allowFullScreen\" value=\"true\" />\r\n"
                              "<param name=\"flashVars\" value=\"%3\" />\r\n"
                              " <embed src=\"%1plavex.swf\" %2 style=\"position:relative;\"  "
                              "flashVars=\"%3\"\tallowFullScreen=\"true\" wmode=\"transparent\" "
                              "type=\"application/x-shockwave-flash\" "
                              "pluginspage=\"http://www.adobe.com/go/getflashplayer\" />\r\n"
                              "<img alt=\"%4\" src=\"%5\" style=\"position:absolute;left:0;\" "
                              "width=\"100%\" title=\"Video playback is not supported by your "
                              "browser\" />\r\n"
                              "</object>\r\n")
            .arg(files, size, variables, title, poster);
    }
};
} // namespace

void TestVideoElement::initTestCase()
{
    AppIdentity::apply();
}

void TestVideoElement::fragment_data()
{
    QTest::addColumn<Parameters>("parameters");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expected");

    const QString files = QStringLiteral("index.files/vudi5dozur/");
    const QString head = QLatin1String(HEAD);
    const QString credit = QLatin1String(CREDIT);
    const QString tail = QLatin1String(TAIL);
    const QString wrapper320 =
        QStringLiteral("<div class=\"tovalumen\" style=\"position:relative;max-width:320px;\">");
    const QString mp4Source =
        QStringLiteral("<source src=\"index.files/vudi5dozur/clip.m4v\" type=\"video/mp4\" />\r\n");
    const QString webmSource = QStringLiteral(
        "<source src=\"index.files/vudi5dozur/clip.webm\" type=\"video/webm\" />\r\n");
    const QString defaultStart = QStringLiteral(
        "<video controls=\"controls\"  autoplay=\"autoplay\" "
        "poster=\"index.files/vudi5dozur/clip.jpg\" style=\"width:100%\" title=\"Clip\">\r\n");

    QTest::newRow("MP4 and WebM with Flash and poster") << baseParameters() << QString()
                                                        << head + wrapper320 + defaultStart +
            mp4Source + webmSource + Flash().text() + "</video>" + credit + scriptTag(files) + tail;

    Parameters nothing = baseParameters();
    nothing.remove(VIDEO_MPEG4_FORMAT);
    nothing.remove(VIDEO_WEBM_FORMAT);
    nothing.insert(VIDEO_FLASH, false);
    QTest::newRow("no format and no Flash")
        << nothing << QString() << head + wrapper320 + credit + scriptTag(files) + tail;

    Parameters flashWithoutMp4 = baseParameters();
    flashWithoutMp4.remove(VIDEO_MPEG4_FORMAT);
    QTest::newRow("Flash without MP4") << flashWithoutMp4 << QString()
                                       << head + wrapper320 + defaultStart + webmSource +
            "</video>" + credit + scriptTag(files) + tail;

    Parameters lowOnly = baseParameters();
    lowOnly.remove(VIDEO_MPEG4_FORMAT);
    lowOnly.remove(VIDEO_WEBM_FORMAT);
    lowOnly.insert(VIDEO_LOW_MPEG4_FORMAT, QStringLiteral("/tmp/low.mp4"));
    QTest::newRow("only the low MP4") << lowOnly << QString()
                                      << head + wrapper320 + defaultStart +
            "<source src=\"index.files/vudi5dozur/clip.mp4\" />\r\n</video>" + credit +
            scriptTag(files) + tail;

    Parameters allFormats = baseParameters();
    allFormats.insert(VIDEO_THEORA_FORMAT, QStringLiteral("/tmp/t.ogv"));
    allFormats.insert(VIDEO_LOW_MPEG4_FORMAT, QStringLiteral("/tmp/low.mp4"));
    QTest::newRow("all formats in fixed order")
        << allFormats << QString()
        << head + wrapper320 + defaultStart + mp4Source + webmSource +
            "<source src=\"index.files/vudi5dozur/clip.ogv\" type=\"video/ogg\" />\r\n"
            "<source src=\"index.files/vudi5dozur/clip.mp4\" />\r\n" +
            Flash().text() + "</video>" + credit + scriptTag(files) + tail;

    Parameters noPoster = baseParameters();
    noPoster.remove(VIDEO_POSTER_PATH);
    noPoster.remove(VIDEO_WEBM_FORMAT);
    Flash noPosterFlash;
    noPosterFlash.poster.clear();
    noPosterFlash.variables.replace(QStringLiteral("poster=index.files/vudi5dozur/clip.jpg"),
                                    QStringLiteral("poster="));
    QTest::newRow("no poster") << noPoster << QString()
                               << head + wrapper320 +
            "<video controls=\"controls\"  autoplay=\"autoplay\" poster=\"\" style=\"width:100%\" "
            "title=\"Clip\">\r\n" +
            mp4Source + noPosterFlash.text() + "</video>" + credit + scriptTag(files) + tail;

    Parameters quoted = baseParameters();
    quoted.remove(VIDEO_WEBM_FORMAT);
    quoted.insert(VIDEO_TITLE, QStringLiteral("Say \"hi\" <b>& bye</b> %2"));
    Flash quotedFlash;
    quotedFlash.title = QStringLiteral("Say &quot;hi&quot; <b>& bye</b> %2");
    QTest::newRow("title with quotes and angle brackets") << quoted << QString()
                                                          << head + wrapper320 +
            "<video controls=\"controls\"  autoplay=\"autoplay\" "
            "poster=\"index.files/vudi5dozur/clip.jpg\" style=\"width:100%\" "
            "title=\"Say &quot;hi&quot; <b>& bye</b> %2\">\r\n" +
            mp4Source + quotedFlash.text() + "</video>" + credit + scriptTag(files) + tail;

    Parameters spaced = baseParameters();
    spaced.remove(VIDEO_WEBM_FORMAT);
    spaced.insert(VIDEO_SOURCE, QStringLiteral("/videos/My clip.final.mov"));
    Flash spacedFlash;
    spacedFlash.variables.replace(QStringLiteral("clip.jpg"), QStringLiteral("My_clip.final.jpg"))
        .replace(QStringLiteral("src=clip.m4v"), QStringLiteral("src=My_clip.final.m4v"));
    spacedFlash.poster = QStringLiteral("index.files/vudi5dozur/My_clip.final.jpg");
    QTest::newRow("My clip.final.mov") << spaced << QString()
                                       << head + wrapper320 +
            "<video controls=\"controls\"  autoplay=\"autoplay\" "
            "poster=\"index.files/vudi5dozur/My_clip.final.jpg\" style=\"width:100%\" "
            "title=\"Clip\">\r\n"
            "<source src=\"index.files/vudi5dozur/My_clip.final.m4v\" type=\"video/mp4\" />\r\n" +
            spacedFlash.text() + "</video>" + credit + scriptTag(files) + tail;

    Parameters plus = baseParameters();
    plus.remove(VIDEO_WEBM_FORMAT);
    plus.insert(VIDEO_SOURCE, QStringLiteral("/videos/a+b.mov"));
    plus.insert(PUBLISH_INDEX_FILE, QStringLiteral("my page.html"));
    Flash plusFlash;
    plusFlash.files = QStringLiteral("my%20page.files/vudi5dozur/");
    plusFlash.poster = QStringLiteral("my%20page.files/vudi5dozur/a%2Bb.jpg");
    plusFlash.variables = QStringLiteral(
        "autoplay=true&amp;controls=true&amp;fullScreenEnabled=true&amp;posterOnEnd=true&amp;"
        "loop=false&amp;poster=my%2520page.files/vudi5dozur/a%252Bb.jpg&amp;src=a%252Bb.m4v");
    QTest::newRow("plus sign and space in names") << plus << QString()
                                                  << head + wrapper320 +
            "<video controls=\"controls\"  autoplay=\"autoplay\" "
            "poster=\"my%20page.files/vudi5dozur/a%2Bb.jpg\" style=\"width:100%\" "
            "title=\"Clip\">\r\n"
            "<source src=\"my%20page.files/vudi5dozur/a%2Bb.m4v\" type=\"video/mp4\" />\r\n" +
            plusFlash.text() + "</video>" + credit +
            scriptTag(QStringLiteral("my%20page.files/vudi5dozur/")) + tail;

    Parameters wide = baseParameters();
    wide.remove(VIDEO_WEBM_FORMAT);
    wide.insert(VIDEO_SIZE, QSize(640, 360));
    Flash wideFlash;
    wideFlash.size = QStringLiteral("width=\"640\" height=\"360\"");
    QTest::newRow("640x360") << wide << QString()
                             << head +
            "<div class=\"tovalumen\" style=\"position:relative;max-width:640px;\">" +
            defaultStart + mp4Source + wideFlash.text() + "</video>" + credit + scriptTag(files) +
            tail;

    Parameters allFalse = baseParameters();
    allFalse.remove(VIDEO_WEBM_FORMAT);
    allFalse.insert(VIDEO_AUTOPLAY, false);
    allFalse.insert(VIDEO_CONTROLS, false);
    Flash falseFlash;
    falseFlash.variables.replace(QStringLiteral("autoplay=true"), QStringLiteral("autoplay=false"))
        .replace(QStringLiteral("controls=true"), QStringLiteral("controls=false"))
        .replace(QStringLiteral("fullScreenEnabled=true"),
                 QStringLiteral("fullScreenEnabled=false"));
    QTest::newRow("autoplay, loop and controls false") << allFalse << QString()
                                                       << head + wrapper320 +
            "<video  poster=\"index.files/vudi5dozur/clip.jpg\" style=\"width:100%\" "
            "title=\"Clip\">\r\n" +
            mp4Source + falseFlash.text() + "</video>" + credit + scriptTag(files) + tail;

    Parameters looping = baseParameters();
    looping.remove(VIDEO_WEBM_FORMAT);
    looping.insert(VIDEO_AUTOPLAY, false);
    looping.insert(VIDEO_LOOP, true);
    Flash loopFlash;
    loopFlash.variables.replace(QStringLiteral("autoplay=true"), QStringLiteral("autoplay=false"))
        .replace(QStringLiteral("loop=false"), QStringLiteral("loop=true"));
    QTest::newRow("loop, controls, no autoplay") << looping << QString()
                                                 << head + wrapper320 +
            "<video controls=\"controls\"  poster=\"index.files/vudi5dozur/clip.jpg\" "
            "style=\"width:100%\" title=\"Clip\" loop=\"loop\" "
            "onended=\"var v=this;setTimeout(function(){v.play()},300)\">\r\n" +
            mp4Source + loopFlash.text() + "</video>" + credit + scriptTag(files) + tail;

    Parameters batch = baseParameters();
    batch.remove(VIDEO_MPEG4_FORMAT);
    QTest::newRow("numbered media folder") << batch << QStringLiteral("2")
                                           << head + wrapper320 +
            "<video controls=\"controls\"  autoplay=\"autoplay\" "
            "poster=\"index.files/vudi5dozur2/clip.jpg\" style=\"width:100%\" "
            "title=\"Clip\">\r\n"
            "<source src=\"index.files/vudi5dozur2/clip.webm\" type=\"video/webm\" />\r\n"
            "</video>" +
            credit + scriptTag(QStringLiteral("index.files/vudi5dozur2/")) + tail;

    Parameters intoPage = baseParameters();
    intoPage.remove(VIDEO_MPEG4_FORMAT);
    intoPage.insert(PUBLISH_TYPE, PUBLISH_TYPE_HTML);
    intoPage.insert(PUBLISH_HTML, QStringLiteral("/site/about.us.htm"));
    QTest::newRow("inserted into a page: named after the page") << intoPage << QString()
                                                                << head + wrapper320 +
            "<video controls=\"controls\"  autoplay=\"autoplay\" "
            "poster=\"about.us.files/vudi5dozur/clip.jpg\" style=\"width:100%\" "
            "title=\"Clip\">\r\n"
            "<source src=\"about.us.files/vudi5dozur/clip.webm\" type=\"video/webm\" />\r\n"
            "</video>" +
            credit + scriptTag(QStringLiteral("about.us.files/vudi5dozur/")) + tail;

    Parameters placeholder = baseParameters();
    placeholder.remove(VIDEO_WEBM_FORMAT);
    Flash placeholderFlash;
    placeholderFlash.files = QStringLiteral("index.files/vudi5dozur%24SUFFIX%24/");
    placeholderFlash.poster = QStringLiteral("index.files/vudi5dozur%24SUFFIX%24/clip.jpg");
    placeholderFlash.variables.replace(
        QStringLiteral("poster=index.files/vudi5dozur/clip.jpg"),
        QStringLiteral("poster=index.files/vudi5dozur%2524SUFFIX%2524/clip.jpg"));
    QTest::newRow("placeholder suffix for the page insertion")
        << placeholder << QStringLiteral("$SUFFIX$")
        << head + wrapper320 +
            "<video controls=\"controls\"  autoplay=\"autoplay\" "
            "poster=\"index.files/vudi5dozur%24SUFFIX%24/clip.jpg\" style=\"width:100%\" "
            "title=\"Clip\">\r\n"
            "<source src=\"index.files/vudi5dozur%24SUFFIX%24/clip.m4v\" type=\"video/mp4\" "
            "/>\r\n" +
            placeholderFlash.text() + "</video>" + credit +
            scriptTag(QStringLiteral("index.files/vudi5dozur%24SUFFIX%24/")) + tail;
}

void TestVideoElement::fragment()
{
    QFETCH(Parameters, parameters);
    QFETCH(QString, suffix);
    QFETCH(QString, expected);

    PublishThread job(nullptr, parameters);
    job.makeUri(suffix);
    QCOMPARE(job.createVideoElement(), identified(expected));
}

void TestVideoElement::addresses_data()
{
    QTest::addColumn<Parameters>("parameters");
    QTest::addColumn<Parameters>("addresses");

    Parameters all = baseParameters();
    all.insert(VIDEO_THEORA_FORMAT, QStringLiteral("/tmp/t.ogv"));
    all.insert(VIDEO_LOW_MPEG4_FORMAT, QStringLiteral("/tmp/low.mp4"));
    all.insert(VIDEO_SOURCE, QStringLiteral("/videos/My clip.final.mov"));
    const QString folder = QStringLiteral("index.files/vudi5dozur/");
    QTest::newRow("every file")
        << all
        << Parameters {
               {QStringLiteral("FilesUri"), folder},
               {QStringLiteral("PosterUri"), QString(folder + "My_clip.final.jpg")},
               {QStringLiteral("VideoMpeg4Uri"), QString(folder + "My_clip.final.m4v")},
               {QStringLiteral("VideoWebMUri"), QString(folder + "My_clip.final.webm")},
               {QStringLiteral("VideoTheoraUri"), QString(folder + "My_clip.final.ogv")},
               {QStringLiteral("VideoLowMpeg4Uri"), QString(folder + "My_clip.final.mp4")},
               {QStringLiteral("VideoFlashUri"), QStringLiteral("My_clip.final.m4v")},
           };

    Parameters flashWithoutMp4 = baseParameters();
    flashWithoutMp4.remove(VIDEO_MPEG4_FORMAT);
    flashWithoutMp4.remove(VIDEO_POSTER_PATH);
    flashWithoutMp4.insert(PUBLISH_INDEX_FILE, QStringLiteral("index"));
    QTest::newRow("no MP4, no poster, page without suffix")
        << flashWithoutMp4
        << Parameters {{QStringLiteral("FilesUri"), QStringLiteral("index.files/vudi5dozur/")},
                       {QStringLiteral("VideoWebMUri"),
                        QStringLiteral("index.files/vudi5dozur/clip.webm")}};

    Parameters noFlash = baseParameters();
    noFlash.insert(VIDEO_FLASH, false);
    noFlash.remove(VIDEO_WEBM_FORMAT);
    noFlash.remove(VIDEO_POSTER_PATH);
    QTest::newRow("MP4 without Flash")
        << noFlash
        << Parameters {{QStringLiteral("FilesUri"), QStringLiteral("index.files/vudi5dozur/")},
                       {QStringLiteral("VideoMpeg4Uri"),
                        QStringLiteral("index.files/vudi5dozur/clip.m4v")}};
}

void TestVideoElement::addresses()
{
    QFETCH(Parameters, parameters);
    QFETCH(Parameters, addresses);

    PublishThread job(nullptr, parameters);
    job.makeUri(QString());
    const Parameters result = job.parameters();
    Parameters added;
    for (auto it = result.cbegin(); it != result.cend(); ++it) {
        if (!parameters.contains(it.key()))
            added.insert(it.key(), it.value());
    }
    QCOMPARE(added, addresses);
}

void TestVideoElement::placeholderSuffixSurvivesEncoding()
{
    // Callers turn the encoded "$" back to find the placeholder again, in the
    // page's addresses and in the Flash fallback's twice-encoded variables
    // alike: a poster left as "%2524SUFFIX%2524" would point the Flash player
    // at a folder that never exists.
    QMap<QString, QVariant> parameters = baseParameters();
    parameters.insert(QStringLiteral("Flash"), true);
    PublishThread job(nullptr, parameters);
    job.makeUri(QStringLiteral("$SUFFIX$"));
    const QString block = PublishThread::restoreDollarSigns(job.createVideoElement());
    QVERIFY(block.contains(QStringLiteral(
        "<source src=\"index.files/vudi5dozur$SUFFIX$/clip.m4v\" type=\"video/mp4\" />")));
    QVERIFY(block.contains(
        QStringLiteral("<script src=\"index.files/vudi5dozur$SUFFIX$/html5ext.js\"")));
    QVERIFY(block.contains(QStringLiteral("poster=index.files/vudi5dozur$SUFFIX$/clip.jpg")));
    QVERIFY(!block.contains(QStringLiteral("%24")));
    QVERIFY(!block.contains(QStringLiteral("%2524")));
    // With the number the page insertion chooses, every address names the
    // same media folder.
    QString numbered = block;
    numbered.replace(QStringLiteral("$SUFFIX$"), QStringLiteral("2"));
    QCOMPARE(numbered.count(QStringLiteral("vudi5dozur2/")),
             block.count(QStringLiteral("vudi5dozur$SUFFIX$/")));
}

QTEST_GUILESS_MAIN(TestVideoElement)
#include "tst_videoelement.moc"
