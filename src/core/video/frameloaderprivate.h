#pragma once

#include "video/frameloader.h"

#include <QMutex>
#include <QQueue>
#include <QSharedPointer>

#include <functional>
#include <map>
#include <optional>

class VideoFile;

// The request queues of a FrameLoader, shared between the threads that ask
// and the loader's thread that answers.
class FrameLoaderPrivate
{
public:
    struct QueueItem
    {
        int id;
        qint64 position;
        QSharedPointer<VideoFile> video;
    };

    explicit FrameLoaderPrivate(FrameLoader& loader);

    void setVideo(QSharedPointer<VideoFile> video);
    int enqueue(qint64 position, FrameLoader::Priority priority);
    void cancel();
    // Takes the first request of the highest priority that has one.
    std::optional<QueueItem> takeNext();

private:
    FrameLoader& m_loader;
    QSharedPointer<VideoFile> m_video;
    int m_nextId = 0;
    std::map<FrameLoader::Priority, QQueue<QueueItem>, std::greater<FrameLoader::Priority>>
        m_queues;
    // Held only to read or change the members above, never while decoding.
    QMutex m_lock;
};
