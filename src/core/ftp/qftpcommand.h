#pragma once

#include "qftp.h"

#include <QByteArray>
#include <QIODevice>
#include <QPointer>
#include <QString>
#include <QStringList>

// One queued operation of a QFtp client: its identifier, its kind, the
// protocol lines it sends (each ending in CR LF) and, for uploads, the data.
class QFtpCommand
{
public:
    QFtpCommand(QFtp::Command command, const QStringList& lines);
    static QFtpCommand connection(const QString& host, quint16 port);
    static QFtpCommand upload(const QStringList& lines, const QByteArray& data);
    static QFtpCommand upload(const QStringList& lines, QIODevice* device);

    int id() const { return m_id; }
    QFtp::Command command() const { return m_command; }
    const QStringList& lines() const { return m_lines; }
    const QString& host() const { return m_host; }
    quint16 port() const { return m_port; }
    bool isByteArray() const { return m_isByteArray; }
    const QByteArray& data() const { return m_data; }
    // Null when the caller's device is gone.
    QIODevice* device() const { return m_device; }

private:
    int m_id;
    QFtp::Command m_command;
    QStringList m_lines;
    QString m_host;
    quint16 m_port = 0;
    bool m_isByteArray = false;
    QByteArray m_data;
    QPointer<QIODevice> m_device;
};
