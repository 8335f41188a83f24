#include "video/videofile.h"

#include "video/videomath.h"

#include <QFile>
#include <QLoggingCategory>

#include <algorithm>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {
// Off unless asked for (QT_LOGGING_RULES="tovalumen.video.debug=true"): the
// callers show the failures that matter to the user.
Q_LOGGING_CATEGORY(videoLog, "tovalumen.video", QtInfoMsg)

// FFmpeg writes its complaints about damaged files to standard error; here
// they go to the debug log with everything else.
void logFFmpegMessage(void* object, int level, const char* format, va_list arguments)
{
    if (level > AV_LOG_WARNING || level > av_log_get_level())
        return;
    char line[1024];
    int printPrefix = 1;
    av_log_format_line2(object, level, format, arguments, line, sizeof line, &printPrefix);
    qCDebug(videoLog, "%s", QByteArray(line).trimmed().constData());
}

void routeFFmpegLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(logFFmpegMessage); });
}
} // namespace

void VideoFile::Deleter::operator()(AVFormatContext* format) const
{
    avformat_close_input(&format);
}

void VideoFile::Deleter::operator()(AVCodecContext* codec) const
{
    avcodec_free_context(&codec);
}

void VideoFile::Deleter::operator()(AVFrame* frame) const
{
    av_frame_free(&frame);
}

void VideoFile::Deleter::operator()(AVPacket* packet) const
{
    av_packet_free(&packet);
}

void VideoFile::Deleter::operator()(SwsContext* scaler) const
{
    sws_freeContext(scaler);
}

VideoFile::VideoFile(QObject* parent)
    : QObject(parent)
{
    routeFFmpegLog();
}

VideoFile::~VideoFile() = default;

void VideoFile::close()
{
    m_scaler.reset();
    m_packet.reset();
    m_rgbFrame.reset();
    m_frame.reset();
    m_codec.reset();
    m_format.reset();
    m_videoStream = -1;
    m_pixelFormat = -1;
    m_image = QImage();
    m_info = VideoInfo();
    m_duration = 0;
}

bool VideoFile::openFile(const QString& path, QString* error)
{
    close();
    const QString message = open(path);
    if (message.isEmpty())
        return true;
    // A failed open leaves nothing half usable behind.
    close();
    if (error)
        *error = message;
    return false;
}

QString VideoFile::open(const QString& path)
{
    // The path is handed over exactly as given, behind the file protocol, so
    // that a name with a colon is never taken for another protocol.
    const QByteArray url = QByteArrayLiteral("file:") + QFile::encodeName(path);
    AVFormatContext* format = nullptr;
    const int opened = avformat_open_input(&format, url.constData(), nullptr, nullptr);
    m_format.reset(format);
    switch (opened) {
    case 0:
        break;
    case AVERROR(EIO):
    case AVERROR(EILSEQ):
    // What FFmpeg answers when no demuxer recognises the content.
    case AVERROR_INVALIDDATA:
        return tr("The file format is unsupported.");
    case AVERROR(ENOENT):
        return tr("Failed to open a file '%1'.").arg(path);
    default:
        return tr("Unknown error.");
    }

    if (avformat_find_stream_info(m_format.get(), nullptr) < 0)
        return tr("The file does not contain video stream.");
    for (unsigned int i = 0; i < m_format->nb_streams; ++i) {
        if (m_format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            m_videoStream = static_cast<int>(i);
            break;
        }
    }
    if (m_videoStream < 0)
        return tr("The file does not contain video stream.");

    QString message = openDecoder();
    if (message.isEmpty())
        message = prepareImage();
    if (message.isEmpty()) {
        // Read once: the decoder changes its own fields while it decodes on
        // the loader's thread, and these are asked for from the GUI thread.
        m_info = readInfo();
        m_duration = readDuration();
    }
    return message;
}

QString VideoFile::openDecoder()
{
    const AVStream* stream = m_format->streams[m_videoStream];
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder)
        return tr("Video format is unsupported.");
    m_codec.reset(avcodec_alloc_context3(decoder));
    if (!m_codec)
        return tr("Failed to allocate a memory.");
    if (avcodec_parameters_to_context(m_codec.get(), stream->codecpar) < 0)
        return tr("Video format is unsupported.");
    m_codec->pkt_timebase = stream->time_base;
    // Frames far from a key frame take many decodes; let FFmpeg use the cores.
    m_codec->thread_count = 0;
    if (avcodec_open2(m_codec.get(), decoder, nullptr) < 0)
        return tr("Video format is unsupported.");
    VideoMath::correctTimeBase(m_codec->time_base.num, m_codec->time_base.den);
    return QString();
}

QString VideoFile::prepareImage()
{
    m_frame.reset(av_frame_alloc());
    m_rgbFrame.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_frame || !m_rgbFrame || !m_packet)
        return tr("Failed to allocate a memory.");

    const int width = m_codec->width;
    const int height = m_codec->height;
    const bool fourBytes = VideoMath::needsFourBytePixels(width);
    m_pixelFormat = fourBytes ? AV_PIX_FMT_BGRA : AV_PIX_FMT_RGB24;
    const AVPixelFormat pixelFormat = static_cast<AVPixelFormat>(m_pixelFormat);
    // Asked first, so that a size FFmpeg refuses never becomes a huge image.
    const int bufferSize = av_image_get_buffer_size(pixelFormat, width, height, 1);
    if (bufferSize <= 0)
        return tr("Unknown error.");
    m_image = QImage(width, height, fourBytes ? QImage::Format_RGB32 : QImage::Format_RGB888);
    if (m_image.isNull())
        return tr("Failed to allocate a memory.");
    if (m_image.sizeInBytes() != bufferSize)
        return tr("Unknown error.");
    m_image.fill(Qt::black);
    if (av_image_fill_arrays(m_rgbFrame->data, m_rgbFrame->linesize, m_image.bits(), pixelFormat,
                             width, height, 1) < 0)
        return tr("Unknown error.");
    m_seekTarget = 0;
    return QString();
}

qint64 VideoFile::streamStart() const
{
    const qint64 start = m_format->streams[m_videoStream]->start_time;
    return start == AV_NOPTS_VALUE ? 0 : start;
}

qint64 VideoFile::readDuration() const
{
    const AVStream* stream = m_format->streams[m_videoStream];
    // The stream's own length where the container tells it: containers
    // disagree on whether their duration runs from time 0 (MP4, Matroska) or
    // from the first time stamp (MPEG-TS, whose clock may start hours in).
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        return stream->duration;
    if (m_format->duration == AV_NOPTS_VALUE)
        return 0;
    const qint64 end = av_rescale_q(m_format->duration, AV_TIME_BASE_Q, stream->time_base);
    return std::max<qint64>(0, end - streamStart());
}

VideoInfo VideoFile::readInfo() const
{
    VideoInfo info;
    info.size = QSize(m_codec->width, m_codec->height);
    info.bitRate = static_cast<double>(m_codec->bit_rate);
    info.codec = QString::fromLatin1(m_codec->codec->name);
    const AVStream* stream = m_format->streams[m_videoStream];
    // Ogg tells no average frame rate, only the stream's base rate.
    const bool averageKnown = stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0;
    const AVRational frameRate = averageKnown ? stream->avg_frame_rate : stream->r_frame_rate;
    if (frameRate.den != 0)
        info.frameRate = static_cast<double>(frameRate.num) / frameRate.den;
    if (m_format->duration != AV_NOPTS_VALUE)
        info.duration = VideoMath::displayDuration(m_format->duration);
    return info;
}

qint64 VideoFile::getDuration() const
{
    return m_duration;
}

QSize VideoFile::getSize() const
{
    return m_info.size;
}

VideoInfo VideoFile::getInfo() const
{
    return m_info;
}

bool VideoFile::seek(qint64 position)
{
    if (!m_codec)
        return false;
    const qint64 target = position + streamStart();
    if (av_seek_frame(m_format.get(), m_videoStream, target, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(m_codec.get());
    m_seekTarget = target;
    return true;
}

bool VideoFile::isBeforeSeekTarget(const AVFrame* frame) const
{
    // The picture's own time: with frame reordering and threaded decoding a
    // picture no longer comes out of the packet that carried it.
    qint64 time = frame->best_effort_timestamp;
    if (time == AV_NOPTS_VALUE)
        time = frame->pkt_dts;
    return time != AV_NOPTS_VALUE && time < m_seekTarget;
}

QImage VideoFile::nextFrame()
{
    if (!m_codec)
        return QImage();
    bool draining = false;
    for (;;) {
        const int received = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (received == 0) {
            const bool wanted = !isBeforeSeekTarget(m_frame.get());
            const QImage image = wanted ? convert(m_frame.get()) : QImage();
            av_frame_unref(m_frame.get());
            if (wanted)
                return image;
            continue;
        }
        // The end of the stream, or a decoder that fails while giving up
        // what it holds: the previous picture stays.
        if (received == AVERROR_EOF || (draining && received != AVERROR(EAGAIN)))
            return m_image.copy();

        if (av_read_frame(m_format.get(), m_packet.get()) < 0) {
            // Pictures the decoder still holds come out after an empty packet.
            draining = true;
            if (avcodec_send_packet(m_codec.get(), nullptr) < 0)
                return m_image.copy();
            continue;
        }
        if (m_packet->stream_index == m_videoStream) {
            // A damaged packet is skipped, as a player would.
            avcodec_send_packet(m_codec.get(), m_packet.get());
        }
        av_packet_unref(m_packet.get());
    }
}

QImage VideoFile::convert(const AVFrame* frame)
{
    const AVPixelFormat sourceFormat = static_cast<AVPixelFormat>(frame->format);
    m_scaler.reset(sws_getCachedContext(m_scaler.release(), frame->width, frame->height,
                                        sourceFormat, m_image.width(), m_image.height(),
                                        static_cast<AVPixelFormat>(m_pixelFormat), SWS_BICUBIC,
                                        nullptr, nullptr, nullptr));
    if (m_scaler) {
        const int rows = sws_scale(m_scaler.get(), frame->data, frame->linesize, 0, frame->height,
                                   m_rgbFrame->data, m_rgbFrame->linesize);
        if (rows <= 0)
            return QImage();
    }
    // The loader hands the picture to another thread while this buffer is
    // overwritten by the next conversion.
    return m_image.copy();
}
