#pragma once

#include "encoding/ffmpegoutputparser.h"
#include "encoding/videoencoder.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class QTextDecoder;

// Runs the ffmpeg program of the resource folder once, turns its diagnostic
// output into progress, keeps everything it printed in a log file beside the
// output and removes the output when the run fails or is cancelled.
class FFmpegEncoder : public VideoEncoder
{
    Q_OBJECT
public:
    // Arguments that may contain spaces must already be quoted with
    // quotedString(); the quoted output path is appended as the last argument.
    FFmpegEncoder(const QStringList& arguments, const QString& outputFile,
                  QObject* parent = nullptr);
    ~FFmpegEncoder() override;

    // The log file that ffmpeg's output is copied to.
    QString logFile() const { return m_log.fileName(); }

public slots:
    void start() override;
    void cancel() override;
    QString getError() const override;
    QString getErrorLog() const override;

private slots:
    void errorOccured(QProcess::ProcessError error);
    void processFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void outputReady();

private:
    void restart();
    void prepareLog();
    QString decode(const QByteArray& bytes);
    void report(bool hasError);

    const QStringList m_arguments;
    QStringList m_extraArguments;
    QProcess m_process;
    QFile m_log;
    std::unique_ptr<QTextDecoder> m_decoder;
    FFmpegOutputParser m_parser;
    bool m_cancelled = false;
    // Qt may tell of one run twice (a crash is both an error and an end); the
    // first account is the one that counts.
    bool m_reported = false;
    QString m_error;
    QString m_logText;
};

// Creates the ffmpeg runner for a format builder. The parameter map is the
// builder's; the runner does not read it.
VideoEncoder* CreateFFmpegEncoder(const QStringList& arguments, QVariantMap& parameters,
                                  const QString& outputFile);
