#include "encoding/ffmpegoutputparser.h"

#include <cstddef>
#include <cstdint>

// Feeds arbitrary diagnostic output in arbitrary chunks: progress must never
// go backwards and the pending tail must never hold a carriage return.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FFmpegOutputParser parser;
    qint64 last = 0;
    size_t position = 0;
    while (position < size) {
        const size_t chunk = 1 + data[position] % 64;
        const size_t end = position + 1 + chunk < size ? position + 1 + chunk : size;
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data) + position + 1,
                                               static_cast<int>(end - position - 1));
        for (const FFmpegOutputParser::Progress& progress : parser.feed(text)) {
            if (progress.current <= last)
                __builtin_trap();
            last = progress.current;
        }
        if (parser.pending().contains(QLatin1Char('\r')))
            __builtin_trap();
        position = end;
    }
    return 0;
}
