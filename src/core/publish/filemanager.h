#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Where a publish job stores its output: a folder on this computer or an FTP
// server. Every operation returns when its work is done or has failed;
// errorString() then tells what went wrong. Paths are absolute.
class FileManager : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Makes the folder and every missing parent.
    virtual bool mkpath(const QString& path) = 0;
    // Stores the bytes as the file at `path`.
    virtual bool putfile(const QString& path, const QByteArray& data) = 0;
    // Stores a copy of the local file at `path`.
    virtual bool putfile(const QString& path, const QString& localFile) = 0;
    virtual QString errorString() const = 0;
};
