#include "project/recentprojectmanager.h"

#include "project/project.h"
#include "project/xmlfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QObject>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {
const QString RecentProjectsTag = QStringLiteral("RecentProjects");
const QString ProjectTag = QStringLiteral("Project");
const QString VideoPathTag = QStringLiteral("VideoPath");
const QString ProjectPathTag = QStringLiteral("ProjectPath");
const QString VersionAttribute = QStringLiteral("version");
const QString Version = QStringLiteral("1.0");
} // namespace

// The store in its XML file ("projects.xml").
class XmlRecentProjectManager : public QObject, public RecentProjectManager
{
    Q_OBJECT
public:
    explicit XmlRecentProjectManager(const QString& path);

    int count() const override { return m_projects.count(); }
    QSharedPointer<Project> getProject(int index) const override;
    int findProjectIndex(const QString& videoPath) override;
    void addProject(QSharedPointer<Project> project, const QString& projectFile,
                    int position) override;
    void save() override;
    void removeProject(int index, bool keepFiles) override;

private:
    struct RecentProject
    {
        QString videoPath;
        QString projectFile;
        // Loaded on the first request: a long list must open quickly.
        QSharedPointer<Project> project;
    };

    void load();
    void readProjects(QXmlStreamReader& reader);
    void readProject(QXmlStreamReader& reader);

    const QString m_path;
    mutable QList<RecentProject> m_projects;
};

XmlRecentProjectManager::XmlRecentProjectManager(const QString& path)
    : m_path(path)
{
    load();
}

QSharedPointer<Project> XmlRecentProjectManager::getProject(int index) const
{
    if (index < 0 || index >= m_projects.count())
        return {};
    RecentProject& entry = m_projects[index];
    if (!entry.project) {
        entry.project = createXmlProject();
        // A file that does not load still leaves a listed, if empty, project.
        entry.project->load(entry.projectFile);
    }
    return entry.project;
}

int XmlRecentProjectManager::findProjectIndex(const QString& videoPath)
{
    for (int i = 0; i < m_projects.count(); ++i) {
        if (m_projects.at(i).videoPath == videoPath)
            return i;
    }
    return -1;
}

void XmlRecentProjectManager::addProject(QSharedPointer<Project> project,
                                         const QString& projectFile, int position)
{
    const QString videoPath = project->videoPath();
    int removedAt = -1;
    for (int i = 0; i < m_projects.count();) {
        const RecentProject& entry = m_projects.at(i);
        if (entry.project == project || entry.projectFile == projectFile ||
            entry.videoPath == videoPath) {
            m_projects.removeAt(i);
            removedAt = i;
        } else {
            ++i;
        }
    }
    const RecentProject entry {videoPath, projectFile, project};
    if (position >= 0)
        m_projects.insert(qMin(position, m_projects.count()), entry);
    else if (removedAt >= 0)
        m_projects.insert(removedAt, entry);
    else
        m_projects.append(entry);
}

void XmlRecentProjectManager::removeProject(int index, bool keepFiles)
{
    if (index < 0 || index >= m_projects.count())
        return;
    if (!keepFiles)
        removeXmlProject(m_projects.at(index).projectFile);
    m_projects.removeAt(index);
}

void XmlRecentProjectManager::save()
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    saveXmlFile(m_path, [this](QXmlStreamWriter& writer) {
        writer.writeStartElement(RecentProjectsTag);
        writer.writeAttribute(VersionAttribute, Version);
        for (const RecentProject& entry : qAsConst(m_projects)) {
            writer.writeStartElement(ProjectTag);
            writer.writeTextElement(VideoPathTag, entry.videoPath);
            writer.writeTextElement(ProjectPathTag, entry.projectFile);
            writer.writeEndElement();
        }
        writer.writeEndElement();
    });
}

void XmlRecentProjectManager::load()
{
    QFile input(m_path);
    if (!input.open(QIODevice::ReadOnly))
        return;
    QXmlStreamReader reader(&input);
    while (!reader.atEnd()) {
        // Elements around the root are passed by: their contents are read on.
        if (reader.readNext() != QXmlStreamReader::StartElement || reader.name() != XmlRootTag)
            continue;
        while (reader.readNextStartElement()) {
            if (reader.name() == RecentProjectsTag)
                readProjects(reader);
            else
                reader.skipCurrentElement();
        }
    }
    // A damaged file keeps the entries read before the damage.
}

void XmlRecentProjectManager::readProjects(QXmlStreamReader& reader)
{
    if (reader.attributes().value(VersionAttribute) != Version) {
        reader.raiseError(tr("Project version is unsupported."));
        return;
    }
    m_projects.clear();
    while (reader.readNextStartElement()) {
        if (reader.name() == ProjectTag)
            readProject(reader);
        else
            reader.skipCurrentElement();
    }
}

void XmlRecentProjectManager::readProject(QXmlStreamReader& reader)
{
    RecentProject entry;
    while (reader.readNextStartElement()) {
        if (reader.name() == VideoPathTag)
            entry.videoPath = readXmlText(reader);
        else if (reader.name() == ProjectPathTag)
            entry.projectFile = readXmlText(reader);
        else
            reader.skipCurrentElement();
    }
    // A project whose file has gone is never found again: it leaves the list.
    if (!reader.hasError() && !entry.videoPath.isEmpty() && !entry.projectFile.isEmpty() &&
        QFile::exists(entry.projectFile))
        m_projects.append(entry);
}

RecentProjectManager* CreateXmlRecentProjectManager(const QString& path)
{
    return new XmlRecentProjectManager(path);
}

#include "recentprojectmanager.moc"
