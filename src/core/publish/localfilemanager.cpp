#include "publish/localfilemanager.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

bool LocalFileManager::mkpath(const QString& path)
{
    if (QDir().mkpath(path))
        return true;
    m_error = tr("Failed to create the directory '%1'").arg(path);
    return false;
}

bool LocalFileManager::putfile(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = tr("Failed to create the file '%1'").arg(path);
        return false;
    }
    if (file.write(data) != data.size() || !file.commit()) {
        m_error = tr("Error writing to the file '%1'").arg(path);
        return false;
    }
    return true;
}

bool LocalFileManager::putfile(const QString& path, const QString& localFile)
{
    // A missing source must not cost the file already published at `path`.
    QFile source(localFile);
    if (!source.open(QIODevice::ReadOnly)) {
        m_error = source.exists() ? tr("Error writing to the file '%1'").arg(path)
                                  : tr("The file '%1' is not exist").arg(localFile);
        return false;
    }
    QSaveFile target(path);
    bool written = target.open(QIODevice::WriteOnly);
    while (written && !source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        if (chunk.isEmpty())
            break;
        written = target.write(chunk) == chunk.size();
    }
    if (!written || !source.atEnd() || !target.commit()) {
        m_error = tr("Error writing to the file '%1'").arg(path);
        return false;
    }
    return true;
}
