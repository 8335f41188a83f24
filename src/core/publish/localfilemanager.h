#pragma once

#include "publish/filemanager.h"

// Publishes into a folder of this computer. A stored file replaces an
// existing one only once it is complete: a failed store leaves the old file.
class LocalFileManager : public FileManager
{
    Q_OBJECT
public:
    LocalFileManager() = default;

    bool mkpath(const QString& path) override;
    bool putfile(const QString& path, const QByteArray& data) override;
    bool putfile(const QString& path, const QString& localFile) override;
    QString errorString() const override { return m_error; }

private:
    QString m_error;
};
