#include "ftp/qftp.h"
#include "ftpserverfixture.h"
#include "temporaryfolder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

// Uploads a 200 MB file to a loopback pyftpdlib with our client and with
// curl -T, one after the other in each round. Each round's ratio compares
// runs made seconds apart, which keeps the load of a busy machine out of it
// better than comparing the fastest runs; the median ratio is the result.
// Both include connecting, logging in and quitting.
namespace {
const qint64 FILE_SIZE = 200LL * 1024 * 1024;
const int ROUNDS = 7;

QString makeFile(const TemporaryFolder& folder)
{
    const QString path = folder.filePath(QStringLiteral("upload.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    QByteArray block(1 << 20, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (qint64 written = 0; written < FILE_SIZE; written += block.size()) {
        generator.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
        if (file.write(block) != block.size())
            return QString();
    }
    return path;
}

// Seconds for one upload with our client, or a negative number on failure.
double uploadWithQFtp(const FtpServerFixture& server, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QElapsedTimer clock;
    clock.start();
    QFtp ftp;
    QEventLoop loop;
    QObject::connect(&ftp, &QFtp::done, &loop, [&loop](bool error) { loop.exit(error ? 1 : 0); });
    ftp.connectToHost(server.host(), server.port());
    ftp.login(server.user(), server.password());
    ftp.put(&file, QStringLiteral("qftp.bin"));
    ftp.close();
    if (loop.exec() != 0) {
        std::fprintf(stderr, "QFtp: %s\n", qPrintable(ftp.errorString()));
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

double uploadWithCurl(const FtpServerFixture& server, const QString& path)
{
    QProcess curl;
    curl.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer clock;
    clock.start();
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("-sS"), QStringLiteral("--user"),
                server.user() + QLatin1Char(':') + server.password(), QStringLiteral("-T"), path,
                QStringLiteral("ftp://%1:%2/curl.bin").arg(server.host()).arg(server.port())});
    if (!curl.waitForFinished(600000) || curl.exitStatus() != QProcess::NormalExit ||
        curl.exitCode() != 0) {
        std::fprintf(stderr, "curl failed: %s\n", qPrintable(curl.errorString()));
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

bool arrived(const FtpServerFixture& server, const QString& name)
{
    return QFileInfo(server.localPath(name)).size() == FILE_SIZE;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    FtpServerFixture server;
    if (!server.start()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
        return 1;
    }
    TemporaryFolder folder;
    const QString path = makeFile(folder);
    if (path.isEmpty()) {
        std::fprintf(stderr, "Cannot write the test file\n");
        return 1;
    }
    double bestQFtp = 1e9;
    double bestCurl = 1e9;
    std::vector<double> ratios;
    for (int round = 0; round < ROUNDS; ++round) {
        const double qftp = uploadWithQFtp(server, path);
        const double curl = uploadWithCurl(server, path);
        if (qftp < 0 || curl < 0 || !arrived(server, QStringLiteral("/qftp.bin")) ||
            !arrived(server, QStringLiteral("/curl.bin")))
            return 1;
        std::printf("round %d: QFtp %.3f s, curl %.3f s\n", round + 1, qftp, curl);
        ratios.push_back(curl / qftp);
        bestQFtp = std::min(bestQFtp, qftp);
        bestCurl = std::min(bestCurl, curl);
    }
    const double megabytes = FILE_SIZE / (1024.0 * 1024.0);
    std::sort(ratios.begin(), ratios.end());
    std::printf("QFtp upload, fastest round: %.1f MB/s\n", megabytes / bestQFtp);
    std::printf("curl -T upload, fastest round: %.1f MB/s\n", megabytes / bestCurl);
    std::printf("throughput ratio QFtp/curl, median of the rounds: %.2f (goal: at least 0.90)\n",
                ratios[ratios.size() / 2]);
    return 0;
}
