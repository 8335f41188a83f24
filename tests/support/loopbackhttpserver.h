#pragma once

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests, run by the test's own event
// loop; one request per connection. It remembers the request lines and hands
// the body of every POST to the test through `posted`.
//
// Without a folder it answers every GET with a short text body. With one it
// serves that folder's files with byte ranges (browsers fetch media in
// ranges) and the media types of published files, and can add a script to
// every HTML page it serves.
class LoopbackHttpServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit LoopbackHttpServer(QObject* parent = nullptr);
    explicit LoopbackHttpServer(const QString& root, QObject* parent = nullptr);
    ~LoopbackHttpServer() override;

    // Listens on a free loopback port; false when that fails.
    bool start();
    // "http://127.0.0.1:port"
    QString baseUrl() const;
    QUrl url(const QString& path) const;
    // Request lines received so far ("GET /path HTTP/1.1").
    QStringList requests() const { return m_requests; }

    // Inserted as an inline script before "</body>" of every served HTML file.
    void setInjectedScript(const QByteArray& script) { m_script = script; }

signals:
    void posted(const QString& path, const QByteArray& body);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void serveFile(QTcpSocket* socket, const QString& path, const QByteArray& range);

    QString m_root;
    QByteArray m_script;
    QStringList m_requests;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};
