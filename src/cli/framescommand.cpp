#include "framescommand.h"

#include "clicommand.h"
#include "progressprinter.h"
#include "video/frameloader.h"
#include "video/videofile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QMap>
#include <QSharedPointer>
#include <QThread>

namespace {
struct Picture
{
    QString fileName;
    qint64 position;
};

// The ribbon spreads its thumbnails evenly inside the video, the poster
// sits in the middle; the poster is asked for with the higher priority, as
// the window does, so it comes first.
QList<QPair<Picture, FrameLoader::Priority>> plannedPictures(qint64 duration, int count)
{
    QList<QPair<Picture, FrameLoader::Priority>> pictures;
    const int digits = QString::number(count).size();
    for (int k = 1; k <= count; ++k) {
        const qint64 position = duration * k / (count + 1);
        const QString name = QStringLiteral("ribbon-%1-position-%2.png")
                                 .arg(k, digits, 10, QLatin1Char('0'))
                                 .arg(position);
        pictures.append({{name, position}, FrameLoader::LowPriority});
    }
    const qint64 middle = duration / 2;
    pictures.append({{QStringLiteral("poster-position-%1.png").arg(middle), middle},
                     FrameLoader::HighPriority});
    return pictures;
}

// Runs the requests through a loader on its own thread and writes each frame
// as it arrives; returns whether every one was written.
bool writePictures(const QSharedPointer<VideoFile>& video, const QDir& folder,
                   const QList<QPair<Picture, FrameLoader::Priority>>& pictures)
{
    QThread thread;
    FrameLoader loader;
    loader.moveToThread(&thread);
    loader.setVideo(video);

    QMap<int, Picture> pending;
    bool allWritten = true;
    ProgressPrinter printer;
    QEventLoop loop;
    QObject::connect(&loader, &FrameLoader::frameLoaded, &loop, [&](int id, const QImage& frame) {
        const Picture picture = pending.take(id);
        const QString path = folder.filePath(picture.fileName);
        if (frame.isNull()) {
            printError(
                QStringLiteral("Cannot decode the frame at position %1.").arg(picture.position));
            allWritten = false;
        } else if (!frame.save(path, "PNG")) {
            printError(QStringLiteral("Cannot write '%1'.").arg(path));
            allWritten = false;
        } else {
            printOutput(path);
        }
        printer.update(QStringLiteral("%1/%2 frames")
                           .arg(pictures.size() - pending.size())
                           .arg(pictures.size()));
        if (pending.isEmpty())
            loop.quit();
    });
    // Everything is queued before the loader runs, so the priorities decide
    // the order from the first frame on.
    for (const auto& picture : pictures)
        pending.insert(loader.getFrame(picture.first.position, picture.second), picture.first);
    thread.start();
    loop.exec();
    printer.finish();
    thread.quit();
    thread.wait();
    return allWritten;
}
} // namespace

int runFramesCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes the ribbon thumbnails and the poster frame of a video as PNG "
                       "files, at full frame size."));
    const QCommandLineOption out(QStringLiteral("out"),
                                 QStringLiteral("The folder to write to (made when missing)."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption count(QStringLiteral("count"),
                                   QStringLiteral("The number of ribbon thumbnails (default 11)."),
                                   QStringLiteral("N"), QStringLiteral("11"));
    parser.addOptions({out, count});
    parser.addPositionalArgument(QStringLiteral("VIDEO"), QStringLiteral("The video file."));
    int exitCode = ExitSuccess;
    if (parseCommandLine(parser, arguments, 1, exitCode, 1) == ParseOutcome::Exit)
        return exitCode;
    bool isNumber = false;
    const int thumbnails = parser.value(count).toInt(&isNumber);
    if (!isNumber || thumbnails < 1 || thumbnails > 1000) {
        printError(QStringLiteral("The count must be a whole number from 1 to 1000."));
        return ExitUsage;
    }
    if (!parser.isSet(out)) {
        printError(QStringLiteral("Missing --out DIR."));
        return ExitUsage;
    }

    const auto video = QSharedPointer<VideoFile>::create();
    QString error;
    if (!video->openFile(parser.positionalArguments().first(), &error)) {
        printError(error);
        return ExitFailure;
    }
    const QDir folder(parser.value(out));
    if (!folder.mkpath(QStringLiteral("."))) {
        printError(QStringLiteral("Cannot make the folder '%1'.").arg(folder.path()));
        return ExitFailure;
    }
    if (video->getDuration() <= 0)
        printError(QStringLiteral("The duration is unknown: every frame is taken at the start."));
    return writePictures(video, folder, plannedPictures(video->getDuration(), thumbnails))
        ? ExitSuccess
        : ExitFailure;
}
