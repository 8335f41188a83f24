#include "temporaryfolder.h"
#include "testmedia.h"
#include "video/videofile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <cstdlib>

namespace {
const QStringList H264 = {QStringLiteral("-c:v"),     QStringLiteral("libx264"),
                          QStringLiteral("-preset"),  QStringLiteral("veryfast"),
                          QStringLiteral("-g"),       QStringLiteral("25"),
                          QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")};
const double CLIP_SECONDS = 3;
const double FRAME_SECONDS = 0.04;

// The picture the ffmpeg program shows at the time (its first picture at or
// after it), as 24-bit RGB.
QImage ffmpegFrame(const QString& path, double seconds, const QSize& size)
{
    QProcess ffmpeg;
    ffmpeg.start(TestMedia::ffmpegProgram(),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-nostdin"),
                  QStringLiteral("-ss"), QString::number(seconds), QStringLiteral("-i"), path,
                  QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-f"),
                  QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"),
                  QStringLiteral("-")});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return QImage();
    const QByteArray pixels = ffmpeg.readAllStandardOutput();
    if (pixels.size() != size.width() * size.height() * 3)
        return QImage();
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y)
        memcpy(image.scanLine(y), pixels.constData() + y * size.width() * 3,
               static_cast<size_t>(size.width()) * 3);
    return image;
}

// Mean absolute difference of the colour channels, 0 to 255.
double meanDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 255;
    const QImage left = a.convertToFormat(QImage::Format_RGB888);
    const QImage right = b.convertToFormat(QImage::Format_RGB888);
    qint64 sum = 0;
    for (int y = 0; y < left.height(); ++y) {
        const uchar* l = left.constScanLine(y);
        const uchar* r = right.constScanLine(y);
        for (int x = 0; x < left.width() * 3; ++x)
            sum += std::abs(l[x] - r[x]);
    }
    return static_cast<double>(sum) / (left.width() * left.height() * 3);
}

// The reader's position of a time, from the duration it reports for a clip
// of known length.
qint64 positionOf(const VideoFile& video, double seconds)
{
    return qRound64(seconds * video.getDuration() / CLIP_SECONDS);
}

void verifyNothingOpen(VideoFile& video)
{
    QCOMPARE(video.getSize(), QSize(-1, -1));
    QCOMPARE(video.getDuration(), Q_INT64_C(0));
    const VideoInfo info = video.getInfo();
    QCOMPARE(info.size, QSize(-1, -1));
    QVERIFY(!info.duration.isValid());
    QCOMPARE(info.bitRate, 0.0);
    QCOMPARE(info.frameRate, 0.0);
    QVERIFY(info.codec.isEmpty());
    QVERIFY(!video.seek(0));
    QVERIFY(video.nextFrame().isNull());
}
} // namespace

// The reader on files made by the real ffmpeg, checked against the pictures
// the ffmpeg program decodes from the same files.
class TestVideoFile : public QObject
{
    Q_OBJECT
private slots:
    void decodesLikeFFmpeg_data();
    void decodesLikeFFmpeg();
    void durationAndInfo_data();
    void durationAndInfo();
    void returnedPicturesStayPut();
    void sizeStaysAsOpened();
    void openFailures_data();
    void openFailures();
    void failedOpenClosesThePreviousFile();
    void namesOpenAsGiven_data();
    void namesOpenAsGiven();
    void nothingOpenBeforeOpening();
};

void TestVideoFile::decodesLikeFFmpeg_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QImage::Format>("format");

    const QSize size(320, 240);
    const QString mp4 = QStringLiteral("mp4");
    // veryfast makes B-frames: the first packets decode before time 0.
    QTest::newRow("H.264 in MP4") << TestMedia::videoClip(H264, mp4) << size << "h264"
                                  << QImage::Format_RGB888;
    QTest::newRow("VP8 in WebM") << TestMedia::videoClip(
                                        {"-c:v", "libvpx", "-g", "25", "-b:v", "1M"}, "webm")
                                 << size << "vp8" << QImage::Format_RGB888;
    QTest::newRow("Theora in Ogg")
        << TestMedia::videoClip({"-c:v", "libtheora", "-g", "25", "-q:v", "8"}, "ogv") << size
        << "theora" << QImage::Format_RGB888;
    QTest::newRow("MPEG-4 part 2 in AVI")
        << TestMedia::videoClip({"-c:v", "mpeg4", "-g", "25", "-q:v", "2"}, "avi") << size
        << "mpeg4" << QImage::Format_RGB888;
    QTest::newRow("MJPEG in AVI") << TestMedia::videoClip({"-c:v", "mjpeg", "-q:v", "2"}, "avi")
                                  << size << "mjpeg" << QImage::Format_RGB888;
    // Positions count from the stream's start, here 2 s into the file.
    QTest::newRow("H.264 in MP4 starting at 2 s")
        << TestMedia::videoClip(H264 + QStringList {"-output_ts_offset", "2"}, mp4) << size
        << "h264" << QImage::Format_RGB888;
    QTest::newRow("audio stream first")
        << TestMedia::generate(
               TestMedia::testTone(CLIP_SECONDS) + TestMedia::testPicture(size, CLIP_SECONDS) +
                   QStringList {"-map", "0:a", "-map", "1:v", "-c:a", "libvorbis"} + H264,
               "mkv")
        << size << "h264" << QImage::Format_RGB888;
    QTest::newRow("width 640: 24-bit pixels") << TestMedia::videoClip(H264, mp4, QSize(640, 360))
                                              << QSize(640, 360) << "h264" << QImage::Format_RGB888;
    QTest::newRow("width 642: 32-bit pixels") << TestMedia::videoClip(H264, mp4, QSize(642, 360))
                                              << QSize(642, 360) << "h264" << QImage::Format_RGB32;
}

void TestVideoFile::decodesLikeFFmpeg()
{
    QFETCH(QString, clip);
    QFETCH(QSize, size);
    QFETCH(QString, codec);
    QFETCH(QImage::Format, format);
    QVERIFY(!clip.isEmpty());

    VideoFile video;
    QString error;
    QVERIFY2(video.openFile(clip, &error), qPrintable(error));
    QCOMPARE(video.getSize(), size);
    QCOMPARE(video.getInfo().codec, codec);

    // Right after opening, then after seeks: into a group of pictures, to the
    // last picture (which the decoder gives up only when drained) and back to
    // the start.
    const QImage first = video.nextFrame();
    QCOMPARE(first.size(), size);
    QCOMPARE(first.format(), format);
    const double limit = 3;
    const double firstDifference = meanDifference(first, ffmpegFrame(clip, 0, size));
    QVERIFY2(firstDifference < limit, qPrintable(QString::number(firstDifference)));

    // Half a frame before a picture, so that both programs pick the same one.
    for (const double seconds : {1.54, CLIP_SECONDS - 1.5 * FRAME_SECONDS}) {
        QVERIFY(video.seek(positionOf(video, seconds)));
        const QImage frame = video.nextFrame();
        QCOMPARE(frame.size(), size);
        const QImage expected = ffmpegFrame(clip, seconds, size);
        const double difference = meanDifference(frame, expected);
        QVERIFY2(difference < limit,
                 qPrintable(QStringLiteral("%1 s: %2").arg(seconds).arg(difference)));
        // The neighbour would be close too: the right picture must be much closer.
        const double neighbour =
            meanDifference(frame, ffmpegFrame(clip, seconds - FRAME_SECONDS, size));
        QVERIFY2(difference * 2 < neighbour,
                 qPrintable(
                     QStringLiteral("%1 s: %2 vs %3").arg(seconds).arg(difference).arg(neighbour)));
    }
    const QImage last = video.nextFrame();
    QVERIFY(!last.isNull());

    // Past the end nothing new comes: the last picture is given again.
    QVERIFY(video.seek(video.getDuration()));
    QCOMPARE(video.nextFrame(), last);
    QCOMPARE(video.nextFrame(), last);

    QVERIFY(video.seek(0));
    QCOMPARE(video.nextFrame(), first);
}

void TestVideoFile::durationAndInfo_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("knowsBitRate");

    const QSize size(320, 240);
    const QStringList mp4Ticks = H264 + QStringList {"-video_track_timescale", "25"};
    // Matroska counts in milliseconds, MPEG-TS in 90 kHz ticks, MP4 in the
    // track time scale asked for.
    QTest::newRow("10 s in Matroska") << TestMedia::videoClip(H264, "mkv", size, 10)
                                      << Q_INT64_C(10000) << QTime(0, 0, 10) << false;
    QTest::newRow("10 s in MP4") << TestMedia::videoClip(mp4Ticks, "mp4", size, 10)
                                 << Q_INT64_C(250) << QTime(0, 0, 10) << true;
    QTest::newRow("2.48 s in MP4") << TestMedia::videoClip(mp4Ticks, "mp4", size, 2.48)
                                   << Q_INT64_C(62) << QTime(0, 0, 2, 48) << true;
    // The length, whether the container's duration runs from its first time
    // stamp (MPEG-TS, whose clock starts at 1.4 s) or from time 0 (Matroska,
    // here starting at 2 s).
    QTest::newRow("10 s in MPEG-TS") << TestMedia::videoClip(H264, "ts", size, 10)
                                     << Q_INT64_C(900000) << QTime(0, 0, 10) << false;
    QTest::newRow("3 s in Matroska from 2 s")
        << TestMedia::videoClip(H264 + QStringList {"-output_ts_offset", "2"}, "mkv", size, 3)
        << Q_INT64_C(3000) << QTime(0, 0, 5) << false;
    // A raw stream has no container duration.
    QTest::newRow("raw H.264 stream")
        << TestMedia::videoClip(H264, "h264", size, 10) << Q_INT64_C(0) << QTime() << false;
}

void TestVideoFile::durationAndInfo()
{
    QFETCH(QString, clip);
    QFETCH(qint64, duration);
    QFETCH(QTime, time);
    QFETCH(bool, knowsBitRate);
    QVERIFY(!clip.isEmpty());

    VideoFile video;
    QString error;
    QVERIFY2(video.openFile(clip, &error), qPrintable(error));
    QCOMPARE(video.getDuration(), duration);
    const VideoInfo info = video.getInfo();
    QCOMPARE(info.size, QSize(320, 240));
    QCOMPARE(info.duration, time);
    QCOMPARE(info.frameRate, 25.0);
    QCOMPARE(info.codec, QStringLiteral("h264"));
    QCOMPARE(info.bitRate > 0, knowsBitRate);
}

void TestVideoFile::returnedPicturesStayPut()
{
    const QString clip = TestMedia::videoClip(H264, "mp4");
    QVERIFY(!clip.isEmpty());
    VideoFile video;
    QVERIFY(video.openFile(clip, nullptr));

    // The loader hands pictures to another thread: decoding on must not
    // change one already returned.
    const QImage first = video.nextFrame();
    const QImage kept = first.copy();
    const QImage second = video.nextFrame();
    QVERIFY(second != kept);
    QCOMPARE(first, kept);
}

void TestVideoFile::sizeStaysAsOpened()
{
    // Two seconds at 320 x 240, then two at 160 x 120, in one stream.
    const QString large = TestMedia::videoClip(H264, "ts", QSize(320, 240), 2);
    const QString small = TestMedia::videoClip(H264, "ts", QSize(160, 120), 2);
    QVERIFY(!large.isEmpty() && !small.isEmpty());
    const QString clip = TestMedia::generate(
        {"-i", QStringLiteral("concat:%1|%2").arg(large, small), "-c", "copy"}, "ts");
    QVERIFY(!clip.isEmpty());
    VideoFile video;
    QVERIFY(video.openFile(clip, nullptr));
    QCOMPARE(video.getSize(), QSize(320, 240));

    // The size is asked from another thread while the decoder runs: it is the
    // one of the opening, and so is every picture's.
    for (int i = 0; i < 60; ++i)
        QCOMPARE(video.nextFrame().size(), QSize(320, 240));
    QCOMPARE(video.getSize(), QSize(320, 240));
    QCOMPARE(video.getInfo().size, QSize(320, 240));
}

void TestVideoFile::openFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");

    const QString unsupported = QStringLiteral("The file format is unsupported.");
    const QString noVideo = QStringLiteral("The file does not contain video stream.");
    QFile mp4(TestMedia::h264Clip());
    const QByteArray whole = mp4.open(QIODevice::ReadOnly) ? mp4.readAll() : QByteArray();

    QTest::newRow("missing file") << "missing.mp4" << QByteArray() << "Failed to open a file '%1'.";
    QTest::newRow("empty file") << "empty.mp4" << QByteArray("") << unsupported;
    QTest::newRow("text file") << "notes.mp4"
                               << QByteArray("These are not the pictures you are looking for.\n")
                               << unsupported;
    // Cut before the index that ffmpeg writes at the end.
    QTest::newRow("truncated MP4")
        << "truncated.mp4" << whole.left(whole.size() / 2) << unsupported;
    QFile m4a(TestMedia::generate(TestMedia::testTone(2), "m4a"));
    QTest::newRow("audio only") << "tone.m4a"
                                << (m4a.open(QIODevice::ReadOnly) ? m4a.readAll() : QByteArray())
                                << noVideo;
    QTest::newRow("folder") << "folder.mp4/" << QByteArray() << "Unknown error.";
}

void TestVideoFile::openFailures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    TemporaryFolder folder;
    QString path = folder.filePath(name);
    if (name.endsWith(QLatin1Char('/'))) {
        QVERIFY(QDir().mkpath(path));
        path.chop(1);
    } else if (!content.isNull()) {
        QVERIFY(!folder.writeFile(name, content).isEmpty());
    }

    VideoFile video;
    QString error;
    QVERIFY(!video.openFile(path, &error));
    QCOMPARE(error, message.contains(QLatin1String("%1")) ? message.arg(path) : message);
    verifyNothingOpen(video);
    // Without a place for the message the answer is the same.
    QVERIFY(!video.openFile(path, nullptr));
}

void TestVideoFile::failedOpenClosesThePreviousFile()
{
    const QString clip = TestMedia::h264Clip();
    QVERIFY(!clip.isEmpty());
    VideoFile video;
    QVERIFY(video.openFile(clip, nullptr));
    QVERIFY(video.getDuration() > 0);

    QString error;
    QVERIFY(!video.openFile(clip + QStringLiteral(".missing"), &error));
    QVERIFY(!error.isEmpty());
    verifyNothingOpen(video);
    QVERIFY(video.openFile(clip, nullptr));
    QVERIFY(!video.nextFrame().isNull());
}

void TestVideoFile::namesOpenAsGiven_data()
{
    QTest::addColumn<QString>("name");

    // A precomposed letter, as Linux file names hold it.
    QTest::newRow("precomposed letter") << QStringLiteral("caf\u00e9.mp4");
    // Before the colon stands what FFmpeg would take for a protocol name.
    QTest::newRow("colon in a relative name") << QStringLiteral("clip:1.mp4");
    QTest::newRow("spaces and quotes") << QStringLiteral("my 'holiday' \"clip\".mp4");
}

void TestVideoFile::namesOpenAsGiven()
{
    QFETCH(QString, name);
    const QString clip = TestMedia::h264Clip();
    QVERIFY(!clip.isEmpty());
    TemporaryFolder folder;
    QVERIFY(QFile::copy(clip, folder.filePath(name)));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.path()));

    VideoFile video;
    QString error;
    const bool opened = video.openFile(name, &error);
    QDir::setCurrent(previous);
    QVERIFY2(opened, qPrintable(error));
    QVERIFY(!video.nextFrame().isNull());
}

void TestVideoFile::nothingOpenBeforeOpening()
{
    VideoFile video;
    verifyNothingOpen(video);
}

QTEST_GUILESS_MAIN(TestVideoFile)
#include "tst_videofile.moc"
