#include "encoding/ffmpegencoder.h"

#include "util/miscutils.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTextCodec>
#include <QThread>

namespace {
QString ffmpegPath()
{
    return QStringLiteral("%1/encoder/%2").arg(getResourcesPath(), QStringLiteral("ffmpeg"));
}
} // namespace

FFmpegEncoder::FFmpegEncoder(const QStringList& arguments, const QString& outputFile,
                             QObject* parent)
    : VideoEncoder(outputFile, parent)
    , m_arguments(arguments)
    , m_log(changeFileExt(outputFile, QStringLiteral("log")))
{
    // ffmpeg writes its reports to standard error; nothing useful comes on
    // standard output, so it must not pile up in a pipe.
    m_process.setStandardOutputFile(QProcess::nullDevice());
    connect(&m_process, &QProcess::errorOccurred, this, &FFmpegEncoder::errorOccured);
    connect(&m_process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &FFmpegEncoder::processFinished);
    connect(&m_process, &QProcess::readyReadStandardError, this, &FFmpegEncoder::outputReady);
}

FFmpegEncoder::~FFmpegEncoder()
{
    cancel();
}

void FFmpegEncoder::start()
{
    if (m_process.state() != QProcess::NotRunning)
        return;
    if (!m_log.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qDebug().noquote()
            << QStringLiteral("Failed to open the log file: '%1'").arg(m_log.fileName());
    restart();
}

void FFmpegEncoder::restart()
{
    m_extraArguments.clear();
    if (multiThreaded && m_arguments.contains(QStringLiteral("libvpx")))
        m_extraArguments << QStringLiteral("-threads")
                         << QString::number(QThread::idealThreadCount());
    m_extraArguments << quotedString(outputFile());

    const QString commandLine = quotedString(ffmpegPath()) + QLatin1Char(' ') +
        m_arguments.join(QLatin1Char(' ')) + QLatin1Char(' ') +
        m_extraArguments.join(QLatin1Char(' '));
    m_logText = commandLine;
    m_cancelled = false;
    m_reported = false;
    m_decoder.reset(QTextCodec::codecForName("UTF-8")->makeDecoder());

    // The same splitting as QProcess::start(QString): a quoted run is one
    // argument, three quotes inside it are one literal quote.
    QStringList words = QProcess::splitCommand(commandLine);
    const QString program = words.takeFirst();
    m_process.start(program, words, QIODevice::ReadWrite);
    m_logText += QStringLiteral("\r\n");
}

void FFmpegEncoder::cancel()
{
    m_cancelled = true;
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    // Reaping the process here makes the cancel complete when it returns: no
    // ffmpeg is left behind and its partial output is already removed.
    m_process.waitForFinished();
    m_log.close();
}

QString FFmpegEncoder::getError() const
{
    return m_error;
}

QString FFmpegEncoder::getErrorLog() const
{
    return m_logText + m_parser.pending();
}

QString FFmpegEncoder::decode(const QByteArray& bytes)
{
    const int nul = bytes.indexOf('\0');
    return m_decoder->toUnicode(nul < 0 ? bytes : bytes.left(nul));
}

void FFmpegEncoder::outputReady()
{
    m_process.setReadChannel(QProcess::StandardError);
    const QByteArray bytes = m_process.readAll();
    if (m_log.isOpen())
        m_log.write(bytes);
    const QString text = decode(bytes);
    m_logText += text;
    const QVector<FFmpegOutputParser::Progress> reports = m_parser.feed(text);
    for (const FFmpegOutputParser::Progress& report : reports)
        emit progress(report.current, report.total);
}

void FFmpegEncoder::prepareLog()
{
    m_process.setReadChannel(QProcess::StandardError);
    const QByteArray rest = m_process.readAll();
    m_logText += QCoreApplication::applicationName() + QLatin1Char(' ') +
        QCoreApplication::applicationVersion() + QLatin1Char('\n') + decode(rest);
    if (m_log.isOpen()) {
        m_log.write(rest);
        m_log.close();
    }
}

void FFmpegEncoder::report(bool hasError)
{
    if (m_reported)
        return;
    m_reported = true;
    emit finished(hasError);
}

void FFmpegEncoder::errorOccured(QProcess::ProcessError error)
{
    QFile::remove(outputFile());
    if (m_cancelled || m_reported)
        return;
    prepareLog();
    if (error == QProcess::FailedToStart)
        m_error = tr("A required application component is missing(%1).").arg(error);
    else
        m_error = tr("An error occurred when converting the video file(%1,%2).")
                      .arg(error)
                      .arg(m_process.exitStatus());
    report(true);
}

void FFmpegEncoder::processFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    if (m_cancelled || m_reported) {
        QFile::remove(outputFile());
        return;
    }
    prepareLog();
    // A crash may carry exit code 0; it is a failure all the same.
    const bool failed = exitCode != 0 || exitStatus != QProcess::NormalExit;
    if (failed) {
        m_error = tr("Failed to convert the video file(%1).").arg(m_process.error());
        QFile::remove(outputFile());
    } else {
        emit progress(m_parser.duration(), m_parser.duration());
    }
    report(failed);
}

VideoEncoder* CreateFFmpegEncoder(const QStringList& arguments, QVariantMap& parameters,
                                  const QString& outputFile)
{
    Q_UNUSED(parameters)
    return new FFmpegEncoder(arguments, outputFile);
}
