#include "fuzzfiles.h"
#include "i18n/translate.h"

#include <cstddef>
#include <cstdint>

// Loads arbitrary bytes as a translation source file and asks it for texts.
namespace {
void quiet(QtMsgType, const QMessageLogContext&, const QString&) { }
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString file = writeScratchFile(QStringLiteral("t.ts"), data, size);
    TSTranslator translator;
    translator.load(file);
    // An answer is never empty for a non-empty source, and never null.
    for (const char* context : {"Window", "MainWindow", ""}) {
        for (const char* source : {"Open", "%n file(s)", "A & B"}) {
            const QString text = translator.translate(context, source);
            if (text.isEmpty())
                __builtin_trap();
        }
    }
    if (translator.translate(nullptr, nullptr).isNull())
        __builtin_trap();
    return 0;
}
