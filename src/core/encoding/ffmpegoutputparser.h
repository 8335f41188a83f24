#pragma once

#include <QString>
#include <QVector>

// Milliseconds of an ffmpeg time text "hh:mm:ss.zz"; 0 when it does not parse
// (for example "N/A").
int parseTime(const QString& text);

// Turns ffmpeg's diagnostic output, arriving in arbitrary chunks, into progress
// in whole seconds of media time. ffmpeg ends its repeated status line with a
// carriage return, so only text ended by "\r" (or "\r\n") is looked at; the
// rest waits in pending() for the next chunk.
class FFmpegOutputParser
{
public:
    struct Progress
    {
        qint64 current;
        qint64 total;
        bool operator==(const Progress& other) const
        {
            return current == other.current && total == other.total;
        }
    };

    // Adds a chunk of output; returns the progress reports it completes.
    QVector<Progress> feed(const QString& text);

    QString pending() const { return m_pending; }
    int duration() const { return m_duration; }
    int lastTime() const { return m_lastTime; }

private:
    QString m_pending;
    int m_duration = 0;
    int m_lastTime = 0;
};
