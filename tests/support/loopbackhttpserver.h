#pragma once

#include <QStringList>
#include <QTcpServer>

// A small HTTP server on 127.0.0.1 that answers every GET with a short body
// and remembers the requested paths. It runs in the test's own event loop.
class LoopbackHttpServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit LoopbackHttpServer(QObject* parent = nullptr);

    // Listens on a free port; false when that fails.
    bool start();
    // "http://127.0.0.1:port"
    QString baseUrl() const;
    // Request lines received so far ("GET /path HTTP/1.1").
    QStringList requests() const { return m_requests; }

private:
    void answer(class QTcpSocket* socket);
    QStringList m_requests;
};
