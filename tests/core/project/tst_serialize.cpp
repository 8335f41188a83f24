#include "project/serialize.h"

#include <QColor>
#include <QDataStream>
#include <QImage>
#include <QPolygon>
#include <QRegion>
#include <QRegularExpression>
#include <QTest>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {
// The map as the XML form inside an enclosing "Settings" element.
QString serialize(const QVariantMap& map)
{
    QString xml;
    QXmlStreamWriter writer(&xml);
    writer.writeStartElement(QStringLiteral("Settings"));
    Serialize(writer, map);
    writer.writeEndElement();
    return xml;
}

QVariantMap deserialize(const QString& xml, QString* error = nullptr)
{
    QXmlStreamReader reader(xml);
    QVariantMap map;
    if (reader.readNextStartElement())
        Deserialize(reader, map);
    if (error)
        *error = reader.errorString();
    return map;
}

// Base64 of a hand-made stream form: type number, null flag, then the payload.
QString streamForm(quint32 type, const QByteArray& payload)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << type << qint8(0);
    bytes += payload;
    return QString::fromLatin1(bytes.toBase64());
}

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes;
    QDataStream(&bytes, QIODevice::WriteOnly) << value;
    return bytes;
}

QString entry(const QString& type, const QString& text)
{
    return QStringLiteral("<Settings><Key type=\"%1\">%2</Key></Settings>").arg(type, text);
}

QImage smallImage()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(QColor(10, 200, 30, 128));
    image.setPixel(1, 1, qRgba(1, 2, 3, 255));
    return image;
}
} // namespace

class TestSerialize : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void fullSettingsMap();
    void writtenForm_data();
    void writtenForm();
    void entriesInKeyOrder();
    void keysThatAreNoXmlNamesAreLeftOut();
    void reading_data();
    void reading();
    void readingStopsAtTheEnclosingEnd();
    void deepNestingIsAnError();
};

void TestSerialize::roundTrip_data()
{
    QTest::addColumn<QVariant>("value");

    QTest::newRow("string with markup") << QVariant(QStringLiteral("a <b> & \"c\" 'd' ]]>"));
    QTest::newRow("non-Latin string") << QVariant(QStringLiteral("Видео 動画 🎬"));
    QTest::newRow("empty string") << QVariant(QString(""));
    QTest::newRow("true") << QVariant(true);
    QTest::newRow("false") << QVariant(false);
    QTest::newRow("int") << QVariant(-42);
    QTest::newRow("qlonglong above 32 bits") << QVariant(Q_INT64_C(5000000000));
    QTest::newRow("double fraction") << QVariant(0.1);
    QTest::newRow("double large") << QVariant(-1.5e300);
    QTest::newRow("QSize") << QVariant(QSize(640, 360));
    QTest::newRow("QSize 0x0") << QVariant(QSize(0, 0));
    QTest::newRow("QTime") << QVariant(QTime(1, 2, 3));
    QTest::newRow("QTime with milliseconds") << QVariant(QTime(0, 0, 59, 960));
    QTest::newRow("QDateTime local") << QVariant(QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)));
    QTest::newRow("QDateTime UTC")
        << QVariant(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC));
    QTest::newRow("QUrl") << QVariant(QUrl(QStringLiteral("ftp://user@host:21/a b/?x=1&y=2")));
    QTest::newRow("QStringList") << QVariant(
        QStringList {QStringLiteral("WebM"), QStringLiteral("Mpeg4")});
    QTest::newRow("empty QStringList") << QVariant(QStringList());
    QTest::newRow("QStringList of one empty string") << QVariant(QStringList {QString("")});
    QTest::newRow("nested map") << QVariant(
        QVariantMap {{QStringLiteral("TargetSize"), QSize(0, 0)},
                     {QStringLiteral("ResizeMethod"), QStringLiteral("ResizePad")},
                     {QStringLiteral("Inner"), QVariantMap {{QStringLiteral("x"), 1}}}});
    QTest::newRow("variant list") << QVariant(
        QVariantList {1, QStringLiteral("two"), QSize(3, 4), QVariantList {QStringList {"5"}}});
    QTest::newRow("image") << QVariant(smallImage());
}

void TestSerialize::roundTrip()
{
    QFETCH(QVariant, value);
    const QVariantMap map {{QStringLiteral("Value"), value}};

    const QVariantMap read = deserialize(serialize(map));

    QCOMPARE(read.keys(), map.keys());
    QCOMPARE(read.value(QStringLiteral("Value")).userType(), value.userType());
    QCOMPARE(read.value(QStringLiteral("Value")), value);
}

// A project's settings as the program fills them, read back whole: one entry
// must not disturb the next.
void TestSerialize::fullSettingsMap()
{
    const QVariantMap settings {
        {QStringLiteral("VideoTitle"), QStringLiteral("Holiday & friends")},
        {QStringLiteral("VideoPrevew"), Q_INT64_C(12345678)},
        {QStringLiteral("UseCustomPoster"), false},
        {QStringLiteral("CustomPoster"), QString("")},
        {QStringLiteral("AutoPlay"), true},
        {QStringLiteral("VideoFormats"),
         QStringList {QStringLiteral("WebM"), QStringLiteral("Mpeg4")}},
        {QStringLiteral("VideoEncodingParameters"),
         QVariantMap {{QStringLiteral("TargetSize"), QSize(0, 0)},
                      {QStringLiteral("ResizeMethod"), QStringLiteral("ResizePad")},
                      {QStringLiteral("VideoQuality"), 0},
                      {QStringLiteral("WatermarkText"), QStringLiteral("(c) me")}}},
        {QStringLiteral("VideoSize"), QSize(1280, 720)},
        {QStringLiteral("VideoDuration"), QTime(0, 1, 30)},
        {QStringLiteral("VideoBitrate"), 1500000.0},
        {QStringLiteral("VideoFramerate"), 29.97},
        {QStringLiteral("VideoCodec"), QStringLiteral("h264")},
        {QStringLiteral("FileSize"), Q_INT64_C(3000000000)},
        {QStringLiteral("FileLastModified"), QDateTime(QDate(2020, 2, 29), QTime(12, 0, 1))},
        {QStringLiteral("PublishParameters"),
         QVariantMap {{QStringLiteral("PublishType"), QStringLiteral("Ftp")},
                      {QStringLiteral("FtpServer"), QUrl(QStringLiteral("ftp://h/x"))},
                      {QStringLiteral("VideoSize"), QSize(640, 360)},
                      {QStringLiteral("PublishBatchIndex"), 3}}},
    };

    const QVariantMap read = deserialize(serialize(settings));

    QCOMPARE(read, settings);
    for (auto it = settings.cbegin(); it != settings.cend(); ++it)
        QCOMPARE(read.value(it.key()).userType(), it.value().userType());
}

void TestSerialize::writtenForm_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("QSize 640x360")
        << QVariant(QSize(640, 360)) << "<K type=\"QSize\">AAAAFQAAAAKAAAABaA==</K>";
    QTest::newRow("QSize 0x0") << QVariant(QSize(0, 0))
                               << "<K type=\"QSize\">AAAAFQAAAAAAAAAAAA==</K>";
    QTest::newRow("bool") << QVariant(true) << "<K type=\"bool\">true</K>";
    QTest::newRow("qlonglong") << QVariant(Q_INT64_C(-7)) << "<K type=\"qlonglong\">-7</K>";
    QTest::newRow("double") << QVariant(25.0) << "<K type=\"double\">25</K>";
    QTest::newRow("escaped text") << QVariant(QStringLiteral("a<&"))
                                  << "<K type=\"QString\">a&lt;&amp;</K>";
    QTest::newRow("time") << QVariant(QTime(10, 0, 5)) << "<K type=\"QTime\">10:00:05.000</K>";
    QTest::newRow("url") << QVariant(QUrl(QStringLiteral("http://h/a?b=c")))
                         << "<K type=\"QUrl\">http://h/a?b=c</K>";
    // Always the stream form, even where a text form exists: "a" and ("a")
    // would read back alike.
    QTest::newRow("string list") << QVariant(QStringList {QStringLiteral("a")})
                                 << "<K type=\"QStringList\">AAAACwAAAAABAAAAAgBh</K>";
    QTest::newRow("empty map") << QVariant(QVariantMap()) << "<K type=\"QVariantMap\"/>";
}

void TestSerialize::writtenForm()
{
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    QCOMPARE(serialize({{QStringLiteral("K"), value}}),
             QStringLiteral("<Settings>%1</Settings>").arg(expected));
}

void TestSerialize::entriesInKeyOrder()
{
    const QString xml =
        serialize({{QStringLiteral("b"), 1}, {QStringLiteral("B"), 2}, {QStringLiteral("a"), 3}});
    QCOMPARE(xml,
             QStringLiteral("<Settings><B type=\"int\">2</B><a type=\"int\">3</a>"
                            "<b type=\"int\">1</b></Settings>"));
}

void TestSerialize::keysThatAreNoXmlNamesAreLeftOut()
{
    const QVariantMap map {{QStringLiteral("good"), 1},
                           {QStringLiteral("two words"), 2},
                           {QStringLiteral("1st"), 3},
                           {QStringLiteral("a:b"), 4},
                           {QStringLiteral("x/><y"), 5},
                           {QString(), 6},
                           {QStringLiteral("Nested"),
                            QVariantMap {{QStringLiteral("a&b"), 7}, {QStringLiteral("ok"), 8}}}};
    for (int i = 0; i < 6; ++i)
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral("^Settings key that is no XML name")));
    QString error;
    const QVariantMap read = deserialize(serialize(map), &error);
    QCOMPARE(error, QString());
    QCOMPARE(read,
             (QVariantMap {{QStringLiteral("good"), 1},
                           {QStringLiteral("Nested"), QVariantMap {{QStringLiteral("ok"), 8}}}}));
}

void TestSerialize::reading_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<QVariantMap>("expected");

    const QString key = QStringLiteral("Key");
    QTest::newRow("empty nested map is lost")
        << "<Settings><Key type=\"QVariantMap\"></Key><Other type=\"int\">1</Other></Settings>"
        << QVariantMap {{QStringLiteral("Other"), 1}};
    QTest::newRow("nested map of empty maps is lost")
        << "<Settings><Key type=\"QVariantMap\"><In type=\"QVariantMap\"/></Key></Settings>"
        << QVariantMap();
    QTest::newRow("unknown type") << entry(QStringLiteral("Nonsense"), QStringLiteral("1"))
                                  << QVariantMap();
    QTest::newRow("missing type") << "<Settings><Key>text</Key></Settings>" << QVariantMap();
    // Even a perfect stream form does not make up for the missing type.
    QTest::newRow("missing type, stream text")
        << "<Settings><Key>AAAAFQAAAAKAAAABaA==</Key></Settings>" << QVariantMap();
    QTest::newRow("text that is no number stays as 0")
        << entry(QStringLiteral("int"), QStringLiteral("many")) << QVariantMap {{key, 0}};
    QTest::newRow("later duplicate wins")
        << "<Settings><Key type=\"int\">1</Key><Key type=\"QString\">2</Key></Settings>"
        << QVariantMap {{key, QStringLiteral("2")}};
    QTest::newRow("child elements of a text are passed over")
        << entry(QStringLiteral("QString"), QStringLiteral("a<x>b</x>c"))
        << QVariantMap {{key, "ac"}};
    QTest::newRow("whole seconds of an older file")
        << entry(QStringLiteral("QTime"), QStringLiteral("00:01:30"))
        << QVariantMap {{key, QTime(0, 1, 30)}};
    QTest::newRow("not Base64") << entry(QStringLiteral("QSize"), QStringLiteral("640x360"))
                                << QVariantMap();
    QTest::newRow("truncated stream form")
        << entry(QStringLiteral("QSize"), QStringLiteral("AAAAFQAAAAKA")) << QVariantMap();
    QTest::newRow("stream of another type")
        << entry(QStringLiteral("QSize"), QStringLiteral("AAAACwAAAAABAAAAAgBh")) << QVariantMap();
    QTest::newRow("string list count beyond the data")
        << entry(QStringLiteral("QStringList"),
                 streamForm(QMetaType::QStringList, bigEndian(0x7fffffff) + bigEndian(0)))
        << QVariantMap();
    QTest::newRow("variant list count beyond the data")
        << entry(QStringLiteral("QVariantList"),
                 streamForm(QMetaType::QVariantList, bigEndian(0x40000000)))
        << QVariantMap();
    // Qt's own reader of these would abort without a GUI application, or
    // trust the counts in the data.
    QByteArray region;
    QDataStream regionStream(&region, QIODevice::WriteOnly);
    regionStream << QVariant::fromValue(QRegion(0, 0, 4, 4));
    QTest::newRow("region") << entry(QStringLiteral("QRegion"),
                                     QString::fromLatin1(region.toBase64()))
                            << QVariantMap();
    QTest::newRow("polygon with a huge count")
        << entry(QStringLiteral("QPolygon"), streamForm(QMetaType::QPolygon, bigEndian(0x7fffffff)))
        << QVariantMap();
}

void TestSerialize::reading()
{
    QFETCH(QString, xml);
    QFETCH(QVariantMap, expected);
    QString error;
    const QVariantMap read = deserialize(xml, &error);
    QCOMPARE(error, QString());
    QCOMPARE(read, expected);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QCOMPARE(read.value(it.key()).userType(), it.value().userType());
}

void TestSerialize::readingStopsAtTheEnclosingEnd()
{
    QXmlStreamReader reader(QStringLiteral(
        "<Project><Settings><A type=\"int\">1</A><B type=\"QVariantMap\"><C type=\"int\">2</C>"
        "</B></Settings><Next/></Project>"));
    QVERIFY(reader.readNextStartElement());
    QVERIFY(reader.readNextStartElement());
    QVariantMap map;
    Deserialize(reader, map);
    QVERIFY(reader.isEndElement());
    QCOMPARE(reader.name(), QStringLiteral("Settings"));
    QVERIFY(reader.readNextStartElement());
    QCOMPARE(reader.name(), QStringLiteral("Next"));
    QCOMPARE(map,
             (QVariantMap {{QStringLiteral("A"), 1},
                           {QStringLiteral("B"), QVariantMap {{QStringLiteral("C"), 2}}}}));
}

// A damaged file that nests maps without end must not exhaust the stack.
void TestSerialize::deepNestingIsAnError()
{
    const int depth = 100000;
    QString xml = QStringLiteral("<Settings>");
    for (int i = 0; i < depth; ++i)
        xml += QStringLiteral("<M type=\"QVariantMap\">");
    xml += QStringLiteral("<V type=\"int\">1</V>");
    for (int i = 0; i < depth; ++i)
        xml += QStringLiteral("</M>");
    xml += QStringLiteral("</Settings>");

    QString error;
    deserialize(xml, &error);
    QVERIFY(!error.isEmpty());

    // The same through a variant list in stream form.
    QByteArray nested;
    for (int i = 0; i < depth; ++i)
        nested += bigEndian(QMetaType::QVariantList) + QByteArray(1, '\0') + bigEndian(1);
    nested += bigEndian(QMetaType::Int) + QByteArray(1, '\0') + bigEndian(1);
    QCOMPARE(deserialize(entry(QStringLiteral("QVariantList"),
                               streamForm(QMetaType::QVariantList, bigEndian(1) + nested))),
             QVariantMap());
}

QTEST_MAIN(TestSerialize)
#include "tst_serialize.moc"
