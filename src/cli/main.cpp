#include "clicommand.h"
#include "convertcommand.h"
#include "faststartcommand.h"
#include "ffmpegcommand.h"
#include "framescommand.h"
#include "probecommand.h"
#include "publishcommand.h"
#include "uploadcommand.h"
#include "util/appidentity.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <iterator>

namespace {
const CliCommand COMMANDS[] = {
    {"ffmpeg", "Run the program's ffmpeg with progress and a log file.", runFFmpegCommand},
    {"convert", "Convert a video into the web formats, all at once.", runConvertCommand},
    {"faststart", "Move an MP4 file's index to the front, in place.", runFastStartCommand},
    {"probe", "Show a video's size, duration, bit rate, frame rate and codec.", runProbeCommand},
    {"frames", "Write a video's ribbon thumbnails and poster frame as PNG files.",
     runFramesCommand},
    {"publish", "Publish converted video with its page into a folder or onto an FTP server.",
     runPublishCommand},
    {"upload", "Upload files into a folder of an FTP server.", runUploadCommand},
};

QString commandList()
{
    QString text = QStringLiteral("\nCommands:\n");
    for (const CliCommand& command : COMMANDS)
        text += QStringLiteral("  %1  %2\n")
                    .arg(QString::fromLatin1(command.name).leftJustified(10),
                         QString::fromLatin1(command.summary));
    return text + QStringLiteral("\nRun 'tovalumen-cli COMMAND --help' for a command's options.\n");
}

const CliCommand* findCommand(const QString& name)
{
    const auto found = std::find_if(std::begin(COMMANDS), std::end(COMMANDS),
                                    [&name](const CliCommand& c) { return name == c.name; });
    return found == std::end(COMMANDS) ? nullptr : found;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    AppIdentity::apply();
    // Debug messages are for developers; QT_LOGGING_RULES brings them back.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts videos for the web and publishes them, without a window."));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("COMMAND"), QStringLiteral("What to do."),
                                 QStringLiteral("COMMAND [OPTIONS]"));

    const QStringList arguments = QCoreApplication::arguments();
    if (!parser.parse(arguments)) {
        printError(parser.errorText() + QLatin1Char('\n') + parser.helpText() + commandList());
        return ExitUsage;
    }
    if (parser.isSet(version)) {
        printOutput(QStringLiteral("tovalumen-cli ") + QCoreApplication::applicationVersion());
        return ExitSuccess;
    }
    const QString usage = parser.helpText() + commandList();
    if (parser.isSet(help)) {
        printOutput(usage);
        return ExitSuccess;
    }
    const QStringList positionals = parser.positionalArguments();
    if (positionals.isEmpty()) {
        printError(QStringLiteral("No command given.\n") + usage);
        return ExitUsage;
    }
    const CliCommand* command = findCommand(positionals.first());
    if (!command) {
        printError(QStringLiteral("Unknown command '%1'.\n").arg(positionals.first()) + usage);
        return ExitUsage;
    }
    QStringList commandArguments = positionals.mid(1);
    commandArguments.prepend(QStringLiteral("tovalumen-cli ") + positionals.first());
    return command->run(commandArguments);
}
