#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>

class QIODevice;
class QTcpSocket;

// The data connection of a QFtp client: opens it to the port a server named
// in passive mode and streams the upload data into it.
class QFtpDTP : public QObject
{
    Q_OBJECT
public:
    enum ConnectState {
        CsHostFound = 0,
        CsConnected = 1,
        CsClosed = 2,
        CsHostNotFound = 3,
        CsConnectionRefused = 4
    };

    // Device data go out in pieces of this size.
    static constexpr qint64 CHUNK_SIZE = 16384;

    explicit QFtpDTP(QObject* parent = nullptr);

    // The data source of the next upload and its size (0 when unknown).
    void setData(const QByteArray& data);
    void setDevice(QIODevice* device);
    void setBytesTotal(qint64 total);

    void connectToHost(const QHostAddress& host, quint16 port);
    // True while the connection is open or still sending its last data.
    bool isOpen() const;
    // Starts sending the upload data (the server has accepted STOR).
    void writeData();
    // Forgets the data source and the counters, and drops the connection.
    void abortConnection();

    // Why the last upload stopped early (empty when it did not).
    QString errorText() const { return m_errorText; }
    void clearError() { m_errorText.clear(); }

signals:
    void connectState(int state);
    void dataTransferProgress(qint64 done, qint64 total);

private slots:
    void socketConnected();
    void socketDisconnected();
    void socketError();
    void socketBytesWritten(qint64 bytes);
    void deviceReadyRead();
    void deviceReadChannelFinished();

private:
    void writeNextChunk();
    void finishWriting();
    void failReading(const QString& reason);
    // Forgets the data source; the counters stay for the progress of the
    // bytes still on their way.
    void dropSource();
    void reset();

    QTcpSocket* m_socket = nullptr;
    bool m_connected = false;
    bool m_isByteArray = false;
    QByteArray m_data;
    QPointer<QIODevice> m_device;
    bool m_deviceFinished = false;
    bool m_writing = false;
    bool m_wroteAny = false;
    qint64 m_bytesDone = 0;
    qint64 m_bytesTotal = 0;
    QString m_errorText;
};
