#include "clirunner.h"
#include "ftpserverfixture.h"
#include "temporaryfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

// tovalumen-cli upload against a real FTP server.
class TestUploadCommand : public QObject
{
    Q_OBJECT
private slots:
    void uploadMakesFolders_data();
    void uploadMakesFolders();
    void uploadReportsFailure_data();
    void uploadReportsFailure();

private:
    FtpServerFixture m_ftpServer;
};

void TestUploadCommand::uploadMakesFolders_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("passwordInAddress");

    QTest::newRow("new nested folder") << "/new/deeper folder" << false;
    QTest::newRow("existing folder") << "/existing" << false;
    QTest::newRow("root, password in the address") << "/" << true;
}

void TestUploadCommand::uploadMakesFolders()
{
    QFETCH(QString, folder);
    QFETCH(bool, passwordInAddress);

    if (!m_ftpServer.isRunning())
        QVERIFY2(m_ftpServer.start(), qPrintable(m_ftpServer.errorString()));
    QVERIFY(QDir(m_ftpServer.rootPath()).mkpath(QStringLiteral("existing")));
    TemporaryFolder local;
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).section(' ', 0, 0);
    QByteArray content(20000, Qt::Uninitialized);
    for (int i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i % 253);
    const QStringList files {local.writeFile(tag + QStringLiteral("-empty.bin"), QByteArray()),
                             local.writeFile(tag + QStringLiteral("-data.bin"), content)};

    QUrl address = m_ftpServer.url();
    address.setPath(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (passwordInAddress)
        address.setPassword(m_ftpServer.password());
    else
        environment.insert(QStringLiteral("TOVALUMEN_FTP_PASSWORD"), m_ftpServer.password());
    const CliRun run =
        runCli(QStringList {QStringLiteral("upload")} << files << address.toString(), environment);

    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QString serverFolder = m_ftpServer.localPath(folder);
    QCOMPARE(QFileInfo(serverFolder + QLatin1Char('/') + tag + QStringLiteral("-empty.bin")).size(),
             qint64(0));
    QFile uploaded(serverFolder + QLatin1Char('/') + tag + QStringLiteral("-data.bin"));
    QVERIFY(uploaded.open(QIODevice::ReadOnly));
    QVERIFY(uploaded.readAll() == content);
    QVERIFY2(run.err.contains(tag + QStringLiteral("-data.bin: 100%")), qPrintable(run.err));
}

void TestUploadCommand::uploadReportsFailure_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("missingFile");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("stderrHas");

    QTest::newRow("wrong password") << "wrong" << false << "/"
                                    << "Login failed:\n";
    QTest::newRow("missing file") << "" << true << "/"
                                  << "Cannot read '";
    QTest::newRow("file in the way of a folder") << "" << false << "/blocker/inner"
                                                 << "Creating directory failed:\n";
}

void TestUploadCommand::uploadReportsFailure()
{
    QFETCH(QString, password);
    QFETCH(bool, missingFile);
    QFETCH(QString, folder);
    QFETCH(QString, stderrHas);

    if (!m_ftpServer.isRunning())
        QVERIFY2(m_ftpServer.start(), qPrintable(m_ftpServer.errorString()));
    QFile blocker(m_ftpServer.localPath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TemporaryFolder local;
    const QString file = missingFile ? local.filePath(QStringLiteral("missing.bin"))
                                     : local.writeFile(QStringLiteral("f.bin"), "bytes");
    QUrl address = m_ftpServer.url();
    address.setPath(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TOVALUMEN_FTP_PASSWORD"),
                       password.isEmpty() ? m_ftpServer.password() : password);

    const CliRun run = runCli({QStringLiteral("upload"), file, address.toString()}, environment);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(stderrHas), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestUploadCommand)
#include "tst_uploadcommand.moc"
