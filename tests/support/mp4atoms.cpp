#include "mp4atoms.h"

#include <QFile>
#include <QtEndian>

namespace Mp4Atoms {
namespace {
QVector<Atom> children(const QByteArray& data, qint64 begin, qint64 end)
{
    QVector<Atom> atoms;
    qint64 position = begin;
    while (end - position >= 8) {
        const uchar* header = reinterpret_cast<const uchar*>(data.constData()) + position;
        qint64 size = qFromBigEndian<quint32>(header);
        if (size == 1) {
            if (end - position < 16)
                break;
            size = qint64(qFromBigEndian<quint64>(header + 8));
        }
        if (size < 8 || size > end - position)
            break;
        atoms.append({data.mid(int(position) + 4, 4), position, size});
        position += size;
    }
    return atoms;
}

qint64 headerSize(const QByteArray& data, const Atom& atom)
{
    return qFromBigEndian<quint32>(data.constData() + atom.offset) == 1 ? 16 : 8;
}

void collectOffsets(const QByteArray& data, const Atom& parent, QVector<quint64>& offsets)
{
    static const QList<QByteArray> containers {"moov", "trak", "mdia", "minf", "stbl"};
    const qint64 begin = parent.offset + headerSize(data, parent);
    for (const Atom& child : children(data, begin, parent.offset + parent.size)) {
        if (containers.contains(child.type)) {
            collectOffsets(data, child, offsets);
        } else if (child.type == "stco" || child.type == "co64") {
            const uchar* table = reinterpret_cast<const uchar*>(data.constData()) + child.offset;
            const quint32 count = qFromBigEndian<quint32>(table + 12);
            for (quint32 i = 0; i < count; ++i)
                offsets.append(child.type == "co64" ? qFromBigEndian<quint64>(table + 16 + 8 * i)
                                                    : qFromBigEndian<quint32>(table + 16 + 4 * i));
        }
    }
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray bigEndian64(quint64 value)
{
    QByteArray bytes(8, Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}
} // namespace

QVector<Atom> topLevel(const QByteArray& file)
{
    return children(file, 0, file.size());
}

QVector<Atom> topLevelOfFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? topLevel(file.readAll()) : QVector<Atom>();
}

QList<QByteArray> topLevelTypes(const QString& path)
{
    QList<QByteArray> types;
    for (const Atom& atom : topLevelOfFile(path))
        types.append(atom.type);
    return types;
}

QVector<quint64> chunkOffsets(const QByteArray& file)
{
    QVector<quint64> offsets;
    for (const Atom& atom : topLevel(file)) {
        if (atom.type == "moov")
            collectOffsets(file, atom, offsets);
    }
    return offsets;
}

QByteArray atom(const QByteArray& type, const QByteArray& payload)
{
    return bigEndian32(quint32(8 + payload.size())) + type + payload;
}

QByteArray atom64(const QByteArray& type, const QByteArray& payload)
{
    return bigEndian32(1) + type + bigEndian64(quint64(16 + payload.size())) + payload;
}

QByteArray stco(const QVector<quint32>& offsets)
{
    QByteArray payload = bigEndian32(0) + bigEndian32(quint32(offsets.size()));
    for (const quint32 offset : offsets)
        payload += bigEndian32(offset);
    return atom("stco", payload);
}

QByteArray co64(const QVector<quint64>& offsets)
{
    QByteArray payload = bigEndian32(0) + bigEndian32(quint32(offsets.size()));
    for (const quint64 offset : offsets)
        payload += bigEndian64(offset);
    return atom("co64", payload);
}

QByteArray moovWithTable(const QByteArray& table)
{
    const QByteArray mvhd = atom("mvhd", QByteArray(100, '\0'));
    const QByteArray stbl = atom("stbl", table);
    return atom("moov", mvhd + atom("trak", atom("mdia", atom("minf", stbl))));
}
} // namespace Mp4Atoms
