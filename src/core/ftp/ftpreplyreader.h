#pragma once

#include <QByteArray>
#include <QString>

// Collects the lines of one FTP reply: "123 text" alone, or "123-first",
// any lines, and "123 last". The text keeps the line ends between the lines
// and loses the final one.
class FtpReplyReader
{
public:
    enum Status { Incomplete, Complete, Invalid };

    // Adds one line as read from the command connection, line end included.
    // Invalid means the line cannot start a reply (too short, or not a reply
    // code); the reader is then unchanged.
    Status addLine(const QByteArray& line);

    // The three digits as a number; 0 before the first line.
    int code() const { return m_code; }
    const QString& text() const { return m_text; }
    bool isEmpty() const { return m_code == 0; }
    void clear();

private:
    int m_code = 0;
    QString m_text;
};
