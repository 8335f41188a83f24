#include "ftpserverfixture.h"

#include <QElapsedTimer>

namespace {
// Prints the port it listens on, then serves until killed or until its
// standard input closes (the test process is gone).
const char SERVER_SCRIPT[] = R"(
import logging, os, sys, threading
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.log import config_logging
from pyftpdlib.servers import FTPServer

host, root, user, password, command_log = sys.argv[1:6]
config_logging(level=logging.WARNING)
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, root, perm="elradfmwMT")

class LoggingHandler(FTPHandler):
    # Written before the command runs, so before its reply reaches the client.
    def pre_process_command(self, line, cmd, arg):
        with open(command_log, "a") as log:
            log.write(line + "\n")
        super().pre_process_command(line, cmd, arg)

LoggingHandler.authorizer = authorizer
LoggingHandler.auth_failed_timeout = 0
server = FTPServer((host, 0), LoggingHandler)
print(server.address[1], flush=True)

def end_with_parent():
    sys.stdin.read()
    os._exit(0)

threading.Thread(target=end_with_parent, daemon=True).start()
server.serve_forever(handle_exit=False)
)";

const int START_TIMEOUT_MS = 15000;
} // namespace

FtpServerFixture::FtpServerFixture()
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

FtpServerFixture::~FtpServerFixture()
{
    stop();
}

void FtpServerFixture::setCredentials(const QString& user, const QString& password)
{
    m_user = user;
    m_password = password;
}

bool FtpServerFixture::start()
{
    stop();
    if (!m_root.isValid()) {
        m_errorString = QStringLiteral("No temporary root folder");
        return false;
    }
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-c"), QString::fromUtf8(SERVER_SCRIPT), host(), rootPath(),
                     m_user, m_password, commandLogPath()});
    QElapsedTimer clock;
    clock.start();
    while (!m_process.canReadLine() && clock.elapsed() < START_TIMEOUT_MS &&
           m_process.state() != QProcess::NotRunning)
        m_process.waitForReadyRead(START_TIMEOUT_MS - static_cast<int>(clock.elapsed()));
    bool ok = false;
    m_port = static_cast<quint16>(m_process.readLine().trimmed().toUInt(&ok));
    if (ok && m_port != 0)
        return true;
    m_errorString = QStringLiteral("The FTP server (pyftpdlib with /usr/bin/python3) did not "
                                   "start: %1")
                        .arg(m_process.errorString());
    stop();
    return false;
}

void FtpServerFixture::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    m_port = 0;
}

bool FtpServerFixture::isRunning() const
{
    return m_process.state() == QProcess::Running && m_port != 0;
}

QUrl FtpServerFixture::url() const
{
    QUrl url;
    url.setScheme(QStringLiteral("ftp"));
    url.setHost(host());
    url.setPort(m_port);
    url.setUserName(m_user);
    url.setPath(QStringLiteral("/"));
    return url;
}

QString FtpServerFixture::commandLogPath() const
{
    return m_log.filePath(QStringLiteral("commands.log"));
}

QStringList FtpServerFixture::commands() const
{
    return QString::fromUtf8(m_log.readFile(QStringLiteral("commands.log")))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString FtpServerFixture::localPath(const QString& serverPath) const
{
    return rootPath() + QLatin1Char('/') +
        serverPath.section(QLatin1Char('/'), 0, -1, QString::SectionSkipEmpty);
}
