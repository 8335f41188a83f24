#include "convertcommand.h"

#include "clicommand.h"
#include "encoding/mpeg4encoder.h"
#include "encoding/mpeg4lowencoder.h"
#include "encoding/theoraencoder.h"
#include "encoding/videoencoder.h"
#include "encoding/videoencoderparameters.h"
#include "encoding/webmencoder.h"
#include "progressprinter.h"
#include "util/miscutils.h"
#include "video/videofile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QImageReader>
#include <QRegularExpression>

#include <cstdio>
#include <memory>
#include <vector>

namespace P = VideoEncoderParameters;

namespace {
struct Format
{
    const char* name;
    VideoEncoderBuilder* (*create)();
};

const Format FORMATS[] = {{"mp4", CreateMpeg4Encoder},
                          {"lowmp4", CreateMpeg4LowEncoder},
                          {"webm", CreateWebMEncoder},
                          {"ogv", CreateTheoraEncoder}};

const Format* findFormat(const QString& name)
{
    for (const Format& format : FORMATS) {
        if (name == QLatin1String(format.name))
            return &format;
    }
    return nullptr;
}

// What the command line asks for.
struct Request
{
    QString video;
    QString folder;
    QVector<const Format*> formats;
    QSize packedSize;
    QString resizeMethod = P::RESIZE_METHOD_PAD;
    int quality = 0;
    QString watermark;
};

struct Options
{
    QCommandLineOption out {QStringLiteral("out"), QStringLiteral("Folder for the outputs."),
                            QStringLiteral("DIR")};
    QCommandLineOption formats {QStringLiteral("formats"),
                                QStringLiteral("Formats to make, separated by commas (default: "
                                               "mp4,lowmp4,webm,ogv)."),
                                QStringLiteral("LIST")};
    QCommandLineOption size {QStringLiteral("size"), QStringLiteral("Output size."),
                             QStringLiteral("WxH")};
    QCommandLineOption height {QStringLiteral("height"),
                               QStringLiteral("Output height; the width keeps the aspect ratio."),
                               QStringLiteral("H")};
    QCommandLineOption resize {QStringLiteral("resize"),
                               QStringLiteral("Fitting into the output size: pad (letterbox, the "
                                              "default), crop or keep (stretch)."),
                               QStringLiteral("METHOD")};
    QCommandLineOption quality {QStringLiteral("quality"),
                                QStringLiteral("low, normal (the default) or high."),
                                QStringLiteral("QUALITY")};
    QCommandLineOption watermark {QStringLiteral("watermark-image"),
                                  QStringLiteral("PNG picture drawn at the top right."),
                                  QStringLiteral("PNG")};
};

int positiveNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^[1-9][0-9]{0,4}$"));
    return number.match(text).hasMatch() ? text.toInt() : 0;
}

// The packed output size: (0, 0) the source size, (0, h) a height.
QString parseSize(const QCommandLineParser& parser, const Options& options, QSize& packed)
{
    if (parser.isSet(options.size) && parser.isSet(options.height))
        return QStringLiteral("Give either --size or --height, not both.");
    if (parser.isSet(options.size)) {
        const QStringList sides = parser.value(options.size).split(QLatin1Char('x'));
        packed = sides.size() == 2 ? QSize(positiveNumber(sides.at(0)), positiveNumber(sides.at(1)))
                                   : QSize();
        if (packed.width() < 1 || packed.height() < 1)
            return QStringLiteral("--size takes WxH with positive numbers, e.g. 640x360.");
    } else if (parser.isSet(options.height)) {
        packed = QSize(0, positiveNumber(parser.value(options.height)));
        if (packed.height() < 1)
            return QStringLiteral("--height takes a positive number.");
    }
    return QString();
}

QString parseFormats(const QCommandLineParser& parser, const Options& options,
                     QVector<const Format*>& formats)
{
    const QStringList names = parser.isSet(options.formats)
        ? parser.value(options.formats).split(QLatin1Char(','))
        : QStringList {QStringLiteral("mp4"), QStringLiteral("lowmp4"), QStringLiteral("webm"),
                       QStringLiteral("ogv")};
    for (const QString& name : names) {
        const Format* format = findFormat(name.trimmed());
        if (!format)
            return QStringLiteral("Unknown format '%1'; the formats are mp4, lowmp4, webm and ogv.")
                .arg(name);
        if (!formats.contains(format))
            formats.append(format);
    }
    return QString();
}

QString parseChoices(const QCommandLineParser& parser, const Options& options, Request& request)
{
    const QString resize = parser.value(options.resize);
    if (resize == QLatin1String("crop"))
        request.resizeMethod = P::RESIZE_METHOD_CROP;
    else if (resize == QLatin1String("keep"))
        request.resizeMethod = P::RESIZE_METHOD_KEEP_RATIO;
    else if (parser.isSet(options.resize) && resize != QLatin1String("pad"))
        return QStringLiteral("--resize takes pad, crop or keep.");

    const QString quality = parser.value(options.quality);
    if (quality == QLatin1String("low"))
        request.quality = -1;
    else if (quality == QLatin1String("high"))
        request.quality = 1;
    else if (parser.isSet(options.quality) && quality != QLatin1String("normal"))
        return QStringLiteral("--quality takes low, normal or high.");
    return QString();
}

// A malformed command line: the error text, empty when all is well.
QString parseRequest(const QCommandLineParser& parser, const Options& options, Request& request)
{
    if (parser.positionalArguments().size() != 1)
        return QStringLiteral("Give one video.");
    request.video = parser.positionalArguments().first();
    if (!parser.isSet(options.out))
        return QStringLiteral("--out is required.");
    request.folder = parser.value(options.out);
    request.watermark = parser.value(options.watermark);
    QString error = parseFormats(parser, options, request.formats);
    if (error.isEmpty())
        error = parseSize(parser, options, request.packedSize);
    if (error.isEmpty())
        error = parseChoices(parser, options, request);
    return error;
}

// One format on its way: the encoder writes beside the final file and the
// result takes the final name only when it is complete, so that a failure
// never leaves a broken file (or a broken old one) under that name. The
// temporary name also gives every format a log file of its own.
struct Job
{
    QString name;
    QString output;
    std::unique_ptr<VideoEncoder> encoder;
    int percent = 0;
    bool finished = false;

    QString partial() const { return output + QStringLiteral(".part"); }
    QString log() const { return changeFileExt(partial(), QStringLiteral("log")); }
};

QString statusLine(const std::vector<std::unique_ptr<Job>>& jobs)
{
    QStringList parts;
    int sum = 0;
    for (const auto& job : jobs) {
        parts << QStringLiteral("%1 %2%").arg(job->name).arg(job->percent);
        sum += job->percent;
    }
    return parts.join(QLatin1Char(' ')) +
        QStringLiteral(" | total %1%").arg(sum / int(jobs.size()));
}

// Everything about the files that can be told before encoding: a message for
// the user, empty when all is well.
QString checkFiles(const Request& request, QVariantMap& parameters)
{
    if (!request.watermark.isEmpty()) {
        if (!QFileInfo(request.watermark).isFile())
            return QStringLiteral("The watermark image '%1' does not exist.")
                .arg(request.watermark);
        if (QImageReader(request.watermark).format() != "png")
            return QStringLiteral("The watermark image '%1' is not a PNG file.")
                .arg(request.watermark);
        parameters.insert(P::WATERMARK_FILE, QFileInfo(request.watermark).absoluteFilePath());
    }
    VideoFile video;
    QString error;
    if (!video.openFile(request.video, &error))
        return error;
    const QSize source = video.getSize();
    parameters.insert(P::SOURCE_SIZE, source);
    parameters.insert(P::TARGET_SIZE, unpackSize(request.packedSize, source));
    parameters.insert(P::RESIZE_METHOD, request.resizeMethod);
    parameters.insert(P::TARGET_QUALITY, request.quality);
    if (!QDir().mkpath(request.folder))
        return QStringLiteral("Failed to create the folder '%1'.").arg(request.folder);
    return QString();
}

std::vector<std::unique_ptr<Job>> makeJobs(const Request& request, const QVariantMap& parameters,
                                           QString& error)
{
    const QFileInfo source(request.video);
    std::vector<std::unique_ptr<Job>> jobs;
    for (const Format* format : request.formats) {
        const std::unique_ptr<VideoEncoderBuilder> builder(format->create());
        auto job = std::make_unique<Job>();
        job->name = QString::fromLatin1(format->name);
        job->output = QDir(request.folder)
                          .absoluteFilePath(source.completeBaseName() + QLatin1Char('.') +
                                            builder->getExtension());
        if (QFileInfo(job->output) == source) {
            error = QStringLiteral("The output '%1' would replace the video itself; choose "
                                   "another folder.")
                        .arg(job->output);
            return {};
        }
        QVariantMap jobParameters = parameters;
        jobParameters.insert(P::TARGET_FORMAT, builder->getExtension());
        job->encoder.reset(
            builder->createEncoder(source.absoluteFilePath(), job->partial(), jobParameters));
        jobs.push_back(std::move(job));
    }
    return jobs;
}

// Gives a finished format its final name; false, with the reason printed,
// when it failed.
bool complete(const Job& job, bool hasError)
{
    if (hasError) {
        printError(QStringLiteral("%1: %2").arg(job.name, job.encoder->getError()));
        printError(QStringLiteral("Log: %1").arg(job.log()));
        return false;
    }
    if (std::rename(QFile::encodeName(job.partial()).constData(),
                    QFile::encodeName(job.output).constData()) != 0) {
        printError(QStringLiteral("%1: Failed to rename the file '%2' to '%3'.")
                       .arg(job.name, job.partial(), job.output));
        QFile::remove(job.partial());
        return false;
    }
    QFile::remove(job.log());
    printOutput(job.output);
    return true;
}

int runJobs(std::vector<std::unique_ptr<Job>>& jobs)
{
    ProgressPrinter printer;
    QEventLoop loop;
    int running = int(jobs.size());
    bool failed = false;
    for (const auto& owned : jobs) {
        Job* job = owned.get();
        QObject::connect(job->encoder.get(), &VideoEncoder::progress,
                         [job, &jobs, &printer](qint64 current, qint64 total) {
                             job->percent =
                                 total > 0 ? int(qMin<qint64>(100, current * 100 / total)) : 0;
                             printer.update(statusLine(jobs));
                         });
        QObject::connect(job->encoder.get(), &VideoEncoder::finished,
                         [job, &running, &failed, &loop](bool hasError) {
                             if (job->finished)
                                 return;
                             job->finished = true;
                             failed = !complete(*job, hasError) || failed;
                             if (--running == 0)
                                 loop.quit();
                         });
    }
    for (const auto& job : jobs)
        job->encoder->start();
    loop.exec();
    printer.finish();
    return failed ? ExitFailure : ExitSuccess;
}
} // namespace

int runConvertCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts a video into web formats, all at once: mp4 (H.264, .m4v), "
                       "lowmp4 (low-resolution H.264, .mp4), webm (VP8) and ogv (Theora). The "
                       "outputs are named after the video."));
    const Options options;
    parser.addOptions({options.out, options.formats, options.size, options.height, options.resize,
                       options.quality, options.watermark});
    parser.addPositionalArgument(QStringLiteral("VIDEO"), QStringLiteral("The video to convert."));
    int exitCode = ExitSuccess;
    if (parseCommandLine(parser, arguments, 1, exitCode) == ParseOutcome::Exit)
        return exitCode;
    Request request;
    QString error = parseRequest(parser, options, request);
    if (!error.isEmpty()) {
        printError(error);
        return ExitUsage;
    }

    QVariantMap parameters;
    error = checkFiles(request, parameters);
    std::vector<std::unique_ptr<Job>> jobs;
    if (error.isEmpty())
        jobs = makeJobs(request, parameters, error);
    if (!error.isEmpty()) {
        printError(error);
        return ExitFailure;
    }
    return runJobs(jobs);
}
