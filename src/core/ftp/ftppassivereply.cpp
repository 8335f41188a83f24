#include "ftppassivereply.h"

#include <QRegularExpression>
#include <QStringList>

namespace {
int validPort(const QString& digits)
{
    bool ok = false;
    const int port = digits.toInt(&ok);
    return ok && port > 0 && port <= 65535 ? port : 0;
}
} // namespace

int FtpPassiveReply::passivePort(const QString& text)
{
    static const QRegularExpression numbers(
        QStringLiteral("(\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)"));
    const QRegularExpressionMatch match = numbers.match(text);
    if (!match.hasMatch())
        return 0;
    bool highOk = false;
    bool lowOk = false;
    const int high = match.captured(5).toInt(&highOk);
    const int low = match.captured(6).toInt(&lowOk);
    if (!highOk || !lowOk || high > 255 || low > 255)
        return 0;
    return validPort(QString::number(high * 256 + low));
}

int FtpPassiveReply::extendedPassivePort(const QString& text)
{
    const int open = text.indexOf(QLatin1Char('('));
    if (open < 0 || open + 1 >= text.size())
        return 0;
    const QChar delimiter = text.at(open + 1);
    const QStringList parts = text.mid(open + 1).split(delimiter, Qt::KeepEmptyParts);
    return parts.size() > 3 ? validPort(parts.at(3)) : 0;
}
