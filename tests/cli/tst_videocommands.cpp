#include "clirunner.h"
#include "temporaryfolder.h"
#include "testmedia.h"
#include "video/videofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

// tovalumen-cli probe and frames on real clips.
class TestVideoCommands : public QObject
{
    Q_OBJECT
private slots:
    void probeShowsTheVideo_data();
    void probeShowsTheVideo();
    void videoCommandsReportBadVideos_data();
    void videoCommandsReportBadVideos();
    void framesWritesRibbonAndPoster_data();
    void framesWritesRibbonAndPoster();
    void framesReportsAnUnusableFolder();
};

void TestVideoCommands::probeShowsTheVideo_data()
{
    QTest::addColumn<bool>("json");
    QTest::newRow("text") << false;
    QTest::newRow("JSON") << true;
}

void TestVideoCommands::probeShowsTheVideo()
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
    const CliRun run = runCli(arguments);
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

void TestVideoCommands::videoCommandsReportBadVideos_data()
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

void TestVideoCommands::videoCommandsReportBadVideos()
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

    const CliRun run = runCli(arguments);
    QCOMPARE(run.exitCode, 1);
    const QString expected = message.contains(QLatin1String("%1")) ? message.arg(path) : message;
    QCOMPARE(run.err.trimmed(), expected);
    QVERIFY(run.out.isEmpty());
    QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("frames"))));
}

void TestVideoCommands::framesWritesRibbonAndPoster_data()
{
    QTest::addColumn<QStringList>("countArguments");
    QTest::addColumn<int>("count");

    QTest::newRow("default: 11 thumbnails") << QStringList() << 11;
    QTest::newRow("3 thumbnails") << QStringList {"--count", "3"} << 3;
}

void TestVideoCommands::framesWritesRibbonAndPoster()
{
    QFETCH(QStringList, countArguments);
    QFETCH(int, count);
    const QString clip = TestMedia::h264Clip(QSize(320, 240), 3);
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    // Made when missing, with its parents.
    const QString out = folder.filePath(QStringLiteral("new/frames"));

    const CliRun run =
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

void TestVideoCommands::framesReportsAnUnusableFolder()
{
    const QString clip = TestMedia::h264Clip();
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    const QString blocker = folder.writeFile(QStringLiteral("taken"), "a file, not a folder");
    QVERIFY(!blocker.isEmpty());

    const CliRun run = runCli({QStringLiteral("frames"), clip, QStringLiteral("--out"), blocker});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err.trimmed(), QStringLiteral("Cannot make the folder '%1'.").arg(blocker));
}

QTEST_GUILESS_MAIN(TestVideoCommands)
#include "tst_videocommands.moc"
