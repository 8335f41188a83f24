#include "loopbackhttpserver.h"

#include <QTcpSocket>

LoopbackHttpServer::LoopbackHttpServer(QObject* parent)
    : QTcpServer(parent)
{
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool LoopbackHttpServer::start()
{
    return listen(QHostAddress::LocalHost, 0);
}

QString LoopbackHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(serverPort());
}

void LoopbackHttpServer::answer(QTcpSocket* socket)
{
    // The request is complete at its empty line; every request the tests
    // cause is a GET without a body.
    if (!socket->canReadLine() || !socket->peek(64 * 1024).contains("\r\n\r\n"))
        return;
    const QByteArray request = socket->readAll();
    m_requests << QString::fromLatin1(request.left(request.indexOf("\r\n")));
    const QByteArray body = "/* served */";
    socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}
