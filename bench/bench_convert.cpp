// Converting one video into all four formats: tovalumen-cli convert against
// the same four ffmpeg command lines run by a shell, all at once and one after
// another, and the CPU floor: the four encodes' user time spread over every core.

#include "benchstats.h"
#include "encoding/mpeg4encoder.h"
#include "encoding/mpeg4lowencoder.h"
#include "encoding/theoraencoder.h"
#include "encoding/videoencoderparameters.h"
#include "encoding/webmencoder.h"
#include "temporaryfolder.h"
#include "testmedia.h"
#include "util/appidentity.h"
#include "util/miscutils.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace P = VideoEncoderParameters;

namespace {
const int ROUNDS = 3;

// One command line as a shell runs it; ffmpeg's report goes to a log file,
// as the runner's does.
QString commandLine(const QString& folder, const QString& extension, QStringList arguments)
{
    const QString output = QStringLiteral("%1/shell.%2").arg(folder, extension);
    return QStringLiteral("%1 %2 %3 2>%4")
        .arg(quotedString(TestMedia::ffmpegProgram()), arguments.join(QLatin1Char(' ')),
             quotedString(output), quotedString(output + QStringLiteral(".log")));
}

// The four command lines the builders make for the clip at its own size.
QStringList commandLines(const QString& clip, const QString& folder)
{
    const QVariantMap parameters {{P::SOURCE_SIZE, QSize(1280, 720)},
                                  {P::TARGET_SIZE, QSize(0, 0)},
                                  {P::RESIZE_METHOD, P::RESIZE_METHOD_PAD},
                                  {P::TARGET_QUALITY, 0}};
    const Mpeg4Encoder mp4;
    const Mpeg4LowEncoder low;
    const WebMEncoder webm;
    const TheoraEncoder ogg;
    // The runner adds the thread count for VP8.
    const QStringList threads {QStringLiteral("-threads"),
                               QString::number(QThread::idealThreadCount())};
    return {commandLine(folder, mp4.getExtension(), mp4.arguments(clip, parameters)),
            commandLine(folder, low.getExtension(), low.arguments(clip, parameters)),
            commandLine(folder, webm.getExtension(), webm.arguments(clip, parameters) + threads),
            commandLine(folder, ogg.getExtension(), ogg.arguments(clip, parameters))};
}

double childrenUserSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6;
}

qint64 timeRun(const QString& program, const QStringList& arguments)
{
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
    return timer.elapsed();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    AppIdentity::apply();
    const QString clip = TestMedia::h264Clip(QSize(1280, 720), 20);
    if (clip.isEmpty())
        return 1;
    TemporaryFolder folder;
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/tovalumen-cli");
    const QStringList lines = commandLines(clip, folder.path());
    const QString parallel = lines.join(QStringLiteral(" & ")) + QStringLiteral(" & wait");
    const QString sequential = lines.join(QStringLiteral(" && "));
    const QString sh = QStringLiteral("/bin/sh");

    QVector<qint64> ours;
    QVector<qint64> allAtOnce;
    // Interleaved, so that a change in machine load hits both sides alike.
    for (int round = 0; round < ROUNDS; ++round) {
        ours << timeRun(cli,
                        {QStringLiteral("convert"), clip, QStringLiteral("--out"),
                         folder.filePath(QStringLiteral("cli"))});
        allAtOnce << timeRun(sh, {QStringLiteral("-c"), parallel});
    }
    const double userBefore = childrenUserSeconds();
    const qint64 oneByOne = timeRun(sh, {QStringLiteral("-c"), sequential});
    const double user = childrenUserSeconds() - userBefore;
    const int cores = QThread::idealThreadCount();

    std::printf("20 s 1280x720 clip into MP4, low-resolution MP4, WebM and Ogg; median of %d "
                "runs (one after another: 1 run)\n",
                ROUNDS);
    std::printf("  tovalumen-cli convert     %7lld ms\n", static_cast<long long>(median(ours)));
    std::printf("  shell, all at once        %7lld ms\n",
                static_cast<long long>(median(allAtOnce)));
    std::printf("  shell, one after another  %7lld ms\n", static_cast<long long>(oneByOne));
    std::printf("  CPU floor                 %7.0f ms (%.1f s user time / %d cores)\n",
                user * 1000 / cores, user, cores);
    std::printf("  convert / all at once     %7.3f (goal: at most 1.02)\n",
                double(median(ours)) / double(median(allAtOnce)));
    return 0;
}
