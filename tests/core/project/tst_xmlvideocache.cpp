#include "project/xmlvideocache.h"
#include "temporaryfolder.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QXmlStreamReader>

namespace {
QVariantMap parameters(const QString& format = QStringLiteral("webm"))
{
    return {{QStringLiteral("SourceSize"), QSize(1280, 720)},
            {QStringLiteral("TargetSize"), QSize(640, 360)},
            {QStringLiteral("VideoFormat"), format},
            {QStringLiteral("VideoQuality"), 0},
            {QStringLiteral("ResizeMethod"), QStringLiteral("ResizePad")}};
}

QVariantMap with(QVariantMap map, const QString& key, const QVariant& value)
{
    map.insert(key, value);
    return map;
}

QVariantMap without(QVariantMap map, const QString& key)
{
    map.remove(key);
    return map;
}

bool setModified(const QString& path, const QDateTime& time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
        file.setFileTime(time, QFileDevice::FileModificationTime);
}
} // namespace

class TestXmlVideoCache : public QObject
{
    Q_OBJECT
private slots:
    void savedParameters();
    void lookUp_data();
    void lookUp();
    void addingReplacesAnEqualEntry();
    void saveAndLoad();
    void fileForm();
    void fileAbove2GB();
    void changedFilesAreDroppedAtLoad_data();
    void changedFilesAreDroppedAtLoad();
    void loadFailures_data();
    void loadFailures();
    void clearDeletesTheFiles();
    void clearWithMissingFiles();
};

void TestXmlVideoCache::savedParameters()
{
    const QVariantMap full {{QStringLiteral("SourceSize"), QSize(1, 1)},
                            {QStringLiteral("TargetSize"), QSize(2, 2)},
                            {QStringLiteral("VideoFormat"), QStringLiteral("ogv")},
                            {QStringLiteral("VideoQuality"), 1},
                            {QStringLiteral("ResizeMethod"), QStringLiteral("KeepRatio")},
                            {QStringLiteral("WatermarkText"), QStringLiteral("me")},
                            {QStringLiteral("WatermarkFile"), QStringLiteral("/tmp/w.png")},
                            {QStringLiteral("Other"), 3}};
    QCOMPARE(extractSavedParameters(full),
             without(without(full, QStringLiteral("SourceSize")), QStringLiteral("Other")));
    QCOMPARE(extractSavedParameters({{QStringLiteral("VideoQuality"), -1}}),
             (QVariantMap {{QStringLiteral("VideoQuality"), -1}}));
}

void TestXmlVideoCache::lookUp_data()
{
    QTest::addColumn<QVariantMap>("added");
    QTest::addColumn<QVariantMap>("asked");
    QTest::addColumn<bool>("found");

    const QVariantMap base = parameters();
    QTest::newRow("same") << base << base << true;
    QTest::newRow("other source size")
        << base << with(base, QStringLiteral("SourceSize"), QSize(320, 240)) << true;
    QTest::newRow("no source size") << base << without(base, QStringLiteral("SourceSize")) << true;
    QTest::newRow("foreign key") << base << with(base, QStringLiteral("Title"), QStringLiteral("x"))
                                 << true;
    // Map equality compares values the way QVariant does.
    QTest::newRow("quality as text")
        << base << with(base, QStringLiteral("VideoQuality"), "0") << true;
    QTest::newRow("mp4 and m4v") << parameters(QStringLiteral("mp4"))
                                 << parameters(QStringLiteral("m4v")) << false;
    QTest::newRow("watermark text added")
        << base << with(base, QStringLiteral("WatermarkText"), QStringLiteral("me")) << false;
    QTest::newRow("watermark text removed")
        << with(base, QStringLiteral("WatermarkText"), QStringLiteral("me")) << base << false;
    QTest::newRow("other watermark text")
        << with(base, QStringLiteral("WatermarkText"), QStringLiteral("me"))
        << with(base, QStringLiteral("WatermarkText"), QStringLiteral("you")) << false;
    QTest::newRow("other target size")
        << base << with(base, QStringLiteral("TargetSize"), QSize(0, 0)) << false;
    QTest::newRow("other quality")
        << base << with(base, QStringLiteral("VideoQuality"), 1) << false;
}

void TestXmlVideoCache::lookUp()
{
    QFETCH(QVariantMap, added);
    QFETCH(QVariantMap, asked);
    QFETCH(bool, found);
    TemporaryFolder folder;
    const QString encoded = folder.writeFile(QStringLiteral("a.webm"), "data");
    XmlVideoCache cache;
    cache.addVideo(added, encoded);
    // Neighbours with other formats must not be confused with it.
    cache.addVideo(with(added, QStringLiteral("VideoFormat"), QStringLiteral("x1")),
                   folder.filePath(QStringLiteral("x1")));
    cache.addVideo(with(added, QStringLiteral("VideoFormat"), QStringLiteral("x2")),
                   folder.filePath(QStringLiteral("x2")));

    QCOMPARE(cache.getVideo(asked), found ? encoded : QString());

    // The same answer after the cache went through its file.
    QVERIFY(cache.save(folder.filePath(QStringLiteral("c.cache"))));
    XmlVideoCache loaded;
    QVERIFY(loaded.load(folder.filePath(QStringLiteral("c.cache"))));
    QCOMPARE(loaded.getVideo(asked), found ? encoded : QString());
}

void TestXmlVideoCache::addingReplacesAnEqualEntry()
{
    TemporaryFolder folder;
    const QString first = folder.writeFile(QStringLiteral("1.webm"), "one");
    const QString second = folder.writeFile(QStringLiteral("2.webm"), "two");
    XmlVideoCache cache;
    cache.addVideo(parameters(), first);
    cache.addVideo(with(parameters(), QStringLiteral("SourceSize"), QSize(8, 8)), second);
    QCOMPARE(cache.getVideo(parameters()), second);
    QVERIFY(QFile::exists(first));

    cache.clear();
    QVERIFY(!QFile::exists(second));
    QVERIFY(QFile::exists(first));
}

void TestXmlVideoCache::saveAndLoad()
{
    TemporaryFolder folder;
    XmlVideoCache cache;
    const QVariantMap watermarked =
        with(with(parameters(QStringLiteral("ogv")), QStringLiteral("WatermarkText"), "© me"),
             QStringLiteral("WatermarkFile"), QStringLiteral("/tmp/w m.png"));
    const QString webm = folder.writeFile(QStringLiteral("out.webm"), "webm");
    const QString ogv = folder.writeFile(QStringLiteral("out & more.ogv"), "ogv");
    cache.addVideo(parameters(), webm);
    cache.addVideo(watermarked, ogv);
    // The folder is made when it is missing.
    const QString file = folder.filePath(QStringLiteral("deep/er/c.cache"));
    QVERIFY(cache.save(file));

    XmlVideoCache loaded;
    loaded.addVideo(parameters(QStringLiteral("mp4")), webm);
    QVERIFY(loaded.load(file));
    QCOMPARE(loaded.getVideo(parameters()), webm);
    QCOMPARE(loaded.getVideo(watermarked), ogv);
    QCOMPARE(loaded.getVideo(parameters(QStringLiteral("mp4"))), QString());
}

void TestXmlVideoCache::fileForm()
{
    TemporaryFolder folder;
    const QString webm = folder.writeFile(QStringLiteral("out.webm"), "12345");
    const QDateTime modified(QDate(2022, 5, 6), QTime(7, 8, 9, 123), Qt::UTC);
    QVERIFY(setModified(webm, modified));
    XmlVideoCache cache;
    cache.addVideo({{QStringLiteral("VideoFormat"), QStringLiteral("webm")}}, webm);
    QVERIFY(cache.save(folder.filePath(QStringLiteral("c.cache"))));

    QCOMPARE(QString::fromUtf8(folder.readFile(QStringLiteral("c.cache"))),
             QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<TovaLumen>\n"
                            "    <VideoCache version=\"1.0\">\n"
                            "        <VideoFile>\n"
                            "            <Path>%1</Path>\n"
                            "            <LastModified>%2</LastModified>\n"
                            "            <Size>5</Size>\n"
                            "            <EncodingParameters>\n"
                            "                <VideoFormat type=\"QString\">webm</VideoFormat>\n"
                            "            </EncodingParameters>\n"
                            "        </VideoFile>\n"
                            "    </VideoCache>\n"
                            "</TovaLumen>\n")
                 .arg(webm)
                 .arg(modified.toMSecsSinceEpoch()));
}

void TestXmlVideoCache::fileAbove2GB()
{
    TemporaryFolder folder;
    const QString path = folder.filePath(QStringLiteral("big.m4v"));
    const qint64 size = Q_INT64_C(5) << 30;
    {
        // Sparse: the size without the disk space.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size));
    }
    XmlVideoCache cache;
    cache.addVideo(parameters(QStringLiteral("m4v")), path);
    QVERIFY(cache.save(folder.filePath(QStringLiteral("c.cache"))));
    QVERIFY(folder.readFile(QStringLiteral("c.cache")).contains("<Size>5368709120</Size>"));

    XmlVideoCache loaded;
    QVERIFY(loaded.load(folder.filePath(QStringLiteral("c.cache"))));
    QCOMPARE(loaded.getVideo(parameters(QStringLiteral("m4v"))), path);
}

void TestXmlVideoCache::changedFilesAreDroppedAtLoad_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("touched") << "touch";
    QTest::newRow("resized, same time") << "resize";
    QTest::newRow("deleted") << "delete";
}

void TestXmlVideoCache::changedFilesAreDroppedAtLoad()
{
    QFETCH(QString, change);
    TemporaryFolder folder;
    const QString changed = folder.writeFile(QStringLiteral("changed.webm"), "webm data");
    const QString kept = folder.writeFile(QStringLiteral("kept.m4v"), "mp4 data");
    XmlVideoCache cache;
    cache.addVideo(parameters(), changed);
    cache.addVideo(parameters(QStringLiteral("m4v")), kept);
    QVERIFY(cache.save(folder.filePath(QStringLiteral("c.cache"))));

    const QDateTime modified = QFileInfo(changed).lastModified();
    if (change == QLatin1String("touch")) {
        QVERIFY(setModified(changed, modified.addSecs(-60)));
    } else if (change == QLatin1String("resize")) {
        QVERIFY(QFile::resize(changed, 3));
        QVERIFY(setModified(changed, modified));
    } else {
        QVERIFY(QFile::remove(changed));
    }

    XmlVideoCache loaded;
    QVERIFY(loaded.load(folder.filePath(QStringLiteral("c.cache"))));
    QCOMPARE(loaded.getVideo(parameters()), QString());
    QCOMPARE(loaded.getVideo(parameters(QStringLiteral("m4v"))), kept);
    // Dropping forgets the entry; it does not delete a file that is still there.
    QCOMPARE(QFile::exists(changed), change != QLatin1String("delete"));
}

void TestXmlVideoCache::loadFailures_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<bool>("firstKept");
    QTest::addColumn<bool>("earlierKept");

    QTest::newRow("missing file") << "missing" << false << false << true;
    QTest::newRow("version 2.0") << "version" << false << false << false;
    QTest::newRow("cut off after the first entry") << "cut" << false << true << false;
    QTest::newRow("no root element") << "root" << true << false << false;
}

void TestXmlVideoCache::loadFailures()
{
    QFETCH(QString, damage);
    QFETCH(bool, loads);
    QFETCH(bool, firstKept);
    QFETCH(bool, earlierKept);
    TemporaryFolder folder;
    const QString first = folder.writeFile(QStringLiteral("1.webm"), "1");
    const QString second = folder.writeFile(QStringLiteral("2.ogv"), "2");
    QString xml =
        QStringLiteral("<?xml version=\"1.0\"?><TovaLumen><VideoCache version=\"1.0\">"
                       "<VideoFile><Path>%1</Path><LastModified>%2</LastModified><Size>1</Size>"
                       "<EncodingParameters><VideoFormat type=\"QString\">webm</VideoFormat>"
                       "</EncodingParameters></VideoFile>"
                       "<VideoFile><Path>%3</Path><LastModified>%4</LastModified><Size>1</Size>"
                       "<EncodingParameters><VideoFormat type=\"QString\">ogv</VideoFormat>"
                       "</EncodingParameters></VideoFile></VideoCache></TovaLumen>")
            .arg(first)
            .arg(QFileInfo(first).lastModified().toMSecsSinceEpoch())
            .arg(second)
            .arg(QFileInfo(second).lastModified().toMSecsSinceEpoch());
    if (damage == QLatin1String("version"))
        xml.replace(QStringLiteral("version=\"1.0\">"), QStringLiteral("version=\"2.0\">"));
    else if (damage == QLatin1String("cut"))
        xml.truncate(xml.lastIndexOf(QStringLiteral("<Size>")));
    else if (damage == QLatin1String("root"))
        xml.replace(QStringLiteral("TovaLumen"), QStringLiteral("Other"));
    const QString file = damage == QLatin1String("missing")
        ? folder.filePath(QStringLiteral("missing.cache"))
        : folder.writeFile(QStringLiteral("c.cache"), xml.toUtf8());

    XmlVideoCache cache;
    const QString earlier = folder.writeFile(QStringLiteral("0.m4v"), "0");
    cache.addVideo({{QStringLiteral("VideoFormat"), QStringLiteral("m4v")}}, earlier);
    QCOMPARE(cache.load(file), loads);
    QCOMPARE(cache.getVideo({{QStringLiteral("VideoFormat"), QStringLiteral("webm")}}),
             firstKept ? first : QString());
    QCOMPARE(cache.getVideo({{QStringLiteral("VideoFormat"), QStringLiteral("m4v")}}),
             earlierKept ? earlier : QString());
}

void TestXmlVideoCache::clearDeletesTheFiles()
{
    TemporaryFolder folder;
    const QString webm = folder.writeFile(QStringLiteral("a.webm"), "a");
    const QString ogv = folder.writeFile(QStringLiteral("b.ogv"), "b");
    XmlVideoCache cache;
    cache.addVideo(parameters(), webm);
    cache.addVideo(parameters(QStringLiteral("ogv")), ogv);
    cache.clear();
    QVERIFY(!QFile::exists(webm));
    QVERIFY(!QFile::exists(ogv));
    QCOMPARE(cache.getVideo(parameters()), QString());
}

void TestXmlVideoCache::clearWithMissingFiles()
{
    TemporaryFolder folder;
    XmlVideoCache cache;
    cache.addVideo(parameters(), folder.filePath(QStringLiteral("gone.webm")));
    cache.addVideo(parameters(QStringLiteral("ogv")), folder.filePath(QStringLiteral("gone.ogv")));
    const QString bystander = folder.writeFile(QStringLiteral("other.webm"), "x");
    cache.clear();
    QCOMPARE(cache.getVideo(parameters()), QString());
    QCOMPARE(cache.getVideo(parameters(QStringLiteral("ogv"))), QString());
    QVERIFY(QFile::exists(bystander));
    // Nothing is left to write either.
    QVERIFY(cache.save(folder.filePath(QStringLiteral("c.cache"))));
    QVERIFY(!folder.readFile(QStringLiteral("c.cache")).contains("VideoFile"));
}

QTEST_MAIN(TestXmlVideoCache)
#include "tst_xmlvideocache.moc"
