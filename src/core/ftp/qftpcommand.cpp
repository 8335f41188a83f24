#include "qftpcommand.h"

#include <QAtomicInt>

namespace {
// Shared by every client of the process, which may live on several threads.
QAtomicInt lastId(0);
} // namespace

QFtpCommand::QFtpCommand(QFtp::Command command, const QStringList& lines)
    : m_id(lastId.fetchAndAddOrdered(1) + 1)
    , m_command(command)
    , m_lines(lines)
{ }

QFtpCommand QFtpCommand::connection(const QString& host, quint16 port)
{
    QFtpCommand command(QFtp::ConnectToHost, QStringList());
    command.m_host = host;
    command.m_port = port;
    return command;
}

QFtpCommand QFtpCommand::upload(const QStringList& lines, const QByteArray& data)
{
    QFtpCommand command(QFtp::Put, lines);
    command.m_isByteArray = true;
    command.m_data = data;
    return command;
}

QFtpCommand QFtpCommand::upload(const QStringList& lines, QIODevice* device)
{
    QFtpCommand command(QFtp::Put, lines);
    command.m_device = device;
    return command;
}
