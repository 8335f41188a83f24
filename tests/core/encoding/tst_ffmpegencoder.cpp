#include "encoding/ffmpegencoder.h"
#include "processes.h"
#include "temporaryfolder.h"
#include "testmedia.h"
#include "util/appidentity.h"
#include "util/miscutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace {
// A chunk a stand-in ffmpeg writes to standard error, then the pause before the next.
struct Chunk
{
    QByteArray text;
    int pauseMs;
};
} // namespace
Q_DECLARE_METATYPE(QList<Chunk>)
Q_DECLARE_METATYPE(QList<QList<qint64>>)

// The runner against the real ffmpeg, and against small shell stand-ins where
// ffmpeg cannot be made to produce a case on demand: output cut at a chosen
// byte, "Duration: N/A", times that go backwards, a crash.
class TestFFmpegEncoder : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void realRunReportsProgressAndKeepsTheLog();
    void specialCharactersInPaths_data();
    void specialCharactersInPaths();
    void badArgumentFails();
    void missingProgramFails();
    void cancelStopsSilently();
    void destructionCancels();

    void standInOutputParsing_data();
    void standInOutputParsing();
    void threadArguments_data();
    void threadArguments();
    void startWhileRunningChangesNothing();
    void unwritableLogDoesNotStopTheRun();
    void crashIsReportedOnce();

private:
    void useProgram(const QString& program);
    QString standIn(const QList<Chunk>& chunks, int exitCode = 0);
    static QList<QList<qint64>> progressOf(const QSignalSpy& spy);

    TemporaryFolder m_resources;
    QScopedPointer<TemporaryFolder> m_work;
    QString m_clip;
};

void TestFFmpegEncoder::initTestCase()
{
    AppIdentity::apply();
    // The resource folder is read once per process; its encoder link is
    // pointed at the real ffmpeg or at a stand-in by each test.
    qputenv("TOVALUMEN_RESOURCES", QFile::encodeName(m_resources.path()));
    QVERIFY(QDir(m_resources.path()).mkpath(QStringLiteral("encoder")));
    QCOMPARE(getResourcesPath(), m_resources.path());
    m_clip = TestMedia::h264Clip(QSize(320, 240), 3);
    QVERIFY(!m_clip.isEmpty());
}

void TestFFmpegEncoder::init()
{
    m_work.reset(new TemporaryFolder);
    useProgram(TestMedia::ffmpegProgram());
}

void TestFFmpegEncoder::useProgram(const QString& program)
{
    const QString link = m_resources.filePath(QStringLiteral("encoder/ffmpeg"));
    QFile::remove(link);
    if (!program.isEmpty())
        QVERIFY(QFile::link(program, link));
}

QString TestFFmpegEncoder::standIn(const QList<Chunk>& chunks, int exitCode)
{
    QByteArray script = "#!/bin/sh\n";
    script += "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" +
        m_work->filePath("args.txt").toUtf8() + "'\n";
    script += "echo run >> '" + m_work->filePath("runs.txt").toUtf8() + "'\n";
    for (int i = 0; i < chunks.size(); ++i) {
        const QString name = QStringLiteral("chunk%1.txt").arg(i);
        m_work->writeFile(name, chunks.at(i).text);
        script += "cat '" + m_work->filePath(name).toUtf8() + "' >&2\n";
        if (chunks.at(i).pauseMs > 0)
            script += "sleep " + QByteArray::number(chunks.at(i).pauseMs / 1000.0) + "\n";
    }
    script += "for last in \"$@\"; do :; done\necho output > \"$last\"\n";
    script += "exit " + QByteArray::number(exitCode) + "\n";
    const QString path = m_work->writeFile(QStringLiteral("fake-ffmpeg"), script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QList<QList<qint64>> TestFFmpegEncoder::progressOf(const QSignalSpy& spy)
{
    QList<QList<qint64>> reports;
    for (const QList<QVariant>& signal : spy)
        reports.append({signal.at(0).toLongLong(), signal.at(1).toLongLong()});
    return reports;
}

void TestFFmpegEncoder::realRunReportsProgressAndKeepsTheLog()
{
    const QString output = m_work->filePath(QStringLiteral("out.mp4"));
    // -re reads the input at its own pace, so ffmpeg prints several status lines.
    FFmpegEncoder encoder({QStringLiteral("-y"), QStringLiteral("-re"), QStringLiteral("-i"),
                           quotedString(m_clip), QStringLiteral("-c:v"), QStringLiteral("libx264"),
                           QStringLiteral("-preset"), QStringLiteral("ultrafast")},
                          output);
    QSignalSpy progress(&encoder, &VideoEncoder::progress);
    QSignalSpy finished(&encoder, &VideoEncoder::finished);
    // Records the progress seen at the moment finished() arrives.
    int progressAtFinish = -1;
    connect(&encoder, &VideoEncoder::finished, this, [&] { progressAtFinish = progress.count(); });

    encoder.start();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), false);
    QVERIFY(QFileInfo(output).size() > 0);
    QCOMPARE(encoder.getError(), QString());

    const QList<QList<qint64>> reports = progressOf(progress);
    QCOMPARE(progressAtFinish, reports.size());
    QVERIFY2(reports.size() >= 2, "ffmpeg gave no progress while running");
    QCOMPARE(reports.last(), (QList<qint64> {3, 3}));
    for (int i = 1; i < reports.size() - 1; ++i)
        QVERIFY(reports.at(i).first() > reports.at(i - 1).first());

    // The log holds ffmpeg's raw output; the error log is the command line,
    // the same output with the program's name and version before the last
    // part read, and the unterminated tail once more.
    QFile logFile(encoder.logFile());
    QCOMPARE(encoder.logFile(), m_work->filePath(QStringLiteral("out.log")));
    QVERIFY(logFile.open(QIODevice::ReadOnly));
    const QString raw = QString::fromUtf8(logFile.readAll());
    QVERIFY(raw.contains(QStringLiteral("Duration: 00:00:03.0")));
    QVERIFY(raw.contains(QStringLiteral("time=00:00:01")));

    const QString commandLine =
        quotedString(m_resources.filePath(QStringLiteral("encoder/ffmpeg"))) +
        QStringLiteral(" -y -re -i ") + quotedString(m_clip) +
        QStringLiteral(" -c:v libx264 -preset ultrafast ") + quotedString(output);
    QString errorLog = encoder.getErrorLog();
    QVERIFY(errorLog.startsWith(commandLine + QStringLiteral("\r\n")));
    QCOMPARE(errorLog.count(QStringLiteral("TovaLumen 4.0\n")), 1);
    errorLog.remove(QStringLiteral("TovaLumen 4.0\n"));
    QVERIFY(errorLog.startsWith(commandLine + QStringLiteral("\r\n") + raw));
    const QString tail = raw.mid(raw.lastIndexOf(QLatin1Char('\r')) + 1);
    QVERIFY(!tail.isEmpty());
    QVERIFY(errorLog.endsWith(raw + tail));
}

void TestFFmpegEncoder::specialCharactersInPaths_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("spaces") << "my holiday video";
    QTest::newRow("double quote") << "the \"best\" take";
    QTest::newRow("dollar") << "price $HOME $1";
    QTest::newRow("semicolon") << "a;b; rm -rf x";
    QTest::newRow("single quote") << "it's here";
    QTest::newRow("non-ASCII") << QStringLiteral("café Ünïcødé 日本");
}

void TestFFmpegEncoder::specialCharactersInPaths()
{
    QFETCH(QString, name);
    const QString input = m_work->filePath(name + QStringLiteral(".mp4"));
    QVERIFY(QFile::copy(m_clip, input));
    const QString output = m_work->filePath(name + QStringLiteral(" out.mkv"));

    FFmpegEncoder encoder({QStringLiteral("-y"), QStringLiteral("-i"), quotedString(input),
                           QStringLiteral("-c"), QStringLiteral("copy")},
                          output);
    QSignalSpy finished(&encoder, &VideoEncoder::finished);
    encoder.start();
    QVERIFY(finished.wait(30000));
    QVERIFY2(!finished.first().first().toBool(), qPrintable(encoder.getErrorLog()));
    QVERIFY(QFileInfo(output).size() > 0);
    QVERIFY(QFile::exists(changeFileExt(output, QStringLiteral("log"))));
}

void TestFFmpegEncoder::badArgumentFails()
{
    const QString output = m_work->filePath(QStringLiteral("out.mp4"));
    FFmpegEncoder encoder({QStringLiteral("-y"), QStringLiteral("-i"), quotedString(m_clip),
                           QStringLiteral("-no_such_option"), QStringLiteral("1")},
                          output);
    QSignalSpy finished(&encoder, &VideoEncoder::finished);
    encoder.start();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(encoder.getError(), QStringLiteral("Failed to convert the video file(5)."));
    QVERIFY(!QFile::exists(output));
    QVERIFY(encoder.getErrorLog().contains(QStringLiteral("no_such_option")));
}

void TestFFmpegEncoder::missingProgramFails()
{
    useProgram(QString());
    const QString output = m_work->writeFile(QStringLiteral("out.mp4"), "stale");
    FFmpegEncoder encoder({QStringLiteral("-y"), QStringLiteral("-i"), quotedString(m_clip)},
                          output);
    QSignalSpy finished(&encoder, &VideoEncoder::finished);
    encoder.start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(encoder.getError(), QStringLiteral("A required application component is missing(0)."));
    QVERIFY(!QFile::exists(output));
}

void TestFFmpegEncoder::cancelStopsSilently()
{
    const QString output = m_work->filePath(QStringLiteral("cancelled.mp4"));
    FFmpegEncoder encoder({QStringLiteral("-y"), QStringLiteral("-re"), QStringLiteral("-i"),
                           quotedString(m_clip), QStringLiteral("-c:v"), QStringLiteral("libx264")},
                          output);
    QSignalSpy progress(&encoder, &VideoEncoder::progress);
    QSignalSpy finished(&encoder, &VideoEncoder::finished);
    encoder.start();
    QVERIFY(progress.wait(20000));
    QVERIFY(!processesWithArgument(output).isEmpty());

    encoder.cancel();
    const int reportsAtCancel = progress.count();
    QTest::qWait(500);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(progress.count(), reportsAtCancel);
    QVERIFY(!QFile::exists(output));
    QVERIFY(processesWithArgument(output).isEmpty());
}

void TestFFmpegEncoder::destructionCancels()
{
    const QString output = m_work->filePath(QStringLiteral("dropped.mp4"));
    auto* encoder = new FFmpegEncoder(
        {QStringLiteral("-y"), QStringLiteral("-re"), QStringLiteral("-i"), quotedString(m_clip)},
        output);
    QSignalSpy progress(encoder, &VideoEncoder::progress);
    encoder->start();
    QVERIFY(progress.wait(20000));
    delete encoder;
    QVERIFY(!QFile::exists(output));
    QVERIFY(processesWithArgument(output).isEmpty());
}

void TestFFmpegEncoder::standInOutputParsing_data()
{
    QTest::addColumn<QList<Chunk>>("chunks");
    QTest::addColumn<QList<QList<qint64>>>("expected");
    QTest::addColumn<QString>("logTail");

    const QByteArray header = "Input #0, mov,mp4,m4a from 'in.mp4':\n"
                              "  Duration: 00:00:05.00, start: 0.000000, bitrate: 90 kb/s\n";
    QTest::newRow("chunk ends mid-segment")
        << QList<Chunk> {{header + "frame=1 time=00:00:00.00 q=1\r", 300},
                         {"frame=2 time=00:00:0", 300},
                         {"2.00 q=1\r", 300},
                         {"frame=3 time=00:00:04.50 q=1\r", 0}}
        << QList<QList<qint64>> {{2, 5}, {4, 5}, {5, 5}} << "";
    QTest::newRow("duration not available") << QList<Chunk> {{"  Duration: N/A, start: 0.0\r", 200},
                                                             {"frame=2 time=00:00:03.00 q=1\r", 0}}
                                            << QList<QList<qint64>> {{3, 0}, {0, 0}} << "";
    QTest::newRow("time does not increase") << QList<Chunk> {{header + "\r", 200},
                                                             {"time=00:00:02.00 \r", 200},
                                                             {"time=00:00:01.00 \r", 200},
                                                             {"time=00:00:02.90 \r", 200},
                                                             {"time=00:00:03.00 \r", 0}}
                                            << QList<QList<qint64>> {{2, 5}, {3, 5}, {5, 5}} << "";
    QTest::newRow("time before any duration")
        << QList<Chunk> {{"time=00:00:01.00 \r", 200}, {header + "\r", 0}}
        << QList<QList<qint64>> {{1, 0}, {5, 5}} << "";
    QTest::newRow("closing summary after the last carriage return")
        << QList<Chunk> {{header + "time=00:00:00.50 \r", 200},
                         {"time=00:00:02.00 \r", 200},
                         {"time=00:00:04.00 q=1\nvideo:1kB time=00:00:09.00 overhead\n", 0}}
        << QList<QList<qint64>> {{2, 5}, {5, 5}}
        << "time=00:00:04.00 q=1\nvideo:1kB time=00:00:09.00 overhead\n";
}

void TestFFmpegEncoder::standInOutputParsing()
{
    QFETCH(QList<Chunk>, chunks);
    QFETCH(QList<QList<qint64>>, expected);
    QFETCH(QString, logTail);

    useProgram(standIn(chunks));
    const QString output = m_work->filePath(QStringLiteral("out.mp4"));
    FFmpegEncoder encoder({QStringLiteral("-i"), QStringLiteral("in.mp4")}, output);
    QSignalSpy progress(&encoder, &VideoEncoder::progress);
    QSignalSpy finished(&encoder, &VideoEncoder::finished);
    encoder.start();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().first().toBool(), false);
    QCOMPARE(progressOf(progress), expected);
    QVERIFY(QFile::exists(output));
    if (!logTail.isEmpty()) {
        // The tail was received (and logged) but never ended by a carriage
        // return: it stays pending and closes the error log a second time.
        QString log = encoder.getErrorLog();
        QCOMPARE(log.count(QStringLiteral("TovaLumen 4.0\n")), 1);
        log.remove(QStringLiteral("TovaLumen 4.0\n"));
        QVERIFY(log.endsWith(logTail + logTail));
    }
}

void TestFFmpegEncoder::threadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("multiThreaded");
    QTest::addColumn<bool>("threadsAdded");

    const QStringList vp8 {QStringLiteral("-vcodec"), QStringLiteral("libvpx")};
    QTest::newRow("libvpx") << vp8 << true << true;
    QTest::newRow("libvpx, single-threaded") << vp8 << false << false;
    QTest::newRow("other codec") << QStringList {QStringLiteral("-vcodec"),
                                                 QStringLiteral("libx264")}
                                 << true << false;
    QTest::newRow("only contains libvpx")
        << QStringList {QStringLiteral("-vcodec"), QStringLiteral("libvpx-vp9")} << true << false;
}

void TestFFmpegEncoder::threadArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, multiThreaded);
    QFETCH(bool, threadsAdded);

    useProgram(standIn({}));
    const QString output = m_work->filePath(QStringLiteral("a \"quoted\" name.webm"));
    FFmpegEncoder encoder(arguments, output);
    encoder.multiThreaded = multiThreaded;
    QSignalSpy finished(&encoder, &VideoEncoder::finished);
    encoder.start();
    QVERIFY(finished.wait(10000));

    QStringList expected = arguments;
    if (threadsAdded)
        expected << QStringLiteral("-threads") << QString::number(QThread::idealThreadCount());
    expected << output;
    const QStringList received = QString::fromUtf8(m_work->readFile(QStringLiteral("args.txt")))
                                     .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(received, expected);
}

void TestFFmpegEncoder::startWhileRunningChangesNothing()
{
    useProgram(standIn({{"  Duration: 00:00:02.00, start\r", 500}, {"time=00:00:01.00 \r", 0}}));
    FFmpegEncoder encoder({QStringLiteral("-i"), QStringLiteral("in.mp4")},
                          m_work->filePath(QStringLiteral("out.mp4")));
    QSignalSpy finished(&encoder, &VideoEncoder::finished);
    encoder.start();
    encoder.start();
    QVERIFY(finished.wait(10000));
    QTest::qWait(200);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(m_work->readFile(QStringLiteral("runs.txt")), QByteArray("run\n"));
}

void TestFFmpegEncoder::unwritableLogDoesNotStopTheRun()
{
    useProgram(standIn({{"  Duration: 00:00:02.00, start\r", 0}}));
    // A folder where the log file should be: it cannot be opened for writing.
    QVERIFY(QDir(m_work->path()).mkdir(QStringLiteral("out.log")));
    const QString output = m_work->filePath(QStringLiteral("out.mp4"));
    FFmpegEncoder encoder({QStringLiteral("-i"), QStringLiteral("in.mp4")}, output);
    QSignalSpy finished(&encoder, &VideoEncoder::finished);
    QTest::ignoreMessage(QtDebugMsg,
                         qPrintable(QStringLiteral("Failed to open the log file: '%1'")
                                        .arg(m_work->filePath(QStringLiteral("out.log")))));
    encoder.start();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().first().toBool(), false);
    QVERIFY(QFile::exists(output));
    QVERIFY(encoder.getErrorLog().contains(QStringLiteral("Duration: 00:00:02.00")));
}

void TestFFmpegEncoder::crashIsReportedOnce()
{
    // A real ffmpeg cannot be made to crash on demand; this one kills itself.
    const QString program = m_work->writeFile(QStringLiteral("crashing-ffmpeg"),
                                              "#!/bin/sh\nfor last in \"$@\"; do :; done\n"
                                              "echo partial > \"$last\"\nkill -SEGV $$\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    useProgram(program);
    const QString output = m_work->filePath(QStringLiteral("out.mp4"));
    FFmpegEncoder encoder({QStringLiteral("-i"), QStringLiteral("in.mp4")}, output);
    QSignalSpy progress(&encoder, &VideoEncoder::progress);
    QSignalSpy finished(&encoder, &VideoEncoder::finished);
    encoder.start();
    QVERIFY(finished.wait(10000));
    QTest::qWait(200);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(progress.count(), 0);
    QCOMPARE(encoder.getError(),
             QStringLiteral("An error occurred when converting the video file(1,1)."));
    QVERIFY(!QFile::exists(output));
}

QTEST_GUILESS_MAIN(TestFFmpegEncoder)
#include "tst_ffmpegencoder.moc"
