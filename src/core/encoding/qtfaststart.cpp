#include "encoding/qtfaststart.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QThread>
#include <QtEndian>

#include <cstdio>
#include <limits>
#include <new>

namespace {
constexpr quint32 atomType(const char (&name)[5])
{
    return quint32(quint8(name[0])) << 24 | quint32(quint8(name[1])) << 16 |
        quint32(quint8(name[2])) << 8 | quint32(quint8(name[3]));
}

const quint32 FTYP = atomType("ftyp");
const quint32 MOOV = atomType("moov");
const quint32 CMOV = atomType("cmov");
const quint32 STCO = atomType("stco");
const quint32 CO64 = atomType("co64");

// The top-level atoms the scan walks over; anything else ends it.
bool isAcceptedTopLevel(quint32 type)
{
    static const quint32 accepted[] = {
        atomType("free"), atomType("junk"), atomType("mdat"), MOOV, atomType("pnot"),
        atomType("skip"), atomType("wide"), atomType("PICT"), FTYP, atomType("uuid")};
    for (const quint32 known : accepted) {
        if (type == known)
            return true;
    }
    return false;
}

constexpr qint64 CopyChunkSize = 1048576;
// An atom held in memory must fit into one QByteArray.
constexpr qint64 MaxAtomInMemory = std::numeric_limits<int>::max() - 64;

QString commonText(const char* text)
{
    return QCoreApplication::translate("Common", text);
}

QString memoryText()
{
    return QCoreApplication::translate("QThread", "Failed to allocate a memory.");
}

// What the rewrite tells its caller.
class Outcome
{
public:
    Outcome(QString* error, ProgressHandler* handler, volatile bool* cancel)
        : m_error(error)
        , m_handler(handler)
        , m_cancel(cancel)
    { }

    bool fail(const QString& text)
    {
        if (m_error)
            *m_error = text;
        return false;
    }
    bool cancelled() const { return m_cancel && *m_cancel; }
    void progress(qint64 current)
    {
        if (m_handler)
            m_handler->progress(current, 100);
    }

private:
    QString* m_error;
    ProgressHandler* m_handler;
    volatile bool* m_cancel;
};

struct Atom
{
    quint32 type = 0;
    qint64 start = 0;
    qint64 size = 0;
};

// The top level of the input as far as the scan got.
struct Layout
{
    QByteArray ftyp; // the ftyp atom when it opens the file
    Atom last; // the last atom looked at
};

bool readExactly(QFile& file, char* buffer, qint64 size)
{
    return file.read(buffer, size) == size;
}

bool readAtom(QFile& file, const Atom& atom, QByteArray& bytes, Outcome& outcome)
{
    if (atom.size > MaxAtomInMemory)
        return outcome.fail(memoryText());
    bytes.resize(int(atom.size));
    if (!file.seek(atom.start) || !readExactly(file, bytes.data(), atom.size))
        return outcome.fail(commonText("Failed to read the file '%1'.").arg(file.fileName()));
    return true;
}

// Walks the top-level atoms. Every atom must lie wholly inside the file and be
// at least as long as its header, so the walk always moves forward and the
// last atom ends exactly at the end of the file; an atom of a type the walk
// does not know ends it early.
bool scanTopLevel(QFile& input, Layout& layout, Outcome& outcome)
{
    const QString name = input.fileName();
    const qint64 fileSize = input.size();
    qint64 position = 0;
    while (position < fileSize) {
        const qint64 remaining = fileSize - position;
        uchar header[16];
        if (remaining < 8)
            return outcome.fail(commonText("The file '%1' ends inside an atom at offset %2.")
                                    .arg(name)
                                    .arg(position));
        if (!input.seek(position) || !readExactly(input, reinterpret_cast<char*>(header), 8))
            return outcome.fail(commonText("Failed to read the file '%1'.").arg(name));
        Atom atom {qFromBigEndian<quint32>(header + 4), position, qFromBigEndian<quint32>(header)};
        layout.last = atom;
        if (!isAcceptedTopLevel(atom.type))
            return true;
        qint64 headerSize = 8;
        if (atom.size == 1) {
            if (remaining < 16)
                return outcome.fail(commonText("The file '%1' ends inside an atom at offset %2.")
                                        .arg(name)
                                        .arg(position));
            if (!readExactly(input, reinterpret_cast<char*>(header + 8), 8))
                return outcome.fail(commonText("Failed to read the file '%1'.").arg(name));
            const quint64 extended = qFromBigEndian<quint64>(header + 8);
            atom.size = extended > quint64(fileSize) ? fileSize + 1 : qint64(extended);
            headerSize = 16;
        }
        if (atom.size < headerSize)
            return outcome.fail(
                commonText("The file '%1' has an atom of invalid size at offset %2.")
                    .arg(name)
                    .arg(position));
        if (atom.size > remaining)
            return outcome.fail(commonText("The file '%1' ends inside an atom at offset %2.")
                                    .arg(name)
                                    .arg(position));
        layout.last = atom;
        if (atom.type == FTYP && position == 0 && !readAtom(input, atom, layout.ftyp, outcome))
            return false;
        position += atom.size;
    }
    return true;
}

// Adds the moov size to every chunk offset of the stco and co64 atoms found in
// the moov atom. The offsets are patched in place; on failure the moov bytes
// are of no further use.
bool patchChunkOffsets(QByteArray& moov, const QString& inputName, Outcome& outcome)
{
    uchar* data = reinterpret_cast<uchar*>(moov.data());
    const qint64 moovSize = moov.size();
    for (qint64 i = 4; i < moovSize - 4; ++i) {
        const quint32 type = qFromBigEndian<quint32>(data + i);
        if (type != STCO && type != CO64)
            continue;
        const qint64 atomStart = i - 4;
        const qint64 atomSize = qint32(qFromBigEndian<quint32>(data + atomStart));
        // Header, version and flags, entry count.
        constexpr qint64 tableHeader = 16;
        if (atomSize < tableHeader || atomStart + atomSize > moovSize)
            return outcome.fail(commonText("Invalid atom size."));
        const qint64 entrySize = type == CO64 ? 8 : 4;
        const qint64 count = qFromBigEndian<quint32>(data + i + 8);
        if (tableHeader + count * entrySize > atomSize)
            return outcome.fail(commonText("Invalid atom size."));
        uchar* entry = data + i + 12;
        for (qint64 n = 0; n < count; ++n, entry += entrySize) {
            if (type == CO64) {
                const quint64 offset = qFromBigEndian<quint64>(entry);
                if (offset > std::numeric_limits<quint64>::max() - quint64(moovSize))
                    return outcome.fail(
                        commonText("A chunk offset in the file '%1' is too large to move.")
                            .arg(inputName));
                qToBigEndian<quint64>(offset + quint64(moovSize), entry);
            } else {
                const quint64 offset = quint64(qFromBigEndian<quint32>(entry)) + quint64(moovSize);
                if (offset > std::numeric_limits<quint32>::max())
                    return outcome.fail(
                        commonText("A chunk offset in the file '%1' is too large to move.")
                            .arg(inputName));
                qToBigEndian<quint32>(quint32(offset), entry);
            }
        }
        i = atomStart + atomSize;
    }
    return true;
}

// Copies length bytes of the input from its current position to the output,
// in 1 MiB chunks through one buffer, reporting 10 to 100 percent.
bool copyMedia(QFile& input, QFile& output, qint64 length, Outcome& outcome)
{
    QByteArray buffer(int(std::min(length, CopyChunkSize)), Qt::Uninitialized);
    qint64 copied = 0;
    while (copied < length) {
        if (outcome.cancelled())
            return false;
        outcome.progress(qint64(((double(copied) * 0.9 / double(length)) + 0.1) * 100));
        const qint64 chunk = std::min(length - copied, CopyChunkSize);
        if (!readExactly(input, buffer.data(), chunk))
            return outcome.fail(commonText("Failed to read the file '%1'.").arg(input.fileName()));
        if (output.write(buffer.constData(), chunk) != chunk)
            return outcome.fail(
                commonText("Failed to write the file '%1'.").arg(output.fileName()));
        copied += chunk;
    }
    return true;
}

// Writes the rewritten file: the ftyp atom that opened the input, the patched
// moov atom, then the input from after that ftyp atom up to the old moov
// atom. Every byte after the ftyp atom thus moves by the moov size, which is
// what the patched offsets say.
bool writeOutput(QFile& input, const QString& outputName, const Layout& layout,
                 const QByteArray& moov, Outcome& outcome)
{
    const qint64 mediaStart = layout.ftyp.size();
    const qint64 length = layout.last.start - mediaStart;
    QFile output(outputName);
    if (!input.seek(mediaStart))
        return outcome.fail(commonText("Failed to read the file '%1'.").arg(input.fileName()));
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return outcome.fail(commonText("Failed to create the file '%1'.").arg(outputName));
    bool written =
        output.write(layout.ftyp) == layout.ftyp.size() && output.write(moov) == moov.size();
    if (!written)
        outcome.fail(commonText("Failed to write the file '%1'.").arg(outputName));
    else
        written = copyMedia(input, output, length, outcome);
    if (!written)
        output.remove();
    return written;
}
} // namespace

ProgressHandler::~ProgressHandler() = default;

bool fixMpeg4Meta(const QString& input, const QString& output, QString* error,
                  ProgressHandler* handler, volatile bool* cancel)
{
    Outcome outcome(error, handler, cancel);
    QFile in(input);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return outcome.fail(commonText("Failed to open the file '%1'.").arg(input));

    Layout layout;
    if (!scanTopLevel(in, layout, outcome))
        return false;
    if (layout.last.type != MOOV) {
        qDebug() << "The last atom in the file is not a MOOV atom.";
        outcome.progress(100);
        return true;
    }

    constexpr qint64 minimumMoov = 16;
    if (layout.last.size < minimumMoov)
        return outcome.fail(commonText("The file '%1' has an atom of invalid size at offset %2.")
                                .arg(input)
                                .arg(layout.last.start));
    QByteArray moov;
    if (!readAtom(in, layout.last, moov, outcome))
        return false;
    if (qFromBigEndian<quint32>(moov.constData() + 12) == CMOV)
        return outcome.fail(commonText("Compressed MOOV atom does not supported."));
    if (outcome.cancelled())
        return false;
    outcome.progress(5);

    if (!patchChunkOffsets(moov, input, outcome) || !writeOutput(in, output, layout, moov, outcome))
        return false;
    outcome.progress(100);
    return true;
}

class Mpeg4MetaFixer::WorkThread : public QThread
{
public:
    WorkThread(const QString& file, ProgressHandler* handler, QObject* parent)
        : QThread(parent)
        , m_file(file)
        , m_handler(handler)
    { }

    const QString m_file;
    ProgressHandler* const m_handler;
    bool m_success = false;
    QString m_error;
    // Written by the owner's thread, read by the worker between steps.
    volatile bool m_cancel = false;

protected:
    void run() override
    {
        const QString temp = m_file + QStringLiteral(".tmp");
        try {
            m_success = fixMpeg4Meta(m_file, temp, &m_error, m_handler, &m_cancel);
        } catch (const std::bad_alloc&) {
            m_success = false;
            m_error = memoryText();
        }
        if (m_success && QFile::exists(temp))
            m_success = replaceFile(temp);
        if (QFile::exists(temp))
            QFile::remove(temp);
    }

private:
    // Takes over the original's permissions, then replaces it in one step:
    // until the rename succeeds the original stays as it was.
    bool replaceFile(const QString& temp)
    {
        QFile::setPermissions(temp, QFile::permissions(m_file));
        if (std::rename(QFile::encodeName(temp).constData(),
                        QFile::encodeName(m_file).constData()) == 0)
            return true;
        m_error = QCoreApplication::translate("QThread", "Failed to rename the file '%1' to '%2'.")
                      .arg(temp, m_file);
        return false;
    }
};

Mpeg4MetaFixer::Mpeg4MetaFixer(const QString& file, QObject* parent)
    : VideoEncoder(file, parent)
    , m_worker(new WorkThread(file, this, this))
{
    connect(m_worker, &QThread::finished, this, &Mpeg4MetaFixer::workerFinished);
}

Mpeg4MetaFixer::~Mpeg4MetaFixer()
{
    m_worker->m_cancel = true;
    m_worker->wait();
}

void Mpeg4MetaFixer::progress(qint64 current, qint64 total)
{
    emit VideoEncoder::progress(current, total);
}

void Mpeg4MetaFixer::start()
{
    m_worker->start(QThread::InheritPriority);
}

void Mpeg4MetaFixer::cancel()
{
    m_worker->m_cancel = true;
}

QString Mpeg4MetaFixer::getError() const
{
    return m_worker->m_error;
}

QString Mpeg4MetaFixer::getErrorLog() const
{
    return QString();
}

void Mpeg4MetaFixer::workerFinished()
{
    emit finished(!m_worker->m_success);
}

VideoEncoder* CreateMpeg4MetaFixer(const QString& file)
{
    return new Mpeg4MetaFixer(file);
}
