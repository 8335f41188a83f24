#include "video/videomath.h"

#include <QString>

namespace VideoMath {
void correctTimeBase(int& numerator, int& denominator)
{
    if (numerator > 1000 && denominator == 1)
        denominator = 1000;
}

bool needsFourBytePixels(int width)
{
    return width % 4 != 0;
}

QTime displayDuration(qint64 microseconds)
{
    const int hundredths = static_cast<int>((microseconds % 1000000) / 10000);
    return QTime(0, 0).addSecs(static_cast<int>(microseconds / 1000000)).addMSecs(hundredths);
}

QString durationText(const QTime& duration)
{
    return duration.toString(QStringLiteral("hh:mm:ss.")) +
        QStringLiteral("%1").arg(duration.msec(), 2, 10, QLatin1Char('0'));
}
} // namespace VideoMath
