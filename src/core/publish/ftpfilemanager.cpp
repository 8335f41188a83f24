#include "publish/ftpfilemanager.h"

#include "ftp/qftp.h"

#include <QTimer>

namespace {
const int CONNECTION_ATTEMPTS = 3;
}

FtpFileManager::FtpFileManager(const QUrl& server)
    : m_ftp(new QFtp)
    , m_server(server)
{
    connect(m_ftp.get(), &QFtp::done, this, &FtpFileManager::done1);
    connect(m_ftp.get(), &QFtp::dataTransferProgress, this, &FtpFileManager::dataTransferProgress);
}

FtpFileManager::~FtpFileManager()
{
    // The client aborts and closes as it goes; this object is no longer
    // there to hear about it.
    m_ftp->disconnect(this);
}

QString FtpFileManager::errorString() const
{
    return m_ftp->errorString();
}

bool FtpFileManager::mkpath(const QString& path)
{
    // The walk up below cuts at "/" and rebuilds from the root: it needs
    // the absolute form.
    m_server.setPath(path.startsWith(QLatin1Char('/')) ? path : QLatin1Char('/') + path,
                     QUrl::DecodedMode);
    return runOperation(MakePath);
}

bool FtpFileManager::putfile(const QString& path, const QByteArray& data)
{
    m_currentPath = path;
    m_data = data;
    m_fromFile = false;
    return runOperation(PutFile);
}

bool FtpFileManager::putfile(const QString& path, const QString& localFile)
{
    m_file.setFileName(localFile);
    if (!m_file.open(QIODevice::ReadOnly))
        return false;
    m_currentPath = path;
    m_fromFile = true;
    const bool stored = runOperation(PutFile);
    m_file.close();
    return stored;
}

bool FtpFileManager::runOperation(Operation operation)
{
    m_operation = operation;
    m_step = Start;
    m_result = -1;
    done1(false);
    // A step may already have ended the operation; the loop would then
    // miss its exit.
    if (m_result < 0)
        m_loop.exec();
    m_data.clear();
    return m_result == 1;
}

void FtpFileManager::finish(bool success)
{
    m_result = success ? 1 : 0;
    m_loop.exit(m_result);
}

void FtpFileManager::retryLater(Step next)
{
    m_step = next;
    QTimer::singleShot(0, this, &FtpFileManager::cont1);
}

void FtpFileManager::cont1()
{
    done1(false);
}

void FtpFileManager::done1(bool error)
{
    switch (m_step) {
    case Start:
        m_attemptsLeft = CONNECTION_ATTEMPTS;
        m_step = Connect;
        Q_FALLTHROUGH();
    case Connect:
        if (m_ftp->state() != QFtp::LoggedIn) {
            if (m_ftp->state() != QFtp::Connected)
                m_ftp->connectToHost(m_server.host(QUrl::FullyDecoded),
                                     static_cast<quint16>(m_server.port(21)));
            const QString user = m_server.userName(QUrl::FullyDecoded);
            m_ftp->login(user.isEmpty() ? QStringLiteral("anonymous") : user,
                         m_server.password(QUrl::FullyDecoded));
            m_step = LoggedIn;
            return;
        }
        m_step = LoggedIn;
        Q_FALLTHROUGH();
    case LoggedIn:
        if (error) {
            // A refused login would be refused again: only a connection
            // that failed is tried anew.
            if (m_ftp->state() == QFtp::Connected || --m_attemptsLeft <= 0)
                finish(false);
            else
                retryLater(Connect);
            return;
        }
        m_step = Ready;
        break;
    default:
        break;
    }
    if (m_operation == MakePath)
        doMkPath(error);
    else
        doPutFile(error);
}

void FtpFileManager::cutCurrentPath()
{
    m_currentPath.truncate(qMax(0, m_currentPath.lastIndexOf(QLatin1Char('/'))));
}

void FtpFileManager::doMkPath(bool error)
{
    const QString target = m_server.path(QUrl::FullyDecoded);
    switch (m_step) {
    case Ready:
        if (error) {
            finish(false);
            return;
        }
        m_ftp->cd(target);
        m_step = TryWhole;
        return;
    case TryWhole:
    case CheckUp:
        if (error) {
            if (m_step == TryWhole)
                m_currentPath = target;
            cutCurrentPath();
            retryLater(m_currentPath.isEmpty() ? Root : WalkUp);
            return;
        }
        if (m_step == TryWhole) {
            finish(true); // the folder exists and is now the current one
            return;
        }
        m_step = Create;
        break;
    case WalkUp:
        m_ftp->cd(m_currentPath);
        m_step = CheckUp;
        return;
    case Root:
        // The commands of Create queue up behind this one.
        m_ftp->cd(QStringLiteral("/"));
        m_step = Create;
        error = false;
        break;
    case Create:
        break;
    default:
        return;
    }

    if (error) {
        finish(false);
        return;
    }
    if (m_currentPath == target) {
        finish(true);
        return;
    }
    const int start = m_currentPath.size() + 1;
    const int slash = target.indexOf(QLatin1Char('/'), start);
    const QString name = target.mid(start, slash < 0 ? -1 : slash - start);
    m_ftp->mkdir(name);
    m_ftp->cd(name);
    m_currentPath += QLatin1Char('/') + name;
}

void FtpFileManager::doPutFile(bool error)
{
    switch (m_step) {
    case Ready:
        if (error) {
            finish(false);
            return;
        }
        if (m_fromFile)
            m_ftp->put(&m_file, m_currentPath, QFtp::Binary);
        else
            m_ftp->put(m_data, m_currentPath, QFtp::Binary);
        m_step = Sent;
        return;
    case Sent:
        finish(!error);
        return;
    default:
        return;
    }
}
