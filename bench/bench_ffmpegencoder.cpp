// What the runner costs on top of ffmpeg itself: the same encode through
// FFmpegEncoder (progress parsing, log file) and through a bare QProcess.

#include "benchstats.h"
#include "encoding/ffmpegencoder.h"
#include "temporaryfolder.h"
#include "testmedia.h"
#include "util/appidentity.h"
#include "util/miscutils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {
const int ROUNDS = 5;

QStringList encodeArguments(const QString& clip)
{
    return {QStringLiteral("-y"),       QStringLiteral("-i"),      clip,
            QStringLiteral("-c:v"),     QStringLiteral("libx264"), QStringLiteral("-preset"),
            QStringLiteral("veryfast"), QStringLiteral("-c:a"),    QStringLiteral("aac")};
}

qint64 bareRun(const QString& clip, const QString& output)
{
    QElapsedTimer timer;
    timer.start();
    QProcess ffmpeg;
    ffmpeg.setStandardErrorFile(QProcess::nullDevice());
    ffmpeg.start(TestMedia::ffmpegProgram(), encodeArguments(clip) << output);
    ffmpeg.waitForFinished(-1);
    return timer.elapsed();
}

qint64 runnerRun(const QString& clip, const QString& output)
{
    QStringList arguments = encodeArguments(quotedString(clip));
    QElapsedTimer timer;
    timer.start();
    FFmpegEncoder encoder(arguments, output);
    QEventLoop loop;
    QObject::connect(&encoder, &VideoEncoder::finished, &loop, &QEventLoop::quit);
    encoder.start();
    loop.exec();
    return timer.elapsed();
}

qint64 cpuMilliseconds(int who)
{
    rusage usage {};
    getrusage(who, &usage);
    const auto ms = [](const timeval& t) { return qint64(t.tv_sec) * 1000 + t.tv_usec / 1000; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    AppIdentity::apply();
    const QString clip = TestMedia::h264Clip(QSize(1280, 720), 10);
    if (clip.isEmpty())
        return 1;
    TemporaryFolder folder;
    QVector<qint64> bare;
    QVector<qint64> runner;
    qint64 runnerCpu = 0;
    // Interleaved, so that a change in machine load hits both sides alike.
    for (int round = 0; round < ROUNDS; ++round) {
        bare << bareRun(clip, folder.filePath(QStringLiteral("bare.mp4")));
        const qint64 cpuBefore = cpuMilliseconds(RUSAGE_SELF);
        runner << runnerRun(clip, folder.filePath(QStringLiteral("runner.mp4")));
        runnerCpu += cpuMilliseconds(RUSAGE_SELF) - cpuBefore;
    }
    std::printf("10 s 1280x720 H.264 encode, median of %d runs\n", ROUNDS);
    std::printf("  bare ffmpeg      %6lld ms\n", static_cast<long long>(median(bare)));
    std::printf("  FFmpegEncoder    %6lld ms (its own CPU time: %lld ms per run)\n",
                static_cast<long long>(median(runner)), static_cast<long long>(runnerCpu / ROUNDS));
    std::printf("  ratio            %6.3f (goal: at most 1.02)\n",
                double(median(runner)) / double(median(bare)));
    return 0;
}
