#include "util/miscutils.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {
const char* const RESOURCES_ENVIRONMENT_VARIABLE = "TOVALUMEN_RESOURCES";

QString executableDir()
{
    // Works before (and without) an application object, unlike
    // QCoreApplication::applicationDirPath().
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

QString locateResourcesFolder()
{
    qDebug() << "Locating the resource folder";
    return resolveResourcesPath(QFile::decodeName(qgetenv(RESOURCES_ENVIRONMENT_VARIABLE)),
                                executableDir(), QStringLiteral(TOVALUMEN_BUILD_RESOURCE_DIR));
}

int alignDimension(int value, int alignment)
{
    if (alignment <= 0)
        return value;
    const int rounded = value + alignment - 1;
    return rounded - rounded % alignment;
}
} // namespace

QString resolveResourcesPath(const QString& fromEnvironment, const QString& executableDir,
                             const QString& buildTreeFolder)
{
    if (!fromEnvironment.isEmpty())
        return QDir::cleanPath(fromEnvironment);
    const QString installed =
        QDir::cleanPath(executableDir + QStringLiteral("/../share/tovalumen"));
    if (!executableDir.isEmpty() && QFileInfo(installed).isDir())
        return installed;
    return QDir::cleanPath(buildTreeFolder);
}

QString getResourcesPath()
{
    static const QString resourcesPath = locateResourcesFolder();
    qDebug() << resourcesPath;
    return resourcesPath;
}

void openFile(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString readShortcutUrl(const QString& path)
{
    const QSettings shortcut(path, QSettings::IniFormat);
    QString url = shortcut.value(QStringLiteral("InternetShortcut/URL")).toString();
    url.replace(QStringLiteral("%ver%"), QCoreApplication::applicationVersion());
    url.replace(QStringLiteral("%os%"), QStringLiteral("win"));
    return url;
}

void openUrlFile(const QString& path)
{
    const QString url = readShortcutUrl(path);
    if (!url.isEmpty())
        QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
}

QString UUid2String(const QUuid& id)
{
    const QString text = id.toString();
    return text.mid(1, text.size() - 2);
}

QSize alignSize(const QSize& size, const QSize& alignment)
{
    return QSize(alignDimension(size.width(), alignment.width()),
                 alignDimension(size.height(), alignment.height()));
}

QString changeFileExt(const QString& path, const QString& extension)
{
    const QFileInfo info(path);
    return QStringLiteral("%1/%2.%3").arg(info.path(), info.completeBaseName(), extension);
}

QString quotedString(QString text)
{
    text.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}
