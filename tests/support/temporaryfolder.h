#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A folder that lives as long as the object, with the small file chores tests need.
class TemporaryFolder
{
public:
    TemporaryFolder();

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    // Writes the file (creating missing folders); returns its path, or an
    // empty string on failure.
    QString writeFile(const QString& name, const QByteArray& content) const;
    QByteArray readFile(const QString& name) const;

private:
    QTemporaryDir m_dir;
};
