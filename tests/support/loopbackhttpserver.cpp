#include "loopbackhttpserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpSocket>

namespace {
QByteArray mediaType(const QString& path)
{
    static const QHash<QString, QByteArray> types = {
        {QStringLiteral("html"), "text/html; charset=utf-8"},
        {QStringLiteral("js"), "text/javascript"},
        {QStringLiteral("png"), "image/png"},
        {QStringLiteral("jpg"), "image/jpeg"},
        {QStringLiteral("m4v"), "video/mp4"},
        {QStringLiteral("mp4"), "video/mp4"},
        {QStringLiteral("webm"), "video/webm"},
        {QStringLiteral("ogv"), "video/ogg"},
        {QStringLiteral("swf"), "application/x-shockwave-flash"},
    };
    return types.value(QFileInfo(path).suffix().toLower(), "application/octet-stream");
}

QByteArray statusLine(int code)
{
    switch (code) {
    case 200:
        return "HTTP/1.1 200 OK\r\n";
    case 206:
        return "HTTP/1.1 206 Partial Content\r\n";
    case 404:
        return "HTTP/1.1 404 Not Found\r\n";
    case 416:
        return "HTTP/1.1 416 Range Not Satisfiable\r\n";
    default:
        return "HTTP/1.1 400 Bad Request\r\n";
    }
}

void send(QTcpSocket* socket, int code, const QByteArray& type, const QByteArray& body,
          const QByteArray& extraHeaders = QByteArray())
{
    QByteArray response = statusLine(code);
    response += "Content-Type: " + type + "\r\n";
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    response += "Accept-Ranges: bytes\r\nCache-Control: no-store\r\nConnection: close\r\n";
    response += extraHeaders + "\r\n";
    socket->write(response + body);
    socket->disconnectFromHost();
}
} // namespace

LoopbackHttpServer::LoopbackHttpServer(QObject* parent)
    : LoopbackHttpServer(QString(), parent)
{ }

LoopbackHttpServer::LoopbackHttpServer(const QString& root, QObject* parent)
    : QTcpServer(parent)
    , m_root(root.isEmpty() ? QString() : QDir(root).absolutePath())
{
    connect(this, &QTcpServer::newConnection, this, &LoopbackHttpServer::onNewConnection);
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    // Open connections go before the members their handlers use.
    const QList<QTcpSocket*> sockets = findChildren<QTcpSocket*>();
    for (QTcpSocket* socket : sockets) {
        socket->disconnect(this);
        delete socket;
    }
}

bool LoopbackHttpServer::start()
{
    return listen(QHostAddress::LocalHost, 0);
}

QString LoopbackHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(serverPort());
}

QUrl LoopbackHttpServer::url(const QString& path) const
{
    QUrl result;
    result.setScheme(QStringLiteral("http"));
    result.setHost(QStringLiteral("127.0.0.1"));
    result.setPort(serverPort());
    result.setPath(path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path);
    return result;
}

void LoopbackHttpServer::onNewConnection()
{
    while (QTcpSocket* socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void LoopbackHttpServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const int headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> request = lines.first().trimmed().split(' ');
    QHash<QByteArray, QByteArray> headers;
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0)
            headers.insert(lines[i].left(colon).trimmed().toLower(),
                           lines[i].mid(colon + 1).trimmed());
    }
    const int length = headers.value("content-length", "0").toInt();
    if (buffer.size() < headerEnd + 4 + length)
        return; // the body is still on its way
    const QByteArray body = buffer.mid(headerEnd + 4, length);
    buffer.clear();
    m_requests << QString::fromLatin1(lines.first().trimmed());
    if (request.size() < 2) {
        send(socket, 400, "text/plain", "bad request");
        return;
    }
    const QString path = QUrl(QString::fromLatin1(request[1])).path(QUrl::FullyDecoded);
    if (request[0] == "POST") {
        send(socket, 200, "text/plain", "ok");
        emit posted(path, body);
    } else if (m_root.isEmpty()) {
        send(socket, 200, "text/plain", "/* served */");
    } else {
        serveFile(socket, path, headers.value("range"));
    }
}

void LoopbackHttpServer::serveFile(QTcpSocket* socket, const QString& path, const QByteArray& range)
{
    const QString local = QDir::cleanPath(m_root + path);
    QFile file(local);
    if (!local.startsWith(m_root + QLatin1Char('/')) || QFileInfo(local).isDir() ||
        !file.open(QIODevice::ReadOnly)) {
        send(socket, 404, "text/plain", "not found");
        return;
    }
    QByteArray content = file.readAll();
    const QByteArray type = mediaType(local);
    if (type.startsWith("text/html") && !m_script.isEmpty()) {
        const QByteArray script = "<script>" + m_script + "</script>\n";
        const int end = content.lastIndexOf("</body>");
        content.insert(end < 0 ? content.size() : end, script);
    }

    static const QRegularExpression rangePattern(QStringLiteral("^bytes=(\\d*)-(\\d*)$"));
    const QRegularExpressionMatch match = rangePattern.match(QString::fromLatin1(range));
    if (!match.hasMatch()) {
        send(socket, 200, type, content);
        return;
    }
    const qint64 size = content.size();
    qint64 first = match.captured(1).isEmpty() ? -1 : match.captured(1).toLongLong();
    qint64 last = match.captured(2).isEmpty() ? size - 1 : match.captured(2).toLongLong();
    if (first < 0) { // a suffix range: the last N bytes
        first = std::max<qint64>(0, size - last);
        last = size - 1;
    }
    last = std::min(last, size - 1);
    if (first >= size || first > last) {
        send(socket, 416, "text/plain", QByteArray(),
             "Content-Range: bytes */" + QByteArray::number(size) + "\r\n");
        return;
    }
    send(socket, 206, type, content.mid(first, last - first + 1),
         "Content-Range: bytes " + QByteArray::number(first) + '-' + QByteArray::number(last) +
             '/' + QByteArray::number(size) + "\r\n");
}
