#include "qftpdtp.h"

#include <QIODevice>
#include <QTcpSocket>

QFtpDTP::QFtpDTP(QObject* parent)
    : QObject(parent)
{ }

void QFtpDTP::setData(const QByteArray& data)
{
    reset();
    m_isByteArray = true;
    m_data = data;
}

void QFtpDTP::setDevice(QIODevice* device)
{
    reset();
    m_device = device;
    if (device && device->isSequential()) {
        // Data that arrive later are sent as they come.
        connect(device, &QIODevice::readyRead, this, &QFtpDTP::deviceReadyRead);
        connect(device, &QIODevice::readChannelFinished, this, &QFtpDTP::deviceReadChannelFinished);
    }
}

void QFtpDTP::setBytesTotal(qint64 total)
{
    m_bytesTotal = total;
}

void QFtpDTP::connectToHost(const QHostAddress& host, quint16 port)
{
    delete m_socket;
    m_connected = false;
    m_socket = new QTcpSocket(this);
    m_socket->setObjectName(QStringLiteral("QFtpDTP Passive state socket"));
    connect(m_socket, &QTcpSocket::connected, this, &QFtpDTP::socketConnected);
    connect(m_socket, &QTcpSocket::disconnected, this, &QFtpDTP::socketDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &QFtpDTP::socketError);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &QFtpDTP::socketBytesWritten);
    // Nothing is downloaded: whatever a server sends here is dropped rather
    // than piled up.
    QTcpSocket* socket = m_socket;
    connect(m_socket, &QTcpSocket::readyRead, this, [socket] { socket->readAll(); });
    m_socket->connectToHost(host, port);
}

bool QFtpDTP::isOpen() const
{
    return m_socket &&
        (m_socket->state() == QAbstractSocket::ConnectedState ||
         m_socket->state() == QAbstractSocket::ClosingState);
}

void QFtpDTP::writeData()
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (!m_isByteArray) {
        m_writing = true;
        writeNextChunk();
        return;
    }
    if (m_data.isEmpty())
        emit dataTransferProgress(0, m_bytesTotal);
    else
        m_socket->write(m_data);
    m_socket->disconnectFromHost();
    dropSource();
}

void QFtpDTP::abortConnection()
{
    reset();
    if (m_socket)
        m_socket->abort();
}

void QFtpDTP::socketConnected()
{
    m_bytesDone = 0;
    m_connected = true;
    emit connectState(CsConnected);
}

void QFtpDTP::socketDisconnected()
{
    emit connectState(CsClosed);
}

void QFtpDTP::socketError()
{
    // A dropped connection shows as closed, and the server's reply tells the
    // rest; one that never opened is reported, whatever the reason.
    if (m_connected)
        return;
    emit connectState(m_socket->error() == QAbstractSocket::HostNotFoundError
                          ? CsHostNotFound
                          : CsConnectionRefused);
}

void QFtpDTP::socketBytesWritten(qint64 bytes)
{
    m_bytesDone += bytes;
    emit dataTransferProgress(m_bytesDone, m_bytesTotal);
    if (m_writing)
        writeNextChunk();
}

void QFtpDTP::deviceReadyRead()
{
    if (m_writing)
        writeNextChunk();
}

void QFtpDTP::deviceReadChannelFinished()
{
    m_deviceFinished = true;
    if (m_writing)
        writeNextChunk();
}

void QFtpDTP::writeNextChunk()
{
    QIODevice* device = m_device;
    if (!device) {
        failReading(tr("The data to upload are gone"));
        return;
    }
    if (!device->isReadable()) {
        failReading(tr("The data to upload are not open for reading"));
        return;
    }
    QByteArray chunk(CHUNK_SIZE, Qt::Uninitialized);
    const qint64 read = device->read(chunk.data(), CHUNK_SIZE);
    if (read < 0) {
        // A sequential device (a process, a socket) ends its stream this way,
        // possibly before we could hear of it.
        if (device->isSequential())
            finishWriting();
        else
            failReading(device->errorString());
        return;
    }
    if (read == 0) {
        // A sequential device may just have nothing yet.
        if (!device->isSequential() || m_deviceFinished)
            finishWriting();
        return;
    }
    m_wroteAny = true;
    m_socket->write(chunk.constData(), read);
}

void QFtpDTP::finishWriting()
{
    if (!m_wroteAny)
        emit dataTransferProgress(0, m_bytesTotal);
    m_socket->disconnectFromHost();
    dropSource();
}

void QFtpDTP::failReading(const QString& reason)
{
    // Sending what was read so far would leave a cut file that looks whole.
    m_errorText = tr("Reading the data to upload failed: %1").arg(reason);
    abortConnection();
}

void QFtpDTP::dropSource()
{
    if (m_device)
        disconnect(m_device, nullptr, this, nullptr);
    m_device = nullptr;
    m_isByteArray = false;
    m_data.clear();
    m_deviceFinished = false;
    m_writing = false;
}

void QFtpDTP::reset()
{
    dropSource();
    m_wroteAny = false;
    m_bytesDone = 0;
    m_bytesTotal = 0;
}
