#include "faststartcommand.h"

#include "clicommand.h"
#include "encoding/qtfaststart.h"
#include "progressprinter.h"

#include <QCommandLineParser>
#include <QEventLoop>

int runFastStartCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Moves the index of an MP4 file in front of its media data, in place, so "
                       "that the file plays while it downloads. A file already in that order is "
                       "left as it is."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The MP4 file."));
    int exitCode = ExitSuccess;
    if (parseCommandLine(parser, arguments, 1, exitCode) == ParseOutcome::Exit)
        return exitCode;
    if (parser.positionalArguments().size() > 1) {
        printError(QStringLiteral("One file at a time."));
        return ExitUsage;
    }

    Mpeg4MetaFixer fixer(parser.positionalArguments().first());
    ProgressPrinter printer;
    QEventLoop loop;
    QObject::connect(&fixer, &VideoEncoder::progress, [&printer](qint64 current, qint64 total) {
        printer.update(QStringLiteral("%1%").arg(total > 0 ? current * 100 / total : 0));
    });
    QObject::connect(&fixer, &VideoEncoder::finished, &loop,
                     [&loop](bool hasError) { loop.exit(hasError ? ExitFailure : ExitSuccess); });
    fixer.start();
    exitCode = loop.exec();
    printer.finish();
    if (exitCode != ExitSuccess)
        printError(fixer.getError());
    return exitCode;
}
