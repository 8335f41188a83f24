#include "fuzzfiles.h"
#include "video/videofile.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace {
// FFmpeg itself is not instrumented, so the fuzzer cannot see which of its
// paths an input takes. Each outcome (codec, error, size, pictures) is turned
// into a call of one of many functions of ours, so that inputs reaching a new
// outcome are kept and mutated further.
template<std::size_t N> void reached()
{
    static volatile std::size_t count;
    count = count + N;
}

template<std::size_t... N> void reach(std::size_t outcome, std::index_sequence<N...>)
{
    static void (*const targets[])() = {reached<N>...};
    targets[outcome % sizeof...(N)]();
}

void reach(const QString& outcome)
{
    reach(qHash(outcome), std::make_index_sequence<256>());
}

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Every picture has exactly the video's size.
void checkPicture(const VideoFile& video, const QImage& picture)
{
    check(picture.isNull() || picture.size() == video.getSize());
}
} // namespace

// Opens mutated media files and decodes at the start, in the middle and past
// the end: nothing may crash, hang or leak, and pictures keep their size.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = writeScratchFile(QStringLiteral("input.bin"), data, size);

    VideoFile video;
    QString error;
    if (!video.openFile(path, &error)) {
        check(!error.isEmpty());
        reach(error);
        return 0;
    }
    const VideoInfo info = video.getInfo();
    reach(info.codec);
    reach(info.codec + QString::number(info.size.width() % 64));
    check(info.size == video.getSize());
    const qint64 duration = video.getDuration();
    check(duration >= 0);
    checkPicture(video, video.nextFrame());
    for (const qint64 position : {duration / 2, Q_INT64_C(0), duration + 1}) {
        if (video.seek(position)) {
            const QImage picture = video.nextFrame();
            checkPicture(video, picture);
            checkPicture(video, video.nextFrame());
            const uint corner = picture.isNull() ? 16 : picture.pixel(0, 0) % 16;
            reach(info.codec + QString::number(corner));
        }
    }
    return 0;
}
