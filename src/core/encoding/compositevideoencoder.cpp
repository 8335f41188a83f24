#include "encoding/compositevideoencoder.h"

#include <QDebug>
#include <QFile>

CompositeVideoEncoder::CompositeVideoEncoder(const QString& outputFile, QObject* parent)
    : VideoEncoder(outputFile, parent)
{ }

void CompositeVideoEncoder::add(QSharedPointer<VideoEncoder> encoder, double weight)
{
    m_encoders.append(encoder);
    m_weights.append(weight);
}

void CompositeVideoEncoder::start()
{
    m_current = 0;
    m_completedWeight = 0.0;
    startNextEncoder();
}

void CompositeVideoEncoder::startNextEncoder()
{
    if (!isRunningStep()) {
        emit finished(false);
        return;
    }
    VideoEncoder* step = m_encoders.at(m_current).data();
    connect(step, &VideoEncoder::progress, this, &CompositeVideoEncoder::handleProgress);
    connect(step, &VideoEncoder::finished, this, &CompositeVideoEncoder::handleFinished);
    step->start();
}

bool CompositeVideoEncoder::isFromCurrentStep() const
{
    return isRunningStep() && sender() == m_encoders.at(m_current).data();
}

void CompositeVideoEncoder::handleProgress(qint64 current, qint64 total)
{
    if (!isFromCurrentStep())
        return;
    // A total of 0 stands for a step that cannot tell its length: it counts
    // as complete rather than dividing by zero.
    const double value = total == 0
        ? 1.0
        : double(current) * m_weights.at(m_current) / double(total) + m_completedWeight;
    if (value < 1.0)
        emit progress(qint64(value * 100), 100);
    else
        emit progress(100, 100);
}

void CompositeVideoEncoder::handleFinished(bool hasError)
{
    if (!isFromCurrentStep())
        return;
    if (hasError) {
        QFile::remove(outputFile());
        qDebug() << "CompositeVideoEncoder::handleFinished";
        emit finished(true);
        return;
    }
    m_completedWeight += m_weights.at(m_current);
    ++m_current;
    startNextEncoder();
}

void CompositeVideoEncoder::cancel()
{
    if (isRunningStep())
        m_encoders.at(m_current)->cancel();
    QFile::remove(outputFile());
    qDebug() << "CompositeVideoEncoder::cancel()";
}

QString CompositeVideoEncoder::getError() const
{
    return isRunningStep() ? m_encoders.at(m_current)->getError() : QString();
}

QString CompositeVideoEncoder::getErrorLog() const
{
    return isRunningStep() ? m_encoders.at(m_current)->getErrorLog() : QString();
}
