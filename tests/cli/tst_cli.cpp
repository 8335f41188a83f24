#include "ftpserverfixture.h"
#include "temporaryfolder.h"
#include "testmedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

namespace {
struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runCli(const QStringList& arguments,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(TOVALUMEN_CLI), arguments);
    Run run;
    if (!cli.waitForFinished(60000) || cli.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = cli.exitCode();
    run.out = QString::fromUtf8(cli.readAllStandardOutput());
    run.err = QString::fromUtf8(cli.readAllStandardError());
    return run;
}
} // namespace

// The command-line tool as a user runs it: exit codes, messages, files.
class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void usage_data();
    void usage();
    void ffmpegConverts();
    void ffmpegReportsFailure();
    void uploadMakesFolders_data();
    void uploadMakesFolders();
    void uploadReportsFailure_data();
    void uploadReportsFailure();

private:
    FtpServerFixture m_ftpServer;
};

void TestCli::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");

    QTest::newRow("version") << QStringList {"--version"} << 0 << "tovalumen-cli 4.0"
                             << "";
    QTest::newRow("help lists commands") << QStringList {"--help"} << 0 << "ffmpeg"
                                         << "";
    QTest::newRow("command help") << QStringList {"ffmpeg", "--help"} << 0 << "--no-threads"
                                  << "";
    QTest::newRow("no command") << QStringList {} << 2 << ""
                                << "No command given.";
    QTest::newRow("unknown command") << QStringList {"transmogrify"} << 2 << ""
                                     << "Unknown command 'transmogrify'.";
    QTest::newRow("unknown option") << QStringList {"--frobnicate"} << 2 << ""
                                    << "frobnicate";
    QTest::newRow("ffmpeg without output") << QStringList {"ffmpeg"} << 2 << ""
                                           << "Missing arguments.";
    QTest::newRow("help lists upload") << QStringList {"--help"} << 0 << "upload"
                                       << "";
    QTest::newRow("upload without address") << QStringList {"upload", "file.txt"} << 2 << ""
                                            << "Missing arguments.";
    QTest::newRow("upload to another scheme")
        << QStringList {"upload", "file.txt", "http://example.invalid/folder"} << 2 << ""
        << "Not an address of the form ftp://";
    QTest::newRow("ffmpeg option before --")
        << QStringList {"ffmpeg", "out.mp4", "-i", "x"} << 2 << ""
        << "Unknown option";
}

void TestCli::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);

    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.out.contains(stdoutHas), qPrintable(run.out));
    QVERIFY2(run.err.contains(stderrHas), qPrintable(run.err));
}

void TestCli::ffmpegConverts()
{
    const QString clip = TestMedia::h264Clip();
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    const QString output = folder.filePath(QStringLiteral("out put.webm"));

    const Run run = runCli({QStringLiteral("ffmpeg"), output, QStringLiteral("--"),
                            QStringLiteral("-y"), QStringLiteral("-i"), clip, QStringLiteral("-t"),
                            QStringLiteral("2"), QStringLiteral("-c:v"), QStringLiteral("libvpx"),
                            QStringLiteral("-b:v"), QStringLiteral("200k")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(QFileInfo(output).size() > 0);
    // Not a terminal: one line per change, ending at 100 percent.
    const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.last(), QStringLiteral("100% (3/3 s)"));
    QVERIFY(QFileInfo::exists(folder.filePath(QStringLiteral("out put.log"))));
}

void TestCli::ffmpegReportsFailure()
{
    TemporaryFolder folder;
    const QString output = folder.filePath(QStringLiteral("out.mp4"));
    const Run run = runCli({QStringLiteral("ffmpeg"), output, QStringLiteral("--"),
                            QStringLiteral("-i"), folder.filePath(QStringLiteral("missing.mp4"))});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("Failed to convert the video file(5).")),
             qPrintable(run.err));
    QVERIFY(run.err.contains(QStringLiteral("Log: ") + folder.filePath(QStringLiteral("out.log"))));
    QVERIFY(!QFileInfo::exists(output));
}

void TestCli::uploadMakesFolders_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("passwordInAddress");

    QTest::newRow("new nested folder") << "/new/deeper folder" << false;
    QTest::newRow("existing folder") << "/existing" << false;
    QTest::newRow("root, password in the address") << "/" << true;
}

void TestCli::uploadMakesFolders()
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
    const Run run =
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

void TestCli::uploadReportsFailure_data()
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

void TestCli::uploadReportsFailure()
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

    const Run run = runCli({QStringLiteral("upload"), file, address.toString()}, environment);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(stderrHas), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
