#include "fuzzfiles.h"
#include "project/project.h"
#include "project/recentprojectmanager.h"
#include "project/xmlvideocache.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <memory>

// Loads arbitrary bytes as a project file, a cache file and a recent-projects
// file.
namespace {
void quiet(QtMsgType, const QMessageLogContext&, const QString&) { }
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quiet);
    // Projects hold pixmaps, which need the GUI application the program has.
    new QGuiApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString file = writeScratchFile(QStringLiteral("p.xml"), data, size);

    const auto project = createXmlProject();
    // A file without a project loads as an empty one, which is no project to
    // save. What a saved project reads back as must save the same again:
    // damaged values may be tidied once, but nothing may drift.
    if (project->load(file) && !project->id().isNull()) {
        const QString first = scratchPath(QStringLiteral("first.xml"));
        const QString second = scratchPath(QStringLiteral("second.xml"));
        const auto reloaded = createXmlProject();
        if (project->save(first) &&
            (!reloaded->load(first) || !reloaded->save(second) ||
             readWholeFile(first) != readWholeFile(second)))
            __builtin_trap();
    }

    XmlVideoCache cache;
    cache.load(file);
    std::unique_ptr<RecentProjectManager> store(CreateXmlRecentProjectManager(file));
    for (int i = 0; i < store->count(); ++i)
        store->getProject(i);
    return 0;
}
