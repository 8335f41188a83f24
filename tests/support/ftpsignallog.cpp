#include "ftpsignallog.h"

#include "ftp/qftp.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

namespace {
QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}
} // namespace

FtpSignalLog::FtpSignalLog(QFtp* ftp)
    : QObject(ftp)
{
    connect(ftp, &QFtp::commandStarted, this,
            [this](int id) { events << QStringLiteral("commandStarted(%1)").arg(id); });
    connect(ftp, &QFtp::stateChanged, this,
            [this](int state) { events << QStringLiteral("stateChanged(%1)").arg(state); });
    connect(ftp, &QFtp::commandFinished, this, [this](int id, bool error) {
        events << QStringLiteral("commandFinished(%1, %2)").arg(id).arg(boolText(error));
    });
    connect(ftp, &QFtp::done, this, [this](bool error) {
        events << QStringLiteral("done(%1)").arg(boolText(error));
        lastDoneError = error;
        ++doneCount;
    });
    connect(ftp, &QFtp::dataTransferProgress, this,
            [this](qint64 done, qint64 total) { progress.append(qMakePair(done, total)); });
}

bool FtpSignalLog::waitForDone(int timeoutMs)
{
    const int target = doneCount + 1;
    QDeadlineTimer deadline(timeoutMs);
    while (doneCount < target && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return doneCount >= target;
}
