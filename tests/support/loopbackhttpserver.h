#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for browser tests. It serves the files
// of one folder with byte ranges (browsers fetch media in ranges) and the
// media types of published files, can add a script to every HTML page it
// serves, and hands the body of every POST to the test through `posted`.
// One request per connection.
class LoopbackHttpServer : public QObject
{
    Q_OBJECT
public:
    explicit LoopbackHttpServer(const QString& root, QObject* parent = nullptr);
    ~LoopbackHttpServer() override;

    // Listens on a free port; false when that fails.
    bool listen();
    QUrl url(const QString& path) const;

    // Inserted as an inline script before "</body>" of every served HTML file.
    void setInjectedScript(const QByteArray& script) { m_script = script; }
    // The paths of the GET requests served so far, in order.
    QStringList requestedPaths() const { return m_requested; }

signals:
    void posted(const QString& path, const QByteArray& body);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const QByteArray& method, const QString& path,
                 const QHash<QByteArray, QByteArray>& headers, const QByteArray& body);
    void serveFile(QTcpSocket* socket, const QString& path, const QByteArray& range);

    QTcpServer m_server;
    QString m_root;
    QByteArray m_script;
    QStringList m_requested;
    QHash<QTcpSocket*, QByteArray> m_buffers;
};
