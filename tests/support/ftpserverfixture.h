#pragma once

#include "temporaryfolder.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QUrl>

// A real FTP server for tests: pyftpdlib run by the system Python on a free
// loopback port, serving a temporary root folder to one user with a
// password. The server runs from start() until stop() or the end of the
// object, and also ends when the test process dies.
class FtpServerFixture
{
public:
    FtpServerFixture();
    ~FtpServerFixture();
    FtpServerFixture(const FtpServerFixture&) = delete;
    FtpServerFixture& operator=(const FtpServerFixture&) = delete;

    // Takes effect at the next start().
    void setCredentials(const QString& user, const QString& password);

    // Starts the server and waits until it listens; on failure returns false
    // and errorString() tells why.
    bool start();
    void stop();
    bool isRunning() const;
    QString errorString() const { return m_errorString; }

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }
    QString user() const { return m_user; }
    QString password() const { return m_password; }
    // "ftp://user@host:port/", without the password.
    QUrl url() const;

    // The folder served as "/", and the local path of a server path in it.
    QString rootPath() const { return m_root.path(); }
    QString localPath(const QString& serverPath) const;

    // Every command line the server received since it was made, in order,
    // such as "USER tovalumen" or "CWD /a" (passwords included).
    QStringList commands() const;

private:
    QString commandLogPath() const;

    TemporaryFolder m_root;
    TemporaryFolder m_log; // outside the served root
    QProcess m_process;
    QString m_user = QStringLiteral("tovalumen");
    QString m_password = QStringLiteral("s3cret pass");
    quint16 m_port = 0;
    QString m_errorString;
};
