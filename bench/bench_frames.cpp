#include "benchstats.h"
#include "temporaryfolder.h"
#include "testmedia.h"
#include "video/frameloader.h"
#include "video/videofile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>

// The ribbon and poster frames of a two-minute 1080p H.264 clip (a key frame
// every 250 frames): tovalumen-cli frames against the shell loop of ffmpeg
// calls a script would run, and how long a poster request waits behind the
// ribbon requests.
namespace {
const int RIBBON = 11;
const int ROUNDS = 3;

QString makeClip()
{
    return TestMedia::generate(TestMedia::testPicture(QSize(1920, 1080), 120) +
                                   QStringList {"-c:v", "libx264", "-preset", "veryfast",
                                                "-pix_fmt", "yuv420p", "-x264-params",
                                                "keyint=250:min-keyint=250:scenecut=0"},
                               QStringLiteral("mp4"));
}

// Wall time of one run of the program, in milliseconds; -1 when it fails.
qint64 timeRun(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    const bool finished = process.waitForFinished(600000);
    const qint64 elapsed = timer.elapsed();
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed:\n%s\n", qPrintable(program),
                     process.readAll().constData());
        return -1;
    }
    return elapsed;
}

// The loop a script would run: one ffmpeg call per picture.
QString ffmpegLoop(const QString& clip, double seconds, const QString& folder)
{
    QString script;
    for (int k = 1; k <= RIBBON + 1; ++k) {
        // The twelfth picture is the poster, in the middle.
        const double time = k <= RIBBON ? seconds * k / (RIBBON + 1) : seconds / 2;
        script += QStringLiteral("'%1' -v error -y -ss %2 -i '%3' -frames:v 1 '%4/out%5.png' || "
                                 "exit 1\n")
                      .arg(TestMedia::ffmpegProgram())
                      .arg(time, 0, 'f', 3)
                      .arg(clip, folder)
                      .arg(k);
    }
    return script;
}

struct Latency
{
    qint64 milliseconds = 0;
    int ribbonFramesBefore = 0;
};

// Queues the ribbon, then after `waitFor` ribbon answers asks for the poster
// with the higher priority; measures how long that answer takes and how many
// ribbon answers come between.
Latency posterLatency(const QSharedPointer<VideoFile>& video, int waitFor)
{
    QThread thread;
    FrameLoader loader;
    loader.moveToThread(&thread);
    loader.setVideo(video);
    thread.start();

    const qint64 duration = video->getDuration();
    QList<int> ribbon;
    for (int k = 1; k <= RIBBON; ++k)
        ribbon.append(loader.getFrame(duration * k / (RIBBON + 1), FrameLoader::LowPriority));

    Latency latency;
    int ribbonAnswers = 0;
    int posterId = -1;
    QElapsedTimer timer;
    QEventLoop loop;
    QObject::connect(&loader, &FrameLoader::frameLoaded, &loop, [&](int id, const QImage&) {
        if (id == posterId) {
            latency.milliseconds = timer.elapsed();
            loop.quit();
            return;
        }
        ++ribbonAnswers;
        if (posterId >= 0)
            ++latency.ribbonFramesBefore;
        if (ribbonAnswers == waitFor) {
            timer.start();
            posterId = loader.getFrame(duration / 2 + 1, FrameLoader::HighPriority);
        }
    });
    if (waitFor == 0) {
        timer.start();
        posterId = loader.getFrame(duration / 2 + 1, FrameLoader::HighPriority);
    }
    loop.exec();
    loader.cancelRequests();
    thread.quit();
    thread.wait();
    return latency;
}

// One ribbon frame decoded on its own, for scale.
qint64 singleFrame(const QSharedPointer<VideoFile>& video)
{
    QElapsedTimer timer;
    timer.start();
    video->seek(video->getDuration() * 5 / (RIBBON + 1));
    video->nextFrame();
    return timer.elapsed();
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    std::printf("Making the clip (once; kept in the build tree)...\n");
    std::fflush(stdout);
    const QString clip = makeClip();
    auto video = QSharedPointer<VideoFile>::create();
    QString error;
    if (clip.isEmpty() || !video->openFile(clip, &error)) {
        std::fprintf(stderr, "No clip: %s\n", qPrintable(error));
        return 1;
    }
    const VideoInfo info = video->getInfo();
    const double seconds = info.duration.msecsSinceStartOfDay() / 1000.0;

    QList<qint64> ours;
    QList<qint64> loop;
    for (int round = 0; round < ROUNDS; ++round) {
        TemporaryFolder out;
        ours.append(timeRun(QStringLiteral(TOVALUMEN_CLI),
                            {"frames", clip, "--out", out.filePath("ours")}));
        QDir().mkpath(out.filePath("ffmpeg"));
        loop.append(timeRun(QStringLiteral("bash"),
                            {"-c", ffmpegLoop(clip, seconds, out.filePath("ffmpeg"))}));
        if (ours.last() < 0 || loop.last() < 0)
            return 1;
    }
    const qint64 oursMs = median(ours);
    const qint64 loopMs = median(loop);
    std::printf("%d ribbon thumbnails + poster of a %dx%d, %.0f s H.264 clip (median of %d):\n",
                RIBBON, info.size.width(), info.size.height(), seconds, ROUNDS);
    std::printf("  tovalumen-cli frames:     %6lld ms\n", static_cast<long long>(oursMs));
    std::printf("  shell loop of 12 ffmpeg:  %6lld ms\n", static_cast<long long>(loopMs));
    std::printf("  ratio ours / ffmpeg loop: %6.2f\n", static_cast<double>(oursMs) / loopMs);

    const qint64 frameMs = singleFrame(video);
    std::printf("Poster request (priority 1) while ribbon requests are queued"
                " (one ribbon frame alone: %lld ms):\n",
                static_cast<long long>(frameMs));
    for (const int waitFor : {0, 5}) {
        const Latency latency = posterLatency(video, waitFor);
        std::printf("  asked after %d ribbon answers: answered in %5lld ms, after %d ribbon "
                    "frame(s); latency / one frame = %.2f\n",
                    waitFor, static_cast<long long>(latency.milliseconds),
                    latency.ribbonFramesBefore,
                    static_cast<double>(latency.milliseconds) / std::max<qint64>(1, frameMs));
    }
    return 0;
}
