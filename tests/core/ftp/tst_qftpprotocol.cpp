#include "ftp/qftp.h"
#include "ftpsignallog.h"

#include <QBuffer>
#include <QMap>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <functional>

namespace {
// A scripted FTP server on loopback, for the replies a real server does not
// give on demand (broken syntax, refusals of EPSV or ALLO, replies out of
// the usual order, a passive reply naming a foreign address). It answers
// like an ordinary server unless a reply is scripted for a command word.
class ScriptedServer : public QObject
{
public:
    explicit ScriptedServer(const QHostAddress& address = QHostAddress::LocalHost)
    {
        m_listening = m_control.listen(address) && m_data.listen(address);
        connect(&m_control, &QTcpServer::newConnection, this, &ScriptedServer::acceptControl);
        connect(&m_data, &QTcpServer::newConnection, this, &ScriptedServer::acceptData);
    }

    bool isListening() const { return m_listening; }
    quint16 port() const { return m_control.serverPort(); }
    quint16 dataPort() const { return m_data.serverPort(); }
    // The passive reply of this server, naming the given address.
    QByteArray passiveReply(const QByteArray& address = "127,0,0,1") const
    {
        return "227 Entering Passive Mode (" + address + ',' +
            QByteArray::number(dataPort() / 256) + ',' + QByteArray::number(dataPort() % 256) +
            ").\r\n";
    }

    QByteArray greeting = "220 Scripted server ready.\r\n";
    // Replies by command word ("USER", "STOR", ...), sent instead of the
    // usual ones; an empty reply closes the command connection.
    QMap<QByteArray, QByteArray> script;

    // Called with each line the server receives, before it answers.
    std::function<void(const QByteArray&)> onCommand;

    QByteArrayList received;
    QByteArray dataReceived;
    bool dataClosed = false;

private:
    void acceptControl()
    {
        m_client = m_control.nextPendingConnection();
        connect(m_client, &QTcpSocket::readyRead, this, &ScriptedServer::readCommands);
        m_client->write(greeting);
    }

    void acceptData()
    {
        QTcpSocket* socket = m_data.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket] { dataReceived += socket->readAll(); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            dataReceived += socket->readAll();
            dataClosed = true;
            if (m_storing && m_client) {
                m_storing = false;
                m_client->write("226 Transfer complete.\r\n");
            }
        });
    }

    void readCommands()
    {
        while (m_client && m_client->canReadLine()) {
            const QByteArray line = m_client->readLine().trimmed();
            received << line;
            if (onCommand)
                onCommand(line);
            const QByteArray word = line.split(' ').first().toUpper();
            const QByteArray reply = script.contains(word) ? script.value(word) : usualReply(word);
            if (word == "STOR" && reply.startsWith("150") && !reply.contains("\n226"))
                m_storing = true;
            if (reply.isEmpty()) {
                m_client->disconnectFromHost();
                return;
            }
            m_client->write(reply);
            if (word == "QUIT")
                m_client->disconnectFromHost();
        }
    }

    QByteArray usualReply(const QByteArray& word) const
    {
        static const QMap<QByteArray, QByteArray> replies {{"USER", "331 Password required.\r\n"},
                                                           {"PASS", "230 Logged in.\r\n"},
                                                           {"TYPE", "200 Type set.\r\n"},
                                                           {"ALLO", "200 Allocated.\r\n"},
                                                           {"STOR", "150 Go ahead.\r\n"},
                                                           {"CWD", "250 Changed.\r\n"},
                                                           {"MKD", "257 Created.\r\n"},
                                                           {"QUIT", "221 Bye.\r\n"},
                                                           {"ABOR", "226 Aborted.\r\n"}};
        if (word == "PASV")
            return passiveReply();
        if (word == "EPSV")
            return "229 Entering Extended Passive Mode (|||" + QByteArray::number(dataPort()) +
                "|)\r\n";
        return replies.value(word, "502 Not implemented.\r\n");
    }

    QTcpServer m_control;
    QTcpServer m_data;
    QPointer<QTcpSocket> m_client;
    bool m_listening = false;
    bool m_storing = false;
};

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}
} // namespace

// Protocol cases through a scripted server: how replies are read, the
// passive-mode variants, aborts, and servers that misbehave.
class TestQFtpProtocol : public QObject
{
    Q_OBJECT
private slots:
    void threeLineGreetingIsOneReply();
    void userAnswered230SkipsPassword();
    void invalidReplyDropsConnection_data();
    void invalidReplyDropsConnection();
    void serverEndsOperation_data();
    void serverEndsOperation();
    void closeEndsWhenServerHangsUpWithoutReply();
    void alloRefusedUploadGoesOn_data();
    void alloRefusedUploadGoesOn();
    void extendedPassive_data();
    void extendedPassive();
    void finishedOnlyAfterDataConnectionCloses();
    void passiveReplyCannotRedirectData();
    void dataConnectionRefused();
    void abortDuringUpload();
    void abortBeforeStor();
    void abortWithEmptyQueue();
};

void TestQFtpProtocol::threeLineGreetingIsOneReply()
{
    ScriptedServer server;
    server.greeting = "220-Welcome\r\n220-to the scripted server\r\n220 Ready.\r\n";
    QVERIFY(server.isListening());
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    ftp.close();
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
    // Had each greeting line counted as a reply, the later ones would have
    // answered USER and PASS before the server did.
    QCOMPARE(server.received, (QByteArrayList {"USER user", "PASS pass", "QUIT"}));
    QCOMPARE(log.events.count(QStringLiteral("stateChanged(4)")), 1);
}

void TestQFtpProtocol::userAnswered230SkipsPassword()
{
    ScriptedServer server;
    server.script["USER"] = "230 No password needed.\r\n";
    QVERIFY(server.isListening());
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("guest"), QStringLiteral("unused"));
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
    QCOMPARE(ftp.state(), QFtp::LoggedIn);
    ftp.close();
    QVERIFY(log.waitForDone());
    QCOMPARE(server.received, (QByteArrayList {"USER guest", "QUIT"}));
}

void TestQFtpProtocol::invalidReplyDropsConnection_data()
{
    QTest::addColumn<bool>("inGreeting");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("errorString");

    const QString connecting = QStringLiteral("Connecting to host failed:\n");
    const QString login = QStringLiteral("Login failed:\n");
    const QString invalid = QStringLiteral("Invalid reply from host 127.0.0.1");
    QTest::newRow("greeting starting with 0")
        << true << QByteArray("020 Hello\r\n") << connecting + invalid;
    QTest::newRow("greeting starting with 6")
        << true << QByteArray("620 Hello\r\n") << connecting + invalid;
    QTest::newRow("short greeting") << true << QByteArray("22\r\n") << connecting + invalid;
    QTest::newRow("reply starting with 0")
        << false << QByteArray("031 Password?\r\n") << login + invalid;
    QTest::newRow("reply starting with 6")
        << false << QByteArray("631 Password?\r\n") << login + invalid;
    QTest::newRow("short reply") << false << QByteArray("\r\n") << login + invalid;
}

void TestQFtpProtocol::invalidReplyDropsConnection()
{
    QFETCH(bool, inGreeting);
    QFETCH(QByteArray, reply);
    QFETCH(QString, errorString);

    ScriptedServer server;
    if (inGreeting)
        server.greeting = reply;
    else
        server.script["USER"] = reply;
    QVERIFY(server.isListening());
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    // Without an end, the client would wait here for ever.
    QVERIFY(log.waitForDone(10000));
    QVERIFY(log.lastDoneError);
    QCOMPARE(ftp.errorString(), errorString);
    QTRY_COMPARE(ftp.state(), QFtp::Unconnected);
    QVERIFY(!server.received.contains("PASS pass"));
}

void TestQFtpProtocol::serverEndsOperation_data()
{
    QTest::addColumn<bool>("inGreeting");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("error");
    QTest::addColumn<QString>("errorString");

    QTest::newRow("greeting refuses") << true << QByteArray("421 Too many users.\r\n") << true
                                      << "Connecting to host failed:\nToo many users.";
    QTest::newRow("connection dropped during cd")
        << false << QByteArray() << true
        << "Changing directory failed:\nConnection closed by host 127.0.0.1";
}

void TestQFtpProtocol::serverEndsOperation()
{
    QFETCH(bool, inGreeting);
    QFETCH(QByteArray, reply);
    QFETCH(bool, error);
    QFETCH(QString, errorString);

    ScriptedServer server;
    if (inGreeting)
        server.greeting = reply;
    else
        server.script["CWD"] = reply;
    QVERIFY(server.isListening());
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    ftp.cd(QStringLiteral("/somewhere"));
    QVERIFY(log.waitForDone(10000));
    QCOMPARE(log.lastDoneError, error);
    QCOMPARE(ftp.errorString(), errorString);
    QTRY_COMPARE(ftp.state(), QFtp::Unconnected);
}

void TestQFtpProtocol::closeEndsWhenServerHangsUpWithoutReply()
{
    ScriptedServer server;
    server.script["QUIT"] = QByteArray();
    QVERIFY(server.isListening());
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    const int close = ftp.close();
    QVERIFY(log.waitForDone(10000));
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
    QVERIFY(log.events.contains(QStringLiteral("commandFinished(%1, false)").arg(close)));
    QCOMPARE(ftp.state(), QFtp::Unconnected);
}

void TestQFtpProtocol::alloRefusedUploadGoesOn_data()
{
    QTest::addColumn<QByteArray>("alloReply");
    QTest::newRow("202") << QByteArray("202 No storage allocation necessary.\r\n");
    QTest::newRow("500") << QByteArray("500 Unknown command.\r\n");
}

void TestQFtpProtocol::alloRefusedUploadGoesOn()
{
    QFETCH(QByteArray, alloReply);

    ScriptedServer server;
    server.script["ALLO"] = alloReply;
    QVERIFY(server.isListening());
    const QByteArray content = pattern(20000);
    QBuffer buffer;
    buffer.setData(content);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    ftp.put(&buffer, QStringLiteral("file.bin"));
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
    QCOMPARE(ftp.error(), QFtp::NoError);
    QCOMPARE(server.received.mid(2),
             (QByteArrayList {"TYPE I", "PASV", "ALLO 20000", "STOR file.bin"}));
    QVERIFY(server.dataReceived == content);
}

void TestQFtpProtocol::extendedPassive_data()
{
    QTest::addColumn<QByteArray>("epsvReply");
    QTest::addColumn<QByteArrayList>("lines");

    QTest::newRow("EPSV accepted")
        << QByteArray() << QByteArrayList {"TYPE I", "EPSV", "ALLO 3", "STOR a",
                                           "TYPE I", "EPSV", "ALLO 3", "STOR b"};
    // Refused once, never asked again.
    QTest::newRow("EPSV refused") << QByteArray("500 EPSV not understood.\r\n")
                                  << QByteArrayList {"TYPE I", "EPSV", "PASV",   "ALLO 3", "STOR a",
                                                     "TYPE I", "PASV", "ALLO 3", "STOR b"};
}

void TestQFtpProtocol::extendedPassive()
{
    QFETCH(QByteArray, epsvReply);
    QFETCH(QByteArrayList, lines);

    ScriptedServer server(QHostAddress::LocalHostIPv6);
    if (!server.isListening())
        QSKIP("No IPv6 loopback on this machine");
    if (!epsvReply.isEmpty())
        server.script["EPSV"] = epsvReply;
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("::1"), server.port());
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    ftp.put(QByteArray("abc"), QStringLiteral("a"));
    ftp.put(QByteArray("def"), QStringLiteral("b"));
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
    QCOMPARE(server.received.mid(2), lines);
    QCOMPARE(server.dataReceived, QByteArray("abcdef"));
}

void TestQFtpProtocol::finishedOnlyAfterDataConnectionCloses()
{
    ScriptedServer server;
    // Both replies at once: the 226 arrives while the data are still queued
    // on the client's side.
    server.script["STOR"] = "150 Go ahead.\r\n226 Transfer complete.\r\n";
    QVERIFY(server.isListening());
    const QByteArray content = pattern(1 << 20);
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    const int put = ftp.put(content, QStringLiteral("early.bin"));
    QList<QPair<qint64, qint64>> progressAtFinish;
    connect(&ftp, &QFtp::commandFinished, this, [&](int id, bool) {
        if (id == put)
            progressAtFinish = log.progress;
    });
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
    QVERIFY(!progressAtFinish.isEmpty());
    QCOMPARE(progressAtFinish.last(), qMakePair(qint64(content.size()), qint64(content.size())));
    QTRY_VERIFY(server.dataClosed);
    QVERIFY(server.dataReceived == content);
}

void TestQFtpProtocol::passiveReplyCannotRedirectData()
{
    ScriptedServer server;
    QVERIFY(server.isListening());
    // A hostile server points the client at a third host.
    server.script["PASV"] = server.passiveReply("192,0,2,44");
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    ftp.put(QByteArray("to the server we talk to"), QStringLiteral("bounce.txt"));
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
    QCOMPARE(server.dataReceived, QByteArray("to the server we talk to"));
}

void TestQFtpProtocol::dataConnectionRefused()
{
    ScriptedServer server;
    QVERIFY(server.isListening());
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    server.script["PASV"] = "227 Entering Passive Mode (127,0,0,1," +
        QByteArray::number(closedPort / 256) + ',' + QByteArray::number(closedPort % 256) +
        ").\r\n";
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    ftp.put(QByteArray("data"), QStringLiteral("refused.txt"));
    QVERIFY(log.waitForDone());
    QVERIFY(log.lastDoneError);
    QCOMPARE(ftp.error(), QFtp::ConnectionRefused);
    QCOMPARE(ftp.errorString(),
             QStringLiteral("Uploading file failed:\nConnection refused for data connection"));
    // Nothing is left waiting for the data connection.
    ftp.cd(QStringLiteral("/"));
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
}

void TestQFtpProtocol::abortDuringUpload()
{
    ScriptedServer server;
    server.script["ABOR"] = "426 Transfer aborted.\r\n226 ABOR command successful.\r\n";
    server.script["CWD"] = "550 No such folder.\r\n";
    QVERIFY(server.isListening());
    QBuffer buffer;
    buffer.setData(pattern(8 << 20));
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    QVERIFY(log.waitForDone());
    const int put = ftp.put(&buffer, QStringLiteral("big.bin"));
    const int close = ftp.close();
    connect(&ftp, &QFtp::dataTransferProgress, &ftp, &QFtp::abort);
    QVERIFY(log.waitForDone());

    QVERIFY(log.lastDoneError);
    QCOMPARE(ftp.errorString(), QStringLiteral("Uploading file failed:\nTransfer aborted."));
    QVERIFY(log.events.contains(QStringLiteral("commandFinished(%1, true)").arg(put)));
    QVERIFY(!log.events.contains(QStringLiteral("commandStarted(%1)").arg(close)));
    QCOMPARE(server.received.count("ABOR"), 1);
    QTRY_VERIFY(server.dataClosed);
    QVERIFY(server.dataReceived.size() < buffer.size());

    // The abort's own reply was swallowed: the next reply answers the next line.
    disconnect(&ftp, &QFtp::dataTransferProgress, &ftp, &QFtp::abort);
    ftp.cd(QStringLiteral("/missing"));
    QVERIFY(log.waitForDone());
    QCOMPARE(ftp.errorString(), QStringLiteral("Changing directory failed:\nNo such folder."));
}

void TestQFtpProtocol::abortBeforeStor()
{
    ScriptedServer server;
    QVERIFY(server.isListening());
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    QVERIFY(log.waitForDone());
    // Aborted while PASV awaits its reply: ALLO and STOR are never sent, so
    // the upload must not pass for done.
    server.onCommand = [&ftp](const QByteArray& line) {
        if (line == "PASV")
            ftp.abort();
    };
    const int put = ftp.put(QByteArray("never sent"), QStringLiteral("aborted.txt"));
    QVERIFY(log.waitForDone());
    server.onCommand = nullptr;

    QVERIFY(log.lastDoneError);
    QVERIFY(log.events.contains(QStringLiteral("commandFinished(%1, true)").arg(put)));
    QCOMPARE(ftp.errorString(), QStringLiteral("Uploading file failed:\nAborted"));
    QVERIFY(!server.received.contains("STOR aborted.txt"));
    // The reply to ABOR is swallowed, not taken for the next line's.
    server.script["CWD"] = "550 No such folder.\r\n";
    ftp.cd(QStringLiteral("/missing"));
    QVERIFY(log.waitForDone());
    QCOMPARE(ftp.errorString(), QStringLiteral("Changing directory failed:\nNo such folder."));
}

void TestQFtpProtocol::abortWithEmptyQueue()
{
    ScriptedServer server;
    QVERIFY(server.isListening());
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    ftp.login(QStringLiteral("user"), QStringLiteral("pass"));
    QVERIFY(log.waitForDone());
    const QStringList before = log.events;

    ftp.abort();
    QTest::qWait(100);
    QCOMPARE(log.events, before);
    ftp.cd(QStringLiteral("/"));
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
    QVERIFY(!server.received.contains("ABOR"));
}

QTEST_GUILESS_MAIN(TestQFtpProtocol)
#include "tst_qftpprotocol.moc"
