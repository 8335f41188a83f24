#pragma once

#include "temporaryfolder.h"

#include <QList>
#include <QSharedPointer>
#include <QVariantMap>

#include <memory>

class RecentProjectManager;
class RecentProjectModel;

// A recent-projects store in a temporary folder, with one saved project per
// settings map (video "/v/<n>.mp4", or firstVideo for the first, each with a
// small green preview), opened again from its file and shown by a model.
class RecentProjects
{
public:
    explicit RecentProjects(const QList<QVariantMap>& settings,
                            const QString& firstVideo = QString());
    ~RecentProjects();

    // The preview every project was saved with.
    static QImage previewImage();

    TemporaryFolder folder;
    QSharedPointer<RecentProjectManager> store;
    std::unique_ptr<RecentProjectModel> model;
};
