#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// Reading and making MP4 atoms for tests, independent of the program's own
// rewriter: the readers walk the atom tree instead of scanning bytes.
namespace Mp4Atoms {
struct Atom
{
    QByteArray type;
    qint64 offset;
    qint64 size;
};

// The top-level atoms of the file's bytes, in order; stops at the first atom
// that does not fit.
QVector<Atom> topLevel(const QByteArray& file);
QVector<Atom> topLevelOfFile(const QString& path);
// The types only, e.g. {"ftyp", "moov", "mdat"}.
QList<QByteArray> topLevelTypes(const QString& path);

// Every chunk offset of every stco and co64 atom, found through
// moov/trak/mdia/minf/stbl, in file order.
QVector<quint64> chunkOffsets(const QByteArray& file);

// An atom with a 32-bit size, or with size 1 and a 64-bit size.
QByteArray atom(const QByteArray& type, const QByteArray& payload);
QByteArray atom64(const QByteArray& type, const QByteArray& payload);
// A chunk offset table: version and flags, the count, the entries.
QByteArray stco(const QVector<quint32>& offsets);
QByteArray co64(const QVector<quint64>& offsets);
// A moov atom holding one track whose sample table holds the given atom.
QByteArray moovWithTable(const QByteArray& table);
} // namespace Mp4Atoms
