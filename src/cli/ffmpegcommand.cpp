#include "ffmpegcommand.h"

#include "clicommand.h"
#include "encoding/ffmpegencoder.h"
#include "progressprinter.h"
#include "util/miscutils.h"

#include <QCommandLineParser>
#include <QEventLoop>

namespace {
QString progressText(qint64 current, qint64 total)
{
    const QString percent = total > 0
        ? QString::number(std::min<qint64>(100, current * 100 / total))
        : QStringLiteral("?");
    return QStringLiteral("%1% (%2/%3 s)").arg(percent).arg(current).arg(total);
}
} // namespace

int runFFmpegCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs the program's ffmpeg on the given arguments, writing OUTPUT."));
    const QCommandLineOption noThreads(
        QStringLiteral("no-threads"),
        QStringLiteral("Do not add -threads for VP8 (libvpx) video."));
    parser.addOption(noThreads);
    parser.addPositionalArgument(QStringLiteral("OUTPUT"), QStringLiteral("The file to write."));
    parser.addPositionalArgument(QStringLiteral("ARG"),
                                 QStringLiteral("ffmpeg arguments, after a \"--\"."),
                                 QStringLiteral("-- ARG..."));
    int exitCode = ExitSuccess;
    if (parseCommandLine(parser, arguments, 1, exitCode) == ParseOutcome::Exit)
        return exitCode;

    QStringList ffmpegArguments = parser.positionalArguments();
    const QString output = ffmpegArguments.takeFirst();
    for (QString& argument : ffmpegArguments)
        argument = quotedString(argument);

    FFmpegEncoder encoder(ffmpegArguments, output);
    encoder.multiThreaded = !parser.isSet(noThreads);
    ProgressPrinter printer;
    QEventLoop loop;
    QObject::connect(&encoder, &VideoEncoder::progress, [&printer](qint64 current, qint64 total) {
        printer.update(progressText(current, total));
    });
    QObject::connect(&encoder, &VideoEncoder::finished, &loop,
                     [&loop](bool hasError) { loop.exit(hasError ? ExitFailure : ExitSuccess); });
    encoder.start();
    exitCode = loop.exec();
    printer.finish();
    if (exitCode != ExitSuccess) {
        printError(encoder.getError());
        printError(QStringLiteral("Log: %1").arg(encoder.logFile()));
    }
    return exitCode;
}
