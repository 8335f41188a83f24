#include "temporaryfolder.h"
#include "util/appidentity.h"
#include "util/miscutils.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QSemaphore>
#include <QTest>
#include <QThread>

#include <atomic>

namespace {
std::atomic<int> g_locateMessages {0};
QtMessageHandler g_previousHandler = nullptr;

void countLocateMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message == QLatin1String("Locating the resource folder"))
        ++g_locateMessages;
    g_previousHandler(type, context, message);
}
} // namespace

// Receives the addresses QDesktopServices would open.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class TestMiscUtils : public QObject
{
    Q_OBJECT
private slots:
    // Must stay the first test: it needs the process's first call.
    void resourcesPathIsLocatedOnceUnderRace();
    void resolveResourcesPath_data();
    void resolveResourcesPath();
    void applicationIdentity();
    void quotedString_data();
    void quotedString();
    void uuidText_data();
    void uuidText();
    void alignSize_data();
    void alignSize();
    void changeFileExt_data();
    void changeFileExt();
    void shortcutUrl_data();
    void shortcutUrl();
    void openersUseTheDesktopHandler();
};

void TestMiscUtils::resourcesPathIsLocatedOnceUnderRace()
{
    TemporaryFolder folder;
    const QString expected = folder.path();
    qputenv("TOVALUMEN_RESOURCES", QFile::encodeName(expected + QStringLiteral("/")));
    g_previousHandler = qInstallMessageHandler(countLocateMessages);

    QSemaphore ready;
    QSemaphore go;
    QString answers[2];
    QThread* threads[2];
    for (int i = 0; i < 2; ++i) {
        threads[i] = QThread::create([&, i] {
            ready.release();
            go.acquire();
            answers[i] = getResourcesPath();
        });
        threads[i]->start();
    }
    ready.acquire(2);
    go.release(2);
    for (QThread* thread : threads) {
        QVERIFY(thread->wait(10000));
        delete thread;
    }
    qInstallMessageHandler(g_previousHandler);

    QCOMPARE(answers[0], expected);
    QCOMPARE(answers[1], expected);
    QCOMPARE(g_locateMessages.load(), 1);
    // Later calls keep the first answer even when the environment changes.
    qputenv("TOVALUMEN_RESOURCES", "/elsewhere");
    QCOMPARE(getResourcesPath(), expected);
}

void TestMiscUtils::resolveResourcesPath_data()
{
    QTest::addColumn<QString>("environment");
    QTest::addColumn<bool>("installedLayout");
    QTest::addColumn<QString>("expected");

    QTest::newRow("environment wins") << "/opt/res/" << true << "/opt/res";
    QTest::newRow("installed layout") << "" << true << "<installed>";
    QTest::newRow("build tree") << "" << false << "/build/share/tovalumen";
}

void TestMiscUtils::resolveResourcesPath()
{
    QFETCH(QString, environment);
    QFETCH(bool, installedLayout);
    QFETCH(QString, expected);

    TemporaryFolder prefix;
    QDir(prefix.path()).mkpath(QStringLiteral("bin"));
    if (installedLayout)
        QDir(prefix.path()).mkpath(QStringLiteral("share/tovalumen"));
    expected.replace(QStringLiteral("<installed>"),
                     prefix.filePath(QStringLiteral("share/tovalumen")));

    QCOMPARE(::resolveResourcesPath(environment, prefix.filePath(QStringLiteral("bin")),
                                    QStringLiteral("/build/share/tovalumen/")),
             expected);
}

void TestMiscUtils::applicationIdentity()
{
    AppIdentity::apply();
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("TovaLumen"));
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("4.0"));
    QVERIFY(!QCoreApplication::organizationName().isEmpty());
    QCOMPARE(QCoreApplication::organizationDomain(),
             QCoreApplication::organizationName().toLower());
}

void TestMiscUtils::quotedString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "abc"
                           << "\"abc\"";
    QTest::newRow("spaces") << "a b"
                            << "\"a b\"";
    QTest::newRow("inner quote") << "ab\"c"
                                 << "\"ab\"\"\"c\"";
    QTest::newRow("only a quote") << "\""
                                  << "\"\"\"\"\"";
    QTest::newRow("empty") << ""
                           << "\"\"";
}

void TestMiscUtils::quotedString()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString original = text;

    QCOMPARE(::quotedString(text), expected);
    QCOMPARE(text, original);
    // The quoted text is what the process layer splits back into the argument.
    if (!text.isEmpty())
        QCOMPARE(QProcess::splitCommand(QString(QStringLiteral("x ") + expected)),
                 (QStringList {QStringLiteral("x"), text}));
}

void TestMiscUtils::uuidText_data()
{
    QTest::addColumn<QUuid>("id");
    QTest::addColumn<QString>("expected");

    QTest::newRow("null") << QUuid() << "00000000-0000-0000-0000-000000000000";
    QTest::newRow("mixed") << QUuid(QStringLiteral("{6F9619FF-8B86-D011-B42D-00CF4FC964FF}"))
                           << "6f9619ff-8b86-d011-b42d-00cf4fc964ff";
}

void TestMiscUtils::uuidText()
{
    QFETCH(QUuid, id);
    QFETCH(QString, expected);
    QCOMPARE(UUid2String(id), expected);
}

void TestMiscUtils::alignSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("alignment");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("rounds up") << QSize(13, 7) << QSize(8, 8) << QSize(16, 8);
    QTest::newRow("already aligned") << QSize(16, 16) << QSize(16, 16) << QSize(16, 16);
    QTest::newRow("zero stays zero") << QSize(0, 0) << QSize(4, 4) << QSize(0, 0);
    QTest::newRow("per dimension") << QSize(641, 360) << QSize(2, 16) << QSize(642, 368);
    QTest::newRow("alignment of zero") << QSize(13, 7) << QSize(0, 0) << QSize(13, 7);
}

void TestMiscUtils::alignSize()
{
    QFETCH(QSize, size);
    QFETCH(QSize, alignment);
    QFETCH(QSize, expected);
    QCOMPARE(::alignSize(size, alignment), expected);
}

void TestMiscUtils::changeFileExt_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("expected");

    QTest::newRow("last extension") << "/tmp/a.b.m4v"
                                    << "log"
                                    << "/tmp/a.b.log";
    QTest::newRow("bare name") << "report"
                               << "xml"
                               << "./report.xml";
    QTest::newRow("no dot") << "/tmp/noext"
                            << "log"
                            << "/tmp/noext.log";
    QTest::newRow("dotted folder") << "/tmp/v1.2/clip"
                                   << "log"
                                   << "/tmp/v1.2/clip.log";
}

void TestMiscUtils::changeFileExt()
{
    QFETCH(QString, path);
    QFETCH(QString, extension);
    QFETCH(QString, expected);
    QCOMPARE(::changeFileExt(path, extension), expected);
}

void TestMiscUtils::shortcutUrl_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    QTest::newRow("placeholders")
        << QByteArray("[InternetShortcut]\nURL=http://h/?v=%ver%&w=%ver%&os=%os%\n")
        << "http://h/?v=4.0&w=4.0&os=win";
    QTest::newRow("case-sensitive")
        << QByteArray("[InternetShortcut]\nURL=http://h/%VER%\n") << "http://h/%VER%";
    QTest::newRow("missing key") << QByteArray("[InternetShortcut]\nIconIndex=0\n") << "";
    QTest::newRow("missing file") << QByteArray() << "";
}

void TestMiscUtils::shortcutUrl()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    AppIdentity::apply();
    TemporaryFolder folder;
    const QString path = content.isNull() ? folder.filePath(QStringLiteral("none.url"))
                                          : folder.writeFile(QStringLiteral("home.url"), content);
    QCOMPARE(readShortcutUrl(path), expected);
}

void TestMiscUtils::openersUseTheDesktopHandler()
{
    AppIdentity::apply();
    TemporaryFolder folder;
    const QString shortcut = folder.writeFile(
        QStringLiteral("home.url"), "[InternetShortcut]\nURL=https://example.invalid/%ver%\n");
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");

    openUrlFile(shortcut);
    openFile(QStringLiteral("/tmp/page one.html"));
    openUrlFile(folder.filePath(QStringLiteral("missing.url")));

    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(catcher.urls,
             (QList<QUrl> {QUrl(QStringLiteral("https://example.invalid/4.0")),
                           QUrl::fromLocalFile(QStringLiteral("/tmp/page one.html"))}));
}

QTEST_MAIN(TestMiscUtils)
#include "tst_miscutils.moc"
