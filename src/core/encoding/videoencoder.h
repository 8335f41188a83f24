#pragma once

#include <QObject>
#include <QString>

// One conversion step that produces one output file: runs asynchronously,
// reports progress as (current, total) and ends with exactly one finished().
class VideoEncoder : public QObject
{
    Q_OBJECT
public:
    explicit VideoEncoder(const QString& outputFile, QObject* parent = nullptr);
    ~VideoEncoder() override;

    QString outputFile() const { return m_outputFile; }

    // Whether ffmpeg may use several threads for VP8; read when the run starts.
    bool multiThreaded = true;

signals:
    void progress(qint64 current, qint64 total);
    void finished(bool hasError);

public slots:
    virtual void start() = 0;
    // Stops the job silently: no further signals, the output file is removed.
    virtual void cancel() = 0;
    virtual QString getError() const = 0;
    virtual QString getErrorLog() const = 0;

private:
    const QString m_outputFile;
};
