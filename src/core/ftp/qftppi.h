#pragma once

#include "ftpreplyreader.h"
#include "qftpdtp.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpSocket>

// The protocol interpreter of a QFtp client: owns the command connection,
// sends the lines of the running operation one at a time, reads and
// classifies the replies and opens the data connection when a transfer needs
// one. Reports to the client through its signals, with the client's state
// and error numbers.
class QFtpPI : public QObject
{
    Q_OBJECT
public:
    explicit QFtpPI(QObject* parent = nullptr);
    ~QFtpPI() override;

    void connectToHost(const QString& host, quint16 port);
    // Refused (false) while lines of an earlier operation are still pending.
    bool sendCommands(const QStringList& lines);
    // Drops the unsent lines and the data connection; what was sent stays
    // answered by the server and is read as usual.
    void clearPendingCommands();
    // Drops the unsent lines and stops what runs: with a reply outstanding,
    // ABOR goes to the server and the replies that belong to it are swallowed.
    void abort();

    // The line sent last.
    QString currentCommand() const { return m_currentCommand; }
    QFtpDTP* dtp() { return &m_dtp; }

signals:
    void connectState(int state);
    void finished(const QString& text);
    void error(int code, const QString& text);

private slots:
    void hostFound();
    void connected();
    void connectionClosed();
    void socketError(QAbstractSocket::SocketError socketError);
    void readyRead();
    void dtpConnectState(int state);

private:
    enum ReplyState { Begin, Idle, Waiting, Success, Failure };
    enum AbortState { AbortNone, AbortStarted, AbortFinishing };

    bool processReply();
    bool handleGreeting(int code, const QString& text);
    void handleSpecialReply(int code, const QString& text);
    void handleFailure(const QString& text);
    void reportDataError();
    void startNextCommand();
    void openDataConnection(quint16 port);
    void dropConnection(const QString& reason);
    void forgetCommands();

    QTcpSocket m_commandSocket;
    QFtpDTP m_dtp;
    QString m_host;
    FtpReplyReader m_reply;
    ReplyState m_replyState = Idle;
    AbortState m_abortState = AbortNone;
    QStringList m_pendingCommands;
    QString m_currentCommand;
    bool m_connecting = false;
    bool m_extendedPassive = true;
    bool m_waitForDtpToConnect = false;
    bool m_waitForDtpToClose = false;
    bool m_abortedLines = false;
};
