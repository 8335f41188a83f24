#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>

class QFtp;

// Records what a QFtp client signals, in order, as readable lines such as
// "commandStarted(1)", "stateChanged(3)", "commandFinished(1, false)" and
// "done(false)"; progress is kept apart.
class FtpSignalLog : public QObject
{
    Q_OBJECT
public:
    explicit FtpSignalLog(QFtp* ftp);

    // Runs the event loop until the client signals done once more.
    bool waitForDone(int timeoutMs = 60000);

    QStringList events;
    QList<QPair<qint64, qint64>> progress;
    int doneCount = 0;
    bool lastDoneError = false;
};
