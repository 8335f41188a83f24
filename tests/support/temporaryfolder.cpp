#include "temporaryfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TemporaryFolder::TemporaryFolder()
    : m_dir(QDir::tempPath() + QStringLiteral("/tovalumen-test-XXXXXX"))
{ }

QString TemporaryFolder::writeFile(const QString& name, const QByteArray& content) const
{
    const QString path = filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        return QString();
    return path;
}

QByteArray TemporaryFolder::readFile(const QString& name) const
{
    QFile file(filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
