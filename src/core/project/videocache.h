#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

// The encoded outputs a project has already produced, keyed by the encoder
// parameters they were made with, so that an unchanged format is never
// encoded twice.
class VideoCache
{
public:
    // Path of the file encoded with these parameters, or an empty string.
    virtual QString getVideo(const QMap<QString, QVariant>& parameters) const = 0;
    // Remembers the file encoded with these parameters, replacing the entry of
    // equal parameters (whose file stays on disk).
    virtual void addVideo(const QMap<QString, QVariant>& parameters, const QString& path) = 0;
    // Deletes every file of the cache and forgets them.
    virtual void clear() = 0;
    virtual ~VideoCache() = default;
};
