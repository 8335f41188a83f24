#include "filetree.h"
#include "project/projectsettings.h"
#include "publish/publishthread.h"
#include "temporaryfolder.h"
#include "util/appidentity.h"
#include "util/miscutils.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using Parameters = QMap<QString, QVariant>;

// The publish job into local folders: the published layout, the pages made
// from the templates, batches, the failures, cancelling and progress.
class TestPublishThread : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void layout_data();
    void layout();
    void pagesAreFilled();
    void batchOfThree();
    void pageWithoutSuffix();
    void insertIntoPageCopiesOnlyMedia();
    void missingTemplate_data();
    void missingTemplate();
    void unknownPublishType();
    void folderThatCannotBeMade();
    void cancelKeepsWhatWasCopied();
    void progressAndSteps();
    void templatePlaceholders();

private:
    // A copy of the program's publish folder that tests may change.
    QString templateFile(const QString& name) const
    {
        return m_resources.filePath("publish/" + name);
    }
    Parameters mediaParameters(const QString& folder) const;

    TemporaryFolder m_resources;
    TemporaryFolder m_media;
};

namespace {
struct Outcome
{
    bool hasError = false;
    bool finished = false;
    QString error;
    QList<int> progress;
    QStringList steps;
    QStringList items;
};

Outcome publish(const Parameters& parameters, const QString& suffix = QString(),
                const std::function<void(PublishThread&)>& whileRunning = {})
{
    PublishThread job(nullptr, parameters);
    job.makeUri(suffix);
    QSignalSpy progress(&job, &PublishThread::progress);
    QSignalSpy steps(&job, &PublishThread::step);
    QSignalSpy items(&job, &PublishThread::item);
    if (whileRunning)
        whileRunning(job);
    job.start();
    Outcome outcome;
    if (!job.wait(60000))
        return outcome;
    outcome.hasError = job.hasError();
    outcome.finished = job.isFinished();
    outcome.error = job.getError();
    for (const QList<QVariant>& signal : qAsConst(progress)) {
        if (signal.at(1).toInt() != 100)
            outcome.progress.append(-1);
        outcome.progress.append(signal.at(0).toInt());
    }
    for (const QList<QVariant>& signal : qAsConst(steps))
        outcome.steps.append(signal.at(0).toString());
    for (const QList<QVariant>& signal : qAsConst(items))
        outcome.items.append(signal.at(0).toString());
    return outcome;
}

QString text(const QString& path)
{
    return QString::fromUtf8(fileContents(path));
}

bool copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    const QStringList names = QDir(from).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        if (!QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name))
            return false;
    }
    return !names.isEmpty();
}
} // namespace

void TestPublishThread::initTestCase()
{
    AppIdentity::apply();
    QVERIFY(m_resources.isValid() && m_media.isValid());
    // Before anything asks for the resource folder: it is looked up once.
    QVERIFY(copyFolder(QStringLiteral(TOVALUMEN_RESOURCE_DIR "/publish"),
                       m_resources.filePath(QStringLiteral("publish"))));
    qputenv("TOVALUMEN_RESOURCES", QFile::encodeName(m_resources.path()));
    QCOMPARE(getResourcesPath(), QDir::cleanPath(m_resources.path()));

    for (const char* name : {"poster.jpg", "out.m4v", "out.webm", "out.ogv", "low.mp4"})
        QVERIFY(!m_media
                     .writeFile(QString::fromLatin1(name),
                                QByteArray(name) + QByteArray(3000, char(0x5a)))
                     .isEmpty());
}

Parameters TestPublishThread::mediaParameters(const QString& folder) const
{
    return {
        {PUBLISH_TYPE, PUBLISH_TYPE_LOCAL},
        {PUBLISH_PATH, folder},
        {PUBLISH_INDEX_FILE, QStringLiteral("index.html")},
        {VIDEO_SOURCE, QStringLiteral("/videos/clip.mov")},
        {VIDEO_TITLE, QStringLiteral("Clip title")},
        {VIDEO_SIZE, QSize(320, 240)},
        {VIDEO_AUTOPLAY, false},
        {VIDEO_LOOP, false},
        {VIDEO_CONTROLS, true},
        {VIDEO_FLASH, true},
        {VIDEO_POSTER_PATH, m_media.filePath(QStringLiteral("poster.jpg"))},
        {VIDEO_MPEG4_FORMAT, m_media.filePath(QStringLiteral("out.m4v"))},
        {VIDEO_WEBM_FORMAT, m_media.filePath(QStringLiteral("out.webm"))},
    };
}

void TestPublishThread::layout_data()
{
    QTest::addColumn<QStringList>("removedKeys");
    QTest::addColumn<Parameters>("changes");
    QTest::addColumn<QStringList>("files");

    const QString media = QStringLiteral("index.files/vudi5dozur/");
    QTest::newRow("single video") << QStringList() << Parameters()
                                  << QStringList {"index-howto.html",
                                                  "index.files/vudi5dozur/.htaccess",
                                                  "index.files/vudi5dozur/clip.jpg",
                                                  "index.files/vudi5dozur/clip.m4v",
                                                  "index.files/vudi5dozur/clip.webm",
                                                  "index.files/vudi5dozur/fullscreen.png",
                                                  "index.files/vudi5dozur/html5ext.js",
                                                  "index.files/vudi5dozur/plavex.swf",
                                                  "index.html"};
    QTest::newRow("controls off: no full-screen icon")
        << QStringList() << Parameters {{VIDEO_CONTROLS, false}}
        << QStringList {"index-howto.html",
                        "index.files/vudi5dozur/.htaccess",
                        "index.files/vudi5dozur/clip.jpg",
                        "index.files/vudi5dozur/clip.m4v",
                        "index.files/vudi5dozur/clip.webm",
                        "index.files/vudi5dozur/html5ext.js",
                        "index.files/vudi5dozur/plavex.swf",
                        "index.html"};
    QTest::newRow("Flash without MP4: no player")
        << QStringList {VIDEO_MPEG4_FORMAT} << Parameters()
        << QStringList {"index-howto.html",
                        "index.files/vudi5dozur/.htaccess",
                        "index.files/vudi5dozur/clip.jpg",
                        "index.files/vudi5dozur/clip.webm",
                        "index.files/vudi5dozur/fullscreen.png",
                        "index.files/vudi5dozur/html5ext.js",
                        "index.html"};
    QTest::newRow("all formats, no poster, no Flash, other page name")
        << QStringList {VIDEO_POSTER_PATH}
        << Parameters {{VIDEO_FLASH, false},
                       {VIDEO_THEORA_FORMAT, m_media.filePath(QStringLiteral("out.ogv"))},
                       {VIDEO_LOW_MPEG4_FORMAT, m_media.filePath(QStringLiteral("low.mp4"))},
                       {PUBLISH_INDEX_FILE, QStringLiteral("my clip.htm")},
                       {VIDEO_SOURCE, QStringLiteral("/videos/my clip.final.mov")}}
        << QStringList {"my clip-howto.htm",
                        "my clip.files/vudi5dozur/.htaccess",
                        "my clip.files/vudi5dozur/fullscreen.png",
                        "my clip.files/vudi5dozur/html5ext.js",
                        "my clip.files/vudi5dozur/my_clip.final.m4v",
                        "my clip.files/vudi5dozur/my_clip.final.mp4",
                        "my clip.files/vudi5dozur/my_clip.final.ogv",
                        "my clip.files/vudi5dozur/my_clip.final.webm",
                        "my clip.htm"};
}

void TestPublishThread::layout()
{
    QFETCH(QStringList, removedKeys);
    QFETCH(Parameters, changes);
    QFETCH(QStringList, files);

    TemporaryFolder target;
    Parameters parameters = mediaParameters(target.path());
    for (const QString& key : removedKeys)
        parameters.remove(key);
    for (auto it = changes.cbegin(); it != changes.cend(); ++it)
        parameters.insert(it.key(), it.value());

    const Outcome outcome = publish(parameters);
    QVERIFY2(!outcome.hasError, qPrintable(outcome.error));
    QVERIFY(outcome.finished);
    QCOMPARE(filesUnder(target.path()), files);

    // Media and support files arrive unchanged.
    const QStringList published = filesUnder(target.path());
    for (const QString& file : published) {
        const QString name = QFileInfo(file).fileName();
        const QString suffix = QFileInfo(file).suffix();
        QString source;
        if (name == QLatin1String("plavex.swf") || name == QLatin1String(".htaccess") ||
            name == QLatin1String("fullscreen.png") || name == QLatin1String("html5ext.js"))
            source = templateFile(name);
        else if (suffix == QLatin1String("jpg"))
            source = parameters.value(VIDEO_POSTER_PATH).toString();
        else if (suffix == QLatin1String("m4v"))
            source = parameters.value(VIDEO_MPEG4_FORMAT).toString();
        else if (suffix == QLatin1String("webm"))
            source = parameters.value(VIDEO_WEBM_FORMAT).toString();
        else if (suffix == QLatin1String("ogv"))
            source = parameters.value(VIDEO_THEORA_FORMAT).toString();
        else if (suffix == QLatin1String("mp4"))
            source = parameters.value(VIDEO_LOW_MPEG4_FORMAT).toString();
        if (!source.isEmpty())
            QVERIFY2(fileContents(target.filePath(file)) == fileContents(source), qPrintable(file));
    }
}

void TestPublishThread::pagesAreFilled()
{
    TemporaryFolder target;
    Parameters parameters = mediaParameters(target.path() + QStringLiteral("/site\\videos"));
    parameters.insert(VIDEO_TITLE, QStringLiteral("A <b>\"quoted\"</b> title"));
    const Outcome outcome = publish(parameters);
    QVERIFY2(!outcome.hasError, qPrintable(outcome.error));

    // A backslash in the folder is a separator.
    const QString page = text(target.filePath(QStringLiteral("site/videos/index.html")));
    const QString howto = text(target.filePath(QStringLiteral("site/videos/index-howto.html")));
    QVERIFY(!page.isEmpty() && !howto.isEmpty());

    PublishThread reference(nullptr, parameters);
    reference.makeUri(QString());
    const QString block = reference.createVideoElement();
    QVERIFY(page.contains(block));
    QVERIFY(howto.contains(block));
    // The how-to page shows the block as code as well.
    QVERIFY(howto.contains(QString(block).replace(QLatin1Char('<'), QLatin1String("&lt;"))));
    QVERIFY(page.contains(QStringLiteral("<title>A <b>\"quoted\"</b> title</title>")));
    QVERIFY(page.contains(QStringLiteral("duvo5 rezar idurizadu")));
    QVERIFY(page.contains(QCoreApplication::organizationName()));
    QVERIFY(howto.contains(QStringLiteral("index.files/vudi5dozur/")));
    // A single video has no neighbours to link to.
    QVERIFY(!page.contains(QStringLiteral("prev-video\" href")));
    QVERIFY(!page.contains(QStringLiteral("next-video\" href")));
    for (const QString& filled : {page, howto}) {
        QVERIFY2(!filled.contains(QRegularExpression(QStringLiteral("\\$[A-Za-z]+\\$"))),
                 qPrintable(filled));
    }
}

void TestPublishThread::batchOfThree()
{
    TemporaryFolder target;
    for (int i = 0; i < 3; ++i) {
        Parameters parameters = mediaParameters(target.path());
        parameters.remove(VIDEO_MPEG4_FORMAT);
        parameters.insert(VIDEO_SOURCE, QStringLiteral("/videos/clip%1.mov").arg(i));
        parameters.insert(PUBLISH_BATCH_COUNT, 3);
        parameters.insert(PUBLISH_BATCH_INDEX, i);
        const Outcome outcome = publish(parameters, i == 0 ? QString() : QString::number(i));
        QVERIFY2(!outcome.hasError, qPrintable(outcome.error));
    }
    QStringList expected;
    for (const QString& number : {QString(), QStringLiteral("1"), QStringLiteral("2")}) {
        const QString clip =
            QStringLiteral("clip") + (number.isEmpty() ? QStringLiteral("0") : number);
        const QString media = QStringLiteral("index.files/vudi5dozur%1/").arg(number);
        expected << QStringLiteral("index%1.html").arg(number)
                 << QStringLiteral("index%1-howto.html").arg(number) << media + ".htaccess"
                 << media + clip + ".jpg" << media + clip + ".webm" << media + "fullscreen.png"
                 << media + "html5ext.js";
    }
    expected.sort();
    QCOMPARE(filesUnder(target.path()), expected);

    const QString previous = QStringLiteral("<a class=\"prev-video\" href=\"%1\"> <span>Prev "
                                            "Video</span><br/> <i> &lt; </i> </a>");
    const QString next = QStringLiteral("<a class=\"next-video\" href=\"%1\"> <span>Next "
                                        "Video</span><br/> <i>&gt;</i> </a>");
    const QString first = text(target.filePath(QStringLiteral("index.html")));
    const QString second = text(target.filePath(QStringLiteral("index1.html")));
    const QString third = text(target.filePath(QStringLiteral("index2-howto.html")));
    QVERIFY(first.contains(next.arg(QStringLiteral("index1-howto.html"))));
    QVERIFY(!first.contains(QStringLiteral("class=\"prev-video\" href")));
    QVERIFY(second.contains(previous.arg(QStringLiteral("index-howto.html"))));
    QVERIFY(second.contains(next.arg(QStringLiteral("index2-howto.html"))));
    QVERIFY(third.contains(previous.arg(QStringLiteral("index1-howto.html"))));
    QVERIFY(!third.contains(QStringLiteral("class=\"next-video\" href")));
    // Each page shows its own video from its own media folder.
    QVERIFY(second.contains(QStringLiteral("index.files/vudi5dozur1/clip1.webm")));
}

void TestPublishThread::pageWithoutSuffix()
{
    TemporaryFolder target;
    Parameters parameters = mediaParameters(target.path());
    parameters.insert(PUBLISH_INDEX_FILE, QStringLiteral("index"));
    parameters.insert(PUBLISH_BATCH_COUNT, 2);
    parameters.insert(PUBLISH_BATCH_INDEX, 1);
    const Outcome outcome = publish(parameters, QStringLiteral("1"));
    QVERIFY2(!outcome.hasError, qPrintable(outcome.error));
    // The "." is always added.
    QVERIFY(QFile::exists(target.filePath(QStringLiteral("index1."))));
    QVERIFY(QFile::exists(target.filePath(QStringLiteral("index1-howto."))));
    QVERIFY(text(target.filePath(QStringLiteral("index1.")))
                .contains(QStringLiteral("href=\"index-howto.\"")));
}

void TestPublishThread::insertIntoPageCopiesOnlyMedia()
{
    TemporaryFolder site;
    const QByteArray original = "<html><body><p>mine</p></body></html>";
    const QString page = site.writeFile(QStringLiteral("about.html"), original);
    Parameters parameters = mediaParameters(QString());
    parameters.insert(PUBLISH_TYPE, PUBLISH_TYPE_HTML);
    parameters.insert(PUBLISH_HTML, page);
    parameters.remove(PUBLISH_PATH);

    const Outcome outcome = publish(parameters);
    QVERIFY2(!outcome.hasError, qPrintable(outcome.error));
    QVERIFY(outcome.finished);
    QCOMPARE(
        filesUnder(site.path()),
        (QStringList {"about.files/vudi5dozur/.htaccess", "about.files/vudi5dozur/clip.jpg",
                      "about.files/vudi5dozur/clip.m4v", "about.files/vudi5dozur/clip.webm",
                      "about.files/vudi5dozur/fullscreen.png", "about.files/vudi5dozur/html5ext.js",
                      "about.files/vudi5dozur/plavex.swf", "about.html"}));
    QCOMPARE(fileContents(page), original);
}

void TestPublishThread::missingTemplate_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("page") << "index.html";
    QTest::newRow("how-to page") << "howto.html";
    QTest::newRow("support script") << "html5ext.js";
}

void TestPublishThread::missingTemplate()
{
    QFETCH(QString, name);
    const QString path = templateFile(name);
    QVERIFY(QFile::rename(path, path + QStringLiteral(".away")));
    TemporaryFolder target;
    const Outcome outcome = publish(mediaParameters(target.path()));
    QFile::rename(path + QStringLiteral(".away"), path);

    QVERIFY(outcome.hasError);
    QVERIFY(!outcome.finished);
    QCOMPARE(outcome.error, QStringLiteral("Failed to read the file '%1'").arg(path));
    QCOMPARE(filesUnder(target.path()), QStringList());
}

void TestPublishThread::unknownPublishType()
{
    TemporaryFolder target;
    Parameters parameters = mediaParameters(target.path());
    parameters.insert(PUBLISH_TYPE, QStringLiteral("Carrier pigeon"));
    const Outcome outcome = publish(parameters);
    QVERIFY(outcome.hasError);
    QCOMPARE(outcome.error, QString());
    QCOMPARE(filesUnder(target.path()), QStringList());
}

void TestPublishThread::folderThatCannotBeMade()
{
    TemporaryFolder target;
    const QString blocker = target.writeFile(QStringLiteral("taken"), "a file, not a folder");
    const Outcome outcome = publish(mediaParameters(blocker + QStringLiteral("/site")));
    QVERIFY(outcome.hasError);
    QVERIFY(!outcome.finished);
    QVERIFY2(outcome.error.startsWith(QStringLiteral("Failed to create the directory '") + blocker),
             qPrintable(outcome.error));
    QCOMPARE(filesUnder(target.path()), QStringList {QStringLiteral("taken")});
}

void TestPublishThread::cancelKeepsWhatWasCopied()
{
    TemporaryFolder target;
    const Outcome outcome =
        publish(mediaParameters(target.path()), QString(), [](PublishThread& job) {
            // Cancelled while the third file is on its way: it still arrives.
            QObject::connect(
                &job, &PublishThread::item, &job,
                [&job, count = 0](const QString&) mutable {
                    if (++count == 3)
                        job.cancel();
                },
                Qt::DirectConnection);
        });
    QVERIFY(!outcome.hasError);
    QVERIFY(outcome.finished);
    QCOMPARE(outcome.items.size(), 3);
    const QStringList published = filesUnder(target.path());
    QCOMPARE(published.size(), 3);
    for (const QString& item : outcome.items)
        QVERIFY2(published.contains(QDir(target.path()).relativeFilePath(item)), qPrintable(item));
}

void TestPublishThread::progressAndSteps()
{
    TemporaryFolder target;
    const Outcome outcome = publish(mediaParameters(target.path()));
    QVERIFY(outcome.finished);
    QCOMPARE(
        outcome.steps,
        (QStringList {QStringLiteral("Generating HTML code"), QStringLiteral("Copying files")}));
    QVERIFY(!outcome.progress.contains(-1)); // always out of 100
    QCOMPARE(outcome.progress.first(), 10);
    QCOMPARE(outcome.progress.last(), 100);
    for (int i = 1; i < outcome.progress.size(); ++i) {
        QVERIFY(outcome.progress.at(i) >= outcome.progress.at(i - 1));
        QVERIFY(outcome.progress.at(i) <= 100);
    }
    // One item per published file, named by its destination.
    QStringList items = outcome.items;
    for (QString& item : items)
        item = QDir(target.path()).relativeFilePath(item);
    items.sort();
    QCOMPARE(items, filesUnder(target.path()));
    QVERIFY(outcome.progress.size() >= items.size() + 2);
}

void TestPublishThread::templatePlaceholders()
{
    const QString path = templateFile(QStringLiteral("index.html"));
    const QByteArray original = fileContents(path);
    QFile templateFile(path);
    QVERIFY(templateFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    templateFile.write("[$VideoTitle$][$AutoPlay$][$VideoSize$][$NoSuchKey$][$baseName$]"
                       "[$keywords$][$orgname$][$PublishNextVideo$][$FilesUri$]");
    templateFile.close();

    TemporaryFolder target;
    Parameters parameters = mediaParameters(target.path());
    parameters.insert(PUBLISH_INDEX_FILE, QStringLiteral("page.one.html"));
    const Outcome outcome = publish(parameters);
    QVERIFY(templateFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    templateFile.write(original);
    templateFile.close();

    QVERIFY2(!outcome.hasError, qPrintable(outcome.error));
    QCOMPARE(text(target.filePath(QStringLiteral("page.one.html"))),
             QStringLiteral("[Clip title][false][][$NoSuchKey$][page.one][duvo5 rezar idurizadu]"
                            "[%1][][page.one.files/vudi5dozur/]")
                 .arg(QCoreApplication::organizationName()));
}

QTEST_GUILESS_MAIN(TestPublishThread)
#include "tst_publishthread.moc"
