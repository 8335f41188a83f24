#include "filetree.h"
#include "ftp/qftp.h"
#include "ftpserverfixture.h"
#include "ftpsignallog.h"
#include "temporaryfolder.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTest>

namespace {
QByteArray randomBytes(qint64 size, quint32 seed)
{
    QByteArray bytes(static_cast<int>(size), Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char& byte : bytes)
        byte = static_cast<char>(generator.bounded(256));
    return bytes;
}

// A device that hands out some bytes and then fails, as a file on a failing
// disk does.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(qint64 goodBytes)
        : m_goodBytes(goodBytes)
    { }
    qint64 size() const override { return m_goodBytes * 2; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = qMin(maxSize, m_goodBytes - pos());
        if (count <= 0) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        memset(data, 'x', static_cast<size_t>(count));
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 m_goodBytes;
};
} // namespace

// The client against a real FTP server: the signal sequence, the failures a
// server gives on demand, and uploads that must arrive byte for byte.
class TestQFtp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    // First: it checks the identifiers a fresh process hands out.
    void connectLoginClose();
    void wrongPasswordKeepsConnection();
    void missingDirectoryDropsLaterOperations();
    void uploads_data();
    void uploads();
    void transferTypes_data();
    void transferTypes();
    void failedRead_data();
    void failedRead();
    void lineBreakInName();
    void connectionFailures_data();
    void connectionFailures();

private:
    void connectAndLogin(QFtp& ftp, FtpSignalLog& log);

    FtpServerFixture m_server;
};

void TestQFtp::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
}

void TestQFtp::connectAndLogin(QFtp& ftp, FtpSignalLog& log)
{
    ftp.connectToHost(m_server.host(), m_server.port());
    ftp.login(m_server.user(), m_server.password());
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
    QCOMPARE(ftp.state(), QFtp::LoggedIn);
}

void TestQFtp::connectLoginClose()
{
    QFtp ftp;
    FtpSignalLog log(&ftp);
    QCOMPARE(ftp.connectToHost(m_server.host(), m_server.port()), 1);
    QCOMPARE(ftp.login(m_server.user(), m_server.password()), 2);
    QCOMPARE(ftp.close(), 3);
    QVERIFY(log.events.isEmpty());
    QVERIFY(log.waitForDone());

    const QStringList expected {
        "commandStarted(1)", "stateChanged(1)",           "stateChanged(2)",
        "stateChanged(3)",   "commandFinished(1, false)", "commandStarted(2)",
        "stateChanged(4)",   "commandFinished(2, false)", "commandStarted(3)",
        "stateChanged(5)",   "stateChanged(0)",           "commandFinished(3, false)",
        "done(false)"};
    QCOMPARE(log.events, expected);
    QCOMPARE(ftp.state(), QFtp::Unconnected);
    QCOMPARE(ftp.error(), QFtp::NoError);
}

void TestQFtp::wrongPasswordKeepsConnection()
{
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(m_server.host(), m_server.port());
    const int login = ftp.login(m_server.user(), QStringLiteral("wrong"));
    const int close = ftp.close();
    QVERIFY(log.waitForDone());

    QVERIFY(log.lastDoneError);
    QVERIFY(log.events.contains(QStringLiteral("commandFinished(%1, true)").arg(login)));
    QVERIFY(!log.events.contains(QStringLiteral("commandStarted(%1)").arg(close)));
    QCOMPARE(log.events.last(), QStringLiteral("done(true)"));
    QCOMPARE(ftp.state(), QFtp::Connected);
    QCOMPARE(ftp.error(), QFtp::UnknownError);
    QCOMPARE(ftp.errorString(), QStringLiteral("Login failed:\nAuthentication failed."));

    // The client stays usable on the same connection.
    ftp.login(m_server.user(), m_server.password());
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
    QCOMPARE(ftp.state(), QFtp::LoggedIn);
    QCOMPARE(ftp.error(), QFtp::NoError);
}

void TestQFtp::missingDirectoryDropsLaterOperations()
{
    QFtp ftp;
    FtpSignalLog log(&ftp);
    connectAndLogin(ftp, log);
    const int cd = ftp.cd(QStringLiteral("/no such folder"));
    const int mkdir = ftp.mkdir(QStringLiteral("made-after-failed-cd"));
    QVERIFY(log.waitForDone());

    QVERIFY(log.lastDoneError);
    QVERIFY(log.events.contains(QStringLiteral("commandFinished(%1, true)").arg(cd)));
    QVERIFY(!log.events.contains(QStringLiteral("commandStarted(%1)").arg(mkdir)));
    // The server's own reply follows the operation's message.
    QCOMPARE(ftp.errorString(),
             QStringLiteral("Changing directory failed:\nNo such file or directory."));
    QVERIFY(!QFile::exists(m_server.localPath(QStringLiteral("made-after-failed-cd"))));
    QCOMPARE(ftp.state(), QFtp::LoggedIn);
}

enum class Source { Bytes, File, Process, FinishedProcess };
Q_DECLARE_METATYPE(Source)

void TestQFtp::uploads_data()
{
    QTest::addColumn<Source>("source");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("remoteName");

    QTest::newRow("empty byte array") << Source::Bytes << qint64(0) << "empty.bin";
    QTest::newRow("byte array") << Source::Bytes << qint64(300000) << "bytes.bin";
    QTest::newRow("empty file") << Source::File << qint64(0) << "empty-file.bin";
    // One full device chunk of 16384 bytes and a short one of 3616.
    QTest::newRow("file of one and a bit chunks") << Source::File << qint64(20000) << "20000.bin";
    QTest::newRow("50 MB file") << Source::File << qint64(50 * 1024 * 1024) << "big.bin";
    // Sequential devices: data that arrive after the upload has started, and
    // a stream that ended before it started.
    QTest::newRow("sequential device") << Source::Process << qint64(100000) << "piped.bin";
    QTest::newRow("ended sequential device")
        << Source::FinishedProcess << qint64(30000) << "piped-ended.bin";
    QTest::newRow("name beyond Latin-1")
        << Source::Bytes << qint64(1000) << QStringLiteral("видео ü.bin");
}

void TestQFtp::uploads()
{
    QFETCH(Source, source);
    QFETCH(qint64, size);
    QFETCH(QString, remoteName);

    const QByteArray content = randomBytes(size, static_cast<quint32>(size + 7));
    TemporaryFolder local;
    const QString localFile = local.writeFile(QStringLiteral("source.bin"), content);
    QVERIFY(!localFile.isEmpty());
    QFile file(localFile);
    QProcess cat;

    QFtp ftp;
    FtpSignalLog log(&ftp);
    connectAndLogin(ftp, log);
    const QString folder =
        QStringLiteral("uploads-%1").arg(QTest::currentDataTag()).replace(' ', '-');
    ftp.mkdir(folder);
    const QString remotePath = QLatin1Char('/') + folder + QLatin1Char('/') + remoteName;
    switch (source) {
    case Source::Bytes:
        ftp.put(content, remotePath);
        break;
    case Source::File:
        QVERIFY(file.open(QIODevice::ReadOnly));
        ftp.put(&file, remotePath);
        break;
    case Source::Process:
        cat.start(QStringLiteral("sh"),
                  {QStringLiteral("-c"), QStringLiteral("sleep 0.5; cat \"$0\""), localFile});
        QVERIFY(cat.waitForStarted());
        ftp.put(&cat, remotePath);
        break;
    case Source::FinishedProcess:
        cat.start(QStringLiteral("cat"), {localFile});
        QVERIFY(cat.waitForFinished());
        ftp.put(&cat, remotePath);
        break;
    }
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));

    const QByteArray uploaded = fileContents(m_server.localPath(remotePath));
    QCOMPARE(uploaded.size(), content.size());
    QVERIFY(uploaded == content);
    QVERIFY(!log.progress.isEmpty());
    const bool sequential = source == Source::Process || source == Source::FinishedProcess;
    const qint64 total = sequential ? 0 : size;
    QCOMPARE(log.progress.last(), qMakePair(size, total));
    if (source == Source::File) {
        // Files go out in pieces of at most 16384 bytes.
        qint64 previous = 0;
        for (const auto& step : qAsConst(log.progress)) {
            QVERIFY2(step.first - previous <= 16384, qPrintable(QString::number(step.first)));
            previous = step.first;
        }
    }
}

void TestQFtp::transferTypes_data()
{
    QTest::addColumn<QFtp::TransferType>("type");
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("binary keeps bytes") << QFtp::Binary << QByteArray("one\r\ntwo\r\n");
    // The server stores text with its own line ends.
    QTest::newRow("ASCII is text") << QFtp::Ascii << QByteArray("one\ntwo\n");
}

void TestQFtp::transferTypes()
{
    QFETCH(QFtp::TransferType, type);
    QFETCH(QByteArray, stored);

    QFtp ftp;
    FtpSignalLog log(&ftp);
    connectAndLogin(ftp, log);
    const QString name = QStringLiteral("/type-%1.txt").arg(int(type));
    ftp.put(QByteArray("one\r\ntwo\r\n"), name, type);
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
    QCOMPARE(fileContents(m_server.localPath(name)), stored);
}

void TestQFtp::failedRead_data()
{
    QTest::addColumn<qint64>("goodBytes");
    QTest::addColumn<bool>("open");

    QTest::newRow("device not open") << qint64(0) << false;
    QTest::newRow("fails after some chunks") << qint64(100000) << true;
}

void TestQFtp::failedRead()
{
    QFETCH(qint64, goodBytes);
    QFETCH(bool, open);

    FailingDevice device(goodBytes);
    if (open)
        QVERIFY(device.open(QIODevice::ReadOnly));
    QFtp ftp;
    FtpSignalLog log(&ftp);
    connectAndLogin(ftp, log);
    ftp.put(&device, QStringLiteral("/failed-read-%1.bin").arg(goodBytes));
    QVERIFY(log.waitForDone());

    // A cut file must not pass for a finished upload.
    QVERIFY(log.lastDoneError);
    QVERIFY2(ftp.errorString().startsWith(
                 QStringLiteral("Uploading file failed:\nReading the data to upload failed: ")),
             qPrintable(ftp.errorString()));
    // The connection serves the next operation.
    ftp.cd(QStringLiteral("/"));
    QVERIFY(log.waitForDone());
    QVERIFY2(!log.lastDoneError, qPrintable(ftp.errorString()));
}

void TestQFtp::lineBreakInName()
{
    QFile victim(m_server.localPath(QStringLiteral("victim.txt")));
    QVERIFY(victim.open(QIODevice::WriteOnly));
    victim.close();

    QFtp ftp;
    FtpSignalLog log(&ftp);
    connectAndLogin(ftp, log);
    ftp.cd(QStringLiteral("x\r\nDELE victim.txt"));
    QVERIFY(log.waitForDone());
    QVERIFY(log.lastDoneError);
    QVERIFY2(ftp.errorString().startsWith(QStringLiteral("Changing directory failed:\n")),
             qPrintable(ftp.errorString()));
    ftp.close();
    QVERIFY(log.waitForDone());
    QVERIFY(QFile::exists(victim.fileName()));
}

void TestQFtp::connectionFailures_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("closedPort");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("errorString");

    QTest::newRow("closed port")
        << "127.0.0.1" << true << int(QFtp::ConnectionRefused)
        << "Connecting to host failed:\nConnection refused to host 127.0.0.1";
    QTest::newRow("unknown host")
        << "no-such-host.invalid" << false << int(QFtp::HostNotFound)
        << "Connecting to host failed:\nHost no-such-host.invalid not found";
}

void TestQFtp::connectionFailures()
{
    QFETCH(QString, host);
    QFETCH(bool, closedPort);
    QFETCH(int, error);
    QFETCH(QString, errorString);

    quint16 port = 21;
    if (closedPort) {
        // A port that was free a moment ago and has no listener now.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    QFtp ftp;
    FtpSignalLog log(&ftp);
    ftp.connectToHost(host, port);
    const int login = ftp.login();
    QVERIFY(log.waitForDone());

    QVERIFY(log.lastDoneError);
    QCOMPARE(int(ftp.error()), error);
    QCOMPARE(ftp.errorString(), errorString);
    QCOMPARE(ftp.state(), QFtp::Unconnected);
    QVERIFY(!log.events.contains(QStringLiteral("commandStarted(%1)").arg(login)));
}

QTEST_GUILESS_MAIN(TestQFtp)
#include "tst_qftp.moc"
