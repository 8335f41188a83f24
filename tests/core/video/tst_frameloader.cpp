#include "testmedia.h"
#include "video/frameloader.h"
#include "video/videofile.h"

#include <QTest>
#include <QThread>

#include <memory>

namespace {
// Answers as the window gets them: on its own thread, through the event loop.
class Answers : public QObject
{
public:
    QList<int> ids;
    QList<QImage> frames;
};

QSharedPointer<VideoFile> openVideo(const QString& path)
{
    auto video = QSharedPointer<VideoFile>::create();
    if (!video->openFile(path, nullptr))
        return {};
    return video;
}

// What a reader of its own decodes at the position.
QImage frameAt(const QString& path, qint64 position)
{
    VideoFile video;
    if (!video.openFile(path, nullptr) || !video.seek(position))
        return {};
    return video.nextFrame();
}
} // namespace

// The loader on a thread of its own, the way the main window runs it.
class TestFrameLoader : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void idsCountUpFromZero();
    void higherPriorityFirstThenInOrder();
    void cancelledRequestsAreNotAnswered();
    void requestKeepsItsVideo();
    void unreachableFrameIsNull_data();
    void unreachableFrameIsNull();

private:
    // Runs every call already queued on the loader's thread.
    void settle();

    QString m_clip;
    QString m_smallClip;
    QThread m_thread;
    std::unique_ptr<FrameLoader> m_loader;
    std::unique_ptr<Answers> m_answers;
};

void TestFrameLoader::initTestCase()
{
    m_clip = TestMedia::h264Clip(QSize(320, 240), 3);
    m_smallClip = TestMedia::h264Clip(QSize(160, 120), 3);
    QVERIFY(!m_clip.isEmpty());
    QVERIFY(!m_smallClip.isEmpty());
}

void TestFrameLoader::init()
{
    m_loader = std::make_unique<FrameLoader>();
    m_loader->moveToThread(&m_thread);
    m_answers = std::make_unique<Answers>();
    Answers* answers = m_answers.get();
    connect(
        m_loader.get(), &FrameLoader::frameLoaded, answers,
        [answers](int id, const QImage& frame) {
            answers->ids.append(id);
            answers->frames.append(frame);
        },
        Qt::QueuedConnection);
}

void TestFrameLoader::cleanup()
{
    m_thread.quit();
    m_thread.wait();
    m_loader.reset();
    m_answers.reset();
}

void TestFrameLoader::settle()
{
    QMetaObject::invokeMethod(
        m_loader.get(), [] {}, Qt::BlockingQueuedConnection);
    QCoreApplication::processEvents();
}

void TestFrameLoader::idsCountUpFromZero()
{
    m_loader->setVideo(openVideo(m_clip));
    QCOMPARE(m_loader->getFrame(0, FrameLoader::LowPriority), 0);
    QCOMPARE(m_loader->getFrame(0, FrameLoader::HighPriority), 1);
    // A new video and a cancel start a new series, not new numbers.
    m_loader->cancelRequests();
    m_loader->setVideo(openVideo(m_smallClip));
    QCOMPARE(m_loader->getFrame(0, FrameLoader::LowPriority), 2);
    m_thread.start();
    QTRY_COMPARE(m_answers->ids, QList<int>({2}));
    QCOMPARE(m_loader->getFrame(0, FrameLoader::HighPriority), 3);
    QTRY_COMPARE(m_answers->ids, QList<int>({2, 3}));
}

void TestFrameLoader::higherPriorityFirstThenInOrder()
{
    const QSharedPointer<VideoFile> video = openVideo(m_clip);
    QVERIFY(video);
    m_loader->setVideo(video);
    const qint64 duration = video->getDuration();
    const QList<qint64> positions = {duration / 4, duration / 2, duration * 3 / 4, duration / 8};

    // All queued before the loader's thread runs.
    QList<int> ids;
    for (int i = 0; i < 3; ++i)
        ids.append(m_loader->getFrame(positions.at(i), FrameLoader::LowPriority));
    ids.append(m_loader->getFrame(positions.at(3), FrameLoader::HighPriority));
    m_thread.start();

    QTRY_COMPARE(m_answers->ids.size(), 4);
    QCOMPARE(m_answers->ids, QList<int>({ids.at(3), ids.at(0), ids.at(1), ids.at(2)}));
    // Each answer is the picture at its own request's position.
    QCOMPARE(m_answers->frames.at(0), frameAt(m_clip, positions.at(3)));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(m_answers->frames.at(i + 1), frameAt(m_clip, positions.at(i)));
}

void TestFrameLoader::cancelledRequestsAreNotAnswered()
{
    m_loader->setVideo(openVideo(m_clip));
    m_loader->getFrame(0, FrameLoader::LowPriority);
    m_loader->getFrame(10, FrameLoader::HighPriority);
    m_loader->getFrame(20, FrameLoader::LowPriority);
    m_loader->cancelRequests();
    m_thread.start();
    const int later = m_loader->getFrame(0, FrameLoader::LowPriority);

    QTRY_COMPARE(m_answers->ids, QList<int>({later}));
    QVERIFY(!m_answers->frames.first().isNull());
    // The processing calls of the cancelled requests have run too, and found
    // nothing to do.
    settle();
    QCOMPARE(m_answers->ids, QList<int>({later}));
}

void TestFrameLoader::requestKeepsItsVideo()
{
    m_loader->setVideo(openVideo(m_clip));
    const int first = m_loader->getFrame(0, FrameLoader::LowPriority);
    m_loader->setVideo(openVideo(m_smallClip));
    const int second = m_loader->getFrame(0, FrameLoader::LowPriority);
    m_thread.start();

    QTRY_COMPARE(m_answers->ids, QList<int>({first, second}));
    QCOMPARE(m_answers->frames.at(0), frameAt(m_clip, 0));
    QCOMPARE(m_answers->frames.at(1), frameAt(m_smallClip, 0));
}

void TestFrameLoader::unreachableFrameIsNull_data()
{
    QTest::addColumn<bool>("setVideo");

    QTest::newRow("no video set yet") << false;
    QTest::newRow("video that cannot seek") << true;
}

void TestFrameLoader::unreachableFrameIsNull()
{
    QFETCH(bool, setVideo);
    // A reader that never opened a file cannot seek anywhere.
    if (setVideo)
        m_loader->setVideo(QSharedPointer<VideoFile>::create());
    m_thread.start();
    const int id = m_loader->getFrame(0, FrameLoader::HighPriority);

    QTRY_COMPARE(m_answers->ids, QList<int>({id}));
    QVERIFY(m_answers->frames.first().isNull());
}

QTEST_GUILESS_MAIN(TestFrameLoader)
#include "tst_frameloader.moc"
