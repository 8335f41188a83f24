#include "project/serialize.h"

#include <QDataStream>
#include <QDebug>
#include <QIODevice>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {
const QString TypeAttribute = QStringLiteral("type");

// Far deeper than any settings map goes; a file that nests further is damaged,
// and following it would exhaust the stack.
constexpr int MaximumNesting = 32;

// Asks the XML reader itself, so that the rule is exactly the one that will
// read the file back.
bool isXmlName(const QString& key)
{
    QXmlStreamReader reader(QLatin1Char('<') + key + QLatin1String("/>"));
    QString name;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && name.isNull())
            name = reader.qualifiedName().toString();
    }
    return !reader.hasError() && name == key;
}

QString streamForm(const QVariant& value)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << value;
    return QString::fromLatin1(bytes.toBase64());
}

// Value types whose stream form is decoded by Qt's own reader. Qt's readers of
// other types need a GUI application (pixmaps, icons, cursors) or trust counts
// and nesting taken from the data (regions, polygons, variant containers), so a
// damaged file could abort the program through them. Containers of variants
// and string lists are decoded here, with their counts checked against the
// data.
bool isPlainStreamType(quint32 type)
{
    switch (type) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::QChar:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QBitArray:
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime:
    case QMetaType::QUrl:
    case QMetaType::QUuid:
    case QMetaType::QSize:
    case QMetaType::QSizeF:
    case QMetaType::QPoint:
    case QMetaType::QPointF:
    case QMetaType::QRect:
    case QMetaType::QRectF:
    case QMetaType::QLine:
    case QMetaType::QLineF:
    case QMetaType::QColor:
    case QMetaType::QImage:
        return true;
    default:
        return false;
    }
}

class StreamFormReader
{
public:
    explicit StreamFormReader(const QByteArray& bytes)
        : m_stream(bytes)
    { }

    bool isOk() const { return m_stream.status() == QDataStream::Ok; }

    QVariant readValue(int depth)
    {
        const qint64 start = m_stream.device()->pos();
        quint32 type = QMetaType::UnknownType;
        qint8 isNull = 0;
        m_stream >> type >> isNull;
        if (!isOk())
            return {};
        if (type == QMetaType::QStringList)
            return readStringList();
        if (type == QMetaType::QVariantList || type == QMetaType::QVariantMap ||
            type == QMetaType::QVariantHash) {
            if (depth >= MaximumNesting)
                return fail();
            if (type == QMetaType::QVariantList)
                return readList(depth);
            if (type == QMetaType::QVariantMap)
                return readMap<QVariantMap>(depth);
            return readMap<QVariantHash>(depth);
        }
        if (!isPlainStreamType(type))
            return fail();
        m_stream.device()->seek(start);
        QVariant value;
        m_stream >> value;
        return value;
    }

private:
    QVariant fail()
    {
        m_stream.setStatus(QDataStream::ReadCorruptData);
        return {};
    }

    // Reads an item count and checks that the rest of the data can hold that
    // many items of at least the given size, so that a damaged count cannot
    // make us reserve gigabytes.
    bool readCount(quint32& count, int minimumItemSize)
    {
        m_stream >> count;
        if (isOk() && count > m_stream.device()->bytesAvailable() / minimumItemSize)
            fail();
        return isOk();
    }

    QVariant readStringList()
    {
        quint32 count = 0;
        if (!readCount(count, sizeof(quint32)))
            return {};
        QStringList list;
        list.reserve(static_cast<int>(count));
        for (quint32 i = 0; i < count; ++i) {
            QString text;
            m_stream >> text;
            if (!isOk())
                return {};
            list.append(text);
        }
        return list;
    }

    QVariant readList(int depth)
    {
        quint32 count = 0;
        if (!readCount(count, MinimumVariantSize))
            return {};
        QVariantList list;
        list.reserve(static_cast<int>(count));
        for (quint32 i = 0; i < count; ++i) {
            list.append(readValue(depth + 1));
            if (!isOk())
                return {};
        }
        return list;
    }

    template<typename Map> QVariant readMap(int depth)
    {
        quint32 count = 0;
        if (!readCount(count, sizeof(quint32) + MinimumVariantSize))
            return {};
        Map map;
        for (quint32 i = 0; i < count; ++i) {
            QString key;
            m_stream >> key;
            const QVariant value = readValue(depth + 1);
            if (!isOk())
                return {};
            map.insert(key, value);
        }
        return map;
    }

    // Type number and null flag.
    static constexpr int MinimumVariantSize = 5;

    QDataStream m_stream;
};

QVariant decodeStreamForm(const QString& text, int type)
{
    StreamFormReader reader(QByteArray::fromBase64(text.toLatin1()));
    const QVariant value = reader.readValue(0);
    if (!reader.isOk() || value.userType() != type)
        return {};
    return value;
}

QVariant readValue(QXmlStreamReader& reader, int type)
{
    const QString text = reader.readElementText(QXmlStreamReader::SkipChildElements);
    if (type != QMetaType::QStringList && QVariant(text).canConvert(type)) {
        QVariant value(text);
        // Text that does not convert leaves the type's empty value, and the
        // entry stays.
        value.convert(type);
        return value;
    }
    return decodeStreamForm(text, type);
}

void readEntries(QXmlStreamReader& reader, QMap<QString, QVariant>& map, int depth)
{
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isEndElement())
            return;
        if (!reader.isStartElement())
            continue;
        const QString key = reader.name().toString();
        const int type = QVariant::nameToType(reader.attributes().value(TypeAttribute).toLatin1());
        QVariant value;
        if (type == QMetaType::QVariantMap) {
            if (depth >= MaximumNesting) {
                reader.raiseError(QStringLiteral("Settings are nested too deeply."));
                return;
            }
            QVariantMap nested;
            readEntries(reader, nested, depth + 1);
            if (!nested.isEmpty())
                value = nested;
        } else {
            value = readValue(reader, type);
        }
        if (value.isValid())
            map.insert(key, value);
    }
}
} // namespace

void Serialize(QXmlStreamWriter& writer, const QMap<QString, QVariant>& map)
{
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (!isXmlName(it.key())) {
            qWarning() << "Settings key that is no XML name left out:" << it.key();
            continue;
        }
        const QVariant& value = it.value();
        writer.writeStartElement(it.key());
        writer.writeAttribute(TypeAttribute, QString::fromLatin1(value.typeName()));
        if (value.userType() == QMetaType::QVariantMap)
            Serialize(writer, value.toMap());
        else if (value.userType() == QMetaType::QStringList || !value.canConvert<QString>())
            writer.writeCharacters(streamForm(value));
        else
            writer.writeCharacters(value.toString());
        writer.writeEndElement();
    }
}

void Deserialize(QXmlStreamReader& reader, QMap<QString, QVariant>& map)
{
    readEntries(reader, map, 0);
}
