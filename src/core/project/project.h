#pragma once

#include <QMap>
#include <QPixmap>
#include <QSharedPointer>
#include <QString>
#include <QUuid>
#include <QVariant>

class VideoCache;

// What the program remembers about one source video: its id, path, settings,
// preview picture and the cache of its encoded outputs.
class Project
{
public:
    virtual QUuid id() const = 0;
    virtual QString videoPath() const = 0;
    virtual QPixmap videoPreview() const = 0;
    virtual void setVideoPreview(const QPixmap& preview) = 0;
    virtual const QMap<QString, QVariant>& settings() const = 0;
    virtual QMap<QString, QVariant>& rsettings() = 0;
    virtual void setSettings(const QMap<QString, QVariant>& settings) = 0;
    // Owned by the project.
    virtual VideoCache* getVideoCache() const = 0;
    virtual bool load(const QString& file) = 0;
    virtual bool save(const QString& file) = 0;
    virtual ~Project() = default;
};

// An empty project (null id, no path, no settings) to be filled by load().
QSharedPointer<Project> createXmlProject();
// A new project for the video, with a new random id.
QSharedPointer<Project> createXmlProject(const QString& videoPath);
// Deletes the project file, its picture, its cache file and every encoded file
// the cache lists. Files that cannot be deleted are left.
void removeXmlProject(const QString& file);
