#include "testmedia.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace TestMedia {
QString ffmpegProgram()
{
    return QStringLiteral(TOVALUMEN_FFMPEG_EXECUTABLE);
}

QString ffprobeProgram()
{
    return QFileInfo(ffmpegProgram()).dir().filePath(QStringLiteral("ffprobe"));
}

namespace {
// Runs a program to its end and keeps its standard output; false (after a
// warning with its messages) when it fails.
bool runTool(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(180000);
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QWARN(qPrintable(program + QStringLiteral(" failed: ") +
                         QString::fromLocal8Bit(process.readAllStandardError())));
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}
} // namespace

QString generate(const QStringList& arguments, const QString& extension)
{
    const QString folder = QStringLiteral(TOVALUMEN_TEST_MEDIA_DIR);
    QDir().mkpath(folder);
    const QByteArray key = QCryptographicHash::hash(arguments.join(QLatin1Char('\n')).toUtf8(),
                                                    QCryptographicHash::Sha1)
                               .toHex()
                               .left(16);
    const QString path =
        QStringLiteral("%1/clip-%2.%3").arg(folder, QString::fromLatin1(key), extension);
    if (QFile::exists(path))
        return path;

    // Tests run in parallel: each writes its own file and renames it into
    // place, so nobody ever sees half a clip.
    const QString partial = QStringLiteral("%1/partial-%2-%3.%4")
                                .arg(folder, QString::fromLatin1(key))
                                .arg(QCoreApplication::applicationPid())
                                .arg(extension);
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(ffmpegProgram(),
                 QStringList {QStringLiteral("-y"), QStringLiteral("-nostdin"),
                              QStringLiteral("-v"), QStringLiteral("error")} +
                     arguments + QStringList {partial});
    const bool finished = ffmpeg.waitForFinished(600000);
    if (!finished || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0) {
        QWARN(qPrintable(QStringLiteral("ffmpeg failed to make a test clip: ") +
                         QString::fromLocal8Bit(ffmpeg.readAll())));
        QFile::remove(partial);
        return QString();
    }
    QFile::remove(path);
    QFile::rename(partial, path);
    return path;
}

QStringList testPicture(const QSize& size, double seconds)
{
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("testsrc2=size=%1x%2:rate=25:duration=%3")
                .arg(size.width())
                .arg(size.height())
                .arg(seconds)};
}

QStringList testTone(double seconds)
{
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds)};
}

QString videoClip(const QStringList& codecArguments, const QString& extension, const QSize& size,
                  double seconds)
{
    return generate(testPicture(size, seconds) + codecArguments, extension);
}

QString h264Clip(const QSize& size, int seconds)
{
    return generate(testPicture(size, seconds) + testTone(seconds) +
                        QStringList {QStringLiteral("-c:v"), QStringLiteral("libx264"),
                                     QStringLiteral("-preset"), QStringLiteral("ultrafast"),
                                     QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                                     QStringLiteral("-c:a"), QStringLiteral("aac"),
                                     QStringLiteral("-shortest")},
                    QStringLiteral("mp4"));
}

QJsonObject probe(const QString& path)
{
    QByteArray json;
    runTool(ffprobeProgram(),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_format"),
             QStringLiteral("-show_streams"), QStringLiteral("-of"), QStringLiteral("json"), path},
            &json);
    return QJsonDocument::fromJson(json).object();
}

QJsonObject stream(const QJsonObject& probed, const QString& type)
{
    const QJsonArray streams = probed.value(QStringLiteral("streams")).toArray();
    for (const QJsonValue& value : streams) {
        if (value.toObject().value(QStringLiteral("codec_type")).toString() == type)
            return value.toObject();
    }
    return QJsonObject();
}

QImage frameAt(const QString& path, double seconds)
{
    QTemporaryDir folder;
    const QString picture = folder.filePath(QStringLiteral("frame.png"));
    const bool done = runTool(ffmpegProgram(),
                              {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-ss"),
                               QString::number(seconds), QStringLiteral("-i"), path,
                               QStringLiteral("-frames:v"), QStringLiteral("1"), picture});
    return done ? QImage(picture) : QImage();
}

QString frameChecksums(const QString& path)
{
    QByteArray checksums;
    runTool(ffmpegProgram(),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
             QStringLiteral("-f"), QStringLiteral("framemd5"), QStringLiteral("-")},
            &checksums);
    return QString::fromUtf8(checksums);
}
} // namespace TestMedia
