#include "video/frameloader.h"

#include "video/frameloaderprivate.h"
#include "video/videofile.h"

FrameLoader::FrameLoader(QObject* parent)
    : QObject(parent)
    , d(std::make_unique<FrameLoaderPrivate>(*this))
{ }

FrameLoader::~FrameLoader() = default;

void FrameLoader::setVideo(QSharedPointer<VideoFile> video)
{
    d->setVideo(std::move(video));
}

int FrameLoader::getFrame(qint64 position, FrameLoader::Priority priority)
{
    return d->enqueue(position, priority);
}

void FrameLoader::cancelRequests()
{
    d->cancel();
}

void FrameLoader::processRequest()
{
    const std::optional<FrameLoaderPrivate::QueueItem> item = d->takeNext();
    if (!item)
        return;
    QImage frame;
    if (item->video && item->video->seek(item->position))
        frame = item->video->nextFrame();
    emit frameLoaded(item->id, frame);
}
