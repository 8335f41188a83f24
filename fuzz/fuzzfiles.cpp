#include "fuzzfiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

QString scratchPath(const QString& name)
{
    static const QTemporaryDir folder;
    return folder.filePath(name);
}

QString writeScratchFile(const QString& name, const uint8_t* data, size_t size)
{
    const QString path = scratchPath(name);
    QFile file(path);
    const qint64 length = static_cast<qint64>(size);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), length) != length)
        std::abort();
    return path;
}

QByteArray readWholeFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
