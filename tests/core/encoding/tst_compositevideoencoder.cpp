#include "encoding/compositevideoencoder.h"
#include "encoding/qtfaststart.h"
#include "mp4atoms.h"
#include "temporaryfolder.h"

#include <QSignalSpy>
#include <QTest>

namespace {
// A step whose reports the test gives one by one. Neither ffmpeg nor the
// rewriter can be made to report exactly 18 of 60 or to fail on cue.
class ScriptedStep : public VideoEncoder
{
public:
    explicit ScriptedStep(const QString& output)
        : VideoEncoder(output)
    { }

    void start() override { ++starts; }
    void cancel() override { ++cancels; }
    QString getError() const override { return error; }
    QString getErrorLog() const override { return log; }

    void report(qint64 current, qint64 total) { emit progress(current, total); }
    void finish(bool hasError) { emit finished(hasError); }

    int starts = 0;
    int cancels = 0;
    QString error;
    QString log;
};

// A step event: progress of the running step, or its successful end.
struct Event
{
    qint64 current;
    qint64 total; // -1: the step finishes without error
};
} // namespace
Q_DECLARE_METATYPE(QList<Event>)

// Runs steps in order as one job with one progress scale.
class TestCompositeVideoEncoder : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void progressScale_data();
    void progressScale();
    void withoutStepsFinishesAtOnce();
    void failingStepEndsTheJob();
    void cancelInEachStep_data();
    void cancelInEachStep();
    void cancelDuringTheRewrite();

private:
    struct Job
    {
        explicit Job(const QString& output)
            : composite(output)
        { }
        CompositeVideoEncoder composite;
        QList<QSharedPointer<ScriptedStep>> steps;
    };
    std::unique_ptr<Job> makeJob(const QList<double>& weights);

    std::unique_ptr<TemporaryFolder> m_work;
    QString m_output;
};

void TestCompositeVideoEncoder::init()
{
    m_work.reset(new TemporaryFolder);
    m_output = m_work->writeFile(QStringLiteral("out.mp4"), "partial output");
}

std::unique_ptr<TestCompositeVideoEncoder::Job>
TestCompositeVideoEncoder::makeJob(const QList<double>& weights)
{
    std::unique_ptr<Job> job(new Job(m_output));
    for (const double weight : weights) {
        job->steps.append(QSharedPointer<ScriptedStep>::create(m_output));
        job->composite.add(job->steps.last(), weight);
    }
    return job;
}

void TestCompositeVideoEncoder::progressScale_data()
{
    QTest::addColumn<QList<double>>("weights");
    QTest::addColumn<QList<Event>>("events");
    QTest::addColumn<QList<qint64>>("percents");

    const QList<double> low {0.9, 0.1};
    QTest::newRow("ffmpeg half way") << low << QList<Event> {{30, 60}} << QList<qint64> {45};
    QTest::newRow("rewriter half way")
        << low << QList<Event> {{60, 60}, {0, -1}, {50, 100}, {100, 100}}
        << QList<qint64> {90, 95, 100};
    // 18 * 0.9 / 60 is 0.26999999999999996 in floating point.
    QTest::newRow("truncated, not rounded") << low << QList<Event> {{18, 60}} << QList<qint64> {26};
    QTest::newRow("beyond the step's total")
        << QList<double> {1.0} << QList<Event> {{70, 60}} << QList<qint64> {100};
    QTest::newRow("step without a total")
        << low << QList<Event> {{0, 0}, {5, 0}} << QList<qint64> {100, 100};
    QTest::newRow("weights above 1.0 are capped")
        << QList<double> {0.9, 0.9} << QList<Event> {{1, 1}, {0, -1}, {1, 2}}
        << QList<qint64> {90, 100};
}

void TestCompositeVideoEncoder::progressScale()
{
    QFETCH(QList<double>, weights);
    QFETCH(QList<Event>, events);
    QFETCH(QList<qint64>, percents);

    const auto job = makeJob(weights);
    QSignalSpy progress(&job->composite, &VideoEncoder::progress);
    QSignalSpy finished(&job->composite, &VideoEncoder::finished);
    job->composite.start();
    int step = 0;
    for (const Event& event : events) {
        if (event.total < 0)
            job->steps.at(step++)->finish(false);
        else
            job->steps.at(step)->report(event.current, event.total);
    }
    QList<qint64> reported;
    for (const QList<QVariant>& signal : progress) {
        QCOMPARE(signal.at(1).toLongLong(), qint64(100));
        reported.append(signal.at(0).toLongLong());
    }
    QCOMPARE(reported, percents);
    QCOMPARE(finished.count(), 0);
    // Each finished step has started the next one, and only that one.
    for (int i = 0; i < job->steps.size(); ++i)
        QCOMPARE(job->steps.at(i)->starts, i <= step ? 1 : 0);
}

void TestCompositeVideoEncoder::withoutStepsFinishesAtOnce()
{
    CompositeVideoEncoder composite(m_output);
    QSignalSpy finished(&composite, &VideoEncoder::finished);
    composite.start();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), false);
    QCOMPARE(composite.getError(), QString());
    QVERIFY(QFile::exists(m_output));
}

void TestCompositeVideoEncoder::failingStepEndsTheJob()
{
    const auto job = makeJob({0.5, 0.5});
    QSignalSpy finished(&job->composite, &VideoEncoder::finished);
    job->composite.start();
    job->steps.at(0)->error = QStringLiteral("Failed to convert the video file(5).");
    job->steps.at(0)->log = QStringLiteral("ffmpeg said no");
    job->steps.at(0)->finish(true);

    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(job->steps.at(1)->starts, 0);
    QVERIFY(!QFile::exists(m_output));
    QCOMPARE(job->composite.getError(), QStringLiteral("Failed to convert the video file(5)."));
    QCOMPARE(job->composite.getErrorLog(), QStringLiteral("ffmpeg said no"));
}

void TestCompositeVideoEncoder::cancelInEachStep_data()
{
    QTest::addColumn<int>("step");
    QTest::newRow("first step") << 0;
    QTest::newRow("second step") << 1;
    QTest::newRow("after the last step") << 2;
}

void TestCompositeVideoEncoder::cancelInEachStep()
{
    QFETCH(int, step);
    const auto job = makeJob({0.9, 0.1});
    QSignalSpy progress(&job->composite, &VideoEncoder::progress);
    QSignalSpy finished(&job->composite, &VideoEncoder::finished);
    job->composite.start();
    for (int i = 0; i < step; ++i)
        job->steps.at(i)->finish(false);
    const int finishedBefore = finished.count();
    const int progressBefore = progress.count();

    job->composite.cancel();
    for (int i = 0; i < job->steps.size(); ++i)
        QCOMPARE(job->steps.at(i)->cancels, i == step ? 1 : 0);
    QVERIFY(!QFile::exists(m_output));
    QCOMPARE(finished.count(), finishedBefore);
    QCOMPARE(progress.count(), progressBefore);
}

void TestCompositeVideoEncoder::cancelDuringTheRewrite()
{
    // A real rewriter on a file with three chunks of media to copy; it is
    // cancelled from this thread while it waits at its first progress report.
    const QByteArray ftyp = Mp4Atoms::atom("ftyp", QByteArray("isom\0\0\0\1isom", 12));
    const QByteArray mdat = Mp4Atoms::atom("mdat", QByteArray(3 * 1048576, 'm'));
    const QByteArray original =
        ftyp + mdat + Mp4Atoms::moovWithTable(Mp4Atoms::stco({quint32(ftyp.size() + 8)}));
    QVERIFY(!m_work->writeFile(QStringLiteral("out.mp4"), original).isEmpty());

    CompositeVideoEncoder composite(m_output);
    const auto ffmpeg = QSharedPointer<ScriptedStep>::create(m_output);
    const QSharedPointer<VideoEncoder> rewriter(CreateMpeg4MetaFixer(m_output));
    composite.add(ffmpeg, 0.9);
    composite.add(rewriter, 0.1);
    QObject here;
    connect(
        rewriter.data(), &VideoEncoder::progress, &here,
        [&composite](qint64 current) {
            if (current == 10)
                composite.cancel();
        },
        Qt::BlockingQueuedConnection);
    QSignalSpy finished(&composite, &VideoEncoder::finished);
    composite.start();
    ffmpeg->finish(false);

    QVERIFY(finished.wait(10000));
    QTest::qWait(100);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(composite.getError(), QString());
    QVERIFY(!QFile::exists(m_output + QStringLiteral(".tmp")));
}

QTEST_GUILESS_MAIN(TestCompositeVideoEncoder)
#include "tst_compositevideoencoder.moc"
