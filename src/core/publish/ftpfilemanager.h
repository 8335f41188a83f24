#pragma once

#include "publish/filemanager.h"

#include <QBuffer>
#include <QEventLoop>
#include <QFile>
#include <QUrl>

#include <memory>

class QFtp;

// Publishes to an FTP server. Each operation drives the asynchronous FTP
// client from a private event loop until it is done, so the caller (the
// publish job's thread) simply calls one after the other. The connection is
// opened by the first operation and kept for the next ones.
class FtpFileManager : public FileManager
{
    Q_OBJECT
public:
    // The address gives host, port, user name and the password in clear.
    explicit FtpFileManager(const QUrl& server);
    ~FtpFileManager() override;

    bool mkpath(const QString& path) override;
    bool putfile(const QString& path, const QByteArray& data) override;
    bool putfile(const QString& path, const QString& localFile) override;
    // The FTP client's text of the last failure.
    QString errorString() const override;

signals:
    // Bytes of the running upload sent so far, of `total`.
    void dataTransferProgress(qint64 done, qint64 total);

private slots:
    void done1(bool error);
    void cont1();

private:
    enum Step { Start, Connect, LoggedIn, Ready, TryWhole, WalkUp, CheckUp, Root, Create, Sent };
    enum Operation { MakePath, PutFile };

    bool runOperation(Operation operation);
    void doMkPath(bool error);
    void doPutFile(bool error);
    void finish(bool success);
    void retryLater(Step next);
    void cutCurrentPath();

    std::unique_ptr<QFtp> m_ftp;
    QUrl m_server;
    QEventLoop m_loop;
    Step m_step = Start;
    Operation m_operation = MakePath;
    QString m_currentPath;
    int m_attemptsLeft = 0;
    QFile m_file;
    QByteArray m_data;
    bool m_fromFile = false;
    int m_result = -1;
};
