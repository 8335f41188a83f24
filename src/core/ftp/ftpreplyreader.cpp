#include "ftpreplyreader.h"

namespace {
bool inRange(char c, char low, char high)
{
    return c >= low && c <= high;
}

QByteArray withoutLineEnd(const QByteArray& line)
{
    QByteArray content = line;
    if (content.endsWith('\n'))
        content.chop(1);
    if (content.endsWith('\r'))
        content.chop(1);
    return content;
}

// The text of a line after its code and the following space or dash.
QString textAfterCode(const QByteArray& line)
{
    return QString::fromUtf8(line.mid(4));
}
} // namespace

FtpReplyReader::Status FtpReplyReader::addLine(const QByteArray& line)
{
    const QByteArray content = withoutLineEnd(line);
    if (m_code == 0) {
        if (content.size() < 3 || !inRange(content[0], '1', '5') ||
            !inRange(content[1], '0', '5') || !inRange(content[2], '0', '9'))
            return Invalid;
        m_code = content.left(3).toInt();
        m_text = textAfterCode(line);
        if (content.size() > 3 && content[3] == '-')
            return Incomplete;
    } else {
        const QByteArray digits = QByteArray::number(m_code);
        const bool codeFirst = content.startsWith(digits);
        const bool last = codeFirst && (content.size() == 3 || content[3] == ' ');
        const bool continued = codeFirst && content.size() > 3 && content[3] == '-';
        m_text += (last || continued) ? textAfterCode(line) : QString::fromUtf8(line);
        if (!last)
            return Incomplete;
    }
    if (m_text.endsWith(QLatin1Char('\n')))
        m_text.chop(1);
    if (m_text.endsWith(QLatin1Char('\r')))
        m_text.chop(1);
    return Complete;
}

void FtpReplyReader::clear()
{
    m_code = 0;
    m_text.clear();
}
