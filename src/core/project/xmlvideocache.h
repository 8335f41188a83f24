#pragma once

#include "project/videocache.h"

#include <QDateTime>
#include <QHash>

class QXmlStreamReader;

// The parameters out of a full encoder parameter map that decide what an
// encoded file looks like: the keys of SAVED_ENCODE_PARAMS that are present,
// with their values.
QMap<QString, QVariant> extractSavedParameters(const QMap<QString, QVariant>& parameters);

// The cache of a project, stored in the project's ".cache" file. An entry
// whose file has changed or gone since it was added is forgotten when the
// cache is read again.
class XmlVideoCache : public VideoCache
{
public:
    struct EncodedVideo
    {
        QMap<QString, QVariant> parameters;
        QString path;
        // The file as it was when the entry was added.
        QDateTime lastModified;
        qint64 size = 0;
    };

    XmlVideoCache();

    QString getVideo(const QMap<QString, QVariant>& parameters) const override;
    void addVideo(const QMap<QString, QVariant>& parameters, const QString& path) override;
    void clear() override;

    // Replaces the entries with the valid ones of the file. False when the
    // file cannot be opened (the entries stay as they were), is not
    // well-formed or has another version (the entries read so far stay).
    bool load(const QString& file);
    // Writes the file, creating its folder when needed; the previous file is
    // replaced only when the new one was written completely.
    bool save(const QString& file) const;
    // Whether the entry's file still exists with the time and size it had.
    bool isFileValid(const EncodedVideo& video) const;

private:
    // Saved parameter sets compare with QVariant's equality, under which for
    // example the int 1 equals the string "1"; only the keys hash in a way that
    // agrees with it. A cache holds a few dozen entries at most.
    struct Key
    {
        QMap<QString, QVariant> parameters;
        bool operator==(const Key& other) const { return parameters == other.parameters; }
        friend uint qHash(const Key& key, uint seed) { return qHash(key.parameters.keys(), seed); }
    };

    void readEntries(QXmlStreamReader& reader);
    void readEntry(QXmlStreamReader& reader);
    void insert(const EncodedVideo& video);

    QHash<Key, EncodedVideo> m_videos;
};
