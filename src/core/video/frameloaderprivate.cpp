#include "video/frameloaderprivate.h"

#include "video/videofile.h"

#include <QMutexLocker>

FrameLoaderPrivate::FrameLoaderPrivate(FrameLoader& loader)
    : m_loader(loader)
{ }

void FrameLoaderPrivate::setVideo(QSharedPointer<VideoFile> video)
{
    QMutexLocker locker(&m_lock);
    m_video = std::move(video);
}

int FrameLoaderPrivate::enqueue(qint64 position, FrameLoader::Priority priority)
{
    QMutexLocker locker(&m_lock);
    const int id = m_nextId++;
    m_queues[priority].enqueue(QueueItem {id, position, m_video});
    // One processing call per request, through the loader thread's event
    // loop; each call serves whatever is most urgent by then.
    QMetaObject::invokeMethod(&m_loader, &FrameLoader::processRequest, Qt::QueuedConnection);
    return id;
}

void FrameLoaderPrivate::cancel()
{
    QMutexLocker locker(&m_lock);
    m_queues.clear();
}

std::optional<FrameLoaderPrivate::QueueItem> FrameLoaderPrivate::takeNext()
{
    QMutexLocker locker(&m_lock);
    while (!m_queues.empty()) {
        const auto highest = m_queues.begin();
        if (!highest->second.isEmpty())
            return highest->second.dequeue();
        m_queues.erase(highest);
    }
    return std::nullopt;
}
