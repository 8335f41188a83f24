#include "encoding/qtfaststart.h"
#include "fuzzfiles.h"

#include <QByteArray>
#include <QFile>
#include <QLoggingCategory>

#include <cstddef>
#include <cstdint>

namespace {
class ProgressCheck : public ProgressHandler
{
public:
    void progress(qint64 current, qint64 total) override
    {
        if (total != 100 || current < last || current > 100)
            __builtin_trap();
        last = current;
    }
    qint64 last = 0;
};

quint64 bigEndian(const QByteArray& bytes, int at, int length)
{
    quint64 value = 0;
    for (int i = 0; i < length; ++i)
        value = value << 8 | quint8(bytes.at(at + i));
    return value;
}

// The size of the atom at the position, with its 64-bit form.
int atomSize(const QByteArray& bytes, int at)
{
    const quint64 size = bigEndian(bytes, at, 4);
    return int(size == 1 ? bigEndian(bytes, at + 8, 8) : size);
}

// A rewrite keeps every byte: the ftyp atom that opened the input, then the
// moov atom that closed it (same size and header, only offsets changed), then
// the bytes in between, unchanged.
void checkRewrite(const QByteArray& input, const QByteArray& output)
{
    if (output.size() != input.size())
        __builtin_trap();
    const int prefix = input.mid(4, 4) == "ftyp" ? atomSize(input, 0) : 0;
    if (output.left(prefix) != input.left(prefix) || output.mid(prefix + 4, 4) != "moov")
        __builtin_trap();
    const int moovSize = atomSize(output, prefix);
    if (output.mid(prefix, 8) != input.mid(input.size() - moovSize, 8))
        __builtin_trap();
    if (output.mid(prefix + moovSize) != input.mid(prefix, input.size() - prefix - moovSize))
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The rewriter tells the debug log about every file it leaves alone.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    return 0;
}

// Arbitrary bytes as an MP4 file: the rewrite either fails, leaving no output
// and saying why, leaves the file alone, or writes a complete rewrite.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString in = writeScratchFile(QStringLiteral("in.mp4"), data, size);
    const QString out = scratchPath(QStringLiteral("out.mp4"));
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    QFile::remove(out);

    QString error;
    ProgressCheck progress;
    const bool done = fixMpeg4Meta(in, out, &error, &progress, nullptr);
    if (!done) {
        if (error.isEmpty() || QFile::exists(out))
            __builtin_trap();
    } else {
        if (!error.isEmpty() || progress.last != 100)
            __builtin_trap();
        if (QFile::exists(out))
            checkRewrite(input, readWholeFile(out));
    }
    return 0;
}
