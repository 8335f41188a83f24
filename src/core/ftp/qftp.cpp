#include "qftp.h"

#include "qftpcommand.h"
#include "qftppi.h"

#include <QTimer>
#include <QtDebug>

#include <deque>

class QFtpPrivate
{
public:
    explicit QFtpPrivate(QFtp* q);

    int addCommand(const QFtpCommand& command);
    void startNextCommand();
    void piFinished();
    void piError(int code, const QString& text);
    void piConnectState(int state);

    QFtp* const q;
    std::deque<QFtpCommand> pending;
    bool running = false;
    QFtp::State state = QFtp::Unconnected;
    QFtp::Error error = QFtp::NoError;
    QString errorString;
    bool closeWaitForStateChange = false;
    QFtpPI pi;

    void dropQueuedAfterRunning();

private:
    void setState(QFtp::State newState);
    void finishRunning();
    static QString errorTemplate(QFtp::Command command);
};

QFtpPrivate::QFtpPrivate(QFtp* q)
    : q(q)
    , errorString(QFtp::tr("Unknown error"))
{ }

int QFtpPrivate::addCommand(const QFtpCommand& command)
{
    pending.push_back(command);
    // Deferred, so that a caller may queue several operations before any runs.
    if (pending.size() == 1)
        QTimer::singleShot(0, q, [this] { startNextCommand(); });
    return command.id();
}

void QFtpPrivate::startNextCommand()
{
    if (pending.empty() || running)
        return;
    error = QFtp::NoError;
    errorString = QFtp::tr("Unknown error");
    running = true;
    const QFtpCommand command = pending.front();
    emit q->commandStarted(command.id());

    switch (command.command()) {
    case QFtp::ConnectToHost:
        pi.connectToHost(command.host(), command.port());
        return;
    case QFtp::Close:
        if (state != QFtp::Unconnected)
            setState(QFtp::Closing);
        break;
    case QFtp::Put:
        if (command.isByteArray()) {
            pi.dtp()->setData(command.data());
            pi.dtp()->setBytesTotal(command.data().size());
        } else {
            QIODevice* device = command.device();
            pi.dtp()->setDevice(device);
            pi.dtp()->setBytesTotal(device && !device->isSequential() ? device->size() : 0);
        }
        break;
    default:
        break;
    }
    if (!pi.sendCommands(command.lines()))
        piError(QFtp::UnknownError, QFtp::tr("The previous command has not finished"));
}

void QFtpPrivate::piFinished()
{
    if (!running)
        return;
    if (pending.front().command() == QFtp::Close && state != QFtp::Unconnected) {
        closeWaitForStateChange = true;
        return;
    }
    finishRunning();
}

void QFtpPrivate::finishRunning()
{
    running = false;
    closeWaitForStateChange = false;
    emit q->commandFinished(pending.front().id(), false);
    pending.pop_front();
    if (pending.empty())
        emit q->done(false);
    else
        startNextCommand();
}

void QFtpPrivate::piError(int code, const QString& text)
{
    if (!running) {
        qWarning("QFtpPrivate::_q_piError was called without pending command!");
        return;
    }
    const QFtp::Command command = pending.front().command();
    const QString line = pi.currentCommand();
    // A server need not support ALLO; the upload goes on without it.
    if (command == QFtp::Put && line.startsWith(QLatin1String("ALLO ")))
        return;

    error = static_cast<QFtp::Error>(code);
    const QString errorPattern = errorTemplate(command);
    errorString = errorPattern.isEmpty() ? text : errorPattern.arg(text);

    pi.clearPendingCommands();
    dropQueuedAfterRunning();
    running = false;
    closeWaitForStateChange = false;
    emit q->commandFinished(pending.front().id(), true);
    pending.pop_front();
    emit q->done(true);
    // Operations queued by the slots above would otherwise never start.
    if (!pending.empty())
        QTimer::singleShot(0, q, [this] { startNextCommand(); });
}

void QFtpPrivate::piConnectState(int newState)
{
    setState(static_cast<QFtp::State>(newState));
    const bool closeEnded =
        newState == QFtp::Unconnected && running && pending.front().command() == QFtp::Close;
    if (closeWaitForStateChange || closeEnded)
        finishRunning();
}

void QFtpPrivate::setState(QFtp::State newState)
{
    if (state == newState)
        return;
    state = newState;
    emit q->stateChanged(newState);
}

void QFtpPrivate::dropQueuedAfterRunning()
{
    if (!pending.empty())
        pending.erase(pending.begin() + 1, pending.end());
}

QString QFtpPrivate::errorTemplate(QFtp::Command command)
{
    // Not translated: callers show them as they are.
    switch (command) {
    case QFtp::ConnectToHost:
        return QStringLiteral("Connecting to host failed:\n%1");
    case QFtp::Login:
        return QStringLiteral("Login failed:\n%1");
    case QFtp::List:
        return QStringLiteral("Listing directory failed:\n%1");
    case QFtp::Cd:
        return QStringLiteral("Changing directory failed:\n%1");
    case QFtp::Get:
        return QStringLiteral("Downloading file failed:\n%1");
    case QFtp::Put:
        return QStringLiteral("Uploading file failed:\n%1");
    case QFtp::Remove:
        return QStringLiteral("Removing file failed:\n%1");
    case QFtp::Mkdir:
        return QStringLiteral("Creating directory failed:\n%1");
    case QFtp::Rmdir:
        return QStringLiteral("Removing directory failed:\n%1");
    default:
        return QString();
    }
}

QFtp::QFtp(QObject* parent)
    : QObject(parent)
    , d(new QFtpPrivate(this))
{
    QFtpPrivate* const p = d.data();
    connect(&p->pi, &QFtpPI::finished, this, [p] { p->piFinished(); });
    connect(&p->pi, &QFtpPI::error, this,
            [p](int code, const QString& text) { p->piError(code, text); });
    connect(&p->pi, &QFtpPI::connectState, this, [p](int state) { p->piConnectState(state); });
    connect(p->pi.dtp(), &QFtpDTP::dataTransferProgress, this, &QFtp::dataTransferProgress);
}

QFtp::~QFtp()
{
    // Whoever listens may be going away with us.
    blockSignals(true);
    abort();
}

int QFtp::connectToHost(const QString& host, quint16 port)
{
    return d->addCommand(QFtpCommand::connection(host, port));
}

int QFtp::login(const QString& user, const QString& password)
{
    const QString name = user.isNull() ? QStringLiteral("anonymous") : user;
    const QString secret = password.isNull() ? QStringLiteral("anonymous@") : password;
    return d->addCommand(QFtpCommand(Login,
                                     {QStringLiteral("USER ") + name + QStringLiteral("\r\n"),
                                      QStringLiteral("PASS ") + secret + QStringLiteral("\r\n")}));
}

int QFtp::cd(const QString& directory)
{
    return d->addCommand(
        QFtpCommand(Cd, {QStringLiteral("CWD ") + directory + QStringLiteral("\r\n")}));
}

int QFtp::mkdir(const QString& directory)
{
    return d->addCommand(
        QFtpCommand(Mkdir, {QStringLiteral("MKD ") + directory + QStringLiteral("\r\n")}));
}

namespace {
QStringList uploadLines(const QString& file, QFtp::TransferType type, qint64 size)
{
    QStringList lines {type == QFtp::Ascii ? QStringLiteral("TYPE A\r\n")
                                           : QStringLiteral("TYPE I\r\n"),
                       QStringLiteral("PASV\r\n")};
    if (size >= 0)
        lines << QStringLiteral("ALLO ") + QString::number(size) + QStringLiteral("\r\n");
    lines << QStringLiteral("STOR ") + file + QStringLiteral("\r\n");
    return lines;
}
} // namespace

int QFtp::put(const QByteArray& data, const QString& file, TransferType type)
{
    return d->addCommand(QFtpCommand::upload(uploadLines(file, type, data.size()), data));
}

int QFtp::put(QIODevice* device, const QString& file, TransferType type)
{
    const qint64 size = device && !device->isSequential() ? device->size() : -1;
    return d->addCommand(QFtpCommand::upload(uploadLines(file, type, size), device));
}

int QFtp::close()
{
    return d->addCommand(QFtpCommand(Close, {QStringLiteral("QUIT\r\n")}));
}

QFtp::State QFtp::state() const
{
    return d->state;
}

QFtp::Error QFtp::error() const
{
    return d->error;
}

QString QFtp::errorString() const
{
    return d->errorString;
}

void QFtp::abort()
{
    if (d->pending.empty())
        return;
    d->dropQueuedAfterRunning();
    d->pi.abort();
}
