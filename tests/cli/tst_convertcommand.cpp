#include "clirunner.h"
#include "mp4atoms.h"
#include "temporaryfolder.h"
#include "testmedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

// tovalumen-cli convert and faststart with the real ffmpeg.
class TestConvertCommand : public QObject
{
    Q_OBJECT
private slots:
    void convertMakesEveryFormat();
    void convertReportsTheFailingFormat();
    void convertKeepsTheSource();
    void faststartMovesTheIndex();
    void faststartRefusesADamagedFile();
};

void TestConvertCommand::convertMakesEveryFormat()
{
    const QString clip = TestMedia::h264Clip(QSize(320, 240), 2);
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    const QString video = folder.filePath(QStringLiteral("my holiday.mp4"));
    QVERIFY(QFile::copy(clip, video));
    const QString out = folder.filePath(QStringLiteral("web out"));
    // An old output is replaced.
    QVERIFY(!folder.writeFile(QStringLiteral("web out/my holiday.webm"), "old").isEmpty());

    const CliRun run = runCli({QStringLiteral("convert"), video, QStringLiteral("--out"), out,
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

void TestConvertCommand::convertReportsTheFailingFormat()
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

    const CliRun run = runCli({QStringLiteral("convert"), clip, QStringLiteral("--out"), out,
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

void TestConvertCommand::convertKeepsTheSource()
{
    const QString clip = TestMedia::h264Clip(QSize(320, 240), 2);
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    const QString video = folder.filePath(QStringLiteral("clip.mp4"));
    QVERIFY(QFile::copy(clip, video));
    const QByteArray original = folder.readFile(QStringLiteral("clip.mp4"));

    // The low-resolution MP4 of clip.mp4 would be clip.mp4 in the same folder.
    const CliRun run =
        runCli({QStringLiteral("convert"), video, QStringLiteral("--out"), folder.path()});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("would replace the video itself")),
             qPrintable(run.err));
    QCOMPARE(folder.readFile(QStringLiteral("clip.mp4")), original);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList {QStringLiteral("clip.mp4")});
}

void TestConvertCommand::faststartMovesTheIndex()
{
    const QString clip = TestMedia::h264Clip();
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    const QString file = folder.filePath(QStringLiteral("my clip.mp4"));
    QVERIFY(QFile::copy(clip, file));
    QCOMPARE(Mp4Atoms::topLevelTypes(file).last(), QByteArray("moov"));

    const CliRun run = runCli({QStringLiteral("faststart"), file});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(Mp4Atoms::topLevelTypes(file).mid(0, 2), (QList<QByteArray> {"ftyp", "moov"}));
    QCOMPARE(run.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts).last(), QStringLiteral("100%"));

    // A second run finds nothing to do and changes nothing.
    const QByteArray rewritten = folder.readFile(QStringLiteral("my clip.mp4"));
    QCOMPARE(runCli({QStringLiteral("faststart"), file}).exitCode, 0);
    QCOMPARE(folder.readFile(QStringLiteral("my clip.mp4")), rewritten);
}

void TestConvertCommand::faststartRefusesADamagedFile()
{
    TemporaryFolder folder;
    const QByteArray damaged =
        Mp4Atoms::atom("mdat", "media") + Mp4Atoms::moovWithTable(Mp4Atoms::stco({8})) + "tail";
    const QString file = folder.writeFile(QStringLiteral("damaged.mp4"), damaged);

    const CliRun run = runCli({QStringLiteral("faststart"), file});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(QStringLiteral("The file '%1' ends inside an atom at offset %2.")
                                  .arg(file)
                                  .arg(damaged.size() - 4)),
             qPrintable(run.err));
    QCOMPARE(folder.readFile(QStringLiteral("damaged.mp4")), damaged);
}

QTEST_GUILESS_MAIN(TestConvertCommand)
#include "tst_convertcommand.moc"
