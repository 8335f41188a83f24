#pragma once

#include "encoding/videoencoder.h"

#include <QSharedPointer>
#include <QVector>

// Runs several encoders for the same output one after another and presents
// them as one job: progress in percent of the whole, one finished() report.
// Each step's share of the scale is its weight; the weights add up to 1.0.
class CompositeVideoEncoder : public VideoEncoder
{
    Q_OBJECT
public:
    explicit CompositeVideoEncoder(const QString& outputFile, QObject* parent = nullptr);

    // Steps are added before start().
    void add(QSharedPointer<VideoEncoder> encoder, double weight);

public slots:
    void start() override;
    void cancel() override;
    QString getError() const override;
    QString getErrorLog() const override;

private slots:
    void handleProgress(qint64 current, qint64 total);
    void handleFinished(bool hasError);

private:
    void startNextEncoder();
    bool isRunningStep() const { return m_current < m_encoders.size(); }
    // Reports of a step that is no longer (or not yet) the current one are
    // ignored; they would be booked against the wrong weight.
    bool isFromCurrentStep() const;

    QVector<QSharedPointer<VideoEncoder>> m_encoders;
    QVector<double> m_weights;
    int m_current = 0;
    double m_completedWeight = 0.0;
};
