#include "probecommand.h"

#include "clicommand.h"
#include "video/videofile.h"
#include "video/videomath.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QString durationText(const VideoInfo& info)
{
    return info.duration.isValid() ? VideoMath::durationText(info.duration) : QString();
}

QString asText(const VideoInfo& info)
{
    const QString duration = durationText(info);
    return QStringLiteral(
               "Size: %1x%2\nDuration: %3\nBit rate: %4 bit/s\nFrame rate: %5\nCodec: %6")
        .arg(info.size.width())
        .arg(info.size.height())
        .arg(duration.isEmpty() ? QStringLiteral("unknown") : duration)
        .arg(info.bitRate, 0, 'f', 0)
        .arg(info.frameRate)
        .arg(info.codec);
}

QString asJson(const VideoInfo& info)
{
    const QString duration = durationText(info);
    const QJsonObject object {
        {QStringLiteral("width"), info.size.width()},
        {QStringLiteral("height"), info.size.height()},
        {QStringLiteral("duration"), duration.isEmpty() ? QJsonValue() : QJsonValue(duration)},
        {QStringLiteral("bitRate"), info.bitRate},
        {QStringLiteral("frameRate"), info.frameRate},
        {QStringLiteral("codec"), info.codec},
    };
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)).trimmed();
}
} // namespace

int runProbeCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows the size, duration, bit rate, frame rate and codec of a video."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print a JSON object."));
    parser.addOption(json);
    parser.addPositionalArgument(QStringLiteral("VIDEO"), QStringLiteral("The video file."));
    int exitCode = ExitSuccess;
    if (parseCommandLine(parser, arguments, 1, exitCode, 1) == ParseOutcome::Exit)
        return exitCode;

    VideoFile video;
    QString error;
    if (!video.openFile(parser.positionalArguments().first(), &error)) {
        printError(error);
        return ExitFailure;
    }
    const VideoInfo info = video.getInfo();
    printOutput(parser.isSet(json) ? asJson(info) : asText(info));
    return ExitSuccess;
}
