#include "mp4atoms.h"
#include "temporaryfolder.h"
#include "testmedia.h"
#include "video/videofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
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

Run runCli(const QStringList& arguments)
{
    QProcess cli;
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
    void convertMakesEveryFormat();
    void convertReportsTheFailingFormat();
    void convertKeepsTheSource();
    void faststartMovesTheIndex();
    void faststartRefusesADamagedFile();
    void probeShowsTheVideo_data();
    void probeShowsTheVideo();
    void videoCommandsReportBadVideos_data();
    void videoCommandsReportBadVideos();
    void framesWritesRibbonAndPoster_data();
    void framesWritesRibbonAndPoster();
    void framesReportsAnUnusableFolder();
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

void TestCli::convertMakesEveryFormat()
{
    const QString clip = TestMedia::h264Clip(QSize(320, 240), 2);
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    const QString video = folder.filePath(QStringLiteral("my holiday.mp4"));
    QVERIFY(QFile::copy(clip, video));
    const QString out = folder.filePath(QStringLiteral("web out"));
    // An old output is replaced.
    QVERIFY(!folder.writeFile(QStringLiteral("web out/my holiday.webm"), "old").isEmpty());

    const Run run = runCli({QStringLiteral("convert"), video, QStringLiteral("--out"), out,
                            QStringLiteral("--height"), QStringLiteral("120"),
                            QStringLiteral("--quality"), QStringLiteral("low")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const QStringList outputs {
        out + QStringLiteral("/my holiday.m4v"), out + QStringLiteral("/my holiday.mp4"),
        out + QStringLiteral("/my holiday.webm"), out + QStringLiteral("/my holiday.ogv")};
    QStringList printed = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    printed.sort();
    QStringList expected = outputs;
    expected.sort();
    QCOMPARE(printed, expected);
    const QStringList codecs {"h264", "h264", "vp8", "theora"};
    for (int i = 0; i < outputs.size(); ++i) {
        const QJsonObject video =
            TestMedia::stream(TestMedia::probe(outputs.at(i)), QStringLiteral("video"));
        QCOMPARE(video.value("codec_name").toString(), codecs.at(i));
        // 320x240 at a height of 120 is 160x120.
        QCOMPARE(QSize(video.value("width").toInt(), video.value("height").toInt()),
                 QSize(160, 120));
    }
    QCOMPARE(Mp4Atoms::topLevelTypes(outputs.at(1)).at(1), QByteArray("moov"));
    // Only the outputs are left: no partial files, no logs of successful runs.
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 4);
    const QStringList lines = run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.last(), QStringLiteral("mp4 100% lowmp4 100% webm 100% ogv 100% | total 100%"));
}

void TestCli::convertReportsTheFailingFormat()
{
    const QString clip = TestMedia::h264Clip(QSize(320, 240), 2);
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    // A PNG whose header is right but whose picture data is cut off: ffmpeg
    // accepts the file and fails on it.
    QImage mark(64, 64, QImage::Format_ARGB32);
    mark.fill(Qt::red);
    QVERIFY(mark.save(folder.filePath(QStringLiteral("mark.png"))));
    const QString broken = folder.writeFile(QStringLiteral("broken.png"),
                                            folder.readFile(QStringLiteral("mark.png")).left(60));
    const QString out = folder.filePath(QStringLiteral("out"));

    const Run run = runCli({QStringLiteral("convert"), clip, QStringLiteral("--out"), out,
                            QStringLiteral("--formats"), QStringLiteral("webm"),
                            QStringLiteral("--watermark-image"), broken});
    QCOMPARE(run.exitCode, 1);
    const QString base = QFileInfo(clip).completeBaseName();
    QVERIFY2(run.err.contains(QStringLiteral("webm: Failed to convert the video file(5).")),
             qPrintable(run.err));
    const QString log = QStringLiteral("%1/%2.webm.log").arg(out, base);
    QVERIFY2(run.err.contains(QStringLiteral("Log: ") + log), qPrintable(run.err));
    QVERIFY(QFileInfo(log).size() > 0);
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList {QFileInfo(log).fileName()});
}

void TestCli::convertKeepsTheSource()
{
    const QString clip = TestMedia::h264Clip(QSize(320, 240), 2);
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    const QString video = folder.filePath(QStringLiteral("clip.mp4"));
    QVERIFY(QFile::copy(clip, video));
    const QByteArray original = folder.readFile(QStringLiteral("clip.mp4"));

    // The low-resolution MP4 of clip.mp4 would be clip.mp4 in the same folder.
    const Run run =
        runCli({QStringLiteral("convert"), video, QStringLiteral("--out"), folder.path()});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("would replace the video itself")),
             qPrintable(run.err));
    QCOMPARE(folder.readFile(QStringLiteral("clip.mp4")), original);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList {QStringLiteral("clip.mp4")});
}

void TestCli::faststartMovesTheIndex()
{
    const QString clip = TestMedia::h264Clip();
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    const QString file = folder.filePath(QStringLiteral("my clip.mp4"));
    QVERIFY(QFile::copy(clip, file));
    QCOMPARE(Mp4Atoms::topLevelTypes(file).last(), QByteArray("moov"));

    const Run run = runCli({QStringLiteral("faststart"), file});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(Mp4Atoms::topLevelTypes(file).mid(0, 2), (QList<QByteArray> {"ftyp", "moov"}));
    QCOMPARE(run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts).last(), QStringLiteral("100%"));

    // A second run finds nothing to do and changes nothing.
    const QByteArray rewritten = folder.readFile(QStringLiteral("my clip.mp4"));
    QCOMPARE(runCli({QStringLiteral("faststart"), file}).exitCode, 0);
    QCOMPARE(folder.readFile(QStringLiteral("my clip.mp4")), rewritten);
}

void TestCli::faststartRefusesADamagedFile()
{
    TemporaryFolder folder;
    const QByteArray damaged =
        Mp4Atoms::atom("mdat", "media") + Mp4Atoms::moovWithTable(Mp4Atoms::stco({8})) + "tail";
    const QString file = folder.writeFile(QStringLiteral("damaged.mp4"), damaged);

    const Run run = runCli({QStringLiteral("faststart"), file});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("The file '%1' ends inside an atom at offset %2.")
                                  .arg(file)
                                  .arg(damaged.size() - 4)),
             qPrintable(run.err));
    QCOMPARE(folder.readFile(QStringLiteral("damaged.mp4")), damaged);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
