#include "ftp/qftp.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstddef>
#include <cstdint>

// Plays arbitrary bytes as a server's replies to a client that runs a whole
// session (connect, login, cd, mkdir, two uploads, quit), one line at a
// time. The first byte, when 64 or more, makes the client abort after that
// many lines modulo 64. Checked besides memory errors: every finished
// operation is the one that started last, a session ends once the server
// hangs up, and an error comes with its text.
//
// Everything runs on a loopback address of its own; a passive reply naming
// port 47123 reaches the data listener here (127,0,0,2,184,19).
namespace {
const QHostAddress ADDRESS(QStringLiteral("127.0.0.2"));
const quint16 DATA_PORT = 47123;

// The client's warnings about odd replies would drown the fuzzer's output.
void dropMessage(QtMsgType, const QMessageLogContext&, const QString&) { }

struct Environment
{
    Environment()
    {
        static int argc = 1;
        static char name[] = "fuzz_qftpreplies";
        static char* argv[] = {name, nullptr};
        application = new QCoreApplication(argc, argv);
        qInstallMessageHandler(dropMessage);
        if (!control.listen(ADDRESS) || !(data.listen(ADDRESS, DATA_PORT) || data.listen(ADDRESS)))
            qFatal("Cannot listen on %s", qPrintable(ADDRESS.toString()));
        QObject::connect(&data, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = data.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [socket] { socket->readAll(); });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QCoreApplication* application;
    QTcpServer control;
    QTcpServer data;
};

void processEventsFor(int milliseconds)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, milliseconds);
}

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static Environment environment;
    if (size == 0)
        return 0;
    const int abortAfter = bytes[0] >= 64 ? bytes[0] % 64 : -1;
    const QByteArray replies(reinterpret_cast<const char*>(bytes) + 1, static_cast<int>(size - 1));

    auto* ftp = new QFtp;
    int started = 0;
    QObject::connect(ftp, &QFtp::commandStarted, [&started](int id) { started = id; });
    QObject::connect(ftp, &QFtp::commandFinished, [&started](int id, bool) {
        check(id == started);
        started = 0;
    });
    QObject::connect(ftp, &QFtp::done, [ftp](bool error) {
        check(error == (ftp->error() != QFtp::NoError));
        check(!error || !ftp->errorString().isEmpty());
    });
    QBuffer device;
    device.setData(QByteArray(40000, 'd'));
    device.open(QIODevice::ReadOnly);
    ftp->connectToHost(ADDRESS.toString(), environment.control.serverPort());
    ftp->login(QStringLiteral("user"), QStringLiteral("password"));
    ftp->cd(QStringLiteral("folder"));
    ftp->mkdir(QStringLiteral("made"));
    ftp->put(QByteArray(20000, 'b'), QStringLiteral("bytes.bin"));
    ftp->put(&device, QStringLiteral("device.bin"));
    ftp->close();

    QDeadlineTimer acceptDeadline(2000);
    while (!environment.control.hasPendingConnections() && !acceptDeadline.hasExpired())
        processEventsFor(1);
    QTcpSocket* server = environment.control.nextPendingConnection();
    check(server != nullptr);

    const QList<QByteArray> lines = replies.split('\n');
    for (int i = 0; i < lines.size() && server->state() == QAbstractSocket::ConnectedState; ++i) {
        server->write(i + 1 < lines.size() ? lines.at(i) + '\n' : lines.at(i));
        server->flush();
        processEventsFor(0);
        processEventsFor(0);
        if (i == abortAfter)
            ftp->abort();
    }
    // However the replies left it, the client must come to an end when the
    // server hangs up.
    server->disconnectFromHost();
    QDeadlineTimer endDeadline(2000);
    while ((started != 0 || ftp->state() != QFtp::Unconnected) && !endDeadline.hasExpired())
        processEventsFor(1);
    check(started == 0);
    check(ftp->state() == QFtp::Unconnected);
    delete ftp;
    delete server;
    processEventsFor(0);
    return 0;
}
