#include "recentprojects.h"

#include "project/project.h"
#include "project/recentprojectmanager.h"
#include "project/recentprojectmodel.h"

#include <QImage>
#include <QPixmap>

RecentProjects::RecentProjects(const QList<QVariantMap>& settings, const QString& firstVideo)
{
    const QString storeFile = folder.filePath(QStringLiteral("projects.xml"));
    store.reset(CreateXmlRecentProjectManager(storeFile));
    for (int i = 0; i < settings.count(); ++i) {
        const auto project = createXmlProject(
            i == 0 && !firstVideo.isNull() ? firstVideo : QStringLiteral("/v/%1.mp4").arg(i));
        project->setSettings(settings.at(i));
        project->setVideoPreview(QPixmap::fromImage(previewImage()));
        const QString file = folder.filePath(QStringLiteral("%1.xml").arg(i));
        project->save(file);
        store->addProject(project, file, -1);
    }
    store->save();
    // Opened again, so that the projects come from their files.
    store.reset(CreateXmlRecentProjectManager(storeFile));
    model = std::make_unique<RecentProjectModel>(store);
}

RecentProjects::~RecentProjects() = default;

QImage RecentProjects::previewImage()
{
    QImage image(48, 27, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    return image;
}
