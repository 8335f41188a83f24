#pragma once

#include <QImage>
#include <QObject>
#include <QSharedPointer>

#include <memory>

class FrameLoaderPrivate;
class VideoFile;

// Decodes frames in the background, most urgent request first. The loader
// lives on a thread of its own; requests may come from any thread and are
// answered by frameLoaded() on the loader's thread.
class FrameLoader : public QObject
{
    Q_OBJECT
public:
    // A larger value is served first.
    enum Priority { LowPriority = 0, HighPriority = 1 };

    explicit FrameLoader(QObject* parent = nullptr);
    ~FrameLoader() override;

    // Requests already queued keep the video they were made for.
    void setVideo(QSharedPointer<VideoFile> video);
    // Queues a request for the picture at the position (in the video's units)
    // and returns its id; ids count up from 0 over the loader's whole life.
    int getFrame(qint64 position, FrameLoader::Priority priority);
    // Drops every queued request; one being decoded is still answered.
    void cancelRequests();

signals:
    // Once per processed request; the frame is null when the position cannot
    // be reached or no video was set for the request.
    void frameLoaded(int requestId, const QImage& frame);

public slots:
    // Serves the most urgent queued request, if any.
    void processRequest();

private:
    const std::unique_ptr<FrameLoaderPrivate> d;
};
