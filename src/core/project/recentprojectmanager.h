#pragma once

#include <QSharedPointer>
#include <QString>

class Project;

// The list of every video the user has opened, newest first, with the path of
// its project file; the only index of the project files.
class RecentProjectManager
{
public:
    virtual int count() const = 0;
    // The entry's project, loaded from its file on the first request and the
    // same object afterwards; null when the index is out of range.
    virtual QSharedPointer<Project> getProject(int index) const = 0;
    // The project of the first entry for exactly this video path, or null.
    virtual QSharedPointer<Project> findProject(const QString& videoPath)
    {
        return getProject(findProjectIndex(videoPath));
    }
    // Index of the first entry for exactly this video path, or -1.
    virtual int findProjectIndex(const QString& videoPath) = 0;
    // Adds the project at the position (0 is the top), removing the entries
    // that are this project, have this project file or this video. A negative
    // position puts it where the last removed entry stood, or at the end.
    virtual void addProject(QSharedPointer<Project> project, const QString& projectFile,
                            int position) = 0;
    // Writes the list to its file; a failure leaves the previous file as it
    // was and is not reported.
    virtual void save() = 0;
    // Removes the entry, and unless keepFiles also its project's files. Does
    // nothing for an index out of range. The file is not written here.
    virtual void removeProject(int index, bool keepFiles) = 0;
    virtual ~RecentProjectManager() = default;
};

// A store kept in the XML file at path, already read from it (empty when the
// file is missing or unreadable). The caller owns it.
RecentProjectManager* CreateXmlRecentProjectManager(const QString& path);
