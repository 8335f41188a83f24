#include "mp4atoms.h"
#include "temporaryfolder.h"
#include "testmedia.h"

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
    void faststartMovesTheIndex();
    void faststartRefusesADamagedFile();
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
