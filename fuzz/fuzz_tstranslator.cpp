#include "i18n/translate.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Loads arbitrary bytes as a translation source file and asks it for texts.
namespace {
QTemporaryDir* g_folder = nullptr;

void quiet(QtMsgType, const QMessageLogContext&, const QString&) { }
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(quiet);
    g_folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString file = g_folder->filePath(QStringLiteral("t.ts"));
    {
        QFile output(file);
        if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        output.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
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
