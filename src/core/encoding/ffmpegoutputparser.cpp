#include "encoding/ffmpegoutputparser.h"

#include <QRegularExpression>
#include <QTime>

namespace {
const QRegularExpression& durationPattern()
{
    static const QRegularExpression pattern(QStringLiteral("Duration: (\\S+),"));
    return pattern;
}

const QRegularExpression& timePattern()
{
    static const QRegularExpression pattern(QStringLiteral("time=(\\S+)\\s"));
    return pattern;
}

const QRegularExpression& segmentEnd()
{
    static const QRegularExpression pattern(QStringLiteral("\\r\\n?"));
    return pattern;
}
} // namespace

int parseTime(const QString& text)
{
    const QTime time = QTime::fromString(text, QStringLiteral("hh:mm:ss.z"));
    return time.isValid() ? time.msecsSinceStartOfDay() : 0;
}

QVector<FFmpegOutputParser::Progress> FFmpegOutputParser::feed(const QString& text)
{
    m_pending += text;
    const QStringList segments = m_pending.split(segmentEnd());
    QVector<Progress> reports;
    for (int i = 0; i < segments.size() - 1; ++i) {
        const QString& segment = segments.at(i);
        const QRegularExpressionMatch duration = durationPattern().match(segment);
        if (duration.hasMatch()) {
            m_duration = parseTime(duration.captured(1)) / 1000;
            continue;
        }
        const QRegularExpressionMatch time = timePattern().match(segment);
        if (!time.hasMatch())
            continue;
        const int seconds = parseTime(time.captured(1)) / 1000;
        if (seconds > m_lastTime) {
            m_lastTime = seconds;
            reports.append({seconds, m_duration});
        }
    }
    m_pending = segments.last();
    return reports;
}
