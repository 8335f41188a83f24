#include "headlesschromium.h"

#include "processes.h"

#include <QDir>
#include <QThread>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

void HeadlessChromium::GroupLeader::setupChildProcess()
{
    ::setpgid(0, 0);
}

HeadlessChromium::HeadlessChromium(const QStringList& extraArguments)
    : m_extraArguments(extraArguments)
    , m_profile(QDir::tempPath() + QStringLiteral("/tovalumen-chromium-XXXXXX"))
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

HeadlessChromium::~HeadlessChromium()
{
    stop();
}

QString HeadlessChromium::program()
{
    return QStringLiteral("/usr/bin/chromium");
}

bool HeadlessChromium::open(const QUrl& url)
{
    if (!m_profile.isValid())
        return false;
    const QStringList arguments =
        QStringList {QStringLiteral("--headless"),
                     QStringLiteral("--no-sandbox"),
                     QStringLiteral("--disable-gpu"),
                     QStringLiteral("--disable-background-networking"),
                     QStringLiteral("--disable-component-update"),
                     QStringLiteral("--disable-sync"),
                     QStringLiteral("--no-first-run"),
                     QStringLiteral("--user-data-dir=") + m_profile.path()} +
        m_extraArguments + QStringList {url.toString()};
    m_process.start(program(), arguments);
    return m_process.waitForStarted(30000);
}

QString HeadlessChromium::output()
{
    m_output += m_process.readAll();
    return QString::fromLocal8Bit(m_output);
}

void HeadlessChromium::stop()
{
    const qint64 group = m_process.processId();
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    if (group > 0)
        ::kill(-static_cast<pid_t>(group), SIGKILL);
    // Helpers that outlived the browser are found by the profile folder
    // that only our browser was given.
    for (int round = 0; round < 50; ++round) {
        const QList<qint64> leftovers = processesWithArgument(m_profile.path());
        if (leftovers.isEmpty())
            break;
        for (const qint64 pid : leftovers)
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        QThread::msleep(100);
    }
}
