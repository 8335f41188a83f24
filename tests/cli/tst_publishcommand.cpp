#include "clirunner.h"
#include "filetree.h"
#include "ftpserverfixture.h"
#include "temporaryfolder.h"

#include <QDir>
#include <QTest>

// tovalumen-cli publish as a user runs it: options, exit codes, messages and
// the published files, into a folder and onto a real FTP server.
class TestPublishCommand : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void usage_data();
    void usage();
    void publishesIntoFolder_data();
    void publishesIntoFolder();
    void publishesToFtp_data();
    void publishesToFtp();

private:
    TemporaryFolder m_media;
    QString m_mp4;
    QString m_webm;
    QString m_poster;
};

void TestPublishCommand::initTestCase()
{
    m_mp4 = m_media.writeFile(QStringLiteral("my clip.m4v"), QByteArray(40000, 'm'));
    m_webm = m_media.writeFile(QStringLiteral("my clip.webm"), QByteArray(30000, 'w'));
    m_poster = m_media.writeFile(QStringLiteral("poster.jpg"), QByteArray(2000, 'j'));
    QVERIFY(!m_mp4.isEmpty() && !m_webm.isEmpty() && !m_poster.isEmpty());
}

void TestPublishCommand::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");

    const QStringList page = {"--page", "index.html", "--title", "T", "--size", "320x240"};
    QTest::newRow("listed") << QStringList {"--help"} << 0 << "publish"
                            << "";
    QTest::newRow("help") << QStringList {"publish", "--help"} << 0 << "--no-flash"
                          << "";
    QTest::newRow("no target") << QStringList {"publish"} + page << 2 << ""
                               << "Give either --out or --ftp.";
    QTest::newRow("two targets") << QStringList {"publish", "--out", "x", "--ftp", "ftp://u@h/"} +
            page << 2 << ""
                                 << "Give either --out or --ftp.";
    QTest::newRow("no page") << QStringList {"publish", "--out",  "x",      "--title",
                                             "T",       "--size", "320x240"}
                             << 2 << ""
                             << "Missing --page.";
    QTest::newRow("size that is no size")
        << QStringList {"publish", "--out", "x",      "--page",    "i.html",
                        "--title", "T",     "--size", "320 by 240"}
        << 2 << ""
        << "Not a size of the form WxH: 320 by 240";
    QTest::newRow("zero size") << QStringList {"publish", "--out", "x",      "--page", "i.html",
                                               "--title", "T",     "--size", "0x240"}
                               << 2 << ""
                               << "Not a size";
    QTest::newRow("not an FTP address")
        << QStringList {"publish", "--ftp", "http://host/x"} + page << 2 << ""
        << "Not an address of the form ftp://USER@HOST[:PORT]/FOLDER";
    QTest::newRow("missing media")
        << QStringList {"publish", "--out", "x", "--mp4", "/nonexistent/clip.m4v"} + page << 1 << ""
        << "Cannot read '/nonexistent/clip.m4v'.";
}

void TestPublishCommand::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);

    TemporaryFolder folder;
    const CliRun run = runCli(arguments, QProcessEnvironment::systemEnvironment(), folder.path());
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.out.contains(stdoutHas), qPrintable(run.out));
    QVERIFY2(run.err.contains(stderrHas), qPrintable(run.err));
    // A refused command line publishes nothing.
    if (exitCode != 0)
        QCOMPARE(filesUnder(folder.path()), QStringList());
}

void TestPublishCommand::publishesIntoFolder_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("support");
    QTest::addColumn<QStringList>("pageHas");

    QTest::newRow("defaults") << QStringList()
                              << QStringList {".htaccess", "fullscreen.png", "html5ext.js",
                                              "plavex.swf"}
                              << QStringList {"<video controls=\"controls\"  poster=",
                                              "application/x-shockwave-flash"};
    QTest::newRow("no controls, no Flash, autoplay, loop")
        << QStringList {"--no-controls", "--no-flash", "--autoplay", "--loop"}
        << QStringList {".htaccess", "html5ext.js"}
        << QStringList {"<video  autoplay=\"autoplay\" poster=", "loop=\"loop\""};
}

void TestPublishCommand::publishesIntoFolder()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, support);
    QFETCH(QStringList, pageHas);

    TemporaryFolder target;
    const CliRun run =
        runCli(QStringList {"publish", "--out", target.filePath("site"), "--page", "clip.html",
                            "--title", "My \"clip\"", "--size", "640x360", "--poster", m_poster,
                            "--mp4", m_mp4, "--webm", m_webm} +
               options);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.err.trimmed().split(QLatin1Char('\n')).last().startsWith(QStringLiteral("100%")),
             qPrintable(run.err));

    // Media are named after the first media file.
    QStringList expected = {"clip-howto.html", "clip.html", "clip.files/vudi5dozur/my_clip.jpg",
                            "clip.files/vudi5dozur/my_clip.m4v",
                            "clip.files/vudi5dozur/my_clip.webm"};
    for (const QString& file : support)
        expected.append(QStringLiteral("clip.files/vudi5dozur/") + file);
    expected.sort();
    const QString site = target.filePath(QStringLiteral("site"));
    QCOMPARE(filesUnder(site), expected);
    QCOMPARE(fileContents(site + QStringLiteral("/clip.files/vudi5dozur/my_clip.m4v")),
             fileContents(m_mp4));

    const QString page = QString::fromUtf8(fileContents(site + QStringLiteral("/clip.html")));
    QVERIFY(page.contains(QStringLiteral("title=\"My &quot;clip&quot;\"")));
    QVERIFY(page.contains(QStringLiteral("max-width:640px;")));
    for (const QString& text : pageHas)
        QVERIFY2(page.contains(text), qPrintable(text));
}

void TestPublishCommand::publishesToFtp_data()
{
    QTest::addColumn<bool>("passwordInEnvironment");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("password from the environment") << true << "s3cret pass" << 0;
    QTest::newRow("password in the address") << false << "s3cret pass" << 0;
    QTest::newRow("wrong password") << true << "wrong" << 1;
}

void TestPublishCommand::publishesToFtp()
{
    QFETCH(bool, passwordInEnvironment);
    QFETCH(QString, password);
    QFETCH(int, exitCode);

    FtpServerFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QUrl address = server.url();
    address.setPath(QStringLiteral("/videos"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (passwordInEnvironment)
        environment.insert(QStringLiteral("TOVALUMEN_FTP_PASSWORD"), password);
    else
        address.setPassword(password);

    const CliRun run = runCli({"publish", "--ftp", address.toString(), "--page", "index.html",
                               "--title", "T", "--size", "320x240", "--webm", m_webm},
                              environment);
    QCOMPARE(run.exitCode, exitCode);
    if (exitCode != 0) {
        QVERIFY2(run.err.contains(QStringLiteral("Login failed:")), qPrintable(run.err));
        QCOMPARE(filesUnder(server.rootPath()), QStringList());
        return;
    }
    QCOMPARE(
        filesUnder(server.localPath(QStringLiteral("/videos"))),
        (QStringList {"index-howto.html", "index.files/vudi5dozur/.htaccess",
                      "index.files/vudi5dozur/fullscreen.png", "index.files/vudi5dozur/html5ext.js",
                      "index.files/vudi5dozur/my_clip.webm", "index.html"}));
    QCOMPARE(fileContents(
                 server.localPath(QStringLiteral("/videos/index.files/vudi5dozur/my_clip.webm"))),
             fileContents(m_webm));
}

QTEST_GUILESS_MAIN(TestPublishCommand)
#include "tst_publishcommand.moc"
