#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTime>

#include <memory>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// What the reader tells about an opened video; the defaults stand for "no
// video open".
struct VideoInfo
{
    QSize size {-1, -1};
    // Whole seconds, with the hundredths in the milliseconds field; invalid
    // when the container does not know its duration.
    QTime duration;
    double bitRate = 0;
    double frameRate = 0;
    QString codec;
};

// Opens a video file with the FFmpeg libraries and decodes pictures of its
// first video stream at chosen positions.
//
// Positions and durations are in units of the video stream's time base,
// counted from the stream's start time. Opening happens on one thread; seek()
// and nextFrame() may then run on another (the frame loader's), which must be
// their only caller: the reader has no lock of its own. The size, duration and
// information are taken at opening and may be read from any thread.
class VideoFile : public QObject
{
    Q_OBJECT
public:
    explicit VideoFile(QObject* parent = nullptr);
    ~VideoFile() override;

    // On failure sets *error (when given) to a message for the user.
    bool openFile(const QString& path, QString* error);

    // 0 when nothing is open or the container does not know its duration.
    qint64 getDuration() const;
    // Invalid (-1 x -1) when nothing is open.
    QSize getSize() const;
    VideoInfo getInfo() const;

    // Moves to the key frame at or before the position; the next frame
    // returned is the first picture at or after it.
    bool seek(qint64 position);
    // A copy of the next picture at or after the last seek target. When the
    // stream ends first, the previous picture comes back again (black before
    // the first one); a picture that cannot be converted gives a null image.
    QImage nextFrame();

private:
    struct Deleter
    {
        void operator()(AVFormatContext* format) const;
        void operator()(AVCodecContext* codec) const;
        void operator()(AVFrame* frame) const;
        void operator()(AVPacket* packet) const;
        void operator()(SwsContext* scaler) const;
    };
    template<typename T> using Owned = std::unique_ptr<T, Deleter>;

    void close();
    QString open(const QString& path);
    QString openDecoder();
    QString prepareImage();
    qint64 streamStart() const;
    qint64 readDuration() const;
    VideoInfo readInfo() const;
    bool isBeforeSeekTarget(const AVFrame* frame) const;
    QImage convert(const AVFrame* frame);

    Owned<AVFormatContext> m_format;
    int m_videoStream = -1;
    Owned<AVCodecContext> m_codec;
    Owned<AVFrame> m_frame;
    Owned<AVFrame> m_rgbFrame;
    Owned<AVPacket> m_packet;
    Owned<SwsContext> m_scaler;
    int m_pixelFormat = -1;
    QImage m_image;
    qint64 m_seekTarget = 0;
    // Taken when the file is opened, for the other threads.
    VideoInfo m_info;
    qint64 m_duration = 0;
};
