#include "util/miscutils.h"

#include <QFile>
#include <QTest>
#include <QtEndian>

// The Flash fallback player as built into the resource folder: a real
// compressed SWF 10 movie whose ActionScript 3 main class is the player and
// which reads the flashVars that published blocks pass to it.
class TestPlavex : public QObject
{
    Q_OBJECT
private slots:
    void isAPlayerMovie();
};

namespace {
struct Tag
{
    int code = 0;
    QByteArray body;
};

// The movie's tags after the header, or nothing when the data is cut short.
QList<Tag> readTags(const QByteArray& movie, int offset)
{
    QList<Tag> tags;
    while (offset + 2 <= movie.size()) {
        const quint16 codeAndLength = qFromLittleEndian<quint16>(movie.constData() + offset);
        offset += 2;
        qint64 length = codeAndLength & 0x3f;
        if (length == 0x3f) {
            if (offset + 4 > movie.size())
                return {};
            length = qFromLittleEndian<quint32>(movie.constData() + offset);
            offset += 4;
        }
        if (offset + length > movie.size())
            return {};
        tags.append({codeAndLength >> 6, movie.mid(offset, static_cast<int>(length))});
        offset += static_cast<int>(length);
    }
    return tags;
}
} // namespace

void TestPlavex::isAPlayerMovie()
{
    QFile file(getResourcesPath() + QStringLiteral("/publish/plavex.swf"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QByteArray data = file.readAll();
    QVERIFY(data.size() > 8);
    QCOMPARE(data.left(3), QByteArray("CWS"));
    QCOMPARE(int(data.at(3)), 10);
    const quint32 length = qFromLittleEndian<quint32>(data.constData() + 4);

    // qUncompress wants the expected size in front, big-endian.
    QByteArray packed(4, '\0');
    qToBigEndian<quint32>(length - 8, packed.data());
    const QByteArray movie = qUncompress(packed + data.mid(8));
    QCOMPARE(quint32(movie.size()), length - 8);

    // Frame rectangle: 5 bits of field size, then four fields in twips.
    const int bits = quint8(movie.at(0)) >> 3;
    const int rectBytes = (5 + 4 * bits + 7) / 8;
    const QList<Tag> tags = readTags(movie, rectBytes + 4);
    QVERIFY(!tags.isEmpty());
    QCOMPARE(tags.last().code, 0); // End

    bool actionScript3 = false;
    QByteArray code;
    bool startClass = false;
    for (const Tag& tag : tags) {
        if (tag.code == 69) // FileAttributes
            actionScript3 = tag.body.size() >= 1 && (tag.body.at(0) & 0x08);
        else if (tag.code == 82) // DoABC
            code += tag.body;
        else if (tag.code == 76) // SymbolClass: the class for symbol 0 starts the movie
            startClass = tag.body.size() > 5 && tag.body.mid(2, 2) == QByteArray(2, '\0');
    }
    QVERIFY(actionScript3);
    QVERIFY(code.size() > 1000);
    QVERIFY(startClass);
    for (const char* name : {"Plavex", "ControlBar", "src", "poster", "autoplay", "controls",
                             "loop", "fullScreenEnabled", "posterOnEnd", "NetStream", "Video"})
        QVERIFY2(code.contains(name), name);
}

QTEST_GUILESS_MAIN(TestPlavex)
#include "tst_plavex.moc"
