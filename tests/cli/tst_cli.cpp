#include "clirunner.h"
#include "temporaryfolder.h"
#include "testmedia.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

// The command-line tool as a user runs it: exit codes, usage errors of every
// command, and the ffmpeg command.
class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void usage_data();
    void usage();
    void ffmpegConverts();
    void ffmpegReportsFailure();
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
    QTest::newRow("convert without video") << QStringList {"convert", "--out", "x"} << 2 << ""
                                           << "Missing arguments.";
    QTest::newRow("convert without folder") << QStringList {"convert", "in.mp4"} << 2 << ""
                                            << "--out is required.";
    QTest::newRow("convert, unknown format")
        << QStringList {"convert", "in.mp4", "--out", "x", "--formats", "webm,avi"} << 2 << ""
        << "Unknown format 'avi'";
    QTest::newRow("convert, malformed size")
        << QStringList {"convert", "in.mp4", "--out", "x", "--size", "640x"} << 2 << ""
        << "--size takes WxH";
    QTest::newRow("convert, zero height")
        << QStringList {"convert", "in.mp4", "--out", "x", "--height", "0"} << 2 << ""
        << "--height takes a positive number.";
    QTest::newRow("convert, size and height")
        << QStringList {"convert", "in.mp4", "--out", "x", "--size", "640x360", "--height", "360"}
        << 2 << ""
        << "not both";
    QTest::newRow("convert, unknown resize method")
        << QStringList {"convert", "in.mp4", "--out", "x", "--resize", "stretch"} << 2 << ""
        << "--resize takes pad, crop or keep.";
    QTest::newRow("convert, unknown quality")
        << QStringList {"convert", "in.mp4", "--out", "x", "--quality", "best"} << 2 << ""
        << "--quality takes low, normal or high.";
    QTest::newRow("convert, missing video")
        << QStringList {"convert", "/no/such/video.mp4", "--out", "/tmp"} << 1 << ""
        << "/no/such/video.mp4";
    QTest::newRow("convert, missing watermark")
        << QStringList {"convert", "in.mp4", "--out", "x", "--watermark-image", "/no/mark.png"} << 1
        << ""
        << "The watermark image '/no/mark.png' does not exist.";
    QTest::newRow("faststart without file") << QStringList {"faststart"} << 2 << ""
                                            << "Missing arguments.";
    QTest::newRow("faststart with two files")
        << QStringList {"faststart", "a.mp4", "b.mp4"} << 2 << ""
        << "One file at a time.";
    QTest::newRow("faststart on a missing file")
        << QStringList {"faststart", "/no/such/file.mp4"} << 1 << ""
        << "Failed to open the file '/no/such/file.mp4'.";
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

    const CliRun run = runCli(arguments);
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

    const CliRun run =
        runCli({QStringLiteral("ffmpeg"), output, QStringLiteral("--"), QStringLiteral("-y"),
                QStringLiteral("-i"), clip, QStringLiteral("-t"), QStringLiteral("2"),
                QStringLiteral("-c:v"), QStringLiteral("libvpx"), QStringLiteral("-b:v"),
                QStringLiteral("200k")});
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
    const CliRun run =
        runCli({QStringLiteral("ffmpeg"), output, QStringLiteral("--"), QStringLiteral("-i"),
                folder.filePath(QStringLiteral("missing.mp4"))});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("Failed to convert the video file(5).")),
             qPrintable(run.err));
    QVERIFY(run.err.contains(QStringLiteral("Log: ") + folder.filePath(QStringLiteral("out.log"))));
    QVERIFY(!QFileInfo::exists(output));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
