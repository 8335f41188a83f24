#include "filesizelimit.h"
#include "project/project.h"
#include "project/projectsettings.h"
#include "project/recentprojectmanager.h"
#include "project/xmlvideocache.h"
#include "temporaryfolder.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include <memory>

namespace {
// Far less than any of the files below needs, more than nothing: the write
// stops in the middle.
constexpr qint64 Limit = 100;

QMap<QString, QByteArray> contents(const QString& folder)
{
    QMap<QString, QByteArray> result;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            result.insert(name, file.readAll());
    }
    return result;
}

// One kind of file, saved once well and then again with more in it.
class Saver
{
public:
    virtual ~Saver() = default;
    virtual bool save() = 0;
    virtual void grow() = 0;
};

class ProjectSaver : public Saver
{
public:
    explicit ProjectSaver(const TemporaryFolder& folder)
        : m_file(folder.filePath(QStringLiteral("p.xml")))
        , m_project(createXmlProject(QStringLiteral("/videos/clip.mp4")))
    {
        QImage image(16, 9, QImage::Format_RGB32);
        image.fill(Qt::red);
        m_project->setVideoPreview(QPixmap::fromImage(image));
        m_project->getVideoCache()->addVideo({{QStringLiteral("VideoFormat"), "webm"}},
                                             folder.writeFile(QStringLiteral("a.webm"), "a"));
    }
    bool save() override { return m_project->save(m_file); }
    void grow() override
    {
        m_project->rsettings().insert(VIDEO_TITLE, QString(500, QLatin1Char('t')));
        m_project->setVideoPreview(QPixmap());
    }

private:
    QString m_file;
    QSharedPointer<Project> m_project;
};

class CacheSaver : public Saver
{
public:
    explicit CacheSaver(const TemporaryFolder& folder)
        : m_folder(folder)
    {
        add(QStringLiteral("a.webm"));
    }
    bool save() override { return m_cache.save(m_folder.filePath(QStringLiteral("p.cache"))); }
    void grow() override
    {
        for (int i = 0; i < 5; ++i)
            add(QStringLiteral("%1.ogv").arg(i));
    }

private:
    void add(const QString& name)
    {
        m_cache.addVideo({{QStringLiteral("VideoFormat"), name}}, m_folder.writeFile(name, "x"));
    }

    const TemporaryFolder& m_folder;
    XmlVideoCache m_cache;
};

class StoreSaver : public Saver
{
public:
    explicit StoreSaver(const TemporaryFolder& folder)
        : m_folder(folder)
        , m_store(CreateXmlRecentProjectManager(folder.filePath(QStringLiteral("projects.xml"))))
    {
        add(QStringLiteral("a"));
    }
    // The store does not tell; the file shows it.
    bool save() override
    {
        const QByteArray before = m_folder.readFile(QStringLiteral("projects.xml"));
        m_store->save();
        return m_folder.readFile(QStringLiteral("projects.xml")) != before;
    }
    void grow() override
    {
        for (int i = 0; i < 5; ++i)
            add(QString::number(i));
    }

private:
    void add(const QString& name)
    {
        const auto project = createXmlProject(QStringLiteral("/videos/%1.mp4").arg(name));
        const QString file = m_folder.filePath(name + QStringLiteral(".xml"));
        project->save(file);
        m_store->addProject(project, file, 0);
    }

    const TemporaryFolder& m_folder;
    std::unique_ptr<RecentProjectManager> m_store;
};

std::unique_ptr<Saver> makeSaver(const QString& kind, const TemporaryFolder& folder)
{
    if (kind == QLatin1String("project"))
        return std::make_unique<ProjectSaver>(folder);
    if (kind == QLatin1String("cache"))
        return std::make_unique<CacheSaver>(folder);
    return std::make_unique<StoreSaver>(folder);
}
} // namespace

// A save that fails or is cut short must leave the previous file exactly as it
// was: the project, its cache and the list of projects are the only copies.
class TestAtomicSave : public QObject
{
    Q_OBJECT
private slots:
    void interruptedSave_data();
    void interruptedSave();
};

void TestAtomicSave::interruptedSave_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("killed");

    for (const char* kind : {"project", "cache", "store"}) {
        QTest::addRow("%s, write fails", kind) << kind << false;
        QTest::addRow("%s, process killed", kind) << kind << true;
    }
}

void TestAtomicSave::interruptedSave()
{
    QFETCH(QString, kind);
    QFETCH(bool, killed);
    TemporaryFolder folder;
    const std::unique_ptr<Saver> saver = makeSaver(kind, folder);
    QVERIFY(saver->save());
    saver->grow();
    const QMap<QString, QByteArray> before = contents(folder.path());

    if (killed) {
        QVERIFY(runKilledAtFileSize(Limit, [&saver] { saver->save(); }));
        // The killed writer had no chance to remove its temporary file; what
        // matters is that the real files are untouched.
        const QMap<QString, QByteArray> after = contents(folder.path());
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(after.value(it.key()), it.value());
    } else {
        {
            const FileSizeLimit limit(Limit);
            QVERIFY(!saver->save());
        }
        QCOMPARE(contents(folder.path()), before);
        // Nothing is stuck: with room again the save goes through.
        QVERIFY(saver->save());
        QVERIFY(contents(folder.path()) != before);
    }
}

QTEST_MAIN(TestAtomicSave)
#include "tst_atomicsave.moc"
