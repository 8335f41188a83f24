#include "project/project.h"
#include "project/projectsettings.h"
#include "project/recentprojectmanager.h"
#include "project/xmlvideocache.h"
#include "temporaryfolder.h"

#include <QFile>
#include <QTest>

#include <memory>

namespace {
using Entry = QPair<QString, QString>; // video path, project file name
using Entries = QList<Entry>;

// A store file listing the entries, each with a saved project file in the
// folder (unless its name starts with "missing").
class StoreFixture
{
public:
    explicit StoreFixture(const Entries& entries)
    {
        QString xml = QStringLiteral("<?xml version=\"1.0\"?>\n<TovaLumen>\n"
                                     "<RecentProjects version=\"1.0\">\n");
        for (const Entry& entry : entries) {
            if (!entry.second.startsWith(QLatin1String("missing")))
                saveProject(entry.first, entry.second);
            xml += project(entry.first, entry.second);
        }
        xml += QStringLiteral("</RecentProjects>\n</TovaLumen>\n");
        writeStore(xml);
    }

    QString projectFile(const QString& name) const { return folder.filePath(name); }
    QString storeFile() const { return folder.filePath(QStringLiteral("data/projects.xml")); }

    void saveProject(const QString& video, const QString& name, const QString& title = QString())
    {
        const auto project = createXmlProject(video);
        project->rsettings().insert(VIDEO_TITLE, title.isNull() ? video : title);
        QVERIFY(project->save(projectFile(name)));
    }

    QString project(const QString& video, const QString& name) const
    {
        return QStringLiteral("<Project><VideoPath>%1</VideoPath><ProjectPath>%2</ProjectPath>"
                              "</Project>\n")
            .arg(video.toHtmlEscaped(), name.isEmpty() ? QString() : projectFile(name));
    }

    void writeStore(const QString& xml) const
    {
        QVERIFY(!folder.writeFile(QStringLiteral("data/projects.xml"), xml.toUtf8()).isEmpty());
    }

    std::unique_ptr<RecentProjectManager> open() const
    {
        return std::unique_ptr<RecentProjectManager>(CreateXmlRecentProjectManager(storeFile()));
    }

    TemporaryFolder folder;
};

QStringList videos(const RecentProjectManager& store)
{
    QStringList result;
    for (int i = 0; i < store.count(); ++i)
        result.append(store.getProject(i)->videoPath());
    return result;
}
} // namespace

class TestRecentProjectManager : public QObject
{
    Q_OBJECT
private slots:
    void missingStoreIsEmpty();
    void load_data();
    void load();
    void projectsAreLoadedWhenAskedFor();
    void projectThatFailsToLoadIsStillListed();
    void findProject();
    void addProject_data();
    void addProject();
    void addTheSameObject();
    void saveAndReload();
    void removeProject_data();
    void removeProject();
};

void TestRecentProjectManager::missingStoreIsEmpty()
{
    TemporaryFolder folder;
    const std::unique_ptr<RecentProjectManager> store(
        CreateXmlRecentProjectManager(folder.filePath(QStringLiteral("none/projects.xml"))));
    QCOMPARE(store->count(), 0);
    QVERIFY(!store->getProject(0));
    QVERIFY(!store->findProject(QStringLiteral("/v/a.mp4")));
    QCOMPARE(store->findProjectIndex(QStringLiteral("/v/a.mp4")), -1);
    // The folder is made on saving.
    store->save();
    QVERIFY(QFile::exists(folder.filePath(QStringLiteral("none/projects.xml"))));
}

void TestRecentProjectManager::load_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("gone and incomplete entries are dropped")
        << "<RecentProjects version=\"1.0\">{a}{gone}{novideo}{nofile}{b}</RecentProjects>"
        << QStringList {"/v/a.mp4", "/v/b.mp4"};
    QTest::newRow("wrong version")
        << "<RecentProjects version=\"2.0\">{a}</RecentProjects>" << QStringList();
    QTest::newRow("wrong version keeps earlier entries")
        << "<RecentProjects version=\"1.0\">{a}{b}</RecentProjects>"
           "<RecentProjects version=\"2.0\">{c}</RecentProjects>"
        << QStringList {"/v/a.mp4", "/v/b.mp4"};
    QTest::newRow("a later list replaces an earlier one")
        << "<RecentProjects version=\"1.0\">{a}</RecentProjects>"
           "<RecentProjects version=\"1.0\">{c}</RecentProjects>"
        << QStringList {"/v/c.mp4"};
    QTest::newRow("malformed after two entries")
        << "<RecentProjects version=\"1.0\">{a}{b}<Project><VideoPath>/v/c.mp4</Vid"
        << QStringList {"/v/a.mp4", "/v/b.mp4"};
    QTest::newRow("unknown elements are skipped")
        << "<Other>{c}</Other><RecentProjects version=\"1.0\"><X>{b}</X>{a}"
           "<Project><Note/><VideoPath>/v/c.mp4</VideoPath><Y><VideoPath>/v/x</VideoPath></Y>"
           "<ProjectPath>{cfile}</ProjectPath></Project></RecentProjects>"
        << QStringList {"/v/a.mp4", "/v/c.mp4"};
}

void TestRecentProjectManager::load()
{
    QFETCH(QString, body);
    QFETCH(QStringList, expected);
    StoreFixture fixture {Entries()};
    for (const QString& name : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}) {
        const QString video = QStringLiteral("/v/%1.mp4").arg(name);
        fixture.saveProject(video, name + QStringLiteral(".xml"));
        body.replace(QStringLiteral("{%1}").arg(name), fixture.project(video, name + ".xml"));
        body.replace(QStringLiteral("{%1file}").arg(name), fixture.projectFile(name + ".xml"));
    }
    body.replace(QStringLiteral("{gone}"), fixture.project("/v/gone.mp4", "gone.xml"));
    body.replace(QStringLiteral("{novideo}"), fixture.project(QString(), "a.xml"));
    body.replace(QStringLiteral("{nofile}"), fixture.project("/v/x.mp4", QString()));
    fixture.writeStore(
        QStringLiteral("<?xml version=\"1.0\"?><TovaLumen>") + body +
        (body.endsWith(QLatin1String("</Vid")) ? QString() : QStringLiteral("</TovaLumen>")));

    const auto store = fixture.open();
    QCOMPARE(videos(*store), expected);
}

// Opening a long list must not read every project file: a file changed after
// the store was opened shows its new contents when its row is first asked for.
void TestRecentProjectManager::projectsAreLoadedWhenAskedFor()
{
    StoreFixture fixture(Entries {{"/v/a.mp4", "a.xml"}, {"/v/b.mp4", "b.xml"}});
    const auto store = fixture.open();
    fixture.saveProject("/v/b.mp4", "b.xml", QStringLiteral("changed later"));

    const auto project = store->getProject(1);
    QCOMPARE(project->settings().value(VIDEO_TITLE).toString(), QStringLiteral("changed later"));
    QCOMPARE(store->getProject(1), project);
    QVERIFY(!store->getProject(-1));
    QVERIFY(!store->getProject(2));
}

void TestRecentProjectManager::projectThatFailsToLoadIsStillListed()
{
    StoreFixture fixture(Entries {{"/v/a.mp4", "a.xml"}});
    fixture.folder.writeFile(QStringLiteral("a.xml"), "<TovaLumen><Project version=\"1.0\"><Id>");
    const auto store = fixture.open();
    QCOMPARE(store->count(), 1);
    const auto project = store->getProject(0);
    QVERIFY(project);
    QCOMPARE(project->videoPath(), QString());
    QVERIFY(project->settings().isEmpty());
}

void TestRecentProjectManager::findProject()
{
    StoreFixture fixture(Entries {{"/v/a.mp4", "a.xml"}, {"/v/B.mp4", "b.xml"}});
    const auto store = fixture.open();
    QCOMPARE(store->findProjectIndex(QStringLiteral("/v/B.mp4")), 1);
    QCOMPARE(store->findProject(QStringLiteral("/v/B.mp4")), store->getProject(1));
    QCOMPARE(store->findProjectIndex(QStringLiteral("/v/b.mp4")), -1);
    QVERIFY(!store->findProject(QStringLiteral("/v/b.mp4")));
    QVERIFY(!store->findProject(QStringLiteral("/v/c.mp4")));
}

void TestRecentProjectManager::addProject_data()
{
    QTest::addColumn<Entries>("initial");
    QTest::addColumn<QString>("video");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("position");
    QTest::addColumn<QStringList>("expected");

    const Entries three {{"/v/a.mp4", "a.xml"}, {"/v/b.mp4", "b.xml"}, {"/v/c.mp4", "c.xml"}};
    QTest::newRow("new, top") << three << "/v/n.mp4"
                              << "n.xml" << 0 << QStringList {"n", "a", "b", "c"};
    QTest::newRow("new, -1 appends") << three << "/v/n.mp4"
                                     << "n.xml" << -1 << QStringList {"a", "b", "c", "n"};
    QTest::newRow("new, in the middle") << three << "/v/n.mp4"
                                        << "n.xml" << 2 << QStringList {"a", "b", "n", "c"};
    QTest::newRow("new, past the end") << three << "/v/n.mp4"
                                       << "n.xml" << 9 << QStringList {"a", "b", "c", "n"};
    QTest::newRow("same video, other file, -1 keeps the place")
        << three << "/v/b.mp4"
        << "n.xml" << -1 << QStringList {"a", "n", "c"};
    QTest::newRow("same video, other file, top") << three << "/v/b.mp4"
                                                 << "n.xml" << 0 << QStringList {"n", "a", "c"};
    QTest::newRow("same file, other video") << three << "/v/n.mp4"
                                            << "c.xml" << -1 << QStringList {"a", "b", "c"};
    // The first match (by file) stands at 1, the second (by video) at 3,
    // which is 2 once the first is gone.
    QTest::newRow("two matches") << Entries {{"/v/a.mp4", "a.xml"},
                                             {"/v/b.mp4", "n.xml"},
                                             {"/v/c.mp4", "c.xml"},
                                             {"/v/n.mp4", "d.xml"},
                                             {"/v/e.mp4", "e.xml"}}
                                 << "/v/n.mp4"
                                 << "n.xml" << -1 << QStringList {"a", "c", "n", "e"};
}

void TestRecentProjectManager::addProject()
{
    QFETCH(Entries, initial);
    QFETCH(QString, video);
    QFETCH(QString, file);
    QFETCH(int, position);
    QFETCH(QStringList, expected);
    StoreFixture fixture(initial);
    const auto store = fixture.open();
    const auto project = createXmlProject(video);
    QVERIFY(project->save(fixture.projectFile(file)));

    store->addProject(project, fixture.projectFile(file), position);

    // Entries are named by their project file; the new one is the object given.
    QStringList names;
    for (int i = 0; i < store->count(); ++i) {
        const auto listed = store->getProject(i);
        names.append(listed == project ? QFileInfo(file).baseName()
                                       : QFileInfo(listed->videoPath()).baseName());
    }
    QCOMPARE(names, expected);
    QCOMPARE(store->findProject(video), project);
}

void TestRecentProjectManager::addTheSameObject()
{
    StoreFixture fixture(
        Entries {{"/v/a.mp4", "a.xml"}, {"/v/b.mp4", "b.xml"}, {"/v/c.mp4", "c.xml"}});
    const auto store = fixture.open();
    const auto project = store->getProject(1);
    // Saved under a new name, and its video renamed: only the object matches.
    store->addProject(createXmlProject(QStringLiteral("/v/x.mp4")), fixture.projectFile("x.xml"),
                      0);
    store->addProject(project, fixture.projectFile(QStringLiteral("b2.xml")), -1);
    QCOMPARE(store->count(), 4);
    QCOMPARE(store->getProject(2), project);
    QCOMPARE(videos(*store), (QStringList {"/v/x.mp4", "/v/a.mp4", "/v/b.mp4", "/v/c.mp4"}));
}

void TestRecentProjectManager::saveAndReload()
{
    StoreFixture fixture(Entries {{"/v/a.mp4", "a.xml"}, {"/v/b & c.mp4", "b.xml"}});
    const auto store = fixture.open();
    const auto added = createXmlProject(QStringLiteral("/v/n.mp4"));
    QVERIFY(added->save(fixture.projectFile(QStringLiteral("n.xml"))));
    store->addProject(added, fixture.projectFile(QStringLiteral("n.xml")), 0);
    store->save();

    QCOMPARE(QString::fromUtf8(fixture.folder.readFile(QStringLiteral("data/projects.xml"))),
             QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<TovaLumen>\n"
                            "    <RecentProjects version=\"1.0\">\n"
                            "        <Project>\n"
                            "            <VideoPath>/v/n.mp4</VideoPath>\n"
                            "            <ProjectPath>%1</ProjectPath>\n"
                            "        </Project>\n"
                            "        <Project>\n"
                            "            <VideoPath>/v/a.mp4</VideoPath>\n"
                            "            <ProjectPath>%2</ProjectPath>\n"
                            "        </Project>\n"
                            "        <Project>\n"
                            "            <VideoPath>/v/b &amp; c.mp4</VideoPath>\n"
                            "            <ProjectPath>%3</ProjectPath>\n"
                            "        </Project>\n"
                            "    </RecentProjects>\n"
                            "</TovaLumen>\n")
                 .arg(fixture.projectFile(QStringLiteral("n.xml")),
                      fixture.projectFile(QStringLiteral("a.xml")),
                      fixture.projectFile(QStringLiteral("b.xml"))));
    const auto reopened = fixture.open();
    QCOMPARE(videos(*reopened), (QStringList {"/v/n.mp4", "/v/a.mp4", "/v/b & c.mp4"}));
}

void TestRecentProjectManager::removeProject_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("keepFiles");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("keep files") << 1 << true << QStringList {"/v/a.mp4", "/v/c.mp4"};
    QTest::newRow("delete files") << 1 << false << QStringList {"/v/a.mp4", "/v/c.mp4"};
    QTest::newRow("index -1") << -1 << false << QStringList {"/v/a.mp4", "/v/b.mp4", "/v/c.mp4"};
    QTest::newRow("index count") << 3 << false << QStringList {"/v/a.mp4", "/v/b.mp4", "/v/c.mp4"};
}

void TestRecentProjectManager::removeProject()
{
    QFETCH(int, index);
    QFETCH(bool, keepFiles);
    QFETCH(QStringList, expected);
    StoreFixture fixture(
        Entries {{"/v/a.mp4", "a.xml"}, {"/v/b.mp4", "b.xml"}, {"/v/c.mp4", "c.xml"}});
    const QString encoded = fixture.folder.writeFile(QStringLiteral("b.webm"), "encoded");
    XmlVideoCache cache;
    cache.addVideo({{QStringLiteral("VideoFormat"), QStringLiteral("webm")}}, encoded);
    QVERIFY(cache.save(fixture.projectFile(QStringLiteral("b.cache"))));
    const QByteArray storeBefore = fixture.folder.readFile(QStringLiteral("data/projects.xml"));
    const auto store = fixture.open();

    store->removeProject(index, keepFiles);

    QCOMPARE(videos(*store), expected);
    const bool deleted = index == 1 && !keepFiles;
    for (const QString& path : {fixture.projectFile(QStringLiteral("b.xml")),
                                fixture.projectFile(QStringLiteral("b.cache")), encoded})
        QVERIFY2(QFile::exists(path) != deleted, qPrintable(path));
    QVERIFY(QFile::exists(fixture.projectFile(QStringLiteral("a.xml"))));
    // Only save() writes the store.
    QCOMPARE(fixture.folder.readFile(QStringLiteral("data/projects.xml")), storeBefore);
}

QTEST_MAIN(TestRecentProjectManager)
#include "tst_recentprojectmanager.moc"
