#include "publishcommand.h"

#include "clicommand.h"
#include "progressprinter.h"
#include "project/projectsettings.h"
#include "publish/passwordcipher.h"
#include "publish/publishthread.h"

#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSize>
#include <QUrl>

namespace {
const char PASSWORD_VARIABLE[] = "TOVALUMEN_FTP_PASSWORD";

struct MediaOption
{
    const char* name;
    const char* description;
    const QString& key;
};

const MediaOption MEDIA_OPTIONS[] = {
    {"mp4", "The H.264 MP4 file.", VIDEO_MPEG4_FORMAT},
    {"webm", "The WebM file.", VIDEO_WEBM_FORMAT},
    {"ogv", "The Ogg Theora file.", VIDEO_THEORA_FORMAT},
    {"lowmp4", "The low-resolution MP4 file.", VIDEO_LOW_MPEG4_FORMAT},
};

// "640x360" → 640 × 360; an invalid size for anything else.
QSize parseSize(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return QSize();
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    return size.width() > 0 && size.height() > 0 ? size : QSize();
}

QString unreadable(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isReadable() ? QString()
                                              : QStringLiteral("Cannot read '%1'.").arg(path);
}

QString progressText(int current, const QString& item)
{
    return item.isEmpty() ? QStringLiteral("%1%").arg(current)
                          : QStringLiteral("%1% %2").arg(current).arg(item);
}
} // namespace

int runPublishCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Publishes converted video with its web page, how-to page and support "
                       "files into a folder or onto an FTP server. The FTP password comes from "
                       "the environment variable %1, or else from the address.")
            .arg(QLatin1String(PASSWORD_VARIABLE)));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Publish into DIR."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption ftp(QStringLiteral("ftp"),
                                 QStringLiteral("Publish to FOLDER of an FTP server."),
                                 QStringLiteral("ftp://USER@HOST[:PORT]/FOLDER"));
    const QCommandLineOption page(QStringLiteral("page"),
                                  QStringLiteral("File name of the page, such as index.html."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("Title of the video."),
                                   QStringLiteral("TEXT"));
    const QCommandLineOption size(QStringLiteral("size"),
                                  QStringLiteral("Size of the video on the page."),
                                  QStringLiteral("WxH"));
    const QCommandLineOption poster(QStringLiteral("poster"), QStringLiteral("The poster image."),
                                    QStringLiteral("JPG"));
    const QCommandLineOption noControls(QStringLiteral("no-controls"),
                                        QStringLiteral("Show no player controls."));
    const QCommandLineOption autoplay(QStringLiteral("autoplay"),
                                      QStringLiteral("Start playing when the page opens."));
    const QCommandLineOption loop(QStringLiteral("loop"), QStringLiteral("Play in a loop."));
    const QCommandLineOption noFlash(QStringLiteral("no-flash"),
                                     QStringLiteral("Leave out the Flash fallback player."));
    parser.addOptions({out, ftp, page, title, size, poster});
    QList<QCommandLineOption> mediaOptions;
    for (const MediaOption& media : MEDIA_OPTIONS) {
        mediaOptions.append(QCommandLineOption(QString::fromLatin1(media.name),
                                               QString::fromLatin1(media.description),
                                               QStringLiteral("FILE")));
        parser.addOption(mediaOptions.last());
    }
    parser.addOptions({noControls, autoplay, loop, noFlash});
    int exitCode = ExitSuccess;
    if (parseCommandLine(parser, arguments, 0, exitCode) == ParseOutcome::Exit)
        return exitCode;

    const auto usageError = [&parser](const QString& message) {
        printError(message);
        printError(parser.helpText());
        return ExitUsage;
    };
    if (parser.isSet(out) == parser.isSet(ftp))
        return usageError(QStringLiteral("Give either --out or --ftp."));
    for (const QCommandLineOption* required : {&page, &title, &size}) {
        if (parser.value(*required).trimmed().isEmpty())
            return usageError(QStringLiteral("Missing --%1.").arg(required->names().first()));
    }
    const QSize videoSize = parseSize(parser.value(size));
    if (!videoSize.isValid())
        return usageError(QStringLiteral("Not a size of the form WxH: %1").arg(parser.value(size)));
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));

    QMap<QString, QVariant> parameters;
    if (parser.isSet(out)) {
        parameters.insert(PUBLISH_TYPE, PUBLISH_TYPE_LOCAL);
        parameters.insert(PUBLISH_PATH,
                          QDir::cleanPath(QDir::current().absoluteFilePath(parser.value(out))));
    } else {
        QUrl server(parser.value(ftp));
        if (!server.isValid() || server.scheme() != QLatin1String("ftp") || server.host().isEmpty())
            return usageError(
                QStringLiteral("Not an address of the form ftp://USER@HOST[:PORT]/FOLDER: %1")
                    .arg(server.toString(QUrl::RemovePassword)));
        const QString password = qEnvironmentVariableIsSet(PASSWORD_VARIABLE)
            ? qEnvironmentVariable(PASSWORD_VARIABLE)
            : server.password(QUrl::FullyDecoded);
        parameters.insert(PUBLISH_TYPE, PUBLISH_TYPE_FTP);
        parameters.insert(PUBLISH_PATH, server.path(QUrl::FullyDecoded));
        server.setPath(QString());
        // The job expects the password as the settings keep it.
        server.setPassword(password.isEmpty() ? QString() : encrypt(password), QUrl::DecodedMode);
        parameters.insert(PUBLISH_FTP_SERVER, server);
    }
    parameters.insert(PUBLISH_INDEX_FILE, parser.value(page).trimmed());
    parameters.insert(VIDEO_TITLE, parser.value(title));
    parameters.insert(VIDEO_SIZE, videoSize);
    parameters.insert(VIDEO_CONTROLS, !parser.isSet(noControls));
    parameters.insert(VIDEO_AUTOPLAY, parser.isSet(autoplay));
    parameters.insert(VIDEO_LOOP, parser.isSet(loop));
    parameters.insert(VIDEO_FLASH, !parser.isSet(noFlash));

    // The published media are named after the first media file given.
    QString source;
    for (int i = 0; i < mediaOptions.size(); ++i) {
        if (!parser.isSet(mediaOptions.at(i)))
            continue;
        const QString path = QFileInfo(parser.value(mediaOptions.at(i))).absoluteFilePath();
        const QString problem = unreadable(path);
        if (!problem.isEmpty()) {
            printError(problem);
            return ExitFailure;
        }
        parameters.insert(MEDIA_OPTIONS[i].key, path);
        if (source.isEmpty())
            source = path;
    }
    if (parser.isSet(poster)) {
        const QString path = QFileInfo(parser.value(poster)).absoluteFilePath();
        const QString problem = unreadable(path);
        if (!problem.isEmpty()) {
            printError(problem);
            return ExitFailure;
        }
        parameters.insert(VIDEO_POSTER_PATH, path);
        if (source.isEmpty())
            source = path;
    }
    parameters.insert(VIDEO_SOURCE, source.isEmpty() ? parser.value(page) : source);

    PublishThread job(nullptr, parameters);
    job.makeUri(QString());
    ProgressPrinter printer;
    int percent = 0;
    QString item;
    QObject::connect(&job, &PublishThread::progress, [&](int current, int) {
        percent = current;
        printer.update(progressText(percent, item));
    });
    QObject::connect(&job, &PublishThread::item, [&](const QString& destination) {
        item = destination;
        printer.update(progressText(percent, item));
    });
    QEventLoop events;
    QObject::connect(&job, &QThread::finished, &events, &QEventLoop::quit);
    job.start();
    events.exec();
    job.wait();
    printer.finish();
    if (job.hasError()) {
        printError(job.getError().isEmpty() ? QStringLiteral("Publishing failed.")
                                            : job.getError());
        return ExitFailure;
    }
    return ExitSuccess;
}
