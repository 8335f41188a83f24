#include "qftppi.h"

#include "ftppassivereply.h"
#include "qftp.h"

#include <QCoreApplication>

namespace {
const QString CRLF = QStringLiteral("\r\n");

QString trFtp(const char* text)
{
    return QCoreApplication::translate("QFtp", text);
}

bool hasInnerLineBreak(const QString& line)
{
    const QString content = line.endsWith(CRLF) ? line.chopped(2) : line;
    return content.contains(QLatin1Char('\r')) || content.contains(QLatin1Char('\n'));
}
} // namespace

QFtpPI::QFtpPI(QObject* parent)
    : QObject(parent)
    , m_commandSocket(this)
    , m_dtp(this)
{
    m_commandSocket.setObjectName(QStringLiteral("QFtpPI_socket"));
    connect(&m_commandSocket, &QTcpSocket::hostFound, this, &QFtpPI::hostFound);
    connect(&m_commandSocket, &QTcpSocket::connected, this, &QFtpPI::connected);
    connect(&m_commandSocket, &QTcpSocket::disconnected, this, &QFtpPI::connectionClosed);
    connect(&m_commandSocket, &QTcpSocket::errorOccurred, this, &QFtpPI::socketError);
    connect(&m_commandSocket, &QTcpSocket::readyRead, this, &QFtpPI::readyRead);
    connect(&m_dtp, &QFtpDTP::connectState, this, &QFtpPI::dtpConnectState);
}

QFtpPI::~QFtpPI()
{
    // The socket reports its close while the members it would touch are gone.
    disconnect(&m_commandSocket, nullptr, this, nullptr);
}

void QFtpPI::connectToHost(const QString& host, quint16 port)
{
    // A second connect would otherwise be ignored by the socket and never end.
    if (m_commandSocket.state() != QAbstractSocket::UnconnectedState) {
        forgetCommands();
        m_replyState = Idle;
        m_commandSocket.abort();
    }
    m_host = host;
    m_connecting = true;
    emit connectState(QFtp::HostLookup);
    m_commandSocket.connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

bool QFtpPI::sendCommands(const QStringList& lines)
{
    if (!m_pendingCommands.isEmpty())
        return false;
    if (m_commandSocket.state() != QAbstractSocket::ConnectedState || m_replyState != Idle) {
        emit error(QFtp::NotConnected, trFtp("Not connected"));
        return true;
    }
    for (const QString& line : lines) {
        // A name with a line break would smuggle its own commands to the server.
        if (hasInnerLineBreak(line)) {
            emit error(
                QFtp::UnknownError,
                trFtp("Refused to send a command with a line break: %1").arg(line.trimmed()));
            return true;
        }
    }
    m_pendingCommands = lines;
    startNextCommand();
    return true;
}

void QFtpPI::clearPendingCommands()
{
    forgetCommands();
    m_replyState = Idle;
}

void QFtpPI::forgetCommands()
{
    m_pendingCommands.clear();
    m_currentCommand.clear();
    m_waitForDtpToConnect = false;
    m_waitForDtpToClose = false;
    m_abortedLines = false;
    m_dtp.clearError();
    m_dtp.abortConnection();
}

void QFtpPI::abort()
{
    // The operation cannot succeed without its remaining lines.
    m_abortedLines = m_abortedLines || !m_pendingCommands.isEmpty();
    m_pendingCommands.clear();
    if (m_abortState != AbortNone)
        return;
    if (m_replyState == Waiting) {
        m_abortState = AbortStarted;
        if (m_currentCommand.startsWith(QLatin1String("STOR ")))
            m_dtp.abortConnection();
        m_commandSocket.write("ABOR\r\n");
    } else if (m_waitForDtpToConnect) {
        // The passive reply is in: no reply is outstanding for ABOR to cut
        // short, only the data connection being opened.
        forgetCommands();
        emit error(QFtp::UnknownError, trFtp("Aborted"));
    }
    // Otherwise nothing is outstanding on the command connection (it is being
    // opened, or the greeting is awaited): the operation ends by itself.
}

void QFtpPI::hostFound()
{
    emit connectState(QFtp::Connecting);
}

void QFtpPI::connected()
{
    m_connecting = false;
    m_replyState = Begin;
    m_reply.clear();
    m_commandSocket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    emit connectState(QFtp::Connected);
}

void QFtpPI::connectionClosed()
{
    // A drop while the server owes a reply fails the running operation,
    // which would otherwise wait for ever; a QUIT is answered this way.
    const bool replyOwed = m_replyState == Begin ||
        (!m_currentCommand.isEmpty() && !m_currentCommand.startsWith(QLatin1String("QUIT")));
    m_commandSocket.close();
    forgetCommands();
    m_reply.clear();
    m_replyState = Idle;
    m_abortState = AbortNone;
    emit connectState(QFtp::Unconnected);
    if (replyOwed)
        emit error(QFtp::NotConnected, trFtp("Connection closed by host %1").arg(m_host));
}

void QFtpPI::socketError(QAbstractSocket::SocketError socketError)
{
    // Once connected, a failure shows as a closed connection.
    if (!m_connecting)
        return;
    m_connecting = false;
    emit connectState(QFtp::Unconnected);
    switch (socketError) {
    case QAbstractSocket::HostNotFoundError:
        emit error(QFtp::HostNotFound, trFtp("Host %1 not found").arg(m_host));
        break;
    case QAbstractSocket::ConnectionRefusedError:
        emit error(QFtp::ConnectionRefused, trFtp("Connection refused to host %1").arg(m_host));
        break;
    case QAbstractSocket::SocketTimeoutError:
        emit error(QFtp::ConnectionRefused, trFtp("Connection timed out to host %1").arg(m_host));
        break;
    default:
        emit error(QFtp::ConnectionRefused,
                   trFtp("Host %1: %2").arg(m_host, m_commandSocket.errorString()));
        break;
    }
}

void QFtpPI::readyRead()
{
    if (m_waitForDtpToClose)
        return;
    while (m_commandSocket.canReadLine()) {
        const FtpReplyReader::Status status = m_reply.addLine(m_commandSocket.readLine());
        if (status == FtpReplyReader::Invalid) {
            // Nothing after it can be trusted to be the answer to our lines.
            dropConnection(trFtp("Invalid reply from host %1").arg(m_host));
            return;
        }
        if (status == FtpReplyReader::Incomplete)
            continue;
        if (!processReply())
            return;
        m_reply.clear();
    }
}

bool QFtpPI::processReply()
{
    const int code = m_reply.code();
    // A refusal without words still needs a message: its code.
    const QString text = m_reply.text().isEmpty() ? QString::number(code) : m_reply.text();
    // Success is only sure when the data have all left.
    if (code == 226 && m_dtp.isOpen()) {
        m_waitForDtpToClose = true;
        return false;
    }
    if (m_abortState == AbortFinishing) {
        m_abortState = AbortNone;
        return true;
    }
    if (m_abortState == AbortStarted)
        m_abortState = AbortFinishing;

    if (m_replyState == Begin)
        return handleGreeting(code, text);
    if (m_replyState != Waiting)
        return true;
    switch (code / 100) {
    case 1:
        m_replyState = Waiting;
        break;
    case 2:
        m_replyState = code == 202 ? Failure : Success;
        break;
    case 3:
        m_replyState = Idle;
        break;
    default:
        m_replyState = Failure;
        break;
    }
    handleSpecialReply(code, text);

    // Read afresh: a signal above may have started the client's next operation.
    if (m_replyState == Success)
        m_replyState = Idle;
    if (m_replyState == Idle) {
        reportDataError();
        startNextCommand();
    } else if (m_replyState == Failure) {
        handleFailure(text);
    }
    return true;
}

bool QFtpPI::handleGreeting(int code, const QString& text)
{
    switch (code / 100) {
    case 2:
        m_replyState = Idle;
        emit finished(trFtp("Connected to host %1").arg(m_host));
        break;
    case 4:
    case 5:
        // The server turns us away; waiting would never end.
        dropConnection(text);
        break;
    default:
        // 1yz: the real greeting follows.
        break;
    }
    return true;
}

void QFtpPI::handleSpecialReply(int code, const QString& text)
{
    switch (code) {
    case 227:
        if (m_currentCommand.startsWith(QLatin1String("PASV")))
            openDataConnection(FtpPassiveReply::passivePort(text));
        break;
    case 229:
        if (m_currentCommand.startsWith(QLatin1String("EPSV")))
            openDataConnection(FtpPassiveReply::extendedPassivePort(text));
        break;
    case 230:
        // The server wants no password.
        if (m_currentCommand.startsWith(QLatin1String("USER ")) && !m_pendingCommands.isEmpty() &&
            m_pendingCommands.first().startsWith(QLatin1String("PASS ")))
            m_pendingCommands.removeFirst();
        emit connectState(QFtp::LoggedIn);
        break;
    default:
        if (code / 100 == 1 && m_currentCommand.startsWith(QLatin1String("STOR ")))
            m_dtp.writeData();
        break;
    }
}

void QFtpPI::handleFailure(const QString& text)
{
    if (m_currentCommand.startsWith(QLatin1String("EPSV"))) {
        // For good: every later transfer of this client uses PASV.
        m_extendedPassive = false;
        m_pendingCommands.prepend(QStringLiteral("PASV") + CRLF);
    } else {
        // The reason the data stopped says more than the server's reply to it.
        const QString dataError = m_dtp.errorText();
        m_dtp.clearError();
        emit error(QFtp::UnknownError, dataError.isEmpty() ? text : dataError);
    }
    if (m_replyState != Waiting) {
        m_replyState = Idle;
        startNextCommand();
    }
}

void QFtpPI::reportDataError()
{
    const QString dataError = m_dtp.errorText();
    if (dataError.isEmpty())
        return;
    m_dtp.clearError();
    emit error(QFtp::UnknownError, dataError);
}

void QFtpPI::startNextCommand()
{
    if (m_waitForDtpToConnect)
        return;
    if (m_pendingCommands.isEmpty()) {
        // Only the end of lines actually sent finishes an operation.
        if (m_currentCommand.isEmpty())
            return;
        m_currentCommand.clear();
        if (m_abortedLines) {
            m_abortedLines = false;
            emit error(QFtp::UnknownError, trFtp("Aborted"));
        } else {
            emit finished(m_reply.text());
        }
        return;
    }
    m_currentCommand = m_pendingCommands.takeFirst();
    if (m_currentCommand == QStringLiteral("PASV") + CRLF && m_extendedPassive &&
        m_commandSocket.localAddress().protocol() == QAbstractSocket::IPv6Protocol)
        m_currentCommand = QStringLiteral("EPSV") + CRLF;
    m_replyState = Waiting;
    // UTF-8, as servers expect names today; Latin-1 would turn any other
    // character into '?', and the file would land under a wrong name.
    m_commandSocket.write(m_currentCommand.toUtf8());
}

void QFtpPI::openDataConnection(quint16 port)
{
    if (port == 0)
        return;
    // Whatever address the server named, the data go to the server we talk
    // to: a reply must not steer them to another host.
    m_waitForDtpToConnect = true;
    m_dtp.connectToHost(m_commandSocket.peerAddress(), port);
}

void QFtpPI::dropConnection(const QString& reason)
{
    forgetCommands();
    m_replyState = Idle;
    emit error(QFtp::UnknownError, reason);
    m_commandSocket.abort();
}

void QFtpPI::dtpConnectState(int state)
{
    switch (state) {
    case QFtpDTP::CsClosed:
        if (m_waitForDtpToClose) {
            m_waitForDtpToClose = false;
            if (processReply())
                m_reply.clear();
            readyRead();
        }
        break;
    case QFtpDTP::CsConnected:
        m_waitForDtpToConnect = false;
        startNextCommand();
        break;
    case QFtpDTP::CsHostNotFound:
    case QFtpDTP::CsConnectionRefused:
        m_waitForDtpToConnect = false;
        emit error(QFtp::ConnectionRefused, trFtp("Connection refused for data connection"));
        startNextCommand();
        break;
    default:
        break;
    }
}
