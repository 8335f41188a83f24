#include "processes.h"

#include <QDir>
#include <QFile>

QList<qint64> processesWithArgument(const QString& text)
{
    QList<qint64> found;
    const QByteArray needle = text.toUtf8();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> arguments = cmdline.readAll().split('\0');
        for (const QByteArray& argument : arguments) {
            if (argument.contains(needle)) {
                found.append(pid);
                break;
            }
        }
    }
    return found;
}
