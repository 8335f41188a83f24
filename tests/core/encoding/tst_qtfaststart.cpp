#include "encoding/qtfaststart.h"
#include "mp4atoms.h"
#include "temporaryfolder.h"
#include "testmedia.h"

#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

using namespace Mp4Atoms;

namespace {
QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

const QByteArray Ftyp = atom("ftyp", QByteArray("isom\0\0\2\0isomiso2", 16));

// Media data in which every 4-byte-aligned word is its own index, so that a
// chunk offset pointing anywhere into it names one place only.
QByteArray media(int words)
{
    QByteArray bytes;
    for (int i = 0; i < words; ++i)
        bytes += bigEndian32(quint32(0x4d000000 + i));
    return bytes;
}

// Offsets of a few places inside an mdat atom that starts at the given offset.
QVector<quint32> placesIn(qint64 mdatStart)
{
    const quint32 first = quint32(mdatStart + 8);
    return {first, first + 40, first + 400};
}

// A file to rewrite: what comes before the moov atom, then the moov atom.
QByteArray withMoovLast(const QByteArray& before, const QByteArray& table)
{
    return before + moovWithTable(table);
}

class ProgressLog : public ProgressHandler
{
public:
    void progress(qint64 current, qint64 total) override { reports.append({current, total}); }
    QList<QPair<qint64, qint64>> reports;
};

struct Run
{
    bool failed = true;
    QString error;
    QList<qint64> percents;
};

// Runs the in-place rewriter on the file to its end.
Run rewriteInPlace(const QString& file)
{
    Mpeg4MetaFixer fixer(file);
    QSignalSpy progress(&fixer, &VideoEncoder::progress);
    QSignalSpy finished(&fixer, &VideoEncoder::finished);
    fixer.start();
    Run run;
    if (!finished.wait(60000))
        return run;
    run.failed = finished.first().first().toBool();
    run.error = fixer.getError();
    for (const QList<QVariant>& report : progress)
        run.percents.append(report.at(0).toLongLong());
    return run;
}
} // namespace

// Moving the MP4 index in front of the media data: in place on a worker
// thread, with the chunk offsets corrected, and never leaving a damaged file.
class TestQtFastStart : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void rewritesAnMp4FromFFmpeg();
    void rewrites_data();
    void rewrites();
    void leavesAloneWhatNeedsNoRewrite_data();
    void leavesAloneWhatNeedsNoRewrite();
    void refusesMalformedFiles_data();
    void refusesMalformedFiles();
    void failuresOfTheFiles();
    void cancelDuringTheCopy();

private:
    std::unique_ptr<TemporaryFolder> m_work;
};

void TestQtFastStart::init()
{
    m_work.reset(new TemporaryFolder);
}

void TestQtFastStart::rewritesAnMp4FromFFmpeg()
{
    const QString clip = TestMedia::h264Clip(QSize(320, 240), 3);
    QVERIFY(!clip.isEmpty());
    const QString file = m_work->filePath(QStringLiteral("a clip.mp4"));
    QVERIFY(QFile::copy(clip, file));
    // Not the default permissions, so that losing them shows.
    QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QFile::Permissions permissions = QFile::permissions(file);
    const QByteArray before = m_work->readFile(QStringLiteral("a clip.mp4"));
    QCOMPARE(topLevelTypes(file).last(), QByteArray("moov"));
    const qint64 moovSize = topLevel(before).last().size;
    const QVector<quint64> offsetsBefore = chunkOffsets(before);
    QVERIFY(!offsetsBefore.isEmpty());
    const QString framesBefore = TestMedia::frameChecksums(file);
    QVERIFY(!framesBefore.isEmpty());

    const Run run = rewriteInPlace(file);
    QVERIFY2(!run.failed, qPrintable(run.error));
    QCOMPARE(run.percents.first(), qint64(5));
    QCOMPARE(run.percents.last(), qint64(100));
    QVERIFY(std::is_sorted(run.percents.begin(), run.percents.end()));

    const QByteArray after = m_work->readFile(QStringLiteral("a clip.mp4"));
    QCOMPARE(after.size(), before.size());
    QCOMPARE(topLevelTypes(file).mid(0, 2), (QList<QByteArray> {"ftyp", "moov"}));
    QCOMPARE(topLevel(after).at(1).size, moovSize);
    QVector<quint64> expected = offsetsBefore;
    for (quint64& offset : expected)
        offset += quint64(moovSize);
    QCOMPARE(chunkOffsets(after), expected);
    QCOMPARE(TestMedia::frameChecksums(file), framesBefore);
    QCOMPARE(QFile::permissions(file), permissions);
    QVERIFY(!QFile::exists(file + QStringLiteral(".tmp")));
}

void TestQtFastStart::rewrites_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<QByteArray>>("types");

    const QByteArray mdat = atom("mdat", media(200));
    const qint64 afterFtyp = Ftyp.size();
    QTest::newRow("stco") << withMoovLast(Ftyp + mdat, stco(placesIn(afterFtyp)))
                          << QList<QByteArray> {"ftyp", "moov", "mdat"};
    QVector<quint64> wide;
    for (const quint32 place : placesIn(afterFtyp))
        wide.append(place);
    QTest::newRow("co64") << withMoovLast(Ftyp + mdat, co64(wide))
                          << QList<QByteArray> {"ftyp", "moov", "mdat"};
    QTest::newRow("both tables") << withMoovLast(Ftyp + mdat,
                                                 stco(placesIn(afterFtyp)) + co64(wide))
                                 << QList<QByteArray> {"ftyp", "moov", "mdat"};
    const QVector<quint32> in64 = {quint32(afterFtyp + 16), quint32(afterFtyp + 16 + 400)};
    QTest::newRow("mdat with a 64-bit size")
        << withMoovLast(Ftyp + atom64("mdat", media(200)), stco(in64))
        << QList<QByteArray> {"ftyp", "moov", "mdat"};
    QTest::newRow("no ftyp") << withMoovLast(mdat, stco(placesIn(0)))
                             << QList<QByteArray> {"moov", "mdat"};
    // Only an ftyp atom that opens the file goes in front of the moov atom;
    // one further in stays where it is, with everything around it.
    const QByteArray free = atom("free", QByteArray(12, '\0'));
    QTest::newRow("ftyp after another atom")
        << withMoovLast(free + Ftyp + mdat, stco(placesIn(free.size() + afterFtyp)))
        << QList<QByteArray> {"moov", "free", "ftyp", "mdat"};
    QTest::newRow("accepted atoms of every kind")
        << withMoovLast(Ftyp + atom("wide", {}) + atom("skip", "x") +
                            atom("uuid", "0123456789abcdef") + mdat,
                        stco(placesIn(afterFtyp + 8 + 9 + 24)))
        << QList<QByteArray> {"ftyp", "moov", "wide", "skip", "uuid", "mdat"};
    QTest::newRow("empty table") << withMoovLast(Ftyp + mdat, stco({}))
                                 << QList<QByteArray> {"ftyp", "moov", "mdat"};
}

void TestQtFastStart::rewrites()
{
    QFETCH(QByteArray, input);
    QFETCH(QList<QByteArray>, types);

    const QString in = m_work->writeFile(QStringLiteral("in.mp4"), input);
    const QString out = m_work->filePath(QStringLiteral("out.mp4"));
    QString error = QStringLiteral("untouched");
    ProgressLog progress;
    QVERIFY(fixMpeg4Meta(in, out, &error, &progress, nullptr));
    QCOMPARE(error, QStringLiteral("untouched"));
    QCOMPARE(progress.reports.last(), (QPair<qint64, qint64>(100, 100)));

    const QByteArray output = m_work->readFile(QStringLiteral("out.mp4"));
    QCOMPARE(output.size(), input.size());
    QList<QByteArray> found;
    for (const Atom& atom : topLevel(output))
        found.append(atom.type);
    QCOMPARE(found, types);
    // Every offset now names the same media bytes as before.
    const qint64 moovSize = topLevel(input).last().size;
    const QVector<quint64> offsetsBefore = chunkOffsets(input);
    const QVector<quint64> offsetsAfter = chunkOffsets(output);
    QCOMPARE(offsetsAfter.size(), offsetsBefore.size());
    for (int i = 0; i < offsetsBefore.size(); ++i) {
        QCOMPARE(offsetsAfter.at(i), offsetsBefore.at(i) + quint64(moovSize));
        QCOMPARE(output.mid(int(offsetsAfter.at(i)), 4), input.mid(int(offsetsBefore.at(i)), 4));
    }
}

void TestQtFastStart::leavesAloneWhatNeedsNoRewrite_data()
{
    QTest::addColumn<QByteArray>("input");

    const QByteArray mdat = atom("mdat", media(50));
    const QByteArray moov = moovWithTable(stco(placesIn(Ftyp.size())));
    QTest::newRow("already in fast-start order") << Ftyp + moov + mdat;
    QTest::newRow("unknown atom before the moov") << Ftyp + mdat + atom("abcd", "x") + moov;
    QTest::newRow("unknown atom after the moov") << Ftyp + mdat + moov + atom("meta", "x");
    QTest::newRow("empty file") << QByteArray();
}

void TestQtFastStart::leavesAloneWhatNeedsNoRewrite()
{
    QFETCH(QByteArray, input);
    const QString file = m_work->writeFile(QStringLiteral("in.mp4"), input);

    const Run run = rewriteInPlace(file);
    QVERIFY2(!run.failed, qPrintable(run.error));
    QCOMPARE(run.percents, QList<qint64> {100});
    QCOMPARE(m_work->readFile(QStringLiteral("in.mp4")), input);
    QVERIFY(!QFile::exists(file + QStringLiteral(".tmp")));
}

void TestQtFastStart::refusesMalformedFiles_data()
{
    QTest::addColumn<QByteArray>("input");
    // %1 stands for the file's path.
    QTest::addColumn<QString>("error");

    const QByteArray mdat = atom("mdat", media(50));
    const QByteArray before = Ftyp + mdat;
    const int moovAt = before.size();
    const QByteArray table = stco(placesIn(Ftyp.size()));
    const QByteArray good = withMoovLast(before, table);
    const auto endsInside = [](qint64 offset) -> QString {
        return QStringLiteral("The file '%1' ends inside an atom at offset ") +
            QString::number(offset) + QLatin1Char('.');
    };
    const auto invalidAt = [](qint64 offset) -> QString {
        return QStringLiteral("The file '%1' has an atom of invalid size at offset ") +
            QString::number(offset) + QLatin1Char('.');
    };

    QTest::newRow("bytes after the last atom") << good + "abc" << endsInside(good.size());
    QTest::newRow("last atom longer than the file")
        << good.left(good.size() - 1) << endsInside(moovAt);
    QTest::newRow("header cut short by a 64-bit size")
        << good + bigEndian32(1) + "free" << endsInside(good.size());
    QTest::newRow("atom size 0") << Ftyp + bigEndian32(0) + "mdat" + media(4) + moovWithTable(table)
                                 << invalidAt(Ftyp.size());
    QTest::newRow("atom size below its header")
        << Ftyp + bigEndian32(7) + "free" + moovWithTable(table) << invalidAt(Ftyp.size());
    QTest::newRow("64-bit size below its header")
        << Ftyp + bigEndian32(1) + "mdat" + QByteArray(7, '\0') + "\x0f" + moovWithTable(table)
        << invalidAt(Ftyp.size());
    QTest::newRow("moov shorter than 16 bytes")
        << before + atom("moov", "abcd") << invalidAt(moovAt);
    QTest::newRow("compressed moov") << before + atom("moov", atom("cmov", QByteArray(20, '\0')))
                                     << "Compressed MOOV atom does not supported.";

    // The chunk offset tables, with their atom size and entry count forged.
    const auto forged = [&before](quint32 size, quint32 count, const QByteArray& rest) {
        return withMoovLast(
            before, bigEndian32(size) + "stco" + bigEndian32(0) + bigEndian32(count) + rest);
    };
    QTest::newRow("stco shorter than its header") << forged(4, 0, {}) << "Invalid atom size.";
    QTest::newRow("stco without room for its count") << forged(12, 0, {}) << "Invalid atom size.";
    QTest::newRow("stco count beyond the atom")
        << forged(20, 2, bigEndian32(100) + bigEndian32(200)) << "Invalid atom size.";
    QTest::newRow("stco larger than the moov")
        << forged(4000, 1, bigEndian32(100)) << "Invalid atom size.";
    QTest::newRow("stco with a negative size")
        << forged(0x80000000u, 1, bigEndian32(100)) << "Invalid atom size.";
    QTest::newRow("co64 count beyond the atom")
        << withMoovLast(before,
                        bigEndian32(24) + "co64" + bigEndian32(0) + bigEndian32(2) +
                            QByteArray(8, '\0'))
        << "Invalid atom size.";
    QTest::newRow("offset beyond 32 bits once moved")
        << withMoovLast(before, stco({100, 0xfffffff0u}))
        << "A chunk offset in the file '%1' is too large to move.";
}

void TestQtFastStart::refusesMalformedFiles()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, error);
    const QString file = m_work->writeFile(QStringLiteral("in.mp4"), input);

    const Run run = rewriteInPlace(file);
    QVERIFY(run.failed);
    QCOMPARE(run.error, error.contains("%1") ? error.arg(file) : error);
    QCOMPARE(m_work->readFile(QStringLiteral("in.mp4")), input);
    QVERIFY(!QFile::exists(file + QStringLiteral(".tmp")));
}

void TestQtFastStart::failuresOfTheFiles()
{
    const QString missing = m_work->filePath(QStringLiteral("missing.mp4"));
    QString error;
    QVERIFY(!fixMpeg4Meta(missing, m_work->filePath(QStringLiteral("out.mp4")), &error, nullptr,
                          nullptr));
    QCOMPARE(error, QStringLiteral("Failed to open the file '%1'.").arg(missing));

    const QString in = m_work->writeFile(
        QStringLiteral("in.mp4"),
        withMoovLast(Ftyp + atom("mdat", media(10)), stco(placesIn(Ftyp.size()))));
    const QString unwritable = m_work->filePath(QStringLiteral("no such folder/out.mp4"));
    QVERIFY(!fixMpeg4Meta(in, unwritable, &error, nullptr, nullptr));
    QCOMPARE(error, QStringLiteral("Failed to create the file '%1'.").arg(unwritable));

    // Nothing to report to, nothing to cancel with: the work is the same.
    const QString out = m_work->filePath(QStringLiteral("out.mp4"));
    QVERIFY(fixMpeg4Meta(in, out, nullptr, nullptr, nullptr));
    QCOMPARE(topLevelTypes(out).at(1), QByteArray("moov"));

    const Run run = rewriteInPlace(missing);
    QVERIFY(run.failed);
    QCOMPARE(run.error, QStringLiteral("Failed to open the file '%1'.").arg(missing));
}

void TestQtFastStart::cancelDuringTheCopy()
{
    const QByteArray input = withMoovLast(Ftyp + atom("mdat", QByteArray(3 * 1048576, 'm')),
                                          stco(placesIn(Ftyp.size())));
    const QString file = m_work->writeFile(QStringLiteral("in.mp4"), input);

    Mpeg4MetaFixer fixer(file);
    // Called on the worker thread at the report before the first chunk: the
    // flag is up before the second chunk.
    connect(
        &fixer, &VideoEncoder::progress, &fixer,
        [&fixer](qint64 current) {
            if (current == 10)
                fixer.cancel();
        },
        Qt::DirectConnection);
    QSignalSpy finished(&fixer, &VideoEncoder::finished);
    fixer.start();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(fixer.getError(), QString());
    QCOMPARE(m_work->readFile(QStringLiteral("in.mp4")), input);
    QVERIFY(!QFile::exists(file + QStringLiteral(".tmp")));

    // Cancelled before it begins, the function itself writes nothing either.
    volatile bool cancel = true;
    QString error;
    const QString out = m_work->filePath(QStringLiteral("out.mp4"));
    QVERIFY(!fixMpeg4Meta(file, out, &error, nullptr, &cancel));
    QCOMPARE(error, QString());
    QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestQtFastStart)
#include "tst_qtfaststart.moc"
