#include "project/project.h"
#include "project/projectsettings.h"
#include "project/xmlvideocache.h"
#include "temporaryfolder.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTest>

namespace {
const QString ProjectXml =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<TovaLumen>\n"
                   "    <Project version=\"%1\">\n"
                   "        <Id>{0b9a3a4e-3c39-4b7e-9d6f-1f2e3d4c5b6a}</Id>\n"
                   "        <VideoPath>/videos/clip.mp4</VideoPath>\n"
                   "        <Settings>\n"
                   "            <VideoTitle type=\"QString\">clip</VideoTitle>\n"
                   "        </Settings>\n"
                   "    </Project>\n"
                   "</TovaLumen>\n");
const QUuid ProjectId(QStringLiteral("{0b9a3a4e-3c39-4b7e-9d6f-1f2e3d4c5b6a}"));

QPixmap preview()
{
    QImage image(64, 36, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QPainter painter(&image);
    painter.fillRect(10, 5, 20, 10, Qt::yellow);
    painter.end();
    return QPixmap::fromImage(image);
}

QVariantMap encoderParameters(const QString& format)
{
    return {{QStringLiteral("TargetSize"), QSize(640, 360)},
            {QStringLiteral("VideoFormat"), format},
            {QStringLiteral("VideoQuality"), 0}};
}
} // namespace

class TestXmlProject : public QObject
{
    Q_OBJECT
private slots:
    void newProjects();
    void saveAndLoad_data();
    void saveAndLoad();
    void fileForm();
    void load_data();
    void load();
    void loadMergesSettings();
    void cacheIsReadOnFirstUse();
    void savingKeepsAnUntouchedCache();
    void removeDeletesEverything();
    void textXmlCannotHoldKeepsThePreviousFile();
};

void TestXmlProject::newProjects()
{
    const auto first = createXmlProject(QStringLiteral("/videos/a.mp4"));
    const auto second = createXmlProject(QStringLiteral("/videos/a.mp4"));
    QVERIFY(!first->id().isNull());
    QVERIFY(first->id() != second->id());
    QCOMPARE(first->videoPath(), QStringLiteral("/videos/a.mp4"));
    QVERIFY(first->settings().isEmpty());
    QVERIFY(first->videoPreview().isNull());
    QVERIFY(first->getVideoCache());
    QCOMPARE(first->getVideoCache()->getVideo(encoderParameters(QStringLiteral("webm"))),
             QString());

    const auto empty = createXmlProject();
    QVERIFY(empty->id().isNull());
    QCOMPARE(empty->videoPath(), QString());
}

void TestXmlProject::saveAndLoad_data()
{
    QTest::addColumn<bool>("withPreview");
    QTest::newRow("with preview") << true;
    QTest::newRow("without preview") << false;
}

void TestXmlProject::saveAndLoad()
{
    QFETCH(bool, withPreview);
    TemporaryFolder folder;
    const QString file = folder.filePath(QStringLiteral("projects/p.xml"));
    QDir().mkpath(folder.filePath(QStringLiteral("projects")));
    const QVariantMap settings {
        {VIDEO_TITLE, QStringLiteral("Clip & <friends>")},
        {VIDEO_FORMATS, QStringList {VIDEO_WEBM_FORMAT, VIDEO_THEORA_FORMAT}},
        {VIDEO_ENCODING_PARAMETERS, QVariantMap {{QStringLiteral("TargetSize"), QSize(0, 0)}}},
        {VIDEO_SIZE, QSize(1920, 1080)},
        {VIDEO_DURATION, QTime(1, 0, 0)},
        {FILE_SIZE, Q_INT64_C(4000000000)}};
    const auto project = createXmlProject(QStringLiteral("/videos/Clip & <friends>.mkv"));
    project->setSettings(settings);
    if (withPreview)
        project->setVideoPreview(preview());

    QVERIFY(project->save(file));

    QCOMPARE(QFile::exists(folder.filePath(QStringLiteral("projects/p.png"))), withPreview);
    QVERIFY(QFile::exists(folder.filePath(QStringLiteral("projects/p.cache"))));
    const auto loaded = createXmlProject();
    QVERIFY(loaded->load(file));
    QCOMPARE(loaded->id(), project->id());
    QCOMPARE(loaded->videoPath(), project->videoPath());
    QCOMPARE(loaded->settings(), settings);
    QCOMPARE(loaded->videoPreview().isNull(), !withPreview);
    if (withPreview)
        QCOMPARE(loaded->videoPreview().toImage(), preview().toImage());
}

// Other programs and older versions read these files: the form stays exactly.
void TestXmlProject::fileForm()
{
    TemporaryFolder folder;
    const auto project = createXmlProject();
    const QString source =
        folder.writeFile(QStringLiteral("in.xml"), ProjectXml.arg(QStringLiteral("1.0")).toUtf8());
    QVERIFY(project->load(source));
    QVERIFY(project->save(folder.filePath(QStringLiteral("out.xml"))));
    QCOMPARE(QString::fromUtf8(folder.readFile(QStringLiteral("out.xml"))),
             ProjectXml.arg(QStringLiteral("1.0")));
}

void TestXmlProject::load_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QByteArray>("picture");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QUuid>("id");

    const QByteArray good = ProjectXml.arg(QStringLiteral("1.0")).toUtf8();
    QTest::newRow("good") << good << QByteArray() << true << ProjectId;
    QTest::newRow("version 2.0") << ProjectXml.arg(QStringLiteral("2.0")).toUtf8() << QByteArray()
                                 << false << QUuid();
    QTest::newRow("no version") << QByteArray(good).replace(" version=\"1.0\"", "") << QByteArray()
                                << false << QUuid();
    QTest::newRow("malformed") << good.left(good.size() - 12) << QByteArray() << false << QUuid();
    QTest::newRow("empty file") << QByteArray("") << QByteArray() << false << QUuid();
    QTest::newRow("without id")
        << QByteArray(good).replace("<Id>", "<Other>").replace("</Id>", "</Other>") << QByteArray()
        << false << QUuid();
    QTest::newRow("without video path")
        << QByteArray(good).replace("/videos/clip.mp4", "") << QByteArray() << false << ProjectId;
    QTest::newRow("id without braces")
        << QByteArray(good).replace("{", "").replace("}", "") << QByteArray() << true << ProjectId;
    QTest::newRow("no root element")
        << QByteArray("<?xml version=\"1.0\"?><Other><Project version=\"1.0\"/></Other>")
        << QByteArray() << true << QUuid();
    QTest::newRow("root inside another element")
        << "<Wrapper>" + good.mid(good.indexOf("<TovaLumen>")) + "</Wrapper>" << QByteArray()
        << true << ProjectId;
    QTest::newRow("unknown elements are skipped")
        << QByteArray(good)
               .replace("<Settings>",
                        "<Extra><Id>{00000000-0000-0000-0000-000000000001}</Id></Extra>"
                        "<Settings>")
               .replace("<Project ", "<Note><Project version=\"9\"/></Note><Project ")
        << QByteArray() << true << ProjectId;
    QTest::newRow("unreadable picture") << good << QByteArray("not a PNG") << false << ProjectId;
}

void TestXmlProject::load()
{
    QFETCH(QByteArray, xml);
    QFETCH(QByteArray, picture);
    QFETCH(bool, loads);
    QFETCH(QUuid, id);
    TemporaryFolder folder;
    const QString file = folder.writeFile(QStringLiteral("p.xml"), xml);
    if (!picture.isEmpty())
        folder.writeFile(QStringLiteral("p.png"), picture);

    const auto project = createXmlProject();
    QCOMPARE(project->load(file), loads);
    if (loads) {
        QCOMPARE(project->id(), id);
        QCOMPARE(project->settings().value(VIDEO_TITLE),
                 id.isNull() ? QVariant() : QVariant(QStringLiteral("clip")));
    }
    QVERIFY(!createXmlProject()->load(folder.filePath(QStringLiteral("missing.xml"))));
}

void TestXmlProject::loadMergesSettings()
{
    TemporaryFolder folder;
    const QString file =
        folder.writeFile(QStringLiteral("p.xml"), ProjectXml.arg(QStringLiteral("1.0")).toUtf8());
    const auto project = createXmlProject();
    project->rsettings().insert(VIDEO_TITLE, QStringLiteral("old title"));
    project->rsettings().insert(VIDEO_LOOP, true);

    QVERIFY(project->load(file));

    QCOMPARE(project->settings(),
             (QVariantMap {{VIDEO_TITLE, QStringLiteral("clip")}, {VIDEO_LOOP, true}}));
}

void TestXmlProject::cacheIsReadOnFirstUse()
{
    TemporaryFolder folder;
    const QString file =
        folder.writeFile(QStringLiteral("p.xml"), ProjectXml.arg(QStringLiteral("1.0")).toUtf8());
    const QString encoded = folder.writeFile(QStringLiteral("out.webm"), "webm data");
    const auto project = createXmlProject();
    QVERIFY(project->load(file));

    // Written after the load: a cache read by load() would not know it.
    XmlVideoCache cache;
    cache.addVideo(encoderParameters(QStringLiteral("webm")), encoded);
    QVERIFY(cache.save(folder.filePath(QStringLiteral("p.cache"))));

    QCOMPARE(project->getVideoCache()->getVideo(encoderParameters(QStringLiteral("webm"))),
             encoded);
}

void TestXmlProject::savingKeepsAnUntouchedCache()
{
    TemporaryFolder folder;
    const QString file = folder.filePath(QStringLiteral("p.xml"));
    const QString encoded = folder.writeFile(QStringLiteral("out.webm"), "webm data");
    const auto original = createXmlProject(QStringLiteral("/videos/clip.mp4"));
    original->getVideoCache()->addVideo(encoderParameters(QStringLiteral("webm")), encoded);
    QVERIFY(original->save(file));

    const auto loaded = createXmlProject();
    QVERIFY(loaded->load(file));
    loaded->rsettings().insert(VIDEO_TITLE, QStringLiteral("renamed"));
    QVERIFY(loaded->save(file));
    QVERIFY(loaded->save(folder.filePath(QStringLiteral("copy.xml"))));

    for (const QString& name : {QStringLiteral("p.cache"), QStringLiteral("copy.cache")}) {
        XmlVideoCache cache;
        QVERIFY(cache.load(folder.filePath(name)));
        QCOMPARE(cache.getVideo(encoderParameters(QStringLiteral("webm"))), encoded);
    }
}

void TestXmlProject::removeDeletesEverything()
{
    TemporaryFolder folder;
    const QString file = folder.filePath(QStringLiteral("projects/p.xml"));
    QDir().mkpath(folder.filePath(QStringLiteral("projects")));
    const QString webm = folder.writeFile(QStringLiteral("tmp/out.webm"), "webm data");
    const QString mp4 = folder.writeFile(QStringLiteral("tmp/out.m4v"), "mp4 data");
    const QString other = folder.writeFile(QStringLiteral("tmp/other.ogv"), "not in the cache");
    const auto project = createXmlProject(QStringLiteral("/videos/clip.mp4"));
    project->setVideoPreview(preview());
    project->getVideoCache()->addVideo(encoderParameters(QStringLiteral("webm")), webm);
    project->getVideoCache()->addVideo(encoderParameters(QStringLiteral("m4v")), mp4);
    QVERIFY(project->save(file));
    const QStringList companions {file, folder.filePath(QStringLiteral("projects/p.png")),
                                  folder.filePath(QStringLiteral("projects/p.cache"))};
    for (const QString& path : companions)
        QVERIFY2(QFile::exists(path), qPrintable(path));

    removeXmlProject(file);

    for (const QString& path : companions + QStringList {webm, mp4})
        QVERIFY2(!QFile::exists(path), qPrintable(path));
    QVERIFY(QFile::exists(other));
}

// The writer refuses characters XML cannot hold; the file it would have left
// could not be loaded again.
void TestXmlProject::textXmlCannotHoldKeepsThePreviousFile()
{
    TemporaryFolder folder;
    const QString file = folder.filePath(QStringLiteral("p.xml"));
    const auto project = createXmlProject(QStringLiteral("/videos/clip.mp4"));
    project->rsettings().insert(VIDEO_TITLE, QStringLiteral("good"));
    QVERIFY(project->save(file));
    const QByteArray before = folder.readFile(QStringLiteral("p.xml"));

    project->rsettings().insert(VIDEO_TITLE, QStringLiteral("bad \x01 title"));
    QVERIFY(!project->save(file));

    QCOMPARE(folder.readFile(QStringLiteral("p.xml")), before);
    const auto loaded = createXmlProject();
    QVERIFY(loaded->load(file));
    QCOMPARE(loaded->settings().value(VIDEO_TITLE).toString(), QStringLiteral("good"));
}

QTEST_MAIN(TestXmlProject)
#include "tst_xmlproject.moc"
