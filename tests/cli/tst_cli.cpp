#include "ftpserverfixture.h"
#include "temporaryfolder.h"
#include "testmedia.h"
#include "video/videofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
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
    void probeShowsTheVideo_data();
    void probeShowsTheVideo();
    void videoCommandsReportBadVideos_data();
    void videoCommandsReportBadVideos();
    void framesWritesRibbonAndPoster_data();
    void framesWritesRibbonAndPoster();
    void framesReportsAnUnusableFolder();
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
    QTest::newRow("help lists probe") << QStringList {"--help"} << 0 << "probe"
                                      << "";
    QTest::newRow("help lists frames") << QStringList {"--help"} << 0 << "frames"
                                       << "";
    QTest::newRow("probe help") << QStringList {"probe", "--help"} << 0 << "--json"
                                << "";
    QTest::newRow("probe without video") << QStringList {"probe"} << 2 << ""
                                         << "Missing arguments.";
    QTest::newRow("probe with two videos") << QStringList {"probe", "a.mp4", "b.mp4"} << 2 << ""
                                           << "Too many arguments.";
    QTest::newRow("frames help") << QStringList {"frames", "--help"} << 0 << "--count"
                                 << "";
    QTest::newRow("frames without --out") << QStringList {"frames", "a.mp4"} << 2 << ""
                                          << "Missing --out DIR.";
    QTest::newRow("frames with a count of 0")
        << QStringList {"frames", "a.mp4", "--out", "x", "--count", "0"} << 2 << ""
        << "The count must be a whole number from 1 to 1000.";
    QTest::newRow("frames with a count that is no number")
        << QStringList {"frames", "a.mp4", "--out", "x", "--count", "many"} << 2 << ""
        << "The count must be a whole number from 1 to 1000.";
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

void TestCli::probeShowsTheVideo_data()
{
    QTest::addColumn<bool>("json");
    QTest::newRow("text") << false;
    QTest::newRow("JSON") << true;
}

void TestCli::probeShowsTheVideo()
{
    QFETCH(bool, json);
    const QString clip = TestMedia::h264Clip(QSize(320, 240), 10);
    QVERIFY(!clip.isEmpty());
    VideoFile video;
    QVERIFY(video.openFile(clip, nullptr));
    const double bitRate = video.getInfo().bitRate;
    QVERIFY(bitRate > 0);

    QStringList arguments = {QStringLiteral("probe"), clip};
    if (json)
        arguments.append(QStringLiteral("--json"));
    const Run run = runCli(arguments);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    if (json) {
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(run.out));
        QCOMPARE(object.value("width").toInt(), 320);
        QCOMPARE(object.value("height").toInt(), 240);
        QCOMPARE(object.value("duration").toString(), QStringLiteral("00:00:10.00"));
        QCOMPARE(object.value("bitRate").toDouble(), bitRate);
        QCOMPARE(object.value("frameRate").toDouble(), 25.0);
        QCOMPARE(object.value("codec").toString(), QStringLiteral("h264"));
    } else {
        QCOMPARE(run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 QStringList({"Size: 320x240", "Duration: 00:00:10.00",
                              QStringLiteral("Bit rate: %1 bit/s").arg(bitRate, 0, 'f', 0),
                              "Frame rate: 25", "Codec: h264"}));
    }
}

void TestCli::videoCommandsReportBadVideos_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");

    for (const QString& command : {QStringLiteral("probe"), QStringLiteral("frames")}) {
        QTest::addRow("%s: missing file", qPrintable(command))
            << command << "missing.mp4" << QByteArray() << "Failed to open a file '%1'.";
        QTest::addRow("%s: text file", qPrintable(command))
            << command << "notes.mp4" << QByteArray("no pictures here\n")
            << "The file format is unsupported.";
    }
}

void TestCli::videoCommandsReportBadVideos()
{
    QFETCH(QString, command);
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    TemporaryFolder folder;
    const QString path = folder.filePath(name);
    if (!content.isNull())
        QVERIFY(!folder.writeFile(name, content).isEmpty());
    QStringList arguments = {command, path};
    if (command == QLatin1String("frames"))
        arguments << QStringLiteral("--out") << folder.filePath(QStringLiteral("frames"));

    const Run run = runCli(arguments);
    QCOMPARE(run.exitCode, 1);
    const QString expected = message.contains(QLatin1String("%1")) ? message.arg(path) : message;
    QCOMPARE(run.err.trimmed(), expected);
    QVERIFY(run.out.isEmpty());
    QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("frames"))));
}

void TestCli::framesWritesRibbonAndPoster_data()
{
    QTest::addColumn<QStringList>("countArguments");
    QTest::addColumn<int>("count");

    QTest::newRow("default: 11 thumbnails") << QStringList() << 11;
    QTest::newRow("3 thumbnails") << QStringList {"--count", "3"} << 3;
}

void TestCli::framesWritesRibbonAndPoster()
{
    QFETCH(QStringList, countArguments);
    QFETCH(int, count);
    const QString clip = TestMedia::h264Clip(QSize(320, 240), 3);
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    // Made when missing, with its parents.
    const QString out = folder.filePath(QStringLiteral("new/frames"));

    const Run run =
        runCli(QStringList {QStringLiteral("frames"), clip, QStringLiteral("--out"), out} +
               countArguments);
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));

    VideoFile video;
    QVERIFY(video.openFile(clip, nullptr));
    const qint64 duration = video.getDuration();
    QStringList expected;
    for (int k = 1; k <= count; ++k)
        expected.append(QStringLiteral("ribbon-%1-position-%2.png")
                            .arg(k, QString::number(count).size(), 10, QLatin1Char('0'))
                            .arg(duration * k / (count + 1)));
    const qint64 middle = duration / 2;
    expected.append(QStringLiteral("poster-position-%1.png").arg(middle));

    const QStringList written = QDir(out).entryList(QDir::Files, QDir::Name);
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    QCOMPARE(written, sortedExpected);
    QCOMPARE(run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), expected.size());
    // The poster asked with the higher priority is written first.
    QVERIFY2(run.out.startsWith(QDir(out).filePath(expected.last())), qPrintable(run.out));

    // Full size, and each file shows the picture at the position its name says.
    for (int i : {0, count / 2, count}) {
        const QImage written = QImage(QDir(out).filePath(expected.at(i)));
        QCOMPARE(written.size(), QSize(320, 240));
        const qint64 position = i < count ? duration * (i + 1) / (count + 1) : middle;
        QVERIFY(video.seek(position));
        QCOMPARE(written.convertToFormat(QImage::Format_RGB888),
                 video.nextFrame().convertToFormat(QImage::Format_RGB888));
    }
}

void TestCli::framesReportsAnUnusableFolder()
{
    const QString clip = TestMedia::h264Clip();
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    const QString blocker = folder.writeFile(QStringLiteral("taken"), "a file, not a folder");
    QVERIFY(!blocker.isEmpty());

    const Run run = runCli({QStringLiteral("frames"), clip, QStringLiteral("--out"), blocker});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err.trimmed(), QStringLiteral("Cannot make the folder '%1'.").arg(blocker));
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
