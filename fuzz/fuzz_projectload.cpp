#include "project/project.h"
#include "project/recentprojectmanager.h"
#include "project/xmlvideocache.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

// Loads arbitrary bytes as a project file, a cache file and a recent-projects
// file.
namespace {
QTemporaryDir* g_folder = nullptr;

void quiet(QtMsgType, const QMessageLogContext&, const QString&) { }

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quiet);
    // Projects hold pixmaps, which need the GUI application the program has.
    new QGuiApplication(*argc, *argv);
    g_folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString file = g_folder->filePath(QStringLiteral("p.xml"));
    {
        QFile output(file);
        if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate))
            abort();
        output.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }

    const auto project = createXmlProject();
    // A file without a project loads as an empty one, which is no project to
    // save. What a saved project reads back as must save the same again:
    // damaged values may be tidied once, but nothing may drift.
    if (project->load(file) && !project->id().isNull()) {
        const QString first = g_folder->filePath(QStringLiteral("first.xml"));
        const QString second = g_folder->filePath(QStringLiteral("second.xml"));
        const auto reloaded = createXmlProject();
        if (project->save(first) &&
            (!reloaded->load(first) || !reloaded->save(second) ||
             readAll(first) != readAll(second)))
            __builtin_trap();
    }

    XmlVideoCache cache;
    cache.load(file);
    std::unique_ptr<RecentProjectManager> store(CreateXmlRecentProjectManager(file));
    for (int i = 0; i < store->count(); ++i)
        store->getProject(i);
    return 0;
}
