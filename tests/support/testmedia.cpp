#include "testmedia.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace TestMedia {
QString ffmpegProgram()
{
    return QStringLiteral(TOVALUMEN_FFMPEG_EXECUTABLE);
}

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
} // namespace TestMedia
