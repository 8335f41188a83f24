// Moving the index of a large MP4 file to the front: our rewriter against a
// plain copy of the same file (the floor: every byte has to be moved once)
// and against the remux a user would run instead, and the rewriter's peak
// memory, measured in a child process of its own.

#include "benchstats.h"
#include "encoding/qtfaststart.h"
#include "mp4atoms.h"
#include "temporaryfolder.h"
#include "testmedia.h"
#include "util/appidentity.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {
const int ROUNDS = 7;
const qint64 MINIMUM_SIZE = 300LL * 1000 * 1000;

long peakResidentKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Child mode: rewrites once and prints the peak resident size before and
// after. A small rewrite first brings in the code the rewrite runs, so that
// the difference is the data it holds.
int rewriteAndReportMemory(const QString& input, const QString& output)
{
    TemporaryFolder folder;
    const QByteArray ftyp = Mp4Atoms::atom("ftyp", "isom");
    const QString small =
        folder.writeFile(QStringLiteral("small.mp4"),
                         ftyp + Mp4Atoms::atom("mdat", QByteArray(4096, 'm')) +
                             Mp4Atoms::moovWithTable(Mp4Atoms::stco({quint32(ftyp.size() + 8)})));
    fixMpeg4Meta(small, folder.filePath(QStringLiteral("small out.mp4")), nullptr, nullptr,
                 nullptr);
    const long before = peakResidentKiB();
    QString error;
    if (!fixMpeg4Meta(input, output, &error, nullptr, nullptr)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%ld %ld\n", before, peakResidentKiB());
    return 0;
}

// A lossless 720p clip looped without re-encoding until it is large enough;
// ffmpeg writes the index last.
QString largeMp4()
{
    const QString clip = TestMedia::generate(
        {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("testsrc2=size=1280x720:rate=25:duration=10"), QStringLiteral("-f"),
         QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=duration=10"),
         QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
         QStringLiteral("ultrafast"), QStringLiteral("-qp"), QStringLiteral("0"),
         QStringLiteral("-c:a"), QStringLiteral("aac")},
        QStringLiteral("mp4"));
    if (clip.isEmpty())
        return QString();
    const qint64 loops = MINIMUM_SIZE / QFileInfo(clip).size();
    return TestMedia::generate({QStringLiteral("-stream_loop"), QString::number(loops),
                                QStringLiteral("-i"), clip, QStringLiteral("-c"),
                                QStringLiteral("copy")},
                               QStringLiteral("mp4"));
}

// Every run starts with the previous runs' writes on the disk, so that none
// pays for another's write-back.
void settle()
{
    QProcess::execute(QStringLiteral("sync"), {});
}

qint64 timeProcess(const QString& program, const QStringList& arguments)
{
    settle();
    QElapsedTimer timer;
    timer.start();
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(-1);
    if (process.exitCode() != 0)
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
    return timer.elapsed();
}

qint64 timeRewrite(const QString& input, const QString& output)
{
    settle();
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!fixMpeg4Meta(input, output, &error, nullptr, nullptr))
        std::fprintf(stderr, "rewrite failed: %s\n", qPrintable(error));
    return timer.elapsed();
}

// "median (best)"; the best run is the one the rest of the machine disturbed least.
void printTimes(const char* label, const QVector<qint64>& values)
{
    std::printf("  %-26s %6lld ms (best %lld ms)\n", label, static_cast<long long>(median(values)),
                static_cast<long long>(best(values)));
}

void printRatio(const char* label, const QVector<qint64>& a, const QVector<qint64>& b,
                const char* goal)
{
    std::printf("  %-26s %6.3f (best runs: %.3f; goal: %s)\n", label,
                double(median(a)) / double(median(b)), double(best(a)) / double(best(b)), goal);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    AppIdentity::apply();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments.at(1) == QLatin1String("--rewrite"))
        return rewriteAndReportMemory(arguments.at(2), arguments.at(3));

    const QString input = largeMp4();
    if (input.isEmpty())
        return 1;
    const Mp4Atoms::Atom moov = Mp4Atoms::topLevelOfFile(input).last();
    if (moov.type != "moov") {
        std::fprintf(stderr, "the index of %s is not last\n", qPrintable(input));
        return 1;
    }
    TemporaryFolder folder;
    const QString output = folder.filePath(QStringLiteral("out.mp4"));
    QVector<qint64> copy;
    QVector<qint64> rewrite;
    QVector<qint64> remux;
    // Interleaved, so that a change in machine load hits all sides alike;
    // each output is removed before the next run writes it anew.
    for (int round = 0; round < ROUNDS; ++round) {
        copy << timeProcess(QStringLiteral("cp"), {input, output});
        QFile::remove(output);
        rewrite << timeRewrite(input, output);
        QFile::remove(output);
        remux << timeProcess(TestMedia::ffmpegProgram(),
                             {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                              QStringLiteral("-i"), input, QStringLiteral("-c"),
                              QStringLiteral("copy"), QStringLiteral("-movflags"),
                              QStringLiteral("+faststart"), output});
        QFile::remove(output);
    }

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--rewrite"), input, output});
    child.waitForFinished(-1);
    QFile::remove(output);
    long baseline = 0;
    long peak = 0;
    std::sscanf(child.readAllStandardOutput().constData(), "%ld %ld", &baseline, &peak);

    std::printf("Fast-start rewrite of a %.1f MB MP4 (moov %lld bytes, last), median of %d runs\n",
                double(QFileInfo(input).size()) / 1e6, static_cast<long long>(moov.size), ROUNDS);
    printTimes("cp (floor)", copy);
    printTimes("fixMpeg4Meta", rewrite);
    printTimes("ffmpeg -c copy +faststart", remux);
    printRatio("rewrite / cp", rewrite, copy, "at most 1.2");
    printRatio("remux / rewrite", remux, rewrite, "at least 3");
    std::printf("  peak resident memory      %6ld KiB before, %ld KiB after: +%ld KiB "
                "(goal: near moov + 1024 KiB = %lld KiB)\n",
                baseline, peak, peak - baseline, static_cast<long long>(moov.size / 1024 + 1024));
    return 0;
}
