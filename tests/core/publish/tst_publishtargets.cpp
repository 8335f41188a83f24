#include "filetree.h"
#include "ftpserverfixture.h"
#include "project/projectsettings.h"
#include "publish/ftpfilemanager.h"
#include "publish/localfilemanager.h"
#include "publish/passwordcipher.h"
#include "publish/publishthread.h"
#include "temporaryfolder.h"
#include "util/appidentity.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

// The two publish targets: a local folder and a real FTP server (pyftpdlib),
// alone and under the publish job.
class TestPublishTargets : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void localPutFile();
    void localFailures();
    void ftpMkpath_data();
    void ftpMkpath();
    void ftpPutFile();
    void ftpRefusedLogin();
    void ftpConnectionFailures_data();
    void ftpConnectionFailures();
    void ftpUnreadableLocalFile();
    void publishToFtp();

private:
    QUrl serverAddress(const FtpServerFixture& server, const QString& password) const;
};

namespace {
// Server commands without their arguments' passwords: "CWD /a", "MKD a"...
QStringList folderCommands(const QStringList& commands)
{
    QStringList result;
    for (const QString& command : commands) {
        if (command.startsWith(QLatin1String("CWD ")) || command.startsWith(QLatin1String("MKD ")))
            result.append(command);
    }
    return result;
}
} // namespace

void TestPublishTargets::initTestCase()
{
    AppIdentity::apply();
}

QUrl TestPublishTargets::serverAddress(const FtpServerFixture& server,
                                       const QString& password) const
{
    QUrl url = server.url();
    url.setPath(QString());
    url.setPassword(password, QUrl::DecodedMode);
    return url;
}

void TestPublishTargets::localPutFile()
{
    TemporaryFolder folder;
    LocalFileManager target;
    const QString made = folder.filePath(QStringLiteral("a/b c/d"));
    QVERIFY(target.mkpath(made));
    QVERIFY(QFileInfo(made).isDir());
    QVERIFY(target.mkpath(made)); // already there

    const QString destination = made + QStringLiteral("/file.bin");
    QVERIFY(target.putfile(destination, QByteArray("first version, longer")));
    QCOMPARE(fileContents(destination), QByteArray("first version, longer"));
    // Over an existing file: replaced, not appended or left longer.
    const QString source = folder.writeFile(QStringLiteral("source.bin"), "second");
    QVERIFY(target.putfile(destination, source));
    QCOMPARE(fileContents(destination), QByteArray("second"));
    QVERIFY(target.putfile(destination, QByteArray("third")));
    QCOMPARE(fileContents(destination), QByteArray("third"));
    QCOMPARE(target.errorString(), QString());
}

void TestPublishTargets::localFailures()
{
    TemporaryFolder folder;
    LocalFileManager target;
    const QString blocker = folder.writeFile(QStringLiteral("plain file"), "x");

    QVERIFY(!target.mkpath(blocker + QStringLiteral("/sub")));
    QCOMPARE(target.errorString(),
             QStringLiteral("Failed to create the directory '%1/sub'").arg(blocker));

    QVERIFY(!target.putfile(blocker + QStringLiteral("/f"), QByteArray("data")));
    QCOMPARE(target.errorString(), QStringLiteral("Failed to create the file '%1/f'").arg(blocker));

    // A missing source is reported and costs nothing already published.
    const QString published = folder.writeFile(QStringLiteral("page.html"), "published");
    const QString missing = folder.filePath(QStringLiteral("gone.m4v"));
    QVERIFY(!target.putfile(published, missing));
    QCOMPARE(target.errorString(), QStringLiteral("The file '%1' is not exist").arg(missing));
    QCOMPARE(fileContents(published), QByteArray("published"));

    const QString source = folder.writeFile(QStringLiteral("source"), "data");
    QVERIFY(!target.putfile(blocker + QStringLiteral("/g"), source));
    QCOMPARE(target.errorString(), QStringLiteral("Error writing to the file '%1/g'").arg(blocker));
}

void TestPublishTargets::ftpMkpath_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("commands");

    QTest::newRow("folder exists: one change")
        << QStringList {"videos"} << "/videos" << QStringList {"CWD /videos"};
    QTest::newRow("empty server: walk up to the root, then create")
        << QStringList() << "/a/b"
        << QStringList {"CWD /a/b", "CWD /a", "CWD /", "MKD a", "CWD a", "MKD b", "CWD b"};
    QTest::newRow("parent exists")
        << QStringList {"www/video"} << "/www/video/index.files/vudi5dozur"
        << QStringList {"CWD /www/video/index.files/vudi5dozur",
                        "CWD /www/video/index.files",
                        "CWD /www/video",
                        "MKD index.files",
                        "CWD index.files",
                        "MKD vudi5dozur",
                        "CWD vudi5dozur"};
    QTest::newRow("root") << QStringList() << "/" << QStringList {"CWD /"};
}

void TestPublishTargets::ftpMkpath()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, path);
    QFETCH(QStringList, commands);

    FtpServerFixture server;
    for (const QString& folder : existing)
        QVERIFY(QDir().mkpath(server.localPath(folder)));
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    FtpFileManager target(serverAddress(server, server.password()));
    QVERIFY2(target.mkpath(path), qPrintable(target.errorString()));
    QVERIFY(QFileInfo(server.localPath(path)).isDir());
    QCOMPARE(folderCommands(server.commands()), commands);
}

void TestPublishTargets::ftpPutFile()
{
    FtpServerFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    FtpFileManager target(serverAddress(server, server.password()));
    TemporaryFolder local;
    QByteArray big(300000, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char((qint64(i) * 7919) % 251); // binary: CR LF must survive
    big.replace(1000, 4, "\r\n\n\r");
    const QString source = local.writeFile(QStringLiteral("clip.m4v"), big);

    QVERIFY(target.mkpath(QStringLiteral("/in/here")));
    // Absolute names: the current server folder does not matter.
    QVERIFY(target.mkpath(QStringLiteral("/elsewhere")));
    QVERIFY2(target.putfile(QStringLiteral("/in/here/clip.m4v"), source),
             qPrintable(target.errorString()));
    QVERIFY(target.putfile(QStringLiteral("/in/here/bytes.txt"), QByteArray("a\r\nb\n")));
    QCOMPARE(fileContents(server.localPath(QStringLiteral("/in/here/clip.m4v"))), big);
    QCOMPARE(fileContents(server.localPath(QStringLiteral("/in/here/bytes.txt"))),
             QByteArray("a\r\nb\n"));
    // One connection and one login for all operations.
    QCOMPARE(server.commands().filter(QRegularExpression(QStringLiteral("^USER "))).size(), 1);
}

void TestPublishTargets::ftpRefusedLogin()
{
    FtpServerFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    FtpFileManager target(serverAddress(server, QStringLiteral("wrong")));
    QVERIFY(!target.mkpath(QStringLiteral("/videos")));
    QVERIFY2(target.errorString().startsWith(QStringLiteral("Login failed:\n")),
             qPrintable(target.errorString()));
    // Not tried again: a refused login would be refused again.
    QCOMPARE(server.commands().filter(QRegularExpression(QStringLiteral("^PASS"))).size(), 1);
    QVERIFY(!QFileInfo::exists(server.localPath(QStringLiteral("/videos"))));
}

void TestPublishTargets::ftpConnectionFailures_data()
{
    QTest::addColumn<bool>("hangUp");
    QTest::newRow("closed port") << false;
    QTest::newRow("server hangs up at once") << true;
}

void TestPublishTargets::ftpConnectionFailures()
{
    QFETCH(bool, hangUp);

    // A real server cannot be told to drop each connection on demand: this
    // listener accepts and closes at once, and counts the attempts.
    QTcpServer listener;
    QVERIFY(listener.listen(QHostAddress::LocalHost));
    int attempts = 0;
    connect(&listener, &QTcpServer::newConnection, this, [&listener, &attempts] {
        while (QTcpSocket* socket = listener.nextPendingConnection()) {
            ++attempts;
            socket->close();
            socket->deleteLater();
        }
    });
    QUrl address;
    address.setScheme(QStringLiteral("ftp"));
    address.setHost(QStringLiteral("127.0.0.1"));
    address.setPort(listener.serverPort());
    if (!hangUp)
        listener.close(); // the port is closed now

    FtpFileManager target(address);
    QVERIFY(!target.mkpath(QStringLiteral("/videos")));
    QVERIFY(!target.errorString().isEmpty());
    if (hangUp)
        QCOMPARE(attempts, 3);
    else
        QVERIFY2(target.errorString().contains(QStringLiteral("refused"), Qt::CaseInsensitive),
                 qPrintable(target.errorString()));
}

void TestPublishTargets::ftpUnreadableLocalFile()
{
    FtpServerFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    FtpFileManager target(serverAddress(server, server.password()));
    TemporaryFolder local;
    const QString before = target.errorString();
    QVERIFY(!target.putfile(QStringLiteral("/x.m4v"), local.filePath(QStringLiteral("none.m4v"))));
    // Nothing reached the client: its text is left as it was.
    QCOMPARE(target.errorString(), before);
    QVERIFY(!QFileInfo::exists(server.localPath(QStringLiteral("/x.m4v"))));
}

void TestPublishTargets::publishToFtp()
{
    TemporaryFolder media;
    const QString poster = media.writeFile(QStringLiteral("poster.jpg"), QByteArray(5000, 'j'));
    const QString mp4 = media.writeFile(QStringLiteral("out.m4v"), QByteArray(200000, 'm'));
    const QString webm = media.writeFile(QStringLiteral("out.webm"), QByteArray(100000, 'w'));
    QMap<QString, QVariant> parameters = {
        {PUBLISH_INDEX_FILE, QStringLiteral("index.html")},
        {VIDEO_SOURCE, QStringLiteral("/videos/my clip.mov")},
        {VIDEO_TITLE, QStringLiteral("Clip")},
        {VIDEO_SIZE, QSize(320, 240)},
        {VIDEO_AUTOPLAY, false},
        {VIDEO_LOOP, false},
        {VIDEO_CONTROLS, true},
        {VIDEO_FLASH, true},
        {VIDEO_POSTER_PATH, poster},
        {VIDEO_MPEG4_FORMAT, mp4},
        {VIDEO_WEBM_FORMAT, webm},
    };

    // The same publish into a local folder gives the expected tree.
    TemporaryFolder local;
    QMap<QString, QVariant> localParameters = parameters;
    localParameters.insert(PUBLISH_TYPE, PUBLISH_TYPE_LOCAL);
    localParameters.insert(PUBLISH_PATH, local.path());
    PublishThread localJob(nullptr, localParameters);
    localJob.makeUri(QString());
    localJob.start();
    QVERIFY(localJob.wait(60000));
    QVERIFY2(!localJob.hasError(), qPrintable(localJob.getError()));

    FtpServerFixture server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    parameters.insert(PUBLISH_TYPE, PUBLISH_TYPE_FTP);
    parameters.insert(PUBLISH_PATH, QStringLiteral("videos"));
    // As the settings keep it: enciphered.
    parameters.insert(PUBLISH_FTP_SERVER, serverAddress(server, encrypt(server.password())));
    PublishThread ftpJob(nullptr, parameters);
    ftpJob.makeUri(QString());
    QStringList items;
    // Read only once the job has ended.
    connect(
        &ftpJob, &PublishThread::item, this, [&items](const QString& item) { items << item; },
        Qt::DirectConnection);
    ftpJob.start();
    QVERIFY(ftpJob.wait(120000));
    QVERIFY2(!ftpJob.hasError(), qPrintable(ftpJob.getError()));
    QVERIFY(ftpJob.isFinished());

    const QString root = server.localPath(QStringLiteral("/videos"));
    const QStringList published = filesUnder(local.path());
    QCOMPARE(published.size(), 9);
    QCOMPARE(filesUnder(root), published);
    for (const QString& file : published)
        QVERIFY2(fileContents(root + QLatin1Char('/') + file) == fileContents(local.filePath(file)),
                 qPrintable(file));
    for (const QString& item : qAsConst(items))
        QVERIFY2(item.startsWith(QStringLiteral("/videos/")), qPrintable(item));
}

QTEST_GUILESS_MAIN(TestPublishTargets)
#include "tst_publishtargets.moc"
