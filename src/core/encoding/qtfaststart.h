#pragma once

#include "encoding/videoencoder.h"

#include <QString>

// Receives the progress of an MP4 rewrite, in percent (total 100).
class ProgressHandler
{
public:
    virtual ~ProgressHandler();
    virtual void progress(qint64 current, qint64 total) = 0;
};

// Writes the MP4 input to the output with its index (the "moov" atom) moved in
// front of the media data, so that the file plays while it downloads; the
// chunk offsets inside the index grow by the index's size. An input whose
// index is not the last top-level atom needs no rewrite: that is a success
// without an output. On failure no output is left behind and *error tells why;
// a cancelled rewrite fails with an empty error text. error, handler and
// cancel may be null.
bool fixMpeg4Meta(const QString& input, const QString& output, QString* error,
                  ProgressHandler* handler, volatile bool* cancel);

// Rewrites an MP4 file in place, on a worker thread of its own, with its index
// in front; the file is replaced only by a complete rewrite.
class Mpeg4MetaFixer : public VideoEncoder, public ProgressHandler
{
    Q_OBJECT
public:
    class WorkThread;

    explicit Mpeg4MetaFixer(const QString& file, QObject* parent = nullptr);
    // Cancels a running rewrite and waits for its thread to end.
    ~Mpeg4MetaFixer() override;

    // Called on the worker thread; receivers on other threads get it queued.
    void progress(qint64 current, qint64 total) override;

public slots:
    void start() override;
    // Asks the worker to stop; finished(true) follows once it has.
    void cancel() override;
    QString getError() const override;
    QString getErrorLog() const override;

private slots:
    void workerFinished();

private:
    WorkThread* m_worker;
};

// A new rewriter for the file; the caller owns it.
VideoEncoder* CreateMpeg4MetaFixer(const QString& file);
